// The local date and time of the machine, the one place the program asks.
#pragma once

#include <cstdint>

namespace platform {

struct LocalTime {
  int year = 0;    // e.g. 2026
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;
  int second = 0;
  int hundredths = 0;  // 0..99
  int weekday = 0;     // 0 Sunday .. 6 Saturday
};

// The machine's clock, or the moment the environment variable KITCLOCK
// names ("YYYYMMDDhhmmss"), standing still, for reproducible runs.
LocalTime LocalNow();
// Moves the clock LocalNow reads by seconds (0 puts it back), so that a
// test can stand at a chosen moment, such as a change to summer time.
void SetClockOffsetSeconds(int64_t seconds);
// Seconds since local midnight with hundredths (the classic TIMER value).
double SecondsSinceMidnight();
// Milliseconds of a steady clock, for timeouts and measured waits.
int64_t SteadyMilliseconds();
void SleepMilliseconds(int ms);

}  // namespace platform
