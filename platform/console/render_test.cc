#include "platform/console/render.h"

#include <gtest/gtest.h>

namespace platform::console::internal {
namespace {

// Readable stand-ins for the escape strings: <row,col> a move, {aa} colours.
Strings Fake() {
  Strings s;
  s.move = [](int r, int c) { return "<" + std::to_string(r) + "," + std::to_string(c) + ">"; };
  static const char kHex[] = "0123456789abcdef";
  for (int a = 0; a < 256; ++a) {
    s.attribute[static_cast<size_t>(a)] = std::string("{") + kHex[a >> 4] + kHex[a & 15] + "}";
  }
  s.glyph = Cp850Glyphs();
  return s;
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetShown(&shown_, 2, 10);
    shown_.terminal_rows = 2;
    shown_.terminal_columns = 10;
    cells_.assign(20, Cell{});
  }
  std::string Render() {
    std::string out;
    RenderChanges(cells_, strings_, &shown_, &out);
    return out;
  }
  void Put(int r, int c, char ch, uint8_t attr = 0x07) {
    cells_[static_cast<size_t>(r * 10 + c)] = Cell{ch, attr};
  }
  Strings strings_ = Fake();
  Shown shown_;
  std::vector<Cell> cells_;
};

TEST_F(RenderTest, FirstRenderSendsEverythingThenNothing) {
  Put(0, 0, 'A', 0x1F);
  std::string first = Render();
  EXPECT_EQ(first, "<0,0>{1f}A{07}         <1,0>          ");
  EXPECT_EQ(Render(), "");
}

TEST_F(RenderTest, OnlyChangedCellsAndShortGapsRewritten) {
  Render();
  Put(0, 2, 'x');
  Put(0, 5, 'y');   // gap of two unchanged blanks in the same colours
  Put(0, 9, 'z', 0x70);  // three blanks are cheaper than a move, too
  Put(1, 9, 'w', 0x70);
  EXPECT_EQ(Render(), "<0,2>x  y   {70}z<1,9>w");
  Put(1, 0, 'q', 0x70);
  Put(1, 8, 'r', 0x70);  // far apart: a move instead of seven cells
  EXPECT_EQ(Render(), "<1,0>q<1,8>r");
}

TEST_F(RenderTest, AGapInOtherColoursIsJumped) {
  Render();
  Put(0, 1, 'a', 0x1F);
  Put(0, 3, 'b', 0x1F);  // the blank between is 07, not 1f
  EXPECT_EQ(Render(), "<0,1>{1f}a<0,3>b");
}

TEST_F(RenderTest, AfterTheLastColumnTheCursorIsPlacedAgain) {
  ResetShown(&shown_, 2, 10);
  shown_.terminal_columns = 10;  // the screen as wide as the terminal
  Render();
  Put(0, 9, 'e');
  Put(1, 0, 'f');
  EXPECT_EQ(Render(), "<0,9>e<1,0>f");
}

TEST_F(RenderTest, TheCornerCellIsSkippedWhereItWouldScroll) {
  shown_.last_cell_scrolls = true;
  Put(1, 9, 'Z');
  std::string out = Render();
  EXPECT_EQ(out.find('Z'), std::string::npos);
  EXPECT_EQ(Render(), "");  // and not tried again on every refresh
}

TEST_F(RenderTest, InvalidatingSendsAllAgain) {
  Render();
  InvalidateShown(&shown_);
  EXPECT_EQ(Render(), "<0,0>{07}          <1,0>          ");
}

TEST(RenderColours, DosOrderBecomesAnsiOrder) {
  // black blue green cyan red magenta brown grey, then the bright forms
  const int expected[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
  for (int c = 0; c < 16; ++c) EXPECT_EQ(AnsiColour(c), expected[c]) << c;
}

}  // namespace
}  // namespace platform::console::internal
