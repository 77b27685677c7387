// The PC keyboard as the program knows it: which scan code every key and
// modified key has. Both back ends build their key events here, so that a
// key typed on a terminal and the same key named in a script are one event.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/console/console.h"

namespace platform::console::internal {

// The keys of the editing and cursor block, in keypad order.
enum class Nav : uint8_t {
  kHome, kUp, kPgUp, kLeft, kCenter, kRight, kEnd, kDown, kPgDn, kInsert, kDelete,
};

inline constexpr uint8_t kAnyAlt = kLeftAlt | kRightAlt;

// F1..F12 with the modifiers held: the scan code already tells Shift, Ctrl
// or Alt (Alt first, then Ctrl, then Shift, as the program tests them).
KeyEvent FunctionKey(int number, uint8_t modifiers);
// A grey cursor key: Ctrl and Alt have codes of their own (Ctrl+Left 0x73,
// Alt+Up 0x98); Shift keeps the plain code.
KeyEvent NavKey(Nav key, uint8_t modifiers);
// The same key on the numeric keypad without Num Lock: always the plain
// code with the modifiers, which is what Alt+keypad composition reads.
KeyEvent KeypadKey(Nav key, uint8_t modifiers);
// A character typed with the modifiers: Ctrl with a letter gives the control
// character, Alt with a letter or digit gives no character and the key's
// scan code (Alt+X 0x2D, Alt+1 0x78). Enter, Tab, Backspace and Escape
// carry their own scan codes.
KeyEvent CharKey(uint8_t ch, uint8_t modifiers);
KeyEvent ShiftTab(uint8_t modifiers);

// Scan code of the key of a US-layout PC keyboard that types c (0 if none).
uint8_t ScanOfCharacter(uint8_t c);

}  // namespace platform::console::internal
