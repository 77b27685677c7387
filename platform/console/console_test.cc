#include "platform/console/console.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>

#include "platform/console/reset.h"
#include "tests/support/scoped.h"
#include "tests/support/scratch_dir.h"
#include "util/cp850.h"

namespace platform::console {
namespace {

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(OpenHeadless({}, 20, 5)); }
  void TearDown() override { ResetConsole(); }
  static std::string RowText(int row) {
    std::string out;
    for (int c = 0; c < Columns(); ++c) out += GetCell(row, c).ch;
    return out;
  }
};

TEST_F(ConsoleTest, BufferStartsBlankAndOutOfRangeIsHarmless) {
  EXPECT_EQ(Rows(), 5);
  EXPECT_EQ(Columns(), 20);
  Cell c = GetCell(4, 19);
  EXPECT_EQ(c.ch, ' ');
  EXPECT_EQ(c.attr, 0x07);
  PutCell(-1, 0, Cell{'X', 0x1F});
  PutCell(0, 20, Cell{'X', 0x1F});
  PutCell(5, 0, Cell{'X', 0x1F});
  for (int r = 0; r < 5; ++r) EXPECT_EQ(RowText(r), std::string(20, ' '));
  Cell outside = GetCell(99, -3);
  EXPECT_EQ(outside.ch, ' ');
  EXPECT_EQ(outside.attr, 0x07);
}

TEST_F(ConsoleTest, WriteTextClipsAtBothEdgesWithoutWrapping) {
  WriteText(1, 17, "ABCDEF", 0x1E);
  EXPECT_EQ(RowText(1), std::string(17, ' ') + "ABC");
  EXPECT_EQ(RowText(2), std::string(20, ' '));
  EXPECT_EQ(GetCell(1, 18).attr, 0x1E);
  WriteText(0, -2, "xyZW", 0x70);
  EXPECT_EQ(RowText(0).substr(0, 3), "ZW ");
  WriteText(7, 0, "never", 0x70);   // no such row
  WriteText(2, INT_MIN, "never", 0x70);
  WriteText(2, INT_MAX, "never", 0x70);
  EXPECT_EQ(RowText(2), std::string(20, ' '));
  SetCursor(2, 3);
  WriteText(3, 0, "cursor stays", 0x07);
  EXPECT_EQ(CursorRow(), 2);
  EXPECT_EQ(CursorColumn(), 3);
}

TEST_F(ConsoleTest, ScrollMovesOnlyTheRectangleAndFills) {
  for (int r = 0; r < 5; ++r) WriteText(r, 0, std::string(20, static_cast<char>('a' + r)), 0x07);
  Scroll(1, 2, 3, 5, 1, 0x4F);
  EXPECT_EQ(RowText(0), std::string(20, 'a'));
  EXPECT_EQ(RowText(1), "bbccccbbbbbbbbbbbbbb");
  EXPECT_EQ(RowText(2), "ccddddcccccccccccccc");
  EXPECT_EQ(RowText(3), "dd    dddddddddddddd");
  EXPECT_EQ(GetCell(3, 2).attr, 0x4F);
  EXPECT_EQ(GetCell(3, 6).attr, 0x07);
  Scroll(0, 0, 4, 19, -2, 0x07);
  EXPECT_EQ(RowText(0), std::string(20, ' '));
  EXPECT_EQ(RowText(1), std::string(20, ' '));
  EXPECT_EQ(RowText(2), std::string(20, 'a'));
}

TEST_F(ConsoleTest, ScrollClipsToTheBufferAndClearsWhenCountExceedsHeight) {
  for (int r = 0; r < 5; ++r) WriteText(r, 0, std::string(20, static_cast<char>('a' + r)), 0x07);
  Scroll(-5, -5, 50, 50, 1, 0x07);  // whole screen, clipped
  EXPECT_EQ(RowText(0), std::string(20, 'b'));
  EXPECT_EQ(RowText(3), std::string(20, 'e'));
  EXPECT_EQ(RowText(4), std::string(20, ' '));
  Scroll(0, 0, 4, 19, 40, 0x17);
  Scroll(0, 0, 4, 19, -40, 0x17);
  for (int r = 0; r < 5; ++r) EXPECT_EQ(RowText(r), std::string(20, ' '));
  EXPECT_EQ(GetCell(0, 0).attr, 0x17);
  Scroll(3, 0, 1, 19, 1, 0x70);  // top below bottom: nothing
  EXPECT_EQ(GetCell(2, 0).attr, 0x17);
}

