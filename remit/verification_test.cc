#include "remit/verification.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "env/session.h"
#include "forms/print_spool.h"
#include "platform/console/console.h"
#include "remit/test_helpers/recording_operator.h"
#include "tests/support/reset.h"
#include "tests/support/scoped.h"
#include "tests/support/scratch_dir.h"
#include "forms/print_spool.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/dates.h"

namespace remit {
namespace {

// A CSB 19 record written from the layout: the code, then fields at their
// 1-based positions, blanks elsewhere, CR LF.
std::string Record(const std::string& code,
                   const std::vector<std::pair<size_t, std::string>>& fields = {}) {
  std::string record(162, ' ');
  record.replace(0, code.size(), code);
  for (const auto& [position, text] : fields) record.replace(position - 1, text.size(), text);
  return record + "\r\n";
}

std::string Digits(long long value, size_t width) {
  std::string text = std::to_string(value);
  return std::string(width - text.size(), '0') + text;
}

std::string Presenter() { return Record("5180", {{5, "B12345678000"}, {17, "051226"}}); }
std::string Party() { return Record("5380", {{5, "B12345678001"}}); }
std::string Receipt(long long cents) { return Record("5680", {{89, Digits(cents, 10)}}); }
std::string PartyTotal(long long cents, long long receipts, long long records) {
  return Record("5880", {{5, "B12345678001"},
                         {89, Digits(cents, 10)},
                         {105, Digits(receipts, 10)},
                         {115, Digits(records, 10)}});
}
std::string GeneralTotal(long long parties, long long cents, long long receipts,
                         long long records) {
  return Record("5980", {{5, "B12345678000"},
                         {69, Digits(parties, 4)},
                         {89, Digits(cents, 10)},
                         {105, Digits(receipts, 10)},
                         {115, Digits(records, 10)}});
}

// A whole remittance of one party with the given receipts.
std::string Remittance(const std::vector<long long>& cents) {
  long long sum = 0;
  std::string body;
  for (long long c : cents) {
    body += Receipt(c);
    sum += c;
  }
  const long long n = static_cast<long long>(cents.size());
  return Presenter() + Party() + body + PartyTotal(sum, n, n + 2) + GeneralTotal(1, sum, n, n + 4);
}

class VerificationTest : public qdeb::testing::FreshStateTest {
 protected:
  VerificationTest() : drives_("KITDRIVES", "C=/;A=" + dir_.Host("a") + ":removable") {
    dir_.MakeDir("a");
    env::session.WorkDir = dir_.Dos("work") + "\\";
    dir_.MakeDir("work");
    env::session.WorkDate = util::PackDate(2026, 12, 8);
  }

  // The remittance cut into volumes at the given byte positions.
  void PutSet(const std::string& bytes, std::vector<size_t> cuts = {}) {
    cuts.push_back(bytes.size());
    size_t from = 0;
    for (size_t v = 0; v < cuts.size(); ++v) {
      dir_.Put("a/BACKUP." + Digits(static_cast<long long>(v + 1), 3),
               bytes.substr(from, cuts[v] - from));
      from = cuts[v];
    }
  }

  // keys: the operator's answer to each question, a line each: "Esc" gives
  // up, any other key goes on.
  VerificationEnd Verify(const std::string& keys) {
    testing::RecordingOperator op;
    for (size_t at = 0; at < keys.size();) {
      const size_t end = keys.find('\n', at);
      op.answers.push_back(keys.substr(at, end - at) != "Esc");
      at = end == std::string::npos ? keys.size() : end + 1;
    }
    EXPECT_TRUE(ui::forms::OpenPrintSpool("P").ok());
    const VerificationRunReport report = VerifyReceiptDiskette({.drive = "A:"}, op);
    EXPECT_TRUE(ui::forms::ClosePrintSpool().ok());
    EXPECT_TRUE(op.answers.empty());  // one answer per question
    EXPECT_EQ(report.status.ok(), report.end != VerificationEnd::kFailed);
    return report.end;
  }

  // The texts of the spool's items (column, text, line feeds), one line
  // each, blanks squeezed.
  std::vector<std::string> Items() const {
    std::vector<std::string> items;
    const std::string spool = dir_.Get("work/kitprint.tmp");
    size_t from = 0;
    for (size_t end; (end = spool.find("\r\n", from)) != std::string::npos; from = end + 2) {
      const std::string line = spool.substr(from, end - from);
      const size_t first = line.find(','), last = line.rfind(',');
      if (first == std::string::npos || first == last) continue;
      std::string text;
      for (char c : line.substr(first + 1, last - first - 1)) {
        if (c != ' ' || text.empty() || text.back() != ' ') text += c;
      }
      items.push_back(text);
    }
    return items;
  }

  std::vector<std::string> Errors() const {
    std::vector<std::string> errors;
    for (const std::string& item : Items()) {
      if (item.rfind("*** error *** ", 0) == 0) errors.push_back(item.substr(14));
    }
    return errors;
  }

