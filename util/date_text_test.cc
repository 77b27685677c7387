#include <gtest/gtest.h>

#include <string>

#include "util/dates.h"

namespace util {
namespace {

std::string D(std::string ymd) {
  std::erase(ymd, '-');
  return PackDigits(ymd);
}

const std::string kUnread = PackDigits("00000000");

TEST(PackedDateText, TwoDigitYearsNearTheCurrentYear) {
  EXPECT_EQ(PackedDateText(D("2024-01-31"), 2024), "310124");
  EXPECT_EQ(PackedDateText(D("1950-01-01"), 2024), "01011950");
  EXPECT_EQ(PackedDateText(D("1974-01-01"), 2024), "010174");
  EXPECT_EQ(PackedDateText(D("2073-12-31"), 2024), "311273");
  EXPECT_EQ(PackedDateText(D("2074-01-01"), 2024), "01012074");
  EXPECT_EQ(PackedDateText(PackDigits("20240000"), 2024), "");
  EXPECT_EQ(PackedDateText("", 2024), "");
  EXPECT_EQ(PackedDateText(PackDigits("20240100"), 2024), "000124");
  // A single byte is a day with its own value as the year.
  EXPECT_EQ(PackedDateText(PackDigits("07"), 2024), "07000007");
}

TEST(ParseDateText, SeparatedAndRunTogether) {
  EXPECT_EQ(ParseDateText("5/1/24", 2024), D("2024-01-05"));
  EXPECT_EQ(ParseDateText("050174", 2024), D("1974-01-05"));
  EXPECT_EQ(ParseDateText("05011973", 2024), D("1973-01-05"));
  EXPECT_EQ(ParseDateText("5.1.73", 2024), D("2073-01-05"));
  EXPECT_EQ(ParseDateText("5.1.75", 2024), D("1975-01-05"));
  EXPECT_EQ(ParseDateText("5-1-1975", 2024), D("1975-01-05"));
  EXPECT_EQ(ParseDateText(" 5/ 1/ 24 ", 2024), D("2024-01-05"));
  EXPECT_EQ(ParseDateText("31/2/24", 2024), D("2024-02-31"));
  // In 2099 a 50 is next century's, in 2000 a 49 is this one's.
  EXPECT_EQ(ParseDateText("1/1/48", 2099), D("2148-01-01"));
  EXPECT_EQ(ParseDateText("1/1/49", 2000), D("2049-01-01"));
  EXPECT_EQ(ParseDateText("1/1/50", 2000), D("1950-01-01"));
}

TEST(ParseDateText, UnreadableTextGivesZeros) {
  for (const char* bad : {"5/1", "5a1", "1/2/3/4", "5/1/99999", "99/99/99999", "x"}) {
    EXPECT_EQ(ParseDateText(bad, 2024), kUnread) << bad;
  }
  EXPECT_EQ(ParseDateText(std::string(5000, '9'), 2024), kUnread);
  // Nothing typed reads as zeros too, without a century.
  EXPECT_EQ(ParseDateText("", 2024), kUnread);
  EXPECT_EQ(ParseDateText("//", 2024), kUnread);
  // A five-digit year does not fit a date (it would turn into 0244).
  EXPECT_EQ(ParseDateText("1/1/20244", 2024), kUnread);
  EXPECT_EQ(ParseDateText("1/1/9999", 2024), D("9999-01-01"));
}

TEST(DateTextInvalid, RealDatesOnly) {
  EXPECT_EQ(DateTextInvalid("29/2/24", 2024), 0);
  EXPECT_EQ(DateTextInvalid("29/2/23", 2024), -1);
  EXPECT_EQ(DateTextInvalid("5/13/24", 2024), -1);
  EXPECT_EQ(DateTextInvalid("0/1/24", 2024), -1);
  EXPECT_EQ(DateTextInvalid("31/4/24", 2024), -1);
  EXPECT_EQ(DateTextInvalid("31122024", 2024), 0);
  EXPECT_EQ(DateTextInvalid("5/1", 2024), -1);
  EXPECT_EQ(DateTextInvalid("", 2024), -1);
  EXPECT_EQ(DateTextInvalid("5/1/99999", 2024), -1);
  EXPECT_EQ(DateTextInvalid("1/1/20244", 2024), -1);
  EXPECT_EQ(DateTextInvalid("31/12/9999", 2024), 0);
}

TEST(DateTextInvalid, ReformDaysAndTheGregorianRuleForEveryYear) {
  EXPECT_EQ(DateTextInvalid("4/10/1582", 2024), 0);
  EXPECT_EQ(DateTextInvalid("5/10/1582", 2024), -1);
  EXPECT_EQ(DateTextInvalid("10/10/1582", 2024), -1);
  EXPECT_EQ(DateTextInvalid("14/10/1582", 2024), -1);
  EXPECT_EQ(DateTextInvalid("15/10/1582", 2024), 0);
  EXPECT_EQ(DateTextInvalid("29/2/1500", 2024), -1);
  EXPECT_EQ(DateTextInvalid("29/2/1600", 2024), 0);
  EXPECT_EQ(DateTextInvalid("29/2/2000", 2024), 0);
  // Two-digit years within 50 of the current year: 00 is 2000 in 2049,
  // 1900 (no 29 February) in 1949.
  EXPECT_EQ(DateTextInvalid("29/2/00", 2049), 0);
  EXPECT_EQ(DateTextInvalid("29/2/00", 1949), -1);
}

}  // namespace
}  // namespace util
