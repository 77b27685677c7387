// The screen model every screen shares: console size, the current window and
// its frame, the stack of nested pop-up windows whose covered cells are saved
// in "WinPush.tmp" in env::session.WorkDir, the colour selection with its small stack,
// scrolling, and the message panel for notices and questions.
//
// Coordinates here are 1-based (row 1 is the top line, column 1 the left
// edge), except ScrollRegion, which takes 0-based cells. Drawing goes through
// platform/console; everything is synchronous.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ui {

// The window stack of the session with its colours: one screen per process,
// and every window opened stays open across the calls until it is closed.
// Back to start by ResetScreenAndKeys.
struct WindowStack {
  // Number of windows open in this run; 0 means the whole screen is the
  // drawing area.
  int16_t WindowDepth{};
  // The innermost open window, frame lines included, in absolute screen
  // coordinates. At depth 0 they keep what the last close restored.
  int16_t WindowTop{};
  int16_t WindowLeft{};
  int16_t WindowBottom{};
  int16_t WindowRight{};

  // The colour pair (of env::session.ColourTable) selected now, 0..4, and the saved
  // indexes of the pushes, one byte each, the top at the end.
  int16_t ColourIndex{};
  std::string ColourStack{};
};
extern WindowStack window_stack;

// The name of the window file inside env::session.WorkDir.
inline constexpr std::string_view kWindowFileName = "WinPush.tmp";

// Size of the console, asked every time.
int16_t ScreenRows();
int16_t ScreenColumns();

// Moves the cursor: at depth 0 to (row, column); inside a window relative to
// its frame, so (1, 1) is the first cell inside the frame.
void LocateInWindow(int16_t row, int16_t column);
// First row and column inside the current window (1 at depth 0) and its
// last column inside the frame (ScreenColumns at depth 0).
int16_t FirstRow();
int16_t FirstColumn();
int16_t LastColumn();

// Prints text at the cursor in the console's current colour and moves the
// cursor after it (clipped at the right edge of the screen, no wrapping).
void Print(std::string_view text);
// LocateInWindow followed by Print.
void PrintAt(int16_t row, int16_t column, std::string_view text);

// Saves the cells under the rectangle (absolute, 1-based, inclusive) on the
// window stack and makes it the current window; the screen is not changed.
// True when the window was opened; false, with nothing changed (no block,
// no depth change), for a rectangle outside the console or when the window
// file cannot be written (no session.WorkDir, a full disk).
bool OpenWindow(int16_t top, int16_t left, int16_t bottom, int16_t right);
// Paints back the cells under the innermost window, puts the cursor where it
// was at the push and makes the enclosing window current. With no window
// saved it only removes the window file. The console colour is afterwards
// that of the last cell restored: callers select theirs again.
void CloseWindow();

// Frame of the current window, style 0 blank, 1 single line, 2 double line,
// in the colour selected; the inside is cleared. Nothing at depth 0.
void DrawFrame(int16_t style);

// Selects a colour pair: "+" pushes the current index first, "-" pops one
// (pair 0 when the stack is empty), otherwise "U" selects 4, "R" 2 and "N"
// adds 1; other letters are ignored. The caller's text is upper-cased in
// place; a literal may be passed as well: SetColour("+rh").
void SetColour(std::string& colour_code);
void SetColour(std::string_view colour_code);
// Console attribute of a pair of session.ColourTable (foreground low nibble).
uint8_t PairAttribute(int16_t index);

// Scrolls the rectangle (0-based, inclusive, clipped to the console) up by
// count lines when count > 0, else down by -count lines (at least 1); the
// uncovered lines are blanked in the current colour.
void ScrollRegion(int16_t top, int16_t left, int16_t bottom, int16_t right,
                  int16_t count);

// A single-line framed panel, centred on column 41 around the given row
// (callers pass 24 for notices at the foot of the screen), showing the text
// laid out in lines of at most 76 characters. The panel stays open: the
// caller waits for the answer and removes it with CloseWindow. Returns true
// when the panel's window was opened, false when the text does not fit on
// the screen (nothing drawn, nothing to close).
bool ShowMessagePanel(int16_t row, std::string_view text);
// The text in a message panel at the middle of the screen, with a line
// asking for a key ("PREMEU UNA TECLA PER CONTINUAR") and a beep,
// until the operator presses a key (keys typed before it are dropped); the
// panel is then removed. The key pressed; Escape (27) without an open
// console, where nobody can answer.
int16_t TellOperator(std::string_view text);

// Has the console show, while the terminal is smaller than the screen, a
// message in the operator's language saying the size it needs and the size
// it has. Before the console opens.
void InstallTooSmallMessage();

}  // namespace ui
