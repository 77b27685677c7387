#include "util/basics.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "util/cp850.h"

namespace util {
namespace {

std::array<char, 256> MakeUpperTable() {
  std::array<char, 256> table{};
  for (int i = 0; i < 256; ++i) table[i] = static_cast<char>(i);
  for (int c = 'a'; c <= 'z'; ++c) table[c] = static_cast<char>(c - 'a' + 'A');
  const std::string lower = Cp850("äöüéñåç");
  const std::string upper = Cp850("ÄÖÜÉÑÅÇ");
  for (size_t i = 0; i < lower.size(); ++i) {
    table[static_cast<unsigned char>(lower[i])] = upper[i];
  }
  return table;
}

const std::array<char, 256>& UpperTable() {
  static const std::array<char, 256> table = MakeUpperTable();
  return table;
}

template <typename Int>
Int Saturate(double value) {
  if (std::isnan(value)) return 0;
  double cut = std::trunc(value);
  if (cut >= static_cast<double>(std::numeric_limits<Int>::max())) {
    return std::numeric_limits<Int>::max();
  }
  if (cut <= static_cast<double>(std::numeric_limits<Int>::min())) {
    return std::numeric_limits<Int>::min();
  }
  return static_cast<Int>(cut);
}

}  // namespace

char UpperCaseChar(char c) { return UpperTable()[static_cast<unsigned char>(c)]; }

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperCaseChar(c);
  return out;
}

std::string_view TrimLeft(std::string_view text) {
  size_t start = text.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

std::string_view TrimRight(std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

std::string_view Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

double NumericValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  std::string number;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    if (text[i] == '-') number += '-';
    ++i;
  }
  bool digits = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      number += c;
      digits = true;
    } else if (c == '.' && !point) {
      number += c;
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  double value = 0;
  auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Out of range either way: a whole part with a significant digit is too
    // large, otherwise the number is too small to tell from 0.
    size_t whole = number.find_first_of("123456789");
    size_t point_at = number.find('.');
    bool too_large = whole != std::string::npos && (point_at == std::string::npos || whole < point_at);
    double huge = std::numeric_limits<double>::infinity();
    value = !too_large ? 0.0 : (number[0] == '-' ? -huge : huge);
  }
  return value == 0 ? 0.0 : value;  // never a negative zero
}

int16_t NumericValue16(std::string_view text) { return Saturate<int16_t>(NumericValue(text)); }
int32_t NumericValue32(std::string_view text) { return Saturate<int32_t>(NumericValue(text)); }

}  // namespace util
