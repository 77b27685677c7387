// The record manager on the database server ("pg:" files) against a floor
// measured in the same run: the same operations straight through libpq with
// prepared statements, over the same connection string (the test server's
// Unix socket). QDEB_TEST_PG names the server; bench/run starts one when it
// is not set.
//
//   inserts        20,000 records in one transaction
//   reads by key   20,000 gets equal on random keys, outside transactions
//   deletes        20,000: get equal then delete (as the program deletes),
//                  in one transaction; the floor selects the record by key
//                  then deletes it by its id
//   scan           100,000 records in key order: get first / get next
//                  against one libpq cursor fetching 200 rows at a time
// Targets: at most 1.5 times the floor for inserts, reads and deletes; the
// scan at most 2 times the cursor.
#include <libpq-fe.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/recman/btrcall.h"
#include "platform/recman/keyspec.h"
#include "platform/recman/server.h"
#include "platform/recman/status.h"

namespace {

namespace rm = platform::recman;

constexpr int kOps = 20000;
constexpr int kScanRecords = 100000;
constexpr int kRecordLength = 100;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string Key(int n) {
  char key[16];
  std::snprintf(key, sizeof key, "%08d", (n * 7919) % 1000003);  // keys out of order
  return key;
}

std::string Record(int n) {
  std::string r = Key(n);
  r.resize(kRecordLength, 'x');
  return r;
}

std::vector<int> Shuffled(int count) {
  std::vector<int> order(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) order[static_cast<size_t>(i)] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(42));
  return order;
}

struct Times {
  double insert = 0, read = 0, erase = 0, scan = 0;
};

// --- the record manager ---

class PgFile {
 public:
  bool Create(const std::string& name) {
    rm::FileDefinition definition;
    definition.record_length = kRecordLength;
    definition.segments = {{1, 8, 0}};  // a unique 8-byte key at 1
    std::string buffer = rm::EncodeCreationBuffer(definition);
    SetName(name);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    char scratch[rm::kPositionBlockSize] = {};
    if (!Ok(BTRCALL(rm::kCreate, scratch, buffer.data(), &length, key_, 255, 0), "create")) return false;
    char owner[5] = {'B', 'E', 'N', 'C', 0};
    length = 5;
    return Ok(BTRCALL(rm::kOpen, block_, owner, &length, key_, 255, 0), "open");
  }
  ~PgFile() {
    uint32_t length = 0;
    BTRCALL(rm::kClose, block_, nullptr, &length, key_, 255, 0);
  }
  bool Insert(const std::string& record) {
    std::memcpy(data_, record.data(), record.size());
    uint32_t length = kRecordLength;
    return Ok(BTRCALL(rm::kInsert, block_, data_, &length, key_, 255, 0), "insert");
  }
  int16_t Get(uint16_t op, const std::string& key) {
    std::memset(key_, 0, sizeof key_);
    std::memcpy(key_, key.data(), key.size());
    uint32_t length = sizeof data_;
    return BTRCALL(op, block_, data_, &length, key_, 255, 0);
  }
  bool Delete() {
    uint32_t length = sizeof data_;
    return Ok(BTRCALL(rm::kDelete, block_, data_, &length, key_, 255, 0), "delete");
  }
  static bool Transaction(uint16_t op) {
    uint32_t length = 0;
    return Ok(BTRCALL(op, nullptr, nullptr, &length, nullptr, 0, 0), "transaction");
  }
  static bool Ok(int16_t st, const char* what) {
    if (st != 0) std::printf("BTRCALL %s: status %d (%s)\n", what, st, rm::LastServerError().c_str());
    return st == 0;
  }

 private:
  void SetName(const std::string& name) {
    std::memset(key_, 0, sizeof key_);
    std::snprintf(key_, sizeof key_, "%s", name.c_str());
  }
  char block_[rm::kPositionBlockSize] = {};
  char key_[256] = {};
  char data_[512] = {};
};

