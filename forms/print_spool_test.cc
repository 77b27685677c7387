#include "forms/print_spool.h"

#include <gtest/gtest.h>

#include "env/session.h"
#include "tests/support/reset.h"
#include "tests/support/scratch_dir.h"

namespace ui::forms {
namespace {

class PrintSpoolTest : public qdeb::testing::FreshStateTest {
 protected:
  PrintSpoolTest() { env::session.WorkDir = dir_.Dos() + "\\"; }
  std::string Spool() const { return dir_.Get("kitprint.tmp"); }
  qdeb::testing::ScratchDir dir_;
};

TEST(PrintSpoolText, JustificationIsNormalised) {
  const struct {
    const char* style;
    const char* written;
  } cases[] = {
      {" r", "D"},          {"d", "D"},  {"Centre", "C"},         {"b", "A"},
      {"x", "E"},           {"", "E"},   {"N 48 \\.\\", "N 48 \\.\\"},
      {" n-7.9 \\*\\ x", "N 7 \\*\\"},   {"N12", "N 12 "},
  };
  for (const auto& c : cases) EXPECT_EQ(NormaliseJustification(c.style), c.written) << c.style;
}

TEST_F(PrintSpoolTest, WritesDeviceItemsAndPageBreaks) {
  ASSERT_TRUE(OpenPrintSpool("P").ok());
  SetPageLength(2);
  PrintItem(5, "A\tB", 1);
  PrintItem(0, "C,D", 0);  // keeps the line open: no line counted
  PrintItem(0, "E", 1);
  PrintItem(-3, "F", 1);   // the page is full: a second PAGE line first
  std::string style = " r";
  SetJustification(style);
  WriteSpoolLine("*@e");
  EXPECT_EQ(style, "D");
  EXPECT_TRUE(ClosePrintSpool().ok());
  EXPECT_EQ(Spool(),
            "DEVICEP\r\nPAGE 2\r\n 5,A B, 1\r\n 0,C,D, 0\r\n 0,E, 1\r\nPAGE 2\r\n-3,F, 1\r\n"
            "JUSD\r\n*@e\r\n");
  EXPECT_EQ(print_page.LineCount, 1);
}

TEST_F(PrintSpoolTest, CountsColumnsOfAnOpenLine) {
  ASSERT_TRUE(OpenPrintSpool("i").ok());
  SetPageLength(66);
  PrintItem(10, "abc", 0);
  EXPECT_EQ(print_page.ColumnCount, 13);
  PrintItem(0, "de", 0);
  EXPECT_EQ(print_page.ColumnCount, 15);
  PrintItem(1, "x", 2);
  EXPECT_EQ(print_page.ColumnCount, 0);
  EXPECT_EQ(print_page.LineCount, 2);
  static_cast<void>(ClosePrintSpool());
}

TEST_F(PrintSpoolTest, APageLengthOfZeroBreaksBeforeEveryItem) {
  ASSERT_TRUE(OpenPrintSpool("P").ok());
  SetPageLength(0);
  PrintItem(1, "a", 0);
  PrintItem(1, "b", 0);
  static_cast<void>(ClosePrintSpool());
  EXPECT_EQ(Spool(), "DEVICEP\r\nPAGE 0\r\nPAGE 0\r\n 1,a, 0\r\nPAGE 0\r\n 1,b, 0\r\n");
}

TEST_F(PrintSpoolTest, ReplacesAnOldSpoolAndReportsAMissingWorkDir) {
  dir_.Put("kitprint.tmp", std::string(5000, 'x'));
  ASSERT_TRUE(OpenPrintSpool("P").ok());
  EXPECT_TRUE(ClosePrintSpool().ok());
  EXPECT_EQ(Spool(), "DEVICEP\r\n");

  env::session.WorkDir = dir_.Dos("missing") + "\\";
  EXPECT_FALSE(OpenPrintSpool("P").ok());
  PrintItem(1, "lost", 1);  // harmless: nothing is open
  EXPECT_TRUE(ClosePrintSpool().ok());
}

}  // namespace
}  // namespace ui::forms
