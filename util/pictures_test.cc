#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "tests/support/random.h"
#include "tests/support/reset.h"
#include "util/numbers.h"

namespace util {
namespace {

// The installation defaults: apostrophe for decimals, point for thousands.
class PictureTest : public qdeb::testing::FreshStateTest {
 protected:
  PictureTest() {
    number_format.DecimalChar = '\'';
    number_format.ThousandsChar = '.';
  }
};

TEST_F(PictureTest, GroupsThousandsAndPutsTheMinusLeftOfTheDigits) {
  EXPECT_EQ(FormatNumber("ZZZ,ZZ9.99", 1234.5), "  1.234'50");
  EXPECT_EQ(FormatNumber("ZZZ,ZZ9.99", -1234.5), " -1.234'50");
  EXPECT_EQ(FormatNumber("ZZZ,ZZ9.99", 12), "     12'00");
  EXPECT_EQ(FormatNumber("9,999", 12), "0.012");
  EXPECT_EQ(FormatNumber("ZZ9", -12), "-12");
}

TEST_F(PictureTest, ZeroSuppressionBlanksLeadingDigitsAndTrailingZeroDecimals) {
  EXPECT_EQ(FormatNumber("ZZ9.99", 0), "  0'00");
  EXPECT_EQ(FormatNumber("ZZZ.ZZ", 0), "      ");
  EXPECT_EQ(FormatNumber("ZZ9.ZZ", 5.5), "  5'5 ");
  EXPECT_EQ(FormatNumber("ZZ9.ZZ", 5), "  5   ");
  EXPECT_EQ(FormatNumber("zzz", 10), " 10");
}

TEST_F(PictureTest, RoundsHalfToEven) {
  EXPECT_EQ(FormatNumber("9.9", 0.25), "0'2");
  EXPECT_EQ(FormatNumber("9.9", 0.75), "0'8");
  EXPECT_EQ(FormatNumber("9", 2.5), "2");
  EXPECT_EQ(FormatNumber("9", 3.5), "4");
  EXPECT_EQ(FormatNumber("9", 3.5000001), "4");
  EXPECT_EQ(FormatNumber("9", 2.5000001), "3");
}

TEST_F(PictureTest, SignPositions) {
  EXPECT_EQ(FormatNumber("ZZ9.99-", -1.5), "  1'50-");
  EXPECT_EQ(FormatNumber("ZZ9.99-", 1.5), "  1'50 ");
  EXPECT_EQ(FormatNumber("+ZZ9", 5), "+  5");
  EXPECT_EQ(FormatNumber("+ZZ9", -5), "-  5");
  EXPECT_EQ(FormatNumber("-ZZ9", 5), "   5");
  // A negative value that rounds to zero still shows its sign.
  EXPECT_EQ(FormatNumber("ZZ9.9-", -0.01), "  0'0-");
}

TEST_F(PictureTest, AsteriskFillReachesTheSeparators) {
  EXPECT_EQ(FormatNumber("***9", 12), "**12");
  EXPECT_EQ(FormatNumber("*,**9.99", 5), "****5'00");
}

TEST_F(PictureTest, OtherCharactersStayAsTheyAre) {
  EXPECT_EQ(FormatNumber("99/99", 1234), "12/34");
  EXPECT_EQ(FormatNumber("Z9 %", 7), " 7 %");
}

TEST_F(PictureTest, OverflowShowsThePlainNumberOrExclamationMarks) {
  EXPECT_EQ(FormatNumber("999", 1234), "!!!");
  EXPECT_EQ(FormatNumber("999", -123), "!!!");
  EXPECT_EQ(FormatNumber("9,999", 12345), "12345");
  EXPECT_EQ(FormatNumber("ab99", 123), " 123");        // right-aligned
  EXPECT_EQ(FormatNumber("ZZ9.99", 12345.678), "12345'");  // cut to the picture
  EXPECT_EQ(FormatNumber("ZZ9", 1e300), "!!!");
  // No position can take the minus: the plain number rather than a positive.
  EXPECT_EQ(FormatNumber(".99", -0.5), "-'5");
  EXPECT_EQ(FormatNumber("x99", -12), "-12");
  EXPECT_EQ(FormatNumber("9", -0.4), "0");
}

TEST_F(PictureTest, BadValuesAndOddPicturesNeverBreakTheLength) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(FormatNumber("ZZ9.99", nan), "!!!!!!");
  EXPECT_EQ(FormatNumber("ZZ9", inf), "!!!");
  EXPECT_EQ(FormatNumber("ZZ9", -inf), "!!!");
  EXPECT_EQ(FormatNumber("", 5), "");
  EXPECT_EQ(FormatNumber("", -5), "");
  EXPECT_EQ(FormatNumber("abc", 0), "abc");
  EXPECT_EQ(FormatNumber(".", 3), "3");  // no placeholder at all: the number itself

