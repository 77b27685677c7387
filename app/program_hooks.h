// The one place where the program fills the hooks the lower layers offer:
// called once at start-up, before the console opens.
#pragma once

#include <cstdint>
#include <string>

namespace app {

// How long the record manager waits inside a call for another terminal's
// write before it hands back 85 (file in use): short, so that the waits of
// the layers above show their message and take Escape at once.
inline constexpr int32_t kRecordManagerWaitMs = 200;

// The record manager's wait cut to kRecordManagerWaitMs; the record layer's and the lock tables' waits on the screen (the message
// at the foot, Escape to give up, keys typed meanwhile kept), and the
// console's too-small message in the operator's language, the calculator
// on Alt+X, the calendar on Alt+C and the help pages on F1.
void InstallProgramHooks();

// What a record file that cannot be opened leads to (Main calls it when
// OpenRecordFiles fails): the text in a panel
// until a key (on the standard error without a console), every record file
// closed, and the end of the process with status 1.
[[noreturn]] void EndAfterFatalOpen(const std::string& text);

}  // namespace app
