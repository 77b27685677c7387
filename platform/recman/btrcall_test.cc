#include "platform/recman/btrcall.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/recman/store.h"
#include "platform/recman/test_support.h"

namespace platform::recman {
namespace {

using testing::Rec;
using testing::SegmentDef;
using testing::SpecBuffer;

// Records of 20 bytes: a unique 6-byte code at 1 (key 0) and a 4-byte
// group at 7 that allows duplicates (key 1).
std::string Row(const std::string& code, const std::string& group, const std::string& rest = "") {
  std::string g = group;
  g.resize(4, '-');
  std::string r = code + g + rest;
  r.resize(20, '-');
  return r;
}

class BtrcallTest : public testing::RecmanTest {
 protected:
  void SetUp() override {
    RecmanTest::SetUp();
    if (HasFatalFailure()) return;
    path_ = dir_ + "/f.dat";
    spec_ = SpecBuffer(20, {{1, 6, 0x00}, {7, 4, 0x01 | 0x02}});
    ASSERT_EQ(0, rec_.CreateAndOpen(path_, spec_)) << LastServerError();
  }
  void InsertAll(const std::vector<std::string>& rows) {
    for (const std::string& r : rows) ASSERT_EQ(0, rec_.Insert(r)) << r;
  }
  std::string path_, spec_;
  Rec rec_;
};

INSTANTIATE_TEST_SUITE_P(Both, BtrcallTest, ::testing::Values(testing::Store::kSqlite, testing::Store::kServer),
                         testing::StoreName);

// What only the SQLite files have: their host files, their WAL, SQLite's
// own calls.
class BtrcallSqliteTest : public BtrcallTest {
 protected:
  testing::Store store() const override { return testing::Store::kSqlite; }
};

TEST_P(BtrcallTest, CreateRefusesAnExistingFileUnlessAskedToOverwrite) {
  Rec other;
  EXPECT_EQ(59, other.Create(path_, spec_, -1)) << LastServerError();
  ASSERT_EQ(0, rec_.Close());
  ASSERT_EQ(0, other.CreateAndOpen(path_, SpecBuffer(30, {{1, 4, 0}}), 0));
  std::string buffer(64, '\0');
  ASSERT_EQ(0, other.Call(kStat, buffer, 64, 0));
  EXPECT_EQ(30, static_cast<uint8_t>(buffer[0]));
}

TEST_P(BtrcallTest, StatReturnsTheCreationBufferWithTheRecordCount) {
  InsertAll({Row("A00001", "G1"), Row("A00002", "G1"), Row("A00003", "G2")});
  std::string buffer(200, 'x');
  ASSERT_EQ(0, rec_.Call(kStat, buffer, 200, 0));
  ASSERT_EQ(spec_.size(), rec_.length);
  std::string expected = spec_;
  expected[6] = 3;
  EXPECT_EQ(expected, buffer.substr(0, rec_.length));
  // Too small a buffer: what fits, and 22.
  ASSERT_EQ(22, rec_.Call(kStat, buffer, 10, 0));
  EXPECT_EQ(10u, rec_.length);
}

TEST_P(BtrcallTest, OpenOfMissingFileGives12AndCallsOnAClosedBlockGive3) {
  Rec other;
  EXPECT_EQ(12, other.Open(dir_ + "/missing.dat"));
  EXPECT_EQ(3, other.Get(kGetFirst));
  EXPECT_EQ(3, other.Insert(Row("X", "Y")));
  ASSERT_EQ(0, rec_.Close());
  EXPECT_EQ(3, rec_.Get(kGetFirst));
  EXPECT_EQ(3, rec_.Close());
}

TEST_P(BtrcallTest, GetsWalkTheKeyInOrder) {
  InsertAll({Row("C00003", "G2"), Row("A00001", "G1"), Row("B00002", "G3")});
  ASSERT_EQ(0, rec_.Get(kGetFirst));
  EXPECT_EQ(Row("A00001", "G1"), rec_.Record());
  EXPECT_EQ("A00001", rec_.key.substr(0, 6));
  ASSERT_EQ(0, rec_.Get(kGetNext));
  EXPECT_EQ(Row("B00002", "G3"), rec_.Record());
  ASSERT_EQ(0, rec_.Get(kGetNext));
  EXPECT_EQ(Row("C00003", "G2"), rec_.Record());
  EXPECT_EQ(9, rec_.Get(kGetNext));
  ASSERT_EQ(0, rec_.Get(kGetLast));
  EXPECT_EQ(Row("C00003", "G2"), rec_.Record());
  ASSERT_EQ(0, rec_.Get(kGetPrevious));
  EXPECT_EQ(Row("B00002", "G3"), rec_.Record());
  ASSERT_EQ(0, rec_.Get(kGetPrevious));
  EXPECT_EQ(9, rec_.Get(kGetPrevious));
  // Key 1, a group, in its own order.
  ASSERT_EQ(0, rec_.Get(kGetFirst, 1));
  EXPECT_EQ(Row("A00001", "G1"), rec_.Record());
  EXPECT_EQ("G1--", rec_.key.substr(0, 4));
  ASSERT_EQ(0, rec_.Get(kGetNext, 1));
  EXPECT_EQ(Row("C00003", "G2"), rec_.Record());
}

TEST_P(BtrcallTest, SearchesByKeyValue) {
  InsertAll({Row("A00010", "G1"), Row("A00020", "G1"), Row("A00030", "G1")});
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, "A00020"));
  EXPECT_EQ(Row("A00020", "G1"), rec_.Record());
  EXPECT_EQ(4, rec_.Get(kGetEqual, 0, "A00025"));
  ASSERT_EQ(0, rec_.Get(kGetGreaterOrEqual, 0, "A00020"));
  EXPECT_EQ(Row("A00020", "G1"), rec_.Record());
  ASSERT_EQ(0, rec_.Get(kGetGreater, 0, "A00020"));
  EXPECT_EQ(Row("A00030", "G1"), rec_.Record());
  ASSERT_EQ(0, rec_.Get(kGetLess, 0, "A00020"));
  EXPECT_EQ(Row("A00010", "G1"), rec_.Record());
  ASSERT_EQ(0, rec_.Get(kGetLessOrEqual, 0, "A00025"));
  EXPECT_EQ(Row("A00020", "G1"), rec_.Record());
  // A short search value padded with zero bytes finds the first at or after it.
  ASSERT_EQ(0, rec_.Get(kGetGreaterOrEqual, 0, "A0002"));
  EXPECT_EQ(Row("A00020", "G1"), rec_.Record());
  EXPECT_EQ(9, rec_.Get(kGetGreater, 0, "A00030"));
  EXPECT_EQ(9, rec_.Get(kGetLess, 0, "A00010"));
}

