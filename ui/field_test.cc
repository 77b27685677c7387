#include "ui/field.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <vector>

#include "platform/console/console.h"
#include "platform/console/keys.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "ui/ui_test_support.h"
#include "util/cp850.h"

namespace ui {
namespace {

namespace console = platform::console;

struct Edited {
  std::string text;
  int16_t position = 0;
  int16_t key = 0;
};

// What the editor showed each time it waited for a key.
struct CursorSeen {
  int row = 0;  // 1-based, absolute
  int column = 0;
  bool visible = false;
  int size = 0;
};

class FieldTest : public testing::UiTest {
 protected:
  Edited Edit(std::string text, int16_t width, int16_t position, std::string_view script,
              int16_t row = 5, int16_t column = 10) {
    Feed(script);
    int16_t key = 0;
    EditField(row, column, width, text, position, key);
    EXPECT_EQ(console::HeadlessPending(), 0u) << "keys left over";
    return {text, position, key};
  }

  // Runs the editor feeding one step of keys each time it waits, and notes
  // where the cursor was at each wait.
  Edited EditInSteps(std::string text, int16_t width, int16_t position,
                     std::deque<std::string> steps, int16_t row = 5, int16_t column = 10) {
    console::SetHeadlessStarvedHandler([this, &steps](int) {
      seen_.push_back({console::CursorRow() + 1, console::CursorColumn() + 1,
                       console::CursorVisible(), console::CursorSize()});
      if (steps.empty()) return false;
      Feed(steps.front());
      steps.pop_front();
      return true;
    });
    int16_t key = 0;
    EditField(row, column, width, text, position, key);
    console::SetHeadlessStarvedHandler(nullptr);
    return {text, position, key};
  }

