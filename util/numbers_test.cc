#include "util/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "tests/support/reset.h"


namespace util {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A field without a width: the number with every decimal it has (up to 15
// significant digits), no padding; 0 gives an empty text.
std::string NumberText(double value) { return FormatField(value, ""); }

TEST(FormatField, WidthsSignsAndOptions) {
  EXPECT_EQ(FormatField(-12.5, "5.2V"), "-001250");
  EXPECT_EQ(FormatField(-12.5, "5.2"), "-0012.50");
  EXPECT_EQ(FormatField(3, "S4"), "+003");
  EXPECT_EQ(FormatField(7, "3Z"), "007");
  EXPECT_EQ(FormatField(12, "5m"), " 0012");
  EXPECT_EQ(FormatField(-12, "5M"), "N0012");
  EXPECT_EQ(FormatField(-12, "5N"), "N0012");
  EXPECT_EQ(FormatField(12, "5N"), "00012");
  EXPECT_EQ(FormatField(-7, ""), "-7");
  EXPECT_EQ(FormatField(7, "S"), "+7");
}

TEST(FormatField, IntegerPartsAndDecimals) {
  EXPECT_EQ(FormatField(0, ""), "");
  EXPECT_EQ(FormatField(0.5, ""), ".5");
  EXPECT_EQ(FormatField(0.5, ".2"), ".50");
  EXPECT_EQ(FormatField(0.5, "Z.2"), "0.50");
  EXPECT_EQ(FormatField(0, "Z"), "0");
  EXPECT_EQ(FormatField(1234.567, "9.2"), "000001234.57");
  // Half to even, like the pictures.
  EXPECT_EQ(FormatField(0.125, ".2"), ".12");
  EXPECT_EQ(FormatField(0.375, ".2"), ".38");
  // A wider number keeps its last digits: the field never grows.
  EXPECT_EQ(FormatField(123456, "4"), "3456");
}

TEST(FormatField, BadValuesAndWidths) {
  EXPECT_EQ(FormatField(kNaN, "5"), "00000");
  EXPECT_EQ(FormatField(std::numeric_limits<double>::infinity(), ""), "");
  EXPECT_EQ(FormatField(5, "99999999999999999").size(), 9999u);
  EXPECT_EQ(FormatField(1e22, "3"), "000");
  EXPECT_EQ(FormatField(-1e300, "3").size(), 3u);
  // Digits after a second point still count as decimals: 23 of them.
  EXPECT_EQ(FormatField(1, "1.2.3"), "1." + std::string(23, '0'));
  EXPECT_EQ(FormatField(5, "x?5"), "00005");
}

TEST(NumberText, AllTheDecimalsUpToFifteenDigits) {
  EXPECT_EQ(NumberText(123), "123");
  EXPECT_EQ(NumberText(-12.5), "-12.5");
  EXPECT_EQ(NumberText(0.1 + 0.2), ".3");
  EXPECT_EQ(NumberText(1e-5), ".00001");
  EXPECT_EQ(NumberText(1e20), "100000000000000000000");
}

TEST(ZeroPad, LastDigitsWithoutTheSign) {
  EXPECT_EQ(ZeroPad(42, 5), "00042");
  EXPECT_EQ(ZeroPad(-42, 5), "00042");
  EXPECT_EQ(ZeroPad(123456, 3), "456");
  EXPECT_EQ(ZeroPad(0, 2), "00");
  EXPECT_EQ(ZeroPad(1.5, 5), "001.5");
  EXPECT_EQ(ZeroPad(20240131, 8), "20240131");
  EXPECT_EQ(ZeroPad(7, 0), "");
  EXPECT_EQ(ZeroPad(7, -3), "");
  EXPECT_EQ(ZeroPad(kNaN, 3), "000");
}

TEST(NumberTextInvalid, SignsPointsDigitsAndBlanks) {
  for (const char* ok : {"-12.5", "12", "12.50", "   ", "", " 1 2"}) {
    EXPECT_EQ(NumberTextInvalid(ok, "ZZ9.99-"), 0) << ok;
  }
  for (const char* bad : {"12-", "1.2.3", "1a", "x-", "--1", ".-1"}) {
    EXPECT_EQ(NumberTextInvalid(bad, "ZZ9.99-"), -1) << bad;
  }
  EXPECT_EQ(NumberTextInvalid("1.5", "ZZ9"), -1);
  EXPECT_EQ(NumberTextInvalid("-1", "ZZ9"), -1);
  EXPECT_EQ(NumberTextInvalid("+1", "+ZZ9"), 0);
  // A bad character is never cured by what follows it.
  EXPECT_EQ(NumberTextInvalid("x12", "ZZ9"), -1);
}

class CurrencyTest : public qdeb::testing::FreshStateTest {
 protected:
  CurrencyTest() {
    number_format.DecimalChar = '\'';
    number_format.ThousandsChar = '.';
  }
};

TEST_F(CurrencyTest, SelectionOfMainAlternativeAndDisplayCurrency) {
  SelectCurrency("a,E");
  EXPECT_EQ(number_format.MainCurrency, "E");
  EXPECT_EQ(number_format.DisplayCurrency, "E");
  SelectCurrency("x, p ");
  EXPECT_EQ(number_format.AltCurrency, "P");
  EXPECT_EQ(number_format.DisplayCurrency, "E");
  SelectCurrency("p");
  EXPECT_EQ(number_format.DisplayCurrency, "P");
  SelectCurrency("E");
  EXPECT_EQ(number_format.DisplayCurrency, "E");
  EXPECT_EQ(CurrencyFor(" a"), "E");
  EXPECT_EQ(CurrencyFor("x"), "P");
  SelectCurrency("x,");
  EXPECT_EQ(number_format.AltCurrency, "");
  EXPECT_EQ(CurrencyFor("x"), "E");
  SelectCurrency("P");
  EXPECT_EQ(number_format.DisplayCurrency, "E");  // no alternative: the main one
  SelectCurrency("A,  ");
  EXPECT_EQ(number_format.MainCurrency, "");
  EXPECT_EQ(number_format.DisplayCurrency, "");
  SelectCurrency("");
  EXPECT_EQ(number_format.DisplayCurrency, "");
}

TEST_F(CurrencyTest, AmountsInEurosGetTwoDecimalsAndOverflowWhenTooShort) {
  SelectCurrency("a,E");
  // The working picture ,ZZ9.99 is too short for 1234.56.
  EXPECT_EQ(FormatAmount("ZZZ,ZZ9", 123456), "1234'56");
  EXPECT_EQ(FormatAmount("Z,ZZZ,ZZZ,ZZ9", 123456), "     1.234'56");
  EXPECT_EQ(FormatAmount("Z,ZZZ,ZZZ,ZZ9", 0), "         0'00");
  EXPECT_EQ(FormatAmount("ZZZ,ZZ9-", -150), "   1'50-");
  EXPECT_EQ(FormatAmount("*******9", 150), "****1'50");
  EXPECT_EQ(FormatAmount("", 150), "");
  EXPECT_EQ(FormatAmount("ZZZZZZ", kNaN), "!!!!!!");
}

TEST_F(CurrencyTest, AmountsInPesetas) {
  SelectCurrency("a,E");
  SelectCurrency("x,P");
  SelectCurrency("P");
  EXPECT_EQ(FormatAmount("ZZZ,ZZ9", 123456), "205.414");
  EXPECT_EQ(FormatAmount("Z,ZZZ,ZZZ,ZZ9", 100), "          166");
  EXPECT_EQ(FormatAmount("ZZ9.9", 100), "166'4");
}

}  // namespace
}  // namespace util
