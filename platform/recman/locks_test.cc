// Record locks between position blocks of one process.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/recman/btrcall.h"
#include "platform/recman/test_support.h"

namespace platform::recman {
namespace {

using testing::Rec;
using testing::SpecBuffer;

class LocksTest : public testing::RecmanTest {
 protected:
  void SetUp() override {
    RecmanTest::SetUp();
    if (HasFatalFailure()) return;
    path_ = dir_ + "/l.dat";
    ASSERT_EQ(0, a_.CreateAndOpen(path_, SpecBuffer(8, {{1, 4, 0}})));
    ASSERT_EQ(0, b_.Open(path_));
    for (const char* r : {"0001....", "0002....", "0003...."}) ASSERT_EQ(0, a_.Insert(r));
  }
  std::string path_;
  Rec a_, b_;
};

INSTANTIATE_TEST_SUITE_P(Both, LocksTest, ::testing::Values(testing::Store::kSqlite, testing::Store::kServer),
                         testing::StoreName);

TEST_P(LocksTest, ALockedRecordIsBusyForOtherBlocksUntilUnlocked) {
  ASSERT_EQ(0, a_.Get(kGetEqual + 200, 0, "0002"));
  EXPECT_EQ(84, b_.Get(kGetEqual + 200, 0, "0002"));
  EXPECT_EQ(84, b_.Get(kGetEqual + 100, 0, "0002"));  // waits, then gives up
  // Reading without a lock is allowed, changing is not.
  ASSERT_EQ(0, b_.Get(kGetEqual, 0, "0002"));
  EXPECT_EQ(84, b_.Update("0002xxxx"));
  EXPECT_EQ(84, b_.Delete());
  // The holder itself may change it.
  ASSERT_EQ(0, a_.Update("0002aaaa"));
  ASSERT_EQ(0, a_.Get(kGetEqual + 200, 0, "0002"));
  ASSERT_EQ(0, a_.Call(kUnlock, a_.data, 0, 0));
  ASSERT_EQ(0, b_.Get(kGetEqual + 200, 0, "0002"));
  EXPECT_EQ("0002aaaa", b_.Record());
}

TEST_P(LocksTest, ASingleLockMovesWithTheNextLockedRead) {
  ASSERT_EQ(0, a_.Get(kGetFirst + 200));
  ASSERT_EQ(0, a_.Get(kGetNext + 200));  // 0002 locked, 0001 free again
  EXPECT_EQ(0, b_.Get(kGetEqual + 200, 0, "0001"));
  EXPECT_EQ(84, b_.Get(kGetEqual + 200, 0, "0002"));
  // A read without a lock keeps it.
  ASSERT_EQ(0, a_.Get(kGetNext));
  EXPECT_EQ(84, b_.Get(kGetEqual + 200, 0, "0002"));
  // Deleting the locked record frees the lock; so does closing.
  ASSERT_EQ(0, a_.Get(kGetEqual, 0, "0002"));
  ASSERT_EQ(0, a_.Delete());
  ASSERT_EQ(0, a_.Get(kGetEqual + 200, 0, "0003"));
  ASSERT_EQ(0, a_.Close());
  EXPECT_EQ(0, b_.Get(kGetEqual + 200, 0, "0003"));
}

TEST_P(LocksTest, MultipleLocksAccumulateUntilUnlocked) {
  ASSERT_EQ(0, a_.Get(kGetFirst + 400));
  ASSERT_EQ(0, a_.Get(kGetNext + 400));
  std::string pos(4, '\0');
  ASSERT_EQ(0, a_.Call(kGetPosition, pos, 4, 0));
  EXPECT_EQ(84, b_.Get(kGetEqual + 200, 0, "0001"));
  EXPECT_EQ(84, b_.Get(kGetEqual + 400, 0, "0002"));
  // One released by its position, then the rest.
  ASSERT_EQ(0, a_.Call(kUnlock, pos, 4, -1));
  EXPECT_EQ(0, b_.Get(kGetEqual + 400, 0, "0002"));
  EXPECT_EQ(84, b_.Get(kGetEqual + 200, 0, "0001"));
  // Read again with a single lock, then move the single lock on: the
  // multiple lock stays.
  ASSERT_EQ(0, a_.Get(kGetEqual + 200, 0, "0001"));
  ASSERT_EQ(0, a_.Get(kGetEqual + 200, 0, "0003"));
  EXPECT_EQ(84, b_.Get(kGetEqual + 200, 0, "0001"));
  ASSERT_EQ(0, a_.Call(kUnlock, a_.data, 0, -2));
  EXPECT_EQ(0, b_.Get(kGetEqual + 200, 0, "0001"));
  EXPECT_EQ(84, b_.Get(kGetEqual + 400, 0, "0003"));  // the single lock is still there
}

TEST_P(LocksTest, ResetReleasesTheLocks) {
  ASSERT_EQ(0, a_.Get(kGetFirst + 200));
  std::string none;
  ASSERT_EQ(0, a_.Call(kReset, none, 0, 0));
  ASSERT_EQ(0, b_.Open(path_));
  EXPECT_EQ(0, b_.Get(kGetFirst + 200));
}

}  // namespace
}  // namespace platform::recman

