// Packed digits (two decimal digits per byte, each byte 128 + 0..99) and the
// calendar on packed dates (YYYYMMDD in 4 bytes, comparable as byte strings).
// The calendar is Julian before 1582 and Gregorian from then on; October 1582
// keeps all its days, each operation choosing its leap rule as noted below.
// Units are one letter, any case: "D" days, "M" months, "A" years.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace util {

// Digits packed two per byte; blanks at either end become leading zeros, an
// odd count gets a trailing 0, a non-digit counts as 0.
std::string PackDigits(std::string_view digits);
// Two digits per byte, from the byte's low seven bits (100..127 keep their
// last two digits).
std::string UnpackDigits(std::string_view packed);

// A packed date split into numbers: day and month from the last four digits,
// the year from the digits before them. Garbage stays garbage (month 47), an
// empty text gives 0, 0, 0; years beyond 32-bit range are held at its limit.
struct DateParts {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
};
DateParts SplitDate(std::string_view date);
// year x 10000 + month x 100 + day as eight digits, packed.
std::string PackDate(int32_t year, int32_t month, int32_t day);

// Leap rule of the year concerned: every fourth year before 1582, the
// Gregorian rule from 1582 on.
bool LeapYear(int64_t year);
// Days of month m (31, 28/29, 31, 30 ...) with the Julian or the Gregorian
// leap rule as asked.
int32_t DaysInMonth(int64_t month, int64_t year, bool julian);

// Days, months or completed years between two dates, in either order;
// always 0 or more. An unknown unit gives 0.
int32_t DateDiff(std::string_view date1, std::string_view date2, std::string_view unit);
// date + count units. Month and year steps end on the month's last day when
// the day does not exist. Beyond 9999 the result is 9999-12-31, before year 0
// it is 0000-01-01. A count of 0 or an unknown unit returns the date as given.
std::string DateAdd(std::string_view date, int32_t count, std::string_view unit);
// 1 Monday .. 7 Sunday.
int32_t Weekday(std::string_view date);

// DDMMYY when the year lies within current year - 50 .. + 49, else DDMMYYYY;
// empty when day and month are both 0. The caller reads current_year from
// the clock (util/ never asks it).
std::string PackedDateText(std::string_view date, int32_t current_year);

// Packed digits shown in groups of four separated by points, leading zero
// groups as 0, trailing zero groups dropped ("0.1234.5678", "1.2"); empty when
// every digit is 0.
std::string PackedNumberText(std::string_view packed);

// A date typed as day, month and year separated by ".", "/" or "-", or as
// DDMMYY[YY] without separators. Two-digit years fall into current year - 50
// .. + 49. Day and month are not range-checked. Unreadable text, or a year
// past 9999, gives the packed "00000000".
std::string ParseDateText(std::string_view text, int32_t current_year);
// -1 when the typed text is not a valid date (Gregorian month lengths for
// every year, the ten days dropped in October 1582 and years past 9999
// refused), else 0.
int16_t DateTextInvalid(std::string_view text, int32_t current_year);

}  // namespace util
