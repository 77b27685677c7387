// The host path of a program path that is asked for again and again (a lock
// table, the holders file): worked out once, and again only when the path
// or the drive table changes, or when the caller finds it gone. Working it
// out costs looks at the disk on every call, which a loop that locks one
// receipt after another would pay thousands of times.
#pragma once

#include <cstdint>
#include <string>

namespace files {

class CachedHostPath {
 public:
  // platform::fs::HostPath of the path. Only a path with a drive letter and
  // a separator after it ("C:\KIT\LOCKS\X.lck") is kept: any other depends on
  // the current directory and is worked out every time.
  const std::string& Get(const std::string& program_path);
  // The file was not found where the path said: work it out afresh.
  void Forget();
  // Every path worked out afresh at its next Get (ResetFilesState).
  static void ForgetAll();

 private:
  std::string key_;
  std::string host_;
  uint64_t epoch_ = 0;
};

}  // namespace files
