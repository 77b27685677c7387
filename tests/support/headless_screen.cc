#include "tests/support/headless_screen.h"

#include <gtest/gtest.h>

#include "platform/console/console.h"
#include "platform/console/reset.h"

namespace qdeb::testing {

namespace console = platform::console;

HeadlessScreen::HeadlessScreen(std::string_view script, int columns, int rows) {
  Reopen(script, columns, rows);
}

HeadlessScreen::~HeadlessScreen() { console::ResetConsole(); }

void HeadlessScreen::Reopen(std::string_view script, int columns, int rows) {
  std::string error;
  EXPECT_TRUE(console::OpenHeadless(script, columns, rows, &error)) << error;
  console::SetHeadlessRanOutHandler([] {
    ADD_FAILURE() << "the key script ran out while the program waited for input";
  });
}

void HeadlessScreen::Feed(std::string_view script) {
  std::string error;
  EXPECT_TRUE(console::HeadlessFeed(script, &error)) << error;
}

std::string HeadlessScreen::Dump() { return console::DumpText() + console::DumpAttributes(); }

std::string HeadlessScreen::Row(int row, int column, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += console::GetCell(row - 1, column - 1 + i).ch;
  return out;
}

}  // namespace qdeb::testing
