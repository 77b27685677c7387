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

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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
// Whether Open would find a console: KITCONSOLE names the headless back
// end, or standard input and output are a terminal. A program run from a
// shell with its output redirected prints instead.
bool Available();

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
// Takes the first Escape key out of what has arrived, without waiting;
// every other event stays queued in its order. True when there was one. A
// wait uses it to let the operator give up without losing what was typed
// ahead.
bool TakeEscapeKey();
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

// The words shown instead of the screen while the terminal is smaller than
// the virtual screen (code page 850), from the size needed and the size the
// terminal has. The program sets them in the operator's language; until
// then only the two sizes are shown ("80 x 25 > 60 x 20").
using TooSmallTextFunction =
    std::function<std::string(int columns_needed, int rows_needed, int columns, int rows)>;
void SetTooSmallText(TooSmallTextFunction text);
std::string TooSmallText(int columns_needed, int rows_needed, int columns, int rows);

// Runs another program in this terminal and waits for it: the terminal is
// given back to it (Suspend) and taken again afterwards (Resume, which
// redraws the whole screen from the cells). The program's exit status, or
// -1 when it could not be started.
int RunInTerminal(const std::string& host_path, const std::vector<std::string>& arguments = {});

// Headless back end only: the screen as UTF-8 lines (one per row, trailing
// blanks kept) and, in the same layout, one hexadecimal attribute digit pair
// per cell. Empty on the terminal back end.
std::string DumpText();
std::string DumpAttributes();

// ---------------------------------------------------------------------------
// How the events look (both back ends):
// - Every key carries its PC scan code, modified keys their own code:
//   Shift+F1 0x54, Ctrl+F1 0x5E, Alt+F1 0x68, F11/F12 0x85/0x86 (Shift 0x87/
//   0x88, Ctrl 0x89/0x8A, Alt 0x8B/0x8C), Ctrl+Left 0x73, Ctrl+Right 0x74,
//   Ctrl+Home 0x77, Ctrl+End 0x75, Ctrl+PgUp 0x84, Ctrl+PgDn 0x76, Alt with
//   the grey cursor keys 0x97..0xA3, Shift+Tab 0x0F; Alt with a letter gives
//   no character and the letter key's scan code (Alt+X 0x2D, Alt+E 0x12),
//   Alt with a digit 0x78..0x81. The modifiers field tells what was held.
// - Only the numeric keypad's keys (headless KP0..KP9) keep their plain code
//   with Alt held, so that Alt+keypad composition can be read from them; a
//   terminal cannot tell the keypad from the grey keys and gives the grey.
// - Only presses are reported (down is always true); mouse events are
//   button presses inside the virtual screen (releases, motion, the wheel
//   and clicks beside the screen are dropped).
// - Insert does not flip InsertMode by itself: the program writes the
//   toggle back with SetInsertMode when it handles the key.
// - FlushInput drops what a terminal has sent; a headless script is kept
//   (its keys stand for what the operator types when asked).
//
// Terminal back end: TERM's terminfo entry gives the strings; keys are
// decoded from the bytes (xterm, tmux/screen, the Linux console, rxvt).
// A lone Escape is taken after 25 ms (ESCDELAY=ms changes it). The locale
// must be UTF-8; with none set (C, POSIX) C.UTF-8 is taken. Only LC_CTYPE
// is changed, so number formatting stays in the C locale. A terminal smaller
// than the virtual screen shows a message instead until it is made larger.
// The terminal is given back at Close, at exit, on SIGINT, SIGTERM, SIGHUP,
// SIGQUIT and fatal signals (which are then raised again), and around a stop
// (SIGTSTP/SIGCONT); Ctrl+C and Ctrl+Z arrive as keys 3 and 26.
// ---------------------------------------------------------------------------

// Bytes written to the terminal since the process started (0 while only the
// headless back end ran); the measure of what a refresh costs on a line.
uint64_t BytesSent();

