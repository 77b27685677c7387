#include "remit/c19_records.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "util/cp850.h"

namespace remit {
namespace {

// A record as the record tables give it: 600 blanks with each text at its
// 1-based position.
std::string Layout(const std::vector<std::pair<size_t, std::string>>& fields) {
  std::string record(600, ' ');
  for (const auto& [position, text] : fields) record.replace(position - 1, text.size(), text);
  return record;
}

// Check digits worked out apart: ES + mod 97 of the tax number, E=14, S=28.
constexpr char kPresenterId[] = "ES97000B12345678";
constexpr char kCreditorId[] = "ES07001B60000003";
constexpr char kCreditorIban[] = "ES9121000418450200051332";

TEST(C19Records, EveryRecordHasItsFieldsAtTheirPositions) {
  PresenterHeader presenter{kPresenterId, "OFICINA DE COBRAMENTS", "20260115", "12345678000", '3',
                            "2100", "0418"};
  CreditorHeader creditor{kCreditorId, "20260201", "CLUB ESPORTIU", kCreditorIban};
  Debit debit{"000000004321R00000017", "000000004321", 12345, "JOAN GARCIA", kCreditorIban,
              "QUOTA PIN 2768"};
  Debit long_concept = debit;
  long_concept.concept_text = std::string(150, 'C') + "0123456789";
  struct Case {
    const char* what;
    std::string built;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"01", Record01(presenter),
       Layout({{1, "0119143001"}, {11, kPresenterId}, {46, "OFICINA DE COBRAMENTS"},
               {116, "20260115"}, {124, "PRE2026011512345678000"}, {146, "3XXXXXXXXXXXX"},
               {159, "2100"}, {163, "0418"}})},
      {"02", Record02(creditor),
       Layout({{1, "0219143002"}, {11, kCreditorId}, {46, "20260201"}, {54, "CLUB ESPORTIU"},
               {266, kCreditorIban}})},
      {"03", Record03(debit),
       Layout({{1, "0319143003"}, {11, "000000004321R00000017"}, {46, "000000004321"},
               {81, "RCUR"}, {85, "TRAD"}, {89, "00000012345"}, {100, "20091031"},
               {119, "JOAN GARCIA"}, {403, "A"}, {404, kCreditorIban}, {442, "QUOTA PIN 2768"}})},
      {"03 with a concept past the end", Record03(long_concept),
       Layout({{1, "0319143003"}, {11, "000000004321R00000017"}, {46, "000000004321"},
               {81, "RCUR"}, {85, "TRAD"}, {89, "00000012345"}, {100, "20091031"},
               {119, "JOAN GARCIA"}, {403, "A"}, {404, kCreditorIban},
               {442, std::string(150, 'C') + "012345678"}})},
      {"04", Record04(kCreditorId, "20260201", 1500, 3, 5),
       Layout({{1, "04"}, {3, kCreditorId}, {38, "20260201"}, {46, "00000000000001500"},
               {63, "00000003"}, {71, "0000000005"}})},
      {"05", Record05(kCreditorId, 1500, 3, 6),
       Layout({{1, "05"}, {3, kCreditorId}, {38, "00000000000001500"}, {55, "00000003"},
               {63, "0000000006"}})},
      {"99", Record99(2000, 2, 7),
       Layout({{1, "99"}, {3, "00000000000002000"}, {20, "00000002"}, {28, "0000000007"}})},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(c.built.size(), 600u) << c.what;
    for (size_t i = 0; i < 600; ++i) {
      ASSERT_EQ(c.built[i], c.expected[i]) << c.what << " differs at position " << i + 1;
    }
  }
  EXPECT_EQ(Record99Debits(Record99(2000, 2, 7)), 2);
  EXPECT_EQ(Record99Debits(Record05(kCreditorId, 1, 1, 1)), -1);
}

TEST(C19Records, IdentifiersAndIbansGetTheirCheckDigits) {
  EXPECT_EQ(SepaIdentifier("B12345678", "000"), kPresenterId);
  EXPECT_EQ(SepaIdentifier("B60000003", "001"), kCreditorId);
  EXPECT_EQ(SepaIdentifier("A08000001", "ABC"), "ES95ABCA08000001");
  EXPECT_EQ(SpanishIban("21000418450200051332"), kCreditorIban);
}

TEST(C19Records, SepaTextKeepsMapsOrBlanksEveryCharacter) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"AZaz09 '()+,-./:?", "AZaz09 '()+,-./:?"},
      {";[{]}\\|_~`", ",(())//--'"},
      {util::Cp850("¿µ"), "?,"},
      {util::Cp850("ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜøØƒáíóúñÑÁÂÀãÃðÐÊËÈÍÎÏÌÓßÔÒõÕþÞÚÛÙýÝ"),
       "CueaaaaceeeiiiAAEaAooouuyOUoOfaiounNAAAaAdDEEEIIIIOsOOoOtTUUUyY"},
      {"!\"#$%&*<=>@^\x7f\x01\x1f", std::string(15, ' ')},
      {util::Cp850("ñ£\t╚"), "n   "},
      {std::string("\xff\xfe\x80", 3), "  C"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(SepaText(text), expected) << text;
  EXPECT_EQ(BlankControls(std::string("A\tB\x7f\r\n\xff", 7)), std::string("A B   \xff", 7));
}

