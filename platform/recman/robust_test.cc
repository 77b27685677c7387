// Files that are not what they should be, and calls with bad arguments:
// always a status, never a crash.
#include <sqlite3.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/recman/btrcall.h"
#include "platform/recman/status.h"
#include "platform/recman/test_support.h"

namespace platform::recman {
namespace {

using testing::Rec;
using testing::SpecBuffer;

class RobustTest : public testing::SqliteRecmanTest {
 protected:
  void Write(const std::string& bytes) { scratch_.Put("r.dat", bytes); }
  std::string Read() { return scratch_.Get("r.dat"); }
  // A file of n records of 100 bytes with a unique key, closed (so that
  // everything is in the main file).
  void Fill(int n) {
    ASSERT_EQ(0, rec_.CreateAndOpen(path_, SpecBuffer(100, {{1, 8, 0}, {9, 4, 0x01}})));
    std::string none;
    ASSERT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));
    for (int i = 0; i < n; ++i) {
      char key[16];
      std::snprintf(key, sizeof key, "%08d", i);
      std::string r = std::string(key) + "GRP" + std::to_string(i % 7);
      r.resize(100, 'z');
      ASSERT_EQ(0, rec_.Insert(r));
    }
    ASSERT_EQ(0, rec_.Call(kEndTransaction, none, 0, 0));
    ASSERT_EQ(0, rec_.Close());
  }
  // Walks the whole file both ways; returns the statuses met.
  std::set<int> Walk() {
    std::set<int> seen;
    for (int key : {0, 1}) {
      int16_t st = rec_.Get(kGetFirst, key);
      for (int i = 0; st == 0 && i < 100000; ++i) st = rec_.Get(kGetNext, key);
      seen.insert(st);
      st = rec_.Get(kGetLast, key);
      for (int i = 0; st == 0 && i < 100000; ++i) st = rec_.Get(kGetPrevious, key);
      seen.insert(st);
    }
    std::string buffer(512, '\0');
    seen.insert(rec_.Call(kStat, buffer, 512, 0));
    return seen;
  }
  std::string path_ = dir_ + "/r.dat";
  Rec rec_;
};

TEST_F(RobustTest, EmptyAndForeignFilesAreRefusedAndLeftAlone) {
  Write("");
  EXPECT_EQ(30, rec_.Open(path_));
  EXPECT_EQ("", Read());
  Write("Not a record file at all.\r\n");
  EXPECT_EQ(30, rec_.Open(path_));
  EXPECT_EQ("Not a record file at all.\r\n", Read());
  // An SQLite database of somebody else.
  std::filesystem::remove(path_);
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(path_.c_str(), &db));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "CREATE TABLE rec(x); CREATE TABLE meta(name, value);"
                                        "INSERT INTO meta VALUES ('format', 'other')",
                                    nullptr, nullptr, nullptr));
  sqlite3_close(db);
  EXPECT_EQ(30, rec_.Open(path_));
  // Ours, but with a layout that does not match its table.
  std::filesystem::remove(path_);
  ASSERT_EQ(0, rec_.Create(path_, SpecBuffer(20, {{1, 4, 0}})));
  ASSERT_EQ(SQLITE_OK, sqlite3_open(path_.c_str(), &db));
  std::string two_keys = SpecBuffer(20, {{1, 4, 0}, {5, 4, 0}});
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "UPDATE meta SET value = ?1 WHERE name = 'layout'", -1, &st, nullptr));
  sqlite3_bind_blob(st, 1, two_keys.data(), static_cast<int>(two_keys.size()), SQLITE_STATIC);
  ASSERT_EQ(SQLITE_DONE, sqlite3_step(st));
  sqlite3_finalize(st);
  sqlite3_close(db);
  EXPECT_EQ(30, rec_.Open(path_));
  // A directory where the file should be.
  EXPECT_EQ(12, rec_.Open(dir_));
}

// The side file of a record file's open locks: a link planted at its name
// refuses the open and the file it points to is left alone (never created,
// never written); a plain one made new is for its owner and group only, as
// is the record file itself.
TEST_F(RobustTest, ALinkAtTheLockFileRefusesTheOpen) {
  const mode_t umask_was = umask(0);
  ASSERT_EQ(0, rec_.Create(path_, SpecBuffer(20, {{1, 4, 0}})));
  ASSERT_EQ(0, rec_.Open(path_));
  ASSERT_EQ(0, rec_.Close());
  umask(umask_was);
  const std::string lck = path_ + ".lck";
  // The database holds the office's debtors: its owner and group only.
  for (const std::string& file : {lck, path_}) {
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read | std::filesystem::perms::group_write)
        << file;
  }
  std::filesystem::remove(lck);
  scratch_.Put("victim", "kept");
  std::filesystem::create_symlink(dir_ + "/victim", lck);
  EXPECT_EQ(kAccessDenied, rec_.Open(path_));
  EXPECT_EQ("kept", scratch_.Get("victim"));
  std::filesystem::remove(lck);
  std::filesystem::create_symlink(dir_ + "/made", lck);
  EXPECT_EQ(kAccessDenied, rec_.Open(path_));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/made"));
}

