#include "remit/generation.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "db/records.h"
#include "env/ini.h"
#include "files/locks.h"
#include "platform/process/clock.h"
#include "remit/remit_test_support.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace remit {
namespace {

using testing::ReceiptFields;
using testing::RemittanceFields;

constexpr char kAccount[] = "21000418450200051332";
constexpr char kAccountIban[] = "ES9121000418450200051332";
constexpr char kDebtorIban[] = "ES7620770024003102575766";
const std::string kLink = " DETALL A https://rebuts.example/efactura/";

// A record line as the record tables give it: 600 characters with each
// text at its 1-based position, then CR LF.
std::string Line(const std::vector<std::pair<size_t, std::string>>& fields) {
  std::string record(600, ' ');
  for (const auto& [position, text] : fields) record.replace(position - 1, text.size(), text);
  return record + "\r\n";
}

RemittanceFields Remittance(int number, const std::string& suffix) {
  RemittanceFields r;
  r.number = number;
  r.account = kAccount;
  r.suffix_number = suffix;
  r.creditor_name = "CLUB ESPORTIU";
  r.creditor_suffix = "001";
  r.creditor_identifier = "ESB60000003";
  return r;
}

ReceiptFields Receipt(int remittance, int64_t debtor, int64_t number, int32_t amount) {
  ReceiptFields r;
  r.remittance_low = remittance;
  r.debtor = debtor;
  r.number = number;
  r.amount = amount;
  r.iban = kDebtorIban;
  r.identifier = "ES12345678Z";
  r.concept_text = "QUOTA GENER";
  return r;
}

// The records of a file: each 600 characters and CR LF, or a failure.
std::vector<std::string> Records(const std::string& bytes) {
  std::vector<std::string> records;
  EXPECT_EQ(bytes.size() % 602, 0u);
  for (size_t at = 0; at + 602 <= bytes.size(); at += 602) {
    EXPECT_EQ(bytes.substr(at + 600, 2), "\r\n");
    records.push_back(bytes.substr(at, 600));
  }
  return records;
}

class GenerationTest : public testing::GenerationTest {};

TEST_F(GenerationTest, OneFilePerSuffixByteForByteAndTheReceiptsGone) {
  ReceiptFields joan = Receipt(1, 4321, 17, 12345);
  joan.name = "GARCIA*JOAN";
  ReceiptFields anna = Receipt(1, 4322, 18, 500);
  anna.name = util::Cp850("MUÑOZ*ANNA");
  anna.identifier.clear();
  anna.concept_text = util::Cp850("ñ£\t");
  Add(Remittance(1, "000"));
  Add(Remittance(3, "002"));
  RemittanceFields no_account = Remittance(2, "000");
  no_account.account.clear();
  Add(no_account);
  Add(Remittance(5, "000"));  // beyond the range
  const std::vector<ReceiptFields> taken = {joan, anna, Receipt(3, 1, 1, 100),
                                            Receipt(3, 2, 2, 200), Receipt(3, 3, 3, 300)};
  const std::vector<ReceiptFields> kept = {Receipt(2, 9, 9, 900), Receipt(5, 8, 8, 800)};
  for (const ReceiptFields& r : taken) Add(r);
  for (const ReceiptFields& r : kept) Add(r);

  const GenerationReport result = Generate();

  // Suffixes 0 and 2 have receipts, suffix 1 none: two files, in order.
  ASSERT_EQ(result.files, (std::vector<std::string>{OutputPath("AAAAAAA1.E19"), OutputPath("AAAAAAA2.E19")}));
  EXPECT_EQ(result.receipts, 5);
  EXPECT_EQ(OutputNames(), (std::set<std::string>{"AAAAAAA1.E19", "AAAAAAA2.E19"}));
  const std::string presenter = "ES97000B12345678";
  const std::string creditor = "ES07001B60000003";
  const std::string expected =
      Line({{1, "0119143001"}, {11, presenter}, {46, "OFICINA DE COBRAMENTS"}, {116, "20260115"},
            {124, "PRE2026011512345678000"}, {146, "4XXXXXXXXXXXX"}, {159, "2100"}, {163, "0418"}}) +
      Line({{1, "0219143002"}, {11, creditor}, {46, "20260201"}, {54, "CLUB ESPORTIU"},
            {266, kAccountIban}}) +
      Line({{1, "0319143003"}, {11, "000000004321R00000017"}, {46, "000000004321"}, {81, "RCURTRAD"},
            {89, "00000012345"}, {100, "20091031"}, {119, "JOAN GARCIA"}, {403, "A"},
            {404, kDebtorIban}, {442, "QUOTA GENER" + kLink + " PIN 2768"}}) +
      Line({{1, "0319143003"}, {11, "000000004322R00000018"}, {46, "000000004322"}, {81, "RCURTRAD"},
            {89, "00000000500"}, {100, "20091031"}, {119, "ANNA MUNOZ"}, {403, "A"},
            {404, kDebtorIban}, {442, "n  " + kLink + " (NIF QN2MGUMQEKAAADSR ) PIN 3118"}}) +
      Line({{1, "04"}, {3, creditor}, {38, "20260201"}, {46, "00000000000012845"}, {63, "00000002"},
            {71, "0000000004"}}) +
      Line({{1, "05"}, {3, creditor}, {38, "00000000000012845"}, {55, "00000002"}, {63, "0000000005"}}) +
      Line({{1, "99"}, {3, "00000000000012845"}, {20, "00000002"}, {28, "0000000007"}});
  const std::string first = Get(Csb("AAAAAAA1.E19"));
  ASSERT_EQ(first.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(first[i], expected[i]) << "record " << i / 602 + 1 << ", position " << i % 602 + 1;
  }
  // Three debits in one block: the 04 counts 5 records, the 05 6, the 99 8.
  const std::vector<std::string> second = Records(Get(Csb("AAAAAAA2.E19")));
  ASSERT_EQ(second.size(), 8u);
  EXPECT_EQ(second[0].substr(10, 16), "ES97002B12345678");
  EXPECT_EQ(second[5].substr(45, 35), "00000000000000600000000030000000005");
  EXPECT_EQ(second[6].substr(37, 35), "00000000000000600000000030000000006");
  EXPECT_EQ(second[7].substr(2, 35), "00000000000000600000000030000000008");

  for (const ReceiptFields& r : taken) EXPECT_FALSE(Waiting(r)) << r.number;
  for (const ReceiptFields& r : kept) EXPECT_TRUE(Waiting(r)) << r.number;
  const std::string list = env::session.WorkDir + "QXCONVRT.INI";
  EXPECT_EQ(env::ReadIniValue(list, "Convertir", "Tornar"), "MENU");
  EXPECT_EQ(env::ReadIniValue(list, "Convertir", "Maxim"), " 2");
  EXPECT_EQ(env::ReadIniValue(list, "Convertir", "Fitx1"), result.files[0]);
  EXPECT_EQ(env::ReadIniValue(list, "Convertir", "Fitx2"), result.files[1]);
  EXPECT_EQ(result.messages, (std::vector<std::string>{"GENERAT FITXER " + result.files[0],
                                                       "GENERAT FITXER " + result.files[1]}));

  // The same selection again: nothing left to write, a fresh work list.
  const GenerationReport again = Generate();
  EXPECT_TRUE(again.files.empty());
  EXPECT_EQ(again.messages, std::vector<std::string>{"CAP REBUT PENDENT A LES REMESES 1-4"});
  EXPECT_EQ(OutputNames().size(), 2u);
  EXPECT_EQ(env::ReadIniValue(list, "Convertir", "Tornar"), "MENU");
  EXPECT_EQ(env::ReadIniValue(list, "Convertir", "Maxim"), "");
}

TEST_F(GenerationTest, AmountsOfZeroOrLessStayAndBadInputMakesWholeRecords) {
  RemittanceFields letters = Remittance(1, "ABC");  // a suffix of letters counts as 0
  letters.creditor_name = std::string("\x01\x02\xfe\xff", 4);
  Add(letters);
  const ReceiptFields zero = Receipt(1, 1, 1, 0);
  const ReceiptFields refund = Receipt(1, 2, 2, -500);
  ReceiptFields garbage = Receipt(1, 3, 3, 700);
  std::string record = garbage.Record();
  record.replace(1, 6, "\x01 \x7f\xff" "AB");        // debtor code of no packed digits
  record.replace(23, 40, std::string(40, '\t'));     // a name of control characters
  std::string iban = kDebtorIban;
  iban.resize(34, ' ');
  record.replace(71, 34, iban);
  record.replace(116, 17, std::string(17, '\x00'));  // an identifier of zero bytes
  record.replace(133, 640, std::string(640, '\x1b'));
  Add(zero);
  Add(refund);
  ASSERT_EQ(testing::Insert(kTrasBancFile, record), 0);

  const GenerationReport result = Generate();

  ASSERT_EQ(result.files.size(), 1u);
  EXPECT_EQ(result.receipts, 1);
  EXPECT_EQ(result.left_out, 2);
  EXPECT_TRUE(Waiting(zero));
  EXPECT_TRUE(Waiting(refund));
  ASSERT_EQ(result.messages.size(), 2u);
  EXPECT_EQ(result.messages[1], "REBUTS D'IMPORT ZERO O NEGATIU NO GENERATS: 2");
  const std::vector<std::string> records = Records(Get(Csb("AAAAAAA1.E19")));
  ASSERT_EQ(records.size(), 6u);
  for (const std::string& r : records) {
    for (char c : r) ASSERT_FALSE(static_cast<unsigned char>(c) < 32 || c == 127) << r;
  }
  // The owner's name stands in for a creditor name of nothing printable.
  EXPECT_EQ(records[1].substr(53, 21), "OFICINA DE COBRAMENTS");
  EXPECT_EQ(records[2].substr(88, 11), "00000000700");
  EXPECT_EQ(records[2].substr(403, 34), iban);
}

// A debtor IBAN the bank would refuse, written as it stands, would have
// the whole debit refused: such receipts stay in TrasBanc and are told,
// each by its remittance and debit reference.
TEST_F(GenerationTest, ReceiptsOfABlankOrWrongDebtorIbanStayAndAreTold) {
  Add(Remittance(1, "000"));
  struct Case {
    const char* iban;
    bool written;
  };
  const Case cases[] = {
      {"", false},                          // blank
      {"ES7720770024003102575766", false},  // check digits one off
      {"ES0020770024003102575766", false},  // check digits never computed
      {kDebtorIban, true},
  };
  std::vector<ReceiptFields> receipts;
  for (size_t i = 0; i < std::size(cases); ++i) {
    ReceiptFields r = Receipt(1, 100 + static_cast<int64_t>(i), static_cast<int64_t>(i) + 1, 1000);
    r.iban = cases[i].iban;
    Add(r);
    receipts.push_back(r);
  }

  const GenerationReport result = Generate();

  EXPECT_EQ(result.receipts, 1);
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(Waiting(receipts[i]), !cases[i].written) << "IBAN '" << cases[i].iban << "'";
  }
  EXPECT_EQ(result.bad_iban, (std::vector<std::string>{"B01 000000000100R00000001", "B01 000000000101R00000002",
                                                       "B01 000000000102R00000003"}));
  ASSERT_FALSE(result.messages.empty());
  EXPECT_EQ(result.messages.back(),
            "REBUTS AMB L'IBAN DEL DEUTOR EN BLANC O ERRONI NO GENERATS: 3. REMESA B01 000000000100R00000001,"
            " REMESA B01 000000000101R00000002, REMESA B01 000000000102R00000003.");
}