TEST(C19Records, TimeStampAndPin) {
  EXPECT_EQ(TimeStamp(45296.78), "12345678000");  // 12:34:56.78
  EXPECT_EQ(TimeStamp(0), "00000000000");
  EXPECT_EQ(TimeStamp(3600.5), "01000050000");
  EXPECT_EQ(TimeStamp(86399.99), "23595999000");
  EXPECT_EQ(TimeStamp(-5), "00000000000");
  // 1914 plus the codes of the 17 characters, blanks beyond the text.
  EXPECT_EQ(AccessPin("ES12345678Z"), 2768);
  EXPECT_EQ(AccessPin(""), 1914 + 17 * 32);
  EXPECT_EQ(AccessPin(std::string(20, '\xff')), (1914 + 17 * 255) % 10000);
}

TEST(C19Records, ConceptLinkNifTextAndPin) {
  ConceptParts base;
  base.concept_text = "QUOTA GENER" + std::string(40, ' ');
  base.link_text = "DETALL A";
  base.link_prefix = "https://rebuts.example/efactura/";
  base.debtor_identifier = "ES12345678Z";
  base.presenter_nif = "B12345678";
  base.debtor_code = "000000004321";
  const std::string link = " DETALL A https://rebuts.example/efactura/";
  struct Case {
    const char* what;
    ConceptParts parts;
    std::string expected;
  };
  std::vector<Case> cases = {{"with an identifier", base, "QUOTA GENER" + link + " PIN 2768"}};
  // Worked out apart: QN, 2 digits in the first chunk, base 35 of
  // 12345678000000004321 in chunks of nine.
  Case nif{"without one", base, "QUOTA GENER" + link + " (NIF QN2MGUMQEKAAADSQ ) PIN 3117"};
  nif.parts.debtor_identifier = "ES" + std::string(15, ' ');
  cases.push_back(nif);
  Case no_links{"Rebuts=N", base, "QUOTA GENER PIN 2768"};
  no_links.parts.publish_links = false;
  cases.push_back(no_links);
  Case filtered{"filtered", base, "n  " + link + " PIN 2768"};
  filtered.parts.concept_text = util::Cp850("ñ£\t") + std::string(20, ' ');
  cases.push_back(filtered);
  Case cut{"cut at 56", base, std::string(56, 'Q') + " PIN 2768"};
  cut.parts.concept_text = std::string(60, 'Q');
  cut.parts.publish_links = false;
  cases.push_back(cut);
  for (const Case& c : cases) EXPECT_EQ(DebitConcept(c.parts), c.expected) << c.what;
}

TEST(C19Records, PackedFieldsLoseTheirTrailingBlanks) {
  EXPECT_EQ(UnpackTrimmed("\x80\x81\x8c"), "000112");
  EXPECT_EQ(UnpackTrimmed("\x80\x81  "), "0001");
  EXPECT_EQ(UnpackTrimmed(std::string("\x05\xff", 2)), "0527");  // garbage stays digits
  EXPECT_EQ(UnpackTrimmed("    "), "");
}

}  // namespace
}  // namespace remit