  std::vector<CursorSeen> seen_;
};

TEST_F(FieldTest, OneRowFieldCursorAndEnd) {
  // Ten characters with width 0: one row of eleven cells.
  const Edited e = EditInSteps("ABC       ", 0, 11, {"Home", "End", "Enter"});
  EXPECT_EQ(e.key, 13);
  EXPECT_EQ(e.position, 4);
  ASSERT_EQ(seen_.size(), 3u);
  EXPECT_EQ(seen_[0].row, 5);
  EXPECT_EQ(seen_[0].column, 20);  // the eleventh cell, still on the row
  EXPECT_EQ(seen_[1].column, 10);
  EXPECT_EQ(seen_[2].column, 13);  // after the last non-blank
  EXPECT_TRUE(seen_[2].visible);
  EXPECT_EQ(Row(5, 10, 10), "ABC       ");
  EXPECT_EQ(console::GetCell(4, 9).attr, 0x30);  // drawn in pair 4
  // On leaving: pair 0, cursor at the field's start.
  EXPECT_EQ(window_stack.ColourIndex, 0);
  EXPECT_EQ(console::CursorRow(), 4);
  EXPECT_EQ(console::CursorColumn(), 9);
}

TEST_F(FieldTest, MultiRowFieldMovesByRowsAndEndsAtItsEdges) {
  const std::string text = "abcdefghijklmnopqrst";
  Edited e = Edit(text, 10, 3, "Down\nDown\n");
  EXPECT_EQ(e.key, 0x5000);
  EXPECT_EQ(e.position, 13);
  EXPECT_EQ(Row(5, 10, 10), "abcdefghij");
  EXPECT_EQ(Row(6, 10, 10), "klmnopqrst");

  e = Edit(text, 10, 13, "Up\nS-Tab\n");  // Shift+Tab ends as Up
  EXPECT_EQ(e.key, 0x4800);
  EXPECT_EQ(e.position, 3);

  // At the end of a full last row the cursor waits after its last cell.
  e = EditInSteps(text, 10, 21, {"Left", "Enter"});
  EXPECT_EQ(seen_[0].row, 6);
  EXPECT_EQ(seen_[0].column, 20);
  EXPECT_EQ(seen_[1].row, 6);
  EXPECT_EQ(seen_[1].column, 19);
  EXPECT_EQ(e.position, 20);
}

TEST_F(FieldTest, InsertAndOverwriteTyping) {
  console::SetInsertMode(false);
  Edited e = Edit("hello", 0, 1, "text:HE\nEnd\nx\nEnter\n");
  EXPECT_EQ(e.text, "HEllo");  // past the end a character is ignored
  EXPECT_EQ(e.position, 6);
  EXPECT_EQ(Row(5, 10, 5), "HEllo");

  console::SetInsertMode(true);
  e = Edit("ABCDE", 0, 2, "x\nEnter\n");  // no blank at the end: ignored
  EXPECT_EQ(e.text, "ABCDE");
  EXPECT_EQ(e.position, 2);
  e = Edit("AB  ", 0, 1, "x\ny\nz\nEnter\n");
  EXPECT_EQ(e.text, "xyAB");  // the third has no room left
  EXPECT_EQ(e.position, 3);
  EXPECT_EQ(Row(5, 10, 4), "xyAB");

  // Insert toggles the keyboard's mode and the cursor's size.
  e = EditInSteps("ab  ", 0, 1, {"Insert", "Z", "Insert", "Enter"});
  EXPECT_EQ(e.text, "Zb  ");
  EXPECT_EQ(seen_[0].size, 50);
  EXPECT_EQ(seen_[1].size, 99);
  EXPECT_EQ(seen_[3].size, 50);
  EXPECT_TRUE(console::InsertMode());
}

TEST_F(FieldTest, DeletingAndClearing) {
  Edited e = Edit("abcdef", 0, 4, "BSpace\nDelete\nEnter\n");
  EXPECT_EQ(e.text, "abef  ");
  EXPECT_EQ(e.position, 3);
  EXPECT_EQ(Row(5, 10, 6), "abef  ");
  e = Edit("abc", 0, 1, "BSpace\nEnd\nRight\nDelete\nEnter\n");
  EXPECT_EQ(e.text, "abc");  // nothing before 1, nothing at the end
  EXPECT_EQ(e.position, 4);
  e = Edit("abc", 0, 3, "C-y\nEnter\n");
  EXPECT_EQ(e.text, "   ");
  EXPECT_EQ(e.position, 1);
  e = Edit("abc", 0, 3, "C-Home\nEnter\n");
  EXPECT_EQ(e.text, "   ");
  EXPECT_EQ(Row(5, 10, 3), "   ");
}

TEST_F(FieldTest, WordMovement) {
  Edited e = Edit("ab cd", 0, 6, "C-Left\nEnter\n");
  EXPECT_EQ(e.position, 4);
  e = Edit("ab cd", 0, 4, "C-Left\nEnter\n");
  EXPECT_EQ(e.position, 1);
  e = Edit("ab cd", 0, 1, "C-Left\n");  // at the start it ends the entry
  EXPECT_EQ(e.key, 0x7300);
  e = Edit(" ab", 0, 4, "C-Left\nEnter\n");
  EXPECT_EQ(e.position, 2);

  e = Edit("ab cd", 0, 1, "C-Right\nEnter\n");
  EXPECT_EQ(e.position, 4);
  e = Edit("ab cd", 0, 4, "C-Right\nEnter\n");
  EXPECT_EQ(e.position, 6);
  e = Edit("ab cd", 0, 6, "C-Right\n");
  EXPECT_EQ(e.key, 0x7400);
  e = Edit("ab,.;:cd", 0, 1, "C-Right\nEnter\n");
  EXPECT_EQ(e.position, 7);
  e = Edit("ab,.;:cd", 0, 7, "C-Left\nEnter\n");
  EXPECT_EQ(e.position, 1);
}

TEST_F(FieldTest, KeySetDecidesWhichKeysEndAndWhatTheyBecome) {
  SetKeySet("a", "d,1b");
  Edited e = Edit("ab", 0, 1, "F1\nUp\nZ\nEnter\n");
  EXPECT_EQ(e.text, "Zb");  // F1 and Up were dropped, editing went on
  EXPECT_EQ(e.key, 13);
  e = Edit("ab", 0, 1, "Tab\n");
  EXPECT_EQ(e.key, 13);
  e = Edit("ab", 0, 1, "click:1,1\n");  // a click elsewhere still ends
  EXPECT_EQ(e.key, -101);

  SetKeySet("e", "");
  SetKeySet("a", "d,4f00");
  e = Edit("ab", 0, 1, "End\nEnter\n");  // End moves; Enter is reported as End
  EXPECT_EQ(e.position, 3);
  EXPECT_EQ(e.key, 0x4F00);
  e = Edit("ab", 0, 1, "Tab\n");  // an Enter made from Tab stays Enter
  EXPECT_EQ(e.key, 13);

  SetKeySet("e", "");
  SetKeySet("a", "4f00=0d");
  e = Edit("ab", 0, 1, "Enter\n");
  EXPECT_EQ(e.key, 13);

  SetKeySet("e", "");
  e = Edit("ab", 0, 1, "C-F4\n");
  EXPECT_EQ(e.key, 27);
  e = Edit("ab", 0, 1, "M-F4\n");
  EXPECT_EQ(e.key, 27);
  e = Edit("ab", 0, 1, "F1\n");
  EXPECT_EQ(e.key, 0x3B00);
}

// Every key event the console's back ends build: each function key, grey
// cursor key, keypad key and character, with every set of modifiers held.
std::vector<console::KeyEvent> EveryKeyEvent() {
  namespace keys = console::internal;
  using keys::Nav;
  std::vector<console::KeyEvent> events;
  for (int m = 0; m < 16; ++m) {
    const auto modifiers = static_cast<uint8_t>(m);
    for (int f = 1; f <= 12; ++f) events.push_back(keys::FunctionKey(f, modifiers));
    for (int n = static_cast<int>(Nav::kHome); n <= static_cast<int>(Nav::kDelete); ++n) {
      events.push_back(keys::NavKey(static_cast<Nav>(n), modifiers));
      events.push_back(keys::KeypadKey(static_cast<Nav>(n), modifiers));
    }
    for (int c = 1; c <= 255; ++c) events.push_back(keys::CharKey(static_cast<uint8_t>(c), modifiers));
    events.push_back(keys::ShiftTab(modifiers));
  }
  return events;
}

TEST_F(FieldTest, EveryExtendedKeyOutsideTheKeySetIsDroppedAndAClickStillEnds) {
  SetKeySet("a", "d");  // Enter only: no extended key is in the set
  const int16_t click = -(100 * 80 + 25);
  auto push = [](const console::KeyEvent& key) {
    console::InputEvent event;
    event.kind = console::InputEvent::kKey;
    event.key = key;
    console::HeadlessPush(event);
    console::InputEvent press;  // at the last cell, outside the field
    press.kind = console::InputEvent::kMouse;
    press.mouse.row = 24;
    press.mouse.column = 79;
    press.mouse.buttons = 1;
    console::HeadlessPush(press);
  };
  const bool insert = console::InsertMode();
  std::set<int16_t> tried;
  for (const console::KeyEvent& key : EveryKeyEvent()) {
    // The code the key reader makes of the event (the click behind it ends
    // a composition on the keypad).
    push(key);
    int16_t code = 0, button = 0, row = 0, column = 0;
    ReadKeyWaiting(code, button, row, column);
    if (button == 0) {
      int16_t after = 0;
      ReadKeyWaiting(after, button, row, column);
    }
    ASSERT_NE(button, 0) << console::KeyName(key);
    const bool extended = code != 0 && (static_cast<uint16_t>(code) & 0xFF) == 0;
    if (!extended || !tried.insert(code).second) continue;

    push(key);
    std::string text = "abc ";
    int16_t position = 2, ended = 0;
    EditField(5, 10, 0, text, position, ended);
    EXPECT_EQ(ended, click) << console::KeyName(key) << std::hex << " code "
                            << static_cast<uint16_t>(code);
    ASSERT_EQ(console::HeadlessPending(), 0u) << console::KeyName(key);
  }
  // The enumeration reached the codes that are negative as 16 bits.
  EXPECT_TRUE(tried.count(static_cast<int16_t>(0x8500)) && tried.count(static_cast<int16_t>(0x8C00)) &&
              tried.count(static_cast<int16_t>(0xA300)));
  console::SetInsertMode(insert);
}

TEST_F(FieldTest, ClipboardCopyAndPaste) {
  Edited e = Edit("  hola  ", 0, 1, "C-c\nEnter\n");
  EXPECT_EQ(console::Clipboard(), "hola");

  console::SetClipboard("  A\r\nB\x7f\xff\tC  ");
  e = Edit("........", 0, 3, "C-v\nEnter\n");
  EXPECT_EQ(e.text, "..ABC...");
  EXPECT_EQ(e.position, 3);
  EXPECT_EQ(Row(5, 10, 8), "..ABC...");

  console::SetClipboard("XYZ");
  e = Edit("abcd", 0, 3, "C-v\nEnter\n");
  EXPECT_EQ(e.text, "abXY");  // cut at the end of the field

  console::SetClipboard("\r\n");
  e = Edit("abcd", 0, 1, "C-v\nEnter\n");
  EXPECT_EQ(e.text, "abcd");
}

TEST_F(FieldTest, HiddenFieldShowsTheMaskAndKeepsItOffTheClipboard) {
  SetKeySet("h", "");
  console::SetInsertMode(false);
  console::SetClipboard("keep");
  const Edited e = Edit("        ", 0, 1, "text:clau\nC-c\nEnter\n");
  EXPECT_EQ(e.text, "clau    ");
  EXPECT_EQ(Row(5, 10, 8), "XXXXXXXX");
  EXPECT_EQ(console::Clipboard(), "keep");

  // A value shown before the entry is covered to its last cell, also when
  // the width is the text's own length and the field takes two rows.
  PrintAt(7, 10, "secretpass");
  PrintAt(8, 10, "word");
  const Edited rows = Edit("secretpassword", 10, 1, "Enter\n", 7, 10);
  EXPECT_EQ(rows.text, "secretpassword");
  EXPECT_EQ(Row(7, 10, 10), "XXXXXXXXXX");
  EXPECT_EQ(Row(8, 10, 4), "XXXX");
  SetKeySet("v", "");
}

TEST_F(FieldTest, ChoiceFieldCyclesMatchesAndStoresTheCode) {
  SetChoiceList(util::Cp850("|1,Un|2,Dos|3,Tres|4,Àvila"));
  const Edited e = EditInSteps("2", 0, 1, {"Right", "Space", "Right", "Left", "t", "a",
                                           "a", "BSpace", "C-c", "Enter"});
  EXPECT_EQ(e.key, 13);
  EXPECT_EQ(e.text, "4");
  EXPECT_EQ(console::Clipboard(), util::Cp850("Àvila"));
  ASSERT_GE(seen_.size(), 2u);
  EXPECT_FALSE(seen_[0].visible);  // no cursor in a choice field
  EXPECT_EQ(Row(5, 10, 5), util::Cp850("Àvila"));
  // The arrows are gone once the entry is over.
  EXPECT_EQ(Row(5, 9, 1), " ");
  EXPECT_EQ(Row(5, 15, 1), " ");
}

TEST_F(FieldTest, ChoiceFieldShowsArrowsAndTakesClicksOnThem) {
  SetChoiceList("|S,Si|N,No");
  const Edited e = EditInSteps("X", 0, 1, {"click:5,12", "click:5,9", "click:5,10",
                                           "click:5,9", "click:7,7"});
  ASSERT_GE(seen_.size(), 1u);
  EXPECT_EQ(e.key, -(100 * 7 + 7));
  // Right, Left, nothing between the arrows, Left round to the last.
  EXPECT_EQ(e.text, "N");
}

TEST_F(FieldTest, ClicksInsideMoveTheCursorAndOutsideEndTheEntry) {
  const std::string text = "abcdefghijklmnopqrst";
  Edited e = Edit(text, 10, 1, "click:6,13\nEnter\n");
  EXPECT_EQ(e.position, 15);  // the cell clicked is 14, then as Right
  e = Edit(text, 10, 1, "click:1,1\n");
  EXPECT_EQ(e.key, -101);
  EXPECT_EQ(e.position, 1);

  OpenWindow(3, 5, 20, 60);
  e = Edit("abcdef", 0, 4, "click:5,8\nEnter\n", 2, 3);  // absolute (5, 8)
  EXPECT_EQ(e.position, 2);
  EXPECT_EQ(Row(5, 8, 6), "abcdef");
  CloseWindow();
}

TEST_F(FieldTest, RowAndColumnZeroMeanTheCursor) {
  OpenWindow(3, 5, 20, 60);
  LocateInWindow(4, 6);
  const Edited e = Edit("xyz", 0, 1, "Enter\n", 0, 0);
  EXPECT_EQ(e.key, 13);
  EXPECT_EQ(Row(7, 11, 3), "xyz");
  CloseWindow();
}

TEST_F(FieldTest, CalculatorResultArrivesAsTypedCharacters) {
  Hooks.calculator = [] { return std::string("42"); };
  SetKeySet("a", "d");
  console::SetInsertMode(false);
  const Edited e = Edit("     ", 0, 1, "M-x\nEnter\n");
  EXPECT_EQ(e.text, "42   ");
  EXPECT_EQ(e.key, 13);
}

}  // namespace
}  // namespace ui
