// The catalogue of drives, directories and remittance files read back from
// USort in key order, over real directories of Cuaderno 19.14 and SEPA XML
// files, good and bad.
#include "remit/catalogue.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "db/records.h"
#include "env/language.h"
#include "env/session.h"
#include "files/listing.h"
#include "remit/c19_records.h"
#include "remit/remittance_summary.h"
#include "remit/test_helpers/recording_operator.h"
#include "tests/support/reset.h"
#include "tests/support/scoped.h"
#include "tests/support/scratch_dir.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace remit {
namespace {

using qdeb::testing::ReadHostFile;

// A Cuaderno 19.14 file as the generation writes it: 01, 02, the 03s and the
// 99, each record followed by line_end.
std::string C19File(const std::string& date, const std::vector<int64_t>& amounts,
                    const std::string& line_end = "\r\n") {
  PresenterHeader presenter{"ES12000B12345678", "OFICINA", "20240110", "12345678901", '4', "2100", "0418"};
  std::string file = Record01(presenter) + line_end;
  file += Record02({"ES12000B12345678", date, "OFICINA", "ES9121000418450200051332"}) + line_end;
  int64_t total = 0;
  for (size_t i = 0; i < amounts.size(); ++i) {
    Debit debit;
    debit.reference = "REF" + std::to_string(i);
    debit.mandate = std::to_string(i);
    debit.amount = amounts[i];
    debit.debtor_name = "DEUTOR";
    debit.debtor_iban = "ES7921000813610123456789";
    file += Record03(debit) + line_end;
    total += amounts[i];
  }
  const int64_t records = static_cast<int64_t>(amounts.size()) + 3;
  return file + Record99(total, static_cast<int64_t>(amounts.size()), records) + line_end;
}

struct Listed {
  std::string key;
  std::string line;
};

class CatalogueTest : public qdeb::testing::FreshStateTest {
 protected:
  // The record layer's db.log goes to the working directory: the scratch one.
  CatalogueTest() : dir_("qdeb_catalogue"), cwd_(dir_.path()) {}
  ~CatalogueTest() override { qdeb::testing::ResetAllState(); }

  void SetUp() override {
    dir_.Put("root/ddf/USort.xdf", ReadHostFile(std::string(QDEB_SOURCE_DIR) + "/install/ddf/USort.xdf"));
    dir_.MakeDir("work");
    dir_.MakeDir("files");
    env::session.RootDir = dir_.Dos("root") + "\\";
    env::session.WorkDir = dir_.Dos("work") + "\\";
    env::session.LanguageCode = "CAT";
    // The installation's display forms: dates as 1/3/2024, amounts as
    // 1.234'56.
    env::session.DateSeparator = "/";
    env::session.DateOrder = "DMA";
    int16_t status = -1;
    db::OpenRecordFile(kCatalogueFile, env::session.WorkDir + "USort", &record_, status);
    ASSERT_EQ(status, 0);
  }

  // Every record of USort, in key order.
  std::vector<Listed> Catalogue() const {
    std::vector<Listed> all;
    int16_t status = 0;
    db::GetByKey(kCatalogueFile, 0, "", 1, status);
    while (status == 0) {
      all.push_back({record_.substr(0, 80), record_.substr(80, 80)});
      db::MoveRecords(kCatalogueFile, 1, status);
    }
    return all;
  }
  // The "F" records of the scratch directory "files".
  std::vector<Listed> FilesListed() {
    report_ = CatalogueRemittanceFiles({.directory = Directory()}, op_);
    EXPECT_TRUE(report_.status.ok()) << report_.status.Text();
    std::vector<Listed> files;
    for (const Listed& l : Catalogue()) {
      if (l.key[0] == 'F') files.push_back(l);
    }
    return files;
  }
  std::string Directory() const { return dir_.Dos("files") + "\\"; }
  std::string Key(const std::string& inverted_date, const std::string& name) const {
    std::string key = "F" + Directory() + inverted_date + name;
    key.resize(80, ' ');
    return key;
  }
  // The columns of a line: the name, the date, the total and the count.
  static std::string Line(const std::string& name, const std::string& date, const std::string& total,
                          const std::string& count) {
    std::string line = name;
    line.resize(13, ' ');
    line += date + std::string(11 - date.size(), ' ') + total + " " + count;
    line.resize(80, ' ');
    return line;
  }

