// Test fixtures of env/: a fresh host directory per test, removed
// afterwards, with helpers to put raw bytes into files and take them out
// again, and environment variables set for one test only.
#pragma once

#include <string>

#include "tests/support/scoped.h"
#include "tests/support/scratch_dir.h"

namespace env::testing {

using qdeb::testing::ScopedEnvironment;

class TestDir {
 public:
  // The host directory with a trailing "/", usable as a program path prefix
  // (C: is the host root).
  std::string Dir() const { return dir_.Host(); }
  std::string File(const std::string& name) const { return dir_.Host(name); }

  void Put(const std::string& name, const std::string& bytes) const { dir_.Put(name, bytes); }
  std::string Get(const std::string& name) const { return dir_.Get(name); }
  bool Exists(const std::string& name) const { return dir_.Exists(name); }
  void MakeDir(const std::string& name) const { dir_.MakeDir(name); }
  void Remove(const std::string& name) const { dir_.Remove(name); }
  // Names in the directory ending in ".tmp".
  int TempFiles() const {
    int count = 0;
    for (const std::string& name : dir_.Names()) {
      if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) ++count;
    }
    return count;
  }

 private:
  qdeb::testing::ScratchDir dir_{"qdeb_env"};
};

// The program path of a host path as a DOS program writes it: "C:" and
// backslashes.
inline std::string DosPath(const std::string& host_path) {
  return qdeb::testing::DosPathOf(host_path);
}

}  // namespace env::testing
