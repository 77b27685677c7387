// The calculator's arithmetic: what each key does to the entry, the
// accumulator, the pending operation and the tape; and the result text.
#include <algorithm>
#include <string>

#include "forms/calculator.h"
#include "ui/keys.h"
#include "util/basics.h"
#include "util/decimal.h"

namespace ui::forms {

namespace {

// Integer digits an entry takes at most: those of the display picture.
constexpr int kLargestEntryDigits = 16;
// Integer digits and decimals shown together stay below this many.
constexpr int kShownDigits = 15;

using util::Decimal;

// The fewest decimals with which the value is whole after rounding, the
// integer digits and the decimals kept below 15.
void ShowDecimalsOf(const Decimal& value, bool* decimal_point, int16_t* decimals) {
  const int integer_digits =
      std::max<int>(1, static_cast<int>(util::DecimalRoundedDigits(value, 0).size()));
  const int most = std::clamp(kShownDigits - 1 - integer_digits, 0, int{kMaxDecimals});
  const std::string digits = util::DecimalRoundedDigits(value, most);
  int count = 0;
  if (!digits.empty()) {
    const int zeros = static_cast<int>(digits.size() - 1 - digits.find_last_not_of('0'));
    count = std::max(0, most - zeros);
  }
  *decimals = static_cast<int16_t>(count);
  *decimal_point = count > 0;
}

// Rounded to hundredths, half to the even hundredth; negative values are
// cut towards zero, as the office's adding machines did.
Decimal RoundedToHundredths(const Decimal& value) {
  return value.negative ? util::Truncated(value, 2) : util::RoundedHalfEven(value, 2);
}

void StartEntry(CalculatorState& s) {
  if (s.entering) return;
  s.entry = Decimal();
  s.decimal_point = false;
  s.decimals = 0;
  s.entering = true;
}

void TypeDigit(CalculatorState& s, int digit) {
  StartEntry(s);
  // Digits go on away from zero, also after the sign was changed (the
  // entry's sign is kept while it is still 0).
  Decimal typed = util::DecimalOf(digit);
  if (s.entry.negative) typed = util::Negated(typed);
  if (!s.decimal_point) {
    const Decimal next = util::Add(util::Scaled(s.entry, 1), typed);
    if (util::IntegerDigits(next) <= kLargestEntryDigits) s.entry = next.digits.empty() ? s.entry : next;
  } else if (s.decimals < kMaxDecimals) {
    ++s.decimals;
    const Decimal next = util::Add(s.entry, util::Scaled(typed, -s.decimals));
    if (!next.digits.empty()) s.entry = next;
  }
}

void Backspace(CalculatorState& s) {
  if (!s.decimal_point) {
    s.entry = util::Truncated(util::Scaled(s.entry, -1), 0);
  } else if (s.decimals == 0) {
    s.decimal_point = false;
  } else {
    // The entry has exactly decimals decimals: drop the last of them.
    --s.decimals;
    s.entry = util::Truncated(s.entry, s.decimals);
  }
  s.entering = !s.entry.digits.empty();
}

void AddTapeLine(CalculatorState& s) {
  s.entry_row = static_cast<int16_t>(std::max(2, s.entry_row - 1));
  std::rotate(s.tape.begin(), s.tape.begin() + 1, s.tape.end());
  s.tape.back() = TapeLine{s.entry, s.decimal_point, s.decimals, s.operation};
}

Decimal Applied(const std::string& pending, const Decimal& accumulator, const Decimal& entry) {
  if (pending == "+") return util::Add(accumulator, entry);
  if (pending == "-") return util::Subtract(accumulator, entry);
  if (pending == "*") return util::Multiply(accumulator, entry);
  if (pending == "/") return util::Divide(accumulator, entry);
  return entry;
}

CalculatorStep Clear(CalculatorState& s) {
  if (s.entering) {
    s.entry = s.accumulator;
    s.entering = false;
    ShowDecimalsOf(s.entry, &s.decimal_point, &s.decimals);
    s.operation = s.pending;
    return CalculatorStep::kEntry;
  }
  if (!s.cleared) {
    s.accumulator = Decimal();
    s.entry = Decimal();
    s.decimal_point = false;
    s.decimals = 0;
    s.operation.clear();
    // A fresh start: an operation left pending would apply to the zero
    // (a "*" kept through the reset makes 5 + 3 = 3).
    s.pending.clear();
    s.cleared = true;
    return CalculatorStep::kEntry;
  }
  s.entry_row = kEmptyTapeRow;
  s.tape = {};
  return CalculatorStep::kTape;
}

CalculatorStep Operate(CalculatorState& s, char k) {
  s.operation = std::string(1, k);
  switch (k) {
    case 'C':
      return Clear(s);
    case 'R':
      s.entry = RoundedToHundredths(s.entry);
      s.accumulator = s.entry;
      s.decimal_point = true;
      s.decimals = 2;
      AddTapeLine(s);
      return CalculatorStep::kTape;
    case '%':
      AddTapeLine(s);
      s.entry = s.pending == "+" || s.pending == "-"
                    ? util::Multiply(util::Scaled(s.accumulator, -2), s.entry)
                    : util::Scaled(s.entry, -2);
      ShowDecimalsOf(s.entry, &s.decimal_point, &s.decimals);
      return CalculatorStep::kTape;
    default:
      break;
  }
  s.accumulator = Applied(s.pending, s.accumulator, s.entry);
  AddTapeLine(s);
  s.entry = s.accumulator;
  ShowDecimalsOf(s.entry, &s.decimal_point, &s.decimals);
  if (k == '=') {
    s.operation.clear();
    AddTapeLine(s);
  }
  s.pending = s.operation;
  s.entering = false;
  s.cleared = false;
  return CalculatorStep::kTape;
}

}  // namespace

CalculatorStep CalculatorKey(CalculatorState& s, int16_t key) {
  const char c = key >= 1 && key <= 255 ? util::UpperCaseChar(static_cast<char>(key)) : '\0';
  if (c >= '0' && c <= '9') {
    TypeDigit(s, c - '0');
    return CalculatorStep::kEntry;
  }
  switch (c) {
    case '.':
      StartEntry(s);
      if (!s.decimal_point) {
        s.decimal_point = true;
        s.decimals = 0;
      }
      return CalculatorStep::kEntry;
    case kKeyBackspace:
      Backspace(s);
      return CalculatorStep::kEntry;
    case '+': case '-': case '*': case '/': case '%': case 'R': case 'C':
      return Operate(s, c);
    case '=': case kKeyEnter:
      return s.entering ? Operate(s, '=') : CalculatorStep::kNothing;
    case 'T':
      s.entry = util::Negated(s.entry);
      return CalculatorStep::kEntry;
    case 'F':
      return CalculatorStep::kFinish;
    case kKeyEscape:
      return CalculatorStep::kLeave;
    default:
      break;
  }
  const int16_t right_edge_left = kCalculatorRightEdge - kCalculatorWidth + 1;
  switch (key) {
    case kKeyLeft: case kKeyCtrlLeft:
      s.left = s.left <= 1 ? right_edge_left : static_cast<int16_t>(s.left - 1);
      return CalculatorStep::kMoved;
    case kKeyRight: case kKeyCtrlRight:
      s.left = s.left >= right_edge_left ? int16_t{1} : static_cast<int16_t>(s.left + 1);
      return CalculatorStep::kMoved;
    case kKeyAltF:
      return CalculatorStep::kFinish;
    default:
      return CalculatorStep::kNothing;
  }
}

std::string CalculatorResultText(const CalculatorState& s) {
  const Decimal& value = s.entering ? s.entry : s.accumulator;
  if (!value.number) return {};
  const int e = std::max<int>(2, s.decimals);
  std::string digits = util::DecimalRoundedDigits(value, e);
  const bool negative = value.negative && !digits.empty();
  // A digit before the point, 0 for zero.
  if (digits.size() < static_cast<size_t>(e - 1)) {
    digits.insert(0, static_cast<size_t>(e - 1) - digits.size(), '0');
  }
  if (e > 2) digits.insert(digits.size() - static_cast<size_t>(e - 2), 1, '.');
  // A negative result keeps its sign: typed without it, it would reach the
  // field as a positive amount.
  return negative ? "-" + digits : digits;
}

std::string CalculatorNumberText(const Decimal& value, bool decimal_point, int16_t decimals) {
  std::string picture = "-Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9";
  if (decimal_point) picture += "." + std::string(static_cast<size_t>(std::max<int16_t>(decimals, 0)), '9');
  return util::FormatDecimal(picture.substr(picture.size() - 21), value);
}

}  // namespace ui::forms
