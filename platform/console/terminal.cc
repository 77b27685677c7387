// The terminal back end: the cell buffer shown on a real terminal through
// its terminfo entry (ncursesw), keys read as bytes and decoded here.
//
// ncurses' own screen and key handling are not used: the program's screen
// is the cell buffer, and the keys need the PC codes with their modifiers,
// which only the raw bytes tell (see decoder.h). The line itself (raw mode,
// giving the terminal back on every way out, signals) is tty.cc's.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/console/backends.h"
#include "platform/console/decoder.h"
#include "platform/console/keys.h"
#include "platform/console/render.h"
#include "platform/console/state.h"
#include "platform/console/terminfo.h"
#include "platform/console/tty.h"
#include "platform/process/clock.h"
#include "platform/process/environment.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace platform::console::internal {

namespace {

constexpr int kEscapeDelayMs = 25;
constexpr size_t kMaxPendingInput = 1 << 16;
constexpr char kMouseOn[] = "\x1b[?1000h\x1b[?1006h";
constexpr char kMouseOff[] = "\x1b[?1006l\x1b[?1000l";

struct Terminal {
  bool open = false;
  std::string out;
  uint64_t bytes_sent = 0;
  std::string clear, civis, cnorm, cursor_style, bell, sgr0, cup;
  bool has_mouse = false;
  bool osc52 = false;
  bool mouse_sent = false;
  bool mouse_known = false;
  Strings strings;
  Shown shown;
  bool too_small = false;
  // The cursor as last sent.
  int cursor_state = -1;  // -1 unknown, 0 hidden, 1 shown
  int cursor_shape = -1;
  std::string input;      // bytes not yet decoded
  int64_t last_byte_ms = 0;
  std::vector<KnownSequence> known;
  int escape_delay_ms = kEscapeDelayMs;
};

// Process-wide: the terminal back end of the one console.
Terminal terminal;

Terminal& T() { return terminal; }

void Flush() {
  Terminal& t = T();
  if (t.out.empty()) return;
  t.bytes_sent += TtyWrite(t.out);
  t.out.clear();
}

void TerminalSize(int* rows, int* columns) {
  if (TtySize(rows, columns)) return;
  *rows = TermNumber("lines") > 0 ? TermNumber("lines") : 24;
  *columns = TermNumber("cols") > 0 ? TermNumber("cols") : 80;
}

// The colours of an attribute byte on this terminal.
std::string AttributeString(uint8_t attr, int colours, const std::string& sgr0) {
  const int fg = attr & 15, bg = attr >> 4;
  std::string setaf = TermString("setaf"), setab = TermString("setab");
  if (colours >= 16 && !setaf.empty() && !setab.empty()) {
    // Both colours set every attribute in full: no reset needed in between.
    return TermParam(setaf, AnsiColour(fg)) + TermParam(setab, AnsiColour(bg));
  }
  std::string s = sgr0;
  if (colours >= 8 && !setaf.empty() && !setab.empty()) {
    // Eight colours: a bright foreground is shown bold, a bright
    // background as its dark form.
    if (fg & 8) s += TermString("bold");
    s += TermParam(setaf, AnsiColour(fg & 7)) + TermParam(setab, AnsiColour(bg & 7));
  } else if (colours >= 8 && !TermString("setf").empty()) {
    // setf and setb take the DOS numbering.
    if (fg & 8) s += TermString("bold");
    s += TermParam(TermString("setf"), fg & 7) + TermParam(TermString("setb"), bg & 7);
  } else {
    // No colours: light on dark is normal, dark on light reversed.
    if ((bg & 7) > (fg & 7)) s += TermString("rev");
    if (fg & 8) s += TermString("bold");
  }
  return s;
}

void AddKnown(const char* capability, const KeyEvent& key) {
  std::string bytes = TermString(capability);
  if (bytes.size() >= 2 && bytes[0] == '\x1b') T().known.push_back({bytes, key});
}

void CollectKnownSequences() {
  Terminal& t = T();
  t.known.clear();
  static const char* kF[] = {"kf1", "kf2", "kf3", "kf4",  "kf5",  "kf6",
                             "kf7", "kf8", "kf9", "kf10", "kf11", "kf12"};
  for (int f = 1; f <= 12; ++f) AddKnown(kF[f - 1], FunctionKey(f, 0));
  AddKnown("kcuu1", NavKey(Nav::kUp, 0));
  AddKnown("kcud1", NavKey(Nav::kDown, 0));
  AddKnown("kcub1", NavKey(Nav::kLeft, 0));
  AddKnown("kcuf1", NavKey(Nav::kRight, 0));
  AddKnown("khome", NavKey(Nav::kHome, 0));
  AddKnown("kend", NavKey(Nav::kEnd, 0));
  AddKnown("kpp", NavKey(Nav::kPgUp, 0));
  AddKnown("knp", NavKey(Nav::kPgDn, 0));
  AddKnown("kich1", NavKey(Nav::kInsert, 0));
  AddKnown("kdch1", NavKey(Nav::kDelete, 0));
  AddKnown("kcbt", ShiftTab(0));
  AddKnown("kLFT5", NavKey(Nav::kLeft, kCtrl));
  AddKnown("kRIT5", NavKey(Nav::kRight, kCtrl));
  AddKnown("kHOM5", NavKey(Nav::kHome, kCtrl));
  AddKnown("kEND5", NavKey(Nav::kEnd, kCtrl));
  AddKnown("kPRV5", NavKey(Nav::kPgUp, kCtrl));
  AddKnown("kNXT5", NavKey(Nav::kPgDn, kCtrl));
}

// The message shown instead of the screen while the terminal is too small.
void ShowTooSmall(int rows, int columns) {
  Terminal& t = T();
  State& s = Get();
  std::string text = util::Cp850ToUtf8(TooSmallText(s.columns, s.rows, columns, rows));
  t.out += t.sgr0 + t.clear + t.civis;
  // Wrapped by words to the width there is (text is UTF-8: count characters).
  std::string line, word;
  int line_chars = 0, word_chars = 0, row = 0;
  auto put_line = [&]() {
    if (row < rows) t.out += TermParam(t.cup, row, 0) + line;
    ++row;
    line.clear();
    line_chars = 0;
  };
  auto put_word = [&]() {
    if (word_chars == 0) return;
    if (line_chars > 0 && line_chars + 1 + word_chars > columns) put_line();
    if (line_chars > 0) {
      line += ' ';
      ++line_chars;
    }
    line += word;
    line_chars += word_chars;
    word.clear();
    word_chars = 0;
  };
  for (char c : text) {
    if (c == ' ') {
      put_word();
      continue;
    }
    word += c;
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++word_chars;
  }
  put_word();
  if (line_chars > 0) put_line();
  t.cursor_state = 0;
  InvalidateShown(&t.shown);
}

void SendCursor() {
  Terminal& t = T();
  State& s = Get();
  if (t.too_small) return;
  const bool visible = s.cursor_visible;
  if (visible) {
    if (t.shown.cursor_row != s.cursor_row || t.shown.cursor_column != s.cursor_column) {
      t.out += t.strings.move(s.cursor_row, s.cursor_column);
      t.shown.cursor_row = s.cursor_row;
      t.shown.cursor_column = s.cursor_column;
    }
    // Overwrite (large sizes) as a block, insert and the normal cursor as an
    // underline, where the terminal can change the shape at all.
    int shape = s.cursor_size >= 75 ? 2 : 4;
    if (!t.cursor_style.empty() && shape != t.cursor_shape) {
      t.out += TermParam(t.cursor_style, shape);
      t.cursor_shape = shape;
    }
  }
  int state = visible ? 1 : 0;
  if (state != t.cursor_state) {
    t.out += visible ? t.cnorm : t.civis;
    t.cursor_state = state;
  }
}

void SendMouse(bool force = false) {
  Terminal& t = T();
  const bool wanted = Get().mouse_enabled && t.has_mouse;
  if (!force && t.mouse_known && wanted == t.mouse_sent) return;
  t.out += wanted ? kMouseOn : kMouseOff;
  t.mouse_sent = wanted;
  t.mouse_known = true;
}

// Full repaint: the terminal shows nothing we know of.
void Repaint() {
  Terminal& t = T();
  State& s = Get();
  int rows = 0, columns = 0;
  TerminalSize(&rows, &columns);
  t.shown.terminal_rows = rows;
  t.shown.terminal_columns = columns;
  t.too_small = rows < s.rows || columns < s.columns;
  t.cursor_state = -1;
  t.cursor_shape = -1;
  if (t.too_small) {
    ShowTooSmall(rows, columns);
    return;
  }
  InvalidateShown(&t.shown);
  t.out += t.strings.attribute[0x07] + t.clear;
  RenderChanges(s.cells, t.strings, &t.shown, &t.out);
  SendCursor();
}

// Resizes and returns from a stop, seen outside the signal handlers.
void HandleSignalsSeen() {
  TtyNews news = TtyTakeNews();
  if (news.continued) T().mouse_known = false;
  if ((news.continued || news.resized) && !Get().suspended) {
    Repaint();
    SendMouse(true);
    Flush();
  }
}

void Decode(bool complete) {
  Terminal& t = T();
  std::vector<InputEvent> events;
  size_t used = DecodeTerminalInput(t.input, complete, &events, &t.known);
  t.input.erase(0, used);
  State& s = Get();
  for (const InputEvent& e : events) {
    // Clicks beside the virtual screen hit nothing of the program.
    if (e.kind == InputEvent::kMouse && (e.mouse.row >= s.rows || e.mouse.column >= s.columns)) {
      continue;
    }
    s.queue.push_back(e);
  }
}

// Reads what the terminal has sent within wait_ms; false when the terminal
// is gone.
bool Gather(int wait_ms) {
  Terminal& t = T();
  pollfd fds[2] = {{TtyInput(), POLLIN, 0}, {TtyWakeFd(), POLLIN, 0}};
  int ready = poll(fds, 2, wait_ms);
  if (ready < 0) return true;  // EINTR: a signal, seen by the caller
  if (fds[1].revents & POLLIN) HandleSignalsSeen();
  if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
    char buffer[4096];
    ssize_t n = read(TtyInput(), buffer, sizeof buffer);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) return false;
    if (n > 0) {
      if (t.input.size() < kMaxPendingInput) t.input.append(buffer, static_cast<size_t>(n));
      t.last_byte_ms = platform::SteadyMilliseconds();
      Decode(false);
    }
  }
  return true;
}

}  // namespace

