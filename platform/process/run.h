// Starting another program and waiting for its end.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Runs the program at host_path with the arguments, in this process's
// terminal and environment, and waits for it. Returns its exit status, 128
// plus the signal that ended it, or -1 when it could not be started.
int RunProgram(const std::string& host_path, const std::vector<std::string>& arguments = {});

}  // namespace platform
