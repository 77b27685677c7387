#include "remit/sepa_usage.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "remit/c19_records.h"
#include "remit/sepa_conversion.h"
#include "tests/support/reset.h"
#include "tests/support/scratch_dir.h"
#include "util/cp850.h"

namespace remit {
namespace {

constexpr char kCreditorId[] = "ES07000B60000003";
constexpr char kCreditorIban[] = "ES9121000418450200051332";
constexpr char kDebtorIban[] = "ES8700491500070004711001";

// What a row changes in a sound file of one creditor block of two debits.
struct Changes {
  std::string creditor_id = kCreditorId;
  std::string debtor_iban = kDebtorIban;
  std::string reference = "000000100001R00000001";
  int64_t first_amount = 1250;
};

std::string File(const Changes& c) {
  const int64_t total = c.first_amount + 99999999999;
  const std::vector<std::string> records = {
      Record01({"ES97000B12345678", "OFICINA", "20261208", "12345678000", '4', "2100", "0418"}),
      Record02({c.creditor_id, "20261215", "CLUB ESPORTIU", kCreditorIban}),
      Record03({c.reference, "000000100001", c.first_amount, "JOAN GARCIA", c.debtor_iban,
                "QUOTA"}),
      Record03({"000000100002R00000002", "000000100002", 99999999999, "ANNA PUIG",
                kDebtorIban, "QUOTA"}),
      Record04(c.creditor_id, "20261215", total, 2, 4),
      Record05(c.creditor_id, total, 2, 5),
      Record99(total, 2, 7)};
  std::string out;
  for (const std::string& r : records) out += r + "\r\n";
  return out;
}

using SepaUsageRules = qdeb::testing::FreshStateTest;

// Each usage rule refuses a file built to break it, naming the file, the
// record and the rule, and leaves no message behind; the sound file passes.
TEST_F(SepaUsageRules, EachRuleRefusesTheFileThatBreaksIt) {
  struct Row {
    const char* name;
    Changes changes;
    const char* rule;  // words of the rule in the refusal
    const char* what;  // and of the fault
    int64_t record;
    // Before the file is converted (another message of the same id),
    // or between its two readings (the file changed meanwhile).
    std::function<void(const qdeb::testing::ScratchDir&)> before, between;
  };
  Changes slashes, check_digits, swiss, sound;
  slashes.reference = "000000100001//00001";
  check_digits.creditor_id = "ES08000B60000003";
  swiss.debtor_iban = "CH9300762011623852957";
  auto changed_amount = [](const qdeb::testing::ScratchDir& dir) {
    Changes c;
    c.first_amount = 1350;  // the file's totals now say 1 euro less
    dir.Put("RULE.E19", File(c));
  };
  auto twin_converted = [](const qdeb::testing::ScratchDir& dir) {
    dir.Put("TWIN.E19", File(Changes{}));
    ConversionSettings settings;
    settings.version_4 = "pain.008.001.08";
    settings.id_record = dir.Dos("QXCONVRT.IDS");
    ASSERT_EQ(ConvertToSepaXml({dir.Host("TWIN.E19"), settings, "2026-12-08T09:00:00", {}}).status,
              ConversionStatus::kConverted);
  };
  const Row rows[] = {
      {"characters", slashes, "regla SEPA dels caràcters", "EndToEndId \"000000100001//00001\"", 3,
       nullptr, nullptr},
      {"totals", sound, "regla SEPA dels totals", "PmtInf/CtrlSum diu 1000000012.49", 5, nullptr,
       changed_amount},
      {"message id", sound, "regla SEPA de l'identificador del missatge", "TWIN.XML", 1,
       twin_converted, nullptr},
      {"creditor identifier", check_digits, "regla SEPA de l'identificador del creditor",
       "ES08000B60000003", 2, nullptr, nullptr},
      {"debtor outside the EEA", swiss, "regla SEPA dels deutors de fora de l'EEE",
       "IBAN de CH", 3, nullptr, nullptr},
      {"sound", sound, nullptr, nullptr, 0, nullptr, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    qdeb::testing::ScratchDir dir("usage");
    dir.Put("RULE.E19", File(row.changes));
    if (row.before) row.before(dir);
    ConversionSettings settings;
    settings.version_4 = "pain.008.001.08";
    settings.id_record = dir.Dos("QXCONVRT.IDS");
    std::function<void()> between;
    if (row.between) between = [&] { row.between(dir); };
    const ConversionReport report =
        ConvertToSepaXml({dir.Host("RULE.E19"), settings, "2026-12-08T10:00:00", between});
    if (row.rule == nullptr) {
      EXPECT_EQ(report.status, ConversionStatus::kConverted) << report.reason;
      EXPECT_TRUE(dir.Exists("RULE.XML"));
      continue;
    }
    EXPECT_EQ(report.status, ConversionStatus::kRefusedByRules) << report.reason;
    EXPECT_EQ(report.record, row.record) << report.reason;
    const std::string text = report.failure.Text();
    EXPECT_NE(text.find(util::Cp850(row.rule)), std::string::npos) << text;
    EXPECT_NE(text.find(row.what), std::string::npos) << text;
    EXPECT_NE(text.find("RULE.E19"), std::string::npos) << text;
    EXPECT_FALSE(dir.Exists("RULE.XML"));
    EXPECT_FALSE(dir.Exists("RULE.XML.tmp"));
  }
}

// No 19.14 record has room for a text longer than its limit (the fields are
// 35, 70 and 140 wide), so the length rule is shown on the check itself.
TEST(SepaUsageCheck, TextsLongerThanTheirLimitAreRefused) {
  C19Debit debit;
  debit.reference = std::string(36, 'A');
  debit.mandate = "M1";
  debit.debtor_name = "JOAN";
  debit.debtor_iban = kDebtorIban;
  UsageCheck check;
  EXPECT_FALSE(check.Debit(debit, 7));
  EXPECT_EQ(check.rule(), UsageRule::kLength);
  EXPECT_EQ(check.record(), 7);
  debit.reference = std::string(35, 'A');
  debit.concept_text = std::string(141, 'B');
  UsageCheck concept_check;
  EXPECT_FALSE(concept_check.Debit(debit, 8));
  EXPECT_EQ(concept_check.rule(), UsageRule::kLength);
  debit.concept_text.pop_back();
  EXPECT_TRUE(UsageCheck().Debit(debit, 8));
}

}  // namespace
}  // namespace remit
