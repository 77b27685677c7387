// Dates as the operator types and sees them in date fields: DDMMYY(YY).
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/basics.h"
#include "util/dates.h"
#include "util/numbers.h"

namespace util {
namespace {

constexpr double kMax16 = 32767;
// A date holds four year digits: a longer year would lose its first digits.
constexpr int32_t kLatestYear = 9999;

double PackedValue(std::string_view packed) { return NumericValue(UnpackDigits(packed)); }

// A typed date read as day, month, year whatever the installation's order.
struct TypedDate {
  bool error = false;
  int32_t day = 0;
  int32_t month = 0;
  int32_t year = 0;
  bool four_digit_year = false;
};

TypedDate ReadTypedDate(std::string_view text) {
  TypedDate out;
  int part = 1;
  std::string buffer;
  double day = 0, month = 0, year = 0;
  for (char c : text) {
    if (c == ' ' || (c >= '0' && c <= '9')) {
      buffer += c;
    } else if (c == '.' || c == '/' || c == '-') {
      if (part == 1) {
        day = NumericValue(buffer);
      } else if (part == 2) {
        month = NumericValue(buffer);
      } else {
        out.error = true;
        return out;
      }
      buffer.clear();
      ++part;
    } else {
      out.error = true;
      return out;
    }
  }
  if (part == 1) {
    day = NumericValue(text.substr(0, 2));
    month = NumericValue(text.substr(text.size() < 2 ? text.size() : 2, 2));
    std::string_view rest = text.size() > 4 ? text.substr(4) : std::string_view();
    year = NumericValue(rest);
    out.four_digit_year = Trim(rest).size() > 3;
  } else if (part == 3) {
    year = NumericValue(buffer);
    out.four_digit_year = Trim(buffer).size() > 3;
  } else {
    out.error = true;
    return out;
  }
  if (day > kMax16 || month > kMax16 || year > kMax16) {
    out.error = true;
    return out;
  }
  out.day = static_cast<int32_t>(day);
  out.month = static_cast<int32_t>(month);
  out.year = static_cast<int32_t>(year);
  return out;
}

}  // namespace


std::string PackedDateText(std::string_view date, int32_t current_year) {
  const size_t n = date.size();
  if (n == 0) return std::string();
  const double day = PackedValue(date.substr(n - 1));
  const double month = n >= 2 ? PackedValue(date.substr(n - 2, 1)) : 0;
  const double year = n == 1 ? PackedValue(date) : PackedValue(date.substr(0, n >= 2 ? n - 2 : 0));
  if (day <= 0 && month <= 0) return std::string();
  std::string text = ZeroPad(day, 2) + ZeroPad(month, 2);
  if (year >= current_year - 50 && year <= current_year + 49) {
    text += ZeroPad(std::fmod(year, 100), 2);
  } else {
    text += ZeroPad(year, 4);
  }
  return text;
}


std::string ParseDateText(std::string_view text, int32_t current_year) {
  TypedDate t = ReadTypedDate(text);
  if (t.error) return PackDigits("00000000");
  if (t.day > 0 && t.month > 0 && !t.four_digit_year) {
    t.year += 100 * (current_year / 100);
    if (t.year - current_year > 49) {
      t.year -= 100;
    } else if (current_year - t.year > 50) {
      t.year += 100;
    }
  }
  if (t.year > kLatestYear) return PackDigits("00000000");
  return PackDigits(ZeroPad(t.year, 4) + ZeroPad(t.month, 2) + ZeroPad(t.day, 2));
}


int16_t DateTextInvalid(std::string_view text, int32_t current_year) {
  TypedDate t = ReadTypedDate(text);
  if (t.error) return -1;
  if (t.year < 100 && !t.four_digit_year) {
    t.year += 100 * (current_year / 100);
    if (t.year - current_year > 50) {
      t.year -= 100;
    } else if (current_year - t.year > 50) {
      t.year += 100;
    }
  }
  if (t.year > kLatestYear) return -1;
  // The ten days the Gregorian reform dropped never existed.
  if (t.year == 1582 && t.month == 10 && t.day > 4 && t.day < 15) return -1;
  if (t.month < 1 || t.month > 12) return -1;
  if (t.day < 1 || t.day > DaysInMonth(t.month, t.year, false)) return -1;
  return 0;
}

}  // namespace util
