// The pop-up calculator behind Alt+X: an adding machine with an accumulator,
// a pending operation and a paper tape of 22 lines, in a window of 26
// columns and 25 rows that the operator moves sideways. Its whole state
// lives in "KITCALC.TMP" of the terminal's directory between calls and
// between runs, so that each terminal keeps its own tape.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "env/status.h"
#include "util/decimal.h"

namespace ui::forms {

inline constexpr std::string_view kCalculatorFileName = "KITCALC.TMP";
inline constexpr int kTapeLines = 22;
// The entry row of an empty tape: the tape's lines are shown on rows
// entry row .. 22, so none is.
inline constexpr int16_t kEmptyTapeRow = 23;
// The window's width; it moves within columns 1 .. kCalculatorRightEdge.
inline constexpr int16_t kCalculatorWidth = 26;
inline constexpr int16_t kCalculatorRightEdge = 80;
// Decimals an entry takes at most: with more, the display picture and the
// result text would lose digits anyway.
inline constexpr int16_t kMaxDecimals = 14;

// Values are held in decimal: what is typed is exact, and so are the sums
// and differences of amounts.
struct TapeLine {
  util::Decimal value;
  bool decimal_point = false;
  int16_t decimals = 0;
  std::string operation;  // one character, or empty
};

struct CalculatorState {
  int16_t left = 1;                   // the window's left column
  int16_t entry_row = kEmptyTapeRow;  // the topmost row of the tape in use
  util::Decimal entry;
  util::Decimal accumulator;
  bool cleared = true;
  bool entering = false;        // an entry is being typed
  bool decimal_point = false;   // the entry shows a decimal point
  int16_t decimals = 0;         // decimals typed, or shown
  std::string operation;        // the current operation
  std::string pending;          // applied by the next + - * / =
  std::array<TapeLine, kTapeLines> tape{};  // tape[21] is the newest line
};

// The state file's text: comma-separated fields, texts in double quotes,
// one record per line (CR LF): left column, entry row, entry value,
// accumulator; the cleared, entering and decimal-point flags (-1 true,
// 0 false) and the decimal count; the current and pending operations; then
// the 22 tape lines, each value, decimal-point flag, decimal count and
// operation.
std::string CalculatorStateText(const CalculatorState& state);
// The state of a file's text: the defaults, overridden by whatever each
// field holds that can be read as what it stands for. Garbage, a text cut
// short, numbers that are not finite or beyond the window's places, flags
// that are neither -1 nor 0, decimal counts beyond kMaxDecimals and
// unknown operations keep their defaults.
CalculatorState ParseCalculatorState(std::string_view text);

// Reads env::session.TerminalDir + "KITCALC.TMP" (the defaults when it is missing
// or unreadable) and writes it back whole through a temporary file renamed
// over it, so that a failed save leaves the last state as it was. Save
// gives the failure when the file could not be replaced (kNotFound without
// a terminal directory).
CalculatorState LoadCalculatorState();
env::Status SaveCalculatorState(const CalculatorState& state);

// What a key does to the calculator, besides changing its state.
enum class CalculatorStep {
  kNothing,   // the key means nothing here
  kEntry,     // the entry changed: show the entry line
  kTape,      // the tape changed: redraw the window
  kMoved,     // the window moved: open it at state.left and redraw
  kFinish,    // "F": type the result
  kLeave,     // Escape: type nothing
};
// Applies one key (a code of 1..255 is taken upper-cased, others as
// extended keys) to the state.
CalculatorStep CalculatorKey(CalculatorState& state, int16_t key);

// The result in hundredths, as typed into a field: the entry while one is
// typed, else the accumulator, times 10 ^ e with e the decimal count but at
// least 2, its digits with a "." before the last e - 2 of them ("1250" for
// 12.5, "1212.5" for 12.125), with "-" in front of a negative value. Empty
// when the value is not a finite number (after a division by zero).
std::string CalculatorResultText(const CalculatorState& state);

// The number as the tape and the entry line show it: 21 characters,
// thousands grouped, with decimal_point the decimals given.
std::string CalculatorNumberText(const util::Decimal& value, bool decimal_point, int16_t decimals);

// Shows the calculator until "F" (the result text) or Escape (empty text),
// saving its state on the way out. The console must have 25 rows and 80
// columns; on a smaller one nothing is shown and the result is empty.
std::string ShowCalculator();

}  // namespace ui::forms