TEST_F(ConsoleTest, CursorAndKeyboardState) {
  SetCursor(100, -4);
  EXPECT_EQ(CursorRow(), 4);
  EXPECT_EQ(CursorColumn(), 0);
  SetCursorShape(false, 250);
  EXPECT_FALSE(CursorVisible());
  EXPECT_EQ(CursorSize(), 100);
  SetCursorShape(true, 0);
  EXPECT_EQ(CursorSize(), 1);
  SetCurrentAttribute(0x4E);
  EXPECT_EQ(CurrentAttribute(), 0x4E);
  EXPECT_FALSE(InsertMode());
  SetInsertMode(true);
  EXPECT_TRUE(InsertMode());
  SetClipboard(util::Cp850("García"));
  EXPECT_EQ(Clipboard(), util::Cp850("García"));
}

TEST_F(ConsoleTest, ReadInputDeliversTheScriptInOrderWithModifiers) {
  ASSERT_TRUE(HeadlessFeed("S-F1\nM-x\nclick:3,10\n"));
  EXPECT_TRUE(PendingInput());
  InputEvent e;
  ASSERT_TRUE(ReadInput(&e, 0));
  EXPECT_EQ(KeyCode(e.key), 0x5400);
  EXPECT_EQ(ModifierState(), kShift);
  ASSERT_TRUE(ReadInput(&e, 0));
  EXPECT_EQ(KeyCode(e.key), 0x2D00);
  EXPECT_EQ(ModifierState(), kLeftAlt);
  ASSERT_TRUE(ReadInput(&e, -1));
  EXPECT_EQ(e.kind, InputEvent::kMouse);
  EXPECT_EQ(e.mouse.row, 2);
  EXPECT_EQ(e.mouse.column, 9);
  EXPECT_EQ(e.mouse.buttons, 1);
  EXPECT_FALSE(PendingInput());
}

TEST_F(ConsoleTest, StarvedHandlerFeedsOrDeclines) {
  int calls = 0;
  SetHeadlessStarvedHandler([&](int timeout) {
    ++calls;
    EXPECT_EQ(timeout, -1);
    return calls == 1 && HeadlessFeed("Enter");
  });
  InputEvent e;
  ASSERT_TRUE(ReadInput(&e, -1));
  EXPECT_EQ(KeyCode(e.key), 13);
  EXPECT_FALSE(ReadInput(&e, -1));  // declined: no exit, no hang
  EXPECT_EQ(calls, 2);
  // A handler that says it fed and did not must not spin for ever.
  SetHeadlessStarvedHandler([](int) { return true; });
  EXPECT_FALSE(ReadInput(&e, 100));
}

// Each timed wait that finds nothing counts towards the idle limit only
// until new input is fed; short dry spells between feeds never add up.
TEST_F(ConsoleTest, InputFedInProcessEndsTheDrySpell) {
  SetHeadlessRanOutHandler([] { ADD_FAILURE() << "ran out"; });
  InputEvent e;
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(HeadlessFeed("a"));
    EXPECT_TRUE(ReadInput(&e, 0));
    EXPECT_FALSE(ReadInput(&e, 1500));
    HeadlessPush(e);
    EXPECT_TRUE(ReadInput(&e, 0));
    EXPECT_FALSE(ReadInput(&e, 1500));
  }
  EXPECT_FALSE(HeadlessRanOut());
}

// Closed and forgotten: the buffer, keyboard, clipboard, handlers and beeps
// are as at start-up, and a headless run leaves its dump on the way.
TEST_F(ConsoleTest, ResetClosesAndForgetsEverything) {
  qdeb::testing::ScratchDir dir("console_test");
  qdeb::testing::ScopedEnvironment env("KITCONSOLE_DUMP", dir.Host("screen.txt"));
  ASSERT_TRUE(OpenHeadless("a", 20, 5));
  WriteText(0, 0, "kept", 0x1E);
  SetClipboard("clip");
  SetInsertMode(true);
  SetCursor(3, 4);
  Beep();
  int ran_out = 0;
  SetHeadlessRanOutHandler([&] { ++ran_out; });
  SetHeadlessStarvedHandler([](int) { return false; });
  ResetConsole();
  EXPECT_FALSE(IsOpen());
  EXPECT_EQ(dir.Get("screen.txt").substr(0, 4), "kept");
  EXPECT_EQ(Rows(), 25);
  EXPECT_EQ(Columns(), 80);
  EXPECT_EQ(GetCell(0, 0).ch, ' ');
  EXPECT_EQ(Clipboard(), "");
  EXPECT_FALSE(InsertMode());
  EXPECT_EQ(CursorRow(), 0);
  EXPECT_EQ(HeadlessBeeps(), 0);
  EXPECT_EQ(HeadlessPending(), 0u);
  ASSERT_TRUE(OpenHeadless({}, 20, 5));
  InputEvent e;
  ASSERT_TRUE(ReadInput(&e, -1));  // neither handler is there any more
  EXPECT_EQ(KeyCode(e.key), 27);
  EXPECT_EQ(ran_out, 0);
}

