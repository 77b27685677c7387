// Shared set-up of the ui tests: a fresh headless console of 80 x 25, the
// window file in a scratch WorkDir, the default colour roles made distinct,
// and the process-wide state of ui back at its start.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <cstdio>
#include <string>

#include "env/session.h"
#include "platform/console/console.h"
#include "platform/fs/paths.h"
#include "ui/keys.h"
#include "ui/screen.h"

namespace ui::testing {

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ui_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    env::WorkDir = platform::fs::ProgramPath(dir_) + "\\";
    // Five distinct roles, so that a wrong pick shows in the attributes.
    env::ColourTable = {{{15, 0}, {7, 0}, {0, 7}, {14, 1}, {0, 3}}};
    std::string error;
    ASSERT_TRUE(platform::console::OpenHeadless({}, 80, 25, &error)) << error;
    WindowDepth = WindowTop = WindowLeft = WindowBottom = WindowRight = 0;
    ColourIndex = 0;
    ColourStack.clear();
    KeySetCodes.clear();
    KeySetTranslations.clear();
    SavedKeySetCodes.clear();
    SavedKeySetTranslations.clear();
    KeySetSaved = false;
    MaskCharacter = 0;
    ChoiceList.clear();
    TypeAheadBuffer.clear();
    Hooks.calculator = nullptr;
    Hooks.calendar = nullptr;
    FlushKeyboard();
  }

  void TearDown() override {
    platform::console::SetHeadlessStarvedHandler(nullptr);
    std::string command = "rm -rf '" + dir_ + "'";
    (void)std::system(command.c_str());
  }

  std::string WindowFile() const { return dir_ + "/WinPush.tmp"; }

  bool WindowFileExists() const {
    std::ifstream in(WindowFile(), std::ios::binary);
    return in.good();
  }

  std::string WindowFileBytes() const {
    std::string bytes;
    if (FILE* f = std::fopen(WindowFile().c_str(), "rb")) {
      char buffer[4096];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
      std::fclose(f);
    }
    return bytes;
  }

  void WriteWindowFile(const std::string& bytes) const {
    std::ofstream out(WindowFile(), std::ios::binary | std::ios::trunc);
    out << bytes;
  }

  static int32_t StackTop(const std::string& bytes) {
    if (bytes.size() < 4) return -1;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
      v = (v << 8) | static_cast<unsigned char>(bytes[static_cast<size_t>(i)]);
    }
    return static_cast<int32_t>(v);
  }

  static std::string Screen() {
    return platform::console::DumpText() + platform::console::DumpAttributes();
  }

  void Feed(std::string_view script) {
    std::string error;
    ASSERT_TRUE(platform::console::HeadlessFeed(script, &error)) << error;
  }

  std::string dir_;
};

}  // namespace ui::testing