TEST_P(BtrcallTest, DuplicatesComeInInsertionOrderBothWays) {
  InsertAll({Row("A00005", "G1", "first"), Row("A00001", "G1", "second"),
             Row("A00003", "G0"), Row("A00002", "G1", "third")});
  ASSERT_EQ(0, rec_.Get(kGetEqual, 1, "G1--"));
  EXPECT_EQ(Row("A00005", "G1", "first"), rec_.Record());
  ASSERT_EQ(0, rec_.Get(kGetNext, 1));
  EXPECT_EQ(Row("A00001", "G1", "second"), rec_.Record());
  ASSERT_EQ(0, rec_.Get(kGetNext, 1));
  EXPECT_EQ(Row("A00002", "G1", "third"), rec_.Record());
  EXPECT_EQ(9, rec_.Get(kGetNext, 1));
  ASSERT_EQ(0, rec_.Get(kGetLast, 1));
  ASSERT_EQ(0, rec_.Get(kGetPrevious, 1));
  EXPECT_EQ(Row("A00001", "G1", "second"), rec_.Record());
}

TEST_P(BtrcallTest, DeleteKeepsTheWayToTheNeighbours) {
  InsertAll({Row("A00001", "G1"), Row("A00002", "G1"), Row("A00003", "G1"),
             Row("A00004", "G1")});
  // The receipt loop: read, delete, move on, on a key with duplicates.
  ASSERT_EQ(0, rec_.Get(kGetEqual, 1, "G1--"));
  for (const char* code : {"A00002", "A00003", "A00004"}) {
    ASSERT_EQ(0, rec_.Delete());
    EXPECT_EQ(8, rec_.Delete());  // nothing current any more
    ASSERT_EQ(0, rec_.Get(kGetNext, 1));
    EXPECT_EQ(code, rec_.Record().substr(0, 6));
  }
  ASSERT_EQ(0, rec_.Delete());
  EXPECT_EQ(9, rec_.Get(kGetNext, 1));
  // And backwards on the unique key.
  InsertAll({Row("B00001", "G2"), Row("B00002", "G2"), Row("B00003", "G2")});
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, "B00002"));
  ASSERT_EQ(0, rec_.Delete());
  ASSERT_EQ(0, rec_.Get(kGetPrevious, 0));
  EXPECT_EQ("B00001", rec_.Record().substr(0, 6));
  ASSERT_EQ(0, rec_.Get(kGetNext, 0));
  EXPECT_EQ("B00003", rec_.Record().substr(0, 6));
}