bool TerminalOpen(std::string* error) {
  Terminal& t = T();
  if (t.open) return true;
  if (!TtyIsTerminal()) {
    if (error) *error = "no terminal: standard input and output must be a terminal";
    return false;
  }
  if (!TtyUtf8Locale(error)) return false;
  if (!LoadTerminfo(1, error)) return false;
  t.cup = TermString("cup");
  if (t.cup.empty()) {
    if (error) *error = "the terminal cannot place the cursor (no \"cup\" in its terminfo entry)";
    return false;
  }
  t.clear = TermString("clear");
  if (t.clear.empty()) t.clear = "\x1b[H\x1b[2J";
  t.sgr0 = TermString("sgr0");
  t.civis = TermString("civis");
  t.cnorm = TermString("cnorm");
  t.cursor_style = TermString("Ss");
  t.bell = TermString("bel");
  if (t.bell.empty()) t.bell = "\a";
  const std::string term = platform::GetEnvironment("TERM");
  const bool linux_console = term.rfind("linux", 0) == 0;
  t.has_mouse = !TermString("kmous").empty() && !linux_console;
  t.osc52 = !linux_console;
  const int colours = TermNumber("colors");
  const std::string cup = t.cup;
  t.strings.move = [cup](int row, int column) { return TermParam(cup, row, column); };
  for (int a = 0; a < 256; ++a) {
    t.strings.attribute[static_cast<size_t>(a)] = AttributeString(static_cast<uint8_t>(a), colours, t.sgr0);
  }
  t.strings.glyph = Cp850Glyphs();
  t.strings.reset = t.sgr0;
  CollectKnownSequences();
  std::string delay = platform::GetEnvironment("ESCDELAY");
  t.escape_delay_ms = delay.empty() ? kEscapeDelayMs : util::NumericValue32(delay);
  if (t.escape_delay_ms <= 0 || t.escape_delay_ms > 1000) t.escape_delay_ms = kEscapeDelayMs;

  // Writing the bottom-right cell scrolls a terminal with automatic margins
  // unless it delays the wrap (xenl) or lets us turn the margins off.
  const std::string rmam = TermString("rmam");
  t.shown.last_cell_scrolls = TermFlag("am") && !TermFlag("xenl") && rmam.empty();

  std::string enter = TermString("smcup") + rmam + t.civis;
  // Without an alternate screen the program's screen would stay behind the
  // shell's prompt: it is cleared instead.
  const std::string rmcup = TermString("rmcup");
  std::string restore = std::string(kMouseOff) + t.sgr0 + TermString("Se") + t.cnorm +
                        TermString("smam") + (rmcup.empty() ? t.clear : rmcup);
  if (!TtyTake(enter, restore, error)) return false;
  t.bytes_sent += TtyEnterLength();
  t.open = true;
  t.input.clear();
  t.mouse_known = false;
  State& s = Get();
  ResetShown(&t.shown, s.rows, s.columns);
  Repaint();
  Flush();
  return true;
}

