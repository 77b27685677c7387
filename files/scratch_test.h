// A scratch directory for the file tests, with its own drive table, working
// directory and temporary directory; everything is put back afterwards, and
// the whole program's state is reset at both ends.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/reset.h"
#include "tests/support/scoped.h"
#include "tests/support/scratch_dir.h"

namespace files {

class ScratchTest : public qdeb::testing::FreshStateTest {
 protected:
  void SetUp() override {
    scratch_.MakeDir("temp");
    SetEnv("TEMP", root_ + "/temp");
    env_.Clear("KITDRIVES");
  }
  // Listings and locks are let go while their directory is still there.
  void TearDown() override { qdeb::testing::ResetAllState(); }

  void SetEnv(const std::string& name, const std::string& value) { env_.Set(name, value); }
  // Creates a file (and its folders) under the scratch root.
  void Touch(const std::string& relative, const std::string& content = "x") const {
    scratch_.Put(relative, content);
  }
  // The bytes of a host file; empty when it cannot be read.
  static std::string ReadAll(const std::string& path) { return qdeb::testing::ReadHostFile(path); }
  bool Exists(const std::string& relative) const { return scratch_.Exists(relative); }
  // The scratch root as a C: path with DOS separators.
  std::string Dos(const std::string& relative = "") const { return scratch_.Dos(relative); }

  qdeb::testing::ScratchDir scratch_{"qdeb_files"};
  std::string root_ = scratch_.path();
  qdeb::testing::ScopedEnvironment env_;
  qdeb::testing::ScopedWorkingDirectory cwd_;
};

}  // namespace files
