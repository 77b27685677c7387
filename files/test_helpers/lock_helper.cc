// A separate process for the lock tests: takes and releases locks in the
// tables of a root directory, as another terminal would.
//
//   lock_helper ROOT WORKDIR hold NAME LOW HIGH UNTIL   lock LOW..HIGH, print
//       "held HOLDER PID" once granted, keep it until the file UNTIL exists,
//       release, print "released"; "waiting" is printed whenever a wait is
//       told
//   lock_helper ROOT WORKDIR churn NAME COUNT LOG    COUNT times: lock a key of
//       its own, append "+key" to LOG while holding it, then "-key", release
//
// The lock waits are shortened a hundredfold, so that many processes meeting
// on one table finish quickly; their order is unchanged. With
// LOCK_HELPER_CLOCK=SECONDS in the environment, the helper's clock stands at
// that many seconds since 1970 (UTC) when it starts; TZ gives its time zone.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "env/session.h"
#include "files/locks.h"
#include "platform/process/clock.h"

namespace {

void ShortPause(int milliseconds) { platform::SleepMilliseconds(milliseconds / 100 + 1); }

// The test reads this line to know that this process has met the other's
// lock or open table, instead of guessing how long that takes.
bool PrintWaiting(int16_t, const std::string&) {
  std::printf("waiting\n");
  std::fflush(stdout);
  return false;
}

// Held until the test creates the file; a test that never does is given up
// on after two minutes, with a failure rather than a hang.
bool WaitForFile(const std::string& path) {
  for (int waited = 0; waited < 120000; waited += 2) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return true;
    platform::SleepMilliseconds(2);
  }
  return false;
}

bool AppendLine(const std::string& log, const std::string& line) {
  FILE* out = std::fopen(log.c_str(), "a");
  if (out == nullptr) return false;
  std::fprintf(out, "%s\n", line.c_str());
  return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  env::session.RootDir = argv[1];
  env::session.WorkDir = argv[2];
  std::string mode = argv[3];
  std::string name = argv[4];
  files::Hooks.wait.pause = ShortPause;
  if (const char* clock = std::getenv("LOCK_HELPER_CLOCK")) {
    platform::SetClockOffsetSeconds(std::atoll(clock) - static_cast<long long>(std::time(nullptr)));
  }
  if (mode == "hold" && argc == 8) {
    files::Hooks.wait.show_message = PrintWaiting;
    if (!files::AcquireLock(name, "K", argv[5], argv[6]).ok()) return 1;
    std::printf("held %d %d\n", files::lock_identity.LockHolder, static_cast<int>(getpid()));
    std::fflush(stdout);
    bool told = WaitForFile(argv[7]);
    const bool released = files::ReleaseLock(name).ok();
    std::printf("released %d\n", released ? 0 : -1);
    return released && told ? 0 : 3;
  }
  if (mode == "churn" && argc == 7) {
    int count = std::atoi(argv[5]);
    std::string log = argv[6];
    for (int i = 0; i < count; ++i) {
      // Every process takes the same keys, so each must wait for the others.
      std::string key = "K" + std::to_string(i % 5);
      if (!files::LockKey(name, key).ok()) return 1;
      if (!AppendLine(log, "+" + key)) return 1;
      platform::SleepMilliseconds(1);
      if (!AppendLine(log, "-" + key)) return 1;
      if (!files::ReleaseLock(name).ok()) return 1;
    }
    return 0;
  }
  return 2;
}
