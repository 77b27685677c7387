#include "forms/help.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <string>
#include <vector>

#include "env/session.h"
#include "platform/console/console.h"
#include "tests/support/scoped.h"
#include "ui/screen.h"
#include "ui/ui_test_support.h"
#include "util/basics.h"

namespace ui::forms {
namespace {

namespace console = platform::console;

// A page of count lines "LINE 01" ... of width characters each.
std::string PageOf(int count, int width) {
  std::string page;
  for (int n = 1; n <= count; ++n) {
    std::string line = "LINE " + std::string(n < 10 ? "0" : "") + std::to_string(n);
    line.resize(static_cast<size_t>(width), ' ');
    page += line;
  }
  return page;
}

class HelpTest : public ui::testing::UiTest {
 protected:
  HelpTest() : cwd_(root_.path()) { root_.MakeDir("AJUDA"); }

  // Shows the topic, typing one step at each wait and noting what the
  // window's first and last rows show then (the first 7 characters).
  std::vector<std::string> Browse(const std::string& topic, std::deque<std::string> steps,
                                  int rows = 25) {
    std::vector<std::string> seen;
    console::SetHeadlessStarvedHandler([&, rows](int) {
      const std::string first = Row(5, 3, 7), last = Row(rows - 4, 3, 7);
      seen.push_back(std::string(util::TrimRight(first)) + "|" +
                     std::string(util::TrimRight(last)));
      Feed(steps.empty() ? "Esc" : steps.front());
      if (steps.empty()) ADD_FAILURE() << "the keys ran out";
      if (!steps.empty()) steps.pop_front();
      return true;
    });
    ShowHelp(topic);
    console::SetHeadlessStarvedHandler(nullptr);
    return seen;
  }

  qdeb::testing::ScratchDir root_{"help_root"};
  qdeb::testing::ScopedWorkingDirectory cwd_;
};

TEST_F(HelpTest, ScrollsByLineAndPageWithinThePage) {
  root_.Put("AJUDA/REMESES.HLP", PageOf(40, 80));
  PrintAt(10, 1, std::string(80, '#'));
  const auto seen = Browse("REMESES", {"Down", "Up", "Up", "PgDn", "PgDn", "PgDn", "Home",
                                       "End", "Down", "PgUp", "Esc"});
  const std::vector<std::string> expected = {
      "LINE 01|LINE 17", "LINE 02|LINE 18", "LINE 01|LINE 17", "LINE 01|LINE 17",
      "LINE 18|LINE 34", "LINE 24|LINE 40", "LINE 24|LINE 40", "LINE 01|LINE 17",
      "LINE 24|LINE 40", "LINE 24|LINE 40", "LINE 07|LINE 23"};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(Row(10, 1, 80), std::string(80, '#'));
  EXPECT_EQ(window_stack.WindowDepth, 0);
}

TEST_F(HelpTest, AShortOrMissingPageIgnoresTheMovesAndEscapeCloses) {
  root_.Put("AJUDA/SHORT.HLP", PageOf(3, 80));
  EXPECT_EQ(Browse("SHORT", {"Down", "PgDn", "End", "Esc"}),
            std::vector<std::string>(4, "LINE 01|"));
  EXPECT_EQ(Row(7, 3, 7), "       ");
  EXPECT_EQ(Browse("NONE", {"Down", "Esc"}), std::vector<std::string>(2, "|"));
}

TEST_F(HelpTest, F1ShowsTheGeneralHelpOnTopButNotInsideItself) {
  root_.Put("AJUDA/REMESES.HLP", PageOf(2, 80));
  std::string general = "GENERAL";
  general.resize(80, ' ');
  root_.Put("AJUDA/QQLAUNCH.HLP", general);
  EXPECT_EQ(Browse("REMESES", {"F1", "F1", "Esc", "Esc"}),
            (std::vector<std::string>{"LINE 01|", "GENERAL|", "GENERAL|", "LINE 01|"}));
}

TEST_F(HelpTest, StyleCharactersColourWhatFollowsAndTakeNoCell) {
  std::string line = "A \x1FWORD\x1F B \x1E\x1FU\x1F\x1E \x10R\x10";
  line.resize(80, ' ');
  root_.Put("AJUDA/STYLE.HLP", line);
  std::string shown;
  std::vector<uint8_t> colours;
  console::SetHeadlessStarvedHandler([&](int) {
    shown = Row(5, 3, 12);
    for (int c = 2; c < 14; ++c) colours.push_back(console::GetCell(4, c).attr);
    Feed("Esc");
    return true;
  });
  ShowHelp("STYLE");
  console::SetHeadlessStarvedHandler(nullptr);
  EXPECT_EQ(shown, "A WORD B U R");
  const uint8_t n = PairAttribute(1), u = PairAttribute(4), r = PairAttribute(2);
  // Underlining wins over the highlight switched on before it.
  EXPECT_EQ(colours, (std::vector<uint8_t>{n, n, u, u, u, u, n, n, n, u, n, r}));
}

TEST_F(HelpTest, AWideConsoleReadsRecordsOfItsWidthAndAPartialLastRecordIsLeftOut) {
  screen_.Reopen("", 99, 30);
  std::string page = PageOf(30, 99);
  page.resize(page.size() + 50, 'Z');  // half a record: no line
  page.replace(99 * 29 + 90, 9, "123456789");  // beyond the 95 shown
  root_.Put("AJUDA/WIDE.HLP", page);
  const auto seen = Browse("WIDE", {"End", "Down", "Esc"}, 30);
  EXPECT_EQ(seen, (std::vector<std::string>{"LINE 01|LINE 22", "LINE 09|LINE 30",
                                            "LINE 09|LINE 30"}));
  // 95 characters of the 99 shown, inside the frame at column 99.
  std::string last_row;
  console::SetHeadlessStarvedHandler([&](int) {
    last_row = Row(26, 89, 11);
    Feed("Esc");
    return true;
  });
  Feed("End");
  ShowHelp("WIDE");
  console::SetHeadlessStarvedHandler(nullptr);
  EXPECT_EQ(last_row, "    12345 \xBA");
}

TEST_F(HelpTest, OnAWindowsHostTheDocumentOpenerShowsTheHtmlPage) {
  root_.Put("comspec", "#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/args\"\n");
  ASSERT_EQ(chmod(root_.Host("comspec").c_str(), 0755), 0);
  qdeb::testing::ScopedEnvironment comspec("COMSPEC", root_.Host("comspec"));
  env::session.HostMode = "WIN";
  ShowHelp("REMESES");
  EXPECT_EQ(root_.Get("args"), "/C|QOPENR|AJUDA\\REMESES.HTM|");
  EXPECT_EQ(window_stack.WindowDepth, 0);
}

}  // namespace
}  // namespace ui::forms
