// The server back end's own cases: a server that cannot be reached, a
// connection lost in the middle of a run, names that are not identifiers,
// and delete-and-next.
#include <libpq-fe.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/recman/btrcall.h"
#include "platform/recman/server.h"
#include "platform/recman/status.h"
#include "platform/recman/store.h"
#include "platform/recman/test_support.h"

namespace platform::recman {
namespace {

using testing::Rec;
using testing::SpecBuffer;

TEST(ServerTest, AServerThatCannotBeReachedGives20WithTheReasonAndNoPassword) {
  SetServer("host=127.0.0.1 port=1 user=office password=Sekret-77 connect_timeout=3");
  Rec rec;
  EXPECT_EQ(kServerUnavailable, rec.Create("pg:DADES\\REBUTS", SpecBuffer(20, {{1, 6, 0}})));
  std::string reason = LastServerError();
  EXPECT_NE(std::string::npos, reason.find("127.0.0.1")) << reason;
  EXPECT_EQ(std::string::npos, reason.find("Sekret-77")) << reason;
  EXPECT_EQ(kServerUnavailable, rec.Open("pg:DADES\\REBUTS"));
  EXPECT_EQ(std::string::npos, LastServerError().find("Sekret-77"));
  EXPECT_EQ(kFileNotOpen, rec.Get(kGetFirst));
  ResetRecordManager();
  SetServer("");
}

class ServerFileTest : public testing::RecmanTest {
 protected:
  testing::Store store() const override { return testing::Store::kServer; }
  // Ends this process's session from another connection, as a server
  // restart or a cut network does.
  void CutConnection() {
    PGconn* admin = PQconnectdb(std::getenv("QDEB_TEST_PG"));
    ASSERT_EQ(CONNECTION_OK, PQstatus(admin)) << PQerrorMessage(admin);
    std::string me = "qdebconv " + std::to_string(getpid());
    const char* values[] = {me.c_str()};
    PGresult* r = PQexecParams(admin,
                               "SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                               " WHERE application_name = $1",
                               1, nullptr, values, nullptr, nullptr, 0);
    EXPECT_EQ(PGRES_TUPLES_OK, PQresultStatus(r)) << PQerrorMessage(admin);
    EXPECT_EQ(1, PQntuples(r));
    PQclear(r);
    PQfinish(admin);
  }
};

// What was committed stays, what was not is rolled back; every call on
// the lost session says so until it ends, and the block goes on after.
TEST_F(ServerFileTest, ALostConnectionKeepsWhatWasCommittedAndNothingElse) {
  Rec rec;
  std::string name = dir_ + "/TrasBanc";
  ASSERT_EQ(0, rec.CreateAndOpen(name, SpecBuffer(20, {{1, 6, 0}}))) << LastServerError();
  ASSERT_EQ(0, rec.Insert("A00001 committed    "));
  std::string none;
  ASSERT_EQ(0, rec.Call(kBeginTransaction, none, 0, 0));
  ASSERT_EQ(0, rec.Insert("A00002 in the air   "));
  CutConnection();
  EXPECT_EQ(kSessionLost, rec.Insert("A00003 after the cut"));
  EXPECT_FALSE(LastServerError().empty());
  EXPECT_EQ(kSessionLost, rec.Get(kGetFirst));
  EXPECT_EQ(kSessionLost, rec.Call(kEndTransaction, none, 0, 0));
  // Once the transaction is over the block goes on, on a new connection.
  ASSERT_EQ(0, rec.Get(kGetFirst)) << LastServerError();
  EXPECT_EQ("A00001 committed    ", rec.Record());
  EXPECT_EQ(kEndOfFile, rec.Get(kGetNext));

  // Outside a transaction the first call finds the loss and says so; the
  // next goes on.
  CutConnection();
  EXPECT_EQ(kSessionLost, rec.Insert("A00004 into the cut "));
  ASSERT_EQ(0, rec.Insert("A00005 afterwards   ")) << LastServerError();

  // A begin finds the loss itself: nothing was done yet, so it begins on a
  // new connection, with the file's writer lock (a second process cannot
  // write it until the end).
  CutConnection();
  ASSERT_EQ(0, rec.Call(kBeginTransaction, none, 0, 0)) << LastServerError();
  ASSERT_EQ(0, rec.Insert("A00006 in the begin "));
  const pid_t child = fork();
  if (child == 0) {
    BusyTimeoutMs = 300;
    Rec other;
    _exit(other.Open(name) == 0 && other.Insert("A00007 other process") == kFileInUse ? 0 : 1);
  }
  int child_status = 0;
  ASSERT_EQ(child, waitpid(child, &child_status, 0));
  EXPECT_TRUE(WIFEXITED(child_status) && WEXITSTATUS(child_status) == 0);
  ASSERT_EQ(0, rec.Call(kEndTransaction, none, 0, 0)) << LastServerError();
  ASSERT_EQ(0, rec.Get(kGetFirst));
  std::string seen = rec.Record().substr(0, 6);
  while (rec.Get(kGetNext) == 0) seen += " " + rec.Record().substr(0, 6);
  EXPECT_EQ("A00001 A00005 A00006", seen);
}

// File names travel as parameters and become quoted table names: quotes,
// semicolons and names longer than the server's identifiers are files
// like any other, and two names that read alike stay two files.
TEST_F(ServerFileTest, AnyNameIsAFileOfItsOwn) {
  std::string odd = dir_ + "/it's \"odd\"; DROP TABLE qdebconv.files; --" + std::string(80, 'x');
  std::string alike = dir_ + "/it_s _odd_; DROP TABLE qdebconv.files; --" + std::string(80, 'x');
  Rec a;
  Rec b;
  ASSERT_EQ(0, a.CreateAndOpen(odd, SpecBuffer(8, {{1, 4, 0}}))) << LastServerError();
  ASSERT_EQ(0, b.CreateAndOpen(alike, SpecBuffer(8, {{1, 4, 0}}))) << LastServerError();
  ASSERT_EQ(0, a.Insert("0001aaaa"));
  EXPECT_EQ(kEndOfFile, b.Get(kGetFirst));
  ASSERT_EQ(0, a.Close());
  ASSERT_EQ(0, a.Open(odd));
  ASSERT_EQ(0, a.Get(kGetFirst));
  EXPECT_EQ("0001aaaa", a.Record());
}

TEST_F(ServerFileTest, DeleteAndNextWalksTheKeyDeletingAsItGoes) {
  Rec rec;
  ASSERT_EQ(0, rec.CreateAndOpen(dir_ + "/r", SpecBuffer(8, {{1, 4, 0}, {5, 2, 0x01}})));
  for (const char* r : {"0001G1..", "0002G2..", "0003G1..", "0004G1.."}) ASSERT_EQ(0, rec.Insert(r));
  ASSERT_EQ(0, rec.Get(kGetEqual, 1, "G1"));
  EXPECT_EQ("0001G1..", rec.Record());
  ASSERT_EQ(0, rec.Call(kDeleteGetNext, rec.data, 2048, 1));
  EXPECT_EQ("0003G1..", rec.Record());
  EXPECT_EQ("G1", rec.key.substr(0, 2));
  ASSERT_EQ(0, rec.Call(kDeleteGetNext, rec.data, 2048, 1));
  EXPECT_EQ("0004G1..", rec.Record());
  ASSERT_EQ(0, rec.Call(kDeleteGetNext, rec.data, 2048, 1));
  EXPECT_EQ("0002G2..", rec.Record());
  EXPECT_EQ(kEndOfFile, rec.Call(kDeleteGetNext, rec.data, 2048, 1));
  EXPECT_EQ(kInvalidPositioning, rec.Call(kDeleteGetNext, rec.data, 2048, 1));
  EXPECT_EQ(kEndOfFile, rec.Get(kGetFirst));
}

// A transaction reads what the one before it committed, even where the
// server's default isolation is repeatable read or serializable: a record
// another process deleted while this one waited for the file is gone.
TEST_F(ServerFileTest, ATransactionSeesWhatTheOneItWaitedForCommitted) {
  ResetRecordManager();  // the next open connects with these options
  SetServer(std::string(std::getenv("QDEB_TEST_PG")) + " options=-cdefault_transaction_isolation=serializable");
  Rec rec;
  const std::string name = dir_ + "/TrasBanc";
  ASSERT_EQ(0, rec.CreateAndOpen(name, SpecBuffer(8, {{1, 4, 0}}))) << LastServerError();
  ASSERT_EQ(0, rec.Insert("0001take"));
  int begun[2];
  ASSERT_EQ(0, pipe(begun));
  const pid_t child = fork();
  if (child == 0) {
    // Another workstation: takes the record inside a transaction that
    // lasts a moment after this one begins to wait.
    Rec other;
    std::string none;
    char byte = 0;
    const bool taken = other.Open(name) == 0 && other.Call(kBeginTransaction, none, 0, 0) == 0 &&
                       other.Get(kGetEqual, 0, "0001") == 0 && other.Delete() == 0;
    byte = taken ? 1 : 0;
    (void)!write(begun[1], &byte, 1);
    usleep(300 * 1000);
    _exit(taken && other.Call(kEndTransaction, none, 0, 0) == 0 ? 0 : 1);
  }
  char byte = 0;
  ASSERT_EQ(1, read(begun[0], &byte, 1));
  ASSERT_EQ(1, byte);
  std::string none;
  ASSERT_EQ(0, rec.Call(kBeginTransaction, none, 0, 0)) << LastServerError();
  EXPECT_EQ(kKeyNotFound, rec.Get(kGetEqual, 0, "0001")) << rec.Record();
  EXPECT_EQ(0, rec.Call(kEndTransaction, none, 0, 0));
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(begun[0]);
  close(begun[1]);
}

}  // namespace
}  // namespace platform::recman
