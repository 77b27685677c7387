// Finding a command of the system and running it for its answer, out of
// sight of the operator's screen (the print command, for instance).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The host path of the program name would start from a shell: the first
// directory of PATH holding an executable file of that name; empty when
// none does (or PATH is unset or empty).
std::string FindOnPath(std::string_view name);

// Runs the program at host_path with the arguments and waits for it, its
// input empty and what it writes on its standard output and error kept in
// *output rather than shown. Its exit status, 128 plus the signal that
// ended it, or -1 when it could not be started.
int RunProgramForOutput(const std::string& host_path, const std::vector<std::string>& arguments,
                        std::string* output);

}  // namespace platform