namespace platform::recman {
namespace {

// A read that could not be had (the record is held by another, or it is
// gone) must not leave the record read before as the one to change: a
// delete that did not look at the status would remove the wrong receipt.
TEST_P(LocksTest, AReadRefusedByALockLeavesNothingToChange) {
  ASSERT_EQ(0, b_.Get(kGetEqual, 0, "0001"));
  ASSERT_EQ(0, a_.Get(kGetEqual + 200, 0, "0002"));
  EXPECT_EQ(84, b_.Get(kGetEqual + 200, 0, "0002"));
  EXPECT_EQ(8, b_.Delete());
  EXPECT_EQ(8, b_.Update("0001xxxx"));
  std::string pos(4, '\0');
  EXPECT_EQ(8, b_.Call(kGetPosition, pos, 4, 0));
  // Next from a refused next tries the same record again, not the one after.
  ASSERT_EQ(0, b_.Get(kGetEqual, 0, "0001"));
  EXPECT_EQ(84, b_.Get(kGetNext + 200));
  EXPECT_EQ(8, b_.Delete());
  ASSERT_EQ(0, a_.Call(kUnlock, a_.data, 0, 0));
  ASSERT_EQ(0, b_.Get(kGetNext + 200));
  EXPECT_EQ("0002....", b_.Record());
  // A position that holds no record leaves nothing current either.
  ASSERT_EQ(0, b_.Get(kGetEqual, 0, "0003"));
  std::string nowhere("\x7F\x7F\x00\x00", 4);
  EXPECT_EQ(43, b_.Call(kGetDirect, nowhere, 4, 0));
  EXPECT_EQ(8, b_.Delete());
  ASSERT_EQ(0, a_.Get(kGetFirst));
  ASSERT_EQ(0, a_.Get(kGetNext));
  ASSERT_EQ(0, a_.Get(kGetNext));
  EXPECT_EQ("0003....", a_.Record());
}

// One transaction deletes, walking key 0, more records than the server's
// lock table has room for (max_locks_per_transaction times the
// connections: room for about 23,000 on the test server), as a generation of a
// large remittance does; a record another block holds is still refused
// inside it, and every other record is deleted once and committed.
TEST_P(LocksTest, ATransactionDeletesMoreRecordsThanTheServerHasLocksFor) {
  constexpr int kRecords = 30000;
  const std::string many = dir_ + "/many.dat";
  Rec walker, holder;
  ASSERT_EQ(0, walker.CreateAndOpen(many, SpecBuffer(8, {{1, 6, 0}})));
  ASSERT_EQ(0, holder.Open(many));
  std::string none;
  auto record = [](int i) {
    char text[16];
    std::snprintf(text, sizeof text, "%06d..", i);
    return std::string(text);
  };
  ASSERT_EQ(0, walker.Call(kBeginTransaction, none, 0, 0));
  for (int i = 0; i < kRecords; ++i) ASSERT_EQ(0, walker.Insert(record(i))) << i;
  ASSERT_EQ(0, walker.Call(kEndTransaction, none, 0, 0));
  ASSERT_EQ(0, holder.Get(kGetEqual + 200, 0, record(kRecords - 1).substr(0, 6)));

  ASSERT_EQ(0, walker.Call(kBeginTransaction, none, 0, 0));
  ASSERT_EQ(0, walker.Get(kGetFirst));
  int deleted = 0;
  int16_t status = 0;
  while ((status = walker.Call(kDeleteGetNext, walker.data, 2048, 0)) == 0) {
    ASSERT_EQ(record(++deleted), walker.Record());
  }
  EXPECT_EQ(84, status) << "the held record";
  EXPECT_EQ(kRecords - 1, deleted);
  ASSERT_EQ(0, walker.Call(kEndTransaction, none, 0, 0));
  ASSERT_EQ(0, walker.Get(kGetFirst));
  EXPECT_EQ(record(kRecords - 1), walker.Record());
  EXPECT_EQ(9, walker.Get(kGetNext));
}

}  // namespace
}  // namespace platform::recman
