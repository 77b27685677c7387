#include "tools/spool/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "util/cp850.h"

namespace spool {
namespace {

using Pages = std::vector<std::vector<std::string>>;

// Spool lines (UTF-8 in the source) as the writer ends them.
std::string Spool(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += util::Cp850(line) + "\r\n";
  return text;
}

// A line with each text from its 1-based column.
std::string Line(const std::vector<std::pair<int, std::string>>& items) {
  std::string line;
  for (const auto& [column, text] : items) {
    line.resize(static_cast<size_t>(column - 1), ' ');
    line += util::Cp850(text);
  }
  return line;
}

Pages TextOf(const Report& report) {
  Pages pages;
  for (const Page& page : report.pages) pages.push_back(page.lines);
  return pages;
}

TEST(LayOut, ItemsStylesAndPages) {
  struct Case {
    const char* what;
    std::string spool;
    Pages pages;
  };
  const Case cases[] = {
      {"columns, line feeds and blank lines",
       Spool({"DEVICEP", "PAGE 66", " 1,AB, 0", " 5,CD, 2", " 3,EF, 1"}),
       {{"AB  CD", "", "  EF"}}},
      {"column 0 continues after the previous item",
       Spool({" 3,AB, 0", " 0,CD, 0", " 0,E, 1", " 0,F, 1"}), {{"  ABCDE", "F"}}},
      {"commas inside the text", Spool({" 2,A,B,,C, 1"}), {{" A,B,,C"}}},
      {"a later item overwrites in the left styles",
       Spool({" 1,ABCDEFGH, 0", "JUS A", " 3,  12, 1"}), {{"AB  12GH"}}},
      {"D: the blanks padding a field leave what they cover",
       Spool({" 1,ABCDEFGH, 0", "JUS D", " 3,  12, 1"}), {{"ABCD12GH"}}},
      {"N: the fill up to its column, and the next item after it",
       Spool({"JUS N 10 \\.\\", " 1,AB , 0", "JUS D", " 0,  7, 1"}), {{"AB .......  7"}}},
      {"N: a text past the fill column is not cut",
       Spool({"JUS N 4 \\.\\", " 1,ABCDEF, 1"}), {{"ABCDEF"}}},
      {"C: centred on its column", Spool({"JUS C", " 10,ABCD, 1"}), {{"       ABCD"}}},
      {"a page line breaks the page; printer commands are dropped",
       Spool({"DEVICEI", "PAGE 66", "*@e", " 1,A, 1", "PAGE 66", "*@e", " 1,B, 1"}),
       {{"A"}, {"B"}}},
      {"lines past the page's length go on a new page",
       Spool({"PAGE 2", " 1,A, 1", " 1,B, 1", " 1,C, 1"}), {{"A", "B"}, {"C"}}},
      {"lines that are no item are dropped",
       Spool({"x,y, 1", " 1,no line feeds", " 1,A,x", "PAGEx", " 1,OK, 1", ""}), {{"OK"}}},
      {"items past the width of a screen are kept", Spool({" 90,0123456789, 1"}),
       {{std::string(89, ' ') + "0123456789"}}},
      {"text past the widest printer line is dropped, not kept in memory",
       Spool({" 99999,X, 0", " 0,Y, 1", " 1,OK, 1"}), {{"", "OK"}}},
      {"bare line feeds and no end of the last line",
       "DEVICEP\nPAGE 3\n 1,A, 1\n 2,B, 1", {{"A", " B"}}},
      {"a spool with nothing printed has no pages", Spool({"DEVICEP", "PAGE 66", "*@e"}), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(TextOf(LayOut(c.spool)), c.pages);
  }
}

// A page of the verification report as it writes it: every number ends
// under the end of its heading, the party's name is led by dots to the
// first number column, and the page is 95 columns wide.
TEST(LayOut, TheVerificationReportsColumnsLineUp) {
  const std::string dashes(47, '-');
  const Report report = LayOut(Spool({
      "DEVICEP", "PAGE 66", "*@e", " 1,DESPATX GARCIA                    , 0", "JUS D",
      " 85,PÀGINA    1, 2", " 27,VERIFICACIÓ DISKETTE DE TRASPÀS DE REBUTS, 2", "JUS D",
      " 49, ORD., 0", " 55,       IMPORT, 0", " 69,       REBUTS, 0", " 83,    REGISTRES, 1",
      " 49," + dashes + ", 1",
      "JUS N 48 \\.\\", " 1,ORDENANT B12345678000 , 0", "JUS D",
      " 55,     1.234'56, 0", " 69,            3, 0", " 83,            5, 1",
      " 49," + dashes + ", 1",
      " 1,PRESENTADOR B12345678000 15 DE MARÇ DEL 2026, 0", "JUS D", " 49,    1, 0",
      " 55,     1.234'56, 0", " 69,            3, 0", " 83,            7, 1",
  }));
  ASSERT_EQ(report.pages.size(), 1u);
  const std::vector<std::string> expected = {
      Line({{1, "DESPATX GARCIA"}, {85, "PÀGINA    1"}}),
      "",
      Line({{27, "VERIFICACIÓ DISKETTE DE TRASPÀS DE REBUTS"}}),
      "",
      Line({{50, "ORD."}, {62, "IMPORT"}, {76, "REBUTS"}, {87, "REGISTRES"}}),
      Line({{49, dashes}}),
      Line({{1, "ORDENANT B12345678000 " + std::string(26, '.')},
            {60, "1.234'56"}, {81, "3"}, {95, "5"}}),
      Line({{49, dashes}}),
      Line({{1, "PRESENTADOR B12345678000 15 DE MARÇ DEL 2026"},
            {53, "1"}, {60, "1.234'56"}, {81, "3"}, {95, "7"}}),
  };
  EXPECT_EQ(report.pages[0].lines, expected);
  EXPECT_EQ(report.device, "P");
  EXPECT_EQ(report.pages[0].length, 66);
  EXPECT_EQ(report.width, 95u);
}

// A damaged spool of pages 32,767 lines long, each item moving to the foot
// of one: the layout keeps every text, in order, in lines in proportion to
// the spool's size rather than a page's length.
TEST(LayOut, LineFeedsCannotMakeMoreLinesThanTheSpoolJustifies) {
  std::vector<std::string> lines = {"DEVICEP"};
  for (int page = 0; page < 100; ++page) {
    for (const char* line : {"PAGE 32767", " 1,X, 32766", " 1,Y, 32767"}) lines.push_back(line);
  }
  const std::string spool = Spool(lines);
  const Report report = LayOut(spool);
  size_t count = 0;
  std::string texts;
  for (const Page& page : report.pages) {
    count += page.lines.size();
    for (const std::string& line : page.lines) texts += line;
  }
  EXPECT_LE(count, 66 + 9 * spool.size());  // the blank lines allowed and the items
  std::string expected;
  for (int page = 0; page < 100; ++page) expected += "XY";
  EXPECT_EQ(texts, expected);
  ASSERT_EQ(report.pages.size(), 100u);
  EXPECT_EQ(report.pages[99].lines.front(), "X");
  EXPECT_EQ(report.pages[99].lines.back(), "Y");
}

}  // namespace
}  // namespace spool