// Delete and get next: through a run of duplicates into the next key
// value, to the end of the file, and inside a transaction that an abort
// undoes; a call on another key than the cursor's deletes nothing.
TEST_P(BtrcallTest, DeleteGetNextTakesTheRecordsOfAKeyOneAfterAnother) {
  InsertAll({Row("A00001", "G1"), Row("A00002", "G1"), Row("A00003", "G2"), Row("A00004", "G0")});
  ASSERT_EQ(0, rec_.Get(kGetEqual, 1, "G1--"));
  EXPECT_EQ(7, rec_.Get(kDeleteGetNext, 0));
  ASSERT_EQ(0, BTRCALL(kBeginTransaction, nullptr, nullptr, nullptr, nullptr, 0, 0));
  ASSERT_EQ(0, rec_.Get(kDeleteGetNext, 1));
  EXPECT_EQ(Row("A00002", "G1"), rec_.Record());
  EXPECT_EQ("G1--", rec_.key.substr(0, 4));
  ASSERT_EQ(0, rec_.Get(kDeleteGetNext, 1));
  EXPECT_EQ(Row("A00003", "G2"), rec_.Record());
  EXPECT_EQ(9, rec_.Get(kDeleteGetNext, 1));  // deleted, and nothing after it
  EXPECT_EQ(0u, rec_.length);
  EXPECT_EQ(8, rec_.Get(kDeleteGetNext, 1));  // nothing current any more
  ASSERT_EQ(0, BTRCALL(kAbortTransaction, nullptr, nullptr, nullptr, nullptr, 0, 0));
  for (const char* code : {"A00001", "A00002", "A00003", "A00004"}) {
    EXPECT_EQ(0, rec_.Get(kGetEqual, 0, code)) << code;
  }
  // Committed outside a transaction, one record at a time.
  ASSERT_EQ(0, rec_.Get(kGetEqual, 1, "G2--"));
  EXPECT_EQ(9, rec_.Get(kDeleteGetNext, 1));
  EXPECT_EQ(4, rec_.Get(kGetEqual, 0, "A00003"));
  ASSERT_EQ(0, rec_.Get(kGetFirst, 1));
  ASSERT_EQ(0, rec_.Get(kDeleteGetNext, 1));
  EXPECT_EQ(Row("A00001", "G1"), rec_.Record());
}

