// Every fixed-width record table of the program, checked whole, and the
// main formats built from random values and read back through them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/backup_layout.h"
#include "files/lock_slot.h"
#include "remit/c19_layout.h"
#include "remit/catalogue_layout.h"
#include "remit/marker.h"
#include "remit/c19_reader.h"
#include "remit/c19_records.h"
#include "remit/csb19_layout.h"
#include "remit/layouts.h"
#include "remit/test_helpers/receipt_fixture.h"
#include "tests/support/random.h"
#include "util/record_layout.h"

namespace remit {
namespace {

using qdeb::testing::Random;
using testing::FixtureIban;

TEST(RecordTables, EveryTableNamesEachByteOnceInOrder) {
  const util::RecordLayout tables[] = {
      c19_01::kLayout,        c19_02::kLayout,          c19_03::kLayout,
      c19_04::kLayout,        c19_05::kLayout,          c19_99::kLayout,
      csb19_5180::kLayout,    csb19_568::kLayout,       csb19_5880::kLayout,
      csb19_5980::kLayout,    remittance_layout::kLayout, receipt_layout::kLayout,
      files::backup_header::kLayout, files::backup_directory::kLayout,
      files::backup_entry::kLayout, files::lock_slot::kLayout,
      catalogue_record::kLayout,    file_line::kLayout,
      marker_record::kLayout};
  for (const util::RecordLayout& table : tables) EXPECT_EQ(util::CheckLayout(table), "");

  // The checker itself: an overlap, a gap, a short end and a name twice.
  constexpr util::Field kOverlap[] = {util::Text("a", 1, 4), util::Text("b", 4, 6)};
  constexpr util::Field kGap[] = {util::Text("a", 1, 4), util::Text("b", 6, 5)};
  constexpr util::Field kTwice[] = {util::Text("a", 1, 5), util::Text("a", 6, 5)};
  constexpr util::Field kShort[] = {util::Text("a", 1, 5), util::Text("b", 6, 5)};
  EXPECT_EQ(util::CheckLayout({"t", 9, kOverlap}), "t: field b overlaps the one before it");
  EXPECT_EQ(util::CheckLayout({"t", 10, kGap}), "t: field b leaves positions 5 to 5 unnamed");
  EXPECT_EQ(util::CheckLayout({"t", 11, kShort}), "t: the fields end at 10, the record at 11");
  EXPECT_EQ(util::CheckLayout({"t", 10, kTwice}), "t: field a is named twice");
}

// Up to width letters and digits with blanks inside, none at either end.
std::string Words(Random& random, size_t width) {
  static constexpr std::string_view kChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";
  std::string text(1 + random.Below(static_cast<uint32_t>(width)), ' ');
  for (char& c : text) c = kChars[random.Below(kChars.size())];
  text.front() = 'A' + static_cast<char>(random.Below(26));
  text.back() = '0' + static_cast<char>(random.Below(10));
  return text;
}

std::string DigitsOf(Random& random, size_t n) {
  std::string text(n, '0');
  for (char& c : text) c = '0' + static_cast<char>(random.Below(10));
  return text;
}

TEST(RecordTables, C19RecordsReadBackWhatTheyWereBuiltFrom) {
  Random random(1914);
  for (int round = 0; round < 30; ++round) {
    PresenterHeader presenter{SepaIdentifier(DigitsOf(random, 8) + "B", DigitsOf(random, 3)),
                              Words(random, 70), "2026" "0115", DigitsOf(random, 11),
                              static_cast<char>('2' + random.Below(3)), "2100", "0418"};
    CreditorHeader creditor{SepaIdentifier(DigitsOf(random, 8) + "C", DigitsOf(random, 3)),
                            "20260" + std::to_string(1 + random.Below(9)) + "15",
                            Words(random, 70), FixtureIban(random())};
    std::vector<Debit> debits(1 + random.Below(5));
    int64_t total = 0;
    std::string file = Record01(presenter) + "\r\n" + Record02(creditor) + "\r\n";
    for (Debit& debit : debits) {
      debit = {Words(random, 35), DigitsOf(random, 1 + random.Below(35)),
               1 + static_cast<int64_t>(random()) * 23, Words(random, 70),
               FixtureIban(random()), Words(random, 140)};
      total += debit.amount;
      file += Record03(debit) + "\r\n";
    }
    const auto n = static_cast<int64_t>(debits.size());
    file += Record04(creditor.identifier, creditor.collection_date, total, n, n + 2) + "\r\n";
    file += Record05(creditor.identifier, total, n, n + 3) + "\r\n";
    file += Record99(total, n, n + 5) + "\r\n";

    C19Scan scan(kRecordLineLength);
    for (size_t at = 0; at < file.size(); at += kRecordLineLength) {
      ASSERT_TRUE(scan.Take(std::string_view(file).substr(at, kRecordLineLength))) << scan.fault().Text();
    }
    ASSERT_TRUE(scan.Finish()) << scan.fault().Text();
    const C19Plan& plan = scan.plan();
    EXPECT_EQ(plan.presenter.identifier, presenter.identifier);
    EXPECT_EQ(plan.presenter.name, presenter.name);
    EXPECT_EQ(plan.presenter.file_identifier.substr(0, 22),
              "PRE" + presenter.today + presenter.time_stamp);
    EXPECT_EQ(plan.presenter.xml_version, presenter.xml_version);
    ASSERT_EQ(plan.blocks.size(), 1u);
    EXPECT_EQ(plan.blocks[0].creditor.identifier, creditor.identifier);
    EXPECT_EQ(plan.blocks[0].creditor.collection_date, creditor.collection_date);
    EXPECT_EQ(plan.blocks[0].creditor.name, creditor.name);
    EXPECT_EQ(plan.blocks[0].creditor.iban, creditor.iban);
    EXPECT_EQ(plan.cents, total);
    EXPECT_EQ(plan.debits, n);
    EXPECT_EQ(Record99Debits(Record99(total, n, n + 5)), n);
    for (size_t i = 0; i < debits.size(); ++i) {
      C19Debit read;
      const std::string record = file.substr((i + 2) * kRecordLineLength, kRecordLength);
      ASSERT_TRUE(ReadDebit(record, &read).ok());
      EXPECT_EQ(read.reference, debits[i].reference);
      EXPECT_EQ(read.mandate, debits[i].mandate);
      EXPECT_EQ(read.cents, debits[i].amount);
      EXPECT_EQ(read.debtor_name, debits[i].debtor_name);
      EXPECT_EQ(read.debtor_iban, debits[i].debtor_iban);
      EXPECT_EQ(read.concept_text, debits[i].concept_text);
    }
  }
}

TEST(RecordTables, BackupEntriesReadBackWhatTheyWereBuiltFrom) {
  Random random(33);
  for (int round = 0; round < 50; ++round) {
    files::BackupEntry entry;
    entry.name = Words(random, 12);
    entry.flag = static_cast<uint8_t>(random());
    entry.file_size = random();
    entry.part = static_cast<uint16_t>(random());
    entry.offset = random();
    entry.length = random();
    entry.time = static_cast<uint16_t>(random());
    entry.date = static_cast<uint16_t>(random());
    const std::string bytes = files::BackupEntryBytes(entry);
    ASSERT_EQ(bytes.size(), files::kBackupEntrySize);
    const files::BackupEntry read = files::ReadBackupEntry(bytes);
    EXPECT_EQ(read.name, entry.name);
    EXPECT_EQ(read.flag, entry.flag);
    EXPECT_EQ(read.file_size, entry.file_size);
    EXPECT_EQ(read.part, entry.part);
    EXPECT_EQ(read.offset, entry.offset);
    EXPECT_EQ(read.length, entry.length);
    EXPECT_EQ(read.time, entry.time);
    EXPECT_EQ(read.date, entry.date);
  }
}

}  // namespace
}  // namespace remit
