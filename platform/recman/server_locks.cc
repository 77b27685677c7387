#include "platform/recman/server_locks.h"

#include <unistd.h>

#include <map>
#include <string>

#include "platform/recman/pg_session.h"

namespace platform::recman::lock_server {
namespace {

// Advisory lock classes of the lock tables: holders (class, number) and the
// turns of the tables (class, hash of the table's name).
constexpr int32_t kHolderClass = 0x51444C48;  // "QDLH"
constexpr int32_t kTableClass = 0x51444C54;   // "QDLT"

// Process-wide: the lock tables' own connection to the server.
struct LockConnection {
  std::string conninfo;
  PGconn* conn = nullptr;
  pid_t pid = 0;        // the process that opened it
  int32_t holder = 0;   // the number claimed on it
  std::string error;
  // The statements prepared on it: SQL -> name.
  std::map<std::string, std::string> prepared;
};

LockConnection& State() {
  static LockConnection state;
  return state;
}

void Drop() {
  LockConnection& s = State();
  if (s.conn != nullptr) {
    // A child after fork shares the parent's socket: it only closes its copy.
    if (s.pid == getpid()) {
      PQfinish(s.conn);
    } else if (PQsocket(s.conn) >= 0) {
      close(PQsocket(s.conn));
    }
  }
  s.conn = nullptr;
  s.holder = 0;
  s.prepared.clear();
}

void Fail(const std::string& what, const pg::Result& r) {
  LockConnection& s = State();
  std::string reason = r.Message();
  if (reason.empty() && s.conn != nullptr) reason = PQerrorMessage(s.conn);
  // No connection to ask: the reason is the one it could not be made for.
  if (reason.empty() && s.conn == nullptr) reason = s.error;
  s.error = pg::Scrub(what + ": " + reason);
  // A lost connection has lost the claim and every turn with it.
  if (s.conn == nullptr || PQstatus(s.conn) != CONNECTION_OK) Drop();
}

// The connection, made (with the schema's lock table) when there is none.
PGconn* Connection() {
  LockConnection& s = State();
  if (s.conn != nullptr && (s.pid != getpid() || PQstatus(s.conn) != CONNECTION_OK)) Drop();
  if (s.conn != nullptr) return s.conn;
  int16_t status = 0;
  const std::string saved = pg::Session().conninfo;
  pg::Session().conninfo = s.conninfo;
  s.conn = pg::ConnectApart(&status);
  pg::Session().conninfo = saved;
  if (s.conn == nullptr) {
    s.error = recman::pg::Session().last_error;
    return nullptr;
  }
  s.pid = getpid();
  // Slots need no durability of their own: a server that restarts has
  // ended every holder's session, so every slot it could lose was
  // abandoned anyway. So the table is not logged, and a slot's write waits
  // for no flush to the disk (one per receipt in a generation).
  // Two first terminals at once must not both create the table.
  pg::Result made = pg::RunPlain(
      s.conn,
      "SET synchronous_commit = off;"
      " BEGIN; SELECT pg_advisory_xact_lock(1363430484, 0);"
      " CREATE SCHEMA IF NOT EXISTS qdebconv;"
      " CREATE UNLOGGED TABLE IF NOT EXISTS qdebconv.lock_slot_writes(tbl text NOT NULL,"
      " slot integer NOT NULL, written bigserial, bytes bytea NOT NULL,"
      " PRIMARY KEY (tbl, slot, written)); COMMIT");
  if (!made.ok()) {
    Fail("lock tables", made);
    Drop();
    return nullptr;
  }
  return s.conn;
}

// A statement on the lock connection, prepared on its first use there.
pg::Result RunLocks(const std::string& sql, const pg::Params& params) {
  PGconn* conn = Connection();
  if (conn == nullptr) return pg::Result();
  LockConnection& s = State();
  auto it = s.prepared.find(sql);
  if (it == s.prepared.end()) {
    const std::string name = "l" + std::to_string(s.prepared.size() + 1);
    pg::Result made(PQprepare(conn, name.c_str(), sql.c_str(), params.count(), nullptr));
    if (!made.ok()) return made;
    it = s.prepared.emplace(sql, name).first;
  }
  return pg::RunPrepared(conn, it->second, params);
}

}  // namespace

void Use(const std::string& conninfo) {
  LockConnection& s = State();
  if (s.conninfo == conninfo) return;
  Drop();
  s.conninfo = conninfo;
}

Outcome ClaimHolder(int32_t number) {
  LockConnection& s = State();
  if (Connection() == nullptr) return Outcome::kFailed;
  if (s.holder == number) return Outcome::kDone;
  pg::Result r = RunLocks("SELECT pg_try_advisory_lock($1::int4, $2::int4)",
                     pg::Params().Int32(kHolderClass).Int32(number));
  if (!r.ok() || r.rows() != 1) {
    Fail("lock holder " + std::to_string(number), r);
    return Outcome::kFailed;
  }
  if (!r.Bool(0, 0)) return Outcome::kBusy;
  if (s.holder != 0) {
    pg::Result let_go = RunLocks("SELECT pg_advisory_unlock($1::int4, $2::int4)",
                            pg::Params().Int32(kHolderClass).Int32(s.holder));
    static_cast<void>(let_go);
  }
  s.holder = number;
  return Outcome::kDone;
}

int32_t HeldHolder() {
  LockConnection& s = State();
  if (s.conn == nullptr || s.pid != getpid() || PQstatus(s.conn) != CONNECTION_OK) return 0;
  return s.holder;
}

bool LiveHolders(std::set<int32_t>* holders) {
  holders->clear();
  pg::Result r = RunLocks(
      "SELECT objid::int8 FROM pg_locks WHERE locktype = 'advisory' AND granted"
      " AND objsubid = 2 AND classid = $1::int8::oid"
      " AND database = (SELECT oid FROM pg_database WHERE datname = current_database())",
      pg::Params().Int64(kHolderClass));
  if (!r.ok()) {
    Fail("lock holders", r);
    return false;
  }
  for (int i = 0; i < r.rows(); ++i) holders->insert(static_cast<int32_t>(r.Int64(i, 0)));
  return true;
}

Outcome BeginVisit(const std::string& table) {
  pg::Result r = RunLocks("SELECT pg_try_advisory_lock($1::int4, hashtext($2))",
                     pg::Params().Int32(kTableClass).Text(table));
  if (!r.ok() || r.rows() != 1) {
    Fail(table, r);
    return Outcome::kFailed;
  }
  return r.Bool(0, 0) ? Outcome::kDone : Outcome::kBusy;
}

bool ReadSlots(const std::string& table, size_t slot_size, std::string* bytes) {
  bytes->clear();
  pg::Result r = RunLocks(
      "SELECT DISTINCT ON (slot) slot::int8, bytes FROM qdebconv.lock_slot_writes"
      " WHERE tbl = $1 ORDER BY slot, written DESC",
      pg::Params().Text(table));
  if (!r.ok()) {
    Fail(table, r);
    return false;
  }
  for (int i = 0; i < r.rows(); ++i) {
    const size_t at = static_cast<size_t>(r.Int64(i, 0)) * slot_size;
    if (bytes->size() < at + slot_size) bytes->resize(at + slot_size, ' ');
    bytes->replace(at, slot_size, std::string(r.Bytes(i, 1).substr(0, slot_size)));
  }
  return true;
}

// A slot's writes are rows added, never rows changed: the slot is its
// latest row. A generation rewrites its slot once per receipt while its
// own transaction on the records is open, and that transaction keeps the
// server from clearing away the old versions of a changed row, so each
// change of one row would walk all the versions before it (a group of
// 30,000 receipts took minutes). The rows a slot no longer needs go at the
// end of the visit.
bool WriteSlot(const std::string& table, int64_t slot, std::string_view bytes) {
  pg::Result r = RunLocks("INSERT INTO qdebconv.lock_slot_writes (tbl, slot, bytes) VALUES ($1, $2::int8, $3)",
                          pg::Params().Text(table).Int64(slot).Bytes(bytes));
  if (!r.ok()) {
    Fail(table, r);
    return false;
  }
  return true;
}

void EndVisit(const std::string& table) {
  // A lost connection gave the turn back with it.
  if (State().conn == nullptr || State().pid != getpid()) return;
  pg::Result superseded = RunLocks(
      "DELETE FROM qdebconv.lock_slot_writes w WHERE tbl = $1 AND written <"
      " (SELECT max(written) FROM qdebconv.lock_slot_writes l WHERE l.tbl = w.tbl AND l.slot = w.slot)",
      pg::Params().Text(table));
  if (!superseded.ok()) Fail(table, superseded);
  pg::Result r = RunLocks("SELECT pg_advisory_unlock($1::int4, hashtext($2))",
                     pg::Params().Int32(kTableClass).Text(table));
  if (!r.ok()) Fail(table, r);
}

bool Tables(std::vector<std::string>* names) {
  names->clear();
  pg::Result r = RunLocks("SELECT DISTINCT tbl FROM qdebconv.lock_slot_writes ORDER BY tbl", pg::Params());
  if (!r.ok()) {
    Fail("lock tables", r);
    return false;
  }
  for (int i = 0; i < r.rows(); ++i) names->emplace_back(r.Bytes(i, 0));
  return true;
}

std::string Error() { return State().error; }

}  // namespace platform::recman::lock_server
