#include "util/decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace util {

namespace {

// Magnitudes are strings of decimal digits without leading zeros ("" is 0).

std::string WithoutLeadingZeros(std::string digits) {
  const size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? std::string() : digits.substr(first);
}

int CompareMagnitudes(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
}

std::string AddMagnitudes(const std::string& a, const std::string& b) {
  std::string sum;
  int carry = 0;
  for (size_t i = 0; i < std::max(a.size(), b.size()) || carry != 0; ++i) {
    int d = carry;
    if (i < a.size()) d += a[a.size() - 1 - i] - '0';
    if (i < b.size()) d += b[b.size() - 1 - i] - '0';
    sum.push_back(static_cast<char>('0' + d % 10));
    carry = d / 10;
  }
  std::reverse(sum.begin(), sum.end());
  return WithoutLeadingZeros(sum);
}

// a - b, with a >= b.
std::string SubtractMagnitudes(const std::string& a, const std::string& b) {
  std::string difference;
  int borrow = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    int d = a[a.size() - 1 - i] - '0' - borrow;
    if (i < b.size()) d -= b[b.size() - 1 - i] - '0';
    borrow = d < 0 ? 1 : 0;
    difference.push_back(static_cast<char>('0' + d + 10 * borrow));
  }
  std::reverse(difference.begin(), difference.end());
  return WithoutLeadingZeros(difference);
}

std::string MultiplyMagnitudes(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return {};
  std::string product(a.size() + b.size(), '0');
  for (size_t i = a.size(); i-- > 0;) {
    int carry = 0;
    for (size_t j = b.size(); j-- > 0;) {
      const int d = (product[i + j + 1] - '0') + (a[i] - '0') * (b[j] - '0') + carry;
      product[i + j + 1] = static_cast<char>('0' + d % 10);
      carry = d / 10;
    }
    product[i] = static_cast<char>(product[i] + carry);
  }
  return WithoutLeadingZeros(product);
}

// a / b (b not 0), the quotient's digits and whether a remainder is left.
std::string DivideMagnitudes(const std::string& a, const std::string& b, bool* remainder_left) {
  std::string quotient;
  std::string remainder;
  for (char c : a) {
    remainder = WithoutLeadingZeros(remainder + c);
    char digit = '0';
    while (CompareMagnitudes(remainder, b) >= 0) {
      remainder = SubtractMagnitudes(remainder, b);
      ++digit;
    }
    quotient.push_back(digit);
  }
  *remainder_left = !remainder.empty();
  return WithoutLeadingZeros(quotient);
}

Decimal NoNumber(bool negative) {
  Decimal d;
  d.negative = negative;
  d.number = false;
  return d;
}

// The places kept: digits from 10 ^ -decimals up, the rest dropped, cut
// or rounded half to even.
Decimal ToPlaces(const Decimal& value, int64_t decimals, bool round) {
  if (!value.number || value.exponent >= -decimals) return value;
  const int64_t drop = -decimals - value.exponent;
  const std::string& digits = value.digits;
  const int64_t size = static_cast<int64_t>(digits.size());
  std::string kept = drop >= size ? std::string() : digits.substr(0, static_cast<size_t>(size - drop));
  if (round && drop <= size) {
    const std::string dropped = digits.substr(static_cast<size_t>(size - drop));
    const char first = dropped[0];
    const bool rest = dropped.find_first_not_of('0', 1) != std::string::npos;
    const bool odd = !kept.empty() && (kept.back() - '0') % 2 == 1;
    if (first > '5' || (first == '5' && (rest || odd))) kept = AddMagnitudes(kept, "1");
  }
  Decimal result;
  result.negative = value.negative;
  result.digits = kept;
  result.exponent = static_cast<int32_t>(-decimals);
  // Normalised by hand: trailing zeros go into the exponent.
  while (!result.digits.empty() && result.digits.back() == '0') {
    result.digits.pop_back();
    ++result.exponent;
  }
  if (result.digits.empty()) return Decimal();
  return result;
}

// Leading zeros gone, trailing zeros into the exponent, kDecimalDigits
// significant digits at most and no decimals beyond kDecimalLargestOrder.
Decimal Normalised(bool negative, std::string digits, int64_t exponent) {
  digits = WithoutLeadingZeros(std::move(digits));
  if (digits.empty()) return Decimal();
  const int64_t order = static_cast<int64_t>(digits.size()) + exponent;
  if (order > kDecimalLargestOrder) return NoNumber(negative);
  if (order < -kDecimalLargestOrder) return Decimal();  // far below anything kept
  Decimal d;
  d.negative = negative;
  d.digits = std::move(digits);
  d.exponent = static_cast<int32_t>(exponent);
  d = ToPlaces(d, std::min<int64_t>(kDecimalLargestOrder, kDecimalDigits - order), true);
  while (!d.digits.empty() && d.digits.back() == '0') {
    d.digits.pop_back();
    ++d.exponent;
  }
  if (d.digits.empty()) return Decimal();
  // Rounding up may have added an order.
  if (IntegerDigits(d) > kDecimalLargestOrder) return NoNumber(negative);
  return d;
}

// The magnitude's digits with the exponent brought down to exponent.
std::string Aligned(const Decimal& value, int32_t exponent) {
  return value.digits + std::string(static_cast<size_t>(value.exponent - exponent), '0');
}

}  // namespace

