#include "ui/screen.h"

#include <gtest/gtest.h>

#include <array>

#include "env/session.h"
#include "platform/console/console.h"
#include "ui/ui_test_support.h"
#include "util/cp850.h"

namespace ui {
namespace {

namespace console = platform::console;
using testing::UiTest;

// A screen with something in every cell: text with accents and box-drawing
// characters in changing colours, so that any cell restored wrongly shows.
void PaintBackground() {
  const std::string sample = util::Cp850("Núñez ÇÀ ╔═╗ ");
  for (int row = 0; row < 25; ++row) {
    for (int column = 0; column < 80; ++column) {
      const char ch = sample[static_cast<size_t>(row + column) % sample.size()];
      console::PutCell(row, column,
                       console::Cell{ch, static_cast<uint8_t>((row * 7 + column) & 0x7F)});
    }
  }
}

using WindowStackTest = UiTest;

TEST_F(WindowStackTest, OneCellWindowStoresTheLaidOutBlock) {
  console::PutCell(4, 6, console::Cell{'\xA4', 0x1E});  // ñ at (5, 7)
  console::SetCursor(2, 11);                             // (3, 12)
  OpenWindow(5, 7, 5, 7);
  EXPECT_EQ(window_stack.WindowDepth, 1);
  EXPECT_EQ(window_stack.WindowTop, 5);
  EXPECT_EQ(window_stack.WindowRight, 7);

  const std::string bytes = WindowFileBytes();
  ASSERT_EQ(bytes.size(), 31u);
  EXPECT_EQ(StackTop(bytes), 32);
  EXPECT_EQ(bytes.substr(4, 20), "03120000000005070507");
  EXPECT_EQ(bytes[24], '\xA4');
  EXPECT_EQ(static_cast<unsigned char>(bytes[25]), 0x1E);
  EXPECT_EQ(bytes.substr(26), "00027");

  CloseWindow();
  EXPECT_EQ(window_stack.WindowDepth, 0);
  EXPECT_FALSE(WindowFileExists());
  EXPECT_EQ(console::CursorRow(), 2);
  EXPECT_EQ(console::CursorColumn(), 11);
}

TEST_F(WindowStackTest, NestedWindowsRestoreCellsColoursCursorAndRectangle) {
  PaintBackground();
  console::SetCursor(2, 6);
  const std::string original = Screen();

  EXPECT_TRUE(OpenWindow(2, 3, 12, 60));
  SetColour("+rh");
  DrawFrame(2);
  PrintAt(1, 1, util::Cp850("Primera finestra: àèò"));
  SetColour("-");
  LocateInWindow(3, 4);
  const std::string with_first = Screen();
  const int32_t first_top = StackTop(WindowFileBytes());
  EXPECT_EQ(first_top, 5 + 25 + 2 * 11 * 58);

  OpenWindow(6, 10, 9, 30);
  DrawFrame(1);
  PrintAt(1, 1, "segona");
  EXPECT_EQ(window_stack.WindowDepth, 2);
  const std::string bytes = WindowFileBytes();
  EXPECT_EQ(StackTop(bytes), first_top + 25 + 2 * 4 * 21);
  // The second block keeps the first window as its enclosing rectangle and
  // the cursor where the first window left it.
  EXPECT_EQ(bytes.substr(static_cast<size_t>(first_top - 1), 20),
            "05070203126006100930");

  CloseWindow();
  EXPECT_EQ(Screen(), with_first);
  EXPECT_EQ(window_stack.WindowDepth, 1);
  EXPECT_EQ((std::array<int16_t, 4>{window_stack.WindowTop, window_stack.WindowLeft,
                                    window_stack.WindowBottom, window_stack.WindowRight}),
            (std::array<int16_t, 4>{2, 3, 12, 60}));
  EXPECT_EQ(StackTop(WindowFileBytes()), first_top);

  CloseWindow();
  EXPECT_EQ(Screen(), original);
  EXPECT_EQ(console::CursorRow(), 2);
  EXPECT_EQ(console::CursorColumn(), 6);
  EXPECT_EQ(window_stack.WindowDepth, 0);
  EXPECT_EQ((std::array<int16_t, 4>{window_stack.WindowTop, window_stack.WindowLeft,
                                    window_stack.WindowBottom, window_stack.WindowRight}),
            (std::array<int16_t, 4>{0, 0, 0, 0}));
  EXPECT_FALSE(WindowFileExists());
  // The colour left behind is the last restored cell's.
  EXPECT_EQ(console::CurrentAttribute(), console::GetCell(11, 59).attr);
}

TEST_F(WindowStackTest, CloseWithoutWindowAndRefusedRectanglesChangeNothing) {
  PaintBackground();
  const std::string original = Screen();
  CloseWindow();
  EXPECT_EQ(Screen(), original);
  EXPECT_EQ(window_stack.WindowDepth, 0);

  EXPECT_FALSE(OpenWindow(0, 1, 5, 5));
  EXPECT_FALSE(OpenWindow(1, 1, 26, 5));
  EXPECT_FALSE(OpenWindow(1, 0, 5, 5));
  EXPECT_FALSE(OpenWindow(1, 1, 5, 81));
  EXPECT_EQ(window_stack.WindowDepth, 0);
  EXPECT_FALSE(WindowFileExists());

  // Without a directory to save in, no window is opened either.
  const std::string work_dir = env::session.WorkDir;
  env::session.WorkDir += "absent\\";
  EXPECT_FALSE(OpenWindow(2, 2, 5, 5));
  EXPECT_EQ(window_stack.WindowDepth, 0);
  env::session.WorkDir = work_dir;

  // A file of 3 bytes or less holds no window: it is only removed.
  WriteWindowFile("abc");
  CloseWindow();
  EXPECT_FALSE(WindowFileExists());
  EXPECT_EQ(Screen(), original);
}

TEST_F(WindowStackTest, LeftoverFileIsAppendedToAndDepthNeverGoesNegative) {
  OpenWindow(1, 1, 2, 2);
  const std::string leftover = WindowFileBytes();
  window_stack.WindowDepth = 0;  // as in a new run that finds the file

  OpenWindow(3, 3, 3, 4);
  EXPECT_EQ(StackTop(WindowFileBytes()), StackTop(leftover) + 25 + 4);
  CloseWindow();
  EXPECT_EQ(window_stack.WindowDepth, 0);
  EXPECT_EQ(StackTop(WindowFileBytes()), StackTop(leftover));
  EXPECT_EQ(WindowFileBytes().substr(4, leftover.size() - 4), leftover.substr(4));
  CloseWindow();  // pops the block of the earlier run
  EXPECT_EQ(window_stack.WindowDepth, 0);
  EXPECT_FALSE(WindowFileExists());
}

TEST_F(WindowStackTest, InvertedRectangleIsPoppedWithoutLosingTheWindowsBelow) {
  PaintBackground();
  console::SetCursor(1, 1);
  const std::string original = Screen();
  OpenWindow(2, 3, 12, 60);
  DrawFrame(2);
  const std::string with_first = Screen();
  const int32_t first_top = StackTop(WindowFileBytes());

  OpenWindow(10, 10, 5, 20);  // bottom above top: no cells to save
  EXPECT_EQ(window_stack.WindowDepth, 2);
  EXPECT_EQ(StackTop(WindowFileBytes()), first_top + 25);
  CloseWindow();
  EXPECT_EQ(window_stack.WindowDepth, 1);
  EXPECT_EQ((std::array<int16_t, 4>{window_stack.WindowTop, window_stack.WindowLeft,
                                    window_stack.WindowBottom, window_stack.WindowRight}),
            (std::array<int16_t, 4>{2, 3, 12, 60}));
  EXPECT_EQ(Screen(), with_first);
  EXPECT_EQ(StackTop(WindowFileBytes()), first_top);

  OpenWindow(4, 30, 8, 20);  // right left of left
  CloseWindow();
  EXPECT_EQ(window_stack.WindowDepth, 1);
  CloseWindow();
  EXPECT_EQ(Screen(), original);
  EXPECT_FALSE(WindowFileExists());
}

TEST_F(WindowStackTest, LargestConsoleKeepsTwoDigitsPerCoordinate) {
  screen_.Reopen({}, 99, 99);
  console::PutCell(98, 98, console::Cell{'z', 0x4E});
  console::SetCursor(98, 97);
  OpenWindow(97, 98, 99, 99);
  EXPECT_EQ(WindowFileBytes().substr(4, 20), "99980000000097989999");
  DrawFrame(2);
  OpenWindow(1, 1, 99, 99);  // the whole screen as a second window
  EXPECT_EQ(WindowFileBytes().size(), 4u + 25 + 2 * 3 * 2 + 25 + 2 * 99 * 99);
  DrawFrame(1);
  CloseWindow();
  CloseWindow();
  EXPECT_EQ(console::GetCell(98, 98).ch, 'z');
  EXPECT_EQ(console::GetCell(98, 98).attr, 0x4E);
  EXPECT_EQ(console::CursorRow(), 98);
  EXPECT_EQ(console::CursorColumn(), 97);
  EXPECT_FALSE(WindowFileExists());
}

TEST_F(WindowStackTest, DamagedFileIsDroppedWithoutPaintingAnything) {
  PaintBackground();
  const std::string original = Screen();
  OpenWindow(2, 2, 4, 4);
  std::string bytes = WindowFileBytes();

  // A stack top past the end of the file.
  std::string wild = bytes;
  wild[1] = '\x40';
  WriteWindowFile(wild);
  CloseWindow();
  EXPECT_FALSE(WindowFileExists());
  EXPECT_EQ(Screen(), original);

  // A length field that is not digits, and one that claims too much.
  std::string bad_length = bytes;
  bad_length[bad_length.size() - 3] = 'x';
  WriteWindowFile(bad_length);
  CloseWindow();
  EXPECT_FALSE(WindowFileExists());
  std::string long_length = bytes;
  long_length.replace(long_length.size() - 5, 5, "99999");
  WriteWindowFile(long_length);
  CloseWindow();
  EXPECT_FALSE(WindowFileExists());
  EXPECT_EQ(Screen(), original);

  // A new push over a header pointing nowhere starts the stack afresh.
  WriteWindowFile(wild);
  window_stack.WindowDepth = 0;
  OpenWindow(1, 1, 1, 1);
  EXPECT_EQ(StackTop(WindowFileBytes()), 32);
  CloseWindow();
  EXPECT_FALSE(WindowFileExists());
}

TEST_F(WindowStackTest, WindowRelativePositionsAndFrames) {
  EXPECT_EQ(ScreenRows(), 25);
  EXPECT_EQ(ScreenColumns(), 80);
  EXPECT_EQ(FirstRow(), 1);
  EXPECT_EQ(LastColumn(), 80);
  const std::string blank = Screen();
  DrawFrame(2);  // depth 0: nothing
  EXPECT_EQ(Screen(), blank);
  LocateInWindow(4, 9);
  EXPECT_EQ(console::CursorRow(), 3);
  EXPECT_EQ(console::CursorColumn(), 8);

  PaintBackground();
  OpenWindow(3, 10, 6, 15);
  EXPECT_EQ(FirstRow(), 4);
  EXPECT_EQ(FirstColumn(), 11);
  EXPECT_EQ(LastColumn(), 14);
  LocateInWindow(1, 1);
  EXPECT_EQ(console::CursorRow(), 3);
  EXPECT_EQ(console::CursorColumn(), 10);

  SetColour("u");
  DrawFrame(1);
  EXPECT_EQ(Row(3, 10, 6), util::Cp850("┌────┐"));
  EXPECT_EQ(Row(4, 10, 6), util::Cp850("│    │"));
  EXPECT_EQ(Row(6, 10, 6), util::Cp850("└────┘"));
  EXPECT_EQ(console::GetCell(4, 11).attr, 0x30);  // cleared in pair 4
  DrawFrame(2);
  EXPECT_EQ(Row(3, 10, 6), util::Cp850("╔════╗"));
  EXPECT_EQ(Row(5, 10, 6), util::Cp850("║    ║"));
  EXPECT_EQ(Row(6, 10, 6), util::Cp850("╚════╝"));
  DrawFrame(0);
  EXPECT_EQ(Row(3, 10, 6), "      ");
  EXPECT_NE(console::GetCell(2, 8).attr, 0x30);  // outside untouched
  CloseWindow();
}

using ColourTest = UiTest;

TEST_F(ColourTest, SelectionPushAndPop) {
  SetColour("-");  // empty stack: pair 0
  EXPECT_EQ(window_stack.ColourIndex, 0);
  EXPECT_EQ(console::CurrentAttribute(), 0x0F);

  std::string colour_code = "+rn";
  SetColour(colour_code);
  EXPECT_EQ(colour_code, "+RN");  // upper-cased in the caller's variable
  EXPECT_EQ(window_stack.ColourIndex, 3);
  EXPECT_EQ(window_stack.ColourStack, std::string(1, '\0'));
  EXPECT_EQ(console::CurrentAttribute(), 0x1E);

  SetColour("u");
  EXPECT_EQ(window_stack.ColourIndex, 4);
  EXPECT_EQ(window_stack.ColourStack.size(), 1u);
  SetColour("+n");
  SetColour("+h");
  EXPECT_EQ(window_stack.ColourIndex, 0);
  EXPECT_EQ(window_stack.ColourStack, std::string("\x00\x04\x01", 3));
  SetColour("-");
  EXPECT_EQ(window_stack.ColourIndex, 1);
  SetColour("-");
  EXPECT_EQ(window_stack.ColourIndex, 4);
  SetColour("rh");
  EXPECT_EQ(window_stack.ColourIndex, 2);
  SetColour("  ");  // blank: nothing
  EXPECT_EQ(window_stack.ColourIndex, 2);
  SetColour("+e");
  EXPECT_EQ(window_stack.ColourIndex, 0);
  SetColour("-");
  SetColour("-");
  EXPECT_EQ(window_stack.ColourIndex, 0);
  EXPECT_TRUE(window_stack.ColourStack.empty());
  EXPECT_EQ(console::CurrentAttribute(), 0x0F);
}

TEST_F(ColourTest, ScrollRegionBothWaysAndClipped) {
  for (int row = 0; row < 25; ++row) {
    console::WriteText(row, 0, std::string(80, static_cast<char>('A' + row)), 0x07);
  }
  SetColour("u");
  ScrollRegion(2, 5, 5, 9, 1);  // rows C..F, up by one
  EXPECT_EQ(Row(3, 6, 5), "DDDDD");
  EXPECT_EQ(Row(5, 6, 5), "FFFFF");
  EXPECT_EQ(Row(6, 6, 5), "     ");
  EXPECT_EQ(console::GetCell(5, 5).attr, 0x30);
  EXPECT_EQ(Row(6, 5, 1), "F");   // left of the rectangle
  EXPECT_EQ(Row(6, 11, 1), "F");  // right of it

  ScrollRegion(2, 5, 5, 9, 0);  // 0 moves down one line
  EXPECT_EQ(Row(3, 6, 5), "     ");
  EXPECT_EQ(Row(4, 6, 5), "DDDDD");
  ScrollRegion(2, 5, 5, 9, -2);
  EXPECT_EQ(Row(6, 6, 5), "DDDDD");

  // A rectangle past the screen is clipped to it.
  ScrollRegion(20, 70, 40, 120, 2);
  EXPECT_EQ(Row(21, 71, 10), std::string(10, 'W'));
  EXPECT_EQ(Row(23, 71, 10), std::string(10, 'Y'));
  EXPECT_EQ(Row(24, 71, 10), std::string(10, ' '));
  EXPECT_EQ(Row(25, 80, 1), " ");
  EXPECT_EQ(Row(21, 70, 1), "U");
  ScrollRegion(30, 0, 40, 10, 1);  // entirely outside: nothing
}

using MessagePanelTest = UiTest;

TEST_F(MessagePanelTest, FourLetterWordAtTheFoot) {
  SetColour("n");
  const std::string before = Screen();
  ASSERT_TRUE(ShowMessagePanel(24, "AVIS"));
  EXPECT_EQ(window_stack.WindowDepth, 1);
  EXPECT_EQ((std::array<int16_t, 4>{window_stack.WindowTop, window_stack.WindowLeft,
                                    window_stack.WindowBottom, window_stack.WindowRight}),
            (std::array<int16_t, 4>{21, 37, 23, 44}));
  EXPECT_EQ(Row(21, 37, 8), util::Cp850("┌──────┐"));
  EXPECT_EQ(Row(22, 37, 8), util::Cp850("│ AVIS │"));
  EXPECT_EQ(Row(23, 37, 8), util::Cp850("└──────┘"));
  EXPECT_EQ(console::GetCell(21, 39).attr, 0x70);  // pair 2
  EXPECT_EQ(window_stack.ColourIndex, 1);                        // popped again
  EXPECT_TRUE(window_stack.ColourStack.empty());
  CloseWindow();
  EXPECT_EQ(Screen(), before);
}

TEST_F(MessagePanelTest, LongTextWrapsAndTooTallTextIsRefused) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "paraula ";
  ASSERT_TRUE(ShowMessagePanel(12, text));  // 160 characters: 3 lines
  EXPECT_EQ(window_stack.WindowBottom - window_stack.WindowTop, 4);
  // The widest line (71 characters, the first) sets the sides, not the
  // short last one.
  EXPECT_EQ(window_stack.WindowLeft, 41 - 36 - 2);
  EXPECT_EQ(window_stack.WindowRight, 35 + 41 + 1);
  EXPECT_EQ(window_stack.WindowTop, 12 - 2 - 2);
  EXPECT_EQ(Row(window_stack.WindowTop + 1, window_stack.WindowLeft + 2, 7), "paraula");
  CloseWindow();

