// Several processes on one record file: the helper program runs the other
// side and is killed at chosen moments.
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/process/clock.h"
#include "platform/recman/btrcall.h"
#include "platform/recman/store.h"
#include "platform/recman/test_support.h"
#include "util/little_endian.h"

namespace platform::recman {
namespace {

using testing::Rec;
using testing::SpecBuffer;

// A helper process with its standard output on a pipe.
class Helper {
 public:
  explicit Helper(std::vector<std::string> args) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
      std::string program = std::string(QDEB_BINARY_DIR) + "/platform/recman/recman_helper";
      std::vector<char*> argv;
      argv.push_back(program.data());
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(fds[1]);
    out_ = fdopen(fds[0], "r");
  }
  ~Helper() {
    Kill();
    if (out_ != nullptr) fclose(out_);
  }
  // The next line the helper prints ("" at its end).
  std::string Line() {
    char buf[256];
    if (out_ == nullptr || fgets(buf, sizeof buf, out_) == nullptr) return "";
    std::string s(buf);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
  }
  void Kill() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
  }
  int Wait() {
    int status = 0;
    if (pid_ > 0) waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
};

class ProcessTest : public testing::RecmanTest {
 protected:
  void SetUp() override {
    RecmanTest::SetUp();
    if (HasFatalFailure()) return;
    path_ = dir_ + "/p.dat";
    // The helper's records: 32 bytes, a 10-digit unique key at 1.
    ASSERT_EQ(0, rec_.CreateAndOpen(path_, SpecBuffer(32, {{1, 10, 0}})));
  }
  int64_t Count() {
    std::string buffer(64, '\0');
    if (rec_.Call(kStat, buffer, 64, 0) != 0) return -1;
    return util::GetLe32(buffer, 6);
  }
  std::string Record(long n) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010ld", n);
    std::string r(digits);
    r.resize(32, '.');
    return r;
  }
  std::string path_;
  Rec rec_;
};

INSTANTIATE_TEST_SUITE_P(Both, ProcessTest, ::testing::Values(testing::Store::kSqlite, testing::Store::kServer),
                         testing::StoreName);

TEST_P(ProcessTest, TwoWritersInsertingTogetherLoseNothing) {
  Helper one({path_, "insert", "0", "10000"});
  Helper two({path_, "insert", "10000", "10000"});
  EXPECT_EQ("done", one.Line());
  EXPECT_EQ("done", two.Line());
  EXPECT_EQ(0, one.Wait());
  EXPECT_EQ(0, two.Wait());
  EXPECT_EQ(20000, Count());
  // Every key once, in order.
  long expected = 0;
  for (int16_t st = rec_.Get(kGetFirst); st == 0; st = rec_.Get(kGetNext)) {
    ASSERT_EQ(Record(expected), rec_.Record());
    ++expected;
  }
  EXPECT_EQ(20000, expected);
}

TEST_P(ProcessTest, ALockHeldByAKilledProcessIsFreeAgain) {
  ASSERT_EQ(0, rec_.Insert(Record(7)));
  ASSERT_EQ(0, rec_.Insert(Record(8)));
  Helper holder({path_, "lock", "7"});
  ASSERT_EQ("ready", holder.Line());
  EXPECT_EQ(84, rec_.Get(kGetEqual + 200, 0, Record(7).substr(0, 10)));
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, Record(7).substr(0, 10)));
  EXPECT_EQ(84, rec_.Delete());
  EXPECT_EQ(84, rec_.Update(Record(7)));
  // Inside a transaction the change only looks at the lock, and is refused
  // all the same.
  std::string none;
  ASSERT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, Record(7).substr(0, 10)));
  EXPECT_EQ(84, rec_.Delete());
  EXPECT_EQ(84, rec_.Get(kDeleteGetNext, 0));
  ASSERT_EQ(0, rec_.Call(kAbortTransaction, none, 0, 0));
  // Other records are free.
  EXPECT_EQ(0, rec_.Get(kGetEqual + 200, 0, Record(8).substr(0, 10)));
  holder.Kill();
  // A read that waits: the server ends a killed client's session (and frees
  // its locks) a moment after the kill, not before kill() returns.
  EXPECT_EQ(0, rec_.Get(kGetEqual + 100, 0, Record(7).substr(0, 10)));
  EXPECT_EQ(0, rec_.Delete());
}

// A terminal killed while it holds a record and an open transaction: its
// lock is free at once for a read that waits, and nothing it wrote stays.
TEST_P(ProcessTest, AKilledHoldersLockAndTransactionGoWithIt) {
  ASSERT_EQ(0, rec_.Insert(Record(7)));
  Helper holder({path_, "locktxn", "7", "20"});
  ASSERT_EQ("ready", holder.Line());
  ASSERT_EQ(84, rec_.Get(kGetEqual + 200, 0, Record(7).substr(0, 10)));
  holder.Kill();
  int64_t start = SteadyMilliseconds();
  EXPECT_EQ(0, rec_.Get(kGetEqual + 100, 0, Record(7).substr(0, 10)));
  EXPECT_LT(SteadyMilliseconds() - start, 1000);
  EXPECT_EQ(1, Count());
  EXPECT_EQ(4, rec_.Get(kGetEqual, 0, Record(1000).substr(0, 10)));
  // And the file is free for this process's own transaction.
  std::string none;
  ASSERT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));
  ASSERT_EQ(0, rec_.Insert(Record(8)));
  ASSERT_EQ(0, rec_.Call(kEndTransaction, none, 0, 0));
  EXPECT_EQ(2, Count());
}

