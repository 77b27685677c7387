// The slot writes of a visit to a lock table on the server: kept and sent
// later, yet on the server when the turn goes back, and a write the server
// refuses is told rather than lost.
#include "platform/recman/server_locks.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace platform::recman::lock_server {
namespace {

class LockServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* conninfo = std::getenv("QDEB_TEST_PG");
    ASSERT_TRUE(conninfo != nullptr && *conninfo != '\0')
        << "QDEB_TEST_PG must name the test server (scripts/pg-test-server start prints it)";
    Use(conninfo);
    other_ = PQconnectdb(conninfo);
    ASSERT_EQ(CONNECTION_OK, PQstatus(other_)) << PQerrorMessage(other_);
  }
  void TearDown() override {
    Use("");
    if (other_ != nullptr) PQfinish(other_);
  }

  // One statement of another session's: the first column of its first
  // row, or "" when there is none.
  std::string Other(const std::string& sql) {
    const char* values[] = {table_.c_str()};
    PGresult* r = PQexecParams(other_, sql.c_str(), 1, nullptr, values, nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(r);
    EXPECT_TRUE(status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) << PQerrorMessage(other_);
    std::string value = PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
    PQclear(r);
    return value;
  }
  void Plain(const std::string& sql) {
    PGresult* r = PQexec(other_, sql.c_str());
    EXPECT_EQ(PGRES_COMMAND_OK, PQresultStatus(r)) << PQerrorMessage(other_);
    PQclear(r);
  }
  // The slots of the table as another session sees them, latest row each.
  std::string SeenElsewhere() {
    return Other(
        "SELECT string_agg(convert_from(bytes, 'LATIN1'), '' ORDER BY slot) FROM"
        " (SELECT DISTINCT ON (slot) slot, bytes FROM qdebconv.lock_slot_writes"
        " WHERE tbl = $1 ORDER BY slot, written DESC) latest");
  }
  std::string table_ = "LOCKS\\T" + std::to_string(getpid()) + "_" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name();
  PGconn* other_ = nullptr;
};

TEST_F(LockServerTest, SlotsWrittenInAVisitAreOnTheServerWhenItsTurnGoesBack) {
  ASSERT_EQ(Outcome::kDone, BeginVisit(table_));
  EXPECT_TRUE(WriteSlot(table_, 0, "AAAA"));
  EXPECT_TRUE(WriteSlot(table_, 1, "BBBB"));
  EXPECT_TRUE(WriteSlot(table_, 0, "CCCC"));
  EndVisit(table_);
  EXPECT_EQ("CCCCBBBB", SeenElsewhere());
  // Another session may take the turn at once.
  EXPECT_EQ("t", Other("SELECT pg_try_advisory_lock(1363430484, hashtext($1))"));
  EXPECT_EQ("t", Other("SELECT pg_advisory_unlock(1363430484, hashtext($1))"));

  // A long visit: a write after the sending interval sends what was kept,
  // so a look from elsewhere sees the run going on.
  ASSERT_EQ(Outcome::kDone, BeginVisit(table_));
  EXPECT_TRUE(WriteSlot(table_, 0, "DDDD"));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_TRUE(WriteSlot(table_, 1, "EEEE"));
  std::string seen;
  for (int i = 0; i < 100 && seen != "DDDDEEEE"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    seen = SeenElsewhere();
  }
  EXPECT_EQ("DDDDEEEE", seen);
  EndVisit(table_);
  std::string mine;
  ASSERT_TRUE(ReadSlots(table_, 4, &mine)) << Error();
  EXPECT_EQ("DDDDEEEE", mine);
}

TEST_F(LockServerTest, AWriteTheServerRefusesIsToldAndTheTurnStillGoesBack) {
  ASSERT_EQ(Outcome::kDone, BeginVisit(table_));
  const std::string refuse = "refuse_" + std::to_string(getpid());
  // Only this test's table is refused: other tests share the server.
  Plain("ALTER TABLE qdebconv.lock_slot_writes ADD CONSTRAINT " + refuse + " CHECK (tbl <> '" +
        table_ + "') NOT VALID");
  // Told by the write itself when the server has answered by then, else
  // by the next call, which waits for the answer.
  static_cast<void>(WriteSlot(table_, 0, "AAAA"));
  std::string bytes;
  EXPECT_FALSE(ReadSlots(table_, 4, &bytes));
  EXPECT_NE(std::string::npos, Error().find(refuse)) << Error();
  EXPECT_NE(std::string::npos, Error().find(table_)) << Error();
  EXPECT_FALSE(WriteSlot(table_, 1, "BBBB"));
  EndVisit(table_);
  EXPECT_EQ("t", Other("SELECT pg_try_advisory_lock(1363430484, hashtext($1))"));
  EXPECT_EQ("t", Other("SELECT pg_advisory_unlock(1363430484, hashtext($1))"));

  // Once the server takes writes again, so does the next visit.
  Plain("ALTER TABLE qdebconv.lock_slot_writes DROP CONSTRAINT " + refuse);
  ASSERT_EQ(Outcome::kDone, BeginVisit(table_));
  EXPECT_TRUE(WriteSlot(table_, 0, "CCCC"));
  EndVisit(table_);
  EXPECT_EQ("CCCC", SeenElsewhere());
}

}  // namespace
}  // namespace platform::recman::lock_server
