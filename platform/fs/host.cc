#include "platform/fs/host.h"

#include <unistd.h>

#include <charconv>
#include <climits>
#include <cstring>
#include <fstream>
#include <string_view>
#include <system_error>

#include "util/text.h"

namespace platform::fs {

std::string HostName() {
  char name[HOST_NAME_MAX + 2] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  name[sizeof name - 1] = '\0';
  return std::string(name, strnlen(name, sizeof name));
}

std::string ComputerName() { return util::ComputerNameFrom(HostName()); }

int64_t AvailableMemoryBytes() {
  std::ifstream in("/proc/meminfo");
  std::string line;
  while (std::getline(in, line)) {
    if (!line.starts_with("MemAvailable:")) continue;
    std::string_view rest = std::string_view(line).substr(13);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    int64_t kib = 0;
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), kib);
    if (ec != std::errc() || kib < 0) return 0;
    return kib * 1024;
  }
  return 0;
}

}  // namespace platform::fs
