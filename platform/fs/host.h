// Facts about the machine the program runs on.
#pragma once

#include <cstdint>
#include <string>

namespace platform::fs {

// The computer's name (the host name, UTF-8); empty when it cannot be read.
std::string HostName();
// The computer's name as the program shows and stores it: the host name in
// code page 850, at most 16 characters; empty when it cannot be read.
std::string ComputerName();

// Physical memory available to programs (MemAvailable of /proc/meminfo),
// in bytes; 0 when it cannot be read.
int64_t AvailableMemoryBytes();

}  // namespace platform::fs
