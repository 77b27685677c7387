#include "files/locks.h"

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "env/session.h"
#include "files/lock_liveness.h"
#include "files/scratch_test.h"
#include "platform/process/clock.h"
#include "util/cp850.h"

namespace files {
namespace {

int shown = 0;
int closed = 0;
int escape_after = -1;  // polls before Escape is pressed; -1 never
std::string last_message;
std::string go_file;  // created when a wait is told, for another process to see

bool CountShow(int16_t, const std::string& message) {
  ++shown;
  last_message = message;
  if (!go_file.empty()) std::ofstream(go_file) << "go";
  return true;
}
void CountClose() { ++closed; }
bool EscapeSoon() { return escape_after >= 0 && escape_after-- == 0; }
void NoPause(int) {}

class LocksTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    std::filesystem::create_directories(root_ + "/work");
    env::session.RootDir = root_ + "/";
    env::session.WorkDir = root_ + "/work/";
    env::session.LanguageCode = "CAT";
    shown = closed = 0;
    escape_after = -1;
    go_file.clear();
    Hooks.wait = {CountShow, CountClose, EscapeSoon, NoPause};
    Become(111, "ESTACIO1");
  }
  // Acts as another terminal from here on.
  static void Become(int32_t holder, const std::string& station) {
    lock_identity.LockHolder = holder;
    lock_identity.LockStation = station + std::string(15 - station.size(), ' ');
  }
  // Asks for a lock that another holder may have: 0 when granted at once,
  // kCancelled when it would have to wait (Escape is pressed at once).
  static env::Status TryAcquire(std::string_view kind, std::string_view low, std::string_view high) {
    escape_after = 0;
    env::Status result = AcquireLock("TrasBanc", kind, low, high);
    escape_after = -1;
    return result;
  }
  std::string Table(const std::string& name = "TrasBanc.lck") {
    return ReadAll(root_ + "/LOCKS/" + name);
  }
  std::string Slot(size_t i) { return Table().substr(i * kLockSlotSize, kLockSlotSize); }
  void WriteTable(const std::string& bytes) {
    std::filesystem::create_directories(root_ + "/LOCKS");
    std::ofstream(root_ + "/LOCKS/TrasBanc.lck", std::ios::binary) << bytes;
  }
  static std::string Field(const std::string& text, size_t size) {
    return text + std::string(size - text.size(), ' ');
  }
  static std::string MakeSlot(const std::string& station, int32_t holder, int32_t stamp,
                              const std::string& kind, const std::string& low,
                              const std::string& high) {
    return Field(station, 15) + Field(std::to_string(holder), 11) +
           Field(std::to_string(stamp), 8) + kind + Field(std::to_string(low.size()), 2) +
           Field(low, 40) + Field(std::to_string(high.size()), 2) + Field(high, 40) + "\r\n";
  }
};

TEST_F(LocksTest, SlotLayout) {
  int32_t before = MinutesNow();
  ASSERT_EQ(AcquireLock("TrasBanc", "k", "100", "199").code(), env::Code::kOk);
  std::string table = Table();
  ASSERT_EQ(table.size(), 121u);
  EXPECT_EQ(table.substr(0, 26), Field("ESTACIO1", 15) + Field("111", 11));
  int32_t stamp = std::stoi(table.substr(26, 8));
  EXPECT_GE(stamp, before);
  EXPECT_LE(stamp, before + 1);
  EXPECT_EQ(table.substr(34), "K3 " + Field("100", 40) + "3 " + Field("199", 40) + "\r\n");
  EXPECT_EQ(shown, 0);
}

TEST_F(LocksTest, OverlappingKeyRangesOfOthersConflict) {
  ASSERT_EQ(AcquireLock("TrasBanc", "K", "100", "199").code(), env::Code::kOk);
  Become(222, "ESTACIO2");
  EXPECT_EQ(TryAcquire("K", "150", "150").code(), env::Code::kCancelled);
  EXPECT_EQ(TryAcquire("K", "050", "100").code(), env::Code::kCancelled);
  EXPECT_EQ(shown, 2);  // once per wait
  EXPECT_EQ(closed, 2);
  EXPECT_EQ(last_message, "FITXER BLOQUEJAT. ESPEREU UN MOMENT.");
  EXPECT_EQ(TryAcquire("K", "200", "299").code(), env::Code::kOk);
  EXPECT_EQ(TryAcquire("K", "000", "099").code(), env::Code::kOk);
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(Table().size(), 3u * 121);
}

