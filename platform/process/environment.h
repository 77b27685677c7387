// Environment variables, the one place the program reads them.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The variable's value as the host holds it (UTF-8 on Linux); empty when
// it is not set. Callers convert it to code page 850.
std::string GetEnvironment(std::string_view name);

}  // namespace platform
