#include "platform/process/environment.h"

#include <cstdlib>

namespace platform {

std::string GetEnvironment(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  return value ? std::string(value) : std::string();
}

}  // namespace platform
