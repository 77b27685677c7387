#include "platform/recman/server_locks.h"

#include <unistd.h>

#include <map>
#include <string>

#include "platform/process/clock.h"
#include "platform/recman/pg_session.h"

namespace platform::recman::lock_server {
namespace {

// Advisory lock classes of the lock tables: holders (class, number) and the
// turns of the tables (class, hash of the table's name).
constexpr int32_t kHolderClass = 0x51444C48;  // "QDLH"
constexpr int32_t kTableClass = 0x51444C54;   // "QDLT"
// Slot writes sent before their answers are waited for.
constexpr int kMostUnanswered = 64;
// How long a slot written may wait before it is sent to the server.
constexpr int64_t kSendEveryMs = 20;
constexpr char kInsertSlot[] =
    "INSERT INTO qdebconv.lock_slot_writes (tbl, slot, bytes) VALUES ($1, $2::int8, $3)";

// Process-wide: the lock tables' own connection to the server.
struct LockConnection {
  std::string conninfo;
  PGconn* conn = nullptr;
  pid_t pid = 0;        // the process that opened it
  int32_t holder = 0;   // the number claimed on it
  std::string error;
  // The statements prepared on it: SQL -> name.
  std::map<std::string, std::string> prepared;
  // Slot writes sent in pipeline mode whose results have not come back,
  // and the first of them that failed.
  bool piped = false;
  int unanswered = 0;
  std::string piped_failure;
  // Slot writes of the table visited, kept until they are sent: slot ->
  // its latest bytes.
  std::string unsent_table;
  std::map<int64_t, std::string> unsent;
  int64_t sent_at = 0;  // SteadyMilliseconds of the last send
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
  s.piped = false;
  s.unanswered = 0;
  s.piped_failure.clear();
  s.unsent_table.clear();
  s.unsent.clear();
}

void Fail(const std::string& what, const pg::Result& r) {
  LockConnection& s = State();
  std::string reason = r.Message();
  // A slot write sent earlier that failed is why nothing could run now.
  if (reason.empty()) reason = s.piped_failure;
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

// The name of sql prepared on the lock connection, prepared on its first
// use there (never in pipeline mode: the first slot write prepares its
// statement before the pipeline starts). Empty when it could not be.
std::string Prepared(PGconn* conn, const std::string& sql, int params, pg::Result* failure) {
  return pg::PrepareOnce(conn, &State().prepared, 'l', sql, params, failure);
}

// Reads the answers of the slot writes sent so far: those already here, or
// (wait) all of them, and then the connection leaves pipeline mode. False
// when one of them failed or the connection was lost; the failure is kept
// and told by every call after it.
bool Collect(bool wait) {
  LockConnection& s = State();
  while (s.conn != nullptr && s.unanswered > 0) {
    if (PQconsumeInput(s.conn) == 0 || PQstatus(s.conn) != CONNECTION_OK) {
      Fail("lock tables", pg::Result());
      return false;
    }
    if (!wait && PQisBusy(s.conn) != 0) return s.piped_failure.empty();
    PGresult* raw = PQgetResult(s.conn);
    if (raw == nullptr) continue;  // the end of one statement's answer
    const ExecStatusType status = PQresultStatus(raw);
    pg::Result r(raw);
    if (status == PGRES_PIPELINE_SYNC) {
      --s.unanswered;
    } else if (!r.ok() && s.piped_failure.empty()) {
      s.piped_failure = r.Message().empty() ? std::string(PQerrorMessage(s.conn)) : r.Message();
    }
  }
  if (s.conn != nullptr && s.piped && s.unanswered == 0) {
    if (PQexitPipelineMode(s.conn) == 0) {
      Fail("lock tables", pg::Result());
      return false;
    }
    s.piped = false;
  }
  if (!s.piped_failure.empty()) {
    s.error = pg::Scrub(s.unsent_table + ": " + s.piped_failure);
    return false;
  }
  return s.conn != nullptr;
}

// Sends the slots kept, in one transaction of the server's, without
// waiting for its answer (pipeline mode): the holder goes on with its work
// while the server writes them. False when they could not be sent or a
// write before them failed.
bool Send() {
  LockConnection& s = State();
  if (s.unsent.empty()) return Collect(false);
  PGconn* conn = Connection();
  if (conn == nullptr) return false;
  pg::Result failure;
  const std::string name = Prepared(conn, kInsertSlot, 3, &failure);
  if (name.empty()) {
    Fail(s.unsent_table, failure);
    return false;
  }
  if (!s.piped && PQenterPipelineMode(conn) == 0) {
    Fail(s.unsent_table, pg::Result());
    return false;
  }
  s.piped = true;
  for (const auto& [slot, bytes] : s.unsent) {
    if (!pg::SendPrepared(conn, name, pg::Params().Text(s.unsent_table).Int64(slot).Bytes(bytes))) {
      Fail(s.unsent_table, pg::Result());
      return false;
    }
  }
  if (PQpipelineSync(conn) == 0) {
    Fail(s.unsent_table, pg::Result());
    return false;
  }
  s.unsent.clear();
  s.sent_at = SteadyMilliseconds();
  ++s.unanswered;
  // Answers left unread would fill the socket: a long run is read at once.
  return Collect(s.unanswered >= kMostUnanswered);
}

// A statement on the lock connection, once every slot write before it has
// been sent and answered.
pg::Result RunLocks(const std::string& sql, const pg::Params& params) {
  PGconn* conn = Connection();
  if (conn == nullptr || !Send() || !Collect(true)) return pg::Result();
  pg::Result failure;
  const std::string name = Prepared(conn, sql, params.count(), &failure);
  if (name.empty()) return failure;
  return pg::RunPrepared(conn, name, params);
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
// A slot written during a visit is kept here and sent with the others
// every kSendEveryMs, and always before the visit ends (EndVisit runs a
// statement of its own, which sends what is kept first): a generation
// rewrites its slot once per receipt, and a round trip per receipt to a
// second server process would cost more than the receipt's own statement.
// Nobody else can take a key of the table before the visit ends, so only
// a look from elsewhere (kitdb locks) sees a slot that late.
bool WriteSlot(const std::string& table, int64_t slot, std::string_view bytes) {
  LockConnection& s = State();
  if (!s.unsent.empty() && s.unsent_table != table && !Send()) return false;
  s.unsent_table = table;
  s.unsent[slot] = std::string(bytes);
  // One failed write fails the writes after it: the table is not as its
  // holder believes.
  if (SteadyMilliseconds() - s.sent_at < kSendEveryMs) return Collect(false);
  return Send();
}

void EndVisit(const std::string& table) {
  LockConnection& s = State();
  // A lost connection gave the turn back with it.
  if (s.conn == nullptr || s.pid != getpid()) {
    s.unsent.clear();
    return;
  }
  // The slots kept reach the server before the turn goes to the others. A
  // write that failed was told to the holder by WriteSlot, or stays in
  // Error(); the turn is given back all the same.
  static_cast<void>(Send());
  static_cast<void>(Collect(true));
  s.unsent.clear();
  s.piped_failure.clear();
  if (s.conn == nullptr) return;
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
