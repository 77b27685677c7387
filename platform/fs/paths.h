// From the program's DOS paths to host paths.
//
// The program names files as DOS does: "C:\KIT\Vela.ini", "\KIT\X", "X.INI",
// with "\" or "/" as separators, in code page 850. The host names them with
// UTF-8 paths under the directories of the drive table (drives.h).
#pragma once

#include <string>
#include <string_view>

namespace platform::fs {

// The host path (UTF-8) of a program path (code page 850). A name without a
// drive is on the current drive; a name without a leading separator is
// relative to the current directory of its drive. "." and empty components
// are dropped, ".." goes up one directory but never above the drive's root.
// Existing components are found whatever their case, as DOS finds them; the
// rest keep the case given, so a new file is created as named. A trailing
// separator is kept. Empty when the drive is absent, the path is empty or it
// holds a zero byte.
std::string HostPath(std::string_view program_path);

// The program path of a host path: the drive whose directory holds it, ":",
// and the rest with "\" separators ("C:\srv\kit\X"); empty when no drive
// holds it.
std::string ProgramPath(std::string_view host_path);

}  // namespace platform::fs
