// kitdb: the office's utility for record files.
#include <string>
#include <vector>

#include "tools/kitdb/commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return kitdb::RunCommand(args);
}
