#include "remit/c19_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/fs/paths.h"
#include "remit/c19_records.h"
#include "remit/remittance_summary.h"
#include "remit/sepa_conversion.h"
#include "remit/sepa_message.h"
#include "tests/support/reset.h"
#include "tests/support/scratch_dir.h"
#include "util/cp850.h"

namespace remit {
namespace {

constexpr char kPresenterId[] = "ES97000B12345678";
constexpr char kCreditorId[] = "ES07000B60000003";
constexpr char kCreditorIban[] = "ES9121000418450200051332";
constexpr char kDebtorIban[] = "ES8700491500070004711001";
constexpr char kOtherIban[] = "ES4400491500010004711002";

Debit MakeDebit(int n, int64_t cents, const std::string& iban) {
  const std::string code = "00000010000" + std::to_string(n);
  return {code + "R0000000" + std::to_string(n), code, cents, "JOAN GARCIA", iban, "QUOTA"};
}

// The records of a file as the generation writes them: one creditor block
// of two debits, and a second block of one, each line ended by CR LF.
std::vector<std::string> GoodRecords() {
  const CreditorHeader creditor{kCreditorId, "20261215", "CLUB ESPORTIU", kCreditorIban};
  return {Record01({kPresenterId, "OFICINA", "20261208", "12345678000", '3', "2100", "0418"}),
          Record02(creditor),
          Record03(MakeDebit(1, 1, kDebtorIban)),
          Record03(MakeDebit(2, 99999999999, kOtherIban)),
          Record04(kCreditorId, "20261215", 100000000000, 2, 4),
          Record05(kCreditorId, 100000000000, 2, 5),
          Record02(creditor),
          Record03(MakeDebit(3, 250, kDebtorIban)),
          Record04(kCreditorId, "20261215", 250, 1, 3),
          Record05(kCreditorId, 250, 1, 4),
          Record99(100000000250, 3, 11)};
}

struct Outcome {
  bool ok = false;
  int64_t record = 0;
  std::string fault;
  C19Plan plan;
};

// The scan of a file's bytes, as the converter makes it.
Outcome Scan(const std::string& bytes) {
  Outcome out;
  int64_t line_length = 0, lines = 0;
  const env::Status read = C19Lines(std::string_view(bytes).substr(0, kRecordLineLength),
                                    static_cast<int64_t>(bytes.size()), &line_length, &lines, &out.record);
  if (!read.ok()) {
    EXPECT_EQ(read.code(), env::Code::kBadData);
    out.fault = read.words();
    return out;
  }
  C19Scan scan(line_length);
  for (int64_t i = 0; i < lines; ++i) {
    if (!scan.Take(std::string_view(bytes).substr(static_cast<size_t>(i * line_length),
                                                  static_cast<size_t>(line_length)))) {
      break;
    }
  }
  out.ok = scan.Finish();
  out.record = scan.fault_record();
  EXPECT_EQ(scan.fault().ok(), out.ok);
  out.fault = scan.fault().words();
  out.plan = scan.plan();
  return out;
}

std::string Joined(const std::vector<std::string>& records, const std::string& end = "\r\n") {
  std::string out;
  for (const std::string& r : records) out += r + end;
  return out;
}

TEST(C19Reader, ReadsBackWhatTheRecordsAreWrittenWith) {
  for (const std::string end : {"\r\n", "\n"}) {
    const Outcome out = Scan(Joined(GoodRecords(), end));
    ASSERT_TRUE(out.ok) << out.record << ": " << out.fault;
    EXPECT_EQ(out.plan.presenter.identifier, kPresenterId);
    EXPECT_EQ(out.plan.presenter.file_identifier, "PRE20261208123456780003XXXXXXXXXXXX");
    EXPECT_EQ(out.plan.presenter.xml_version, '3');
    ASSERT_EQ(out.plan.blocks.size(), 2u);
    EXPECT_EQ(out.plan.blocks[0].first_record, 1);
    EXPECT_EQ(out.plan.blocks[0].end_record, 4);
    EXPECT_EQ(out.plan.blocks[0].creditor.iban, kCreditorIban);
    EXPECT_EQ(out.plan.blocks[0].creditor.collection_date, "20261215");
    ASSERT_EQ(out.plan.blocks[0].groups.size(), 1u);
    EXPECT_EQ(out.plan.blocks[0].groups[0].cents, 100000000000);
    EXPECT_EQ(out.plan.debits, 3);
    EXPECT_EQ(out.plan.cents, 100000000250);
  }
  C19Debit debit;
  ASSERT_TRUE(ReadDebit(Record03(MakeDebit(2, 99999999999, kOtherIban)), &debit).ok());
  EXPECT_EQ(debit.reference, "000000100002R00000002");
  EXPECT_EQ(debit.mandate, "000000100002");
  EXPECT_EQ(debit.sequence_type, "RCUR");
  EXPECT_EQ(debit.purpose, "TRAD");
  EXPECT_EQ(debit.cents, 99999999999);
  EXPECT_EQ(debit.mandate_date, "20091031");
  EXPECT_EQ(debit.debtor_iban, kOtherIban);
  EXPECT_EQ(debit.concept_text, "QUOTA");
}

TEST(C19Reader, NamesAndTheConceptComeOutAsSepaText) {
  Debit d = MakeDebit(1, 100, kDebtorIban);
  d.debtor_name = util::Cp850("ÀNGELS MUÑOZ & FILLS");
  d.concept_text = util::Cp850("QUOTA; Nº 1 ") + std::string(200, 'X');
  C19Debit debit;
  ASSERT_TRUE(ReadDebit(Record03(d), &debit).ok());
  EXPECT_EQ(debit.debtor_name, "ANGELS MUNOZ   FILLS");
  EXPECT_EQ(debit.concept_text.size(), 140u);  // what a message's remittance text takes
  EXPECT_TRUE(debit.concept_text.starts_with("QUOTA, N  1 XXX"));
}

// Each damage of a sound file, and the record and words it is refused with.
TEST(C19Reader, RefusesADamagedFileNamingTheRecord) {
  using Records = std::vector<std::string>;
  struct Case {
    const char* what;
    std::function<std::string()> file;
    int64_t record;
    const char* words;
  };
  auto with = [](size_t index, size_t position, const std::string& text) {
    return [=] {
      Records r = GoodRecords();
      r[index].replace(position - 1, text.size(), text);
      return Joined(r);
    };
  };
  auto without = [](size_t index) {
    return [=] {
      Records r = GoodRecords();
      r.erase(r.begin() + static_cast<std::ptrdiff_t>(index));
      return Joined(r);
    };
  };
  const std::vector<Case> cases = {
      {"empty", [] { return std::string(); }, 1, "buit"},
      {"another format", [] { return std::string("<?xml version=\"1.0\"?>\n") + std::string(900, ' '); },
       1, "no és un fitxer del quadern 19.14"},
      {"truncated", [] { return Joined(GoodRecords()).substr(0, 602 * 5 + 17); }, 6, "tallat"},
      {"no 99", [] { Records r = GoodRecords(); r.pop_back(); return Joined(r); }, 11, "tallat"},
      {"amount garbage", with(2, 89, "0000000AB01"), 3, "no és un número"},
      {"amount 0", with(2, 89, "00000000000"), 3, "l'import és 0"},
      {"IBAN check digit", with(3, 404, "ES45"), 4, "IBAN del deutor"},
      {"IBAN check digits left 00", with(3, 404, "ES00"), 4, "IBAN del deutor"},
      {"IBAN garbage", with(3, 404, "ES44 0049?"), 4, "IBAN del deutor"},
      {"creditor IBAN", with(1, 266, "ES92"), 2, "IBAN del creditor"},
      {"collection date", with(1, 46, "20261332"), 2, "no és una data"},
      {"sequence type", with(2, 81, "XXXX"), 3, "tipus d'adeudament"},
      {"account not an IBAN", with(2, 403, "B"), 3, "no és un IBAN"},
      {"block total", with(4, 46, "00000000000000001"), 5, "cèntims"},
      {"block records", with(5, 63, "0000000004"), 6, "registres"},
      {"file debits", with(10, 20, "00000004"), 11, "adeudaments"},
      {"file total garbage", with(10, 3, "0000000000000000X"), 11, "no és un número"},
      {"a debit outside a block", without(1), 2, "s'esperava un registre 02"},
      {"no 05", without(5), 6, "s'esperava el registre 05"},
      {"records after the 99", [] { Records r = GoodRecords(); r.push_back(r[2]); return Joined(r); },
       12, "després del 99"},
      {"a short line", [] { std::string f = Joined(GoodRecords()); f.erase(700, 1); return f; }, 2,
       "600"},
  };
  for (const Case& c : cases) {
    const Outcome out = Scan(c.file());
    EXPECT_FALSE(out.ok) << c.what;
    EXPECT_EQ(out.record, c.record) << c.what << ": " << out.fault;
    EXPECT_NE(out.fault.find(util::Cp850(c.words)), std::string::npos) << c.what << ": " << out.fault;
  }
}

TEST(SepaMessage, FieldsAsTheMessageWritesThem) {
  EXPECT_EQ(EurosText(1), "0.01");
  EXPECT_EQ(EurosText(100), "1.00");
  EXPECT_EQ(EurosText(99999999999), "999999999.99");
  EXPECT_EQ(IsoDate("20261215"), "2026-12-15");
  const std::string id = PaymentBlockId("PRE20261208123456780003XXXXXXXXXXXX", 12);
  EXPECT_EQ(id, "PRE20261208123456780003XXXXXXXXX-12");
  EXPECT_EQ(XmlPathFor("/srv/kit/CSB/AB12CD34.E19"), "/srv/kit/CSB/AB12CD34.XML");
  EXPECT_EQ(XmlPathFor("D:\\kit\\CSB.OLD\\AB12CD34"), "D:\\kit\\CSB.OLD\\AB12CD34.XML");
  EXPECT_FALSE(VersionTakesSequenceType(PainVersion::k00100102, "RPRE"));
  EXPECT_TRUE(VersionTakesSequenceType(PainVersion::k00100104, "RPRE"));
  EXPECT_TRUE(VersionTakesSequenceType(PainVersion::k00100108, "RPRE"));
}

TEST(SepaMessage, TheVersionCharacterAndTheOfficesSettingChooseTheMessage) {
  struct Case {
    char character;
    const char* setting_4;
    PainVersion expected;
  };
  const Case cases[] = {
      {'2', "", PainVersion::k00100102},
      {'3', "", PainVersion::k00300302},
      {'4', "", PainVersion::k00100102},
      {'X', "", PainVersion::k00100102},  // anything else is read as "4"
      {'4', " PAIN.008.001.04 ", PainVersion::k00100104},
      {'X', "pain.008.001.04", PainVersion::k00100104},
      {'4', "pain.008.001.08", PainVersion::k00100108},  // what a new installation says
      {'2', "pain.008.001.08", PainVersion::k00100108},
      {'4', "pain.008.001.09", PainVersion::k00100102},  // not written here: the default
      {'3', "pain.008.001.04", PainVersion::k00300302},
  };
  for (const Case& c : cases) {
    const char* setting_2 = c.character == '2' ? c.setting_4 : "";
    EXPECT_EQ(VersionForCharacter(c.character, setting_2, "", c.setting_4), c.expected)
        << c.character << " " << c.setting_4;
  }
}

using SepaConversion = qdeb::testing::FreshStateTest;

// The message lies beside its file, and the catalogue, reading each by its
// own means, tells the same date, debits and total of both; a damaged file
// leaves no message and no temporary file.
TEST_F(SepaConversion, TheCatalogueReadsTheMessageAsItsFile) {
  qdeb::testing::ScratchDir dir("qxconvrt");
  dir.Put("AB12CD34.E19", Joined(GoodRecords()));
  const ConversionReport report =
      ConvertToSepaXml({dir.Host("AB12CD34.E19"), ConversionSettings{}, "2026-12-08T10:00:00", {}});
  ASSERT_EQ(report.status, ConversionStatus::kConverted) << report.reason;
  EXPECT_EQ(report.version, PainVersion::k00300302);
  EXPECT_EQ(report.payment_blocks, 2);
  RemittanceSummary file, message;
  ASSERT_TRUE(SummariseRemittanceFile(dir.Host("AB12CD34.E19"), &file));
  ASSERT_TRUE(SummariseRemittanceFile(dir.Host("AB12CD34.XML"), &message));
  EXPECT_EQ(message.date, file.date);
  EXPECT_EQ(message.debits, 3);
  EXPECT_EQ(message.cents, 100000000250);
  EXPECT_EQ(message.cents, file.cents);

  std::vector<std::string> records = GoodRecords();
  records[7].replace(403, 4, "ES45");
  dir.Put("BAD.E19", Joined(records));
  const ConversionReport bad =
      ConvertToSepaXml({dir.Host("BAD.E19"), ConversionSettings{}, "2026-12-08T10:00:00", {}});
  EXPECT_EQ(bad.status, ConversionStatus::kBadRecords);
  EXPECT_EQ(bad.record, 8);
  // The end travels as a Status too: bad data, the reason, the file.
  EXPECT_EQ(bad.failure, env::Status(env::Code::kBadData, bad.reason,
                                     platform::fs::ProgramPath(dir.Host("BAD.E19"))));
  EXPECT_FALSE(dir.Exists("BAD.XML"));
  EXPECT_FALSE(dir.Exists("BAD.XML.tmp"));
}

}  // namespace
}  // namespace remit
