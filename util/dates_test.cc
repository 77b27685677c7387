#include "util/dates.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace util {
namespace {

// "2024-01-31" as a packed date.
std::string D(std::string ymd) {
  std::erase(ymd, '-');
  return PackDigits(ymd);
}

std::vector<int> Bytes(const std::string& text) {
  return std::vector<int>(reinterpret_cast<const unsigned char*>(text.data()),
                          reinterpret_cast<const unsigned char*>(text.data()) + text.size());
}

TEST(PackedDigits, TwoDigitsPerByteAndBack) {
  EXPECT_EQ(Bytes(PackDigits("20240131")), (std::vector<int>{148, 152, 129, 159}));
  EXPECT_EQ(Bytes(PackDigits("123")), (std::vector<int>{140, 158}));
  EXPECT_EQ(UnpackDigits(PackDigits("123")), "1230");
  EXPECT_EQ(UnpackDigits(PackDigits("20240131")), "20240131");
  EXPECT_EQ(PackDigits(""), "");
  // Blanks at the ends become leading zeros, inner blanks and other
  // characters count as 0.
  EXPECT_EQ(UnpackDigits(PackDigits(" 123")), "0123");
  EXPECT_EQ(UnpackDigits(PackDigits("12  ")), "0012");
  EXPECT_EQ(UnpackDigits(PackDigits("1 x4")), "1004");
  // Bytes that were never packed still read as two digits each.
  EXPECT_EQ(UnpackDigits(std::string("\x05\xFF\x80", 3)), "052700");
}

TEST(PackedDigits, NumberTextInGroupsOfFour) {
  EXPECT_EQ(PackedNumberText(PackDigits("000012345678")), "0.1234.5678");
  EXPECT_EQ(PackedNumberText(PackDigits("000100020000")), "1.2");
  EXPECT_EQ(PackedNumberText(PackDigits("000100000000")), "1");
  EXPECT_EQ(PackedNumberText(PackDigits("000000000000")), "");
  EXPECT_EQ(PackedNumberText(PackDigits("123456")), "123456");
  EXPECT_EQ(PackedNumberText(PackDigits("0042")), "42");
  EXPECT_EQ(PackedNumberText(""), "");
  // Leading zero groups before a non-zero one must not blank the number.
  EXPECT_EQ(PackedNumberText(PackDigits("000000005678")), "0.0.5678");
  EXPECT_EQ(PackedNumberText(std::string("\x01\x02\x03", 3)), "10203");
  std::string many;
  for (int i = 0; i < 499; ++i) many += ".101";
  EXPECT_EQ(PackedNumberText(std::string(1000, '\x81')), "101" + many);
}

TEST(SplitDate, DayMonthAndYearFromTheDigits) {
  DateParts p = SplitDate(D("2024-01-31"));
  EXPECT_EQ(p.year, 2024);
  EXPECT_EQ(p.month, 1);
  EXPECT_EQ(p.day, 31);
  p = SplitDate("");
  EXPECT_EQ(p.year + p.month + p.day, 0);
  p = SplitDate(PackDigits("99999999999999999999"));
  EXPECT_EQ(p.year, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(PackDate(2024, 2, 29), D("2024-02-29"));
}

TEST(Calendar, LeapRuleJulianBefore1582) {
  EXPECT_TRUE(LeapYear(1500));
  EXPECT_TRUE(LeapYear(1580));
  EXPECT_FALSE(LeapYear(1582));
  EXPECT_FALSE(LeapYear(1700));
  EXPECT_TRUE(LeapYear(1600));
  EXPECT_TRUE(LeapYear(2000));
  EXPECT_EQ(DaysInMonth(2, 1700, true), 29);
  EXPECT_EQ(DaysInMonth(2, 1700, false), 28);
  const int expected[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; ++m) EXPECT_EQ(DaysInMonth(m, 2023, false), expected[m - 1]) << m;
}

TEST(DateDiff, Days) {
  EXPECT_EQ(DateDiff(D("2024-01-01"), D("2024-12-31"), "D"), 365);
  EXPECT_EQ(DateDiff(D("2023-01-01"), D("2023-12-31"), "D"), 364);
  EXPECT_EQ(DateDiff(D("2024-03-01"), D("2024-02-01"), "d"), 29);
  EXPECT_EQ(DateDiff(D("1900-02-28"), D("1900-03-01"), "D"), 1);
  EXPECT_EQ(DateDiff(D("2000-02-28"), D("2000-03-01"), "D"), 2);
  EXPECT_EQ(DateDiff(D("1500-02-28"), D("1500-03-01"), "D"), 2);
  // October 1582 keeps all its days.
  EXPECT_EQ(DateDiff(D("1582-10-04"), D("1582-10-15"), "D"), 11);
  EXPECT_EQ(DateDiff(D("2024-05-05"), D("2024-05-05"), "D"), 0);
  // 700 years with 46 Julian and 126 Gregorian leap years.
  EXPECT_EQ(DateDiff(D("1400-01-01"), D("2100-01-01"), "D"), 700 * 365 + 172);
  // 396 Julian leap years from year 0, 2041 Gregorian ones up to 9999.
  EXPECT_EQ(DateDiff(D("0000-01-01"), D("9999-12-31"), "D"), 10000 * 365 + 396 + 2041 - 1);
}

TEST(DateDiff, MonthsYearsAndOtherUnits) {
  EXPECT_EQ(DateDiff(D("2020-06-15"), D("2024-06-14"), "A"), 3);
  EXPECT_EQ(DateDiff(D("2020-06-15"), D("2024-06-15"), "a"), 4);
  EXPECT_EQ(DateDiff(D("2024-06-15"), D("2020-06-15"), "A"), 4);
  EXPECT_EQ(DateDiff(D("2023-12-31"), D("2024-01-01"), "M"), 1);
  EXPECT_EQ(DateDiff(D("2023-12-31"), D("2024-01-01"), "W"), 0);
  EXPECT_EQ(DateDiff(D("2023-12-31"), D("2024-01-01"), ""), 0);
  // Garbage never gives a negative count.
  EXPECT_GE(DateDiff(PackDigits("20231350"), D("2024-01-01"), "D"), 0);
  EXPECT_GE(DateDiff("", PackDigits("99999999999999999999"), "D"), 0);
}

TEST(DateAdd, MonthsAndYearsEndOnTheLastDay) {
  EXPECT_EQ(DateAdd(D("2024-01-31"), 1, "M"), D("2024-02-29"));
  EXPECT_EQ(DateAdd(D("2024-03-31"), -1, "m"), D("2024-02-29"));
  EXPECT_EQ(DateAdd(D("2024-01-31"), 13, "M"), D("2025-02-28"));
  EXPECT_EQ(DateAdd(D("2024-01-15"), -13, "M"), D("2022-12-15"));
  EXPECT_EQ(DateAdd(D("2024-02-29"), 1, "A"), D("2025-02-28"));
  EXPECT_EQ(DateAdd(D("2024-02-29"), -4, "A"), D("2020-02-29"));
  EXPECT_EQ(DateAdd(D("9999-01-01"), 1, "A"), D("9999-12-31"));
}

TEST(DateAdd, Days) {
  EXPECT_EQ(DateAdd(D("2024-01-01"), -1, "D"), D("2023-12-31"));
  EXPECT_EQ(DateAdd(D("2024-12-31"), 1, "d"), D("2025-01-01"));
  EXPECT_EQ(DateAdd(D("2024-03-01"), -1, "D"), D("2024-02-29"));
  EXPECT_EQ(DateAdd(D("2024-01-01"), 366, "D"), D("2025-01-01"));
  EXPECT_EQ(DateAdd(D("1582-10-04"), 1, "D"), D("1582-10-05"));
  // Day 0 is the last day of the month before.
  EXPECT_EQ(DateAdd(PackDigits("20240300"), -1, "D"), D("2024-02-28"));
}

TEST(DateAdd, OneLeapRulePerCallChosenByTheStartDate) {
  // From a Julian start 1700 is a leap year, from a Gregorian one it is not.
  const int32_t to_feb_28 = DateDiff(D("1582-10-04"), D("1700-02-28"), "D");
  EXPECT_EQ(DateAdd(D("1582-10-04"), to_feb_28 + 1, "D"), D("1700-02-29"));
  EXPECT_EQ(DateAdd(D("1582-10-05"), to_feb_28, "D"), D("1700-03-01"));
  EXPECT_EQ(DateAdd(D("1500-02-28"), 1, "D"), D("1500-02-29"));
  EXPECT_EQ(DateAdd(D("1700-02-28"), 1, "D"), D("1700-03-01"));
}

TEST(DateAdd, LimitsAndGarbage) {
  const int32_t max = std::numeric_limits<int32_t>::max();
  const int32_t min = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(DateAdd(D("2024-01-01"), max, "D"), D("9999-12-31"));
  EXPECT_EQ(DateAdd(D("2024-01-01"), max, "M"), D("9999-12-31"));
  EXPECT_EQ(DateAdd(D("2024-01-01"), max, "A"), D("9999-12-31"));
  // Before year 0 the earliest date, not digits wrapped from a negative year.
  EXPECT_EQ(DateAdd(D("2024-01-01"), min, "D"), D("0000-01-01"));
  EXPECT_EQ(DateAdd(D("2024-01-01"), min, "M"), D("0000-01-01"));
  EXPECT_EQ(DateAdd(D("0001-06-01"), -2, "A"), D("0000-01-01"));
  EXPECT_EQ(DateAdd(D("0000-01-01"), -1, "D"), D("0000-01-01"));
  // A count of 0 or an unknown unit leaves the text alone.
  EXPECT_EQ(DateAdd("garbage", 0, "D"), "garbage");
  EXPECT_EQ(DateAdd(D("2024-01-01"), 5, "W"), D("2024-01-01"));
  // Impossible months and days are carried along without hanging.
  EXPECT_EQ(DateAdd(PackDigits("20249999"), 5, "D").size(), 4u);
  EXPECT_EQ(DateAdd(PackDigits("20249901"), min, "D").size(), 4u);
  EXPECT_EQ(DateAdd(PackDigits("99999999999999999999"), min, "D"), D("9999-12-31"));
  EXPECT_EQ(DateAdd("", 1, "D"), PackDigits("00000001"));
}

TEST(Weekday, MondayIsOneAcrossTheReform) {
  EXPECT_EQ(Weekday(D("2024-01-01")), 1);
  EXPECT_EQ(Weekday(D("2024-01-07")), 7);
  EXPECT_EQ(Weekday(D("2000-02-29")), 2);
  EXPECT_EQ(Weekday(D("1900-01-01")), 1);
  EXPECT_EQ(Weekday(D("1582-10-04")), 4);
  EXPECT_EQ(Weekday(D("1582-10-15")), 5);
  EXPECT_EQ(Weekday(D("0001-01-01")), 6);
  for (const std::string& odd : {std::string(), std::string("x"), PackDigits("20241399")}) {
    int32_t w = Weekday(odd);
    EXPECT_GE(w, 1);
    EXPECT_LE(w, 7);
  }
}

}  // namespace
}  // namespace util