  std::string tall;
  for (int i = 0; i < 25 * 24; ++i) tall += "mot ";
  const std::string before = Screen();
  EXPECT_FALSE(ShowMessagePanel(24, tall));
  EXPECT_EQ(window_stack.WindowDepth, 0);
  EXPECT_TRUE(window_stack.ColourStack.empty());
  EXPECT_EQ(Screen(), before);

  // Low on the screen the panel is pushed up to end on the last row.
  ASSERT_TRUE(ShowMessagePanel(25, text));
  EXPECT_EQ(window_stack.WindowBottom, 25);
  EXPECT_EQ(window_stack.WindowTop, 21);
  CloseWindow();

  // An empty text still opens a (small) panel for the caller to close.
  ASSERT_TRUE(ShowMessagePanel(24, ""));
  EXPECT_EQ(window_stack.WindowDepth, 1);
  CloseWindow();
  EXPECT_FALSE(WindowFileExists());
}

TEST_F(MessagePanelTest, PanelWiderThanTheConsoleLeavesTheEnclosingWindowAlone) {
  screen_.Reopen({}, 40, 25);
  OpenWindow(2, 2, 24, 39);
  DrawFrame(2);
  PrintAt(5, 5, "dins");
  const std::string before = Screen();
  EXPECT_FALSE(ShowMessagePanel(24, "AVIS"));  // columns 37 to 44
  EXPECT_EQ(Screen(), before);
  EXPECT_EQ(window_stack.WindowDepth, 1);
  EXPECT_TRUE(window_stack.ColourStack.empty());
  CloseWindow();
  EXPECT_FALSE(WindowFileExists());
}

}  // namespace
}  // namespace ui
