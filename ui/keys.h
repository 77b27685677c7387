// Console input as the program's 16-bit key codes: 1..255 a code page 850
// character, an extended key its PC scan code times 256 (Right 0x4D00, F1
// 0x3B00), with Shift, Ctrl and Alt applied to the function keys and
// characters composed on the keypad with Alt held. Also the key set that
// decides which keys end a field and what they are reported as, the masking
// of hidden fields and the option list of choice fields.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ui {

enum class MouseState : uint8_t { kNotInitialised, kNoMouse, kReady, kOn };

// The keyboard of the session: one console per process, and the key set, the
// type-ahead and the mouse outlive the field that set them. Back to start by
// ResetScreenAndKeys.
struct Keyboard {
  // Characters still to be delivered as keys (the calculator's and calendar's
  // results), first character first.
  std::string TypeAheadBuffer{};

  // End keys of a field, 2-byte little-endian codes side by side with what
  // each is reported as. Empty: every key the editor does not handle itself
  // ends the field. One save slot.
  std::string KeySetCodes{};
  std::string KeySetTranslations{};
  std::string SavedKeySetCodes{};
  std::string SavedKeySetTranslations{};
  bool KeySetSaved{};

  // 0 for visible fields, else the character shown instead of the text
  // (88, "X", for hidden input).
  int16_t MaskCharacter{};

  // Options of a choice field, each "|" code "," display text; empty for
  // ordinary fields.
  std::string ChoiceList{};

  // Whether the console's mouse was looked for and is in use.
  MouseState Mouse{};
};
extern Keyboard keyboard;

// The layer's hooks, filled once at start-up by the program: the pop-ups
// behind Alt+X (0x2D00) and Alt+C (0x2E00). Each returns the text to be
// typed into the field (empty when the operator left with Escape). Empty
// until the pop-ups are linked in: the hot key is then an ordinary key.
struct LayerHooks {
  std::function<std::string()> calculator;
  std::function<std::string()> calendar;
};
extern LayerHooks Hooks;

inline constexpr int16_t kKeyAltX = 0x2D00;
inline constexpr int16_t kKeyAltC = 0x2E00;

// The codes ReadKey gives for the cursor keys and the others the fields,
// forms, lists and pop-ups act on (the extended code times 256).
inline constexpr int16_t kKeyUp = 0x4800, kKeyDown = 0x5000, kKeyLeft = 0x4B00,
                         kKeyRight = 0x4D00;
inline constexpr int16_t kKeyHome = 0x4700, kKeyEnd = 0x4F00, kKeyPgUp = 0x4900,
                         kKeyPgDn = 0x5100;
inline constexpr int16_t kKeyInsert = 0x5200, kKeyDelete = 0x5300, kKeyShiftTab = 0x0F00;
inline constexpr int16_t kKeyCtrlLeft = 0x7300, kKeyCtrlRight = 0x7400, kKeyCtrlHome = 0x7700;
inline constexpr int16_t kKeyCtrlPgDn = 0x7600, kKeyCtrlPgUp = static_cast<int16_t>(0x8400);
inline constexpr int16_t kKeyAltF = 0x2100;

// The characters and function keys with a meaning of their own: the field
// editor's, the forms', the lists', the pop-ups' and the tools' (Escape
// leaves, Enter accepts, F1 asks for help, F2 turns to a linked form, F4
// opens a list, Ctrl+L repaints).
inline constexpr int16_t kKeyCtrlB = 2, kKeyCtrlC = 3, kKeyBackspace = 8, kKeyTab = 9,
                         kKeyCtrlL = 12, kKeyEnter = 13, kKeyCtrlV = 22, kKeyCtrlY = 25, kKeyEscape = 27;
inline constexpr int16_t kKeyF1 = 0x3B00, kKeyF2 = 0x3C00, kKeyF4 = 0x3E00,
                         kKeyCtrlF4 = 0x6100, kKeyAltF4 = 0x6B00;

// A click as the field editor, the forms and the lists report it:
// -(100 x column + row), the clicked cell 1-based and absolute. The screen
// has at most 99 rows and 99 columns, so every click lies in -9999..-101.
// Extended keys of scan code 0x80 and above are negative as 16-bit codes
// too (F11 0x8500 is -31488, Alt+Up 0x9800 is -26624), far below that
// range: a negative code is not a click by itself.
inline constexpr int kClickMaxSide = 99;
// The click code of a cell; 0 when the cell cannot be coded (outside
// 1..kClickMaxSide).
int16_t ClickCode(int row, int column);
// Whether a code is a click, as opposed to a key.
bool IsClickCode(int16_t code);
// The clicked cell of a click code, 1-based and absolute; false, with row
// and column 0, for a code that is not a click.
bool ClickCell(int16_t code, int16_t* row, int16_t* column);

// One key, never waiting: key = 0 when nothing is pending. A mouse button
// press leaves key 0 and gives the button bits (1 left, 2 right, 4 middle)
// and the 1-based absolute row and column of the click; a press on a cell
// ClickCode cannot name is dropped.
void ReadKey(int16_t& key, int16_t& button, int16_t& row, int16_t& column);
// Waits until ReadKey gives a key or a button press (without spinning).
void ReadKeyWaiting(int16_t& key, int16_t& button, int16_t& row,
                    int16_t& column);
// Waits for a key or a click; a click is column x 256 + button x 64 + row,
// kept to 16 bits.
void WaitKey(int16_t& key);
// Drops every pending console input (the type-ahead buffer is kept).
void FlushKeyboard();

void SetChoiceList(std::string_view list);

// Operations, one letter each, upper-cased: "A" adds the items of keys
// ("hex" or "hex=hex", separated by ","), "D" deletes them, "E" empties the
// set, "+" saves it (when the slot is free), "-" restores it (when saved),
// "H" hides input (mask "X"), "V" shows it. Other letters are ignored.
void SetKeySet(std::string_view operations, std::string_view keys);
// The index of code among the aligned entries of keyboard.KeySetCodes, or -1.
int KeySetFind(int16_t code);
// The translation of the entry at index.
int16_t KeySetTranslation(int index);

}  // namespace ui
