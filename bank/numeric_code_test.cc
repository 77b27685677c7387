#include <gtest/gtest.h>

#include <string>

#include "bank/iban.h"

namespace bank {
namespace {

TEST(CompactNumericCode, ShortCodes) {
  EXPECT_EQ(CompactNumericCode("123"), "QN3DS");
  EXPECT_EQ(CompactNumericCode(""), "QN0");
  EXPECT_EQ(CompactNumericCode("no digits"), "QN0");
  EXPECT_EQ(CompactNumericCode("99"), "QN2C4");
  EXPECT_EQ(CompactNumericCode("1234567890"), "QN1BEQK890");
  EXPECT_EQ(CompactNumericCode("A-1 2/3"), CompactNumericCode("123"));
  EXPECT_EQ(CompactNumericCode("7"), "QN1H");
  EXPECT_EQ(CompactNumericCode("0"), "QN1A");
}

// The base-35 digits read back give the number: 35 symbols without W, a
// full chunk in six symbols, the carry of a short leftmost chunk in front.
TEST(CompactNumericCode, SymbolsReadBackToTheDigits) {
  const std::string symbols = "ABCDEFGHIJKLMNOPQRSTUVXYZ0123456789";
  auto value_of = [&](std::string_view code) {
    long long v = 0;
    for (char c : code) v = v * 35 + static_cast<long long>(symbols.find(c));
    return v;
  };
  for (const char* digits : {"99", "12345", "99999", "12345678", "99999999", "999999999",
                             "100000000", "000000001"}) {
    std::string code = CompactNumericCode(digits);
    std::string n = std::to_string(std::string_view(digits).size());
    ASSERT_EQ(code.substr(0, 3), "QN" + n) << digits;
    EXPECT_EQ(value_of(code.substr(3)), std::stoll(digits)) << digits;
    EXPECT_EQ(code.find('W'), std::string::npos);
  }
  EXPECT_EQ(CompactNumericCode("999999999").size(), 3u + 6);
  EXPECT_EQ(CompactNumericCode("99999999").size(), 3u + 1 + 5);  // carry in front
  EXPECT_EQ(CompactNumericCode("9999999").size(), 3u + 5);
}

TEST(CompactNumericCode, LongNumbersGoChunkByChunk) {
  // 18 digits: two full chunks, n is 9, the right chunk on its own.
  std::string code = CompactNumericCode("000000001000000002");
  EXPECT_EQ(code, "QN9" + CompactNumericCode("000000001").substr(3) +
                      CompactNumericCode("000000002").substr(3));
  // 11 digits: a leftmost chunk of 2 and a full chunk.
  EXPECT_EQ(CompactNumericCode("99000000000"),
            "QN2" + CompactNumericCode("99").substr(3) + "AAAAAA");
  // A long random number is its chunks' codes side by side, leftmost first.
  std::string digits;
  for (int i = 0; i < 200003; ++i) digits += static_cast<char>('0' + (i * 7919 + i / 13) % 10);
  std::string expected = "QN5" + CompactNumericCode(digits.substr(0, 5)).substr(3);
  for (size_t at = 5; at < digits.size(); at += 9) {
    expected += CompactNumericCode(digits.substr(at, 9)).substr(3);
  }
  EXPECT_TRUE(CompactNumericCode(digits) == expected);
  std::string many(3000, '7');
  EXPECT_EQ(CompactNumericCode(many).size(), 3u + 3000 / 9 * 6 + 2);
}

}  // namespace
}  // namespace bank
