#include "env/installation.h"

#include <gtest/gtest.h>

#include <string>

#include "env/session.h"
#include "env/test_dir.h"
#include "tests/support/reset.h"

namespace env {
namespace {

using testing::TestDir;

class InstallationTest : public qdeb::testing::FreshStateTest {
 protected:
  void Load(const std::string& vela_ini) {
    dir_.Put("Vela.ini", vela_ini);
    session.RootDir = dir_.Dir();
    LoadInstallationData();
  }
  static std::string Field(const std::string& text) {
    return text + std::string(kInstallationTextLength - text.size(), ' ');
  }
  TestDir dir_;
};

TEST_F(InstallationTest, TextsAreFixedFieldsAndNumbersHaveTheirRange) {
  Load("[Installacio]\r\nDada1=Gestoria Roca\r\nDada6=\r\n"
       "Dada8=" + std::string(40, 'L') + "\r\n"
       "Num1=7\r\nNum2=1000\r\nNum3=-4\r\nNum4=abc\r\nNum16=999\r\n");
  EXPECT_EQ(InstallationText(1), Field("Gestoria Roca"));
  EXPECT_EQ(InstallationText(6), Field(""));
  EXPECT_EQ(InstallationText(8), std::string(35, 'L'));
  EXPECT_EQ(InstallationNumber(1), 7);
  EXPECT_EQ(InstallationNumber(2), 999);
  EXPECT_EQ(InstallationNumber(3), 0);
  EXPECT_EQ(InstallationNumber(4), 0);
  EXPECT_EQ(InstallationNumber(5), 255);  // not supplied
  EXPECT_EQ(InstallationNumber(16), 999);
  // An empty value is no value; blanks, decimals and huge numbers are read
  // by their numeric value and held to the range.
  Load("[Installacio]\r\nNum1=\r\nNum2= 12.9\r\nNum3=99999999999999999999\r\nNum4=   \r\n");
  EXPECT_EQ(InstallationNumber(1), 255);
  EXPECT_EQ(InstallationNumber(2), 12);
  EXPECT_EQ(InstallationNumber(3), 999);
  EXPECT_EQ(InstallationNumber(4), 0);
  // Outside the lists.
  EXPECT_EQ(InstallationText(0), "");
  EXPECT_EQ(InstallationText(9), "");
  EXPECT_EQ(InstallationNumber(17), 255);
}

TEST_F(InstallationTest, PresenterIdentifierGetsItsCountryAndOnlyPlainCharacters) {
  Load("[Installacio]\r\nDada7=B-12.345/678\r\n");
  EXPECT_EQ(InstallationText(7), Field("ESB 12 345 678"));
  // The first 17 characters of the wide-range identifier.
  Load("[Installacio]\r\nDada7=X00000000\r\n");
  EXPECT_EQ(InstallationText(7).substr(0, 17), "ESX00000000      ");
  // Lower case is not kept; a full field loses its last two characters.
  Load("[Installacio]\r\nDada7=b1" + std::string(33, '9') + "\r\n");
  EXPECT_EQ(InstallationText(7), "ES 1" + std::string(31, '9'));
  Load("");
  EXPECT_EQ(InstallationText(7), Field("ES"));
  EXPECT_EQ(InstallationNumber(1), 255);
}

}  // namespace
}  // namespace env
