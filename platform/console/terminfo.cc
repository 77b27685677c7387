#include "platform/console/terminfo.h"

#include <curses.h>
#include <term.h>

namespace platform::console::internal {

bool LoadTerminfo(int fd, std::string* error) {
  int status = 0;
  if (setupterm(nullptr, fd, &status) != OK) {
    if (error) {
      *error = status == 0 ? "the terminal type in TERM is not known to terminfo"
                           : "no terminfo database is installed";
    }
    return false;
  }
  return true;
}

std::string TermString(const char* name) {
  char* value = tigetstr(name);
  // tigetstr answers (char*)-1 for a name that is not a string capability.
  if (value == nullptr || value == reinterpret_cast<char*>(-1)) return {};
  return value;
}

int TermNumber(const char* name) {
  int value = tigetnum(name);
  return value < 0 ? -1 : value;
}

bool TermFlag(const char* name) { return tigetflag(name) > 0; }

std::string TermParam(const std::string& capability, int a, int b) {
  if (capability.empty()) return {};
  char* value = tiparm(capability.c_str(), a, b);
  return value ? std::string(value) : std::string();
}

}  // namespace platform::console::internal
