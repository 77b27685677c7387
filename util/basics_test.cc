#include "util/basics.h"

#include <gtest/gtest.h>

#include <cmath>

#include "util/cp850.h"

namespace util {
namespace {

TEST(UpperCase, OnlyTheSevenAccentedLettersGetCapitals) {
  EXPECT_EQ(UpperCase(Cp850("añöüéåç")), Cp850("AÑÖÜÉÅÇ"));
  EXPECT_EQ(UpperCase(Cp850("àèòíóú")), Cp850("àèòíóú"));
  EXPECT_EQ(UpperCase("menu [1]"), "MENU [1]");
}

TEST(Trim, RemovesSpacesOnly) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("\ta\t"), "\ta\t");
  EXPECT_EQ(Trim("    "), "");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
}

TEST(NumericValue, ReadsAsFarAsANumberGoes) {
  EXPECT_EQ(NumericValue("  42abc"), 42);
  EXPECT_EQ(NumericValue("-3.5"), -3.5);
  EXPECT_EQ(NumericValue("+7"), 7);
  EXPECT_EQ(NumericValue("1.2.3"), 1.2);
  EXPECT_EQ(NumericValue(".5"), 0.5);
  EXPECT_EQ(NumericValue("12 34"), 12);
  EXPECT_EQ(NumericValue("- 5"), 0);
  EXPECT_EQ(NumericValue("\t5"), 0);  // a tab is not a blank
  EXPECT_EQ(NumericValue(""), 0);
  EXPECT_EQ(NumericValue("abc"), 0);
  EXPECT_EQ(NumericValue("-"), 0);
  EXPECT_FALSE(std::signbit(NumericValue("-0")));
}

TEST(NumericValue, IntegerFormsSaturate) {
  EXPECT_EQ(NumericValue16("32767"), 32767);
  EXPECT_EQ(NumericValue16("99999"), 32767);
  EXPECT_EQ(NumericValue16("-99999"), -32768);
  EXPECT_EQ(NumericValue16("-2.9"), -2);
  EXPECT_EQ(NumericValue32(std::string(500, '9')), 2147483647);
  EXPECT_EQ(NumericValue32("-" + std::string(500, '9')), -2147483647 - 1);
  // Far too small to hold is 0, not a huge number.
  EXPECT_EQ(NumericValue("0." + std::string(400, '0') + "1"), 0);
  EXPECT_EQ(NumericValue("-0." + std::string(400, '0') + "1"), 0);
}

}  // namespace
}  // namespace util