// A scan longer than one page of rows read ahead sees this process's
// writes made meanwhile through another block, both ways.
TEST_P(BtrcallTest, AScanOverManyRecordsSeesTheWritesMadeMeanwhile) {
  auto code = [](int n) {
    char c[16];
    std::snprintf(c, sizeof c, "A%05d", n);
    return std::string(c);
  };
  std::string none;
  ASSERT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));
  for (int n = 0; n < 900; n += 2) ASSERT_EQ(0, rec_.Insert(Row(code(n), "G1")));
  ASSERT_EQ(0, rec_.Call(kEndTransaction, none, 0, 0));
  std::set<std::string> codes;
  for (int n = 0; n < 900; n += 2) codes.insert(code(n));
  Rec other;
  ASSERT_EQ(0, other.Open(path_));
  for (bool forward : {true, false}) {
    SCOPED_TRACE(forward ? "forward" : "backward");
    std::vector<std::string> seen;
    for (int16_t st = rec_.Get(forward ? kGetFirst : kGetLast); st == 0;
         st = rec_.Get(forward ? kGetNext : kGetPrevious)) {
      seen.push_back(rec_.Record().substr(0, 6));
      if (seen.size() == 100) {
        // Ahead of the scan, within what it may have read ahead.
        int gone = forward ? 300 : 500;
        ASSERT_EQ(0, other.Get(kGetEqual, 0, code(gone)));
        ASSERT_EQ(0, other.Delete());
        ASSERT_EQ(0, other.Insert(Row(code(gone + 1), "G1")));
        codes.erase(code(gone));
        codes.insert(code(gone + 1));
      }
    }
    std::vector<std::string> expected(codes.begin(), codes.end());
    if (!forward) std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(expected, seen);
  }
}

TEST_P(BtrcallTest, AReadThatFindsNothingLeavesNothingToDelete) {
  InsertAll({Row("A00001", "G1"), Row("A00002", "G1")});
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, "A00001"));
  // The earlier record is not the one a failed search was after.
  EXPECT_EQ(4, rec_.Get(kGetEqual, 0, "Z99999"));
  EXPECT_EQ(8, rec_.Delete());
  EXPECT_EQ(8, rec_.Update(Row("A00001", "G1", "x")));
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, "A00002"));
  EXPECT_EQ(9, rec_.Get(kGetNext, 0));
  EXPECT_EQ(8, rec_.Delete());
  // Both records are still there, and the cursor still walks back.
  ASSERT_EQ(0, rec_.Get(kGetPrevious, 0));
  EXPECT_EQ("A00001", rec_.Record().substr(0, 6));
  ASSERT_EQ(0, rec_.Get(kGetFirst, 0));
  ASSERT_EQ(0, rec_.Get(kGetNext, 0));
  EXPECT_EQ("A00002", rec_.Record().substr(0, 6));
}

TEST_P(BtrcallTest, StatusesOfBadRequests) {
  InsertAll({Row("A00001", "G1")});
  EXPECT_EQ(5, rec_.Insert(Row("A00001", "G9")));           // duplicate key
  EXPECT_EQ(6, rec_.Get(kGetFirst, 2));                     // no such key
  EXPECT_EQ(6, rec_.Get(kGetFirst, -1));
  EXPECT_EQ(22, rec_.Insert(std::string(19, 'x')));         // record too short
  Rec fresh;
  ASSERT_EQ(0, fresh.Open(path_));
  EXPECT_EQ(8, fresh.Get(kGetNext));                        // nowhere to go on from
  EXPECT_EQ(8, fresh.Delete());
  EXPECT_EQ(8, fresh.Update(Row("A00001", "G1")));
  std::string pos(4, '\0');
  EXPECT_EQ(8, fresh.Call(kGetPosition, pos, 4, 0));
  ASSERT_EQ(0, fresh.Get(kGetFirst));
  EXPECT_EQ(7, fresh.Get(kGetNext, 1));                     // another key than the last get
  // A data buffer too short: part of the record, 22, and the record is current.
  std::string small(8, '\0');
  fresh.SetKey("");
  ASSERT_EQ(22, fresh.Call(kGetFirst, small, 8, 0));
  EXPECT_EQ(8u, fresh.length);
  EXPECT_EQ("A00001G1", small);
  EXPECT_EQ(0, fresh.Call(kGetPosition, pos, 4, 0));
  // A key buffer shorter than the key.
  EXPECT_EQ(21, fresh.Call(kGetFirst, fresh.data, 2048, 0, 3));
  EXPECT_EQ(1, fresh.Call(99, fresh.data, 0, 0));
  EXPECT_EQ(1, fresh.Call(kInsert + 200, fresh.data, 20, 0));
  // An empty file.
  Rec empty;
  ASSERT_EQ(0, empty.Create(dir_ + "/e.dat", spec_));
  ASSERT_EQ(0, empty.Open(dir_ + "/e.dat"));
  EXPECT_EQ(9, empty.Get(kGetFirst));
  EXPECT_EQ(9, empty.Get(kGetLast));
  EXPECT_EQ(4, empty.Get(kGetEqual, 0, "A"));
}

