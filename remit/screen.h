// The progress window at the foot of the screen that the generation and the
// catalogue show while they work. Without an open console (a program run
// without a screen) nothing is shown.
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

  // Rows 23 to 25 framed, the title on the frame: centred, or from the
  // given column of the window.
  void Open(std::string_view title, int16_t title_column = -1);
  // The line inside the frame, 76 characters; sent to the terminal at most
  // every tenth of a second, so that the screen does not slow the work.
  void Show(std::string_view line);
  // A piece of that line, from a column of the window, sent the same way.
  void ShowAt(int16_t column, std::string_view text);
  void Close();

 private:
  bool open_ = false;
  int64_t shown_at_ = 0;
};

}  // namespace remit
