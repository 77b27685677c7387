// What the spool's two programs, the viewer KITSCR and the print program
// KITPRINT, share at start-up: the session of the terminal that started
// them, the spool they find in its work directory, and how they tell the
// operator (tell.h).
#pragma once

#include <string>

#include "env/status.h"
#include "tools/spool/layout.h"

namespace spool {

// The session settings as the main program has them (directories,
// language, colours). The texts are translated through the installation's
// language file, which holds the words of the family's programs.
void StartSession();

// The spool's path as the program names it: env::session.WorkDir + "kitprint.tmp".
std::string SpoolPath();

// Reads the spool and lays it out. When it cannot be read, the failure:
// what failed, the path and why in its words, in the operator's language.
env::StatusOr<Report> ReadReport();

}  // namespace spool
