// The key reader: console input events become the program's key codes.
#include "ui/keys.h"

#include "platform/console/console.h"
#include "ui/reset.h"

namespace ui {

namespace console = platform::console;

// Process-wide: filled once at start-up by the program above.
LayerHooks Hooks;

namespace {

// How long a composition on the keypad waits for its next digit. The
// terminal cannot report Alt being let go, so the end of the digits is
// either another input or this pause.
constexpr int kComposeWaitMs = 500;
constexpr int kIdleWaitMs = 200;

// The key reader of the one console of the process: it outlives each key
// read. An input read ahead (the one that ended a composition, or the one a
// wait saw arrive) is delivered before anything new from the console.
struct KeyReader {
  bool have_pending = false;
  console::InputEvent pending;
  bool calculator_open = false;
  bool calendar_open = false;
};
KeyReader reader;

bool NextEvent(console::InputEvent* event, int timeout_ms) {
  if (reader.have_pending) {
    *event = reader.pending;
    reader.have_pending = false;
    return true;
  }
  return console::ReadInput(event, timeout_ms);
}

void KeepForLater(const console::InputEvent& event) {
  reader.pending = event;
  reader.have_pending = true;
}

// The digit of a numeric-keypad key (Insert 0, End 1, Down 2, PgDn 3,
// Left 4, centre 5, Right 6, Home 7, Up 8, PgUp 9), or -1.
int KeypadDigit(const console::KeyEvent& key) {
  if (key.ch != 0 && (key.ch < '0' || key.ch > '9')) return -1;
  switch (key.scan) {
    case 0x52: return 0;
    case 0x4F: return 1;
    case 0x50: return 2;
    case 0x51: return 3;
    case 0x4B: return 4;
    case 0x4C: return 5;
    case 0x4D: return 6;
    case 0x47: return 7;
    case 0x48: return 8;
    case 0x49: return 9;
    default: return -1;
  }
}

bool IsAltKeypadDigit(const console::InputEvent& event) {
  return event.kind == console::InputEvent::kKey && event.key.down &&
         (event.key.modifiers & console::kLeftAlt) != 0 &&
         KeypadDigit(event.key) >= 0;
}

// Alt itself going up (or a bare modifier report): part of the composition.
bool EndsComposition(const console::InputEvent& event) {
  if (event.kind != console::InputEvent::kKey) return false;
  return !event.key.down || event.key.scan == 0x38 ||
         (event.key.ch == 0 && event.key.scan == 0);
}

// Collects keypad digits typed with the left Alt held, starting with the
// event given; the event becomes the character of the number mod 256.
void Compose(console::InputEvent* event) {
  // Only the number mod 256 matters; keeping the remainder as the digits
  // come gives that for any count of digits without overflowing.
  int value = 0;
  for (;;) {
    value = (value * 10 + KeypadDigit(event->key)) % 256;
    console::InputEvent next;
    bool got = NextEvent(&next, kComposeWaitMs);
    // Releases of the digit keys do not end the number.
    while (got && next.kind == console::InputEvent::kKey && !next.key.down &&
           next.key.scan != 0x38) {
      got = NextEvent(&next, kComposeWaitMs);
    }
    if (got && IsAltKeypadDigit(next)) {
      *event = next;
      continue;
    }
    if (got && !EndsComposition(next)) KeepForLater(next);
    break;
  }
  event->key.ch = static_cast<uint8_t>(value);
  event->key.scan = 0;
  event->key.modifiers = 0;
}

int ModifiedKey(int code, uint8_t modifiers) {
  const bool f1_f10 = code >= 0x3B00 && code <= 0x4400;
  const bool f11_f12 = code == 0x8500 || code == 0x8600;
  if (code == 0x1200) return 213;  // Alt+E
  if (modifiers & (console::kLeftAlt | console::kRightAlt)) {
    if (f1_f10) return code + 0x2D00;
    if (f11_f12) return code + 0x600;
  } else if (modifiers & console::kCtrl) {
    if (f1_f10) return code + 0x2300;
    if (f11_f12) return code + 0x400;
    if (code == kKeyHome) return kKeyCtrlHome;
    if (code == kKeyRight) return kKeyCtrlRight;
    if (code == kKeyLeft) return kKeyCtrlLeft;
  } else if (modifiers & console::kShift) {
    if (f1_f10) return code + 0x1900;
    if (f11_f12) return code + 0x200;
  }
  return code;
}

// Runs a pop-up behind its hot key once; its answer is typed for the caller.
void RunPopup(const std::function<std::string()>& hook, bool* open) {
  if (*open || !hook) return;
  *open = true;
  keyboard.TypeAheadBuffer = hook();
  *open = false;
}

bool CodableCell(int row, int column) {
  return row >= 1 && row <= kClickMaxSide && column >= 1 && column <= kClickMaxSide;
}

}  // namespace

int16_t ClickCode(int row, int column) {
  if (!CodableCell(row, column)) return 0;
  return static_cast<int16_t>(-(100 * column + row));
}

bool IsClickCode(int16_t code) {
  if (code >= 0) return false;
  const int cell = -static_cast<int>(code);
  return CodableCell(cell % 100, cell / 100);
}

bool ClickCell(int16_t code, int16_t* row, int16_t* column) {
  *row = 0;
  *column = 0;
  if (!IsClickCode(code)) return false;
  const int cell = -static_cast<int>(code);
  *row = static_cast<int16_t>(cell % 100);
  *column = static_cast<int16_t>(cell / 100);
  return true;
}

void ReadKey(int16_t& key, int16_t& button, int16_t& row, int16_t& column) {
  if (!keyboard.TypeAheadBuffer.empty()) {
    key = static_cast<unsigned char>(keyboard.TypeAheadBuffer.front());
    keyboard.TypeAheadBuffer.erase(0, 1);
    return;
  }
  if (keyboard.Mouse == MouseState::kNotInitialised) {
    keyboard.Mouse = console::HasMouse() ? MouseState::kReady : MouseState::kNoMouse;
  }
  if (keyboard.Mouse == MouseState::kReady) {
    console::EnableMouse(true);
    keyboard.Mouse = MouseState::kOn;
  }
  key = 0;
  button = 0;
  row = 0;
  column = 0;
  console::Refresh();

  console::InputEvent event;
  if (!NextEvent(&event, 0)) return;
  if (IsAltKeypadDigit(event)) Compose(&event);

  if (event.kind == console::InputEvent::kKey && event.key.down) {
    const int code = event.key.ch != 0 ? event.key.ch : event.key.scan << 8;
    key = static_cast<int16_t>(ModifiedKey(code, event.key.modifiers));
  } else if (event.kind == console::InputEvent::kMouse &&
             keyboard.Mouse == MouseState::kOn && event.mouse.buttons != 0 &&
             IsClickCode(ClickCode(event.mouse.row + 1, event.mouse.column + 1))) {
    // A press on a cell no click code can name (beside any screen the
    // program can have) hits nothing: as a code it would wrap into a key.
    button = event.mouse.buttons;
    row = static_cast<int16_t>(event.mouse.row + 1);
    column = static_cast<int16_t>(event.mouse.column + 1);
  }

  if (key == kKeyAltX) RunPopup(Hooks.calculator, &reader.calculator_open);
  if (key == kKeyAltC) RunPopup(Hooks.calendar, &reader.calendar_open);

  if (keyboard.Mouse == MouseState::kOn && (key != 0 || button != 0)) {
    console::EnableMouse(false);
    keyboard.Mouse = MouseState::kReady;
  }
}

void ReadKeyWaiting(int16_t& key, int16_t& button, int16_t& row,
                    int16_t& column) {
  for (;;) {
    ReadKey(key, button, row, column);
    if (key != 0 || button != 0) return;
    // Sleep in the console until something arrives instead of spinning.
    console::InputEvent event;
    if (!reader.have_pending && console::ReadInput(&event, kIdleWaitMs)) {
      KeepForLater(event);
    }
  }
}

void WaitKey(int16_t& key) {
  int16_t button = 0, row = 0, column = 0;
  ReadKeyWaiting(key, button, row, column);
  if (button != 0) {
    const int code = column * 256 + button * 64 + row;
    key = static_cast<int16_t>(static_cast<uint16_t>(code & 0xFFFF));
  }
}

void FlushKeyboard() {
  console::FlushInput();
  reader.have_pending = false;
}

namespace internal {
void ForgetKeyReader() { reader = KeyReader(); }
}  // namespace internal

}  // namespace ui
