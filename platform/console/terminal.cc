#include "platform/console/backends.h"

namespace platform::console::internal {

bool TerminalOpen(std::string* error) {
  if (error) *error = "the terminal back end is not built yet; use KITCONSOLE=headless:FILE";
  return false;
}
void TerminalClose() {}
void TerminalRefresh() {}
void TerminalRedraw() {}
void TerminalBeep() {}
bool TerminalRead(InputEvent*, int) { return false; }
bool TerminalPending() { return false; }
void TerminalFlush() {}
void TerminalMouse(bool) {}
bool TerminalHasMouse() { return false; }
void TerminalClipboard(std::string_view) {}
void TerminalSuspend() {}
void TerminalResume() {}
uint64_t TerminalBytesSent() { return 0; }

}  // namespace platform::console::internal