TEST_F(ConsoleTest, FlushKeepsTheScriptAndBeepsAreCounted) {
  ASSERT_TRUE(HeadlessFeed("a\nb"));
  FlushInput();
  EXPECT_EQ(HeadlessPending(), 2u);
  Beep();
  Beep();
  EXPECT_EQ(HeadlessBeeps(), 2);
}

TEST_F(ConsoleTest, DumpsShowGlyphsAndAttributes) {
  ASSERT_TRUE(OpenHeadless({}, 4, 2));
  WriteText(0, 0, std::string("\x01\xC9\x00", 3) + "A", 0x1F);
  PutCell(1, 3, Cell{static_cast<char>(0xF0), 0xA0});
  EXPECT_EQ(DumpText(), "☺╔ A\n   -\n");
  EXPECT_EQ(DumpAttributes(), "1f1f1f1f\n070707a0\n");
}

TEST(ConsoleDump, AllBytesShowAsOneGlyphEach) {
  ASSERT_TRUE(OpenHeadless({}, 16, 16));
  for (int b = 0; b < 256; ++b) PutCell(b / 16, b % 16, Cell{static_cast<char>(b), 0x07});
  std::string dump = DumpText();
  // Every cell is one character of valid UTF-8, never a control character.
  size_t i = 0;
  int characters = 0, lines = 0;
  while (i < dump.size()) {
    unsigned char lead = static_cast<unsigned char>(dump[i]);
    if (lead == '\n') {
      ++lines;
      ++i;
      continue;
    }
    ASSERT_TRUE(lead >= 0x20 && lead != 0x7F) << "control byte at " << i;
    int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    ASSERT_NE(lead & 0xC0, 0x80) << "stray continuation byte at " << i;
    for (int k = 1; k < length; ++k) {
      ASSERT_LT(i + static_cast<size_t>(k), dump.size());
      ASSERT_EQ(static_cast<unsigned char>(dump[i + static_cast<size_t>(k)]) & 0xC0, 0x80);
    }
    i += static_cast<size_t>(length);
    ++characters;
  }
  EXPECT_EQ(lines, 16);
  EXPECT_EQ(characters, 256);
  // Printable bytes round-trip through the code page tables.
  std::string first_line = dump.substr(0, dump.find('\n'));
  EXPECT_EQ(first_line.substr(0, 1), " ");  // byte 0 is a blank
  EXPECT_NE(dump.find("⌂"), std::string::npos);
  EXPECT_NE(dump.find("ÿ"), std::string::npos);
  Close();
}

TEST(ConsoleOpen, HeadlessSizeLimits) {
  std::string error;
  EXPECT_FALSE(OpenHeadless({}, 100, 25, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(OpenHeadless({}, 99, 99));
  EXPECT_EQ(Rows(), 99);
  EXPECT_FALSE(OpenHeadless("F13", 80, 25, &error));
  EXPECT_EQ(error, "line 1: unknown key \"F13\"");
  Close();
  EXPECT_FALSE(IsOpen());
}

}  // namespace
}  // namespace platform::console

namespace platform::console {
namespace {

class ScriptedRun : public ::testing::Test {
 protected:
  ScriptedRun() {
    env_.Set("KITCONSOLE_DUMP", dump_);
    env_.Set("KITCONSOLE_SIZE", "10x3");
    env_.Set("KITCONSOLE", "headless:" + script_);
    env_.Clear("KITCONSOLE_IDLE_MS");
  }
  ~ScriptedRun() override { ResetConsole(); }
  void WriteScript(const std::string& text) { dir_.Put("keys.txt", text); }
  // Opens on the script and counts the calls of the ran-out handler.
  void OpenCounting(const std::string& script) {
    WriteScript(script);
    ASSERT_TRUE(Open());
    SetHeadlessRanOutHandler([this] {
      ++ran_out_;
      dumped_ = dir_.Get("screen.txt");
    });
  }

