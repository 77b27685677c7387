#include "bank/iban.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/random.h"

namespace bank {
namespace {

struct Checked {
  int16_t result;
  std::string text;
};

Checked Check(std::string iban) {
  int16_t result = CheckIban(iban);
  return {result, iban};
}

TEST(CheckIban, CountryAndCheckDigitsComeFirst) {
  EXPECT_EQ(Check("XX12").result, 1);
  EXPECT_EQ(Check("").result, 1);
  EXPECT_EQ(Check("E").result, 1);
  EXPECT_EQ(Check("ES9X").result, 2);
  EXPECT_EQ(Check("ES").result, 2);
  EXPECT_EQ(Check("ES9").result, 2);
  EXPECT_EQ(Check("ESX9 2100").result, 2);
  EXPECT_EQ(Check("ÑS91").result, 1);
}

TEST(CheckIban, EmptyOrZeroAccountIsLeftAsItIs) {
  EXPECT_EQ(Check("ES00").result, 0);
  EXPECT_EQ(Check("ES00").text, "ES00");
  const std::string zeros = "ES" + std::string(22, '0');
  EXPECT_EQ(Check(zeros).result, 0);
  EXPECT_EQ(Check(zeros).text, zeros);
  EXPECT_EQ(Check("ES00    ").text, "ES00    ");
  EXPECT_EQ(Check("DE00 0000 0").text, "DE0000000  ");  // separators still go
}

TEST(CheckIban, ValidAccountsOfSeveralCountries) {
  for (const char* iban :
       {"BE68539007547034", "ES9121000418450200051332", "FR1420041010050500013M02606",
        "PT50000201231234567890154", "NL91ABNA0417164300", "DE89370400440532013000",
        "GB29NWBK60161331926819", "AT611904300234573201", "IT60X0542811101000000123456",
        "CH9300762011623852957", "NO9386011117947", "MT84MALT011000012345MTLCAST001S",
        "SE4550000000058398257466", "PL61109010140000071219812874"}) {
    Checked checked = Check(iban);
    EXPECT_EQ(checked.result, 0) << iban;
    EXPECT_EQ(checked.text, iban);
  }
}

TEST(CheckIban, LowerCaseIsAccepted) {
  EXPECT_EQ(Check("es9121000418450200051332").result, 0);
  EXPECT_EQ(Check("nl91abna0417164300").result, 0);
  EXPECT_EQ(Check("fr1420041010050500013m02606").result, 0);
  EXPECT_EQ(Check("Mt84malt011000012345mtlcast001s").result, 0);
  // Completion converts lower-case letters as their capitals.
  EXPECT_EQ(Check("nl00abna0417164300").text, "nl91abna0417164300");
}

TEST(CheckIban, SeparatorsGoAndBlanksMakeUpTheLength) {
  Checked checked = Check("ES00 1234 5678 01 0123456789");
  EXPECT_EQ(checked.result, 0);
  EXPECT_EQ(checked.text, "ES5812345678010123456789    ");
  checked = Check(std::string("ES91-2100.0418/4502\t0005") + '\0' + "1332  ");
  EXPECT_EQ(checked.result, 0);
  EXPECT_EQ(checked.text, "ES9121000418450200051332       ");  // 5 removed, 2 kept
  // Bytes beyond ASCII are not letters.
  EXPECT_EQ(Check("ES91 2100 0418 4502 0005 1332 \xD1").text.substr(0, 24),
            "ES9121000418450200051332");
}

TEST(CheckIban, CompletionIsMadeWhateverTheResult) {
  Checked checked = Check("ES0012345678000123456789");
  EXPECT_EQ(checked.result, -1);  // control digits wrong
  EXPECT_EQ(checked.text, "ES2312345678000123456789");

  checked = Check("ES00123456780101234567890");
  EXPECT_EQ(checked.result, 3);  // 21 digits, the first 20 a valid account
  EXPECT_EQ(checked.text, "ES36123456780101234567890");
  EXPECT_EQ(Check(checked.text).result, 3);

  // A creditor identifier: "ES00" and a tax number.
  checked = Check("ES0047690558N");
  EXPECT_EQ(checked.text, "ES2347690558N");
  EXPECT_EQ(checked.result, -1);
}

TEST(CheckIban, TheLastFailingCheckDecides) {
  EXPECT_EQ(Check("ES5812345678010123456788").result, 2);  // not -1
  EXPECT_EQ(Check("ES9121000418450200051333").result, 2);
  EXPECT_EQ(Check("ES9221000418450200051332").result, 2);
  // Layout wrong (a letter) and control digits wrong: -1.
  EXPECT_EQ(Check("ES002100041845020005133A").result, -1);
  // Too short with the check digits of the full number: 3.
  Checked short_one = Check("DE0037040044053201300");
  EXPECT_EQ(short_one.result, 3);
  EXPECT_EQ(Check(short_one.text).result, 3);
  // Check digits outside 02..98 are wrong even where 97 would divide.
  EXPECT_EQ(Check("GB01NWBK60161331926819").result, 2);
  EXPECT_EQ(Check("GB99NWBK60161331926819").result, 2);
}

TEST(CheckIban, LayoutGroups) {
  EXPECT_TRUE(MatchesLayout("04a06n08n", "NWBK60161331926819"));
  EXPECT_TRUE(MatchesLayout("04a06n08n", "nwbk60161331926819"));
  EXPECT_FALSE(MatchesLayout("04a06n08n", "NWB160161331926819"));
  EXPECT_FALSE(MatchesLayout("04a06n08n", "NWBK6016133192681"));
  EXPECT_FALSE(MatchesLayout("04a06n08n", "NWBK601613319268190"));
  EXPECT_TRUE(MatchesLayout("04a15x", "NWBK000000007099453"));
  EXPECT_FALSE(MatchesLayout("01a05n", ""));
  EXPECT_TRUE(MatchesLayout("", ""));

  ASSERT_EQ(IbanLayoutTable.size(), 35u);
  for (const IbanLayout& layout : IbanLayoutTable) {
    EXPECT_EQ(FindIbanLayout(layout.country), &layout);
    EXPECT_EQ(layout.bban.size() % 3, 0u) << layout.country;
  }
  EXPECT_EQ(LayoutLength(FindIbanLayout("MT")->bban), 27);
  EXPECT_EQ(LayoutLength(FindIbanLayout("NO")->bban), 11);
  EXPECT_EQ(LayoutLength(FindIbanLayout("HU")->bban), 24);
  EXPECT_EQ(FindIbanLayout("es"), nullptr);
  EXPECT_EQ(FindIbanLayout("US"), nullptr);
}

TEST(NationalCheck, SpanishControlDigits) {
  EXPECT_EQ(SpanishControlDigits("21000418450200051332"), "45");
  EXPECT_EQ(SpanishControlDigits("12345678000123456789"), "01");
  EXPECT_EQ(SpanishControlDigits(""), "00");
  EXPECT_EQ(SpanishControlDigits("2100"), SpanishControlDigits("21000000000000000000"));
  // Remainders 0 and 1 are the digit itself, others 11 less the remainder.
  EXPECT_EQ(SpanishControlDigits("00000000001000000000"), "01");
  EXPECT_EQ(SpanishControlDigits("00000000002000000000"), "09");
  EXPECT_EQ(SpanishControlDigits("00000000009100000000"), "00");
  EXPECT_EQ(SpanishControlDigits("00000005000000000000"), "30");  // 5 x 6 = 30
  EXPECT_EQ(SpanishControlDigits("10000000000000000000"), "70");  // 1 x 4
  EXPECT_EQ(SpanishControlDigits("0000000X000000000001"), "05");  // X counts as 0
}

TEST(NationalCheck, BelgianFrenchPortugueseDutch) {
  // Belgium: remainder of the first ten digits; 0 is written 97 (00 kept).
  EXPECT_EQ(NationalCheck("BE", "539007547034", 12, 0), 0);
  EXPECT_EQ(NationalCheck("BE", "539007547035", 12, 0), -1);
  EXPECT_EQ(NationalCheck("BE", "000000009797", 12, 0), 0);
  EXPECT_EQ(NationalCheck("BE", "000000009700", 12, 0), 0);
  EXPECT_EQ(Check("BE00000000009797").text, "BE54000000009797");
  EXPECT_EQ(Check("BE54000000009797").result, 0);

  // France: letters of the account number stand for digits.
  EXPECT_EQ(NationalCheck("FR", "20041010050500013M02606", 23, 0), 0);
  EXPECT_EQ(NationalCheck("FR", "20041010050500013M02607", 23, 0), -1);
  EXPECT_EQ(NationalCheck("FR", "20041010050500013D02606", 23, 0), 0);  // D and M both 4
  EXPECT_EQ(NationalCheck("FR", "2004101005050001MM02606", 23, 0), -1);
  EXPECT_EQ(NationalCheck("FR", "A0041010050500013M02606", 23, 0), -1);  // bank code letter
  EXPECT_EQ(NationalCheck("FR", "20041010050500013M026", 23, 0), -1);   // too short
  EXPECT_EQ(NationalCheck("FR", "20041010050500013M0260-", 23, 0), -1);
  // The key is not computed once the layout has failed.
  EXPECT_EQ(NationalCheck("FR", "20041010050500013M02607", 23, 3), 3);

  EXPECT_EQ(NationalCheck("PT", "000201231234567890154", 21, 0), 0);
  EXPECT_EQ(NationalCheck("PT", "000201231234567890155", 21, 0), -1);
  Checked lettered = Check("PT00000201231A34567890154");
  EXPECT_EQ(lettered.result, 3);  // allowed by the key pass, not by the layout

  EXPECT_EQ(NationalCheck("NL", "ABNA0417164300", 14, 0), 0);
  EXPECT_EQ(NationalCheck("NL", "ABNA0417164301", 14, 3), -1);
  EXPECT_EQ(NationalCheck("DE", "garbage", 18, 3), 3);  // no national check
}

TEST(IbanCheckDigits, Iso7064Mod97) {
  EXPECT_EQ(IbanCheckDigits("NWBK60161331926819", "GB00"), 29);
  EXPECT_EQ(IbanCheckDigits("nwbk60161331926819", "gb77"), 29);
  EXPECT_EQ(IbanCheckDigits("", "ES00"), 98 - 1428 % 97 * 100 % 97);
  EXPECT_EQ(IbanCheckDigits("", ""), 98);
  const std::string long_bban(5000, '9');
  int expected = IbanCheckDigits(long_bban, "ES00");
  EXPECT_GE(expected, 2);
  EXPECT_LE(expected, 98);
}

// Any length, any bytes: a documented result, the length kept, the country
// never touched and the check digits changed only from "00".
TEST(CheckIban, GarbageOfAnyLength) {
  qdeb::testing::Random random(1914);
  const std::string prefixes[] = {"ES", "es", "FR", "PT", "BE", "NL", "MT", "XX", ""};
  for (int round = 0; round < 3000; ++round) {
    std::string text = prefixes[round % 9];
    if (round % 3 == 0) text += "00";
    size_t length = random() % (round % 50 == 0 ? 4000 : 40);
    for (size_t i = 0; i < length; ++i) {
      unsigned pick = random() % 4;
      text += pick == 0 ? static_cast<char>(random() % 256)
                        : pick == 1 ? static_cast<char>('0' + random() % 10)
                                    : pick == 2 ? ' ' : static_cast<char>('A' + random() % 26);
    }
    std::string before = text;
    int16_t result = CheckIban(text);
    ASSERT_TRUE(result >= -1 && result <= 3) << result;
    ASSERT_EQ(text.size(), before.size());
    ASSERT_EQ(text.substr(0, 2), before.substr(0, 2));
    if (before.size() >= 4 && before.substr(2, 2) != "00") {
      ASSERT_EQ(text.substr(2, 2), before.substr(2, 2));
    }
    if (result != 1 && result != 2) {
      std::string again = text;
      ASSERT_EQ(CheckIban(again), result);
      ASSERT_EQ(again, text);
    }
  }
}

}  // namespace
}  // namespace bank
