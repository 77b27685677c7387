// The operator of remit/'s operations on the program's screen: a panel
// waiting for a key for what is told, the same panel for a question
// (Escape gives up), the progress window of rows 23 to 25 (or the window
// the caller opened), and the screen's waits for another terminal. Without
// an open console nothing is shown and every question is given up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "remit/operator.h"
#include "ui/operator_wait.h"

namespace app {

class ScreenOperator : public remit::Operator {
 public:
  ScreenOperator();
  ScreenOperator(const ScreenOperator&) = delete;
  ScreenOperator& operator=(const ScreenOperator&) = delete;
  ~ScreenOperator() override { CloseProgress(); }

  void Tell(const std::string& text) override;
  bool Ask(const std::string& question) override;
  // Rows 23 to 25 framed, the title on the frame: centred, or from the
  // given column of the window.
  void OpenProgress(std::string_view title, int16_t title_column = -1) override;
  // On the row inside the frame; sent to the terminal at most every tenth
  // of a second, so that the screen does not slow the work.
  void Progress(int16_t column, std::string_view text) override;
  void CloseProgress() override;
  const ui::WaitHooks& Wait() override { return wait_; }

 private:
  ui::WaitHooks wait_;
  bool open_ = false;
  bool pending_ = false;  // written, not yet sent to the terminal
  int64_t shown_at_ = 0;
};

}  // namespace app
