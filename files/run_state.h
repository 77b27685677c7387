// What files/ keeps between calls for the whole run. Internal to files/.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>

#include "files/cached_path.h"

namespace files::internal {

// Process-wide: the host paths are worked out once per run (until
// CachedHostPath::ForgetAll), and the random sources are seeded once and
// draw on across calls.
struct FilesRun {
  uint64_t path_epoch = 0;  // raised by ForgetAll: older paths are worked out again
  std::map<std::string, CachedHostPath> table_paths;  // the lock tables met in this run
  std::minstd_rand generator;       // Rnd's, seeded by SeedRandom
  std::minstd_rand wait_generator;  // the lock waits' pauses, seeded at the first wait
  bool wait_seeded = false;
};
extern FilesRun files_run;

}  // namespace files::internal