TEST_F(LocksTest, KeyLocksOfOneHolderAreKnownByNumberAlone) {
  ASSERT_EQ(AcquireLock("TrasBanc", "K", "100", "199").code(), env::Code::kOk);
  Become(111, "ALTRA");
  // The same holder elsewhere renews its slot with the new range.
  EXPECT_EQ(TryAcquire("K", "150", "160").code(), env::Code::kOk);
  EXPECT_EQ(Table().size(), 121u);
  EXPECT_EQ(Slot(0).substr(0, 15), Field("ALTRA", 15));
  EXPECT_EQ(Slot(0).substr(35, 5), "3 150");
}

TEST_F(LocksTest, AbandonedSlotsAreReused) {
  int32_t old = MinutesNow() - 31;
  WriteTable(MakeSlot("ESTACIO9", 999, old, "K", "150", "150") +
             MakeSlot("ESTACIO9", 999, MinutesNow() - 29, "K", "500", "500"));
  EXPECT_EQ(TryAcquire("K", "150", "150").code(), env::Code::kOk);
  ASSERT_EQ(Table().size(), 2u * 121);
  EXPECT_EQ(Slot(0).substr(0, 26), Field("ESTACIO1", 15) + Field("111", 11));
  EXPECT_GE(std::stoi(Slot(0).substr(26, 8)), old + 30);  // stamped afresh
  // Not yet 30 minutes old: still held.
  EXPECT_EQ(TryAcquire("K", "500", "500").code(), env::Code::kCancelled);
}

TEST_F(LocksTest, WholeFileLocks) {
  ASSERT_EQ(AcquireLock("TrasBanc", "F", "", "").code(), env::Code::kOk);
  Become(222, "ESTACIO2");
  EXPECT_EQ(TryAcquire("K", "1", "1").code(), env::Code::kCancelled);
  EXPECT_EQ(TryAcquire("f", "", "").code(), env::Code::kCancelled);
  Become(111, "ESTACIO1");
  EXPECT_EQ(AcquireLock("TrasBanc", "F", "", "").code(), env::Code::kOk);  // renewed in place
  EXPECT_EQ(Table().size(), 121u);
  // Known by workstation and number: the same number elsewhere is another holder.
  Become(111, "ALTRA");
  EXPECT_EQ(TryAcquire("F", "", "").code(), env::Code::kCancelled);
}

TEST_F(LocksTest, AWholeFileRequestIsDecidedByTheFirstOccupiedSlot) {
  int32_t now = MinutesNow();
  WriteTable(MakeSlot("", 0, now, " ", "", "") +
             MakeSlot("ESTACIO1", 111, now, "K", "1", "1") +
             MakeSlot("ESTACIO2", 222, now, "K", "2", "2"));
  EXPECT_EQ(TryAcquire("F", "", "").code(), env::Code::kOk);
  EXPECT_EQ(Slot(0)[34], 'F');  // into the free slot before it
  Become(222, "ESTACIO2");
  EXPECT_EQ(TryAcquire("F", "", "").code(), env::Code::kCancelled);
}

TEST_F(LocksTest, AKeyRequestMeetsWholeFileLocksWhereverTheScanReachesThem) {
  int32_t now = MinutesNow();
  // Apart from this holder's own key lock, then another's whole-file lock.
  WriteTable(MakeSlot("ESTACIO1", 111, now, "K", "1", "1") +
             MakeSlot("ESTACIO2", 222, now, "F", "", ""));
  EXPECT_EQ(TryAcquire("K", "5", "5").code(), env::Code::kCancelled);
  EXPECT_EQ(Table().size(), 2u * 121);
  // Once that lock is 31 minutes old it is gone, and the key is granted in its slot.
  WriteTable(MakeSlot("ESTACIO1", 111, now, "K", "1", "1") +
             MakeSlot("ESTACIO2", 222, now - 31, "F", "", ""));
  EXPECT_EQ(TryAcquire("K", "5", "5").code(), env::Code::kOk);
  ASSERT_EQ(Table().size(), 2u * 121);
  EXPECT_EQ(Slot(1).substr(15, 3), "111");
  EXPECT_EQ(Slot(1).substr(34, 4), "K1 5");
  EXPECT_EQ(Slot(0).substr(34, 4), "K1 1");  // the older lock untouched
}

