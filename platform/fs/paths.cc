#include "platform/fs/paths.h"

#include <unistd.h>

#include "util/cp850.h"

namespace platform::fs {

namespace {

std::string WorkingDirectory() {
  std::string dir(4096, '\0');
  if (getcwd(dir.data(), dir.size()) == nullptr) return "/";
  dir.resize(dir.find('\0'));
  return dir;
}

}  // namespace

std::string HostPath(std::string_view program_path) {
  if (program_path.empty()) return {};
  std::string_view rest = program_path;
  if (rest.size() >= 2 && rest[1] == ':') {
    char letter = rest[0];
    if (letter != 'C' && letter != 'c') return {};
    rest.remove_prefix(2);
  }
  std::string path = util::Cp850ToUtf8(rest);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (path.empty() || path[0] != '/') {
    std::string base = WorkingDirectory();
    if (base.back() != '/') base += '/';
    path = base + path;
  }
  return path;
}

}  // namespace platform::fs