  qdeb::testing::ScratchDir dir_;
  qdeb::testing::ScopedWorkingDirectory cwd_;
  std::string record_;
  CatalogueReport report_;
  testing::RecordingOperator op_;
};

TEST_F(CatalogueTest, C19FilesNewestFirstWithTheTotalsOfTheirLastRecord) {
  dir_.Put("files/MARCH.Q19", C19File("20240301", {1050, 2000}));
  dir_.Put("files/FEBRUARY.Q19", C19File("20240201", {725}));
  // Lines ended by LF alone, the last one without any line end.
  std::string lf = C19File("20231231", {100, 200, 300}, "\n");
  lf.pop_back();
  dir_.Put("files/UNIX.Q19", lf);
  const std::vector<Listed> files = FilesListed();
  // The window's row shows the first 12 characters of the line handled last.
  EXPECT_EQ(op_.last_progress, "UNIX.Q19    ");
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].key, Key("79759698", "MARCH.Q19"));
  EXPECT_EQ(files[0].line, Line("MARCH.Q19", "1/3/2024", "        30'50", "            2"));
  EXPECT_EQ(files[1].key, Key("79759798", "FEBRUARY.Q19"));
  EXPECT_EQ(files[1].line, Line("FEBRUARY.Q19", "1/2/2024", "         7'25", "            1"));
  EXPECT_EQ(files[2].line, Line("UNIX.Q19", "31/12/2023", "         6'00", "            3"));
  EXPECT_EQ(report_.added, 3);
  EXPECT_FALSE(dir_.Exists("work/DIR.TMP"));
}

// A C19 file whose figures the 99 record at its end gives: a three-record
// file takes them from its third record.
TEST_F(CatalogueTest, ThreeRecordFileTakesItsTotalsFromTheThird) {
  PresenterHeader presenter{"ES12000B12345678", "OFICINA", "20240110", "12345678901", '4', "2100", "0418"};
  dir_.Put("files/T.Q19", Record01(presenter) + "\r\n" +
                              Record02({"ES12000B12345678", "20240301", "OFICINA", "ES9121000418450200051332"}) +
                              "\r\n" + Record99(123456, 7, 3) + "\r\n");
  const std::vector<Listed> files = FilesListed();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].line, Line("T.Q19", "1/3/2024", "     1.234'56", "            7"));
}

TEST_F(CatalogueTest, BadFilesAreSkippedWithoutHarm) {
  const std::string good = C19File("20240301", {100});
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary += static_cast<char>((i * 7919) % 256);
  dir_.Put("files/EMPTY.Q19", "");
  dir_.Put("files/ONE.Q19", good.substr(0, 602));
  dir_.Put("files/ONELF.Q19", good.substr(0, 600) + "\n");
  dir_.Put("files/BINARY.DAT", binary);
  dir_.Put("files/GARBAGE.Q19", "0119143001" + binary);
  dir_.Put("files/CUT.Q19", good.substr(0, 3 * 602));  // no 99 at its end
  dir_.Put("files/NOTE.TXT", std::string(2000, 'x'));
  dir_.Put("files/CT.XML", ReadHostFile(std::string(QDEB_SOURCE_DIR) + "/remit/testdata/pain_001_credit_transfer.xml"));
  const std::string sepa = ReadHostFile(std::string(QDEB_SOURCE_DIR) + "/remit/testdata/pain_008_001_02.xml");
  dir_.Put("files/HALF.XML", sepa.substr(0, sepa.size() / 2));
  dir_.Put("files/ENTITY.XML", "<?xml version=\"1.0\"?>\n<!DOCTYPE Document [<!ENTITY x SYSTEM \"file://" +
                                   dir_.Host("secret") + "\">]>\n<Document><CstmrDrctDbtInitn><GrpHdr>"
                                   "<NbOfTxs>1</NbOfTxs></GrpHdr><PmtInf><DrctDbtTxInf><InstdAmt>&x;</InstdAmt>"
                                   "</DrctDbtTxInf></PmtInf></CstmrDrctDbtInitn></Document>\n");
  dir_.Put("secret", "5.00");
  dir_.Put("files/LAUGHS.XML",
           "<?xml version=\"1.0\"?>\n<!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">"
           "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;\">]>\n<d><CstmrDrctDbtInitn>&c;</CstmrDrctDbtInitn></d>\n");
  dir_.MakeDir("files/SUBDIR.Q19");
  EXPECT_TRUE(FilesListed().empty());
  EXPECT_EQ(report_.added, 0);
  EXPECT_FALSE(dir_.Exists("work/DIR.TMP"));
}

