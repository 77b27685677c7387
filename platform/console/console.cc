// The virtual console: the cell buffer and keyboard state every back end
// shares, and the choice of back end.
#include "platform/console/console.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/console/backends.h"
#include "platform/console/state.h"
#include "platform/console/tty.h"
#include "platform/process/environment.h"
#include "platform/process/run.h"

namespace platform::console {

namespace {

using internal::Backend;
using internal::Get;
using internal::State;

bool Inside(const State& s, int row, int column) {
  return row >= 0 && row < s.rows && column >= 0 && column < s.columns;
}

Cell& At(State& s, int row, int column) {
  return s.cells[static_cast<size_t>(row) * static_cast<size_t>(s.columns) +
                 static_cast<size_t>(column)];
}

constexpr int16_t kEscapeCode = 0x1B;

void Remember(const InputEvent& event) {
  State& s = Get();
  if (event.kind == InputEvent::kKey) s.modifiers = event.key.modifiers;
  if (event.kind == InputEvent::kMouse) s.modifiers = event.mouse.modifiers;
}

}  // namespace

namespace {

// Process-wide: the exit handler goes in once per process, and the text of
// the too-small message is set once by the layer that translates it. Kept
// apart from State, which ResetConsole clears.
struct ConsoleHooks {
  bool exit_registered = false;
  TooSmallTextFunction too_small_text;
};
ConsoleHooks hooks;

// A program that ends without Close still gives the terminal back (and
// leaves its headless dump).
void CloseAtExit() {
  if (!hooks.exit_registered) {
    hooks.exit_registered = true;
    std::atexit([] { Close(); });
  }
}

}  // namespace

bool Open(std::string* error) {
  State& s = Get();
  if (s.backend != Backend::kNone) return true;
  int columns = 80, rows = 25;
  internal::SizeFromEnvironment(&columns, &rows);
  std::string choice = platform::GetEnvironment("KITCONSOLE");
  if (choice.rfind("headless", 0) == 0) {
    internal::Reset(columns, rows);
    s.dump_path = platform::GetEnvironment("KITCONSOLE_DUMP");
    bool ok = true;
    if (choice.size() > 9 && choice[8] == ':') {
      ok = internal::HeadlessOpenFile(choice.substr(9), error);
    } else {
      ok = internal::HeadlessOpen({}, error);
    }
    if (!ok) return false;
    s.backend = Backend::kHeadless;
    CloseAtExit();
    return true;
  }
  if (!choice.empty() && choice != "terminal") {
    if (error) *error = "KITCONSOLE must be \"terminal\" or \"headless:FILE\", not \"" + choice + "\"";
    return false;
  }
  internal::Reset(columns, rows);
  s.dump_path.clear();
  if (!internal::TerminalOpen(error)) return false;
  s.backend = Backend::kTerminal;
  CloseAtExit();
  return true;
}

bool OpenHeadless(std::string_view script, int columns, int rows, std::string* error) {
  if (columns < 1 || columns > 99 || rows < 1 || rows > 99) {
    if (error) *error = "the console is at most 99 x 99 cells";
    return false;
  }
  Close();
  internal::Reset(columns, rows);
  State& s = Get();
  s.dump_path = platform::GetEnvironment("KITCONSOLE_DUMP");
  if (!internal::HeadlessOpen(script, error)) return false;
  s.backend = Backend::kHeadless;
  CloseAtExit();
  return true;
}

void Close() {
  State& s = Get();
  switch (s.backend) {
    case Backend::kHeadless: internal::HeadlessClose(); break;
    case Backend::kTerminal: internal::TerminalClose(); break;
    case Backend::kNone: break;
  }
  s.backend = Backend::kNone;
  s.queue.clear();
  s.suspended = false;
}

bool IsOpen() { return Get().backend != Backend::kNone; }

bool Available() {
  const std::string choice = platform::GetEnvironment("KITCONSOLE");
  return choice.starts_with("headless:") || internal::TtyIsTerminal();
}

int Rows() { return Get().rows; }
int Columns() { return Get().columns; }

Cell GetCell(int row, int column) {
  State& s = Get();
  if (!Inside(s, row, column)) return Cell{};
  return At(s, row, column);
}

void PutCell(int row, int column, Cell cell) {
  State& s = Get();
  if (Inside(s, row, column)) At(s, row, column) = cell;
}

void WriteText(int row, int column, std::string_view text, uint8_t attr) {
  State& s = Get();
  if (row < 0 || row >= s.rows || column >= s.columns) return;
  if (column < 0) {
    // Text starting left of the screen shows from its first visible character.
    const size_t hidden = static_cast<size_t>(-static_cast<int64_t>(column));
    if (hidden >= text.size()) return;
    text.remove_prefix(hidden);
    column = 0;
  }
  const size_t room = static_cast<size_t>(s.columns - column);
  if (text.size() > room) text = text.substr(0, room);
  for (char ch : text) At(s, row, column++) = Cell{ch, attr};
}

void Scroll(int top, int left, int bottom, int right, int count, uint8_t fill) {
  State& s = Get();
  top = std::max(top, 0);
  left = std::max(left, 0);
  bottom = std::min(bottom, s.rows - 1);
  right = std::min(right, s.columns - 1);
  if (top > bottom || left > right || count == 0) return;
  const int height = bottom - top + 1;
  const Cell blank{' ', fill};
  auto row_copy = [&](int from, int to) {
    for (int c = left; c <= right; ++c) At(s, to, c) = At(s, from, c);
  };
  auto row_clear = [&](int r) {
    for (int c = left; c <= right; ++c) At(s, r, c) = blank;
  };
  if (count > 0) {
    const int n = std::min(count, height);
    for (int r = top; r + n <= bottom; ++r) row_copy(r + n, r);
    for (int r = bottom - n + 1; r <= bottom; ++r) row_clear(r);
  } else {
    const int n = count < -height ? height : -count;
    for (int r = bottom; r - n >= top; --r) row_copy(r - n, r);
    for (int r = top; r < top + n; ++r) row_clear(r);
  }
}

void SetCursor(int row, int column) {
  State& s = Get();
  s.cursor_row = std::clamp(row, 0, s.rows - 1);
  s.cursor_column = std::clamp(column, 0, s.columns - 1);
}
int CursorRow() { return Get().cursor_row; }
int CursorColumn() { return Get().cursor_column; }

void SetCursorShape(bool visible, int size) {
  State& s = Get();
  s.cursor_visible = visible;
  s.cursor_size = std::clamp(size, 1, 100);
}
bool CursorVisible() { return Get().cursor_visible; }
int CursorSize() { return Get().cursor_size; }

uint8_t CurrentAttribute() { return Get().attribute; }
void SetCurrentAttribute(uint8_t attr) { Get().attribute = attr; }

void Refresh() {
  if (Get().backend == Backend::kTerminal) internal::TerminalRefresh();
}

void Redraw() {
  if (Get().backend == Backend::kTerminal) internal::TerminalRedraw();
}

void Beep() {
  switch (Get().backend) {
    case Backend::kHeadless: internal::HeadlessBeep(); break;
    case Backend::kTerminal: internal::TerminalBeep(); break;
    case Backend::kNone: break;
  }
}

bool ReadInput(InputEvent* event, int timeout_ms) {
  State& s = Get();
  InputEvent got;
  bool ok = false;
  if (!s.queue.empty() && s.backend != Backend::kNone) {
    got = s.queue.front();
    s.queue.pop_front();
    ok = true;
  } else if (s.backend == Backend::kHeadless) {
    ok = internal::HeadlessRead(&got, timeout_ms);
  } else if (s.backend == Backend::kTerminal) {
    ok = internal::TerminalRead(&got, timeout_ms);
  }
  if (!ok) return false;
  Remember(got);
  if (event) *event = got;
  return true;
}

bool PendingInput() {
  State& s = Get();
  if (!s.queue.empty()) return true;
  return s.backend == Backend::kTerminal && internal::TerminalPending();
}

void SetTooSmallText(TooSmallTextFunction text) { hooks.too_small_text = std::move(text); }

std::string TooSmallText(int columns_needed, int rows_needed, int columns, int rows) {
  if (hooks.too_small_text) return hooks.too_small_text(columns_needed, rows_needed, columns, rows);
  return std::to_string(columns_needed) + " x " + std::to_string(rows_needed) + " > " +
         std::to_string(columns) + " x " + std::to_string(rows);
}

bool TakeEscapeKey() {
  State& s = Get();
  if (s.backend == Backend::kNone) return false;
  PendingInput();  // what the terminal has sent joins the queue, undecoded bytes too
  for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
    if (it->kind == InputEvent::kKey && KeyCode(it->key) == kEscapeCode) {
      s.queue.erase(it);
      return true;
    }
  }
  return false;
}

