// The commands of kitdb, each returning the process's exit code.
#pragma once

#include <string>
#include <vector>

namespace kitdb {

int RunCommand(const std::vector<std::string>& args);
// The command lines kitdb takes, and the formats of its files.
const char* UsageText();
const char* FormatsText();

}  // namespace kitdb
