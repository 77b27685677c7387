#include "ui/operator_wait.h"

#include <algorithm>
#include <utility>

#include "platform/console/console.h"
#include "platform/process/clock.h"
#include "ui/screen.h"

namespace ui {

WaitHooks ScreenWaitHooks() {
  WaitHooks hooks;
  hooks.show_message = [](int16_t row, const std::string& text) {
    return platform::console::IsOpen() && ShowMessagePanel(row, text);
  };
  hooks.close_message = [] { CloseWindow(); };
  hooks.escape_pressed = [] { return platform::console::TakeEscapeKey(); };
  return hooks;
}

OperatorWait::OperatorWait(const WaitHooks& hooks, int16_t row, std::string message)
    : hooks_(hooks), row_(row), message_(std::move(message)) {}

OperatorWait::~OperatorWait() {
  if (!shown_ || !hooks_.close_message) return;
  hooks_.close_message();
  if (platform::console::IsOpen()) platform::console::Refresh();
}

void OperatorWait::Tell() {
  if (told_) return;
  told_ = true;
  if (hooks_.show_message) {
    shown_ = hooks_.show_message(row_, message_);
    if (platform::console::IsOpen()) platform::console::Refresh();
  }
}

bool OperatorWait::Pause(int ms) {
  while (ms > 0) {
    const int step = std::min(ms, kStepMs);
    if (hooks_.pause) {
      hooks_.pause(step);
    } else {
      platform::SleepMilliseconds(step);
    }
    ms -= step;
    if (hooks_.escape_pressed && hooks_.escape_pressed()) return false;
  }
  return true;
}

}  // namespace ui
