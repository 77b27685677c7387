#include "files/cached_path.h"

#include "platform/fs/paths.h"
#include "platform/process/environment.h"

namespace files {

namespace {

// Raised by ForgetAll: a path kept under an older epoch is worked out again.
uint64_t current_epoch = 0;

bool HasRootedDrive(const std::string& path) {
  return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

}  // namespace

const std::string& CachedHostPath::Get(const std::string& program_path) {
  if (!HasRootedDrive(program_path)) {
    key_.clear();
    host_ = platform::fs::HostPath(program_path);
    return host_;
  }
  // The drive table comes from the environment: another table, another path.
  std::string key = program_path + '\n' + platform::GetEnvironment("KITDRIVES");
  if (key != key_ || host_.empty() || epoch_ != current_epoch) {
    epoch_ = current_epoch;
    host_ = platform::fs::HostPath(program_path);
    key_ = host_.empty() ? std::string() : std::move(key);
  }
  return host_;
}

void CachedHostPath::ForgetAll() { ++current_epoch; }

void CachedHostPath::Forget() {
  key_.clear();
  host_.clear();
}

}  // namespace files