bool RunRecordManager(Times* t) {
  PgFile file;
  if (!file.Create("pg:BENCH\\OPS")) return false;
  double start = Now();
  if (!PgFile::Transaction(rm::kBeginTransaction)) return false;
  for (int i = 0; i < kOps; ++i) {
    if (!file.Insert(Record(i))) return false;
  }
  if (!PgFile::Transaction(rm::kEndTransaction)) return false;
  t->insert = Now() - start;

  const std::vector<int> order = Shuffled(kOps);
  start = Now();
  for (int i : order) {
    if (!PgFile::Ok(file.Get(rm::kGetEqual, Key(i)), "get equal")) return false;
  }
  t->read = Now() - start;

  start = Now();
  if (!PgFile::Transaction(rm::kBeginTransaction)) return false;
  for (int i : order) {
    if (!PgFile::Ok(file.Get(rm::kGetEqual, Key(i)), "get equal") || !file.Delete()) return false;
  }
  if (!PgFile::Transaction(rm::kEndTransaction)) return false;
  t->erase = Now() - start;

  PgFile big;
  if (!big.Create("pg:BENCH\\SCAN")) return false;
  if (!PgFile::Transaction(rm::kBeginTransaction)) return false;
  for (int i = 0; i < kScanRecords; ++i) {
    if (!big.Insert(Record(i))) return false;
  }
  if (!PgFile::Transaction(rm::kEndTransaction)) return false;
  start = Now();
  int seen = 0;
  int16_t st = big.Get(rm::kGetFirst, "");
  while (st == 0) {
    ++seen;
    st = big.Get(rm::kGetNext, "");
  }
  t->scan = Now() - start;
  if (st != rm::kEndOfFile || seen != kScanRecords) {
    std::printf("scan saw %d records, ended with status %d\n", seen, st);
    return false;
  }
  return true;
}

// --- the floor: libpq and prepared statements ---

bool Exec(PGconn* db, const char* sql) {
  PGresult* r = PQexec(db, sql);
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
  if (!ok) std::printf("libpq %s: %s", sql, PQerrorMessage(db));
  PQclear(r);
  return ok;
}

bool Prepare(PGconn* db, const char* name, const char* sql, int parameters) {
  PGresult* r = PQprepare(db, name, sql, parameters, nullptr);
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  if (!ok) std::printf("libpq prepare %s: %s", name, PQerrorMessage(db));
  PQclear(r);
  return ok;
}

// Runs a prepared statement with binary parameters; the rows it gives.
int Run(PGconn* db, const char* name, const std::vector<std::string>& values) {
  std::vector<const char*> pointers;
  std::vector<int> lengths, formats;
  for (const std::string& v : values) {
    pointers.push_back(v.data());
    lengths.push_back(static_cast<int>(v.size()));
    formats.push_back(1);
  }
  PGresult* r = PQexecPrepared(db, name, static_cast<int>(values.size()), pointers.data(), lengths.data(),
                               formats.data(), 1);
  const ExecStatusType s = PQresultStatus(r);
  int rows = s == PGRES_TUPLES_OK ? PQntuples(r) : s == PGRES_COMMAND_OK ? 0 : -1;
  if (rows < 0) std::printf("libpq %s: %s", name, PQerrorMessage(db));
  PQclear(r);
  return rows;
}

