#include "platform/fs/host.h"
#include "platform/fs/names.h"

#include <gtest/gtest.h>

#include "util/cp850.h"

namespace platform::fs {
namespace {

TEST(MatchesMaskTest, StarDotStarMatchesNamesWithAndWithoutExtension) {
  EXPECT_TRUE(MatchesMask("README", "*.*"));
  EXPECT_TRUE(MatchesMask("A.B.C", "*.*"));
  EXPECT_TRUE(MatchesMask(".label", "*.*"));
  EXPECT_TRUE(MatchesMask("X", "*"));
  EXPECT_FALSE(MatchesMask("X", ""));
}

TEST(MatchesMaskTest, CaseAndAccentsFoldAsTheStandardUpperCasing) {
  EXPECT_TRUE(MatchesMask("csb19001.q19", "CSB19*.*"));
  EXPECT_TRUE(MatchesMask("remesa.q19", "*.Q19"));
  EXPECT_FALSE(MatchesMask("remesa.q190", "*.Q19"));
  EXPECT_TRUE(MatchesMask(util::Cp850("añé.txt"), util::Cp850("AÑÉ.TXT")));
  // à has no capital in the standard upper-casing, so it only matches itself.
  EXPECT_FALSE(MatchesMask(util::Cp850("à.txt"), "A.TXT"));
}

TEST(MatchesMaskTest, QuestionMarksAndDots) {
  EXPECT_TRUE(MatchesMask("BACKUP.001", "BACKUP.???"));
  EXPECT_FALSE(MatchesMask("BACKUP.0011", "BACKUP.???"));
  EXPECT_TRUE(MatchesMask("AB.TXT", "AB??.TXT"));  // "?" pads up to the dot
  EXPECT_TRUE(MatchesMask("ABCD.TXT", "AB??.TXT"));
  EXPECT_FALSE(MatchesMask("ABCDE.TXT", "AB??.TXT"));
  EXPECT_TRUE(MatchesMask("BACKUP", "BACKUP.*"));
  EXPECT_TRUE(MatchesMask("BACKUP.001", "BACKUP.*"));
  EXPECT_TRUE(MatchesMask("BACKUP", "BACKUP."));
  EXPECT_FALSE(MatchesMask("BACKUP.001", "BACKUP."));
  EXPECT_TRUE(MatchesMask("Q19X.TMP", "Q19*"));
}

TEST(MatchesMaskTest, ManyStarsStayQuick) {
  std::string name(5000, 'A');
  EXPECT_FALSE(MatchesMask(name, "*A*A*A*A*A*A*A*A*A*B"));
}

TEST(NamesTest, InvalidUtf8OnDiskReadsAsQuestionMarks) {
  std::string host = "caf\xff.txt";
  EXPECT_EQ(ProgramFileName(host), "caf?.txt");
  EXPECT_EQ(NameKey(host), "CAF?.TXT");
  EXPECT_EQ(ProgramFileName("a\r\nb"), "a??b");
  EXPECT_EQ(HostFileName(util::Cp850("Años.ini")), "Años.ini");
  EXPECT_EQ(ProgramFileName("Años.ini"), util::Cp850("Años.ini"));
}

TEST(NamesTest, ComputerNameOfThisHost) {
  std::string name = ComputerName();
  EXPECT_LE(name.size(), 16u);
  EXPECT_EQ(name.find('\0'), std::string::npos);
}

}  // namespace
}  // namespace platform::fs