TEST_P(BtrcallTest, PositionsAreStableAndGetDirectReturnsTheRecord) {
  InsertAll({Row("A00001", "G1"), Row("A00002", "G2"), Row("A00003", "G3")});
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, "A00002"));
  std::string pos(4, '\0');
  ASSERT_EQ(0, rec_.Call(kGetPosition, pos, 4, 0));
  ASSERT_EQ(4u, rec_.length);
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, "A00001"));
  ASSERT_EQ(0, rec_.Delete());
  std::string buffer(64, '\0');
  buffer.replace(0, 4, pos);
  ASSERT_EQ(0, rec_.Call(kGetDirect, buffer, 64, 1));
  EXPECT_EQ(Row("A00002", "G2"), buffer.substr(0, rec_.length));
  EXPECT_EQ("G2--", rec_.key.substr(0, 4));
  // Get direct sets the path of the key given: next goes on from there.
  ASSERT_EQ(0, rec_.Get(kGetNext, 1));
  EXPECT_EQ("A00003", rec_.Record().substr(0, 6));
  // A position that never was, or no longer is.
  std::string gone("\x01\0\0\0", 4);
  gone.resize(64, '\0');
  EXPECT_EQ(43, rec_.Call(kGetDirect, gone, 64, 0));
  std::string big("\xff\xff\xff\x7f", 4);
  big.resize(64, '\0');
  EXPECT_EQ(43, rec_.Call(kGetDirect, big, 64, 0));
}

TEST_P(BtrcallTest, UpdateChecksModifiableKeysAndDuplicates) {
  InsertAll({Row("A00001", "G1"), Row("A00002", "G1")});
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, "A00001"));
  EXPECT_EQ(10, rec_.Update(Row("A00009", "G1")));  // key 0 is not modifiable
  ASSERT_EQ(0, rec_.Update(Row("A00001", "G7", "changed")));
  ASSERT_EQ(0, rec_.Get(kGetEqual, 1, "G7--"));
  EXPECT_EQ(Row("A00001", "G7", "changed"), rec_.Record());
  // A record changed by another block since it was read gives 80.
  Rec other;
  ASSERT_EQ(0, other.Open(path_));
  ASSERT_EQ(0, other.Get(kGetEqual, 0, "A00002"));
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, "A00002"));
  ASSERT_EQ(0, rec_.Update(Row("A00002", "G2")));
  EXPECT_EQ(80, other.Update(Row("A00002", "G3")));
  EXPECT_EQ(80, other.Delete());
  ASSERT_EQ(0, other.Get(kGetEqual, 0, "A00002"));
  EXPECT_EQ(0, other.Delete());
  // Two terminals that read the same receipt: once one has deleted it, the
  // other's delete (or update) fails, so it can tell it was not first.
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, "A00001"));
  ASSERT_EQ(0, other.Get(kGetEqual, 0, "A00001"));
  ASSERT_EQ(0, other.Delete());
  EXPECT_EQ(80, rec_.Delete());
  EXPECT_EQ(80, rec_.Update(Row("A00001", "G7", "again")));
  EXPECT_EQ(9, rec_.Get(kGetFirst));
}

