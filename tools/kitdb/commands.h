// The commands of kitdb, each returning the process's exit code.
#pragma once

#include <string>
#include <vector>

namespace kitdb {

int RunCommand(const std::vector<std::string>& args);
const char* HelpText();

}  // namespace kitdb