TEST_F(GenerationTest, SettingsOfFtpIniAndVerxmlMap) {
  Add(Remittance(1, "000"));
  struct Case {
    const char* what;
    const char* ftp_ini;   // nullptr: no file
    std::string map;       // empty: no file
    char version;
    std::string link;
  };
  std::string map_of_3(2101, '4');
  map_of_3[2100] = '3';
  const std::vector<Case> cases = {
      {"nothing", nullptr, "", '4', kLink},
      {"Rebuts=N", "[Publicar]\r\nRebuts=N\r\n", map_of_3, '3', ""},
      {"a link of its own", "[Publicar]\r\nRebuts=S\r\nEnllac=http://x.cat/efactura/\r\n",
       std::string(2100, '3'), '4', " DETALL A http://x.cat/efactura/"},
      {"an empty map", "[Publicar]\r\nEnllac=  \r\n", "\n", '4', kLink},
  };
  int number = 0;
  for (const Case& c : cases) {
    dir_.Remove("root/Ftp.ini");
    dir_.Remove("root/VERXML.MAP");
    if (c.ftp_ini) Put("root/Ftp.ini", c.ftp_ini);
    if (!c.map.empty()) Put("root/VERXML.MAP", c.map);
    Add(Receipt(1, 1, ++number, 100));
    const GenerationReport result = Generate();
    ASSERT_EQ(result.files.size(), 1u) << c.what;
    const std::vector<std::string> records = Records(Get(Csb("AAAAAAA" + std::to_string(number) + ".E19")));
    ASSERT_EQ(records.size(), 6u) << c.what;
    EXPECT_EQ(records[0][145], c.version) << c.what;
    EXPECT_EQ(records[2].substr(441, 11 + c.link.size() + 9), "QUOTA GENER" + c.link + " PIN 2768")
        << c.what;
  }
}