  bool HasItem(const std::string& text) const {
    for (const std::string& item : Items()) {
      if (item == text) return true;
    }
    return false;
  }

  qdeb::testing::ScratchDir dir_;
  qdeb::testing::ScopedEnvironment drives_;
};

TEST_F(VerificationTest, ASetSplitMidRecordIsReadWholeAndTotalled) {
  const std::string set = Remittance({1050, 200, 3});
  // The third and fifth records cut; then a volume shorter than the rest
  // of the record it continues, whose start must not be lost.
  PutSet(set, {164 * 2 + 70, 164 * 4 + 1});
  EXPECT_EQ(Verify("Enter\nEnter\nEnter\n"), VerificationEnd::kRead);
  EXPECT_TRUE(Errors().empty());
  PutSet(set, {100, 150});
  EXPECT_EQ(Verify("Enter\nEnter\nEnter\n"), VerificationEnd::kRead);
  EXPECT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());
  EXPECT_TRUE(HasItem("ORDENANT B12345678001 "));
  EXPECT_TRUE(HasItem(" 12'53")) << ::testing::PrintToString(Items());
  EXPECT_TRUE(HasItem(" 3"));
  EXPECT_TRUE(HasItem(" 5"));
  EXPECT_TRUE(HasItem(" 7"));  // 5180 + 5380 + 3 x 5680 + 5880 + 5980
  EXPECT_TRUE(HasItem("PRESENTADOR B12345678000 5 de desembre del 2026"));
  EXPECT_TRUE(HasItem(std::string(95, '=')));
  EXPECT_FALSE(HasItem(" *** error ***"));
}

TEST_F(VerificationTest, DefectsAreReportedWithTheirRecordNumbers) {
  std::string tab = Receipt(1);
  tab[40] = '\t';
  std::string no_line_end = Receipt(1);
  no_line_end[163] = 'x';
  const struct {
    const char* name;
    std::string set;
    std::vector<std::string> errors;
  } cases[] = {
      {"first record not 5180",
       Party() + Receipt(5) + PartyTotal(5, 1, 3) + GeneralTotal(1, 5, 1, 3),
       {"1 el registre 5180 ha de ser el primer registre"}},
      {"5180 again", Presenter() + Party() + Presenter() + PartyTotal(0, 0, 2) +
                         GeneralTotal(1, 0, 0, 4),
       {"3 el registre 5180 no pot ser aquest registre"}},
      {"optional record out of sequence",
       Presenter() + Party() + Receipt(1) + Record("5681") + Record("5683") +
           PartyTotal(1, 1, 5) + GeneralTotal(1, 1, 1, 7),
       {"5 el registre 5683 no està en seqüència"}},
      {"optional records in sequence", Presenter() + Party() + Receipt(1) + Record("5681") +
                                           Receipt(1) + Record("5681") + PartyTotal(2, 2, 6) +
                                           GeneralTotal(1, 2, 2, 8),
       {}},
      {"strange characters", Presenter() + Party() + tab + no_line_end + PartyTotal(2, 2, 4) +
                                 GeneralTotal(1, 2, 2, 6),
       {"3 conté caràcters estranys", "4 conté caràcters estranys"}},
      {"records after the general totals",
       Remittance({1}) + Presenter(), {"6 el registre 5180 no pot ser aquest registre"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PutSet(c.set);
    EXPECT_EQ(Verify("Enter\n"), VerificationEnd::kRead);
    std::vector<std::string> expected;
    for (const std::string& e : c.errors) expected.push_back(util::Cp850(e));
    EXPECT_EQ(Errors(), expected);
    EXPECT_TRUE(HasItem("ORDENANT B12345678001 "));  // the party's line in every case
  }
}

// Totals that disagree with the computed ones are printed below them.
TEST_F(VerificationTest, DisagreeingTotalsShowTheDeclaredValues) {
  PutSet(Presenter() + Party() + Receipt(100) + PartyTotal(100, 9, 3) +
         GeneralTotal(2, 100, 1, 5));
  Verify("Enter\n");
  const std::vector<std::string> expected = {
      "ORDENANT B12345678001 ", " 1'00", " 1", " 3",  // computed
      " *** error *** ", " 1'00", " 9", " 3",         // declared
  };
  const std::vector<std::string> items = Items();
  EXPECT_NE(std::search(items.begin(), items.end(), expected.begin(), expected.end()),
            items.end()) << ::testing::PrintToString(items);
  const std::vector<std::string> general = {" *** error ***", " 2", " 1'00", " 1", " 5"};
  EXPECT_NE(std::search(items.begin(), items.end(), general.begin(), general.end()), items.end());
  EXPECT_TRUE(Errors().empty());
}

// The heading comes before the first line of any kind: here an error.
TEST_F(VerificationTest, AnErrorBeforeAnyTotalsStartsTheFirstPage) {
  PutSet(Party() + Receipt(5) + PartyTotal(5, 1, 3) + GeneralTotal(1, 5, 1, 3));
  Verify("Enter\n");
  const std::string spool = dir_.Get("work/kitprint.tmp");
  const size_t heading = spool.find("DEVICEP\r\nPAGE 66\r\n*@e\r\n");
  const size_t title = spool.find("VERIFICACI");
  const size_t error = spool.find("*** error ***");
  EXPECT_EQ(heading, 0u);
  EXPECT_LT(title, error);
  EXPECT_NE(spool.find(util::Cp850("PÀGINA    1")), std::string::npos);
}

// Escape at a prompt ends the verification; a volume not on the drive is
// asked for again; a set without general totals asks for a further volume.
TEST_F(VerificationTest, PromptsUntilTheVolumeIsThereOrEscape) {
  EXPECT_EQ(Verify("Esc\n"), VerificationEnd::kCancelled);
  EXPECT_TRUE(Items().empty());

  const std::string set = Remittance({7});
  PutSet(set.substr(0, set.size() - 164));  // no 5980 record
  EXPECT_EQ(Verify("x\nEsc\n"), VerificationEnd::kCancelled);
  EXPECT_TRUE(HasItem("ORDENANT B12345678001 "));
  EXPECT_FALSE(HasItem(std::string(95, '=')));

  dir_.Remove("a/BACKUP.001");
  EXPECT_EQ(Verify("Enter\nEnter\nEsc\n"), VerificationEnd::kCancelled);
}

// Whatever its write bits, a volume file is read; a folder or a pipe in its
// place is told with what it is (never waited on), and the volume asked for
// again.
TEST_F(VerificationTest, ReadOnlyVolumesAreReadAndNoFilesAreTold) {
  PutSet(Remittance({7}));
  std::filesystem::permissions(dir_.Host("a/BACKUP.001"), std::filesystem::perms::owner_read);
  EXPECT_EQ(Verify("Enter\n"), VerificationEnd::kRead);
  EXPECT_TRUE(HasItem("ORDENANT B12345678001 "));

  const struct {
    std::function<void(const std::string&)> plant;
    std::string told;
  } cases[] = {
      {[](const std::string& p) { std::filesystem::create_directory(p); }, "ÉS UNA CARPETA"},
      {[](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }, "NO ÉS UN FITXER"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.told);
    dir_.Remove("a/BACKUP.001");
    c.plant(dir_.Host("a/BACKUP.001"));
    testing::RecordingOperator op({true, false});
    EXPECT_TRUE(ui::forms::OpenPrintSpool("P").ok());
    EXPECT_EQ(VerifyReceiptDiskette({.drive = "A:"}, op).end, VerificationEnd::kCancelled);
    EXPECT_TRUE(ui::forms::ClosePrintSpool().ok());
    EXPECT_EQ(op.asked.size(), 2u);
    ASSERT_EQ(op.told.size(), 1u);
    EXPECT_EQ(util::Cp850ToUtf8(op.told[0]), "NO ES POT LLEGIR A:\\BACKUP.001: " + c.told);
  }
}

// Beyond 32,767 records the totals and record numbers are still right.
TEST_F(VerificationTest, LargeSetsKeepExactCounts) {
  const std::vector<long long> cents(40000, 1);
  std::string set = Remittance(cents);
  set += Record("5180");  // record 40,005: its number printed whole
  PutSet(set, {set.size() / 2 + 17});
  Verify("Enter\nEnter\n");
  EXPECT_EQ(Errors(), std::vector<std::string>{"40.005 el registre 5180 no pot ser aquest registre"});
  EXPECT_TRUE(HasItem(" 40.000")) << ::testing::PrintToString(Items());
  EXPECT_TRUE(HasItem(" 40.004"));
  EXPECT_FALSE(HasItem(" *** error ***"));
}

// A volume of zeros is an error line per record: at a thousand in the
// volume the operator is asked whether to go on; stopping says in the
// report how many records were left unchecked.
TEST_F(VerificationTest, AVolumeOfErrorsAsksWhetherToGoOn) {
  PutSet(std::string(1500 * 164, '\0'));
  // Record 1 has two errors (strange characters, not the 5180): the
  // thousandth line is record 999's, which leaves 501 records.
  EXPECT_EQ(Verify("Enter\nEsc\n"), VerificationEnd::kCancelled);
  EXPECT_EQ(Errors().size(), 1000u);
  EXPECT_TRUE(HasItem(util::Cp850("*** verificació aturada: 501 registres d'aquest volum sense "
                                  "comprovar, ni els volums següents")))
      << ::testing::PrintToString(Items());
  // Going on checks the rest, then asks for the next volume.
  EXPECT_EQ(Verify("Enter\nx\nEsc\n"), VerificationEnd::kCancelled);
  EXPECT_EQ(Errors().size(), 1501u);
}

}  // namespace
}  // namespace remit
