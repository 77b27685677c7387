// Calendar arithmetic on packed dates.
#include "util/dates.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "util/basics.h"
#include "util/numbers.h"

namespace util {
namespace {

constexpr int64_t kMaxYear = 9999;
// Days in 400 years under one leap rule: the calendar repeats after them.
constexpr int64_t kGregorianCycle = 146097;
constexpr int64_t kJulianCycle = 146100;

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int64_t FloorMod(int64_t a, int64_t b) { return a - b * FloorDiv(a, b); }

bool GregorianLeap(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// Leap years among 0..year under the rule of each year.
int64_t LeapYearsUpTo(int64_t year) {
  if (year < 0) return 0;
  const int64_t julian_last = year < 1581 ? year : 1581;
  int64_t count = julian_last / 4 + 1;  // 0, 4, 8 ...
  if (year >= 1582) {
    auto gregorian = [](int64_t y) { return y / 4 - y / 100 + y / 400; };
    count += gregorian(year) - gregorian(1581);
  }
  return count;
}

int64_t MonthLength(int64_t month, int64_t year) {
  return DaysInMonth(month, year, year < 1582);
}

char UnitLetter(std::string_view unit) {
  return unit.size() == 1 ? UpperCaseChar(unit[0]) : '\0';
}

int32_t Saturate32(int64_t value) {
  if (value < 0) return 0;
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value > kMax ? kMax : value);
}

const std::string& ReformDate() {
  static const std::string date = PackDigits("15821005");
  return date;
}

}  // namespace

DateParts SplitDate(std::string_view date) {
  const std::string digits = UnpackDigits(date);
  const size_t split = digits.size() > 4 ? digits.size() - 4 : 0;
  const int32_t low = NumericValue32(std::string_view(digits).substr(split));
  DateParts parts;
  parts.day = low % 100;
  parts.month = (low / 100) % 100;
  parts.year = split > 0 ? NumericValue32(std::string_view(digits).substr(0, split)) : 0;
  return parts;
}

std::string PackDate(int32_t year, int32_t month, int32_t day) {
  const double n = static_cast<double>(year) * 10000 + static_cast<double>(month) * 100 + day;
  return PackDigits(ZeroPad(n, 8));
}

bool LeapYear(int64_t year) { return year < 1582 ? year % 4 == 0 : GregorianLeap(year); }

int32_t DaysInMonth(int64_t month, int64_t year, bool julian) {
  int64_t days = 30 + FloorMod(1 + FloorMod(month + 1, 9), 2);
  if (month == 2) {
    const bool leap = julian ? year % 4 == 0 : GregorianLeap(year);
    days -= leap ? 1 : 2;
  }
  return static_cast<int32_t>(days);
}

int32_t DateDiff(std::string_view date1, std::string_view date2, std::string_view unit) {
  const bool first_is_1 = date1 < date2;
  const DateParts a = SplitDate(first_is_1 ? date1 : date2);
  const DateParts b = SplitDate(first_is_1 ? date2 : date1);
  const int64_t y1 = a.year, m1 = a.month, d1 = a.day;
  const int64_t y2 = b.year, m2 = b.month, d2 = b.day;
  switch (UnitLetter(unit)) {
    case 'D': {
      int64_t total = 0;
      if (y2 - 1 >= y1 + 1) {
        total += 365 * (y2 - 1 - y1) + LeapYearsUpTo(y2 - 1) - LeapYearsUpTo(y1);
      }
      const int64_t last_month = y1 < y2 ? 12 : m2 - 1;
      for (int64_t m = m1; m <= last_month; ++m) total += MonthLength(m, y1);
      if (y1 < y2) {
        for (int64_t m = 1; m <= m2 - 1; ++m) total += MonthLength(m, y2);
      }
      return Saturate32(total - d1 + d2);
    }
    case 'M':
      return Saturate32((y2 - y1) * 12 + m2 - m1);
    case 'A':
      return Saturate32(y2 - y1 - ((m1 > m2 || (m1 == m2 && d1 > d2)) ? 1 : 0));
    default:
      return 0;
  }
}

std::string DateAdd(std::string_view date, int32_t count, std::string_view unit) {
  const char u = UnitLetter(unit);
  if (count == 0 || (u != 'D' && u != 'M' && u != 'A')) return std::string(date);
  const DateParts parts = SplitDate(date);
  int64_t y = parts.year, m = parts.month, d = parts.day;
  // One leap rule for the whole call, chosen by where the date lies.
  const bool julian = date < ReformDate();
  const int64_t cycle = julian ? kJulianCycle : kGregorianCycle;
  auto length = [&] { return static_cast<int64_t>(DaysInMonth(m, y, julian)); };

  if (u == 'D') {
    d += count;
  } else if (u == 'M') {
    m += count;
    const int64_t years = FloorDiv(m - 1, 12);
    y += years;
    m -= 12 * years;
  } else {
    y += count;
  }

  // Whole 400-year cycles at a time, so that a huge day count does not walk
  // month by month (only from a real month: the cycle holds for those).
  auto skip_cycles = [&] {
    if (u != 'D' || m < 1 || m > 12) return;
    if (d > cycle) {
      const int64_t cycles = (d - 1) / cycle;
      d -= cycles * cycle;
      y += 400 * cycles;
    } else if (d < 1 - cycle) {
      const int64_t cycles = -d / cycle;
      d += cycles * cycle;
      y -= 400 * cycles;
    }
  };

  if (count > 0) {
    skip_cycles();
    while (d > length()) {
      if (u != 'D') {
        d = length();
        break;
      }
      d -= length();
      if (++m > 12) {
        m = 1;
        ++y;
        skip_cycles();
      }
    }
  } else {
    skip_cycles();
    while (d < 1) {
      if (--m < 1) {
        m = 12;
        --y;
        skip_cycles();
      }
      d += length();
    }
    if (u != 'D' && d > length()) d = length();
  }

  if (y > kMaxYear) return PackDigits("99991231");
  // Before year 0 there is no date to give: the earliest one instead of the
  // wrapped digits a negative year would pack into.
  if (y < 0) return PackDigits("00000101");
  return PackDate(static_cast<int32_t>(y), static_cast<int32_t>(m), static_cast<int32_t>(d));
}

int32_t Weekday(std::string_view date) {
  std::string january_first(date.substr(0, 2));
  january_first += PackDigits("0101");
  const int64_t s = static_cast<int64_t>(DateDiff(january_first, date, "d")) - 1;
  const int64_t y = static_cast<int64_t>(SplitDate(date).year) - 1;
  int64_t base;
  if (date < ReformDate()) {
    base = FloorMod(FloorDiv(y, 4) + y, 7) + 6;
  } else {
    base = FloorMod(FloorDiv(y, 4) + y - FloorDiv(y, 100) + FloorDiv(y, 400), 7) + 1;
  }
  return static_cast<int32_t>(FloorMod(base + s, 7) + 1);
}

}  // namespace util
