// What an operation of remit/ says to the operator while it runs, and the
// little it asks: one interface the caller passes in. The program fills it
// with the screen (app/screen_operator.h): panels that wait for a key, the
// progress window at the foot of the screen, the waits for another
// terminal with Escape. Tests fill it with a recorder that logs what was
// told and answers from a script (remit/test_helpers/recording_operator.h),
// so that remit/ runs with no console.
//
// Texts are code page 850, already in the operator's language.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/operator_wait.h"

namespace remit {

class Operator {
 public:
  virtual ~Operator() = default;

  // A message the operator acknowledges (a panel waiting for a key).
  virtual void Tell(const std::string& text) = 0;
  // A question answered with a key: true to go on, false when the operator
  // gives up (Escape).
  virtual bool Ask(const std::string& question) = 0;

  // The progress of the work: a window of one line opened with its title
  // (centred, or from the given column), pieces of its line written from a
  // column, and the window closed. Progress before an open goes to the
  // window the caller opened, if any.
  virtual void OpenProgress(std::string_view title, int16_t title_column = -1) = 0;
  virtual void Progress(int16_t column, std::string_view text) = 0;
  virtual void CloseProgress() = 0;

  // How a wait for another terminal meets the operator (its message, its
  // sleeps, Escape to give up).
  virtual const ui::WaitHooks& Wait() = 0;
};

}  // namespace remit
