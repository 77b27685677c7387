// Record files on the server: one table per file in the schema qdebconv,
// named from the file's name, and the catalogue qdebconv.files that keeps
// each file's creation buffer (see recman.md).
#include <cstdio>
#include <string>

#include "platform/recman/pg_session.h"
#include "platform/recman/pg_state.h"
#include "platform/recman/server.h"
#include "platform/recman/status.h"

namespace platform::recman {
namespace pg {
namespace {

constexpr const char* kFormatTag = "qdebconv-recman-1";
constexpr const char* kCatalogue =
    "CREATE SCHEMA IF NOT EXISTS qdebconv;"
    "CREATE TABLE IF NOT EXISTS qdebconv.files(name bytea PRIMARY KEY, table_name text NOT NULL,"
    " format text NOT NULL, layout bytea NOT NULL)";

uint64_t Fnv1a(const std::string& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (char ch : bytes) {
    h ^= static_cast<unsigned char>(ch);
    h *= 1099511628211ull;
  }
  return h;
}

std::string Quote(const std::string& identifier) {
  std::string out = "\"";
  for (char ch : identifier) {
    if (ch == '"') out += '"';
    out += ch;
  }
  return out + "\"";
}

std::string TableSql(const ServerName& n, const FileLayout& layout) {
  std::string sql = "CREATE TABLE " + n.table + "(id bigserial PRIMARY KEY, data bytea NOT NULL";
  for (size_t k = 0; k < layout.keys.size(); ++k) sql += ", k" + std::to_string(k) + " bytea";
  sql += ");";
  // A unique key orders by its value alone; duplicates by value, then
  // position (their insertion order), which the index then serves as is.
  for (size_t k = 0; k < layout.keys.size(); ++k) {
    std::string col = "k" + std::to_string(k);
    bool unique = !layout.keys[k].duplicates;
    sql += std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " +
           Quote(n.bare + "_" + col) + " ON " + n.table + "(" + col + (unique ? ")" : ", id)") + ";";
  }
  return sql;
}

// Runs SQL on a connection of its own, committed there. 0 or the status.
int16_t Exec(PGconn* conn, const std::string& sql, const Params& params, Result* out = nullptr) {
  Result r = params.count() == 0 ? RunPlain(conn, sql.c_str()) : RunOn(conn, sql, params);
  if (!r.ok()) return Failure(r, conn);
  if (out != nullptr) *out = std::move(r);
  return 0;
}

int16_t MakeCatalogue(PGconn* conn) {
  // Two processes making it at once: the loser's statement fails on the
  // catalogue's unique names; the second try finds it made.
  if (Exec(conn, kCatalogue, Params()) == 0) return 0;
  return Exec(conn, kCatalogue, Params());
}

int16_t WriteFile(PGconn* conn, const ServerName& n, const FileLayout& layout, bool overwrite) {
  if (int16_t st = Exec(conn, "BEGIN", Params())) return st;
  Params entry;
  entry.Bytes(n.name).Text(n.bare).Text(kFormatTag).Bytes(layout.raw);
  if (overwrite) {
    Params name;
    name.Bytes(n.name);
    if (int16_t st = Exec(conn, "DELETE FROM qdebconv.files WHERE name = $1::bytea", name)) return st;
  }
  Result r;
  // A creator that comes second waits here for the first to commit, then
  // finds the name taken.
  if (int16_t st = Exec(conn,
                        "INSERT INTO qdebconv.files VALUES ($1::bytea, $2::text, $3::text, $4::bytea)"
                        " ON CONFLICT DO NOTHING RETURNING 1",
                        entry, &r)) {
    return st;
  }
  if (r.rows() == 0) return kFileExists;
  if (int16_t st = Exec(conn, "DROP TABLE IF EXISTS " + n.table + ";" + TableSql(n, layout), Params())) {
    return st;
  }
  return Exec(conn, "COMMIT", Params());
}

}  // namespace

ServerName NameOf(const std::string& name) {
  ServerName n;
  n.name = name;
  uint64_t h = Fnv1a(name);
  // Readable (lower-case letters, digits, '_'), then the hash that keeps
  // distinct names apart: at most 59 bytes, within the server's 63.
  std::string readable;
  for (char ch : name) {
    char c = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!plain && (readable.empty() || readable.back() == '_')) continue;
    readable += plain ? c : '_';
    if (readable.size() >= 40) break;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  n.bare = "r_" + readable + (readable.empty() || readable.back() == '_' ? "" : "_") + hex;
  n.table = "qdebconv." + Quote(n.bare);
  n.mode_key = static_cast<int64_t>(h & ~uint64_t{1});
  n.writer_key = static_cast<int64_t>(h | 1);
  n.record_space = static_cast<int32_t>(static_cast<uint32_t>(h >> 32));
  return n;
}

int16_t CreateServerFile(const std::string& name, const FileLayout& layout, bool overwrite) {
  ServerName n = NameOf(name);
  auto open = Table().files.find(name);
  if (overwrite && open != Table().files.end() && open->second->handles > 0) {
    Note("the record file " + name + " is open in this program");
    return kFileInUse;
  }
  int16_t status = 0;
  PGconn* conn = ConnectApart(&status);
  if (conn == nullptr) return status;
  status = MakeCatalogue(conn);
  if (status == 0 && overwrite) {
    // Nobody may have the old file open while it is replaced; the lock
    // goes with this connection.
    Params key;
    key.Int64(n.mode_key);
    Result r;
    status = Exec(conn, "SELECT pg_try_advisory_lock($1::bigint)", key, &r);
    if (status == 0 && !r.Bool(0, 0)) {
      Note("the record file " + name + " is open elsewhere");
      status = kFileInUse;
    }
  }
  bool locked = status == 0 && overwrite;
  if (status == 0) status = WriteFile(conn, n, layout, overwrite);
  if (locked) {
    // Let go at once: the server ends a closed session a little later, and
    // the caller's open follows right away.
    RunPlain(conn, "ROLLBACK");
    Params key;
    key.Int64(n.mode_key);
    (void)Exec(conn, "SELECT pg_advisory_unlock($1::bigint)", key);
  }
  PQfinish(conn);  // rolls back what was not committed
  return status;
}

int16_t ReadServerLayout(const ServerName& n, FileLayout* layout) {
  Params p;
  p.Bytes(n.name);
  Result r = Run("SELECT layout, format FROM qdebconv.files WHERE name = $1::bytea", p);
  if (!r.ok()) {
    std::string state = r.SqlState();
    // No catalogue yet (a new database): no such file.
    if (state == "42P01" || state == "3F000") {
      Note("the server holds no record file " + n.name);
      return kFileNotFound;
    }
    return Failure(r);
  }
  if (r.rows() == 0) {
    Note("the server holds no record file " + n.name);
    return kFileNotFound;
  }
  if (r.Bytes(0, 1) != kFormatTag || ParseCreationBuffer(r.Bytes(0, 0), layout) != 0) {
    Note("the record file " + n.name + " on the server has a layout this program cannot read");
    return kNotARecordFile;
  }
  return 0;
}

int16_t TakeModeLock(ServerFile& f, bool exclusive) {
  Params p;
  p.Int64(f.name.mode_key);
  Result r = Run(exclusive ? "SELECT pg_try_advisory_lock($1::bigint)"
                           : "SELECT pg_try_advisory_lock_shared($1::bigint)",
                 p);
  if (!r.ok()) return Failure(r);
  if (!r.Bool(0, 0)) {
    Note("the record file " + f.name.name + " is held exclusively elsewhere");
    return kFileInUse;
  }
  f.mode_locked = true;
  f.mode_exclusive = exclusive;
  return 0;
}

int16_t Rejoin(ServerFile& f) {
  ServerSession& s = Session();
  if (f.epoch == s.epoch) return 0;
  // Every lock of the old session went with it, and pages read on it may
  // miss what others wrote since.
  f.record_locks.clear();
  f.in_transaction = false;
  f.writes++;
  for (ServerHandle& h : Table().handles) {
    if (!h.used || h.file.get() != &f) continue;
    h.single_lock = 0;
    h.multiple_locks.clear();
    h.page = Page();
  }
  f.mode_locked = false;
  if (f.handles > 0) {
    // Another process may have taken the file exclusively meanwhile.
    if (int16_t st = TakeModeLock(f, f.exclusive_opens > 0)) return st;
  }
  f.epoch = s.epoch;
  return 0;
}

void DropModeLock(ServerFile& f) {
  if (!f.mode_locked) return;
  f.mode_locked = false;
  if (f.epoch != Session().epoch || Session().conn == nullptr) return;  // gone with the connection
  Params p;
  p.Int64(f.name.mode_key);
  Result r = Run(f.mode_exclusive ? "SELECT pg_advisory_unlock($1::bigint)"
                                  : "SELECT pg_advisory_unlock_shared($1::bigint)",
                 p);
  if (!r.ok()) (void)Failure(r);
}

}  // namespace pg

int16_t DropServerFiles(const std::string& prefix) {
  int16_t status = 0;
  PGconn* conn = pg::ConnectApart(&status);
  if (conn == nullptr) return status;
  pg::Result r;
  pg::Params p;
  p.Bytes(prefix).Int32(static_cast<int32_t>(prefix.size()));
  status = pg::Exec(conn, "BEGIN", pg::Params());
  if (status == 0) {
    status = pg::Exec(conn,
                      "DELETE FROM qdebconv.files WHERE substring(name from 1 for $2::int4) = $1::bytea"
                      " RETURNING table_name",
                      p, &r);
  }
  std::string drop;
  for (int i = 0; status == 0 && i < r.rows(); ++i) {
    drop += "DROP TABLE IF EXISTS qdebconv." + pg::Quote(std::string(r.Bytes(i, 0))) + ";";
  }
  if (status == 0 && !drop.empty()) status = pg::Exec(conn, drop, pg::Params());
  if (status == 0) status = pg::Exec(conn, "COMMIT", pg::Params());
  PQfinish(conn);
  return status;
}

}  // namespace platform::recman
