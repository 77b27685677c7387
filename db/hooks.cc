// The layer's hooks, and the fatal message on the program's screen.
#include "db/records.h"
#include "platform/console/console.h"
#include "ui/keys.h"
#include "ui/screen.h"

namespace db {

LayerHooks Hooks;

void TellFatalOpenOnScreen(const std::string& text) {
  if (!platform::console::IsOpen()) return;
  const bool shown = ui::ShowMessagePanel(12, text);
  platform::console::Beep();
  ui::FlushKeyboard();
  int16_t key = 0;
  ui::WaitKey(key);
  if (shown) ui::CloseWindow();
}

}  // namespace db