// Another terminal holds the next receipt's key in the lock table and takes
// the receipt while this one waits for it: once the lock is had, the
// receipt is read again, found gone and left out of the file.
TEST_F(GenerationTest, AReceiptTakenWhileItsLockWasWaitedForIsSkipped) {
  Add(Remittance(1, "000"));
  const ReceiptFields first = Receipt(1, 1, 1, 100);
  const ReceiptFields taken = Receipt(1, 2, 2, 200);
  const ReceiptFields last = Receipt(1, 3, 3, 300);
  for (const ReceiptFields& r : {first, taken, last}) Add(r);
  std::string other_buffer;
  int16_t status = 0;
  db::OpenRecordFile(37, env::session.RootDir + "DADES\\TrasBanc", &other_buffer, status);
  ASSERT_EQ(status, 0);

  const std::string go = Host("go");
  const std::string key_text = files::LockKeyText(taken.Record().substr(0, 11));
  const std::string command = std::string(QDEB_LOCK_HELPER) + " " + Host("root") + "/ " +
                              Host("work2") + "/ hold TrasBanc " + key_text + " " + key_text + " " + go;
  dir_.MakeDir("work2");
  FILE* other = popen(command.c_str(), "r");
  ASSERT_NE(other, nullptr);
  char line[128] = {};
  ASSERT_NE(fgets(line, sizeof line, other), nullptr);
  ASSERT_EQ(std::string(line).substr(0, 5), "held ") << line;

  int waits = 0;
  files::Hooks.wait.pause = [&](int) {
    if (waits++ == 0) {
      int16_t st = 0;
      db::GetByKey(37, 0, taken.Record().substr(0, 11), 0, st);
      ASSERT_EQ(st, 0);
      db::DeleteCurrent(37, st);
      ASSERT_EQ(st, 0);
      Put("go", "go");
    }
    platform::SleepMilliseconds(20);
  };
  const GenerationReport result = Generate();
  while (fgets(line, sizeof line, other) != nullptr) {
  }
  EXPECT_EQ(pclose(other), 0);

  EXPECT_GE(waits, 1);
  EXPECT_EQ(result.in_use, 0);  // found gone when read again, not refused on delete
  ASSERT_EQ(result.files.size(), 1u);
  EXPECT_EQ(result.receipts, 2);
  const std::vector<std::string> records = Records(Get(Csb("AAAAAAA1.E19")));
  ASSERT_EQ(records.size(), 7u);
  EXPECT_EQ(records[2].substr(10, 21), "000000000001R00000001");
  EXPECT_EQ(records[3].substr(10, 21), "000000000003R00000003");
  EXPECT_FALSE(Waiting(first));
  EXPECT_FALSE(Waiting(taken));
  EXPECT_FALSE(Waiting(last));
}