void TerminalClose() {
  Terminal& t = T();
  if (!t.open) return;
  Flush();
  // While suspended the terminal is already given back.
  if (!Get().suspended) t.bytes_sent += TtyRestoreLength();
  TtyGiveBack();
  t.open = false;
}

void TerminalRefresh() {
  Terminal& t = T();
  if (!t.open || Get().suspended) return;
  HandleSignalsSeen();
  if (!t.too_small) {
    RenderChanges(Get().cells, t.strings, &t.shown, &t.out);
    SendCursor();
  }
  SendMouse();
  Flush();
}

void TerminalRedraw() {
  Terminal& t = T();
  if (!t.open || Get().suspended) return;
  Repaint();
  SendMouse(true);
  Flush();
}

void TerminalBeep() {
  Terminal& t = T();
  if (!t.open || Get().suspended) return;
  t.out += t.bell;
  Flush();
}

bool TerminalRead(InputEvent* event, int timeout_ms) {
  Terminal& t = T();
  State& s = Get();
  if (!t.open || s.suspended) return false;
  const int64_t start = platform::SteadyMilliseconds();
  // Mouse reporting follows the program's wish whenever it waits.
  SendMouse();
  Flush();
  // What the terminal has sent already counts even for a wait of 0.
  bool alive = Gather(0);
  for (;;) {
    if (!alive) {
      // The terminal hung up: end as a hangup would.
      kill(getpid(), SIGHUP);
      return false;
    }
    HandleSignalsSeen();
    if (!s.queue.empty()) {
      *event = s.queue.front();
      s.queue.pop_front();
      return true;
    }
    const int64_t now = platform::SteadyMilliseconds();
    if (!t.input.empty() && now - t.last_byte_ms >= t.escape_delay_ms) {
      // Nothing more came within the escape delay: what is there is whole.
      Decode(true);
      continue;
    }
    int wait = -1;
    if (timeout_ms >= 0) {
      const int64_t left = start + timeout_ms - now;
      if (left <= 0) return false;
      wait = static_cast<int>(left);
    }
    if (!t.input.empty()) {
      const int left = static_cast<int>(t.last_byte_ms + t.escape_delay_ms - now);
      if (wait < 0 || left < wait) wait = left;
    }
    alive = Gather(wait);
  }
}