TEST_F(LocksTest, ReleaseTakesTheMostRecentLockOfTheHolder) {
  EXPECT_EQ(ReleaseLock("TrasBanc").code(), env::Code::kNotFound);
  int32_t now = MinutesNow();
  WriteTable(MakeSlot("ESTACIO1", 111, now - 5, "K", "1", "1") +
             MakeSlot("ESTACIO1", 111, now - 2, "K", "2", "2") +
             MakeSlot("ESTACIO2", 222, now, "K", "3", "3") +
             MakeSlot("ESTACIO1", 111, now - 9, "K", "4", "4"));
  const std::string before = Table();
  EXPECT_EQ(ReleaseLock("TrasBanc").code(), env::Code::kOk);
  std::string after = Table();
  EXPECT_EQ(after.substr(121, 26), std::string(26, ' '));
  EXPECT_EQ(after[121 + 34], ' ');
  EXPECT_EQ(after.substr(121 + 26, 8), before.substr(121 + 26, 8));  // stamp and keys stay
  EXPECT_EQ(after.substr(121 + 35, 86), before.substr(121 + 35, 86));
  EXPECT_EQ(after.substr(0, 121), before.substr(0, 121));
  EXPECT_EQ(ReleaseLock("trasbanc").code(), env::Code::kOk);
  EXPECT_EQ(Table().substr(0, 15), std::string(15, ' '));
  EXPECT_EQ(ReleaseLock(" TrasBanc ").code(), env::Code::kOk);
  EXPECT_EQ(ReleaseLock("TrasBanc").code(), env::Code::kNotFound);
  EXPECT_EQ(Table().substr(242, 15), Field("ESTACIO2", 15));
}

TEST_F(LocksTest, TwoLocksAndOneReleaseLeaveTheOlder) {
  ASSERT_EQ(AcquireLock("TrasBanc", "K", "1", "1").code(), env::Code::kOk);
  ASSERT_EQ(AcquireLock("TrasBanc", "K", "5", "5").code(), env::Code::kOk);
  EXPECT_EQ(ReleaseLock("TrasBanc").code(), env::Code::kOk);
  EXPECT_EQ(Slot(0).substr(15, 3), "111");
  EXPECT_EQ(Slot(1).substr(15, 3), "   ");
  Become(222, "ESTACIO2");
  EXPECT_EQ(TryAcquire("K", "5", "5").code(), env::Code::kOk);  // into the freed slot
  EXPECT_EQ(Table().size(), 2u * 121);
  EXPECT_EQ(TryAcquire("K", "1", "1").code(), env::Code::kCancelled);
}

TEST_F(LocksTest, RelockMovesTheLatestLockOrReleasesItBeforeAWait) {
  ASSERT_EQ(AcquireLock("TrasBanc", "K", "1", "1").code(), env::Code::kOk);
  ASSERT_EQ(AcquireLock("TrasBanc", "K", "5", "5").code(), env::Code::kOk);
  EXPECT_EQ(RelockKey("TrasBanc", "7").code(), env::Code::kOk);
  ASSERT_EQ(Table().size(), 2u * 121);
  EXPECT_EQ(Slot(0).substr(34, 4), "K1 1");
  EXPECT_EQ(Slot(1).substr(15, 3), "111");
  EXPECT_EQ(Slot(1).substr(34, 4), "K1 7");
  Become(222, "ESTACIO2");
  EXPECT_EQ(TryAcquire("K", "9", "9").code(), env::Code::kOk);
  Become(111, "ESTACIO1");
  // Another holder has the key: the old lock goes at once, as a release
  // before the wait would have let it go.
  escape_after = 0;
  EXPECT_EQ(RelockKey("TrasBanc", "9").code(), env::Code::kCancelled);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(Slot(1).substr(0, 26), std::string(26, ' '));
  EXPECT_EQ(Slot(0).substr(15, 3), "111");
  EXPECT_EQ(Slot(2).substr(15, 3), "222");
}

