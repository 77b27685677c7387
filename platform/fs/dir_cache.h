// What platform/fs remembers of directories between calls. Internal to
// platform/fs.
#pragma once

#include <list>
#include <map>
#include <string>
#include <unordered_map>

namespace platform::fs::internal {

// A directory scanned lately: a map from the upper-cased program form of
// its names to the first host name of that form.
struct DirNames {
  std::string dir;
  std::unordered_map<std::string, std::string> by_key;
};

// Process-wide: drive directories do not move under a program, so each is
// resolved once per run; the directories scanned lately serve the next
// lookups of the run (each hit is checked against the disk).
struct DirCache {
  std::map<std::string, std::string> canonical_dirs;  // drive dir -> links resolved
  std::list<DirNames> scanned_dirs;
};
extern DirCache dir_cache;

}  // namespace platform::fs::internal