// What another program reads in the lock table while the generation takes
// receipts (the table stays open for the group): one slot, this run's,
// holding the key of the receipt being taken, as LockKey writes it, moved
// from receipt to receipt, and nothing held once the run has ended.
TEST_F(GenerationTest, TheLockTableShowsEachReceiptsSlotWhileItIsTaken) {
  Add(Remittance(1, "000"));
  Add(Remittance(3, "000"));
  const std::vector<ReceiptFields> receipts = {Receipt(1, 1, 1, 100), Receipt(1, 2, 2, 200),
                                               Receipt(3, 3, 3, 300)};
  for (const ReceiptFields& r : receipts) Add(r);
  // The held slots of the table as its bytes stand: holder and low key.
  auto held = [this] {
    const std::string table = Get("root/LOCKS/TrasBanc.lck");
    std::vector<std::string> slots;
    for (size_t at = 0; at + 121 <= table.size(); at += 121) {
      if (table[at + 34] == ' ') continue;
      slots.push_back(std::string(util::Trim(table.substr(at + 15, 11))) + " " +
                      std::string(util::Trim(table.substr(at + 37, 40))));
    }
    return slots;
  };
  struct Peeking : testing::RecordingOperator {
    std::function<void()> peek;
    void Progress(int16_t row, std::string_view text) override {
      RecordingOperator::Progress(row, text);
      peek();
    }
  } op;
  std::vector<std::vector<std::string>> seen;
  op.peek = [&] { seen.push_back(held()); };
  const GenerationReport result = GenerateCuaderno19(request_, op);
  EXPECT_EQ(result.receipts, 3);
  ASSERT_EQ(seen.size(), receipts.size());
  for (size_t i = 0; i < receipts.size(); ++i) {
    const std::string key = files::LockKeyText(receipts[i].Record().substr(0, 11));
    EXPECT_EQ(seen[i], std::vector<std::string>{std::to_string(files::lock_identity.LockHolder) + " " + key})
        << "receipt " << i;
  }
  EXPECT_TRUE(held().empty());
}

