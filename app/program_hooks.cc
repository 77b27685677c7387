#include "app/program_hooks.h"

#include <cstdio>
#include <cstdlib>

#include "db/records.h"
#include "files/locks.h"
#include "forms/calculator.h"
#include "forms/calendar.h"
#include "forms/forms.h"
#include "forms/help.h"
#include "platform/console/console.h"
#include "platform/recman/store.h"
#include "ui/keys.h"
#include "ui/operator_wait.h"
#include "ui/screen.h"
#include "util/cp850.h"

namespace app {

void EndAfterFatalOpen(const std::string& text) {
  if (platform::console::IsOpen()) {
    ui::TellOperator(text);
  } else {
    std::fprintf(stderr, "%s\n", util::Cp850ToUtf8(text).c_str());
  }
  int16_t status = 0;
  db::CloseAllRecordFiles(status);
  platform::console::Close();
  std::exit(1);
}

void InstallProgramHooks() {
  platform::recman::BusyTimeoutMs = kRecordManagerWaitMs;
  db::Hooks.wait = ui::ScreenWaitHooks();
  files::Hooks.wait = ui::ScreenWaitHooks();
  ui::InstallTooSmallMessage();
  ui::Hooks.calculator = ui::forms::ShowCalculator;
  ui::Hooks.calendar = ui::forms::ShowCalendar;
  ui::forms::Hooks.show_help = ui::forms::ShowHelp;
}

}  // namespace app
