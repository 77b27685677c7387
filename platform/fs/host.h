// Facts about the machine the program runs on.
#pragma once

#include <cstdint>
#include <string>

namespace platform::fs {

// The computer's name (the host name, UTF-8); empty when it cannot be read.
std::string HostName();

// Physical memory available to programs (MemAvailable of /proc/meminfo),
// in bytes; 0 when it cannot be read.
int64_t AvailableMemoryBytes();

}  // namespace platform::fs
