#include "app/screen_operator.h"

#include <gtest/gtest.h>

#include "platform/console/console.h"
#include "tests/support/headless_screen.h"
#include "tests/support/reset.h"
#include "ui/screen.h"

namespace app {
namespace {

class ScreenOperatorTest : public qdeb::testing::FreshStateTest {};

// What the generation, the catalogue and the verification tell and ask
// reaches the screen: a panel that waits for one key with a beep, Escape
// giving up a question, and the progress on the row inside the frame at
// the foot of the screen, gone when closed.
TEST_F(ScreenOperatorTest, PanelsWaitForAKeyQuestionsEndOnEscapeProgressAtTheFoot) {
  qdeb::testing::HeadlessScreen screen("Enter\nEnter\nEsc\n");
  ScreenOperator op;
  const int depth = ui::window_stack.WindowDepth;
  op.OpenProgress(" PROCESSANT ");
  EXPECT_EQ(ui::window_stack.WindowDepth, depth + 1);
  op.Progress(2, "B01-000001-000017");
  EXPECT_EQ(qdeb::testing::HeadlessScreen::Row(24, 3, 17), "B01-000001-000017");
  op.Tell("GENERAT FITXER C:\\CSB\\A.E19");
  EXPECT_EQ(platform::console::HeadlessBeeps(), 1);
  EXPECT_TRUE(op.Ask("CONTINUAR?"));
  EXPECT_FALSE(op.Ask("CONTINUAR?"));
  EXPECT_EQ(platform::console::HeadlessPending(), 0u);  // one key per panel
  op.CloseProgress();
  EXPECT_EQ(ui::window_stack.WindowDepth, depth);
}

// Without a console nothing is shown and every question is given up.
TEST_F(ScreenOperatorTest, WithoutAConsoleQuestionsAreGivenUp) {
  ScreenOperator op;
  op.OpenProgress(" CERCANT ");
  op.Progress(1, "x");
  op.Tell("x");
  EXPECT_FALSE(op.Ask("x"));
  op.CloseProgress();
}

}  // namespace
}  // namespace app