TEST_F(LocksTest, NamesWithBlanksMeetTheSameTable) {
  ASSERT_EQ(AcquireLock("  TrasBanc  ", "K", "1", "1").code(), env::Code::kOk);
  EXPECT_TRUE(std::filesystem::exists(root_ + "/LOCKS/TrasBanc.lck"));
  EXPECT_EQ(ReleaseLock("TrasBanc").code(), env::Code::kOk);
  EXPECT_EQ(ReleaseLock("TrasBanc").code(), env::Code::kNotFound);
}

TEST_F(LocksTest, LongKeysAreCutTo40) {
  std::string low(55, 'L');
  std::string high = std::string(40, 'H') + "XYZ";
  ASSERT_EQ(AcquireLock("TrasBanc", "K", low, high).code(), env::Code::kOk);
  EXPECT_EQ(Slot(0).substr(35, 42), "40" + std::string(40, 'L'));
  EXPECT_EQ(Slot(0).substr(77, 42), "40" + std::string(40, 'H'));
}

TEST_F(LocksTest, LockKeyWritesPackedDigitsOut) {
  std::string key = "B";
  key += static_cast<char>(128 + 12);
  key += "00042";
  key += static_cast<char>(128 + 99);
  key += static_cast<char>(228);  // beyond the packed digits: kept
  EXPECT_EQ(LockKeyText(key), "B1200042" "99" + std::string(1, static_cast<char>(228)));
  ASSERT_EQ(LockKey("TrasBanc", key).code(), env::Code::kOk);
  EXPECT_EQ(Slot(0)[34], 'K');
  EXPECT_EQ(Slot(0).substr(35, 13), "11" + LockKeyText(key));
  Become(222, "ESTACIO2");
  EXPECT_EQ(TryAcquire("K", LockKeyText(key), LockKeyText(key)).code(), env::Code::kCancelled);
}

TEST_F(LocksTest, BadKindsAndDamagedTables) {
  EXPECT_EQ(AcquireLock("TrasBanc", "", "1", "1").code(), env::Code::kRefused);
  EXPECT_EQ(AcquireLock("TrasBanc", "X", "1", "1").code(), env::Code::kRefused);
  EXPECT_FALSE(std::filesystem::exists(root_ + "/LOCKS/TrasBanc.lck"));
  // A torn last slot and a slot of garbage: the garbage is freed (no stamp),
  // the torn end cut off.
  WriteTable(std::string(121, '\x01') + "ESTACIO2       222   ");
  EXPECT_EQ(AcquireLock("TrasBanc", "K", "1", "1").code(), env::Code::kOk);
  EXPECT_EQ(Table().size() % 121, 0u);
  EXPECT_EQ(ReleaseLock("TrasBanc").code(), env::Code::kOk);
  WriteTable(MakeSlot("ESTACIO2", 222, MinutesNow(), "K", "1", "1").replace(35, 2, "99"));
  EXPECT_EQ(TryAcquire("K", "1", "1").code(), env::Code::kCancelled);  // length read as at most 40
}

TEST_F(LocksTest, WaitingMessagesByLanguage) {
  const std::map<std::string, std::string> expected = {
      {"SPA", "FICHERO BLOQUEADO. ESPERE UN MOMENTO."},
      {"GLG", "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO."},
      {"OCI", util::Cp850("FICH╚R BLOQUEJAT. ESPERATZ UN MOMENT.")},
      {"CAT", "FITXER BLOQUEJAT. ESPEREU UN MOMENT."},
      {"   ", "FITXER BLOQUEJAT. ESPEREU UN MOMENT."}};
  for (const auto& [code, message] : expected) {
    env::session.LanguageCode = code;
    EXPECT_EQ(LockWaitMessage(), message) << code;
  }
}

