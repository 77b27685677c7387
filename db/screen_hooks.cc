// The layer's messages on the program's screen: the message panel of the
// window stack, Escape read from the keyboard without waiting.
#include <cstdlib>

#include "db/records.h"
#include "platform/console/console.h"
#include "platform/process/clock.h"
#include "ui/keys.h"
#include "ui/screen.h"

namespace db {

ScreenHooks DefaultScreenHooks() {
  ScreenHooks h;
  h.show_message = [](int16_t row, const std::string& text) {
    return ui::ShowMessagePanel(row, text);
  };
  h.close_message = [] { ui::CloseWindow(); };
  h.escape_pressed = [] {
    int16_t key = 0, button = 0, row = 0, column = 0;
    ui::ReadKey(key, button, row, column);
    return key == 27;
  };
  h.sleep = [](int ms) { platform::SleepMilliseconds(ms); };
  h.fatal_open = [](const std::string& text) {
    bool shown = ui::ShowMessagePanel(12, text);
    platform::console::Beep();
    ui::FlushKeyboard();
    int16_t key = 0;
    ui::WaitKey(key);
    if (shown) ui::CloseWindow();
    int16_t status = 0;
    CloseAllRecordFiles(status);
    std::exit(1);
  };
  return h;
}

}  // namespace db