bool RunFloor(PGconn* db, Times* t) {
  if (!Exec(db, "SET client_min_messages = warning") || !Exec(db, "DROP TABLE IF EXISTS qdeb_floor") ||
      !Exec(db, "CREATE TABLE qdeb_floor (id bigserial PRIMARY KEY, data bytea NOT NULL, k0 bytea NOT NULL UNIQUE)") ||
      !Prepare(db, "insert", "INSERT INTO qdeb_floor (data, k0) VALUES ($1, $2)", 2) ||
      !Prepare(db, "find", "SELECT id, data FROM qdeb_floor WHERE k0 = $1", 1) ||
      !Prepare(db, "delete", "DELETE FROM qdeb_floor WHERE id = $1", 1)) {
    return false;
  }
  double start = Now();
  if (!Exec(db, "BEGIN")) return false;
  for (int i = 0; i < kOps; ++i) {
    if (Run(db, "insert", {Record(i), Key(i)}) < 0) return false;
  }
  if (!Exec(db, "COMMIT")) return false;
  t->insert = Now() - start;

  const std::vector<int> order = Shuffled(kOps);
  start = Now();
  for (int i : order) {
    if (Run(db, "find", {Key(i)}) != 1) return false;
  }
  t->read = Now() - start;

  start = Now();
  if (!Exec(db, "BEGIN")) return false;
  for (int i : order) {
    PGresult* r = nullptr;
    const std::string key = Key(i);
    const char* value = key.data();
    const int length = static_cast<int>(key.size());
    const int binary = 1;
    r = PQexecPrepared(db, "find", 1, &value, &length, &binary, 1);
    if (PQresultStatus(r) != PGRES_TUPLES_OK || PQntuples(r) != 1) {
      std::printf("libpq find: %s", PQerrorMessage(db));
      PQclear(r);
      return false;
    }
    const std::string id(PQgetvalue(r, 0, 0), static_cast<size_t>(PQgetlength(r, 0, 0)));
    PQclear(r);
    if (Run(db, "delete", {id}) < 0) return false;
  }
  if (!Exec(db, "COMMIT")) return false;
  t->erase = Now() - start;

  if (!Exec(db, "BEGIN")) return false;
  for (int i = 0; i < kScanRecords; ++i) {
    if (Run(db, "insert", {Record(i), Key(i)}) < 0) return false;
  }
  if (!Exec(db, "COMMIT")) return false;
  start = Now();
  int seen = 0;
  if (!Exec(db, "BEGIN") ||
      !Exec(db, "DECLARE scan BINARY CURSOR FOR SELECT data FROM qdeb_floor ORDER BY k0")) {
    return false;
  }
  for (;;) {
    PGresult* r = PQexec(db, "FETCH 200 FROM scan");
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
      std::printf("libpq fetch: %s", PQerrorMessage(db));
      PQclear(r);
      return false;
    }
    const int rows = PQntuples(r);
    seen += rows;
    PQclear(r);
    if (rows == 0) break;
  }
  if (!Exec(db, "COMMIT")) return false;
  t->scan = Now() - start;
  if (seen != kScanRecords) std::printf("the cursor saw %d records\n", seen);
  return Exec(db, "DROP TABLE qdeb_floor");
}

void Line(const char* what, double time, double floor, double target) {
  const double ratio = time / floor;
  std::printf("%-34s %8.3f s  floor %8.3f s  ratio %5.2f  target <= %.1f  %s\n", what, time, floor, ratio,
              target, ratio <= target ? "ok" : "OVER");
}

}  // namespace

int main() {
  const char* conninfo = std::getenv("QDEB_TEST_PG");
  if (conninfo == nullptr || *conninfo == '\0') {
    std::printf("QDEB_TEST_PG is empty: no server to measure (bench/run starts one)\n");
    return 1;
  }
  PGconn* db = PQconnectdb(conninfo);
  if (PQstatus(db) != CONNECTION_OK) {
    std::printf("the server cannot be reached: %s", PQerrorMessage(db));
    PQfinish(db);
    return 1;
  }
  rm::SetServer(conninfo);
  Times manager, floor;
  const bool ok = RunFloor(db, &floor) && RunRecordManager(&manager);
  PQfinish(db);
  if (!ok) return 1;
  Line("20,000 inserts in a transaction", manager.insert, floor.insert, 1.5);
  Line("20,000 reads by key", manager.read, floor.read, 1.5);
  Line("20,000 deletes by key", manager.erase, floor.erase, 1.5);
  Line("key-order scan of 100,000", manager.scan, floor.scan, 2.0);
  return 0;
}