TEST_F(RobustTest, TruncatedFileGivesStatusesNotACrash) {
  Fill(3000);
  std::string whole = Read();
  ASSERT_GT(whole.size(), 100000u);
  for (size_t size : {whole.size() / 2, size_t{5000}, size_t{50}}) {
    BTRCALL(kReset, rec_.block, nullptr, nullptr, nullptr, 0, 0);
    Write(whole.substr(0, size));
    int16_t st = rec_.Open(path_);
    if (st != 0) {
      EXPECT_TRUE(st == 2 || st == 30) << st;
      continue;
    }
    std::set<int> seen = Walk();
    EXPECT_TRUE(seen.count(2) != 0) << "size " << size;  // the damage is reported
    EXPECT_EQ(0u, seen.count(0)) << "size " << size;     // not taken for a full walk
  }
}

TEST_F(RobustTest, OverwrittenPagesGiveStatusesNotACrash) {
  Fill(3000);
  std::string whole = Read();
  for (size_t at : {size_t{4096 * 3}, whole.size() / 2, whole.size() - 4096}) {
    BTRCALL(kReset, rec_.block, nullptr, nullptr, nullptr, 0, 0);
    std::string damaged = whole;
    for (size_t i = at; i < at + 4096 && i < damaged.size(); ++i) {
      damaged[i] = static_cast<char>((i * 131) & 0xFF);
    }
    Write(damaged);
    if (rec_.Open(path_) != 0) continue;
    std::set<int> seen = Walk();
    for (int st : seen) EXPECT_TRUE(st == 0 || st == 2 || st == 9) << st;
  }
}

TEST_F(RobustTest, BadArgumentsGiveStatuses) {
  // Every operation with no buffers at all, and with a block of garbage.
  char garbage[kPositionBlockSize];
  for (size_t i = 0; i < sizeof garbage; ++i) garbage[i] = static_cast<char>(i * 37);
  std::memcpy(garbage, "QRM\x01", 4);
  for (uint16_t op = 0; op <= 30; ++op) {
    for (uint16_t bias : {0, 200}) {
      uint16_t code = static_cast<uint16_t>(op + bias);
      if (op == kReset) continue;
      int16_t st = BTRCALL(code, nullptr, nullptr, nullptr, nullptr, 0, 0);
      if (op != kBeginTransaction && op != kEndTransaction && op != kAbortTransaction) {
        EXPECT_NE(0, st) << code;
      }
      uint32_t length = 0;
      st = BTRCALL(code, garbage, nullptr, &length, nullptr, 0, 0);
      if (op != kBeginTransaction && op != kEndTransaction && op != kAbortTransaction) {
        EXPECT_NE(0, st) << code;
      }
    }
  }
  BTRCALL(kAbortTransaction, nullptr, nullptr, nullptr, nullptr, 0, 0);
  Fill(10);
  ASSERT_EQ(0, rec_.Open(path_));
  // Calls on an open file with missing buffers.
  EXPECT_EQ(22, BTRCALL(kInsert, rec_.block, nullptr, nullptr, nullptr, 0, 0));
  EXPECT_EQ(21, BTRCALL(kGetFirst, rec_.block, nullptr, nullptr, nullptr, 0, 0));
  EXPECT_EQ(22, BTRCALL(kGetDirect, rec_.block, nullptr, nullptr, nullptr, 0, 0));
  std::string key(8, '\0');
  EXPECT_EQ(22, BTRCALL(kGetFirst, rec_.block, nullptr, nullptr, key.data(), 8, 0));
  EXPECT_EQ("00000000", key);
  // A path exactly as long as the key length, with no terminating zero.
  Rec other;
  std::string path = path_;
  std::string owner("TEST\0", 5);
  uint32_t length = 5;
  EXPECT_EQ(0, BTRCALL(kOpen, other.block, owner.data(), &length, path.data(),
                       static_cast<uint8_t>(path.size()), 0));
  EXPECT_EQ(12, BTRCALL(kOpen, other.block, owner.data(), &length, path.data(), 0, 0));
}

}  // namespace
}  // namespace platform::recman
