#include "platform/fs/host.h"

#include <unistd.h>

#include <climits>
#include <cstring>

namespace platform::fs {

std::string HostName() {
  char name[HOST_NAME_MAX + 2] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  name[sizeof name - 1] = '\0';
  return std::string(name, strnlen(name, sizeof name));
}

}  // namespace platform::fs
