// The virtual console: a Windows-console-like screen buffer of cells, a
// cursor, a current attribute and an input queue, shown on a real terminal
// (ncursesw) or kept headless for tests. Everything above platform/ draws
// and reads keys through this header only.
//
// Coordinates here are 0-based (row 0 is the top line). Text is code page
// 850 bytes. An attribute byte has the foreground colour in its low nibble
// and the background in its high nibble (the 16 console colours, DOS order:
// 0 black, 1 blue, 2 green, 3 cyan, 4 red, 5 magenta, 6 brown, 7 light grey,
// 8-15 their bright forms).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::console {

struct Cell {
  char ch = ' ';
  uint8_t attr = 0x07;
};

// Modifier state carried by every input event.
enum Modifier : uint8_t {
  kShift = 0x01,
  kCtrl = 0x02,
  kLeftAlt = 0x04,
  kRightAlt = 0x08,
};

struct KeyEvent {
  uint8_t ch = 0;        // code page 850 character, 0 for an extended key
  uint8_t scan = 0;      // PC scan code (F1 0x3B, Right 0x4D, Alt+X 0x2D, ...)
  uint8_t modifiers = 0; // Modifier bits held when the key went down
  bool down = true;      // the terminal only reports presses
};

struct MouseEvent {
  int row = 0;           // 0-based screen cell
  int column = 0;
  uint8_t buttons = 0;   // bit 0 left, bit 1 right, bit 2 middle; 0 = release
  uint8_t modifiers = 0;
};

struct InputEvent {
  enum Kind : uint8_t { kNone, kKey, kMouse } kind = kNone;
  KeyEvent key;
  MouseEvent mouse;
};

// Opens the back end chosen by KITCONSOLE ("headless:FILE" or, by default,
// the terminal) with the size of KITCONSOLE_SIZE ("COLSxROWS", at most
// 99 x 99; 80 x 25 otherwise). Returns false, with a reason in *error, when
// no console can be had (no terminal, a locale that is not UTF-8, ...).
// Opening twice is harmless; Close restores the terminal.
bool Open(std::string* error = nullptr);
void Close();
bool IsOpen();

int Rows();
int Columns();

// Cells of the buffer. Out-of-range reads give a blank cell with attribute
// 0x07; out-of-range writes are ignored.
Cell GetCell(int row, int column);
void PutCell(int row, int column, Cell cell);
// Writes text at (row, column) in attr, clipped at the right edge of the
// row (no wrapping); the cursor does not move.
void WriteText(int row, int column, std::string_view text, uint8_t attr);
// Moves the cells of the rectangle up by count lines (count > 0) or down
// (count < 0), filling the uncovered lines with blanks of attribute fill.
void Scroll(int top, int left, int bottom, int right, int count, uint8_t fill);

void SetCursor(int row, int column);
int CursorRow();
int CursorColumn();
// size 1..100 (percent of the cell, as on Windows); visible false hides it.
void SetCursorShape(bool visible, int size);
bool CursorVisible();
int CursorSize();

uint8_t CurrentAttribute();
void SetCurrentAttribute(uint8_t attr);

// Sends what changed since the last refresh to the terminal. Every operation
// of ui/ that draws calls it before it waits for input.
void Refresh();
// Forgets what the terminal shows and redraws every cell (after a child
// program, a resize, or Ctrl+L).
void Redraw();
void Beep();

// Input. ReadInput waits up to timeout_ms (-1 for ever) for one event and
// returns false when none came. PendingInput tells whether an event is
// queued without waiting; FlushInput drops every queued event.
bool ReadInput(InputEvent* event, int timeout_ms);
bool PendingInput();
void FlushInput();
// Mouse reporting of button presses (on by default once the program asks).
void EnableMouse(bool on);
bool HasMouse();

// The keyboard's state the program reads: the Insert toggle and the
// modifiers now held (from the last event).
bool InsertMode();
void SetInsertMode(bool on);
uint8_t ModifierState();

// The console's clipboard (plain code page 850 text).
std::string Clipboard();
void SetClipboard(std::string_view text);

// Around a child program that uses the terminal: Suspend gives the terminal
// back (modes off, mouse off, cursor shown), Resume takes it again and
// redraws the whole screen from the cells.
void Suspend();
void Resume();

// Headless back end only: the screen as UTF-8 lines (one per row, trailing
// blanks kept) and, in the same layout, one hexadecimal attribute digit pair
// per cell. Empty on the terminal back end.
std::string DumpText();
std::string DumpAttributes();

}  // namespace platform::console
