#include "env/ini.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "env/ini_file.h"
#include "env/test_dir.h"
#include "platform/fs/files.h"
#include "tests/support/reset.h"
#include "util/cp850.h"

namespace env {
namespace {

using testing::TestDir;

class IniTest : public qdeb::testing::FreshStateTest {
 protected:
  std::string Read(const std::string& name, const std::string& section, const std::string& key) {
    return ReadIniValue(dir_.File(name), section, key);
  }
  TestDir dir_;
};

TEST_F(IniTest, ValuesKeepTheirBlanksAndLoseEnclosingQuotes) {
  dir_.Put("a.ini",
           "[Menu]\r\n"
           "Titol = Hola ; comment\r\n"
           "Dir=\"C:\\X\"\r\n"
           "One=\"\r\n"
           "Spaced= \"quoted\"\r\n"
           "Empty=\r\n"
           "Semi=\"a;b\"\r\n"
           "  Indented  =x=y\r\n");
  EXPECT_EQ(Read("a.ini", "Menu", "Titol"), " Hola ");
  EXPECT_EQ(Read("a.ini", "Menu", "Dir"), "C:\\X");
  EXPECT_EQ(Read("a.ini", "Menu", "One"), "\"");
  EXPECT_EQ(Read("a.ini", "Menu", "Spaced"), " \"quoted\"");
  EXPECT_EQ(Read("a.ini", "Menu", "Empty"), "");
  EXPECT_EQ(Read("a.ini", "Menu", "Semi"), "\"a");  // the comment starts inside the quotes
  EXPECT_EQ(Read("a.ini", "Menu", " indented "), "x=y");
  EXPECT_EQ(Read("a.ini", "Menu", "Missing"), "");
}

TEST_F(IniTest, NamesCompareWithTheStandardUpperCasing) {
  dir_.Put("lower.ini", "[menu]\r\nk=1\r\n");
  dir_.Put("blanks.ini", "[ MENU ]\r\nk=2\r\n");
  dir_.Put("accent.ini", util::Cp850("[Menú]\r\nk=3\r\n[Añ]\r\nk=4\r\n"));
  EXPECT_EQ(Read("lower.ini", "Menu", "K"), "1");
  EXPECT_EQ(Read("blanks.ini", "Menu", "k"), "2");
  EXPECT_EQ(Read("accent.ini", util::Cp850("MENÚ"), "k"), "");
  EXPECT_EQ(Read("accent.ini", util::Cp850("Menú"), "k"), "3");
  EXPECT_EQ(Read("accent.ini", util::Cp850("AÑ"), "k"), "4");
  // A tab is not a blank: the name keeps it.
  dir_.Put("tab.ini", "[S]\r\n\tk=5\r\n");
  EXPECT_EQ(Read("tab.ini", "S", "k"), "");
}

TEST_F(IniTest, FirstSectionAndFirstEntryWin) {
  dir_.Put("a.ini",
           "k=outside\r\n"
           "[One]\r\n"
           "; k=commented\r\n"
           "no equals here\r\n"
           "k=first\r\n"
           "k=second\r\n"
           "[Two]\r\n"
           "k=two\r\n"
           "[One]\r\n"
           "late=yes\r\n");
  EXPECT_EQ(Read("a.ini", "One", "k"), "first");
  EXPECT_EQ(Read("a.ini", "Two", "k"), "two");
  EXPECT_EQ(Read("a.ini", "One", "late"), "");  // the second [One] is not looked at
}

TEST_F(IniTest, UnreadableOrOddFilesReadEmpty) {
  EXPECT_EQ(Read("missing.ini", "S", "k"), "");
  dir_.MakeDir("adir.ini");
  EXPECT_EQ(Read("adir.ini", "S", "k"), "");
  EXPECT_EQ(ReadIniValue("", "S", "k"), "");
  EXPECT_EQ(ReadIniValue("/dev/zero", "S", "k"), "");  // never ends

  dir_.Put("lf.ini", "[S]\nk=lf\n");
  dir_.Put("cr.ini", "[S]\rk=cr\r");
  dir_.Put("noend.ini", "[S]\r\nk=last");
  dir_.Put("nul.ini", std::string("[S]\r\nk=a\0b\r\n", 13));
  dir_.Put("quote.ini", "[S]\r\nk=\"open\r\n");
  EXPECT_EQ(Read("lf.ini", "S", "k"), "lf");
  EXPECT_EQ(Read("cr.ini", "S", "k"), "cr");
  EXPECT_EQ(Read("noend.ini", "S", "k"), "last");
  EXPECT_EQ(Read("nul.ini", "S", "k"), std::string("a\0b", 3));
  EXPECT_EQ(Read("quote.ini", "S", "k"), "\"open");

  std::string long_value(1 << 20, 'x');
  dir_.Put("long.ini", "[S]\r\n" + std::string(1 << 20, 'y') + "\r\nk=" + long_value + "\r\n");
  EXPECT_EQ(Read("long.ini", "S", "k"), long_value);
}

TEST_F(IniTest, ProgramPathsUseBackslashesAndFindNamesWhateverTheirCase) {
  dir_.Put("Vela.ini", "[Usuari]\r\nIdioma=SPA\r\n");
  EXPECT_EQ(ReadIniValue(testing::DosPath(dir_.Dir()) + "VELA.INI", "usuari", "IDIOMA"), "SPA");
}

// A snapshot reads the file once: it answers as ReadIniValue did when it was
// taken, also after the file changes or goes, and a missing file answers
// empty values.
TEST_F(IniTest, SnapshotAnswersFromTheFileAsItWasRead) {
  dir_.Put("s.ini", "[Menu]\r\nTitol = \"Hola\" ; c\r\n[Sistema]\r\nData=01012025\r\n");
  const IniSnapshot snapshot(dir_.File("s.ini"));
  const IniSnapshot missing(dir_.File("none.ini"));
  EXPECT_EQ(snapshot.Value("menu", "TITOL"), Read("s.ini", "menu", "TITOL"));
  dir_.Put("s.ini", "[Sistema]\r\nData=31122030\r\n");
  EXPECT_EQ(snapshot.Value("Sistema", "Data"), "01012025");
  EXPECT_EQ(Read("s.ini", "Sistema", "Data"), "31122030");
  std::filesystem::remove(dir_.File("s.ini"));
  EXPECT_EQ(snapshot.Value("Menu", "Titol"), " \"Hola\" ");
  EXPECT_EQ(snapshot.Value("Menu", "Missing"), "");
  EXPECT_EQ(missing.Value("Menu", "Titol"), "");
}

class IniWriteTest : public IniTest {
 protected:
  std::string Write(const std::string& before, const std::string& section,
                    const std::string& key, const std::string& value) {
    dir_.Put("w.ini", before);
    EXPECT_TRUE(WriteIniValue(dir_.File("w.ini"), section, key, value).ok());
    EXPECT_EQ(dir_.TempFiles(), 0);
    return dir_.Get("w.ini");
  }
};

TEST_F(IniWriteTest, ReplacesEveryEntryOfTheKeyInItsSection) {
  EXPECT_EQ(Write("[A]\r\n  Key = old ; note\r\nkey=again\r\nOther=1\r\n[B]\r\nkey=b\r\n",
                  "a", "KEY", "new"),
            "[A]\r\n  Key =new\r\nkey=new\r\nOther=1\r\n[B]\r\nkey=b\r\n");
  // Also in a later section of the same name, whether right after it or not.
  EXPECT_EQ(Write("[A]\r\nk=1\r\n[A]\r\nk=2\r\n[B]\r\n[A]\r\nk=3\r\n", "A", "k", "9"),
            "[A]\r\nk=9\r\n[A]\r\nk=9\r\n[B]\r\n[A]\r\nk=9\r\n");
}

TEST_F(IniWriteTest, NewEntryLandsAfterTheSectionsLastContentLine) {
  EXPECT_EQ(Write("[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\ny=2\r\n", "A", "k", "v"),
            "[A]\r\nx=1\r\nk=v\r\n\r\n; about B\r\n[B]\r\ny=2\r\n");
  // A new section goes at the end, ahead of the trailing blank lines.
  EXPECT_EQ(Write("[A]\r\nx=1\r\n\r\n;end\r\n", "New", "k", "v"),
            "[A]\r\nx=1\r\n[New]\r\nk=v\r\n\r\n;end\r\n");
  // The last section of the file gets the entry before its trailing blanks.
  EXPECT_EQ(Write("[A]\r\nx=1\r\n\r\n", "a", "k", "v"), "[A]\r\nx=1\r\nk=v\r\n\r\n");
}

TEST_F(IniWriteTest, RewrittenFileKeepsItsPermissions) {
  namespace fs = std::filesystem;
  dir_.Put("secret.ini", "[Ftp]\r\nPassword=x\r\n");
  fs::permissions(dir_.File("secret.ini"), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(WriteIniValue(dir_.File("secret.ini"), "Ftp", "User", "u").ok());
  EXPECT_EQ(dir_.Get("secret.ini"), "[Ftp]\r\nPassword=x\r\nUser=u\r\n");
  EXPECT_EQ(fs::status(dir_.File("secret.ini")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(IniWriteTest, MissingFileIsCreatedWithHeaderAndEntry) {
  EXPECT_TRUE(WriteIniValue(dir_.File("new.ini"), "Menu", "Titol", "Hola").ok());
  EXPECT_EQ(dir_.Get("new.ini"), "[Menu]\r\nTitol=Hola\r\n");
  EXPECT_EQ(Read("new.ini", "menu", "titol"), "Hola");
  EXPECT_EQ(dir_.TempFiles(), 0);
}

TEST_F(IniWriteTest, EmptyValueKeyOrSectionRemoves) {
  const std::string file = "; top\r\n[A]\r\nk=1\r\nnote line\r\nj=2\r\n\r\n[B]\r\nk=3\r\n";
  EXPECT_EQ(Write(file, "A", "k", ""),
            "; top\r\n[A]\r\nnote line\r\nj=2\r\n\r\n[B]\r\nk=3\r\n");
  EXPECT_EQ(Write(file, "A", "", "ignored"), "; top\r\nnote line\r\n\r\n[B]\r\nk=3\r\n");
  EXPECT_EQ(Write(file, "", "k", "v"), "; top\r\n\r\n");
  // Nothing to remove: nothing is added either.
  EXPECT_EQ(Write(file, "A", "absent", ""), file);
  EXPECT_EQ(Write(file, "Absent", "k", ""), file);
}

TEST_F(IniWriteTest, AnyLineEndsComeOutAsCrLf) {
  EXPECT_EQ(Write("[A]\nk=1\n\n[B]\rx=2", "B", "y", "3"),
            "[A]\r\nk=1\r\n\r\n[B]\r\nx=2\r\ny=3\r\n");
  EXPECT_EQ(Write(std::string("[A]\r\nn=\0\r\n", 9), "A", "k", "v"),
            std::string("[A]\r\nn=\0\r\nk=v\r\n", 15));
}

// Whatever the file holds, every line comes through byte for byte (only its
// line end becomes CR LF) and the entry lands in its section.
TEST_F(IniWriteTest, OddFilesKeepEveryOtherLine) {
  const std::string huge(1 << 20, 'h');
  const std::string nul("n=\0x", 4);
  const std::string before = "[A]\r" + huge + "\nq=\"open\r\n" + nul + "\n;c\"\r\n\r[B]\ny=1";
  const std::string got = Write(before, "A", "k", "v");
  EXPECT_TRUE(got == "[A]\r\n" + huge + "\r\nq=\"open\r\n" + nul + "\r\nk=v\r\n;c\"\r\n\r\n" +
                         "[B]\r\ny=1\r\n");
  EXPECT_EQ(Read("w.ini", "A", "q"), "\"open");
  EXPECT_EQ(Read("w.ini", "A", "k"), "v");
  EXPECT_EQ(Read("w.ini", "B", "y"), "1");

  // A value of a megabyte goes in and comes back whole.
  EXPECT_TRUE(WriteIniValue(dir_.File("w.ini"), "B", "y", huge).ok());
  EXPECT_EQ(Read("w.ini", "B", "y"), huge);
  EXPECT_EQ(Read("w.ini", "A", "q"), "\"open");
  EXPECT_EQ(dir_.TempFiles(), 0);
}

TEST_F(IniWriteTest, ValuesCannotSplitTheFileIntoMoreLines) {
  EXPECT_EQ(Write("[A]\r\n", "A", "k", "one\r\n[Evil]\r\nx=1"), "[A]\r\nk=one\r\n");
}

// Positions past 32,767 bytes, and time that grows with the size only
// (measured in bench/ini_bench.cc).
TEST_F(IniWriteTest, LongFilesAreCopiedWhole) {
  std::string big = "[First]\r\n";
  for (int i = 0; i < 5000; ++i) big += "key" + std::to_string(i) + "=value\r\n\r\n";
  big += "; comment\r\n[Last]\r\nz=1\r\n";
  ASSERT_GT(big.size(), 70000u);
  std::string expected = big;
  expected.insert(expected.find("key4999=value\r\n") + 15, "new=v\r\n");
  std::string got = Write(big, "First", "new", "v");
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
  EXPECT_EQ(ReadIniValue(dir_.File("w.ini"), "Last", "z"), "1");
  EXPECT_EQ(ReadIniValue(dir_.File("w.ini"), "First", "key4999"), "value");
}

// A reader beside the writer always finds the whole file, old or new.
TEST_F(IniWriteTest, ReadersNeverFindTheFileMissingOrPartial) {
  dir_.Put("w.ini", "[A]\r\nkeep=1\r\nn=0\r\n");
  const std::string host = dir_.File("w.ini");
  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::atomic<int> bad{0};
  std::thread reader([&] {
    while (!done) {
      std::ifstream in(host, std::ios::binary);
      std::ostringstream text;
      text << in.rdbuf();
      if (text.str().rfind("[A]\r\nkeep=1\r\nn=", 0) != 0) ++bad;
      ++reads;
    }
  });
  for (int i = 1; i <= 30; ++i) EXPECT_TRUE(WriteIniValue(host, "A", "n", std::to_string(i)).ok());
  while (reads < 100) std::this_thread::yield();
  done = true;
  reader.join();
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(ReadIniValue(host, "A", "n"), "30");
}

TEST_F(IniWriteTest, FailuresLeaveTheTargetAsItWas) {
  // No such directory: nothing is created anywhere.
  // Each failure is said, with the path, never taken for a write.
  const Status missing_folder = WriteIniValue(dir_.File("nodir/x.ini"), "A", "k", "v");
  EXPECT_EQ(missing_folder.code(), Code::kNotFound);
  EXPECT_NE(missing_folder.Text().find("x.ini"), std::string::npos) << missing_folder.Text();
  EXPECT_FALSE(dir_.Exists("nodir"));
  // The target is a directory: it is neither read as empty nor replaced.
  dir_.MakeDir("d.ini");
  dir_.Put("d.ini/inside", "keep");
  const Status folder = WriteIniValue(dir_.File("d.ini"), "A", "k", "v");
  EXPECT_FALSE(folder.ok());
  EXPECT_NE(folder.Text().find("d.ini"), std::string::npos) << folder.Text();
  EXPECT_EQ(dir_.Get("d.ini/inside"), "keep");
  EXPECT_EQ(dir_.TempFiles(), 0);
}

TEST_F(IniWriteTest, TemporaryNamesAreRetriedABoundedNumberOfTimes) {
  // Every draw gives 12345678: the name is taken by a directory, so after
  // the bounded retries nothing is written.
  int next = 0;
  auto same = [&] { return 1 + (next++ % 8); };
  dir_.MakeDir("12345678.tmp");
  EXPECT_EQ(WriteTempFile(dir_.Dir(), "x", same), "");
  EXPECT_LT(next, 1000);
  EXPECT_EQ(dir_.TempFiles(), 1);

  // A taken name is drawn again: the second draw gives 91234567.
  next = 0;
  auto shifting = [&] { return 1 + (next++ % 9); };
  std::string made = WriteTempFile(dir_.Dir(), "content", shifting);
  EXPECT_EQ(made, dir_.File("91234567.tmp"));
  EXPECT_EQ(dir_.Get("91234567.tmp"), "content");
}

// Two terminals rewriting one file at once: each rewrite starts from the
// file the other left, so no change is lost.
TEST_F(IniWriteTest, TwoProcessesRewritingOneFileKeepEveryChange) {
  constexpr int kWrites = 60;
  const std::string host = dir_.File("w.ini");
  dir_.Put("w.ini", "[Both]\r\nkeep=1\r\n");
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  auto write_all = [&](const std::string& section) {
    for (int i = 0; i < kWrites; ++i) {
      EXPECT_TRUE(WriteIniValue(host, section, "k" + std::to_string(i), "v").ok());
    }
  };
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char byte = 0;
    close(go[1]);
    _exit(read(go[0], &byte, 1) == 1 ? (write_all("Child"), 0) : 1);
  }
  close(go[0]);
  ASSERT_EQ(write(go[1], "g", 1), 1);  // both start together
  close(go[1]);
  write_all("Parent");
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  int lost = 0;
  for (int i = 0; i < kWrites; ++i) {
    for (const char* section : {"Child", "Parent"}) {
      if (Read("w.ini", section, "k" + std::to_string(i)) != "v") ++lost;
    }
  }
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(Read("w.ini", "Both", "keep"), "1");
  EXPECT_EQ(dir_.TempFiles(), 0);
}

// A writer killed between writing its copy and putting it in place leaves
// its temporary file: the next writer of that file removes it, but not one
// a live writer still holds, nor those of other files.
TEST_F(IniWriteTest, TemporaryFilesOfAKilledWriterGoWithTheNextWrite) {
  dir_.Put("w.ini", "[A]\r\nk=1\r\n");
  dir_.Put("w.ini.12345678.tmp", std::string(1 << 20, 'x'));
  dir_.Put("W.INI.87654321.TMP", "x");
  dir_.Put("w.ini.11111111.tmp", "live");
  platform::fs::File live;
  ASSERT_EQ(live.Open(dir_.File("w.ini.11111111.tmp"), platform::fs::File::kReadWrite, true), 0);
  for (const char* other : {"other.ini.12345678.tmp", "12345678.tmp", "w.ini.1234.tmp", "w.ini.1234567x.tmp"}) {
    dir_.Put(other, "x");
  }
  EXPECT_TRUE(WriteIniValue(dir_.File("w.ini"), "A", "k", "2").ok());
  EXPECT_EQ(Read("w.ini", "A", "k"), "2");
  EXPECT_FALSE(dir_.Exists("w.ini.12345678.tmp"));
  EXPECT_FALSE(dir_.Exists("W.INI.87654321.TMP"));
  EXPECT_EQ(dir_.Get("w.ini.11111111.tmp"), "live");
  EXPECT_EQ(dir_.TempFiles(), 5);
}

TEST(IniLines, SplitAtEveryKindOfLineEnd) {
  std::string_view rest = "a\r\nb\nc\rd\r\r\ne";
  std::string_view line;
  std::string seen;
  while (NextLine(&rest, &line)) seen += "[" + std::string(line) + "]";
  EXPECT_EQ(seen, "[a][b][c][d][][e]");
}

}  // namespace
}  // namespace env
