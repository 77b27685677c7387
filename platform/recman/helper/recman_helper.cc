// Test helper: runs record-manager commands in a process of its own so
// that tests can share files with it, and kill it at chosen moments.
//
//   recman_helper FILE insert FIRST COUNT   insert COUNT records (key 0 a
//                                          10-digit number from FIRST)
//   recman_helper FILE lock KEY             read KEY with a single no-wait
//                                          lock, print "locked", sleep
//   recman_helper FILE txn FIRST COUNT      begin, insert COUNT records,
//                                          print "inserted", sleep
//   recman_helper FILE begin                begin a transaction, print
//                                          "begun", sleep
//   recman_helper FILE forever FIRST        insert records until killed
//   recman_helper FILE locktxn KEY COUNT    begin, insert COUNT records from
//                                          1000, lock KEY, print "ready", sleep
//   recman_helper FILE probe KEY            read KEY with a single no-wait
//                                          lock, print "got N" (its status)
//
// Records are 32 bytes: the key in bytes 0-9, the rest filler. Prints the
// first non-zero status as "status N" and exits 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "platform/recman/btrcall.h"
#include "platform/recman/server.h"
#include "platform/recman/store.h"

namespace {

char g_block[platform::recman::kPositionBlockSize];

void Finish() {
  BTRCALL(platform::recman::kReset, g_block, nullptr, nullptr, nullptr, 0, 0);
  std::fflush(stdout);
}

int Fail(const char* what, int16_t status) {
  std::printf("status %d %s\n", status, what);
  Finish();
  return 1;
}

void Record(long n, char* record) {
  std::memset(record, '.', 32);
  char digits[16];
  std::snprintf(digits, sizeof digits, "%010ld", n);
  std::memcpy(record, digits, 10);
}

int16_t Insert(long n) {
  char record[32];
  Record(n, record);
  char key[10];
  uint32_t length = 32;
  return BTRCALL(platform::recman::kInsert, g_block, record, &length, key, 10, 0);
}

void SleepForever() {
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) pause();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::string path = argv[1];
  std::string command = argv[2];
  // The tests are about what ends up in the file, not about how long a
  // loaded machine makes a writer wait for the other.
  platform::recman::BusyTimeoutMs = 120000;
  // FILE may name a file on the test server ("pg:...").
  if (const char* server = std::getenv("QDEB_TEST_PG")) platform::recman::SetServer(server);
  char owner[5] = {'T', 'E', 'S', 'T', 0};
  uint32_t length = 5;
  char key[256] = {};
  std::snprintf(key, sizeof key, "%s", path.c_str());
  int16_t st = BTRCALL(platform::recman::kOpen, g_block, owner, &length, key,
                       static_cast<uint8_t>(path.size() + 1), 0);
  if (st != 0) return Fail("open", st);
  long first = argc > 3 ? std::atol(argv[3]) : 0;
  long count = argc > 4 ? std::atol(argv[4]) : 0;
  if (command == "insert") {
    for (long i = 0; i < count; ++i) {
      st = Insert(first + i);
      if (st != 0) return Fail("insert", st);
    }
    std::printf("done\n");
    Finish();
    return 0;
  }
  if (command == "forever") {
    for (long i = 0;; ++i) {
      st = Insert(first + i);
      if (st != 0) return Fail("insert", st);
      if (i == 100) {
        std::printf("ready\n");
        std::fflush(stdout);
      }
    }
  }
  if (command == "lock") {
    char record[32];
    Record(first, record);
    length = 32;
    st = BTRCALL(platform::recman::kGetEqual + 200, g_block, record, &length, record, 10, 0);
    if (st != 0) return Fail("lock", st);
    SleepForever();
  }
  if (command == "locktxn") {
    length = 0;
    st = BTRCALL(platform::recman::kBeginTransaction, nullptr, nullptr, &length, nullptr, 0, 0);
    if (st != 0) return Fail("begin", st);
    for (long i = 0; i < count; ++i) {
      st = Insert(1000 + i);
      if (st != 0) return Fail("insert", st);
    }
    char record[32];
    Record(first, record);
    length = 32;
    st = BTRCALL(platform::recman::kGetEqual + 200, g_block, record, &length, record, 10, 0);
    if (st != 0) return Fail("lock", st);
    SleepForever();
  }
  if (command == "probe") {
    char record[32];
    Record(first, record);
    length = 32;
    st = BTRCALL(platform::recman::kGetEqual + 200, g_block, record, &length, record, 10, 0);
    std::printf("got %d\n", st);
    Finish();
    return 0;
  }
  if (command == "txn" || command == "begin") {
    length = 0;
    st = BTRCALL(platform::recman::kBeginTransaction, nullptr, nullptr, &length, nullptr, 0, 0);
    if (st != 0) return Fail("begin", st);
    for (long i = 0; i < count; ++i) {
      st = Insert(first + i);
      if (st != 0) return Fail("insert", st);
    }
    SleepForever();
  }
  return 2;
}
