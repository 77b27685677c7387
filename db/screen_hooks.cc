// The layer's messages on the program's screen: the message panel of the
// window stack, Escape read from the keyboard without waiting. Without an
// open console (tools, tests) the panel is not shown and a fatal message
// goes to the standard error instead.
#include <cstdio>
#include <cstdlib>

#include "db/records.h"
#include "platform/console/console.h"
#include "platform/process/clock.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/cp850.h"

namespace db {
namespace {

constexpr int16_t kEscape = 27;

void EndProgram() {
  int16_t status = 0;
  CloseAllRecordFiles(status);
  std::exit(1);
}

}  // namespace

ScreenHooks DefaultScreenHooks() {
  ScreenHooks h;
  h.show_message = [](int16_t row, const std::string& text) {
    return platform::console::IsOpen() && ui::ShowMessagePanel(row, text);
  };
  h.close_message = [] { ui::CloseWindow(); };
  h.escape_pressed = [] {
    if (!platform::console::IsOpen()) return false;
    int16_t key = 0, button = 0, row = 0, column = 0;
    ui::ReadKey(key, button, row, column);
    return key == kEscape;
  };
  h.sleep = [](int ms) { platform::SleepMilliseconds(ms); };
  h.fatal_open = [](const std::string& text) {
    if (!platform::console::IsOpen()) {
      std::fprintf(stderr, "%s\n", util::Cp850ToUtf8(text).c_str());
      EndProgram();
    }
    bool shown = ui::ShowMessagePanel(12, text);
    platform::console::Beep();
    ui::FlushKeyboard();
    int16_t key = 0;
    ui::WaitKey(key);
    if (shown) ui::CloseWindow();
    EndProgram();
  };
  return h;
}

ScreenHooks Screen = DefaultScreenHooks();

}  // namespace db
