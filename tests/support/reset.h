// One call that puts the whole program's process-wide state back to what it
// is at start-up: every module's reset, the upper layers first, so that
// record files and listings are closed through their own layer before the
// layers below forget them.
#pragma once

#include <gtest/gtest.h>

namespace qdeb::testing {

// remit, forms, files, db, ui, env, util, then the record manager, the console
// and the file-system caches. (bank/ and platform/process keep no state.)
void ResetAllState();

// A fixture that starts and ends every test with ResetAllState, around the
// derived fixture's own construction and destruction.
class FreshStateTest : public ::testing::Test {
 protected:
  FreshStateTest() { ResetAllState(); }
  ~FreshStateTest() override { ResetAllState(); }
};

}  // namespace qdeb::testing
