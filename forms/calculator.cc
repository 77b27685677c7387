// The calculator on the screen: a window of rows 1 to 25 whose tape grows
// upwards from row 22 over whatever the screen shows, the entry on row 24.
#include <string>

#include "forms/calculator.h"
#include "forms/editor_state.h"
#include "platform/console/console.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/cp850.h"

namespace ui::forms {

namespace {

namespace console = platform::console;

constexpr int16_t kTopRow = 1, kSeparatorRow = 23, kEntryRow = 24, kBottomRow = 25;

// The inside of the frame is 24 cells: the 21 of a number, a blank, the
// operation and a blank.
std::string Line(const std::string& left, const std::string& fill, const std::string& right) {
  std::string line = util::Cp850(left);
  for (int i = 0; i < kCalculatorWidth - 2; ++i) line += util::Cp850(fill);
  return line + util::Cp850(right);
}

void PutRow(const CalculatorState& s, int16_t row, const std::string& text) {
  console::WriteText(row - 1, s.left - 1, text, console::CurrentAttribute());
}

void ShowEntry(const CalculatorState& s) {
  const std::string bar = util::Cp850("│");
  PutRow(s, kEntryRow, bar + CalculatorNumberText(s.entry, s.decimal_point, s.decimals) +
                           "   " + bar);
}

void Draw(const CalculatorState& s) {
  const std::string bar = util::Cp850("│");
  const std::string top = Line("┌", "─", "┐");
  for (int16_t row = s.entry_row; row < kSeparatorRow; ++row) {
    const TapeLine& line = s.tape[static_cast<size_t>(row - 1)];
    const std::string operation = line.operation.empty() ? " " : line.operation.substr(0, 1);
    PutRow(s, row, bar + CalculatorNumberText(line.value, line.decimal_point, line.decimals) +
                       " " + operation + " " + bar);
  }
  if (s.entry_row < kSeparatorRow) PutRow(s, static_cast<int16_t>(s.entry_row - 1), top);
  PutRow(s, kSeparatorRow, s.entry_row < kSeparatorRow ? Line("├", "─", "┤") : top);
  ShowEntry(s);
  PutRow(s, kBottomRow, Line("└", "─", "┘"));
}

// Opens the window at the state's column and draws it; false when the
// console refuses the window (smaller than 80 x 25).
bool Open(const CalculatorState& s) {
  if (!OpenWindow(kTopRow, s.left, kBottomRow,
                  static_cast<int16_t>(s.left + kCalculatorWidth - 1))) {
    return false;
  }
  Draw(s);
  return true;
}

// Closes the window and opens it again: the rows above a shorter tape show
// what lies beneath again.
bool Reopen(const CalculatorState& s) {
  CloseWindow();
  // CloseWindow leaves the colour of the last cell it painted back.
  console::SetCurrentAttribute(PairAttribute(window_stack.ColourIndex));
  return Open(s);
}

// The dialogue in an open window; false when the window could not be
// opened again after a move.
bool Run(CalculatorState& s, std::string* result) {
  for (;;) {
    int16_t key = 0;
    WaitKey(key);
    switch (CalculatorKey(s, key)) {
      case CalculatorStep::kNothing:
        break;
      case CalculatorStep::kEntry:
        ShowEntry(s);
        break;
      case CalculatorStep::kTape:
      case CalculatorStep::kMoved:
        if (!Reopen(s)) return false;
        break;
      case CalculatorStep::kFinish:
        *result = CalculatorResultText(s);
        return true;
      case CalculatorStep::kLeave:
        return true;
    }
  }
}

}  // namespace

std::string ShowCalculator() {
  const PopupScope popup("+e", "");
  CalculatorState state = LoadCalculatorState();
  std::string result;
  if (Open(state)) {
    if (Run(state, &result)) CloseWindow();
    // The result is the operator's already; a tape not kept only starts
    // the next calculator empty, as on a terminal without a folder of its own.
    static_cast<void>(SaveCalculatorState(state));
  } else {
    console::Beep();
  }
  return result;
}

}  // namespace ui::forms
