// File names at the boundary between the program and the host.
//
// Inside the program a name is code page 850; on the host it is UTF-8. A host
// name whose bytes are not valid UTF-8 (written by some other tool) reads as
// code page 850 with a "?" for each stray byte, as does a control character
// (a line end inside a name would break every list of names), and resolves
// back to that same file when the program names it that way.
#pragma once

#include <string>
#include <string_view>

namespace platform::fs {

std::string HostFileName(std::string_view program_name);  // cp850 -> UTF-8
std::string ProgramFileName(std::string_view host_name);  // UTF-8 -> cp850

// The standard upper-cased form of a host name, for comparing names as DOS
// does (whatever their case).
std::string NameKey(std::string_view host_name);

// DOS wildcard match of a name (code page 850) against a mask, whatever the
// case: "*" any run of characters, "?" any one character (or none at the end
// of the base name or extension, as DOS pads them). "*.*" and "*" match every
// name; a mask ending in ".*" also matches the name without extension, and a
// mask ending in "." matches only names without one.
bool MatchesMask(std::string_view name, std::string_view mask);
bool HasWildcards(std::string_view name);

}  // namespace platform::fs
