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

}  // namespace platform::console::internal
