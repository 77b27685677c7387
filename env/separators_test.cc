#include "env/separators.h"

#include <gtest/gtest.h>

#include "env/session.h"
#include "env/test_dir.h"
#include "util/numbers.h"

namespace env {
namespace {

// The separators come from the root settings file, once per run.
class SeparatorFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_root_ = session.RootDir;
    session.RootDir = dir_.Dir();
    util::ForgetSeparators();
  }
  void TearDown() override {
    session.RootDir = saved_root_;
    util::ForgetSeparators();
  }
  testing::TestDir dir_;
  std::string saved_root_;
};

TEST_F(SeparatorFileTest, ReadOnceAndKeptForTheRun) {
  EXPECT_EQ(util::FormatNumber("Z,ZZ9.99", 1234.5), "1.234'50");  // not loaded: the defaults
  dir_.Put("Vela.ini", "[Usuari]\r\nDecCaracter=,x\r\nMilCaracter= \r\n");
  LoadSeparators();
  EXPECT_EQ(util::FormatNumber("Z,ZZ9.99", 1234.5), "1.234,50");
  EXPECT_EQ(util::number_format.DecimalChar, ',');
  EXPECT_EQ(util::number_format.ThousandsChar, '.');  // a blank gives the default
  dir_.Put("Vela.ini", "[Usuari]\r\nDecCaracter=;\r\nMilCaracter=_\r\n");
  LoadSeparators();
  EXPECT_EQ(util::FormatNumber("Z,ZZ9.99", 1234.5), "1.234,50");
  util::ForgetSeparators();
  LoadSeparators();
  EXPECT_EQ(util::FormatNumber("Z,ZZ9.99", 1234.5), "1_234'50");  // ";" opens a comment
}

TEST_F(SeparatorFileTest, MissingFileOrControlCharactersGiveTheDefaults) {
  LoadSeparators();
  EXPECT_EQ(util::number_format.DecimalChar, '\'');
  EXPECT_EQ(util::number_format.ThousandsChar, '.');
  util::ForgetSeparators();
  dir_.Put("Vela.ini", "[Usuari]\r\nDecCaracter=\t\r\nMilCaracter=\x01\r\n");
  LoadSeparators();
  EXPECT_EQ(util::number_format.DecimalChar, '\'');
  EXPECT_EQ(util::number_format.ThousandsChar, '.');
}

}  // namespace
}  // namespace env