// A file of gigabytes is read at its first records and its last one: the
// 99 is found at its true offset past 4 GB.
TEST_F(CatalogueTest, HugeFileIsReadAtItsEnds) {
  const std::string head = C19File("20240301", {100}).substr(0, 2 * 602);
  const int64_t records = 8'000'000;
  dir_.Put("files/HUGE.Q19", head);
  const int fd = open(dir_.Host("files/HUGE.Q19").c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const std::string last = Record99(987654321, 7999997, records) + "\r\n";
  ASSERT_EQ(pwrite(fd, last.data(), last.size(), (records - 1) * 602), static_cast<ssize_t>(last.size()));
  close(fd);
  const std::vector<Listed> files = FilesListed();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].line, Line("HUGE.Q19", "1/3/2024", " 9.876.543'21", "    7.999.997"));
}

// The message's own figures, read by the parser wherever they stand, and
// the transactions' figures where the header is silent or wrong.
TEST_F(CatalogueTest, SepaMessagesOfEveryVersion) {
  struct Case {
    const char* fixture;
    const char* inverted_date;
    std::string line;
  } cases[] = {
      // CtrlSum 7.25: 725 cents, the date of the first block of two.
      {"pain_008_001_02", "79759698", Line("A.XML", "1/3/2024", "         7'25", "            3")},
      // No CtrlSum: the sum over both blocks, not the first block's.
      {"pain_008_003_02", "79759798", Line("B.XML", "1/2/2024", "        30'50", "            3")},
      // Prefixed namespace, the date in ReqdColltnDt/Dt, an amount in CDATA.
      {"pain_008_001_08", "79749298", Line("C.XML", "1/7/2025", "       150'10", "            2")},
      // Declared five debits of 999.99; it holds two of 13.00 in all.
      {"pain_008_001_04_disagreeing", "79759497", Line("D.XML", "2/5/2024", "        13'00", "            2")},
      // A date that does not exist and an amount with a decimal comma: blank
      // columns, the key without a date sorting last.
      {"pain_008_garbage_numbers", "99999999", Line("E.XML", "", "             ", "            2")},
  };
  char name = 'A';
  for (const Case& c : cases) {
    dir_.Put(std::string("files/") + name++ + ".XML",
             ReadHostFile(std::string(QDEB_SOURCE_DIR) + "/remit/testdata/" + c.fixture + ".xml"));
  }
  std::vector<Listed> files = FilesListed();
  ASSERT_EQ(files.size(), std::size(cases));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    bool found = false;
    for (const Listed& l : files) {
      if (l.line != c.line) continue;
      found = true;
      EXPECT_EQ(l.key, Key(c.inverted_date, l.line.substr(0, 5)));
    }
    EXPECT_TRUE(found) << c.line;
  }
}

