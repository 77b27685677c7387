#include "ui/keys.h"

#include <gtest/gtest.h>

#include "platform/console/console.h"
#include "ui/ui_test_support.h"
#include "util/little_endian.h"

namespace ui {
namespace {

namespace console = platform::console;
using testing::UiTest;

using KeyReaderTest = UiTest;

int16_t NextKey() {
  int16_t key = 0, button = 0, row = 0, column = 0;
  ReadKey(key, button, row, column);
  return key;
}

TEST_F(KeyReaderTest, NothingPendingGivesZeroWithoutWaiting) {
  int16_t key = 7, button = 7, row = 7, column = 7;
  ReadKey(key, button, row, column);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(button, 0);
  EXPECT_EQ(row, 0);
  EXPECT_EQ(column, 0);
}

TEST_F(KeyReaderTest, CharactersAndModifiedFunctionKeys) {
  Feed("a\nEnter\nEsc\nC-c\nS-Tab\nF1\nF10\nS-F1\nS-F10\nC-F1\nC-F10\nM-F1\nM-F10\n"
       "F11\nF12\nS-F11\nS-F12\nC-F11\nC-F12\nM-F11\nM-F12\n"
       "C-Left\nC-Right\nC-Home\nLeft\nHome\nM-e\nC-F4\nM-F4\nM-f\n");
  const int expected[] = {
      'a',    13,     27,     3,      0x0F00, 0x3B00, 0x4400, 0x5400,
      0x5D00, 0x5E00, 0x6700, 0x6800, 0x7100, 0x8500, 0x8600, 0x8700,
      0x8800, 0x8900, 0x8A00, 0x8B00, 0x8C00, 0x7300, 0x7400, 0x7700,
      0x4B00, 0x4700, 213,    0x6100, 0x6B00, 0x2100};
  for (int want : expected) {
    EXPECT_EQ(NextKey(), static_cast<int16_t>(want)) << std::hex << want;
  }
  EXPECT_EQ(NextKey(), 0);
}

TEST_F(KeyReaderTest, AltKeypadComposesACharacter) {
  Feed("M-KP1\nM-KP3\nM-KP0\nb\n");
  EXPECT_EQ(NextKey(), 130);
  EXPECT_EQ(NextKey(), 'b');  // the input that ended the number is kept
  Feed("M-KP2\nM-KP5\nM-KP7\n");
  EXPECT_EQ(NextKey(), 257 % 256);
  // Four digits and more: the whole number mod 256, leading zeros aside.
  Feed("M-KP1\nM-KP2\nM-KP3\nM-KP4\n");
  EXPECT_EQ(NextKey(), 1234 % 256);
  Feed("M-KP0\nM-KP0\nM-KP6\nM-KP5\n");
  EXPECT_EQ(NextKey(), 'A');
  Feed("M-KP9\nM-KP9\nM-KP9\nM-KP9\nM-KP9\nM-KP9\nM-KP9\n");
  EXPECT_EQ(NextKey(), 9999999 % 256);
  Feed("KP1\n");  // without Alt the keypad key is itself
  EXPECT_EQ(NextKey(), 0x4F00);
}

TEST_F(KeyReaderTest, ClicksGiveButtonAndPositionAndWaitKeyCodesThem) {
  Feed("click:5,10\nrclick:25,80\n");
  int16_t key = 0, button = 0, row = 0, column = 0;
  ReadKey(key, button, row, column);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(button, 1);
  EXPECT_EQ(row, 5);
  EXPECT_EQ(column, 10);
  EXPECT_FALSE(console::MouseEnabled());  // off again once a click was read
  WaitKey(key);
  EXPECT_EQ(key, static_cast<int16_t>(80 * 256 + 2 * 64 + 25));
  Feed("click:3,4\n");
  WaitKey(key);
  EXPECT_EQ(key, 4 * 256 + 64 + 3);
  // While nothing has come the console reports clicks.
  ReadKey(key, button, row, column);
  EXPECT_TRUE(console::MouseEnabled());

  // A press on a cell no click code can name hits nothing.
  Feed("click:5,100\n");
  ReadKey(key, button, row, column);
  EXPECT_EQ(button, 0);
  EXPECT_EQ(key, 0);
  // Clicks are the cells 1..99 by 1..99; negative keys are not clicks.
  EXPECT_EQ(ClickCode(1, 1), -101);
  EXPECT_EQ(ClickCode(99, 99), -9999);
  EXPECT_EQ(ClickCode(1, 100), 0);
  EXPECT_FALSE(IsClickCode(-100));  // row 0
  EXPECT_FALSE(IsClickCode(static_cast<int16_t>(0x8500)));
  // And back to the cell: row 7, column 42; a key gives no cell.
  int16_t cell_row = 0, cell_column = 0;
  EXPECT_TRUE(ClickCell(ClickCode(7, 42), &cell_row, &cell_column));
  EXPECT_EQ(cell_row, 7);
  EXPECT_EQ(cell_column, 42);
  EXPECT_FALSE(ClickCell(static_cast<int16_t>(0x8500), &cell_row, &cell_column));
  EXPECT_EQ(cell_row, 0);
}

TEST_F(KeyReaderTest, TypeAheadAndFlush) {
  keyboard.TypeAheadBuffer = "12";
  Feed("x\n");
  EXPECT_EQ(NextKey(), '1');
  EXPECT_EQ(NextKey(), '2');
  EXPECT_EQ(NextKey(), 'x');
  // The input read ahead to end a composition is dropped by a flush too
  // (a scripted console keeps its script: that is typed later).
  Feed("M-KP6\nM-KP5\nz\n");
  EXPECT_EQ(NextKey(), 'A');
  FlushKeyboard();
  EXPECT_EQ(NextKey(), 0);
}

TEST_F(KeyReaderTest, HotKeysRunTheirPopUpOnceAndStillReturnTheKey) {
  int calculator_calls = 0;
  Hooks.calculator = [&] {
    ++calculator_calls;
    // Alt+X inside the calculator does not open a second one.
    Feed("M-x\n");
    EXPECT_EQ(NextKey(), kKeyAltX);
    return std::string("4200");
  };
  Hooks.calendar = [] { return std::string("05/01/2024"); };
  Feed("M-x\n");
  EXPECT_EQ(NextKey(), kKeyAltX);
  EXPECT_EQ(calculator_calls, 1);
  EXPECT_EQ(keyboard.TypeAheadBuffer, "4200");
  keyboard.TypeAheadBuffer.clear();
  Feed("M-c\n");
  EXPECT_EQ(NextKey(), kKeyAltC);
  EXPECT_EQ(keyboard.TypeAheadBuffer, "05/01/2024");
  // Without a pop-up linked in the hot key is only a key.
  keyboard.TypeAheadBuffer.clear();
  Hooks.calculator = nullptr;
  Feed("M-x\n");
  EXPECT_EQ(NextKey(), kKeyAltX);
  EXPECT_TRUE(keyboard.TypeAheadBuffer.empty());
}

using KeySetTest = UiTest;

std::string Codes(std::initializer_list<uint16_t> codes) {
  std::string out;
  for (uint16_t c : codes) out += util::Le16(c);
  return out;
}

TEST_F(KeySetTest, AddTranslateDeleteEmpty) {
  SetKeySet("a", "d,1b,4F00=0d, 3b00 ,ffff");
  EXPECT_EQ(keyboard.KeySetCodes, Codes({0x0D, 0x1B, 0x4F00, 0x3B00, 0xFFFF}));
  EXPECT_EQ(keyboard.KeySetTranslations, Codes({0x0D, 0x1B, 0x0D, 0x3B00, 0xFFFF}));
  EXPECT_EQ(KeySetFind(0x4F00), 2);
  EXPECT_EQ(KeySetTranslation(2), 13);
  EXPECT_EQ(KeySetFind(-1), 4);
  EXPECT_EQ(KeySetFind(0x5000), -1);

  SetKeySet("A", "d=4800");  // no duplicate check: the first entry wins
  EXPECT_EQ(KeySetTranslation(KeySetFind(0x0D)), 13);

  // Only aligned entries count: 0x1B00 spans two entries here.
  EXPECT_EQ(KeySetFind(0x1B00), -1);
  SetKeySet("d", "1b00,4f00");
  EXPECT_EQ(keyboard.KeySetCodes, Codes({0x0D, 0x1B, 0x3B00, 0xFFFF, 0x0D}));
  EXPECT_EQ(keyboard.KeySetTranslations, Codes({0x0D, 0x1B, 0x3B00, 0xFFFF, 0x4800}));

  SetKeySet("a", "5000,");  // an empty item adds nothing
  EXPECT_EQ(keyboard.KeySetCodes.size(), 12u);
  SetKeySet("e", "");
  EXPECT_TRUE(keyboard.KeySetCodes.empty());
  EXPECT_TRUE(keyboard.KeySetTranslations.empty());
}

TEST_F(KeySetTest, OneSaveSlotAndTheMask) {
  SetKeySet("a", "d,1b");
  SetKeySet("+ea", "4800");
  EXPECT_EQ(keyboard.KeySetCodes, Codes({0x4800}));
  SetKeySet("+e", "");  // the slot is taken: not saved again
  SetKeySet("-", "");
  EXPECT_EQ(keyboard.KeySetCodes, Codes({0x0D, 0x1B}));
  SetKeySet("-e", "");  // nothing saved: "-" does nothing, "e" empties
  EXPECT_TRUE(keyboard.KeySetCodes.empty());
  EXPECT_FALSE(keyboard.KeySetSaved);

  SetKeySet("h", "");
  EXPECT_EQ(keyboard.MaskCharacter, 88);
  SetKeySet("xyz", "d");  // unknown letters are ignored
  EXPECT_EQ(keyboard.MaskCharacter, 88);
  EXPECT_TRUE(keyboard.KeySetCodes.empty());
  SetKeySet("V", "");
  EXPECT_EQ(keyboard.MaskCharacter, 0);
}

}  // namespace
}  // namespace ui
