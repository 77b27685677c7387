// From the program's DOS paths to host paths.
//
// The program names files as DOS does: "C:\KIT\Vela.ini", "\KIT\X", "X.INI",
// with "\" or "/" as separators, in code page 850. The host names them with
// UTF-8 paths under the directories of the drive table (KITDRIVES).
#pragma once

#include <string>
#include <string_view>

namespace platform::fs {

// The host path (UTF-8) of a program path (code page 850). A name without a
// drive is on the current drive; a name without a leading separator is
// relative to the current directory. Existing components are found whatever
// their case; the rest keep the case given. Empty when the drive is absent
// or the path is empty.
std::string HostPath(std::string_view program_path);

}  // namespace platform::fs
