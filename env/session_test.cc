#include "env/session.h"

#include <gtest/gtest.h>

#include <string>

#include "env/test_dir.h"
#include "tests/support/reset.h"
#include "util/cp850.h"
#include "util/numbers.h"

namespace env {
namespace {

using testing::DosPath;
using testing::ScopedEnvironment;
using testing::TestDir;

// Every test starts from an empty environment in a fresh current directory.
class SessionTest : public qdeb::testing::FreshStateTest {
 protected:
  SessionTest() {
    for (const char* name : {"KITROOT", "KITEXE", "KITTMP", "KITTERM", "HTTP_USER_AGENT",
                             "HTTP_ACCEPT", "WINDIR", "SYSTEMROOT", "KITDRIVES", "KITDB"}) {
      env_.Clear(name);
    }
  }

  // A work directory holding the given terminal file.
  void UseTerminalFile(const std::string& text) {
    env_.Set("KITTMP", dir_.Dir());
    dir_.Put("VelaTerm.ini", text);
  }

  TestDir dir_;
  ScopedEnvironment env_;
  qdeb::testing::ScopedWorkingDirectory cwd_{dir_.Dir()};
};

TEST_F(SessionTest, WorkDirGetsASeparatorUnlessItEndsInOne) {
  env_.Set("KITTMP", "C:");
  LoadSessionSettings();
  EXPECT_EQ(session.WorkDir, "C:");
  env_.Set("KITTMP", "C:\\TMP");
  LoadSessionSettings();
  EXPECT_EQ(session.WorkDir, "C:\\TMP\\");
  env_.Set("KITTMP", "C:\\TMP\\");
  LoadSessionSettings();
  EXPECT_EQ(session.WorkDir, "C:\\TMP\\");
  // Root and program directories are taken as they are.
  env_.Set("KITROOT", "C:\\KIT");
  env_.Set("KITEXE", "C:\\KIT\\EXE");
  LoadSessionSettings();
  EXPECT_EQ(session.RootDir, "C:\\KIT");
  EXPECT_EQ(session.ExeDir, "C:\\KIT\\EXE");
}

TEST_F(SessionTest, WithoutKitTmpTheTerminalDirectoryIsTheWorkDirectory) {
  dir_.MakeDir("d/TERM01");
  env_.Set("KITDRIVES", "D=" + dir_.File("d"));
  dir_.Put("Sessio.ini", "[Terminal]\r\nDir=D:\\TERM01\r\n");
  dir_.Put("d/TERM01/VelaTerm.ini", "[Sistema]\r\nSortida=LPT1\r\n");
  env_.Set("KITTERM", "C:\\NOT\\THIS");
  LoadSessionSettings();
  EXPECT_EQ(session.TerminalDir, "D:\\TERM01\\");
  EXPECT_EQ(session.WorkDir, "D:\\TERM01\\");
  EXPECT_EQ(session.OutputDevice, "LPT1");
}

TEST_F(SessionTest, TerminalDirectoryFallsBackToKitTermNotTerm) {
  env_.Set("TERM", "xterm-256color");
  LoadSessionSettings();
  EXPECT_EQ(session.TerminalDir, "");
  EXPECT_EQ(session.WorkDir, "");
  env_.Set("KITTERM", "C:\\TERM02");
  LoadSessionSettings();
  EXPECT_EQ(session.TerminalDir, "C:\\TERM02\\");
  EXPECT_EQ(session.WorkDir, "C:\\TERM02\\");
}

TEST_F(SessionTest, MenuAndOperatorComeFromTheSessionFile) {
  LoadSessionSettings();
  EXPECT_EQ(session.MenuTitle, "  ");
  EXPECT_EQ(session.OperatorType, 0);

  env_.Set("KITTMP", DosPath(dir_.Dir()));
  dir_.Put("Sessio.ini",
           "[Menu]\r\nTitol=Remeses\r\nNomMenu=BANC\r\nMenu=07\r\nChnMenu=QMENU\r\n"
           "Operador=Joan\r\nKitTipOper=12abc\r\n");
  LoadSessionSettings();
  EXPECT_EQ(session.MenuTitle, " Remeses ");
  EXPECT_EQ(session.MenuName, "BANC");
  EXPECT_EQ(session.MenuCode, "07");
  EXPECT_EQ(session.MenuChain, "QMENU");
  EXPECT_EQ(session.OperatorName, "Joan");
  EXPECT_EQ(session.OperatorType, 12);
  dir_.Put("Sessio.ini", "[Menu]\r\nKitTipOper=ningun\r\n");
  LoadSessionSettings();
  EXPECT_EQ(session.OperatorType, 0);
  EXPECT_EQ(session.OperatorName, "");
}

TEST_F(SessionTest, UnreadableSessionFileLeavesTheMenuEmptyAndTakesKitTerm) {
  env_.Set("KITTMP", dir_.Dir());
  env_.Set("KITTERM", "C:\\TERM03");
  dir_.MakeDir("Sessio.ini");
  LoadSessionSettings();
  EXPECT_EQ(session.MenuTitle, "  ");
  EXPECT_EQ(session.MenuName, "");
  EXPECT_EQ(session.OperatorName, "");
  EXPECT_EQ(session.OperatorType, 0);
  EXPECT_EQ(session.TerminalDir, "C:\\TERM03\\");
  EXPECT_EQ(session.WorkDir, dir_.Dir());  // KITTMP still wins
}

TEST_F(SessionTest, ColoursComeFromTheSelectedKeyOrTheDefault) {
  LoadSessionSettings();
  const int16_t kDefault[5][2] = {{15, 0}, {7, 0}, {0, 7}, {0, 7}, {0, 7}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(session.ColourTable[i].foreground, kDefault[i][0]) << i;
    EXPECT_EQ(session.ColourTable[i].background, kDefault[i][1]) << i;
  }

  UseTerminalFile("[Pantalla]\r\nCol0=01020304050607080910\r\nSeleccio=2\r\nCol2=0714\r\n");
  LoadSessionSettings();
  EXPECT_EQ(session.ColourTable[0].foreground, 7);
  EXPECT_EQ(session.ColourTable[0].background, 14);
  for (int i = 1; i < 5; ++i) {
    EXPECT_EQ(session.ColourTable[i].foreground, 0) << i;
    EXPECT_EQ(session.ColourTable[i].background, 0) << i;
  }

  // Without Seleccio, Col0; a piece cut by the end of the text, blanks
  // before a digit and garbage follow the numeric-value rule.
  UseTerminalFile("[Pantalla]\r\nCol0= 1xx120\r\n");
  LoadSessionSettings();
  EXPECT_EQ(session.ColourTable[0].foreground, 1);
  EXPECT_EQ(session.ColourTable[0].background, 0);
  EXPECT_EQ(session.ColourTable[1].foreground, 12);
  EXPECT_EQ(session.ColourTable[1].background, 0);

  // A selected key that is empty gives the default again.
  UseTerminalFile("[Pantalla]\r\nSeleccio=-1\r\nCol-1=\r\n");
  LoadSessionSettings();
  EXPECT_EQ(session.ColourTable[0].foreground, 15);
  EXPECT_EQ(session.ColourTable[4].background, 7);
}

TEST_F(SessionTest, WorkDateOutputAndLanguageComeFromTheTerminalFile) {
  UseTerminalFile("[Sistema]\r\nData=20240105\r\nSortida=PRN\r\nIdioma=CATALA\r\n");
  LoadSessionSettings();
  EXPECT_EQ(session.WorkDate, std::string({'\x94', '\x98', '\x81', '\x85'}));
  EXPECT_EQ(session.OutputDevice, "PRN");
  EXPECT_EQ(session.LanguageCode, "CAT");

  env_.Set("KITROOT", dir_.File("root/"));
  dir_.MakeDir("root");
  dir_.Put("root/Vela.ini", "[Usuari]\r\nIdioma=GLG\r\n");
  UseTerminalFile("[Sistema]\r\nSortida=PRN\r\n");
  LoadSessionSettings();
  EXPECT_EQ(session.WorkDate, "");
  EXPECT_EQ(session.LanguageCode, "GLG");

  UseTerminalFile("[Sistema]\r\nIdioma=   \r\n");
  dir_.Put("root/Vela.ini", "[Usuari]\r\nIdioma=ES\r\n");
  LoadSessionSettings();
  EXPECT_EQ(session.LanguageCode, "ES ");
  dir_.Put("root/Vela.ini", "");
  LoadSessionSettings();
  EXPECT_EQ(session.LanguageCode, "   ");
}

// The server comes from the root's settings file, without a password
// written there (everyone reads that file); KITDB, the user's own, wins
// whole. Nothing set in either: no server.
TEST_F(SessionTest, DatabaseServerComesFromKitDbOrTheRootSettingsWithoutPassword) {
  env_.Set("KITROOT", dir_.File("root/"));
  dir_.MakeDir("root");
  LoadSessionSettings();
  EXPECT_EQ(session.DatabaseServer, "");
  dir_.Put("root/Vela.ini",
           "[BaseDades]\r\nServidor=host=db1 password='se cret' dbname=kit user=oficina\r\n");
  LoadSessionSettings();
  EXPECT_EQ(session.DatabaseServer, "host=db1 dbname=kit user=oficina");
  env_.Set("KITDB", "host=/run/pg dbname=other password=mine");
  LoadSessionSettings();
  EXPECT_EQ(session.DatabaseServer, "host=/run/pg dbname=other password=mine");
}

TEST_F(SessionTest, HostModeFollowsTheEnvironment) {
  LoadSessionSettings();
  EXPECT_EQ(session.HostMode, "DOS");
  env_.Set("SYSTEMROOT", "C:\\WINDOWS");
  LoadSessionSettings();
  EXPECT_EQ(session.HostMode, "WIN");
  env_.Set("WINDIR", "C:\\WINDOWS");
  env_.Set("HTTP_ACCEPT", "text/html");
  LoadSessionSettings();
  EXPECT_EQ(session.HostMode, "CGI");
  env_.Clear("HTTP_ACCEPT");
  env_.Set("HTTP_USER_AGENT", "x");
  LoadSessionSettings();
  EXPECT_EQ(session.HostMode, "CGI");
}

TEST_F(SessionTest, EnvironmentTextsBecomeCodePage850) {
  env_.Set("KITROOT", "C:\\Año\\");
  LoadSessionSettings();
  EXPECT_EQ(session.RootDir, util::Cp850("C:\\Año\\"));
}

TEST_F(SessionTest, LoadingAgainGivesTheSameSettingsAndTheDefaultCurrency) {
  UseTerminalFile("[Sistema]\r\nIdioma=SPA\r\n[Pantalla]\r\nCol0=0102030405060708\r\n");
  dir_.Put("Sessio.ini", "[Menu]\r\nTitol=T\r\n");
  util::number_format.MainCurrency = "P";
  LoadSessionSettings();
  EXPECT_EQ(util::number_format.MainCurrency, "E");
  const std::string title = session.MenuTitle, work = session.WorkDir,
                    language = session.LanguageCode;
  const auto colours = session.ColourTable;
  LoadSessionSettings();
  EXPECT_EQ(session.MenuTitle, title);
  EXPECT_EQ(session.WorkDir, work);
  EXPECT_EQ(session.LanguageCode, language);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(session.ColourTable[i].foreground, colours[i].foreground);
    EXPECT_EQ(session.ColourTable[i].background, colours[i].background);
  }
  EXPECT_EQ(session.ColourTable[3].foreground, 7);
  EXPECT_EQ(session.ColourTable[4].foreground, 0);
}

}  // namespace
}  // namespace env
