// The two back ends behind console.h. console.cc keeps the buffer and calls
// these for what depends on where the screen is shown.
#pragma once

#include <string>

#include "platform/console/console.h"

namespace platform::console::internal {

// Headless: input from a script, the screen kept only in the buffer.
bool HeadlessOpen(std::string_view script, std::string* error);
bool HeadlessOpenFile(const std::string& path, std::string* error);
void HeadlessClose();
bool HeadlessRead(InputEvent* event, int timeout_ms);
void HeadlessBeep();
// Handlers, beeps and the script's dry spells back to their start.
void HeadlessForget();

// Terminal: ncursesw's terminfo for the strings, our own decoder for keys.
bool TerminalOpen(std::string* error);
void TerminalClose();
void TerminalRefresh();
void TerminalRedraw();
void TerminalBeep();
bool TerminalRead(InputEvent* event, int timeout_ms);
bool TerminalPending();
void TerminalFlush();
void TerminalMouse(bool on);
bool TerminalHasMouse();
void TerminalClipboard(std::string_view text);
void TerminalSuspend();
void TerminalResume();
uint64_t TerminalBytesSent();
// While closed: everything the terminal back end kept (bytes sent, input not
// yet decoded, what the terminal shows) back to its start.
void TerminalForget();

}  // namespace platform::console::internal