TEST_P(BtrcallTest, TransactionsCommitOrRollBackEveryOpenFile) {
  Rec second;
  ASSERT_EQ(0, second.Create(dir_ + "/g.dat", spec_));
  ASSERT_EQ(0, second.Open(dir_ + "/g.dat"));
  std::string none;
  EXPECT_EQ(39, rec_.Call(kEndTransaction, none, 0, 0));
  EXPECT_EQ(39, rec_.Call(kAbortTransaction, none, 0, 0));
  ASSERT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));
  EXPECT_EQ(37, rec_.Call(kBeginTransaction, none, 0, 0));
  ASSERT_EQ(0, rec_.Insert(Row("A00001", "G1")));
  ASSERT_EQ(0, second.Insert(Row("B00001", "G1")));
  ASSERT_EQ(0, rec_.Call(kAbortTransaction, none, 0, 0));
  EXPECT_EQ(9, rec_.Get(kGetFirst));
  EXPECT_EQ(9, second.Get(kGetFirst));
  ASSERT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));
  ASSERT_EQ(0, rec_.Insert(Row("A00002", "G1")));
  ASSERT_EQ(0, second.Insert(Row("B00002", "G1")));
  ASSERT_EQ(0, rec_.Call(kEndTransaction, none, 0, 0));
  ASSERT_EQ(0, rec_.Close());
  ASSERT_EQ(0, rec_.Open(path_));
  ASSERT_EQ(0, rec_.Get(kGetFirst));
  EXPECT_EQ("A00002", rec_.Record().substr(0, 6));
  ASSERT_EQ(0, second.Get(kGetFirst));
  EXPECT_EQ("B00002", second.Record().substr(0, 6));
}

TEST_P(BtrcallTest, ResetAbortsAndClosesEverything) {
  std::string none;
  ASSERT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));
  ASSERT_EQ(0, rec_.Insert(Row("A00001", "G1")));
  ASSERT_EQ(0, rec_.Call(kReset, none, 0, 0));
  EXPECT_EQ(3, rec_.Get(kGetFirst));
  EXPECT_EQ(39, rec_.Call(kEndTransaction, none, 0, 0));
  ASSERT_EQ(0, rec_.Open(path_));
  EXPECT_EQ(9, rec_.Get(kGetFirst));
}

// A file lost after a crash (its WAL still beside it with committed pages)
// and made again from its dictionary: the old WAL must not be laid over the
// new file, or deleted receipts would come back.
TEST_F(BtrcallSqliteTest, ACreatedFileNeverMeetsAStaleWriteAheadLog) {
  InsertAll({Row("A00001", "G1"), Row("A00002", "G1"), Row("A00003", "G1")});
  namespace fs = std::filesystem;
  ASSERT_TRUE(fs::exists(path_ + "-wal"));
  fs::copy_file(path_ + "-wal", dir_ + "/saved-wal");
  ASSERT_EQ(0, rec_.Close());
  fs::remove(path_);
  fs::copy_file(dir_ + "/saved-wal", path_ + "-wal", fs::copy_options::overwrite_existing);
  Rec fresh;
  ASSERT_EQ(0, fresh.CreateAndOpen(path_, spec_, -1));
  EXPECT_EQ(9, fresh.Get(kGetFirst));
  ASSERT_EQ(0, fresh.Insert(Row("B00001", "G2")));
  ASSERT_EQ(0, fresh.Get(kGetFirst));
  EXPECT_EQ(Row("B00001", "G2"), fresh.Record());
  EXPECT_EQ(9, fresh.Get(kGetNext));
  // A deleted file somebody still has open keeps its log alive: no new file
  // is made under its name until it is closed.
  fs::remove(path_);
  Rec again;
  EXPECT_EQ(85, again.Create(path_, spec_, -1));
  EXPECT_FALSE(fs::exists(path_));
  ASSERT_EQ(0, fresh.Close());
  EXPECT_EQ(0, again.Create(path_, spec_, -1));
  ASSERT_EQ(0, again.Open(path_));
  EXPECT_EQ(9, again.Get(kGetFirst));
}

