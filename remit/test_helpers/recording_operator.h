// The operator of remit/'s tests and test programs: every text told and
// every question asked logged in order, questions answered from a script
// (nothing left in it: the operator gives up, as Escape), progress kept as
// its last line, waits silent unless a test fills them.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "remit/operator.h"

namespace remit::testing {

class RecordingOperator : public Operator {
 public:
  RecordingOperator() = default;
  explicit RecordingOperator(std::deque<bool> script) : answers(std::move(script)) {}

  void Tell(const std::string& text) override { told.push_back(text); }
  bool Ask(const std::string& question) override {
    asked.push_back(question);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void OpenProgress(std::string_view title, int16_t) override {
    progress_title = std::string(title);
    ++progress_opened;
  }
  void Progress(int16_t, std::string_view text) override {
    last_progress = std::string(text);
    if (on_progress) on_progress();
  }
  void CloseProgress() override { ++progress_closed; }
  const ui::WaitHooks& Wait() override { return wait; }

  std::vector<std::string> told;
  std::vector<std::string> asked;
  std::deque<bool> answers;
  std::string progress_title;
  std::string last_progress;
  int progress_opened = 0;
  int progress_closed = 0;
  ui::WaitHooks wait;
  // Called at each progress line: a test's way into the middle of a run.
  std::function<void()> on_progress;
};

}  // namespace remit::testing