// What another terminal sees of this process's record locks: each way of
// letting a lock go must reach the other process, not only this one's
// bookkeeping.
TEST_P(ProcessTest, LocksLetGoReachTheOtherProcess) {
  for (long n : {7, 8, 9}) ASSERT_EQ(0, rec_.Insert(Record(n)));
  auto probe = [&](long n) {
    Helper other({path_, "probe", std::to_string(n)});
    return other.Line();
  };
  auto key = [&](long n) { return Record(n).substr(0, 10); };
  ASSERT_EQ(0, rec_.Get(kGetEqual + 200, 0, key(7)));
  EXPECT_EQ("got 84", probe(7));
  // The next read with a single lock moves it.
  ASSERT_EQ(0, rec_.Get(kGetNext + 200));
  EXPECT_EQ("got 0", probe(7));
  EXPECT_EQ("got 84", probe(8));
  // Unlock.
  std::string none;
  ASSERT_EQ(0, rec_.Call(kUnlock, none, 0, 0));
  EXPECT_EQ("got 0", probe(8));
  // Multiple locks, all of them let go at once.
  ASSERT_EQ(0, rec_.Get(kGetEqual + 400, 0, key(7)));
  ASSERT_EQ(0, rec_.Get(kGetEqual + 400, 0, key(9)));
  EXPECT_EQ("got 84", probe(7));
  EXPECT_EQ("got 84", probe(9));
  ASSERT_EQ(0, rec_.Call(kUnlock, none, 0, -2));
  EXPECT_EQ("got 0", probe(7));
  EXPECT_EQ("got 0", probe(9));
  // Update of the locked record, then close.
  ASSERT_EQ(0, rec_.Get(kGetEqual + 200, 0, key(8)));
  ASSERT_EQ(0, rec_.Update(Record(8)));
  EXPECT_EQ("got 0", probe(8));
  ASSERT_EQ(0, rec_.Get(kGetEqual + 200, 0, key(9)));
  EXPECT_EQ("got 84", probe(9));
  ASSERT_EQ(0, rec_.Close());
  EXPECT_EQ("got 0", probe(9));
}

TEST_P(ProcessTest, AnotherProcessesTransactionIsExclusiveAndDiesWithIt) {
  ASSERT_EQ(0, rec_.Insert(Record(1)));
  ASSERT_EQ(0, rec_.Close());
  BusyTimeoutMs = 300;  // taken at open
  ASSERT_EQ(0, rec_.Open(path_));
  Helper txn({path_, "txn", "100", "50"});
  ASSERT_EQ("ready", txn.Line());
  // Its inserts are not seen, and nobody else may write meanwhile.
  EXPECT_EQ(1, Count());
  int64_t start = SteadyMilliseconds();
  EXPECT_EQ(85, rec_.Insert(Record(2)));
  EXPECT_GE(SteadyMilliseconds() - start, 250);
  std::string none;
  EXPECT_EQ(85, rec_.Call(kBeginTransaction, none, 0, 0));
  EXPECT_EQ(39, rec_.Call(kEndTransaction, none, 0, 0));  // the failed begin left none
  // Reading goes on.
  ASSERT_EQ(0, rec_.Get(kGetFirst));
  txn.Kill();
  EXPECT_EQ(1, Count());
  EXPECT_EQ(4, rec_.Get(kGetEqual, 0, Record(100).substr(0, 10)));
  ASSERT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));
  ASSERT_EQ(0, rec_.Insert(Record(2)));
  ASSERT_EQ(0, rec_.Call(kEndTransaction, none, 0, 0));
  EXPECT_EQ(2, Count());
}

TEST_P(ProcessTest, ASecondBeginWaitsForTheFirstToEnd) {
  Helper txn({path_, "begin"});
  ASSERT_EQ("ready", txn.Line());
  // The holder dies while this process waits in begin.
  std::thread killer([&] {
    platform::SleepMilliseconds(300);
    txn.Kill();
  });
  int64_t start = SteadyMilliseconds();
  std::string none;
  EXPECT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));
  EXPECT_GE(SteadyMilliseconds() - start, 250);
  killer.join();
  ASSERT_EQ(0, rec_.Insert(Record(5)));
  EXPECT_EQ(0, rec_.Call(kEndTransaction, none, 0, 0));
  EXPECT_EQ(1, Count());
}

TEST_P(ProcessTest, AWriterKilledInMidInsertLeavesASoundFile) {
  ASSERT_EQ(0, rec_.Close());
  {
    Helper writer({path_, "forever", "0"});
    ASSERT_EQ("ready", writer.Line());
    // Killed once it has written a hundred records, however busy the
    // machine (or the server) is.
    for (int tries = 0; tries < 100; ++tries) {
      platform::SleepMilliseconds(100);
      ASSERT_EQ(0, rec_.Open(path_));
      int64_t written = Count();
      ASSERT_EQ(0, rec_.Close());
      if (written > 100) break;
    }
    writer.Kill();
  }
  ASSERT_EQ(0, rec_.Open(path_));
  int64_t count = Count();
  EXPECT_GT(count, 100);
  long seen = 0;
  for (int16_t st = rec_.Get(kGetFirst); st == 0; st = rec_.Get(kGetNext)) {
    ASSERT_EQ(Record(seen), rec_.Record());
    ++seen;
  }
  EXPECT_EQ(count, seen);
  ASSERT_EQ(0, rec_.Insert(Record(seen)));
  if (store() != testing::Store::kSqlite) return;
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr));
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr));
  ASSERT_EQ(SQLITE_ROW, sqlite3_step(st));
  EXPECT_STREQ("ok", reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);
  sqlite3_close(db);
}

}  // namespace
}  // namespace platform::recman