TEST_F(CatalogueTest, FullNamesArePickedBack) {
  const std::string c19 = C19File("20240301", {100});
  const std::vector<std::string> names = {
      "REMESA DE MARÇ - OFICINA 2.Q19", "REBUTS DE L'ASSOCIACIÓ.Q19", "NO-EXT", "A.B.C.Q19"};
  for (const std::string& name : names) dir_.Put("files/" + name, c19);
  // A name whose bytes are not UTF-8 on the disk.
  dir_.Put("files/BAD\xFF.Q19", c19);
  // Too long to stand whole in the key beside the directory.
  const std::string too_long(80, 'L');
  dir_.Put("files/" + too_long, c19);
  std::vector<std::string> picked;
  std::string long_line;
  for (const Listed& l : FilesListed()) {
    picked.push_back(CataloguedFileName(l.key + l.line));
    if (picked.back() == util::Cp850(names[0])) long_line = l.line;
  }
  // The line shows the name cut a blank before the date, and nothing of it
  // beyond.
  EXPECT_EQ(long_line.substr(0, 25), "REMESA DE MA 1/3/2024    ");
  std::vector<std::string> expected;
  for (const std::string& name : names) expected.push_back(util::Cp850(name));
  expected.push_back("BAD?.Q19");
  std::sort(expected.begin(), expected.end());
  std::sort(picked.begin(), picked.end());
  EXPECT_EQ(picked, expected);
  EXPECT_EQ(report_.unpickable, std::vector<std::string>{Directory() + too_long});
  // A picked name names the file it was read from.
  const std::string first = Directory() + picked.front();
  EXPECT_TRUE(files::FileExists(first)) << first;
  EXPECT_EQ(CataloguedFileName("D" + Directory()), "");
}

TEST_F(CatalogueTest, DirectoriesOnceEachThroughLinksAndDeepTrees) {
  dir_.MakeDir("tree/A/B");
  dir_.MakeDir("tree/C");
  dir_.Put("tree/A/FILE.TXT", "x");
  ASSERT_EQ(symlink(dir_.Host("tree").c_str(), dir_.Host("tree/A/B/UP").c_str()), 0);
  ASSERT_EQ(symlink(dir_.Host("tree/A").c_str(), dir_.Host("tree/C/SIDE").c_str()), 0);
  std::string deep = "tree/C";
  for (int i = 0; i < 60; ++i) deep += "/DD";
  dir_.MakeDir(deep);
  files::listings.ListAttributes = 0x21;
  const std::string top = dir_.Dos("tree") + "\\";
  const int32_t added = CatalogueDirectories({.directory = top}, op_).added;
  EXPECT_EQ(files::listings.ListAttributes, 0x21);
  std::vector<std::string> paths;
  for (const Listed& l : Catalogue()) {
    ASSERT_EQ(l.key[0], 'D');
    const std::string path(util::TrimRight(l.key.substr(1)));
    EXPECT_EQ(std::string(util::TrimRight(l.line)), path.substr(2));
    paths.push_back(path);
  }
  EXPECT_EQ(added, static_cast<int32_t>(paths.size()));
  // The tree, A and B, C (A through SIDE is A again), and C's DDs as deep as
  // a path fits in the key.
  ASSERT_GE(paths.size(), 5u);
  EXPECT_EQ(paths[0], top);
  EXPECT_EQ(paths[1], top + "A\\");
  EXPECT_EQ(paths[2], top + "A\\B\\");
  EXPECT_EQ(paths[3], top + "C\\");
  for (size_t i = 4; i < paths.size(); ++i) EXPECT_EQ(paths[i], paths[i - 1] + "DD\\");
  EXPECT_LE(paths.back().size(), 79u);
  EXPECT_GT(paths.back().size(), 76u);
  // A directory that is gone adds nothing.
  EXPECT_EQ(CatalogueDirectories({.directory = dir_.Dos("gone") + "\\"}, op_).added, 0);
}

// Root's power to read any folder, laid down while a test looks at a folder
// nobody may read, and taken up again (it stays among the permitted ones).
class WithoutReadingEverything {
 public:
  WithoutReadingEverything() {
    syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    syscall(SYS_capset, &header_, lowered);
  }
  ~WithoutReadingEverything() { syscall(SYS_capset, &header_, saved_); }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2] = {};
};