TEST_F(LocksTest, IdentityIsCreatedOnceAndKept) {
  lock_identity.LockHolder = 0;
  LoadLockIdentity();
  int32_t holder = lock_identity.LockHolder;
  EXPECT_GT(holder, 0);
  EXPECT_EQ(lock_identity.LockStation.size(), 15u);
  std::string bytes = ReadAll(root_ + "/work/LOCKS.TMP");
  ASSERT_EQ(bytes.size(), 19u);
  int32_t stored = 0;
  for (int k = 3; k >= 0; --k) stored = stored * 256 + static_cast<unsigned char>(bytes[k]);
  EXPECT_EQ(stored, holder);
  EXPECT_EQ(bytes.substr(4), lock_identity.LockStation);
  // A later run in the same work directory is the same holder, name included.
  bytes.replace(4, 15, "ALTRA NOM      ");
  std::ofstream(root_ + "/work/LOCKS.TMP", std::ios::binary) << bytes;
  lock_identity.LockHolder = 0;
  LoadLockIdentity();
  EXPECT_EQ(lock_identity.LockHolder, holder);
  EXPECT_EQ(lock_identity.LockStation, "ALTRA NOM      ");
  // An empty or damaged identity file is given a new identity.
  std::ofstream(root_ + "/work/LOCKS.TMP", std::ios::binary) << std::string("\0\0\0\0", 4);
  lock_identity.LockHolder = 0;
  LoadLockIdentity();
  EXPECT_GT(lock_identity.LockHolder, 0);
  EXPECT_NE(lock_identity.LockHolder, holder);
  // Without a work directory the identity lasts this run, and locks still work.
  env::session.WorkDir = root_ + "/gone/";
  lock_identity.LockHolder = 0;
  LoadLockIdentity();
  EXPECT_GT(lock_identity.LockHolder, 0);
  EXPECT_EQ(AcquireLock("TrasBanc", "K", "1", "1").code(), env::Code::kOk);
  EXPECT_EQ(ReleaseLock("TrasBanc").code(), env::Code::kOk);
  EXPECT_FALSE(std::filesystem::exists(root_ + "/gone"));
}

TEST_F(LocksTest, MinutesNowIsLocalMinutesSince1970) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  int64_t expected = static_cast<int64_t>(timegm(&local)) / 60;
  EXPECT_LE(std::abs(MinutesNow() - expected), 1);
}

TEST_F(LocksTest, AMissingLocksFolderIsCreated) {
  EXPECT_FALSE(std::filesystem::exists(root_ + "/LOCKS"));
  platform::fs::File table = OpenLockTable(env::session.RootDir + "LOCKS", "USort.lck");
  EXPECT_TRUE(table.IsOpen());
  EXPECT_TRUE(std::filesystem::exists(root_ + "/LOCKS/USort.lck"));
}

TEST_F(LocksTest, AnUnopenableTableIsToldAndMayBeLeft) {
  env::session.RootDir = "Q:\\ROOT\\";  // an absent drive
  escape_after = 3;
  EXPECT_EQ(AcquireLock("TrasBanc", "K", "1", "1").code(), env::Code::kCancelled);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(closed, 1);
  // A file standing where the LOCKS folder should be.
  env::session.RootDir = root_ + "/";
  Touch("LOCKS");
  escape_after = 3;
  EXPECT_EQ(AcquireLock("TrasBanc", "K", "1", "1").code(), env::Code::kCancelled);
  escape_after = 3;
  EXPECT_EQ(ReleaseLock("TrasBanc").code(), env::Code::kCancelled);
  EXPECT_EQ(shown, 3);
  EXPECT_EQ(closed, 3);
}

// Multi-process cases: the helper program is another terminal. Nothing here
// waits for a guessed time: each step waits for a line the other process
// prints once it has got there, so a loaded machine only makes them slower.
std::string Helper(const std::string& root, const std::string& work, const std::string& args,
                   const std::string& environment = "") {
  return environment + " " + QDEB_LOCK_HELPER + " " + root + "/ " + work + "/ " + args;
}

