// Shared set-up of the ui tests: the whole program's state reset, a fresh
// headless console of 80 x 25 whose running out of keys fails the test, the
// window file in a scratch session.WorkDir and the default colour roles made
// distinct.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "env/session.h"
#include "platform/fs/paths.h"
#include "tests/support/headless_screen.h"
#include "tests/support/reset.h"
#include "tests/support/scratch_dir.h"
#include "ui/screen.h"
#include "util/little_endian.h"

namespace ui::testing {

class UiTest : public qdeb::testing::FreshStateTest {
 protected:
  UiTest() {
    env::session.WorkDir = platform::fs::ProgramPath(dir_.path()) + "\\";
    // Five distinct roles, so that a wrong pick shows in the attributes.
    env::session.ColourTable = {{{15, 0}, {7, 0}, {0, 7}, {14, 1}, {0, 3}}};
  }

  bool WindowFileExists() const { return dir_.Exists(kWindowFileName); }
  std::string WindowFileBytes() const { return dir_.Get(kWindowFileName); }
  void WriteWindowFile(const std::string& bytes) const { dir_.Put(kWindowFileName, bytes); }

  // The stack top in the window file's header; -1 for a file too short.
  static int32_t StackTop(const std::string& bytes) {
    return bytes.size() < 4 ? -1 : static_cast<int32_t>(util::GetLe32(bytes));
  }

  static std::string Screen() { return qdeb::testing::HeadlessScreen::Dump(); }
  // count characters of a 1-based row from a 1-based column.
  static std::string Row(int row, int column, int count) {
    return qdeb::testing::HeadlessScreen::Row(row, column, count);
  }
  void Feed(std::string_view script) { screen_.Feed(script); }

  qdeb::testing::ScratchDir dir_{"ui_test"};
  qdeb::testing::HeadlessScreen screen_;
};

}  // namespace ui::testing
