// Scratch installation roots for the layer's tests: a temporary directory
// that env::session.RootDir names and the working directory, with dictionaries
// written into its "ddf" folder. Creation buffers come from the record
// manager's test support (SpecBuffer).
#pragma once

#include <string>

#include "env/session.h"
#include "platform/fs/paths.h"
#include "platform/recman/test_support.h"
#include "tests/support/reset.h"
#include "tests/support/scoped.h"
#include "tests/support/scratch_dir.h"
#include "util/little_endian.h"

namespace db::testing {

using platform::recman::testing::SpecBuffer;

// Made empty with every process-wide setting at its start; at its end every
// record file is closed and the whole program's state reset before the
// directory goes.
class ScratchRoot {
 public:
  explicit ScratchRoot(const std::string& name) : dir_("qdeb_db_" + name), cwd_(dir_.path()) {
    qdeb::testing::ResetAllState();
    dir_.MakeDir("ddf");
    env::session.RootDir = platform::fs::ProgramPath(dir_.path()) + "\\";
  }
  ~ScratchRoot() { qdeb::testing::ResetAllState(); }
  ScratchRoot(const ScratchRoot&) = delete;
  ScratchRoot& operator=(const ScratchRoot&) = delete;

  // A dictionary file: two-byte length, then the creation buffer.
  void Dictionary(const std::string& base, const std::string& create_buffer) const {
    dir_.Put("ddf/" + base + ".xdf",
             util::Le16(static_cast<uint16_t>(create_buffer.size())) + create_buffer);
  }
  // The program path of a file in the root ("C:\tmp\...\name").
  std::string Path(const std::string& name) const { return env::session.RootDir + name; }
  const std::string& host() const { return dir_.path(); }
  const qdeb::testing::ScratchDir& dir() const { return dir_; }

 private:
  qdeb::testing::ScratchDir dir_;
  qdeb::testing::ScopedWorkingDirectory cwd_;
};

}  // namespace db::testing
