// Numbers held in decimal, for arithmetic whose figures must be the ones
// typed: 2.30 is two units and thirty hundredths, not the binary number
// nearest to it, and sixteen digits stay sixteen digits. A result keeps
// kDecimalDigits significant digits, rounded half to even.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace util {

inline constexpr int kDecimalDigits = 34;
// A result with more integer digits than this is no number (as an overflow
// would be); one with more decimals loses them, rounded.
inline constexpr int kDecimalLargestOrder = 400;

// negative, digits x 10 ^ exponent. digits has no leading nor trailing
// zeros and is empty for 0; number is false after a division by zero or an
// overflow. Only Negated makes a negative 0 (a sign typed before the
// digits); every result of arithmetic and every text read gives a plain 0.
struct Decimal {
  bool negative = false;
  std::string digits;
  int32_t exponent = 0;
  bool number = true;

  bool operator==(const Decimal&) const = default;
};

Decimal DecimalOf(int64_t whole);
// "12.5", "-3", ".5", "7.", "1.5E+20" and "1.5D+20" (the exponent letter of
// the family's classic programs); false for anything else, blanks included.
bool ParseDecimal(std::string_view text, Decimal* value);
// Plain notation, every digit: "-12.5", "0", "1500"; "inf" or "-inf" for no
// number.
std::string DecimalText(const Decimal& value);
// The nearest double; infinity (with the sign) for no number.
double DecimalToDouble(const Decimal& value);
// Integer digits of the value (0 below 1).
int32_t IntegerDigits(const Decimal& value);

Decimal Add(const Decimal& a, const Decimal& b);
Decimal Subtract(const Decimal& a, const Decimal& b);
Decimal Multiply(const Decimal& a, const Decimal& b);
// No number when b is 0.
Decimal Divide(const Decimal& a, const Decimal& b);
Decimal Negated(const Decimal& value);
// value x 10 ^ power, exact.
Decimal Scaled(const Decimal& value, int32_t power);

// To decimals places: cut towards zero, or rounded half to even.
Decimal Truncated(const Decimal& value, int decimals);
Decimal RoundedHalfEven(const Decimal& value, int decimals);

// As RoundedDigits does for a double: the digits of |value| x 10 ^ decimals
// rounded half to even, without leading zeros; "" for 0 and no number.
std::string DecimalRoundedDigits(const Decimal& value, int decimals);

// FormatNumber for a decimal: the same picture rules, the digits exact.
std::string FormatDecimal(std::string_view picture, const Decimal& value);

}  // namespace util
