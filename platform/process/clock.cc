#include "platform/process/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace platform {

namespace {
// Process-wide: the clock's offset, one for the whole process.
int64_t clock_offset_seconds = 0;
}  // namespace

void SetClockOffsetSeconds(int64_t seconds) { clock_offset_seconds = seconds; }

LocalTime LocalNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  now.tv_sec += static_cast<time_t>(clock_offset_seconds);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  LocalTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  t.hundredths = static_cast<int>(now.tv_nsec / 10000000);
  t.weekday = local.tm_wday;
  return t;
}

double SecondsSinceMidnight() {
  LocalTime t = LocalNow();
  return t.hour * 3600.0 + t.minute * 60.0 + t.second + t.hundredths / 100.0;
}

int64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SleepMilliseconds(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace platform
