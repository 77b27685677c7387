// Lock tables kept on the database server: across hosts, and the same slot
// bytes as the table files.
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "env/session.h"
#include "files/lock_liveness.h"
#include "files/lock_slot.h"
#include "files/locks.h"
#include "files/scratch_test.h"

namespace files {
namespace {

int escapes = -1;  // polls before Escape is pressed; -1 never
bool EscapeNow() { return escapes >= 0 && escapes-- == 0; }

class ServerLocksTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    const char* conninfo = std::getenv("QDEB_TEST_PG");
    ASSERT_TRUE(conninfo != nullptr && *conninfo != '\0')
        << "QDEB_TEST_PG must name the test server (scripts/pg-test-server start prints it); "
        << (std::getenv("QDEB_TEST_PG_ERROR") ? std::getenv("QDEB_TEST_PG_ERROR") : "");
    server_ = conninfo;
    env::session.RootDir = root_ + "/";
    env::session.LanguageCode = "CAT";
    Hooks.wait = {nullptr, nullptr, EscapeNow, [](int) {}};
    escapes = -1;
  }
  // A table of this test's own on the shared server.
  std::string name_ = "T" + std::to_string(getpid()) + "_" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::string server_;
};

// A process of another "host": its own host name and work directory.
void BecomeHost(const std::string& host, const std::string& work) {
  if (unshare(CLONE_NEWUTS) != 0 || sethostname(host.data(), host.size()) != 0) _exit(90);
  std::filesystem::create_directories(work);
  env::session.WorkDir = work + "/";
  lock_identity = LockIdentity{};
}

TEST_F(ServerLocksTest, AnotherHostsLockIsHeldWhileItsHolderLivesAndFreeWhenItDies) {
  env::session.DatabaseServer = server_;
  int to_parent[2];
  int to_b[2];
  ASSERT_EQ(0, pipe(to_parent));
  ASSERT_EQ(0, pipe(to_b));
  const pid_t a = fork();
  if (a == 0) {
    BecomeHost("hostA", root_ + "/workA");
    const char held = LockKey(name_, "RECEIPT-1").ok() ? 'H' : 'E';
    if (write(to_parent[1], &held, 1) != 1) _exit(91);
    pause();
    _exit(0);
  }
  char got = 0;
  ASSERT_EQ(1, read(to_parent[0], &got, 1));
  ASSERT_EQ('H', got) << "host A could not take the lock";
  const pid_t b = fork();
  if (b == 0) {
    BecomeHost("hostB", root_ + "/workB");
    // Escape at the first wait: refused while host A's holder lives.
    escapes = 0;
    env::Status first = LockKey(name_, "RECEIPT-1");
    char said = first.code() == env::Code::kCancelled ? 'R' : 'X';
    if (write(to_parent[1], &said, 1) != 1) _exit(91);
    char go = 0;
    if (read(to_b[0], &go, 1) != 1) _exit(92);
    const auto start = std::chrono::steady_clock::now();
    said = 'T';
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(1)) {
      escapes = 0;
      if (LockKey(name_, "RECEIPT-1").ok()) {
        said = 'G';
        break;
      }
      usleep(20000);
    }
    if (write(to_parent[1], &said, 1) != 1) _exit(91);
    _exit(0);
  }
  ASSERT_EQ(1, read(to_parent[0], &got, 1));
  EXPECT_EQ('R', got) << "host B took a lock host A's live holder has";
  kill(a, SIGKILL);
  waitpid(a, nullptr, 0);
  ASSERT_EQ(1, write(to_b[1], "g", 1));
  ASSERT_EQ(1, read(to_parent[0], &got, 1));
  EXPECT_EQ('G', got) << "host A's lock was not free within a second of its holder's death";
  int status = 0;
  waitpid(b, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// The same locks, taken and given back in the same order, leave the same
// slot bytes in a table file and in the server's table (the stamps aside).
TEST_F(ServerLocksTest, ServerTableKeepsTheSlotsOfTheFile) {
  struct Step {
    int32_t holder;
    char op;  // k LockKey, r RelockKey, x ReleaseLock, f a whole-file lock
    const char* key;
  };
  const Step steps[] = {
      {111, 'k', "ALPHA"}, {111, 'k', "BETA"}, {111, 'r', "GAMMA"}, {111, 'x', ""},
      {222, 'k', "DELTA"},  // 111's slots are abandoned now: 222 claimed the process
      {222, 'r', "EPSILON"}, {222, 'f', ""}, {222, 'x', ""}, {222, 'k', "ZETA"},
  };
  auto run = [&](const std::string& server) {
    env::session.DatabaseServer = server;
    std::filesystem::create_directories(root_ + "/work");
    env::session.WorkDir = root_ + "/work/";
    for (const Step& step : steps) {
      lock_identity.LockHolder = step.holder;
      lock_identity.LockStation = ThisStation();  // 111 dead to both, as on one host
      env::Status done;
      escapes = 0;  // nothing here waits
      switch (step.op) {
        case 'k': done = LockKey(name_, step.key); break;
        case 'r': done = RelockKey(name_, step.key); break;
        case 'f': done = AcquireLock(name_, "F", "", ""); break;
        default: done = ReleaseLock(name_); break;
      }
      EXPECT_TRUE(done.ok()) << step.op << " " << step.key << ": " << done.Text();
    }
  };
  // Read as kitdb locks shows them, then the file as it is on disk.
  run("");
  env::StatusOr<std::string> shown = LockTableSlots(name_);
  ASSERT_TRUE(shown.ok()) << shown.status().Text();
  std::string file = ReadAll(root_ + "/LOCKS/" + name_ + ".lck");
  EXPECT_EQ(file, *shown);
  run(server_);
  shown = LockTableSlots(name_);
  ASSERT_TRUE(shown.ok()) << shown.status().Text();
  std::string server = *shown;
  ASSERT_EQ(file.size(), server.size()) << file << "\n" << server;
  ASSERT_GT(file.size(), 0u);
  for (size_t at = 0; at < file.size(); at += kLockSlotSize) {
    for (std::string* table : {&file, &server}) {
      table->replace(at + lock_slot::kStamp.offset(), lock_slot::kStamp.width, lock_slot::kStamp.width, '.');
    }
  }
  EXPECT_EQ(file, server);
}

// A server that cannot be reached: the lock is refused with its reason and
// the table's name, never waited for in silence.
TEST_F(ServerLocksTest, UnreachableServerIsToldWithTheTable) {
  env::session.DatabaseServer = "host=127.0.0.1 port=1 connect_timeout=2 password=Sekret-9";
  std::filesystem::create_directories(root_ + "/work");
  env::session.WorkDir = root_ + "/work/";
  lock_identity = LockIdentity{};
  env::Status status = LockKey(name_, "K");
  EXPECT_EQ(env::Code::kDatabase, status.code()) << status.Text();
  EXPECT_NE(std::string::npos, status.Text().find("127.0.0.1")) << status.Text();
  EXPECT_EQ(std::string::npos, status.Text().find("Sekret-9")) << status.Text();
}

}  // namespace
}  // namespace files
