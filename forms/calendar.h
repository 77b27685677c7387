// The pop-up calendar behind Alt+C: three months at a time on the right of
// the screen, a highlighted day the arrows move, and the chosen date typed
// into the field being edited.
#pragma once

#include <cstdint>
#include <string>

namespace ui::forms {

struct CalendarDate {
  int32_t year = 0;
  int32_t month = 1;  // 1..12
  int32_t day = 1;
};

// What a key does to the calendar, besides moving the date.
enum class CalendarStep { kNothing, kMoved, kFinish, kLeave };

// Moves the date by one key: Right and Left a day, Down and Up a week, PgDn
// and PgUp three months (the day cut to the new month's length), Home and
// End to January and December; "F", "f" or Alt+F finish, Escape leaves.
// Days run over into the months and years around them; the date stays
// within the years 0 to 9999.
CalendarStep CalendarKey(CalendarDate& date, int16_t key);

// The first month of the quarter shown with the date's month.
int32_t FirstMonthShown(int32_t month);

// The weekday heading of the operator's language (env::session.LanguageCode).
std::string WeekdayHeading();

// Shows the calendar at the work date (today's date when the settings hold
// none) until "F" (the date as the installation writes it, day, month and
// year) or Escape (empty text). The console must have 24 rows and 80
// columns; on a smaller one nothing is shown and the result is empty.
std::string ShowCalendar();

}  // namespace ui::forms
