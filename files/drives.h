// Drives of the machine: presence, kind and description, free space.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace files {

// True when the drive named by the first character of the text is present;
// the letter must be upper case, as the system reports its drives.
bool DrivePresent(std::string_view drive);

// The kind letter of a drive ("4" diskette before C:, "R" other removable or
// RAM disk, "S" substituted, "H" fixed, "N" network, "C" CD-ROM) and its
// display text ("A: 3.5\" 1.44MB", "H: LABEL", "N: //server/share" ...).
// An absent drive gives an empty kind and an empty text.
std::string DescribeDrive(char letter, std::string& text);

// Mode 0: free bytes of the volume of the path; mode 1: bytes per cluster.
// 0 when the drive is absent or the volume cannot be read.
double DiskSpace(std::string_view path, int16_t mode);

// Available physical memory in bytes, at most the largest 32-bit number.
// The argument is not used.
int32_t AvailableMemory(std::string_view unused);

// The letter of the current drive.
char CurrentDrive();

}  // namespace files
