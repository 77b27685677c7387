// The headless console for one test, with a key script.
#pragma once

#include <string>
#include <string_view>

namespace qdeb::testing {

// Opens the headless console blank, with the keys of script queued. A
// program that waits for keys the script no longer has makes the test fail
// and gets Escape, so that it unwinds, instead of ending the test program.
// The console is reset when the object goes.
class HeadlessScreen {
 public:
  explicit HeadlessScreen(std::string_view script = {}, int columns = 80, int rows = 25);
  ~HeadlessScreen();
  HeadlessScreen(const HeadlessScreen&) = delete;
  HeadlessScreen& operator=(const HeadlessScreen&) = delete;

  // Opens it again, blank, with another script and size.
  void Reopen(std::string_view script = {}, int columns = 80, int rows = 25);
  // More keys for the program (a bad script fails the test).
  void Feed(std::string_view script);

  // The screen as UTF-8 lines and, after them, its attribute lines.
  static std::string Dump();
  // count characters of a 1-based row from a 1-based column, as code page 850.
  static std::string Row(int row, int column, int count);
};

}  // namespace qdeb::testing