  qdeb::testing::ScratchDir dir_{"console_test"};
  std::string script_ = dir_.Host("keys.txt");
  std::string dump_ = dir_.Host("screen.txt");
  qdeb::testing::ScopedEnvironment env_;
  int ran_out_ = 0;
  std::string dumped_;  // the screen dump when the handler was called
};

TEST_F(ScriptedRun, OpensFromTheEnvironmentAndDumpsAtClose) {
  WriteScript("F1\n");
  std::string error;
  ASSERT_TRUE(Open(&error)) << error;
  EXPECT_TRUE(Open());  // twice is harmless
  EXPECT_EQ(Columns(), 10);
  EXPECT_EQ(Rows(), 3);
  WriteText(1, 0, util::Cp850("Dalí"), 0x1E);
  Close();
  EXPECT_EQ(dir_.Get("screen.txt"), "          \nDalí      \n          \n");
  EXPECT_EQ(dir_.Get("screen.txt.attr"),
            "07070707070707070707\n1e1e1e1e070707070707\n07070707070707070707\n");
}

TEST_F(ScriptedRun, BadScriptOrSizeFallsBackOrFailsClearly) {
  WriteScript("F1\nHyper\n");
  std::string error;
  EXPECT_FALSE(Open(&error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  env_.Set("KITCONSOLE", "headless:" + script_ + ".none");
  EXPECT_FALSE(Open(&error));
  EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
  // An unusable size gives the classic 80 x 25.
  WriteScript("");
  env_.Set("KITCONSOLE", "headless:" + script_);
  for (const char* size : {"100x25", "80x0", "80", "x25", "80x25x", "-5x10"}) {
    env_.Set("KITCONSOLE_SIZE", size);
    ASSERT_TRUE(Open());
    EXPECT_EQ(Columns(), 80) << size;
    EXPECT_EQ(Rows(), 25) << size;
    Close();
  }
}

// Waiting after the script has ended calls the program's handler once, with
// the screen dumped, and gives Escape from then on until new keys come.
TEST_F(ScriptedRun, WaitingAfterTheScriptEndsCallsTheHandlerAndGivesEscape) {
  OpenCounting("text:ok\n");
  InputEvent e;
  ASSERT_TRUE(ReadInput(&e, -1));
  ASSERT_TRUE(ReadInput(&e, -1));
  EXPECT_EQ(KeyCode(e.key), 'k');
  EXPECT_FALSE(HeadlessRanOut());
  WriteText(0, 0, "END", 0x07);
  ASSERT_TRUE(ReadInput(&e, -1));
  EXPECT_EQ(KeyCode(e.key), 27);
  EXPECT_EQ(ran_out_, 1);
  EXPECT_EQ(dumped_.substr(0, 3), "END");
  EXPECT_TRUE(HeadlessRanOut());
  ASSERT_TRUE(ReadInput(&e, 0));
  EXPECT_EQ(KeyCode(e.key), 27);
  EXPECT_EQ(ran_out_, 1);
  // New keys end the dry spell; running out again is told again.
  ASSERT_TRUE(HeadlessFeed("a"));
  ASSERT_TRUE(ReadInput(&e, -1));
  EXPECT_EQ(KeyCode(e.key), 'a');
  ASSERT_TRUE(ReadInput(&e, -1));
  EXPECT_EQ(KeyCode(e.key), 27);
  EXPECT_EQ(ran_out_, 2);
  // Without a handler the run goes on all the same.
  SetHeadlessRanOutHandler({});
  ASSERT_TRUE(HeadlessFeed("b"));
  ASSERT_TRUE(ReadInput(&e, -1));
  ASSERT_TRUE(ReadInput(&e, -1));
  EXPECT_EQ(KeyCode(e.key), 27);
  // A console opened again starts with a script that has not run out.
  ASSERT_TRUE(OpenHeadless("x"));
  EXPECT_FALSE(HeadlessRanOut());
}

// Polling with short timeouts is waiting for ever just the same: the timed
// waits run out once they add up to the idle limit (2000 ms).
TEST_F(ScriptedRun, TimedWaitsRunOutWhenTheyAddUpToTheIdleLimit) {
  OpenCounting("");
  InputEvent e;
  int empty_reads = 0;
  while (!ReadInput(&e, 200)) ++empty_reads;
  EXPECT_EQ(empty_reads, 9);
  EXPECT_EQ(KeyCode(e.key), 27);
  EXPECT_EQ(ran_out_, 1);
}

// A program at work that looks at the keyboard now and then goes on; one
// that does nothing else for 15 times the limit is spinning.
TEST_F(ScriptedRun, PollsRunOutOnlyWhenTheyGoOnFarLongerThanTheLimit) {
  env_.Set("KITCONSOLE_IDLE_MS", "100");
  OpenCounting("");
  InputEvent e;
  for (int i = 0; i < 50; ++i) {
    EXPECT_FALSE(ReadInput(&e, 0));
    usleep(10 * 1000);
  }
  EXPECT_EQ(ran_out_, 0);
  while (!ReadInput(&e, 0)) {
  }
  EXPECT_EQ(KeyCode(e.key), 27);
  EXPECT_EQ(ran_out_, 1);
}

}  // namespace
}  // namespace platform::console