Decimal DecimalOf(int64_t whole) {
  const bool negative = whole < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(whole) : static_cast<uint64_t>(whole);
  return Normalised(negative, std::to_string(magnitude), 0);
}

bool ParseDecimal(std::string_view text, Decimal* value) {
  size_t at = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++at;
  std::string digits;
  int64_t exponent = 0;
  bool point = false;
  bool any = false;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c >= '0' && c <= '9') {
      digits.push_back(c);
      if (point) --exponent;
      any = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!any) return false;
  if (at < text.size()) {
    const char e = text[at];
    if (e != 'E' && e != 'e' && e != 'D' && e != 'd') return false;
    ++at;
    if (at < text.size() && text[at] == '+') ++at;
    int power = 0;
    const auto result = std::from_chars(text.data() + at, text.data() + text.size(), power);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    exponent += power;
  }
  const Decimal read = Normalised(negative, digits, exponent);
  if (!read.number) return false;
  *value = read;
  return true;
}

std::string DecimalText(const Decimal& value) {
  if (!value.number) return value.negative ? "-inf" : "inf";
  if (value.digits.empty()) return "0";
  std::string text = value.digits;
  if (value.exponent >= 0) {
    text += std::string(static_cast<size_t>(value.exponent), '0');
  } else {
    const size_t decimals = static_cast<size_t>(-value.exponent);
    if (text.size() <= decimals) text.insert(0, decimals + 1 - text.size(), '0');
    text.insert(text.size() - decimals, 1, '.');
  }
  return value.negative ? "-" + text : text;
}

double DecimalToDouble(const Decimal& value) {
  if (!value.number) {
    return value.negative ? -std::numeric_limits<double>::infinity()
                          : std::numeric_limits<double>::infinity();
  }
  if (value.digits.empty()) return 0;
  const std::string text = value.digits + "e" + std::to_string(value.exponent);
  double d = 0;
  std::from_chars(text.data(), text.data() + text.size(), d);
  return value.negative ? -d : d;
}

int32_t IntegerDigits(const Decimal& value) {
  return std::max<int32_t>(0, static_cast<int32_t>(value.digits.size()) + value.exponent);
}

Decimal Add(const Decimal& a, const Decimal& b) {
  if (!a.number || !b.number) return NoNumber(a.number ? b.negative : a.negative);
  if (a.digits.empty()) return b;
  if (b.digits.empty()) return a;
  const int32_t exponent = std::min(a.exponent, b.exponent);
  const std::string x = Aligned(a, exponent);
  const std::string y = Aligned(b, exponent);
  if (a.negative == b.negative) return Normalised(a.negative, AddMagnitudes(x, y), exponent);
  const int order = CompareMagnitudes(x, y);
  if (order == 0) return Decimal();
  return order > 0 ? Normalised(a.negative, SubtractMagnitudes(x, y), exponent)
                   : Normalised(b.negative, SubtractMagnitudes(y, x), exponent);
}

Decimal Subtract(const Decimal& a, const Decimal& b) { return Add(a, Negated(b)); }

Decimal Multiply(const Decimal& a, const Decimal& b) {
  const bool negative = a.negative != b.negative;
  if (!a.number || !b.number) return NoNumber(negative);
  return Normalised(negative, MultiplyMagnitudes(a.digits, b.digits),
                    static_cast<int64_t>(a.exponent) + b.exponent);
}

Decimal Divide(const Decimal& a, const Decimal& b) {
  const bool negative = a.negative != b.negative;
  if (!a.number || !b.number || b.digits.empty()) return NoNumber(negative);
  if (a.digits.empty()) return Decimal();
  // Enough zeros after the dividend for two digits beyond those kept; a
  // remainder left stands as a last digit 1, so that a half is told from
  // a little more than a half.
  const int64_t zeros = std::max<int64_t>(
      0, kDecimalDigits + 2 + static_cast<int64_t>(b.digits.size()) - static_cast<int64_t>(a.digits.size()));
  bool remainder_left = false;
  std::string quotient = DivideMagnitudes(a.digits + std::string(static_cast<size_t>(zeros), '0'),
                                          b.digits, &remainder_left);
  int64_t exponent = static_cast<int64_t>(a.exponent) - b.exponent - zeros;
  if (remainder_left) {
    quotient.push_back('1');
    --exponent;
  }
  return Normalised(negative, quotient, exponent);
}

Decimal Negated(const Decimal& value) {
  Decimal d = value;
  d.negative = !d.negative;
  return d;
}

Decimal Scaled(const Decimal& value, int32_t power) {
  if (!value.number || value.digits.empty()) return value;
  return Normalised(value.negative, value.digits, static_cast<int64_t>(value.exponent) + power);
}

Decimal Truncated(const Decimal& value, int decimals) { return ToPlaces(value, decimals, false); }

Decimal RoundedHalfEven(const Decimal& value, int decimals) { return ToPlaces(value, decimals, true); }

std::string DecimalRoundedDigits(const Decimal& value, int decimals) {
  if (!value.number) return {};
  const Decimal rounded = RoundedHalfEven(value, decimals);
  if (rounded.digits.empty()) return {};
  return rounded.digits + std::string(static_cast<size_t>(rounded.exponent + decimals), '0');
}

}  // namespace util
