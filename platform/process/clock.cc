#include "platform/process/clock.h"

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "platform/process/environment.h"

namespace platform {

namespace {
// Process-wide: the clock's offset, one for the whole process.
int64_t clock_offset_seconds = 0;

// The moment KITCLOCK fixes ("YYYYMMDDhhmmss", local time), when it holds
// one: the wall clock then stands still there, so that two runs on the same
// records write the same files, names and time stamps included. Read at
// every call: the converter and the program started from one environment
// stand at the same moment.
bool FixedNow(timespec& now) {
  const std::string text = GetEnvironment("KITCLOCK");
  if (text.size() != 14 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  auto field = [&text](size_t at, size_t length) { return std::stoi(text.substr(at, length)); };
  tm local{};
  local.tm_year = field(0, 4) - 1900;
  local.tm_mon = field(4, 2) - 1;
  local.tm_mday = field(6, 2);
  local.tm_hour = field(8, 2);
  local.tm_min = field(10, 2);
  local.tm_sec = field(12, 2);
  local.tm_isdst = -1;
  const time_t seconds = mktime(&local);
  if (seconds == static_cast<time_t>(-1)) return false;
  now.tv_sec = seconds;
  now.tv_nsec = 0;
  return true;
}
}  // namespace

void SetClockOffsetSeconds(int64_t seconds) { clock_offset_seconds = seconds; }

LocalTime LocalNow() {
  timespec now{};
  if (!FixedNow(now)) clock_gettime(CLOCK_REALTIME, &now);
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
