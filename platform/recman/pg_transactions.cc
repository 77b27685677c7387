// Transactions on the server: one transaction on the process's connection
// spans every "pg:" file, and holds each open file's writer lock until it
// ends, so that no other process writes to those files meanwhile (as
// BEGIN IMMEDIATE does on the SQLite files).
#include <algorithm>
#include <string>
#include <vector>

#include "platform/recman/pg_session.h"
#include "platform/recman/pg_state.h"
#include "platform/recman/status.h"

namespace platform::recman::pg {
namespace {

// Takes the writer locks of the files, in the order of their keys so that
// two processes beginning on the same files cannot wait for each other.
int16_t LockWriters(const std::vector<ServerFile*>& files) {
  std::vector<int64_t> keys;
  for (ServerFile* f : files) keys.push_back(f->name.writer_key);
  if (keys.empty()) return 0;
  std::sort(keys.begin(), keys.end());
  std::string array = "{";
  for (size_t i = 0; i < keys.size(); ++i) array += (i ? "," : "") + std::to_string(keys[i]);
  array += "}";
  Params p;
  p.Text(array);
  Result r = Run("SELECT pg_advisory_xact_lock(k) FROM unnest($1::bigint[]) AS k", p);
  if (!r.ok()) return Failure(r);
  for (ServerFile* f : files) f->in_transaction = true;
  return 0;
}

// BEGIN on the connection, made again when there is none, and the writer
// lock of every open file, the files of a lost connection put on the new
// one first.
int16_t BeginHere() {
  ServerSession& s = Session();
  s.in_transaction = false;
  s.lost_in_transaction = false;
  if (int16_t st = Connect()) return st;
  for (auto& [name, f] : Table().files) {
    if (int16_t st = Rejoin(*f)) return st;
  }
  s.in_transaction = true;
  if (int16_t st = SyncLockTimeout()) {
    s.in_transaction = false;
    return st;
  }
  // Read committed, whatever the server's default: each statement sees what
  // was committed before it began, so every read after the writer locks
  // below sees the last transaction of any other process on those files
  // (at repeatable read the snapshot would be that of the statement that
  // waited for the locks, and a record another process deleted meanwhile
  // would still be read: a receipt taken twice).
  Result b = RunPlain(s.conn, "BEGIN ISOLATION LEVEL READ COMMITTED");
  if (!b.ok()) {
    const int16_t st = Failure(b);
    s.in_transaction = false;
    return st;
  }
  s.begun = true;
  std::vector<ServerFile*> files;
  for (auto& [name, f] : Table().files) files.push_back(f.get());
  if (int16_t st = LockWriters(files)) {
    // Another process holds one of the files beyond the wait: none of them.
    ServerRollback();
    return st;
  }
  return 0;
}

}  // namespace

int16_t ServerBegin() {
  ServerSession& s = Session();
  s.reads_epoch++;
  s.lost_in_transaction = false;
  if (Table().files.empty() && (s.conn == nullptr || PQstatus(s.conn) != CONNECTION_OK)) {
    s.in_transaction = true;
    return 0;  // begins at connection
  }
  // A connection lost since the last call is only found by the first
  // statement on it. Nothing was done on it yet, so the begin is made
  // once more on a new connection.
  int16_t st = BeginHere();
  if (st == kSessionLost) st = BeginHere();
  if (st != 0) {
    s.in_transaction = false;
    s.lost_in_transaction = false;
  }
  return st;
}

int16_t JoinTransaction(ServerFile& f) {
  // A wait that gives up must not end the transaction the other files are
  // in: it runs under a savepoint.
  ServerSession& s = Session();
  Result sp = RunPlain(s.conn, "SAVEPOINT qdeb_join");
  if (!sp.ok()) return Failure(sp);
  int16_t st = LockWriters({&f});
  if (st != 0 && s.conn != nullptr) {
    RunPlain(s.conn, "ROLLBACK TO SAVEPOINT qdeb_join");
    s.lock_timeout_ms = -1;
  }
  return st;
}

int16_t ServerEnd() {
  ServerSession& s = Session();
  int16_t status = 0;
  if (s.lost_in_transaction) {
    Note("the connection to the server was lost inside the transaction; the server rolled it back");
    status = kSessionLost;
  } else if (s.begun && s.conn != nullptr) {
    if (PQtransactionStatus(s.conn) == PQTRANS_INERROR) {
      // A statement failed inside it: the server will commit nothing of it.
      RunPlain(s.conn, "ROLLBACK");
      Note("a statement failed inside the transaction; nothing of it was committed");
      status = kTransactionError;
    } else {
      Result r = RunPlain(s.conn, "COMMIT");
      if (!r.ok()) status = Failure(r);
    }
  }
  s.in_transaction = false;
  s.begun = false;
  s.lost_in_transaction = false;
  s.lock_timeout_ms = status == 0 ? s.lock_timeout_ms : -1;
  for (auto& [name, f] : Table().files) f->in_transaction = false;
  return status;
}

void ServerRollback() {
  ServerSession& s = Session();
  if (s.begun && s.conn != nullptr) {
    Result r = RunPlain(s.conn, "ROLLBACK");
    if (!r.ok()) (void)Failure(r);
  }
  s.in_transaction = false;
  s.begun = false;
  s.lost_in_transaction = false;
  s.lock_timeout_ms = -1;  // a setting made inside it is undone
  s.reads_epoch++;
  for (auto& [name, f] : Table().files) {
    f->in_transaction = false;
    f->writes++;  // pages read inside it may hold rolled-back rows
  }
}

}  // namespace platform::recman::pg
