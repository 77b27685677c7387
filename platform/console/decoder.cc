#include "platform/console/decoder.h"

#include "platform/console/keys.h"
#include "util/cp850.h"

namespace platform::console {

namespace {

using internal::Nav;

constexpr char kEsc = 0x1B;
constexpr size_t kLongestSequence = 4096;  // a longer unfinished CSI is noise

InputEvent Key(const KeyEvent& key) {
  InputEvent e;
  e.kind = InputEvent::kKey;
  e.key = key;
  return e;
}

// xterm's modifier parameter: 1 + (1 Shift, 2 Alt, 4 Ctrl, 8 Meta).
uint8_t XtermModifiers(int parameter) {
  if (parameter < 2) return 0;
  int bits = parameter - 1;
  uint8_t m = 0;
  if (bits & 1) m |= kShift;
  if (bits & (2 | 8)) m |= kLeftAlt;
  if (bits & 4) m |= kCtrl;
  return m;
}

// The key of a "CSI n ~" number (also with rxvt's $ ^ @ finals).
bool TildeKey(int number, uint8_t modifiers, KeyEvent* key) {
  switch (number) {
    case 1: case 7: *key = internal::NavKey(Nav::kHome, modifiers); return true;
    case 2: *key = internal::NavKey(Nav::kInsert, modifiers); return true;
    case 3: *key = internal::NavKey(Nav::kDelete, modifiers); return true;
    case 4: case 8: *key = internal::NavKey(Nav::kEnd, modifiers); return true;
    case 5: *key = internal::NavKey(Nav::kPgUp, modifiers); return true;
    case 6: *key = internal::NavKey(Nav::kPgDn, modifiers); return true;
    default: break;
  }
  static constexpr struct { int number; int f; bool shift; } kF[] = {
      {11, 1, false}, {12, 2, false}, {13, 3, false}, {14, 4, false}, {15, 5, false},
      {17, 6, false}, {18, 7, false}, {19, 8, false}, {20, 9, false}, {21, 10, false},
      {23, 11, false}, {24, 12, false},
      // The Linux console and rxvt give Shift+F1 and F2 as F11 and F12, and
      // Shift+F3 .. F10 as these.
      {25, 3, true}, {26, 4, true}, {28, 5, true}, {29, 6, true}, {31, 7, true},
      {32, 8, true}, {33, 9, true}, {34, 10, true},
  };
  for (const auto& f : kF) {
    if (f.number == number) {
      *key = internal::FunctionKey(f.f, static_cast<uint8_t>(modifiers | (f.shift ? kShift : 0)));
      return true;
    }
  }
  return false;
}

// The letter finals shared by CSI and SS3: cursor keys, Home, End, F1-F4.
bool LetterKey(char final, uint8_t modifiers, KeyEvent* key) {
  switch (final) {
    case 'A': *key = internal::NavKey(Nav::kUp, modifiers); return true;
    case 'B': *key = internal::NavKey(Nav::kDown, modifiers); return true;
    case 'C': *key = internal::NavKey(Nav::kRight, modifiers); return true;
    case 'D': *key = internal::NavKey(Nav::kLeft, modifiers); return true;
    case 'E': *key = internal::KeypadKey(Nav::kCenter, modifiers); return true;
    case 'F': *key = internal::NavKey(Nav::kEnd, modifiers); return true;
    case 'H': *key = internal::NavKey(Nav::kHome, modifiers); return true;
    case 'P': *key = internal::FunctionKey(1, modifiers); return true;
    case 'Q': *key = internal::FunctionKey(2, modifiers); return true;
    case 'R': *key = internal::FunctionKey(3, modifiers); return true;
    case 'S': *key = internal::FunctionKey(4, modifiers); return true;
    case 'Z': *key = internal::ShiftTab(modifiers); return true;
    default: return false;
  }
}

// A character code with modifiers from modifyOtherKeys or CSI u.
bool CodeKey(int code, uint8_t modifiers, KeyEvent* key) {
  if (code <= 0 || code > 0x10FFFF) return false;
  int byte = code < 128 ? code : util::UnicodeToCp850(static_cast<char32_t>(code));
  if (byte <= 0) return false;
  *key = internal::CharKey(static_cast<uint8_t>(byte), modifiers);
  return true;
}

struct Parsed {
  enum Status { kIncomplete, kDone } status = kDone;
  size_t length = 0;   // bytes of the sequence
  bool has_event = false;
  InputEvent event;
};

Parsed Incomplete() { return Parsed{Parsed::kIncomplete, 0, false, {}}; }

Parsed Done(size_t length) { return Parsed{Parsed::kDone, length, false, {}}; }

Parsed Done(size_t length, const InputEvent& event) {
  return Parsed{Parsed::kDone, length, true, event};
}

// A mouse report: button bits b, 1-based x and y, press or release.
Parsed Mouse(size_t length, int b, int x, int y, bool press) {
  // Motion (32) and the wheel (64, 128) are not clicks; releases are not
  // reported to the program.
  if (!press || (b & (32 | 64 | 128)) != 0 || x < 1 || y < 1) return Done(length);
  static constexpr uint8_t kButtons[] = {1, 4, 2, 0};  // left, middle, right, release
  uint8_t buttons = kButtons[b & 3];
  if (buttons == 0) return Done(length);
  InputEvent e;
  e.kind = InputEvent::kMouse;
  e.mouse.row = y - 1;
  e.mouse.column = x - 1;
  e.mouse.buttons = buttons;
  if (b & 4) e.mouse.modifiers |= kShift;
  if (b & 8) e.mouse.modifiers |= kLeftAlt;
  if (b & 16) e.mouse.modifiers |= kCtrl;
  return Done(length, e);
}

// ESC [ at bytes[0..1].
Parsed ParseCsi(std::string_view bytes) {
  size_t i = 2;
  if (i >= bytes.size()) return Incomplete();
  // Linux console: ESC [ [ A .. E are F1 .. F5.
  if (bytes[i] == '[') {
    if (i + 1 >= bytes.size()) return Incomplete();
    char c = bytes[i + 1];
    if (c >= 'A' && c <= 'E') return Done(4, Key(internal::FunctionKey(c - 'A' + 1, 0)));
    return Done(4);
  }
  // X10 mouse: ESC [ M and three bytes, each 32 + value.
  if (bytes[i] == 'M') {
    if (bytes.size() < 6) return Incomplete();
    auto v = [&](size_t k) { return static_cast<unsigned char>(bytes[k]) - 32; };
    int b = v(3);
    return Mouse(6, b, v(4), v(5), (b & 3) != 3);
  }
  const bool sgr_mouse = bytes[i] == '<';
  if (sgr_mouse || bytes[i] == '?' || bytes[i] == '>' || bytes[i] == '=') ++i;
  int params[4] = {0, 0, 0, 0};
  int count = 0;
  bool any_digit = false;
  for (;; ++i) {
    // A run of parameters this long is noise; it is dropped whole.
    if (i >= bytes.size()) return i >= kLongestSequence ? Done(i) : Incomplete();
    char c = bytes[i];
    if (c >= '0' && c <= '9') {
      if (count < 4 && params[count] < 100000) params[count] = params[count] * 10 + (c - '0');
      any_digit = true;
      continue;
    }
    if (c == ';' || c == ':') {
      ++count;
      continue;
    }
    break;
  }
  const char final = bytes[i];
  const size_t length = i + 1;
  const int n = any_digit || count > 0 ? count + 1 : 0;
  // Control bytes inside a sequence mean it was cut short: drop what we had.
  if (static_cast<unsigned char>(final) < 0x20) return Done(i);
  if (sgr_mouse) {
    if (final != 'M' && final != 'm') return Done(length);
    return Mouse(length, params[0], params[1], params[2], final == 'M');
  }
  uint8_t modifiers = n >= 2 ? XtermModifiers(params[1]) : 0;
  KeyEvent key;
  switch (final) {
    case '~':
      if (params[0] == 27 && n >= 3) {  // modifyOtherKeys: 27 ; m ; code ~
        if (CodeKey(params[2], modifiers, &key)) return Done(length, Key(key));
        return Done(length);
      }
      if (TildeKey(params[0], modifiers, &key)) return Done(length, Key(key));
      return Done(length);
    case '$':  // rxvt: Shift
      if (TildeKey(params[0], kShift, &key)) return Done(length, Key(key));
      return Done(length);
    case '^':  // rxvt: Ctrl
      if (TildeKey(params[0], kCtrl, &key)) return Done(length, Key(key));
      return Done(length);
    case '@':  // rxvt: Ctrl+Shift
      if (TildeKey(params[0], kCtrl | kShift, &key)) return Done(length, Key(key));
      return Done(length);
    case 'u':  // CSI code ; modifiers u
      if (CodeKey(params[0], modifiers, &key)) return Done(length, Key(key));
      return Done(length);
    case 'a': return Done(length, Key(internal::NavKey(Nav::kUp, kShift)));
    case 'b': return Done(length, Key(internal::NavKey(Nav::kDown, kShift)));
    case 'c': return Done(length, Key(internal::NavKey(Nav::kRight, kShift)));
    case 'd': return Done(length, Key(internal::NavKey(Nav::kLeft, kShift)));
    default:
      if (LetterKey(final, modifiers, &key)) return Done(length, Key(key));
      return Done(length);  // focus reports and the like
  }
}

// ESC O at bytes[0..1].
Parsed ParseSs3(std::string_view bytes) {
  size_t i = 2;
  int parameter = 0;
  while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9' && i < 6) {
    parameter = parameter * 10 + (bytes[i] - '0');
    ++i;
  }
  if (i >= bytes.size()) return Incomplete();
  const char final = bytes[i];
  const size_t length = i + 1;
  const uint8_t modifiers = XtermModifiers(parameter);
  KeyEvent key;
  if (LetterKey(final, modifiers, &key)) return Done(length, Key(key));
  switch (final) {
    case 'a': return Done(length, Key(internal::NavKey(Nav::kUp, kCtrl)));
    case 'b': return Done(length, Key(internal::NavKey(Nav::kDown, kCtrl)));
    case 'c': return Done(length, Key(internal::NavKey(Nav::kRight, kCtrl)));
    case 'd': return Done(length, Key(internal::NavKey(Nav::kLeft, kCtrl)));
    case 'M': return Done(length, Key(internal::CharKey(13, modifiers)));
    default: break;
  }
  // The application keypad: ESC O j .. y are * + , - . / 0 .. 9, X is =.
  if (final >= 'j' && final <= 'y') {
    static constexpr char kPad[] = "*+,-./0123456789";
    return Done(length, Key(internal::CharKey(static_cast<uint8_t>(kPad[final - 'j']), modifiers)));
  }
  if (final == 'X') return Done(length, Key(internal::CharKey('=', modifiers)));
  if (static_cast<unsigned char>(final) < 0x20) return Done(i);
  return Done(length);
}

// One UTF-8 character at the front: its length, 0 when cut off, -1 invalid.
int Utf8Length(std::string_view bytes) {
  unsigned char b = static_cast<unsigned char>(bytes[0]);
  int length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : -1;
  if (length < 0) return -1;
  for (int k = 1; k < length; ++k) {
    if (static_cast<size_t>(k) >= bytes.size()) return 0;
    if ((static_cast<unsigned char>(bytes[static_cast<size_t>(k)]) & 0xC0) != 0x80) return -1;
  }
  return length;
}

// A plain character or control byte at the front (not ESC).
Parsed ParseCharacter(std::string_view bytes, uint8_t modifiers) {
  unsigned char b = static_cast<unsigned char>(bytes[0]);
  if (b == 0) return Done(1);  // Ctrl+Space: no key of the program
  if (b < 0x80) return Done(1, Key(internal::CharKey(b, modifiers)));
  int length = Utf8Length(bytes);
  if (length == 0) return Incomplete();
  if (length < 0) return Done(1);
  std::string cp850 = util::Utf8ToCp850(bytes.substr(0, static_cast<size_t>(length)));
  unsigned char c = static_cast<unsigned char>(cp850[0]);
  // Characters code page 850 lacks, and the glyphs of control bytes, are not typed.
  if (c == '?' || c < 0x20 || c == 0x7F) return Done(static_cast<size_t>(length));
  return Done(static_cast<size_t>(length), Key(internal::CharKey(c, modifiers)));
}

// The terminfo sequences: a full match, or true in *prefix when bytes are a
// proper beginning of one.
const KnownSequence* MatchKnown(std::string_view bytes, const std::vector<KnownSequence>* known,
                                bool* prefix) {
  *prefix = false;
  if (!known) return nullptr;
  const KnownSequence* best = nullptr;
  for (const KnownSequence& k : *known) {
    if (k.bytes.empty()) continue;
    if (bytes.size() >= k.bytes.size()) {
      if (bytes.compare(0, k.bytes.size(), k.bytes) == 0 &&
          (!best || k.bytes.size() > best->bytes.size())) {
        best = &k;
      }
    } else if (k.bytes.compare(0, bytes.size(), bytes) == 0) {
      *prefix = true;
    }
  }
  return best;
}

// The same key with Alt held as well: function and cursor keys take Alt's
// codes, characters become Alt with their key.
KeyEvent WithAlt(const KeyEvent& key) {
  const uint8_t m = static_cast<uint8_t>(key.modifiers | kLeftAlt);
  if (key.ch != 0) return internal::CharKey(key.ch, m);
  for (int f = 1; f <= 12; ++f) {
    if (internal::FunctionKey(f, key.modifiers).scan == key.scan) return internal::FunctionKey(f, m);
  }
  static constexpr Nav kNavs[] = {Nav::kHome, Nav::kUp,  Nav::kPgUp, Nav::kLeft,   Nav::kRight,
                                  Nav::kEnd,  Nav::kDown, Nav::kPgDn, Nav::kInsert, Nav::kDelete};
  for (Nav nav : kNavs) {
    if (internal::NavKey(nav, key.modifiers).scan == key.scan) return internal::NavKey(nav, m);
  }
  KeyEvent same = key;
  same.modifiers = m;
  return same;
}

// One event (or one dropped sequence) at the front of bytes.
Parsed ParseOne(std::string_view bytes, bool complete, const std::vector<KnownSequence>* known) {
  if (bytes[0] != kEsc) return ParseCharacter(bytes, 0);
  bool prefix = false;
  const KnownSequence* match = MatchKnown(bytes, known, &prefix);
  if (prefix && !complete) return Incomplete();
  if (match) return Done(match->bytes.size(), Key(match->key));
  if (bytes.size() == 1) {
    if (!complete) return Incomplete();
    return Done(1, Key(internal::CharKey(27, 0)));
  }
  const char next = bytes[1];
  if (next == '[' || next == 'O') {
    Parsed p = next == '[' ? ParseCsi(bytes) : ParseSs3(bytes);
    if (p.status == Parsed::kDone || !complete) return p;
    // Nothing more came: ESC and the bracket alone were Alt with "[" or "O";
    // a longer start is a sequence cut short, dropped rather than typed.
    if (bytes.size() > 2) return Done(bytes.size());
    return Done(2, Key(internal::CharKey(static_cast<uint8_t>(next), kLeftAlt)));
  }
  if (next == kEsc) {
    // ESC ESC [ ...: rxvt's Alt with a cursor or function key.
    if (bytes.size() >= 3 && (bytes[2] == '[' || bytes[2] == 'O')) {
      Parsed p = ParseOne(bytes.substr(1), complete, known);
      if (p.status == Parsed::kIncomplete) return p;
      p.length += 1;
      if (p.has_event && p.event.kind == InputEvent::kKey) p.event.key = WithAlt(p.event.key);
      return p;
    }
    if (bytes.size() == 2 && !complete) return Incomplete();
    return Done(1, Key(internal::CharKey(27, 0)));
  }
  // Alt with a character (or a control key: Alt+Enter, Alt+Backspace).
  Parsed p = ParseCharacter(bytes.substr(1), kLeftAlt);
  if (p.status == Parsed::kIncomplete) return complete ? Done(1, Key(internal::CharKey(27, 0))) : p;
  p.length += 1;
  return p;
}

}  // namespace

size_t DecodeTerminalInput(std::string_view bytes, bool complete, std::vector<InputEvent>* events,
                           const std::vector<KnownSequence>* known) {
  size_t used = 0;
  while (used < bytes.size()) {
    Parsed p = ParseOne(bytes.substr(used), complete, known);
    if (p.status == Parsed::kIncomplete) {
      if (!complete) break;
      // Defensive: a complete buffer always makes progress.
      p = Done(1);
    }
    if (p.length == 0) p.length = 1;
    if (p.has_event && events) events->push_back(p.event);
    used += p.length;
  }
  return used;
}

}  // namespace platform::console