TEST_P(BtrcallTest, ReadOnlyAndExclusiveOpenModes) {
  Rec reader;
  ASSERT_EQ(0, reader.Open(path_, -2));
  EXPECT_EQ(46, reader.Insert(Row("A00001", "G1")));
  Rec exclusive;
  EXPECT_EQ(85, exclusive.Open(path_, -4));  // others have it open
  ASSERT_EQ(0, reader.Close());
  ASSERT_EQ(0, rec_.Close());
  ASSERT_EQ(0, exclusive.Open(path_, -4));
  EXPECT_EQ(85, reader.Open(path_));
  EXPECT_EQ(88, reader.Open(path_, -9));
}


TEST_P(BtrcallTest, RecreatingAFileInUseIsRefused) {
  Rec other;
  EXPECT_EQ(85, other.Create(path_, spec_, 0));
  ASSERT_EQ(0, rec_.Insert(Row("A00001", "G1")));
  ASSERT_EQ(0, rec_.Get(kGetFirst));  // still there, still readable
  ASSERT_EQ(0, rec_.Close());
  ASSERT_EQ(0, other.Create(path_, spec_, 0));
  ASSERT_EQ(0, rec_.Open(path_));
  EXPECT_EQ(9, rec_.Get(kGetFirst));  // a fresh, empty file
  if (store() != testing::Store::kSqlite) return;
  // Nothing is left behind beside it but the lock file.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir_)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"f.dat", "f.dat-shm", "f.dat-wal", "f.dat.lck"}), names);
}

TEST_P(BtrcallTest, AFileOpenedOrClosedInsideATransactionFollowsIt) {
  std::string none;
  ASSERT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));
  Rec late;
  ASSERT_EQ(0, late.Create(dir_ + "/late.dat", spec_));
  ASSERT_EQ(0, late.Open(dir_ + "/late.dat"));
  ASSERT_EQ(0, late.Insert(Row("L00001", "G1")));
  ASSERT_EQ(0, rec_.Insert(Row("A00001", "G1")));
  ASSERT_EQ(0, rec_.Close());  // closed, but its change waits for the end
  ASSERT_EQ(0, late.Call(kAbortTransaction, none, 0, 0));
  EXPECT_EQ(9, late.Get(kGetFirst));
  ASSERT_EQ(0, rec_.Open(path_));
  EXPECT_EQ(9, rec_.Get(kGetFirst));
}

TEST_F(BtrcallSqliteTest, TwoPathsToOneFileShareItsLocksAndTransactions) {
  Rec alias;
  ASSERT_EQ(0, alias.Open(dir_ + "/./f.dat"));
  ASSERT_EQ(0, rec_.Insert(Row("A00001", "G1")));
  ASSERT_EQ(0, rec_.Get(kGetFirst + 200));
  EXPECT_EQ(84, alias.Get(kGetFirst + 200));
  std::string none;
  ASSERT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));  // would wait for itself otherwise
  ASSERT_EQ(0, alias.Insert(Row("A00002", "G1")));
  ASSERT_EQ(0, rec_.Call(kEndTransaction, none, 0, 0));
  ASSERT_EQ(0, rec_.Get(kGetLast));
  EXPECT_EQ("A00002", rec_.Record().substr(0, 6));
}


// Money moves through these files: a committed change must reach the disk.
TEST_F(BtrcallSqliteTest, FilesAreWriteAheadLoggedAndSyncedInFull) {
  File* f = nullptr;
  ASSERT_EQ(0, AcquireFile(path_, false, &f));
  auto pragma = [&](const char* sql) {
    sqlite3_stmt* st = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(f->db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
      value = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    }
    sqlite3_finalize(st);
    return value;
  };
  EXPECT_EQ("wal", pragma("PRAGMA journal_mode"));
  EXPECT_EQ("2", pragma("PRAGMA synchronous"));  // FULL
  ReleaseFile(f, false);
}