void FlushInput() {
  State& s = Get();
  // A headless script is what the operator types as the program asks for
  // it, so only what a terminal has already sent is dropped.
  if (s.backend != Backend::kTerminal) return;
  internal::TerminalFlush();
  s.queue.clear();
}

void EnableMouse(bool on) {
  State& s = Get();
  s.mouse_enabled = on;
  if (s.backend == Backend::kTerminal) internal::TerminalMouse(on);
}

bool HasMouse() {
  State& s = Get();
  if (s.backend == Backend::kHeadless) return true;
  return s.backend == Backend::kTerminal && internal::TerminalHasMouse();
}

bool MouseEnabled() { return Get().mouse_enabled; }

bool InsertMode() { return Get().insert_mode; }
void SetInsertMode(bool on) { Get().insert_mode = on; }
uint8_t ModifierState() { return Get().modifiers; }

std::string Clipboard() { return Get().clipboard; }
void SetClipboard(std::string_view text) {
  State& s = Get();
  s.clipboard.assign(text);
  if (s.backend == Backend::kTerminal) internal::TerminalClipboard(text);
}

void Suspend() {
  State& s = Get();
  if (s.suspended) return;
  s.suspended = true;
  if (s.backend == Backend::kTerminal) internal::TerminalSuspend();
}

void Resume() {
  State& s = Get();
  if (!s.suspended) return;
  s.suspended = false;
  if (s.backend == Backend::kTerminal) internal::TerminalResume();
}

bool Suspended() { return Get().suspended; }

int RunInTerminal(const std::string& host_path, const std::vector<std::string>& arguments) {
  const bool was_suspended = Get().suspended;
  Suspend();
  const int status = platform::RunProgram(host_path, arguments);
  if (!was_suspended) Resume();
  return status;
}

std::string DumpText() {
  State& s = Get();
  return s.backend == Backend::kTerminal ? std::string() : internal::TextDump(s);
}

std::string DumpAttributes() {
  State& s = Get();
  return s.backend == Backend::kTerminal ? std::string() : internal::AttributeDump(s);
}

uint64_t BytesSent() { return internal::TerminalBytesSent(); }

}  // namespace platform::console