  const std::string wide = std::string(400, 'Z') + ".99";
  std::string big = FormatNumber(wide, 1e20);
  ASSERT_EQ(big.size(), wide.size());
  EXPECT_EQ(big.substr(big.size() - 4), "0'00");
  EXPECT_EQ(big.find_first_not_of(' '), 400u - 21u);
  EXPECT_EQ(FormatNumber(wide, -1e300).size(), wide.size());

  // More decimals than a double can scale: the exact binary expansion.
  const std::string fine = "9." + std::string(400, '9');
  std::string half = FormatNumber(fine, 0.5);
  ASSERT_EQ(half.size(), fine.size());
  EXPECT_EQ(half.substr(0, 4), "0'50");
  EXPECT_EQ(half.find_first_not_of('0', 3), std::string::npos);
  EXPECT_EQ(FormatNumber(fine, 0).substr(0, 3), "0'0");
}

// Random pictures and values, garbage included: the text always has the
// picture's length, for numbers and for amounts.
TEST_F(PictureTest, AnyPictureAndValueKeepTheLength) {
  qdeb::testing::Random random(61);
  const std::string characters = "9Zz*.,-+a ";
  const double values[] = {0, -0.0001, 0.5, -2.5, 1234.5678, -99999.995, 1e15, -1e300, 7e-300};
  for (int round = 0; round < 20000; ++round) {
    std::string picture;
    for (size_t n = random() % 16; n > 0; --n) {
      picture += round % 7 == 0 ? static_cast<char>(random() % 256)
                                : characters[random() % characters.size()];
    }
    double value = values[random() % std::size(values)] * static_cast<double>(random() % 1000);
    ASSERT_EQ(FormatNumber(picture, value).size(), picture.size()) << picture << " " << value;
    ASSERT_EQ(FormatAmount(picture, value).size(), picture.size()) << picture << " " << value;
  }
}

// Whole cents shown in a picture wide enough read back as the same amount.
TEST_F(PictureTest, AmountsThatFitReadBackExactly) {
  qdeb::testing::Random random(1914);
  for (int round = 0; round < 20000; ++round) {
    const long long cents = static_cast<long long>(random() % 200000001) - 100000000;
    std::string shown = FormatNumber("-ZZZ,ZZZ,ZZ9.99", static_cast<double>(cents) / 100);
    ASSERT_EQ(shown.size(), 15u);
    std::string plain;
    for (char c : shown) {
      if (c == '\'') plain += '.';
      else if (c != ' ' && c != '.') plain += c;
    }
    ASSERT_EQ(std::llround(std::stod(plain) * 100), cents) << shown;
    ASSERT_EQ(shown[0] == '-', cents < 0) << shown;
  }
}

TEST_F(PictureTest, UsesTheInstallationSeparators) {
  number_format.DecimalChar = ',';
  number_format.ThousandsChar = ' ';
  EXPECT_EQ(FormatNumber("ZZZ,ZZ9.99", 1234.5), "  1 234,50");
}

}  // namespace
}  // namespace util