TEST_F(BtrcallSqliteTest, ATransactionLostUnderneathIsReportedNotCommittedPiecemeal) {
  std::string none;
  ASSERT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));
  ASSERT_EQ(0, rec_.Insert(Row("A00001", "G1")));
  // What SQLite does by itself on a full disk or an I/O error.
  File* f = nullptr;
  ASSERT_EQ(0, AcquireFile(path_, false, &f));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(f->db, "ROLLBACK", nullptr, nullptr, nullptr));
  ReleaseFile(f, false);
  EXPECT_EQ(36, rec_.Insert(Row("A00002", "G1")));
  EXPECT_EQ(36, rec_.Call(kEndTransaction, none, 0, 0));
  EXPECT_EQ(9, rec_.Get(kGetFirst));
  EXPECT_EQ(0, rec_.Insert(Row("A00003", "G1")));  // outside a transaction again
}

}  // namespace
}  // namespace platform::recman

namespace platform::recman {
namespace {

// The file a transaction changed last commits first: a crash or a failure
// between the commits leaves the later change without the earlier one,
// never the other way round. Tried both ways round, so that the order of
// the files in the table cannot pass for it.
TEST_F(BtrcallSqliteTest, TheFileChangedLastCommitsFirst) {
  Rec second;
  ASSERT_EQ(0, second.CreateAndOpen(dir_ + "/g.dat", spec_));
  std::string none;
  struct Hooked {
    std::vector<std::string>* order;
    std::string name;
    bool fail;
  };
  auto hook = [](void* p) {
    auto* h = static_cast<Hooked*>(p);
    h->order->push_back(h->name);
    return h->fail ? 1 : 0;  // non-zero turns the commit into a rollback
  };
  for (bool f_first : {true, false}) {
    SCOPED_TRACE(f_first ? "f changed first" : "g changed first");
    Rec& earlier = f_first ? rec_ : second;
    Rec& later = f_first ? second : rec_;
    const std::string code = f_first ? "A00001" : "A00002";
    ASSERT_EQ(0, rec_.Call(kBeginTransaction, none, 0, 0));
    ASSERT_EQ(0, earlier.Insert(Row(code, "E")));
    ASSERT_EQ(0, later.Insert(Row(code, "L")));
    ASSERT_EQ(0, rec_.Insert(Row(f_first ? "A10001" : "A10002", "E")));  // no new place in the order
    std::vector<std::string> order;
    File* ef = nullptr;
    File* lf = nullptr;
    ASSERT_EQ(0, AcquireFile(f_first ? path_ : dir_ + "/g.dat", false, &ef));
    ASSERT_EQ(0, AcquireFile(f_first ? dir_ + "/g.dat" : path_, false, &lf));
    Hooked eh{&order, "earlier", true};
    Hooked lh{&order, "later", false};
    sqlite3_commit_hook(ef->db, hook, &eh);
    sqlite3_commit_hook(lf->db, hook, &lh);
    EXPECT_NE(0, rec_.Call(kEndTransaction, none, 0, 0));
    sqlite3_commit_hook(ef->db, nullptr, nullptr);
    sqlite3_commit_hook(lf->db, nullptr, nullptr);
    ReleaseFile(ef, false);
    ReleaseFile(lf, false);
    EXPECT_EQ(order, (std::vector<std::string>{"later", "earlier"}));
    EXPECT_EQ(0, later.Get(kGetEqual, 0, code)) << "the later change is committed";
    EXPECT_EQ(4, earlier.Get(kGetEqual, 0, code)) << "the earlier one, whose commit failed, is not";
  }
}

}  // namespace
}  // namespace platform::recman
