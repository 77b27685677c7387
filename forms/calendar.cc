// The calendar: a quarter of the year in a window of columns 59 to 80, the
// months one under the other, the days under their weekday.
#include "forms/calendar.h"

#include <algorithm>
#include <array>
#include <string>

#include "env/language.h"
#include "env/session.h"
#include "forms/editor_state.h"
#include "platform/console/console.h"
#include "platform/process/clock.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/basics.h"
#include "util/dates.h"
#include "util/numbers.h"
#include "util/text.h"

namespace ui::forms {

namespace {

namespace console = platform::console;

constexpr int16_t kTop = 1, kLeft = 59, kBottom = 24, kRight = 80;
constexpr int32_t kFirstYear = 0, kLastYear = 9999;
constexpr int kInsideWidth = kRight - kLeft - 1;

int32_t Length(int32_t month, int32_t year) { return util::DaysInMonth(month, year, false); }

// The date's month moved by step (any sign), carrying into the year, the
// day untouched; false, with nothing moved, past kFirstYear..kLastYear.
bool StepMonth(CalendarDate& d, int32_t step) {
  const int32_t months = d.year * 12 + (d.month - 1) + step;
  if (months < kFirstYear * 12 || months > kLastYear * 12 + 11) return false;
  d.year = months / 12;
  d.month = months % 12 + 1;
  return true;
}

// Moves the month by count, or as far as the years allow; the day is cut to
// the new month's length.
void AddMonths(CalendarDate& d, int32_t count) {
  const int32_t months = d.year * 12 + (d.month - 1);
  StepMonth(d, std::clamp(months + count, kFirstYear * 12, kLastYear * 12 + 11) - months);
  d.day = std::min(d.day, Length(d.month, d.year));
}

// Moves the day by count, running over into the months around; past the
// first or last day of the years shown nothing moves.
void AddDays(CalendarDate& d, int32_t count) {
  const CalendarDate before = d;
  d.day += count;
  while (d.day < 1) {
    if (!StepMonth(d, -1)) {
      d = before;
      return;
    }
    d.day += Length(d.month, d.year);
  }
  while (d.day > Length(d.month, d.year)) {
    const int32_t length = Length(d.month, d.year);
    if (!StepMonth(d, 1)) {
      d = before;
      return;
    }
    d.day -= length;
  }
}

std::string Packed(const CalendarDate& d) { return util::PackDate(d.year, d.month, d.day); }

// The work date of the settings; today's date when it is not a date.
CalendarDate StartDate() {
  const util::DateParts p = util::SplitDate(env::session.WorkDate);
  if (p.year >= kFirstYear && p.year <= kLastYear && p.month >= 1 && p.month <= 12 &&
      p.day >= 1 && p.day <= Length(p.month, p.year)) {
    return {p.year, p.month, p.day};
  }
  const platform::LocalTime now = platform::LocalNow();
  return {now.year, now.month, now.day};
}

// The window-relative cell of a day of the shown quarter.
void DayCell(const CalendarDate& d, int16_t* row, int16_t* column) {
  const int i = (d.month - FirstMonthShown(d.month));
  const int first_weekday = util::Weekday(util::PackDate(d.year, d.month, 1));
  const int weekday = util::Weekday(Packed(d));
  *row = static_cast<int16_t>(7 * i + 2 + (first_weekday + d.day - 2) / 7 + 1);
  *column = static_cast<int16_t>(3 * weekday - 2);
}

std::string TwoDigits(int32_t day) {
  return std::string(1, day < 10 ? ' ' : static_cast<char>('0' + day / 10)) +
         static_cast<char>('0' + day % 10);
}

void ShowDay(const CalendarDate& d) {
  int16_t row = 0, column = 0;
  DayCell(d, &row, &column);
  PrintAt(row, column, TwoDigits(d.day));
}

void DrawMonth(int32_t year, int32_t month, int i) {
  SetColour("n");
  const int16_t title_row = static_cast<int16_t>(7 * i + 2);
  PrintAt(title_row, 1, std::string(kInsideWidth, ' '));
  const std::string name = util::FoldText(
      util::TrimRight(env::FormatDate(util::PackDate(year, month, 1), 2, "m")));
  PrintAt(title_row, static_cast<int16_t>(1 + util::CentreOffset(name, kInsideWidth)),
          name.substr(0, kInsideWidth));
  // 42 cells, six weeks: blanks before the 1st and after the last day.
  SetColour("h");
  const int first_weekday = util::Weekday(util::PackDate(year, month, 1));
  for (int cell = 0; cell < 42; ++cell) {
    const int day = cell - first_weekday + 2;
    const auto row = static_cast<int16_t>(title_row + 1 + cell / 7);
    const auto column = static_cast<int16_t>(3 * (cell % 7) + 1);
    const bool shown = day >= 1 && day <= Length(month, year);
    PrintAt(row, column, shown ? TwoDigits(day) : "  ");
  }
}

void DrawQuarter(const CalendarDate& d) {
  // The year between blanks, centred on the top frame line.
  SetColour("n");
  const std::string year = " " + util::ZeroPad(d.year, 4) + " ";
  console::WriteText(kTop - 1, kLeft - 1 + (kRight - kLeft + 1 - 6) / 2, year,
                     console::CurrentAttribute());
  PrintAt(1, 1, WeekdayHeading());
  const int32_t first = FirstMonthShown(d.month);
  for (int i = 0; i < 3; ++i) DrawMonth(d.year, first + i, i);
}

}  // namespace

int32_t FirstMonthShown(int32_t month) { return (month - 1) / 3 * 3 + 1; }

CalendarStep CalendarKey(CalendarDate& date, int16_t key) {
  switch (key) {
    case kKeyRight: AddDays(date, 1); return CalendarStep::kMoved;
    case kKeyLeft: AddDays(date, -1); return CalendarStep::kMoved;
    case kKeyDown: AddDays(date, 7); return CalendarStep::kMoved;
    case kKeyUp: AddDays(date, -7); return CalendarStep::kMoved;
    case kKeyPgDn: AddMonths(date, 3); return CalendarStep::kMoved;
    case kKeyPgUp: AddMonths(date, -3); return CalendarStep::kMoved;
    case kKeyHome: AddMonths(date, 1 - date.month); return CalendarStep::kMoved;
    case kKeyEnd: AddMonths(date, 12 - date.month); return CalendarStep::kMoved;
    case 'F': case 'f': case kKeyAltF: return CalendarStep::kFinish;
    case kKeyEscape: return CalendarStep::kLeave;
    default: return CalendarStep::kNothing;
  }
}

std::string WeekdayHeading() {
  if (env::session.LanguageCode == "SPA" || env::session.LanguageCode == "GLG")
    return " L  M  X  J  V  S  D";
  if (env::session.LanguageCode == "OCI") return "DL DT DC DJ DD DS DG";
  return "DL DT DC DJ DV DS DG";
}

std::string ShowCalendar() {
  const PopupScope popup("+ea", "4d00,4b00,5000,4800,5100,4900,4700,4f00,2100,1b");
  std::string result;
  if (OpenWindow(kTop, kLeft, kBottom, kRight)) {
    DrawFrame(1);
    CalendarDate date = StartDate();
    DrawQuarter(date);
    for (;;) {
      SetColour("+u");
      ShowDay(date);
      int16_t key = 0;
      WaitKey(key);
      SetColour("-");
      SetColour("h");
      ShowDay(date);
      const int32_t shown = date.year * 12 + FirstMonthShown(date.month);
      const CalendarStep step = CalendarKey(date, key);
      if (step == CalendarStep::kFinish) result = env::FormatDate(Packed(date), 0, "dma");
      if (step == CalendarStep::kFinish || step == CalendarStep::kLeave) break;
      if (date.year * 12 + FirstMonthShown(date.month) != shown) DrawQuarter(date);
    }
    CloseWindow();
  } else {
    console::Beep();
  }
  return result;
}

}  // namespace ui::forms
