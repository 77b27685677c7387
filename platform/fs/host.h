// Facts about the machine the program runs on.
#pragma once

#include <string>

namespace platform::fs {

// The computer's name (the host name, UTF-8); empty when it cannot be read.
std::string HostName();

}  // namespace platform::fs
