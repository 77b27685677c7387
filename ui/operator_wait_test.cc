#include "ui/operator_wait.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/console/console.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "ui/ui_test_support.h"

namespace ui {
namespace {

namespace console = platform::console;

using OperatorWaitTest = testing::UiTest;

// The operator types while a lock is waited for: only Escape is taken, the
// rest (hot keys included) stays for the program, in order.
TEST_F(OperatorWaitTest, EscapeEndsTheWaitAndEveryOtherKeyStaysQueued) {
  Feed("a\nM-x\nF12\nEsc\nb\n");
  // The queue is read to its end below: an empty queue is no failure here.
  console::SetHeadlessStarvedHandler([](int) { return false; });
  WaitHooks hooks = ScreenWaitHooks();
  std::vector<int> steps;
  hooks.pause = [&steps](int ms) { steps.push_back(ms); };
  {
    OperatorWait wait(hooks, 24, "ESPEREU");
    wait.Tell();
    wait.Tell();
    EXPECT_EQ(window_stack.WindowDepth, 1);  // one panel, however often told
    EXPECT_FALSE(wait.Pause(1000));
  }
  EXPECT_EQ(window_stack.WindowDepth, 0);  // the panel goes with the wait
  EXPECT_EQ(steps, std::vector<int>{OperatorWait::kStepMs});  // Escape seen after the first step
  std::vector<int16_t> left;
  console::InputEvent event;
  while (console::ReadInput(&event, 0)) left.push_back(console::KeyCode(event.key));
  EXPECT_EQ(left, (std::vector<int16_t>{'a', 0x2D00, static_cast<int16_t>(0x8600), 'b'}));
  EXPECT_TRUE(keyboard.TypeAheadBuffer.empty());
}

TEST_F(OperatorWaitTest, WithoutEscapeTheWholeTimeIsSleptInShortSteps) {
  console::SetHeadlessStarvedHandler([](int) { return false; });
  WaitHooks hooks = ScreenWaitHooks();
  int slept = 0;
  hooks.pause = [&slept](int ms) {
    EXPECT_LE(ms, OperatorWait::kStepMs);
    slept += ms;
  };
  OperatorWait wait(hooks, 24, "ESPEREU");
  EXPECT_TRUE(wait.Pause(1234));
  EXPECT_EQ(slept, 1234);
  EXPECT_EQ(window_stack.WindowDepth, 0);  // never told: nothing shown
}

}  // namespace
}  // namespace ui
