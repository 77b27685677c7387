// Records locked by another process: lock mode 1 waits (with the message
// and Escape), lock mode 2 gives the status back at once.
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "db/records.h"
#include "db/test_files.h"
#include "platform/fs/paths.h"
#include "platform/recman/btrcall.h"

namespace db {
namespace {

using testing::ScratchRoot;

// Another terminal: a child process that opens the file, locks the record
// with key "LOCK" (or, in a transaction, inserts one), says so through a
// pipe and holds on until it is told to let go (or its parent's end of the
// pipe closes); a transaction is then committed.
class OtherTerminal {
 public:
  explicit OtherTerminal(const std::string& host_path, bool transaction = false)
      : transaction_(transaction) {
    if (::pipe(to_parent_) != 0 || ::pipe(to_child_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) RunChild(host_path);
    ::close(to_parent_[1]);
    ::close(to_child_[0]);
    char c = 0;
    locked_ = ::read(to_parent_[0], &c, 1) == 1 && c == 'L';
  }
  ~OtherTerminal() { Release(); }
  OtherTerminal(const OtherTerminal&) = delete;
  OtherTerminal& operator=(const OtherTerminal&) = delete;

  bool locked() const { return locked_; }
  void Release() {
    if (pid_ <= 0) return;
    char c = 'R';
    if (::write(to_child_[1], &c, 1) != 1) {
      // The child has gone already.
    }
    ::close(to_child_[1]);
    ::close(to_parent_[0]);
    int ws = 0;
    ::waitpid(pid_, &ws, 0);
    pid_ = -1;
  }

 private:
  [[noreturn]] void RunChild(const std::string& host_path) {
    ::close(to_parent_[0]);
    ::close(to_child_[1]);
    char block[128] = {};
    std::string key = host_path + std::string(1, '\0');
    std::string owner("QDBK\0", 5);
    uint32_t length = 5;
    int16_t st = BTRCALL(platform::recman::kOpen, block, owner.data(), &length, key.data(),
                         static_cast<uint8_t>(key.size()), 0);
    std::string data(64, '\0');
    key = "LOCK";
    length = 64;
    char scratch[128] = {};
    if (st == 0 && transaction_) {
      st = BTRCALL(platform::recman::kBeginTransaction, scratch, nullptr, &length, key.data(), 0, 0);
      data = "TXN. inserted...";
      length = 16;
      if (st == 0) {
        st = BTRCALL(platform::recman::kInsert, block, data.data(), &length, key.data(), 4, 0);
      }
    } else if (st == 0) {
      st = BTRCALL(platform::recman::kGetEqual + 200, block, data.data(), &length, key.data(), 4, 0);
    }
    char c = st == 0 ? 'L' : 'F';
    if (::write(to_parent_[1], &c, 1) != 1) ::_exit(2);
    if (::read(to_child_[0], &c, 1) < 0) ::_exit(3);
    if (transaction_) {
      length = 0;
      st = BTRCALL(platform::recman::kEndTransaction, scratch, nullptr, &length, key.data(), 0, 0);
      ::_exit(st == 0 ? 0 : 4);
    }
    ::_exit(0);
  }

  int to_parent_[2] = {-1, -1};
  int to_child_[2] = {-1, -1};
  pid_t pid_ = -1;
  bool locked_ = false;
  bool transaction_ = false;
};

class LockWaitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_.Dictionary("SHARED", testing::SpecBuffer(16, {{1, 4, 0}}));
    int16_t status = -1;
    OpenRecordFile(11, root_.Path("SHARED"), &buffer_, status);
    ASSERT_EQ(status, 0);
    buffer_ = "LOCK and wait...";
    InsertRecord(11, status);
    ASSERT_EQ(status, 0);
    // The file is shut before the fork so that the child inherits nothing.
    CloseAllRecordFiles(status);
    ASSERT_EQ(status, 0);
    Hooks.wait.show_message = [this](int16_t row, const std::string& text) {
      shown_.push_back(text);
      rows_.push_back(row);
      return true;
    };
    Hooks.wait.close_message = [this] { ++closed_; };
    Hooks.wait.pause = [this](int ms) {
      sleeps_.push_back(ms);
      if (on_sleep_) on_sleep_(static_cast<int>(sleeps_.size()));
    };
  }

  void OpenShared(const char* options) {
    int16_t status = -1;
    OpenRecordFile(11, root_.Path("SHARED"), &buffer_, status);
    ASSERT_EQ(status, 0);
    SetFileOptions(11, options, status);
    ASSERT_EQ(status, 0);
  }

