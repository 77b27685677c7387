// The terminal's terminfo entry through ncursesw. term.h defines macros with
// everyday names (columns, lines, ...), so it is included in terminfo.cc only.
#pragma once

#include <string>

namespace platform::console::internal {

// Loads the entry of TERM for the terminal on fd; false with a reason.
bool LoadTerminfo(int fd, std::string* error);
// A string capability ("cup", "kf1", "kLFT5"), empty when the terminal lacks it.
std::string TermString(const char* name);
int TermNumber(const char* name);  // -1 when absent
bool TermFlag(const char* name);
// A parameterised capability with one or two numbers.
std::string TermParam(const std::string& capability, int a, int b = 0);

}  // namespace platform::console::internal