// The next line of the other process; empty at its end.
std::string ReadLine(FILE* other) {
  std::string line;
  char buffer[128];
  while (fgets(buffer, sizeof buffer, other) != nullptr) {
    line += buffer;
    if (line.back() == '\n') break;
  }
  return line;
}

// The next line other than the waiting notice, which the helper prints
// whenever it has to wait for the table, as may happen at any step.
std::string ReadResult(FILE* other) {
  std::string line;
  do {
    line = ReadLine(other);
  } while (line == "waiting\n");
  return line;
}

// Reads the other process to its end before closing the pipe: closing it
// while the process still writes would kill that process with SIGPIPE (the
// shell of popen then reports 141) instead of letting it finish.
int Finish(FILE* other) {
  while (!ReadLine(other).empty()) {
  }
  return pclose(other);
}

TEST_F(LocksTest, AnotherProcessWaitsUntilTheRangeIsReleased) {
  Hooks.wait.pause = nullptr;  // real pauses: the other process must get its turn
  std::filesystem::create_directories(root_ + "/work2");
  // The other process keeps its lock until our wait has been told.
  go_file = root_ + "/go";
  FILE* other = popen(Helper(root_, root_ + "/work2", "hold TrasBanc 100 199 " + go_file).c_str(), "r");
  ASSERT_NE(other, nullptr);
  std::string line = ReadResult(other);
  ASSERT_EQ(line.substr(0, 5), "held ") << line;
  lock_identity.LockHolder = 0;
  LoadLockIdentity();
  ASSERT_NE(lock_identity.LockHolder, std::stoi(line.substr(5)));
  EXPECT_EQ(AcquireLock("TrasBanc", "K", "150", "150").code(), env::Code::kOk);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(closed, 1);
  EXPECT_TRUE(Exists("go"));
  // Granted in the slot the other process freed, so only after its release.
  ASSERT_EQ(Table().size(), 121u);
  EXPECT_EQ(Slot(0).substr(15, 11), Field(std::to_string(lock_identity.LockHolder), 11));
  EXPECT_EQ(Slot(0).substr(34, 6), "K3 150");
  EXPECT_EQ(ReadResult(other), "released 0\n");
  EXPECT_EQ(Finish(other), 0);
  EXPECT_EQ(ReleaseLock("TrasBanc").code(), env::Code::kOk);
}

TEST_F(LocksTest, ATableOpenElsewhereIsWaitedFor) {
  Hooks.wait.pause = nullptr;
  std::filesystem::create_directories(root_ + "/work2");
  Touch("go");  // the other process releases as soon as it holds its lock
  const std::string mine = MakeSlot("ESTACIO1", 111, MinutesNow(), "K", "5", "5");
  FILE* other = nullptr;
  {
    platform::fs::File table = OpenLockTable(env::session.RootDir + "LOCKS", "TrasBanc.lck");
    ASSERT_TRUE(table.IsOpen());
    other = popen(Helper(root_, root_ + "/work2", "hold TrasBanc 1 1 " + root_ + "/go").c_str(),
                  "r");
    ASSERT_NE(other, nullptr);
    // Told once it found the table open here several times over.
    EXPECT_EQ(ReadLine(other), "waiting\n");
    // Meanwhile this process updates the table; the other one has not touched it.
    ASSERT_TRUE(table.WriteAt(0, mine.data(), mine.size()));
    EXPECT_EQ(Table(), mine);
  }
  std::string line = ReadResult(other);
  EXPECT_EQ(line.substr(0, 5), "held ") << line;
  EXPECT_EQ(ReadResult(other), "released 0\n");
  EXPECT_EQ(Finish(other), 0);
  // The slot written here is kept whole; the other's lock went into a slot
  // of its own and was freed there.
  std::string table = Table();
  ASSERT_EQ(table.size(), 2u * 121);
  EXPECT_EQ(table.substr(0, 121), mine);
  EXPECT_EQ(table.substr(121 + 15, 11), std::string(11, ' '));
  EXPECT_EQ(table.substr(121 + 34, 6), " 1 1  ");
  EXPECT_EQ(table.substr(121 + 119), "\r\n");
}