// The output directory cannot hold the file (a file stands in its place):
// nothing of the group is committed and the operator is told where.
TEST_F(GenerationTest, AFileThatCannotBeWrittenCommitsNothing) {
  Add(Remittance(1, "000"));
  const ReceiptFields receipt = Receipt(1, 1, 1, 100);
  Add(receipt);
  Put("root/CSB", "not a folder");
  const GenerationReport result = Generate();
  EXPECT_TRUE(result.files.empty());
  EXPECT_EQ(result.failed_groups, 1);
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0].substr(0, 19), "FITXER NO GENERAT. ");
  EXPECT_NE(result.messages[0].find(OutputPath("AAAAAAA1.E19.tmp")), std::string::npos)
      << result.messages[0];
  EXPECT_TRUE(Waiting(receipt));
  EXPECT_EQ(Get("root/CSB"), "not a folder");
  EXPECT_EQ(env::ReadIniValue(env::session.WorkDir + "QXCONVRT.INI", "Convertir", "Maxim"), "");
}

// A record file that fails in the middle of the scan (closed under it
// here, as a lost server or a damaged page fails it): the operator is told
// which file and nothing is committed, where the scan used to take the
// failure for its end and commit the receipts read so far as a whole file.
TEST_F(GenerationTest, AReadThatFailsInTheScanIsToldAndCommitsNothing) {
  Add(Remittance(1, "000"));
  Add(Remittance(3, "000"));
  const ReceiptFields first = Receipt(1, 1, 1, 100);
  const ReceiptFields second = Receipt(3, 2, 2, 200);
  Add(first);
  Add(second);
  op_.on_progress = [] {
    int16_t status = 0;
    db::CloseRecordFile(kRemesesFile, status);
  };
  const GenerationReport result = Generate();
  EXPECT_TRUE(result.files.empty());
  EXPECT_EQ(result.failed_groups, 1);
  ASSERT_FALSE(result.messages.empty());
  EXPECT_NE(result.messages[0].find("TRemeses"), std::string::npos) << result.messages[0];
  EXPECT_TRUE(Waiting(first));
  EXPECT_TRUE(Waiting(second));
}

// The converter's work list cannot be written (a folder stands in its
// place): nothing is generated, since no file could be listed, and the
// operator is told what failed; the receipts wait.
TEST_F(GenerationTest, AWorkListThatCannotBeWrittenGeneratesNothing) {
  Add(Remittance(1, "000"));
  const ReceiptFields receipt = Receipt(1, 1, 1, 100);
  Add(receipt);
  dir_.MakeDir("work/QXCONVRT.INI");
  const GenerationReport result = Generate();
  EXPECT_TRUE(result.files.empty());
  EXPECT_EQ(result.status.code(), env::Code::kFileError);
  EXPECT_NE(result.status.Text().find("QXCONVRT.INI"), std::string::npos) << result.status.Text();
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_EQ(result.messages[0], result.status.Text());
  EXPECT_TRUE(Waiting(receipt));
}

// Each file is told to the operator as it is generated, with the progress
// of the receipts between, and the progress window goes when the generation
// ends; nothing is asked.
TEST_F(GenerationTest, EachFileIsToldAndTheProgressWindowGoes) {
  Add(Remittance(1, "000"));
  Add(Remittance(3, "002"));
  Add(Receipt(1, 1, 1, 100));
  Add(Receipt(3, 2, 2, 200));
  const GenerationReport result = Generate();
  ASSERT_EQ(result.files.size(), 2u);
  EXPECT_EQ(op_.told, result.messages);
  EXPECT_EQ(op_.told, (std::vector<std::string>{"GENERAT FITXER " + result.files[0],
                                                "GENERAT FITXER " + result.files[1]}));
  EXPECT_TRUE(op_.asked.empty());
  EXPECT_EQ(op_.progress_title, " PROCESSANT ");
  EXPECT_EQ(op_.last_progress.size(), 76u);
  EXPECT_EQ(op_.progress_opened, 1);
  EXPECT_EQ(op_.progress_closed, 1);
  EXPECT_TRUE(result.status.ok()) << result.status.Text();
}

}  // namespace
}  // namespace remit
