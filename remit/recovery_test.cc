#include "remit/recovery.h"

#include "files/lock_liveness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "env/ini.h"
#include "platform/fs/files.h"
#include "remit/journal.h"
#include "remit/marker.h"
#include "util/cp850.h"
#include "util/sha256.h"
#include "remit/remit_test_support.h"

namespace remit {
namespace {

using testing::ReceiptFields;

std::string Line(const std::string& start) {
  std::string record = start;
  record.resize(600, ' ');
  return record + "\r\n";
}

// A whole file of n debits, as a group seals it.
std::string WholeFileOf(int n) {
  std::string bytes = Line("0119143001") + Line("0219143002");
  for (int i = 0; i < n; ++i) bytes += Line("0319143003");
  char counts[40];
  std::snprintf(counts, sizeof counts, "%017d%08d%010d", 100 * n, n, n + 5);
  return bytes + Line("04") + Line("05") + Line(std::string("99") + counts);
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

ReceiptFields Receipt(int64_t number) {
  ReceiptFields r;
  r.debtor = number;
  r.number = number;
  return r;
}

std::string Key(const ReceiptFields& r) { return r.Record().substr(0, 11); }

std::string JournalOf(const std::vector<ReceiptFields>& receipts, bool ended = true) {
  std::string text;
  for (const ReceiptFields& r : receipts) text += Hex(Key(r)) + "\r\n";
  return ended ? text + "END " + std::to_string(receipts.size()) + "\r\n" : text;
}

class RecoveryTest : public testing::GenerationTest {
 protected:
  // The marker a group commits for its file.
  static void Mark(const std::string& name, const std::string& bytes) {
    ASSERT_EQ(WriteMarker({name, util::Sha256Hex(bytes)}), 0) << name;
  }
  static bool Marked(const std::string& name) {
    Marker m;
    int16_t status = 0;
    return FindMarker(name, &m, &status);
  }
};

TEST_F(RecoveryTest, CommittedFilesArePutInPlaceAndTheOthersRemoved) {
  const ReceiptFields gone1 = Receipt(1), gone2 = Receipt(2), waiting = Receipt(3), gone3 = Receipt(4);
  Add(waiting);
  dir_.MakeDir("root/CSB");
  struct Leftover {
    std::string base;
    std::string file;
    std::string journal;  // "-": none
  };
  const std::vector<Leftover> leftovers = {
      {"COMMITED", WholeFileOf(2), JournalOf({gone1, gone2})},
      {"NOTCOMMI", WholeFileOf(1), JournalOf({waiting})},
      {"SOMEWAIT", WholeFileOf(2), JournalOf({gone3, waiting})},
      {"UNENDED1", WholeFileOf(1), JournalOf({gone3}, false)},
      {"COUNTOFF", WholeFileOf(2), JournalOf({gone3})},
      {"TORNFILE", WholeFileOf(1).substr(0, 3000), JournalOf({gone3})},
      {"NOJOURNL", WholeFileOf(1), "-"},
      {"LIVEFILE", WholeFileOf(1), JournalOf({gone3})},
      {"TAKENAME", WholeFileOf(1), JournalOf({gone3})},
  };
  for (const Leftover& l : leftovers) {
    Put(Csb(l.base + ".E19.tmp"), l.file);
    if (l.journal != "-") Put(Csb(l.base + ".E19.key"), l.journal);
  }
  for (const char* committed : {"COMMITED", "LIVEFILE", "TAKENAME"}) {
    Mark(std::string(committed) + ".E19", Get(Csb(std::string(committed) + ".E19.tmp")));
  }
  Put(Csb("ORPHAN00.E19.key"), JournalOf({gone1}));
  Put(Csb("TAKENAME.E19"), "another file of that name");
  // A generation in progress in another process holds its file.
  platform::fs::File live;
  ASSERT_EQ(live.Open(Host(Csb("LIVEFILE.E19.tmp")), platform::fs::File::kReadWrite, true), 0);

  const GenerationReport result = Recover();

  EXPECT_EQ(result.files, (std::vector<std::string>{OutputPath("COMMITED.E19"), OutputPath("AAAAAAA1.E19")}));
  EXPECT_EQ(result.receipts, 3);
  // Some receipts of SOMEWAIT are gone, some not: no group's commit, and
  // no marker either; it is set aside, never removed.
  EXPECT_EQ(OutputNames(), (std::set<std::string>{"COMMITED.E19", "AAAAAAA1.E19", "TAKENAME.E19",
                                                  "LIVEFILE.E19.tmp", "LIVEFILE.E19.key",
                                                  "SOMEWAIT.E19.bad", "SOMEWAIT.E19.bad.key"}));
  EXPECT_EQ(result.set_aside, std::vector<std::string>{OutputPath("SOMEWAIT.E19.bad")});
  EXPECT_FALSE(Marked("COMMITED.E19"));
  EXPECT_FALSE(Marked("TAKENAME.E19"));
  EXPECT_TRUE(Marked("LIVEFILE.E19"));
  EXPECT_EQ(Get(Csb("COMMITED.E19")), WholeFileOf(2));
  EXPECT_EQ(Get(Csb("TAKENAME.E19")), "another file of that name");
  EXPECT_TRUE(Waiting(waiting));
  const std::string list = env::session.WorkDir + "QXCONVRT.INI";
  EXPECT_EQ(env::ReadIniValue(list, "Convertir", "Tornar"), "MENU");
  EXPECT_EQ(env::ReadIniValue(list, "Convertir", "Maxim"), " 2");
  EXPECT_EQ(env::ReadIniValue(list, "Convertir", "Fitx1"), OutputPath("COMMITED.E19"));
  EXPECT_EQ(result.messages.size(), 3u);

  // Once its process is gone, the live file is settled too.
  live.Close();
  EXPECT_EQ(Recover().files.size(), 1u);
  EXPECT_EQ(env::ReadIniValue(list, "Convertir", "Maxim"), " 3");
}

// Every combination a leftover can be found in, and what becomes of it.
TEST(DecideLeftover, OnlyWhatThisProgramCommittedIsAdopted) {
  using A = LeftoverAction;
  using P = Presence;
  struct Case {
    bool marked, whole, digest;
    P receipts;
    A action;
  };
  const Case cases[] = {
      // No marker: never committed by this program.
      {false, false, false, P::kAll, A::kDiscard},      // a group cut short before its seal
      {false, true, false, P::kAll, A::kDiscard},       // sealed, not committed
      {false, true, false, P::kNone, A::kSetAside},     // made-up or foreign keys: forged
      {false, true, false, P::kSome, A::kSetAside},
      {false, true, false, P::kUnknown, A::kLeave},
      // A marker, and the file's bytes are the ones marked.
      {true, true, true, P::kNone, A::kAdopt},
      {true, true, true, P::kAll, A::kDiscardMarked},   // the marker committed, the deletion not
      {true, true, true, P::kSome, A::kSetAside},
      {true, true, true, P::kUnknown, A::kLeave},
      // A marker, but other bytes under its name.
      {true, true, false, P::kNone, A::kSetAside},
      {true, true, false, P::kAll, A::kSetAside},
      {true, false, false, P::kNone, A::kSetAside},
  };
  for (const Case& c : cases) {
    LeftoverFacts facts;
    facts.marked = c.marked;
    facts.whole = c.whole;
    facts.digest = c.digest;
    facts.receipts = c.receipts;
    EXPECT_EQ(DecideLeftover(facts), c.action)
        << "marked " << c.marked << " whole " << c.whole << " digest " << c.digest << " receipts "
        << static_cast<int>(c.receipts);
  }
}

// A whole file with a journal of keys TrasBanc never held looks committed
// to the receipts alone: without its marker it is set aside, told, and
// never listed; a marked file whose bytes were changed is set aside too,
// and a stale marker goes with its group's debris.
TEST_F(RecoveryTest, AForgedOrChangedLeftoverIsSetAsideNeverListed) {
  const ReceiptFields waiting = Receipt(7);
  Add(waiting);
  dir_.MakeDir("root/CSB");
  Put(Csb("FORGED00.E19.tmp"), WholeFileOf(2));
  Put(Csb("FORGED00.E19.key"), JournalOf({Receipt(90), Receipt(91)}));
  Put(Csb("CHANGED0.E19.tmp"), WholeFileOf(1));
  Put(Csb("CHANGED0.E19.key"), JournalOf({Receipt(92)}));
  Mark("CHANGED0.E19", WholeFileOf(1).replace(700, 1, "9"));
  Put(Csb("STALE000.E19.tmp"), WholeFileOf(1));
  Put(Csb("STALE000.E19.key"), JournalOf({waiting}));
  Mark("STALE000.E19", WholeFileOf(1));

  const GenerationReport result = Recover();

  EXPECT_TRUE(result.files.empty());
  EXPECT_EQ(result.set_aside, (std::vector<std::string>{OutputPath("CHANGED0.E19.bad"),
                                                        OutputPath("FORGED00.E19.bad")}));
  EXPECT_EQ(OutputNames(), (std::set<std::string>{"CHANGED0.E19.bad", "CHANGED0.E19.bad.key",
                                                  "FORGED00.E19.bad", "FORGED00.E19.bad.key"}));
  EXPECT_EQ(Get(Csb("FORGED00.E19.bad")), WholeFileOf(2));
  EXPECT_EQ(result.messages,
            (std::vector<std::string>{"FITXER APARTAT, NO S'ENVIA AL BANC: " + OutputPath("CHANGED0.E19.bad"),
                                      "FITXER APARTAT, NO S'ENVIA AL BANC: " + OutputPath("FORGED00.E19.bad")}));
  EXPECT_TRUE(Waiting(waiting));
  EXPECT_FALSE(Marked("STALE000.E19"));
  EXPECT_FALSE(Marked("CHANGED0.E19"));
  EXPECT_EQ(env::ReadIniValue(env::session.WorkDir + "QXCONVRT.INI", "Convertir", "Maxim"), "");
}

// Another workstation's files are its own, committed or not, whole or cut
// short, in place but not yet listed: left as they are, their markers kept. This host's, and those of
// journals that name no writer, are settled as ever.
TEST_F(RecoveryTest, AnotherWorkstationsFilesAreLeftToIt) {
  const ReceiptFields waiting = Receipt(7);
  Add(waiting);
  dir_.MakeDir("root/CSB");
  const std::string other = JournalWriter("HOSTB");
  Put(Csb("THEIRS00.E19.tmp"), WholeFileOf(1));
  Put(Csb("THEIRS00.E19.key"), other + JournalOf({Receipt(90)}));
  Mark("THEIRS00.E19", WholeFileOf(1));
  Put(Csb("THEIRS01.E19.tmp"), WholeFileOf(1).substr(0, 602));
  Put(Csb("THEIRS01.E19.key"), other + JournalOf({waiting}, false));
  Put(Csb("THEIRS02.E19"), WholeFileOf(2));  // in place, not yet listed
  Put(Csb("THEIRS02.E19.key"), other + JournalOf({Receipt(92), Receipt(93)}));
  Mark("THEIRS02.E19", WholeFileOf(2));
  Put(Csb("MINE0000.E19.tmp"), WholeFileOf(1));
  Put(Csb("MINE0000.E19.key"), JournalWriter(files::ThisStation()) + JournalOf({Receipt(91)}));
  Mark("MINE0000.E19", WholeFileOf(1));
  Put(Csb("OLDER000.E19.tmp"), WholeFileOf(1));
  Put(Csb("OLDER000.E19.key"), JournalOf({waiting}));

  const GenerationReport result = Recover();

  EXPECT_EQ(result.files, (std::vector<std::string>{OutputPath("MINE0000.E19")}));
  // Committed there and not yet listed: told, so that a workstation that
  // never comes back leaves no collection unnoticed; its debris is not.
  std::set<std::string> told(result.messages.begin(), result.messages.end());
  EXPECT_EQ(told, (std::set<std::string>{"GENERAT FITXER " + OutputPath("MINE0000.E19"),
                                         util::Cp850("FITXER QUE HA DE LLISTAR L'ESTACIÓ HOSTB: ") +
                                             OutputPath("THEIRS00.E19.tmp"),
                                         util::Cp850("FITXER QUE HA DE LLISTAR L'ESTACIÓ HOSTB: ") +
                                             OutputPath("THEIRS02.E19")}));
  EXPECT_EQ(OutputNames(), (std::set<std::string>{"MINE0000.E19", "THEIRS00.E19.tmp", "THEIRS00.E19.key",
                                                  "THEIRS01.E19.tmp", "THEIRS01.E19.key", "THEIRS02.E19",
                                                  "THEIRS02.E19.key"}));
  EXPECT_TRUE(Marked("THEIRS00.E19"));
  EXPECT_TRUE(Marked("THEIRS02.E19"));
  EXPECT_FALSE(Marked("MINE0000.E19"));
  EXPECT_TRUE(Waiting(waiting));
}

// A committed file put under its own name by a process that died before
// listing it is listed, once; one whose bytes changed, or that is gone, is
// told by name and not listed.
TEST_F(RecoveryTest, CommittedFilesTheWorkListLacksAreListed) {
  dir_.MakeDir("root/CSB");
  Put(Csb("UNLISTED.E19"), WholeFileOf(3));
  Mark("UNLISTED.E19", WholeFileOf(3));
  Put(Csb("ALTERED0.E19"), WholeFileOf(1));
  Mark("ALTERED0.E19", WholeFileOf(2));
  Mark("VANISHED.E19", WholeFileOf(1));
  Put(Csb("HELDFILE.E19"), WholeFileOf(1));
  Mark("HELDFILE.E19", WholeFileOf(1));
  Put(Csb("HELDFILE.E19.key"), JournalWriter(files::ThisStation()) + JournalOf({Receipt(95)}));
  // Its process is still on its way to listing it.
  platform::fs::File held;
  ASSERT_EQ(held.Open(Host(Csb("HELDFILE.E19")), platform::fs::File::kReadWrite, true), 0);

  const GenerationReport result = Recover();

  EXPECT_EQ(result.files, std::vector<std::string>{OutputPath("UNLISTED.E19")});
  EXPECT_EQ(result.receipts, 3);
  EXPECT_EQ(result.messages,
            (std::vector<std::string>{"EL FITXER GENERAT HA CANVIAT, NO ES CONVERTEIX: " + OutputPath("ALTERED0.E19"),
                                      "GENERAT FITXER " + OutputPath("UNLISTED.E19"),
                                      "NO ES TROBA EL FITXER GENERAT: " + OutputPath("VANISHED.E19")}));
  const std::string list = env::session.WorkDir + "QXCONVRT.INI";
  EXPECT_EQ(env::ReadIniValue(list, "Convertir", "Maxim"), " 1");
  EXPECT_EQ(env::ReadIniValue(list, "Convertir", "Fitx1"), OutputPath("UNLISTED.E19"));
  EXPECT_TRUE(Marked("HELDFILE.E19"));
  // While its marker stays, so does its journal: it keeps another
  // workstation from listing the file too.
  EXPECT_TRUE(OutputNames().count("HELDFILE.E19.key"));
  for (const char* name : {"UNLISTED.E19", "ALTERED0.E19", "VANISHED.E19"}) EXPECT_FALSE(Marked(name)) << name;
  // Settled once: the next start-up says nothing more.
  EXPECT_TRUE(Recover().messages.empty());
}

TEST_F(RecoveryTest, NothingIsTouchedWithoutTrasBanc) {
  int16_t status = 0;
  db::CloseAllRecordFiles(status);
  dir_.MakeDir("root/CSB");
  Put(Csb("COMMITED.E19.tmp"), WholeFileOf(1));
  Put(Csb("COMMITED.E19.key"), JournalOf({Receipt(1)}));
  EXPECT_TRUE(Recover().files.empty());
  EXPECT_EQ(OutputNames(), (std::set<std::string>{"COMMITED.E19.tmp", "COMMITED.E19.key"}));
}

TEST(Journal, OnlyFinishedJournalsAndWholeFilesCount) {
  std::vector<std::string> keys;
  EXPECT_TRUE(ReadJournal(JournalLine("AB") + JournalLine(std::string("\x80\xff", 2)) + JournalEnd(2), &keys));
  EXPECT_EQ(keys, (std::vector<std::string>{"AB", std::string("\x80\xff", 2)}));
  std::string writer;
  EXPECT_TRUE(ReadJournal(JournalWriter("PC 1") + JournalLine("AB") + JournalEnd(1), &keys, &writer));
  EXPECT_EQ(writer, "PC 1");
  EXPECT_EQ(keys, (std::vector<std::string>{"AB"}));
  EXPECT_FALSE(ReadJournal(JournalWriter("PC 1") + JournalLine("AB"), &keys, &writer));
  EXPECT_EQ(writer, "PC 1");  // a journal cut short still names its writer
  const std::vector<std::string> bad_journals = {"4142\r\n", "4142\r\nEND 2\r\n", "4142\r\nEND 1",
                                                "414\r\nEND 1\r\n", "41ZZ\r\nEND 1\r\n",
                                                "4142\r\nEND 1\r\nX", "4142\r\nEND \r\n", ""};
  for (const std::string& bad : bad_journals) {
    EXPECT_FALSE(ReadJournal(bad, &keys)) << bad;
  }
  int64_t debits = 0;
  EXPECT_TRUE(WholeFile(WholeFileOf(3), &debits));
  EXPECT_EQ(debits, 3);
  std::string no_line_end = WholeFileOf(1);
  no_line_end[602 + 600] = ' ';
  const std::vector<std::string> bad_files = {WholeFileOf(1).substr(0, 602 * 3), WholeFileOf(1) + "x",
                                             no_line_end, "02" + WholeFileOf(1).substr(2), ""};
  for (const std::string& bad : bad_files) {
    EXPECT_FALSE(WholeFile(bad, &debits));
  }
}

}  // namespace
}  // namespace remit