bool TerminalPending() {
  Terminal& t = T();
  if (!t.open || Get().suspended) return false;
  if (!Gather(0)) return false;
  // A lone Escape becomes a key once the delay has passed, also for a
  // program that only polls.
  if (!t.input.empty() && platform::SteadyMilliseconds() - t.last_byte_ms >= t.escape_delay_ms) {
    Decode(true);
  }
  return !Get().queue.empty();
}

void TerminalFlush() {
  Terminal& t = T();
  if (!t.open) return;
  TtyDropInput();
  t.input.clear();
}

void TerminalMouse(bool) {
  // Sent at the next refresh or wait, so that switching it off after a key
  // and on again for the next one costs nothing on the line.
}

bool TerminalHasMouse() { return T().has_mouse; }

void TerminalClipboard(std::string_view text) {
  Terminal& t = T();
  if (!t.open || !t.osc52 || Get().suspended) return;
  // OSC 52 hands the text to the terminal's own clipboard too, as UTF-8.
  static constexpr char kBase64[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string utf8 = util::Cp850ToUtf8(text);
  std::string encoded;
  for (size_t i = 0; i < utf8.size(); i += 3) {
    uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(utf8[i])) << 16;
    if (i + 1 < utf8.size()) v |= static_cast<uint32_t>(static_cast<unsigned char>(utf8[i + 1])) << 8;
    if (i + 2 < utf8.size()) v |= static_cast<unsigned char>(utf8[i + 2]);
    encoded += kBase64[(v >> 18) & 63];
    encoded += kBase64[(v >> 12) & 63];
    encoded += i + 1 < utf8.size() ? kBase64[(v >> 6) & 63] : '=';
    encoded += i + 2 < utf8.size() ? kBase64[v & 63] : '=';
  }
  t.out += "\x1b]52;c;" + encoded + "\x07";
  Flush();
}

void TerminalSuspend() {
  Terminal& t = T();
  if (!t.open) return;
  Flush();
  TtyLend();
  t.bytes_sent += TtyRestoreLength();
  t.mouse_known = false;
}

void TerminalResume() {
  Terminal& t = T();
  if (!t.open) return;
  TtyReclaim();
  t.bytes_sent += TtyEnterLength();
  t.input.clear();
  Repaint();
  SendMouse(true);
  Flush();
}

uint64_t TerminalBytesSent() { return T().bytes_sent; }

void TerminalForget() {
  if (!T().open) T() = Terminal();
}

}  // namespace platform::console::internal
