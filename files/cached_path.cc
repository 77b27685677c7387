#include "files/cached_path.h"

#include "files/run_state.h"
#include "platform/fs/paths.h"
#include "platform/process/environment.h"

namespace files {

namespace {

bool HasRootedDrive(const std::string& path) {
  return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

}  // namespace

namespace internal {
// Process-wide: see run_state.h.
FilesRun files_run;
}  // namespace internal

const std::string& CachedHostPath::Get(const std::string& program_path) {
  if (!HasRootedDrive(program_path)) {
    key_.clear();
    host_ = platform::fs::HostPath(program_path);
    return host_;
  }
  // The drive table comes from the environment: another table, another path.
  std::string key = program_path + '\n' + platform::GetEnvironment("KITDRIVES");
  // A path kept under an older epoch is worked out again.
  const uint64_t current_epoch = internal::files_run.path_epoch;
  if (key != key_ || host_.empty() || epoch_ != current_epoch) {
    epoch_ = current_epoch;
    host_ = platform::fs::HostPath(program_path);
    key_ = host_.empty() ? std::string() : std::move(key);
  }
  return host_;
}

void CachedHostPath::ForgetAll() { ++internal::files_run.path_epoch; }

void CachedHostPath::Forget() {
  key_.clear();
  host_.clear();
}

}  // namespace files
