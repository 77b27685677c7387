#include "ui/reset.h"

#include "ui/keys.h"
#include "ui/screen.h"

namespace ui {

void ResetScreenAndKeys() {
  window_stack = WindowStack();
  keyboard = Keyboard();
  Hooks = {};
  internal::ForgetKeyReader();
}

}  // namespace ui
