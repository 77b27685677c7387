#include "forms/calendar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "env/session.h"
#include "forms/editor_state.h"
#include "platform/console/console.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "ui/ui_test_support.h"
#include "util/dates.h"

namespace ui::forms {
namespace {

namespace console = platform::console;

struct MoveCase {
  const char* name;
  CalendarDate from;
  std::vector<int16_t> keys;
  CalendarDate to;
  int32_t first_shown;  // the quarter's first month
  CalendarStep step;    // of the last key
};

constexpr auto kMoved = CalendarStep::kMoved;

const MoveCase kMoves[] = {
    {"Left on 1 January goes to the year before", {2026, 1, 1}, {kKeyLeft}, {2025, 12, 31}, 10, kMoved},
    {"PgDn cuts the day to the new month", {2026, 1, 31}, {kKeyPgDn}, {2026, 4, 30}, 4, kMoved},
    {"PgUp crosses the year", {2026, 2, 15}, {kKeyPgUp}, {2025, 11, 15}, 10, kMoved},
    {"2024 is a leap year", {2024, 2, 28}, {kKeyRight}, {2024, 2, 29}, 1, kMoved},
    {"2000 is a leap year", {2000, 2, 28}, {kKeyRight}, {2000, 2, 29}, 1, kMoved},
    {"1900 is not", {1900, 2, 28}, {kKeyRight}, {1900, 3, 1}, 1, kMoved},
    {"2023 is not", {2023, 2, 28}, {kKeyRight}, {2023, 3, 1}, 1, kMoved},
    {"Down a week into the next year", {2026, 12, 28}, {kKeyDown}, {2027, 1, 4}, 1, kMoved},
    {"Up a week into the month before", {2026, 3, 3}, {kKeyUp}, {2026, 2, 24}, 1, kMoved},
    {"Home and End go to January and December", {2026, 8, 31}, {kKeyHome}, {2026, 1, 31}, 1, kMoved},
    {"End cuts the day too", {2026, 5, 31}, {kKeyHome, kKeyEnd}, {2026, 12, 31}, 10, kMoved},
    {"the first day of the years stays", {0, 1, 1}, {kKeyLeft, kKeyPgUp}, {0, 1, 1}, 1, kMoved},
    {"and the last one", {9999, 12, 31}, {kKeyDown, kKeyPgDn}, {9999, 12, 31}, 10, kMoved},
    {"Enter does nothing", {2026, 5, 5}, {13}, {2026, 5, 5}, 4, CalendarStep::kNothing},
    {"f picks", {2026, 5, 5}, {'f'}, {2026, 5, 5}, 4, CalendarStep::kFinish},
    {"Alt+F picks", {2026, 5, 5}, {0x2100}, {2026, 5, 5}, 4, CalendarStep::kFinish},
    {"Escape leaves", {2026, 5, 5}, {27}, {2026, 5, 5}, 4, CalendarStep::kLeave},
};

TEST(CalendarKeysTest, MovesTheDayAcrossMonthsAndYears) {
  for (const MoveCase& c : kMoves) {
    SCOPED_TRACE(c.name);
    CalendarDate d = c.from;
    CalendarStep step = CalendarStep::kNothing;
    for (int16_t key : c.keys) step = CalendarKey(d, key);
    EXPECT_EQ(d.year, c.to.year);
    EXPECT_EQ(d.month, c.to.month);
    EXPECT_EQ(d.day, c.to.day);
    EXPECT_EQ(FirstMonthShown(d.month), c.first_shown);
    EXPECT_EQ(step, c.step);
  }
}

class CalendarScreenTest : public ui::testing::UiTest {};

TEST_F(CalendarScreenTest, ShowsTheQuarterHighlightsTheDayAndTypesTheDate) {
  env::session.LanguageCode = "OCI";
  env::session.WorkDate = util::PackDate(2026, 1, 1);
  PrintAt(12, 1, std::string(80, '#'));
  struct Seen {
    std::string year, heading, last_day;
    uint8_t last_day_colour = 0;
  } seen;
  console::SetHeadlessStarvedHandler([&](int) {
    seen = {Row(1, 66, 8), Row(2, 60, 20), Row(22, 66, 2), console::GetCell(21, 65).attr};
    Feed("text:F");
    return true;
  });
  Feed("Left");
  const std::string date = ShowCalendar();
  console::SetHeadlessStarvedHandler(nullptr);
  EXPECT_EQ(date, "31/12/2025");
  EXPECT_EQ(seen.year, "\xC4 2025 \xC4");
  EXPECT_EQ(seen.heading, "DL DT DC DJ DD DS DG");
  // 31 December 2025, a Wednesday, in the fifth week of the third month.
  EXPECT_EQ(seen.last_day, "31");
  EXPECT_EQ(seen.last_day_colour, PairAttribute(4));
  EXPECT_EQ(Row(12, 1, 80), std::string(80, '#'));
}

TEST_F(CalendarScreenTest, EscapeTypesNothingLeavesTheFieldsKeysAndAWorkDateThatIsNoDateStartsToday) {
  env::session.WorkDate = "garbage";
  env::session.LanguageCode = "SPA";
  std::string heading;
  console::SetHeadlessStarvedHandler([&](int) {
    heading = Row(2, 60, 20);
    Feed("Esc");
    return true;
  });
  // A field of a form: its caller's key set in the save slot, its own in use.
  SetKeySet("+ea", "d,1b,4800");
  SetKeySet("+ea", "d,1b,3b00");
  const EditorState field = TakeEditorState();
  EXPECT_EQ(ShowCalendar(), "");
  console::SetHeadlessStarvedHandler(nullptr);
  const EditorState after = TakeEditorState();
  EXPECT_EQ(after.codes, field.codes);
  EXPECT_EQ(after.saved_codes, field.saved_codes);
  EXPECT_TRUE(after.saved);
  EXPECT_EQ(heading, " L  M  X  J  V  S  D");
  EXPECT_EQ(window_stack.WindowDepth, 0);
}

}  // namespace
}  // namespace ui::forms
