#include "platform/console/reset.h"

#include "platform/console/backends.h"
#include "platform/console/console.h"
#include "platform/console/state.h"

namespace platform::console {

void ResetConsole() {
  Close();
  internal::TerminalForget();
  internal::HeadlessForget();
  internal::Get() = internal::State();
}

}  // namespace platform::console
