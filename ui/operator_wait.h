// How the waits of the layers above the screen (a record locked by another
// terminal, a lock table in use) meet the operator: a message shown once
// while the wait lasts, short sleeps, and Escape to give up.
//
// Every hook a lower layer offers an upper one follows the same convention:
// a struct of std::function members per layer that offers them, harmless
// when a member is empty, filled once at start-up by the program. WaitHooks
// is the part every waiting layer shares.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ui {

struct WaitHooks {
  // Shows the message in a panel around the row (24: the foot of the
  // screen); true when a panel was opened and must be closed. Empty: the
  // wait is silent.
  std::function<bool(int16_t row, const std::string& text)> show_message;
  // Removes the panel show_message opened.
  std::function<void()> close_message;
  // True when the operator has asked to give up since the last look. Never
  // waits, and takes no other key. Empty: the wait cannot be given up.
  std::function<bool()> escape_pressed;
  // Sleeps ms milliseconds. Empty: a real sleep.
  std::function<void(int ms)> pause;
};

// The hooks on the program's screen: the message panel, and Escape taken
// from the console's input without touching the other keys typed meanwhile
// (they reach the program afterwards, in order, and no hot key opens a
// pop-up in the middle of a wait). Silent without an open console.
WaitHooks ScreenWaitHooks();

// One wait, however many sleeps it takes: the message is shown at most once
// and removed when the wait object goes.
class OperatorWait {
 public:
  // The longest sleep between two looks for Escape.
  static constexpr int kStepMs = 50;

  OperatorWait(const WaitHooks& hooks, int16_t row, std::string message);
  OperatorWait(const OperatorWait&) = delete;
  OperatorWait& operator=(const OperatorWait&) = delete;
  ~OperatorWait();

  // Shows the message, the first time only.
  void Tell();
  // Sleeps ms in steps of at most kStepMs, looking for Escape after each;
  // false as soon as the operator gave up.
  bool Pause(int ms);

 private:
  const WaitHooks& hooks_;
  int16_t row_;
  std::string message_;
  bool told_ = false;
  bool shown_ = false;
};

}  // namespace ui