// The walk of a drive stays in the drive's folder: a link out of it (here
// to a folder beside it; /proc/self/root would bring the whole host) is
// not entered, one that stays inside is. A folder that cannot be read, or
// that is not there, is told with its path rather than shown empty.
TEST_F(CatalogueTest, TheWalkStaysInItsDriveAndTellsWhatItCannotRead) {
  dir_.MakeDir("d/REAL/SUB");
  dir_.MakeDir("d/.hidden/INNER");
  dir_.MakeDir("d/LOCKED/IN");
  dir_.MakeDir("outside/SECRET");
  ASSERT_EQ(symlink(dir_.Host("outside").c_str(), dir_.Host("d/ESCAPE").c_str()), 0);
  ASSERT_EQ(symlink(dir_.Host("d/.hidden").c_str(), dir_.Host("d/LINK").c_str()), 0);
  qdeb::testing::ScopedEnvironment drives("KITDRIVES", "C=/;D=" + dir_.Host("d"));
  ASSERT_EQ(chmod(dir_.Host("d/LOCKED").c_str(), 0), 0);
  CatalogueReport report;
  {
    WithoutReadingEverything as_an_operator;
    report = CatalogueDirectories({.directory = "D:\\"}, op_);
  }
  ASSERT_EQ(chmod(dir_.Host("d/LOCKED").c_str(), 0755), 0);
  std::vector<std::string> paths;
  for (const Listed& l : Catalogue()) paths.push_back(std::string(util::TrimRight(l.key.substr(1))));
  EXPECT_EQ(paths, (std::vector<std::string>{"D:\\", "D:\\LINK\\", "D:\\LINK\\INNER\\", "D:\\LOCKED\\",
                                             "D:\\REAL\\", "D:\\REAL\\SUB\\"}));
  EXPECT_EQ(report.failures,
            std::vector<std::string>{util::Cp850("NO ES POT LLEGIR LA CARPETA D:\\LOCKED: ACCÉS DENEGAT")});

  report = CatalogueRemittanceFiles({.directory = "D:\\NONE\\"}, op_);
  EXPECT_EQ(report.added, 0);
  EXPECT_EQ(report.failures,
            std::vector<std::string>{util::Cp850("NO ES POT LLEGIR LA CARPETA D:\\NONE: NO EXISTEIX")});
}

TEST_F(CatalogueTest, DrivesThatArePresent) {
  dir_.MakeDir("a");
  dir_.MakeDir("d");
  qdeb::testing::ScopedEnvironment drives("KITDRIVES", "C=/;A=" + dir_.Host("a") + ":removable;D=" + dir_.Host("d") +
                                                           ";E=" + dir_.Host("missing"));
  EXPECT_EQ(CatalogueDrives(op_).added, 3);
  const std::vector<Listed> all = Catalogue();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].key.substr(0, 4), "UA4 ");
  EXPECT_EQ(all[0].line.substr(0, 16), "A: 3.5\" 1.44MB  ");
  EXPECT_EQ(all[1].key.substr(0, 4), "UCH ");
  EXPECT_EQ(all[2].key.substr(0, 4), "UDH ");
  EXPECT_EQ(all[2].line.substr(0, 3), "D: ");
}

TEST(CatalogueAmounts, DecimalTextAsExactCents) {
  struct Case {
    const char* text;
    int64_t cents;  // -1: refused
  } cases[] = {{"7.25", 725}, {"0.1", 10}, {"100", 10000}, {"12.300", 1230}, {"0.29", 29},
               {"999999999999999.99", 99999999999999999}, {"1.005", -1}, {"12,50", -1}, {"-1.00", -1},
               {"1e3", -1}, {"", -1}, {".5", -1}, {"5.", -1}, {"1 000", -1}, {"1000000000000000", -1}};
  for (const Case& c : cases) {
    int64_t cents = -1;
    const bool parsed = summary_detail::ParseCents(c.text, &cents);
    EXPECT_EQ(parsed ? cents : -1, c.cents) << c.text;
  }
  EXPECT_EQ(summary_detail::IsoDateDigits("2024-02-29"), "20240229");
  EXPECT_EQ(summary_detail::IsoDateDigits("2023-02-29"), "");
  EXPECT_EQ(summary_detail::IsoDateDigits("2024-2-1"), "");
}

}  // namespace
}  // namespace remit