  ScratchRoot root_{"lockwait"};
  std::string buffer_;
  std::vector<std::string> shown_;
  std::vector<int16_t> rows_;
  int closed_ = 0;
  std::vector<int> sleeps_;
  std::function<void(int)> on_sleep_;
};

TEST_F(LockWaitTest, LockAndWaitShowsTheMessageOnceAndRetriesUntilTheLockGoes) {
  env::session.LanguageCode = "SPA";
  OtherTerminal other(root_.host() + "/SHARED.dat");
  ASSERT_TRUE(other.locked());
  OpenShared("A");
  // The other terminal lets go during the third wait.
  on_sleep_ = [&other](int n) {
    if (n == 3) other.Release();
  };
  int retries_seen = 0;
  Hooks.wait.escape_pressed = [&retries_seen] {
    ++retries_seen;
    return false;
  };
  int16_t status = -1;
  GetByKey(11, 0, "LOCK", 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_, "LOCK and wait...");
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0], FileLockedMessage());
  EXPECT_EQ(shown_[0], "FICHERO BLOQUEADO. ESPERE UN MOMENTO.");
  EXPECT_EQ(rows_[0], 24);
  EXPECT_EQ(closed_, 1);
  ASSERT_GE(sleeps_.size(), 3u);
  for (int ms : sleeps_) {
    EXPECT_GE(ms, 1);
    EXPECT_LE(ms, 50);  // the keyboard is looked at between short steps
  }
  EXPECT_EQ(retries_seen, static_cast<int>(sleeps_.size()));
}

TEST_F(LockWaitTest, InsertWaitsForAnotherTerminalsTransaction) {
  OtherTerminal other(root_.host() + "/SHARED.dat", true);
  ASSERT_TRUE(other.locked());
  OpenShared("A");
  on_sleep_ = [&other](int n) {
    if (n == 2) other.Release();  // the other terminal commits
  };
  buffer_ = "MINE inserted...";
  int16_t status = -1;
  InsertRecord(11, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(shown_.size(), 1u);
  EXPECT_EQ(closed_, 1);
  // Both inserts are in the file.
  GetByKey(11, 0, "TXN.", 0, status);
  EXPECT_EQ(status, 0);
  GetByKey(11, 0, "MINE", 0, status);
  EXPECT_EQ(status, 0);
}

TEST_F(LockWaitTest, EscapeGivesUpTheWaitAndReturnsTheLockStatus) {
  OtherTerminal other(root_.host() + "/SHARED.dat");
  ASSERT_TRUE(other.locked());
  OpenShared("A");
  int looks = 0;
  Hooks.wait.escape_pressed = [&looks] { return ++looks == 2; };
  int16_t status = -1;
  GetByKey(11, 0, "LOCK", 0, status);
  EXPECT_EQ(status, kRecordInUse);
  EXPECT_EQ(shown_.size(), 1u);
  EXPECT_EQ(closed_, 1);
  EXPECT_EQ(looks, 2);
}

TEST_F(LockWaitTest, LockWithoutWaitAndNoLockingNeverWait) {
  OtherTerminal other(root_.host() + "/SHARED.dat");
  ASSERT_TRUE(other.locked());
  OpenShared("B");
  int16_t status = -1;
  GetByKey(11, 0, "LOCK", 0, status);
  EXPECT_EQ(status, kRecordInUse);
  // Lock mode 0 reads without asking for the lock at all.
  SetFileOptions(11, "D", status);
  GetByKey(11, 0, "LOCK", 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_, "LOCK and wait...");
  EXPECT_TRUE(shown_.empty());
  EXPECT_TRUE(sleeps_.empty());
  EXPECT_EQ(closed_, 0);
}

// The receipt loop: read one, move on to the next, delete it. A locked
// next must neither be skipped by the retry nor leave the record read
// before to be deleted in its place.
TEST_F(LockWaitTest, ALockedNextIsWaitedForNotSkippedAndNeverDeletesTheOneBefore) {
  {
    int16_t status = -1;
    OpenRecordFile(11, root_.Path("SHARED"), &buffer_, status);
    ASSERT_EQ(status, 0);
    for (const char* r : {"KEEP the first..", "MOVE the last..."}) {
      buffer_ = r;
      InsertRecord(11, status);
      ASSERT_EQ(status, 0);
    }
    CloseAllRecordFiles(status);
  }
  OtherTerminal other(root_.host() + "/SHARED.dat");
  ASSERT_TRUE(other.locked());
  OpenShared("B");
  int16_t status = -1;
  GetByKey(11, 0, "KEEP", 0, status);
  ASSERT_EQ(status, 0);
  MoveRecords(11, 1, status);
  EXPECT_EQ(status, kRecordInUse);
  DeleteCurrent(11, status);
  EXPECT_NE(status, 0);
  GetByKey(11, 0, "KEEP", 0, status);
  EXPECT_EQ(status, 0);  // still there

  SetFileOptions(11, "A", status);
  on_sleep_ = [&other](int n) {
    if (n == 2) other.Release();
  };
  MoveRecords(11, 1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_, "LOCK and wait...");  // the locked one, not the one after it
  DeleteCurrent(11, status);
  EXPECT_EQ(status, 0);
  MoveRecords(11, 1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_, "MOVE the last...");
  GetByKey(11, 0, "LOCK", 0, status);
  EXPECT_EQ(status, 4);
}

TEST_F(LockWaitTest, RecordLockedByThisTerminalStopsTheOthers) {
  OpenShared("B");
  int16_t status = -1;
  GetByKey(11, 0, "LOCK", 0, status);
  ASSERT_EQ(status, 0);
  // A second process now finds the record in use.
  OtherTerminal other(root_.host() + "/SHARED.dat");
  EXPECT_FALSE(other.locked());
  other.Release();
  DeleteCurrent(11, status);
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace db