// This process's time zone and clock for one test, put back afterwards.
class WaiterClock {
 public:
  WaiterClock(const char* tz, int64_t utc_seconds) {
    const char* old = getenv("TZ");
    if (old != nullptr) saved_ = old;
    had_ = old != nullptr;
    setenv("TZ", tz, 1);
    tzset();
    if (utc_seconds != 0) platform::SetClockOffsetSeconds(utc_seconds - std::time(nullptr));
  }
  ~WaiterClock() {
    platform::SetClockOffsetSeconds(0);
    if (had_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::string saved_;
  bool had_ = false;
};

int64_t Utc(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return static_cast<int64_t>(timegm(&t));
}

// A holder on this host keeps its lock for as long as it lives, whatever
// the stamps and clocks say, and two processes never share a holder.
TEST_F(LocksTest, ALiveHolderOnThisHostIsNeverTakenOver) {
  const std::string spain = "CET-1CEST,M3.5.0,M10.5.0/3";
  struct Case {
    const char* what;
    std::string helper_environment;
    std::string helper_work;  // under the root
    std::string waiter_tz;
    int64_t waiter_clock;  // seconds since 1970 UTC; 0 the real clock
  };
  const Case cases[] = {
      // Its stamp is two hours behind the waiter's local minutes.
      {"a holder in a time zone two hours west", "TZ=XXX+2", "work2", "UTC0", 0},
      // Locked at 01:59 winter time, met at 03:00:30 summer time: a minute
      // and a half later, 61 minutes by the stamps.
      {"summer time begins between the lock and the wait",
       "TZ='" + spain + "' LOCK_HELPER_CLOCK=" + std::to_string(Utc(2026, 3, 29, 0, 59, 0)),
       "work2", spain, Utc(2026, 3, 29, 1, 0, 30)},
      // The same work directory: the later process finds the identity in use.
      {"a process sharing this one's work directory", "", "work", "UTC0", 0},
  };
  Hooks.wait.pause = nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(root_ + "/LOCKS");
    std::filesystem::create_directories(root_ + "/" + c.helper_work);
    std::filesystem::remove(root_ + "/go");
    lock_identity.LockHolder = 0;
    LoadLockIdentity();
    const int32_t me = lock_identity.LockHolder;
    FILE* other = popen(Helper(root_, root_ + "/" + c.helper_work,
                               "hold TrasBanc 100 199 " + root_ + "/go", c.helper_environment)
                            .c_str(),
                        "r");
    ASSERT_NE(other, nullptr);
    std::string line = ReadResult(other);
    ASSERT_EQ(line.substr(0, 5), "held ") << line;
    EXPECT_NE(std::stoi(line.substr(5)), me);
    const std::string held = Table();
    {
      WaiterClock clock(c.waiter_tz.c_str(), c.waiter_clock);
      LoadLockIdentity();
      EXPECT_EQ(lock_identity.LockHolder, me);
      EXPECT_EQ(TryAcquire("K", "150", "150").code(), env::Code::kCancelled);
    }
    EXPECT_EQ(Table(), held);
    Touch("go");
    EXPECT_EQ(ReadResult(other), "released 0\n");
    EXPECT_EQ(Finish(other), 0);
  }
  // The directory's identity stayed the first process's.
  std::string identity = ReadAll(root_ + "/work/LOCKS.TMP");
  ASSERT_EQ(identity.size(), 19u);
  EXPECT_EQ(static_cast<unsigned char>(identity[0]) | static_cast<unsigned char>(identity[1]) << 8 |
                static_cast<unsigned char>(identity[2]) << 16 | static_cast<unsigned char>(identity[3]) << 24,
            lock_identity.LockHolder);
}

// A holder on this host that died (here killed) leaves a fresh stamp, but
// its slot is free at once: the kernel let go of its mark of life.
TEST_F(LocksTest, AKilledHoldersLockIsTakenAtOnce) {
  std::filesystem::create_directories(root_ + "/work2");
  FILE* other = popen(Helper(root_, root_ + "/work2", "hold TrasBanc 100 199 " + root_ + "/go").c_str(), "r");
  ASSERT_NE(other, nullptr);
  std::string line = ReadResult(other);
  ASSERT_EQ(line.substr(0, 5), "held ") << line;
  int pid = std::stoi(line.substr(line.rfind(' ') + 1));
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  Finish(other);  // waits until it is gone
  ASSERT_EQ(Table().size(), 121u);
  EXPECT_NE(Slot(0).substr(15, 11), std::string(11, ' '));  // still there, freshly stamped
  lock_identity.LockHolder = 0;
  LoadLockIdentity();
  EXPECT_EQ(TryAcquire("K", "150", "150").code(), env::Code::kOk);
  ASSERT_EQ(Table().size(), 121u);
  EXPECT_EQ(Slot(0).substr(15, 11), Field(std::to_string(lock_identity.LockHolder), 11));
  EXPECT_EQ(Slot(0).substr(34, 6), "K3 150");
}

// A terminal that died holding a lock and was started again takes its work
// directory's identity back: the slots of the dead run are freed then, or
// they would look alive to everyone for as long as the new run lives.
TEST_F(LocksTest, ARunTakingItsIdentityBackFreesTheSlotsOfTheDeadRun) {
  std::filesystem::create_directories(root_ + "/work2");
  std::string identity = std::string("\x92\x10\0\0", 4) + ThisStation();  // holder 4242
  std::ofstream(root_ + "/work2/LOCKS.TMP", std::ios::binary) << identity;
  WriteTable(MakeSlot(ThisStation(), 4242, MinutesNow(), "K", "150", "150"));
  // The new run locks in another table: it never scans this one.
  FILE* other = popen(Helper(root_, root_ + "/work2", "hold USort 500 500 " + root_ + "/go").c_str(), "r");
  ASSERT_NE(other, nullptr);
  std::string line = ReadResult(other);
  ASSERT_EQ(line.substr(0, 10), "held 4242 ") << line;
  lock_identity.LockHolder = 0;
  LoadLockIdentity();
  EXPECT_EQ(TryAcquire("K", "150", "150").code(), env::Code::kOk);
  Touch("go");
  EXPECT_EQ(ReadResult(other), "released 0\n");
  EXPECT_EQ(Finish(other), 0);
}

TEST_F(LocksTest, ManyProcessesOnOneTableEachLockGrantedOnce) {
  constexpr int kProcesses = 4;
  constexpr int kLocks = 40;
  const std::string log = root_ + "/log";
  std::vector<FILE*> others;
  for (int i = 0; i < kProcesses; ++i) {
    std::string work = root_ + "/w" + std::to_string(i);
    std::filesystem::create_directories(work);
    std::string args = "churn TrasBanc " + std::to_string(kLocks) + " " + log;
    others.push_back(popen(Helper(root_, work, args).c_str(), "r"));
    ASSERT_NE(others.back(), nullptr);
  }
  for (FILE* other : others) EXPECT_EQ(Finish(other), 0);
  // Each key is held by one process at a time: its "+" and "-" alternate.
  std::ifstream in(log);
  std::map<std::string, int> holding;
  std::map<std::string, int> granted;
  std::string entry;
  int lines = 0;
  while (std::getline(in, entry)) {
    ++lines;
    std::string key = entry.substr(1);
    if (entry[0] == '+') {
      EXPECT_EQ(holding[key]++, 0) << "two holders of " << key << " at line " << lines;
      ++granted[key];
    } else {
      EXPECT_EQ(--holding[key], 0) << key;
    }
  }
  EXPECT_EQ(lines, 2 * kProcesses * kLocks);
  for (const auto& [key, count] : granted) EXPECT_EQ(count, kProcesses * kLocks / 5) << key;
  // The table is whole and every slot was released.
  std::string table = Table();
  ASSERT_EQ(table.size() % 121, 0u);
  EXPECT_GE(table.size(), 121u);
  EXPECT_LE(table.size(), 121u * kProcesses);
  for (size_t i = 0; i < table.size() / 121; ++i) {
    EXPECT_EQ(table.substr(i * 121 + 15, 11), std::string(11, ' '));
    EXPECT_EQ(table.substr(i * 121 + 119, 2), "\r\n");
  }
}

}  // namespace
}  // namespace files