// The program's 16-bit key code of a key event: the character, or the scan
// code x 256 for an extended key ("4d00" Right, "3b00" F1, "d" Enter).
int16_t KeyCode(const KeyEvent& key);
// A short readable name of a key: "F1", "Shift+F1", "Ctrl+Left", "Alt+X",
// "Shift+Tab", "Enter", "Ctrl+C", or the character itself (code page 850).
std::string KeyName(const KeyEvent& key);

// ---------------------------------------------------------------------------
// Headless back end.
//
// KITCONSOLE=headless:FILE reads FILE as a script of keys, one per line
// (blank lines and lines starting with "#" are ignored; names are not
// case-sensitive):
//   F1 .. F12             function keys; prefixes S- (Shift), C- (Ctrl),
//                         M- (left Alt) combine: S-F1, C-F1, M-F1, C-S-F3
//   Up Down Left Right Home End PgUp PgDn Insert Delete (also PPage, NPage,
//                         IC, DC as tmux names them), with the same prefixes:
//                         C-Left, C-Right, C-Home, C-End, C-PgUp, C-PgDn
//   KP0 .. KP9            the numeric keypad's keys without Num Lock (KP1 is
//                         the keypad's End, KP5 its centre); M-KP1 M-KP3
//                         M-KP0 composes character 130
//   Enter Esc Tab S-Tab (BTab) BSpace Space
//   C-a .. C-z            control characters (C-c is 3, C-v 22)
//   M-a .. M-z, M-0 .. M-9  Alt with a letter or digit (M-x is Alt+X)
//   x                     a line of one character is that character
//   text:GARCIA           every character after "text:" is one key (UTF-8 in
//                         the script, code page 850 in the program)
//   click:ROW,COL         a left-button press at 1-based row and column;
//                         rclick: and mclick: for the right and middle button
// The screen is dumped as text to the file named by KITCONSOLE_DUMP (and its
// attributes to that name + ".attr") at Close and whenever the program asks
// for input that the script no longer has. A program that waits for input
// after its script has run out (a wait without timeout, timed waits adding
// up to KITCONSOLE_IDLE_MS, 2000 by default, or polls going on for 15 times
// that long) gets Escape from then on, until new keys are fed, so that its
// loops unwind and a scripted run never hangs; the handler the program set
// with SetHeadlessRanOutHandler is called first (the programs end the run
// there with exit status 3).
// ---------------------------------------------------------------------------

// Parses a key script into events; false with "line N: ..." in *error at
// the first bad line (events then holds nothing of the script).
bool ParseKeyScript(std::string_view script, std::vector<InputEvent>* events,
                    std::string* error = nullptr);

// In-process test hooks. OpenHeadless opens (or, when a console is open,
// closes and re-opens) the headless back end with a fresh blank buffer of
// columns x rows (1..99 each) and the events of script queued.
bool OpenHeadless(std::string_view script = {}, int columns = 80, int rows = 25,
                  std::string* error = nullptr);
// Appends the keys of a script (same syntax) to the input queue.
bool HeadlessFeed(std::string_view script, std::string* error = nullptr);
void HeadlessPush(const InputEvent& event);
// Events still queued.
size_t HeadlessPending();
// Called when the program asks for input and the queue is empty, with the
// timeout it asked for. Returning true means input was fed and the read is
// tried again; false makes ReadInput return false at once. While a handler
// is set the script never runs out. An empty function removes it.
using StarvedHandler = std::function<bool(int timeout_ms)>;
void SetHeadlessStarvedHandler(StarvedHandler handler);
// Called once each time the script runs out (see above), before the read
// gives Escape; the screen dump is written by then. The programs end the
// run there with exit status 3, the tests record a failure. The library
// itself never ends the process. An empty function removes it.
using RanOutHandler = std::function<void()>;
void SetHeadlessRanOutHandler(RanOutHandler handler);
// Whether the script has run out since the headless console was opened.
bool HeadlessRanOut();
// Beeps since the headless console was opened.
int HeadlessBeeps();
// Mouse reporting as the program last asked for it (EnableMouse).
bool MouseEnabled();
// True while suspended (between Suspend and Resume).
bool Suspended();

}  // namespace platform::console
