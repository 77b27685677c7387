#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "env/session.h"
#include "files/locks.h"
#include "files/scratch_test.h"
#include "platform/console/console.h"
#include "ui/operator_wait.h"
#include "tests/support/headless_screen.h"

namespace files {
namespace {

namespace console = platform::console;

std::string seen_waiting;  // the screen at the first pause of a wait

void CaptureScreen(int) {
  if (seen_waiting.empty()) seen_waiting = console::DumpText();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class LockScreenTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    std::filesystem::create_directories(root_ + "/work");
    std::filesystem::create_directories(root_ + "/LOCKS");
    env::session.RootDir = root_ + "/";
    env::session.WorkDir = root_ + "/work/";
    env::session.LanguageCode = "CAT";
    lock_identity.LockHolder = 111;
    lock_identity.LockStation = "ESTACIO1       ";
    seen_waiting.clear();
    // Another terminal holds key "1".
    std::ofstream(root_ + "/LOCKS/TrasBanc.lck", std::ios::binary)
        << "ESTACIO2       222        " + std::to_string(MinutesNow()) + "K1 1" +
               std::string(39, ' ') + "1 1" + std::string(39, ' ') + "\r\n";
  }
};

TEST_F(LockScreenTest, TheWaitIsShownAtTheFootAndEscapeEndsItLeavingOtherKeysTyped) {
  ASSERT_EQ(std::filesystem::file_size(root_ + "/LOCKS/TrasBanc.lck"), 121u);
  // Keys typed while waiting do not end the wait, and no hot key opens a
  // pop-up; Escape ends it, and the other keys reach the program afterwards
  // in their order.
  qdeb::testing::HeadlessScreen screen("x\nM-x\nEsc\ny\n");
  console::SetHeadlessStarvedHandler([](int) { return false; });
  const std::string blank = console::DumpText();
  Hooks.wait = ui::ScreenWaitHooks();
  Hooks.wait.pause = CaptureScreen;
  EXPECT_EQ(AcquireLock("TrasBanc", "K", "1", "1").code(), env::Code::kCancelled);
  std::vector<int16_t> left;
  console::InputEvent event;
  while (console::ReadInput(&event, 0)) left.push_back(console::KeyCode(event.key));
  EXPECT_EQ(left, (std::vector<int16_t>{'x', 0x2D00, 'y'}));
  // In the message panel placed around row 24: rows 21 to 23, the text on 22.
  std::vector<std::string> rows = Lines(seen_waiting);
  ASSERT_GE(rows.size(), 25u);
  EXPECT_NE(rows[21].find("FITXER BLOQUEJAT. ESPEREU UN MOMENT."), std::string::npos)
      << seen_waiting;
  // The panel is gone, and the screen is as it was.
  EXPECT_EQ(console::DumpText(), blank);
  // Once the other lock is released, the lock is granted without a word.
  std::ofstream(root_ + "/LOCKS/TrasBanc.lck", std::ios::binary | std::ios::trunc);
  seen_waiting.clear();
  EXPECT_EQ(AcquireLock("TrasBanc", "K", "1", "1").code(), env::Code::kOk);
  EXPECT_TRUE(seen_waiting.empty());
  EXPECT_EQ(console::DumpText(), blank);
}

}  // namespace
}  // namespace files
