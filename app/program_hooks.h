// The one place where the program fills the hooks the lower layers offer:
// called once at start-up, before the console opens.
#pragma once

#include <string>

namespace app {

// The record layer's and the lock tables' waits on the screen (the message
// at the foot, Escape to give up, keys typed meanwhile kept), a record file
// that cannot be opened ending the program with its message, and the
// console's too-small message in the operator's language, the calculator
// on Alt+X, the calendar on Alt+C and the help pages on F1.
void InstallProgramHooks();

// What a record file that cannot be opened leads to: the text in a panel
// until a key (on the standard error without a console), every record file
// closed, and the end of the process with status 1.
[[noreturn]] void EndAfterFatalOpen(const std::string& text);

}  // namespace app
