// What the generation shows: the progress window at the foot of the screen
// and the message panels the operator confirms with a key. Without an open
// console (a program run without a screen) nothing is shown or waited for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace remit {

class ProgressWindow {
 public:
  ProgressWindow() = default;
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;
  ~ProgressWindow() { Close(); }

  // Rows 23 to 25 framed, the title on the frame.
  void Open(std::string_view title);
  // The line inside the frame, 76 characters; sent to the terminal at most
  // every tenth of a second, so that the screen does not slow the work.
  void Show(std::string_view line);
  void Close();

 private:
  bool open_ = false;
  int64_t shown_at_ = 0;
};

// The text in the message panel at the middle of the screen, a beep, and
// a key to go on.
void TellOperator(std::string_view text);

}  // namespace remit
