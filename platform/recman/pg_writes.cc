// Insert, update and delete on the server. Each is one statement that
// takes the file's writer lock for its own moment (a transaction holds it
// already), so that a write waits for another process's transaction on the
// file as it does on an SQLite file; update and delete change the record
// only if it is still as this block read it and nobody else holds it.
#include <cstring>
#include <string>

#include "platform/recman/pg_session.h"
#include "platform/recman/pg_state.h"
#include "platform/recman/status.h"

namespace platform::recman::pg {
namespace {

std::string KeyParam(size_t k, int first) { return "$" + std::to_string(first + static_cast<int>(k)) + "::bytea"; }

void AddKeys(Params& p, const FileLayout& layout, std::string_view record) {
  for (const Key& key : layout.keys) {
    bool is_null = false;
    std::string sort = SortForm(layout, key, RawKey(key, record), &is_null);
    if (is_null) {
      p.Null();
    } else {
      p.Bytes(sort);
    }
  }
}

std::string InsertSql(const ServerFile& f) {
  std::string sql = "WITH w AS (SELECT pg_advisory_xact_lock($1::bigint)) INSERT INTO " + f.name.table + "(data";
  for (size_t k = 0; k < f.layout.keys.size(); ++k) sql += ", k" + std::to_string(k);
  sql += ") SELECT $2::bytea";
  for (size_t k = 0; k < f.layout.keys.size(); ++k) sql += ", " + KeyParam(k, 3);
  // A duplicate unique key is a status, not an error: an error would end
  // the caller's transaction.
  return sql + " FROM w ON CONFLICT DO NOTHING RETURNING id";
}

// The writer lock, the passing lock on the record and the checks that
// it is as read: $1 writer key, $2 and $3 the record's lock, $4 position,
// $5 the record as read. The change's statement, RETURNING t.id, is the
// last of the WITH list's queries.
//
// Inside a transaction, where nobody else writes the file before the end,
// the record's lock is taken for the statement's moment only and given
// back (a session lock: this process may hold it already, and then keeps
// it), as SQLite files only look that nobody holds it: a lock of the server
// kept to the end for every record changed would fill the server's lock
// table (max_locks_per_transaction) in a transaction that deletes tens of
// thousands of receipts, and the server would refuse the rest. That
// statement gives one row always: the position changed, or null.
std::string Guarded(const ServerFile& f, const std::string& change) {
  const std::string writer = "WITH w AS (SELECT pg_advisory_xact_lock($1::bigint)),";
  if (!f.in_transaction) {
    return writer + " g AS (SELECT pg_try_advisory_xact_lock($2::int4, $3::int4) AS free) " + change;
  }
  return writer + " g AS (SELECT pg_try_advisory_lock($2::int4, $3::int4) AS free), c AS (" + change +
         ") SELECT (SELECT id FROM c),"
         " CASE WHEN (SELECT free FROM g) THEN pg_advisory_unlock($2::int4, $3::int4) END";
}

// Whether the guarded statement changed the record.
bool Changed(const Result& r) { return r.rows() > 0 && !r.IsNull(0, 0); }

std::string UpdateSql(const ServerFile& f) {
  std::string sql = "UPDATE " + f.name.table + " t SET data = $6::bytea";
  for (size_t k = 0; k < f.layout.keys.size(); ++k) {
    sql += ", k" + std::to_string(k) + " = " + KeyParam(k, 7);
  }
  sql += " FROM w, g WHERE t.id = $4::bigint AND t.data = $5::bytea AND g.free";
  // A new value of a unique key taken by another record: checked in the
  // statement, so that it gives no row rather than an error.
  for (size_t k = 0; k < f.layout.keys.size(); ++k) {
    if (f.layout.keys[k].duplicates) continue;
    std::string col = "k" + std::to_string(k);
    sql += " AND NOT EXISTS (SELECT 1 FROM " + f.name.table + " d WHERE d." + col + " = " +
           KeyParam(k, 7) + " AND d.id <> $4::bigint)";
  }
  return Guarded(f, sql + " RETURNING t.id");
}

std::string DeleteSql(const ServerFile& f) {
  return Guarded(f, "DELETE FROM " + f.name.table +
                        " t USING w, g WHERE t.id = $4::bigint AND t.data = $5::bytea AND g.free RETURNING t.id");
}

Params GuardParams(const ServerFile& f, int64_t id, const std::string& as_read) {
  Params p;
  p.Int64(f.name.writer_key)
      .Int32(f.name.record_space)
      .Int32(static_cast<int32_t>(static_cast<uint32_t>(id)))
      .Int64(id)
      .Bytes(as_read);
  return p;
}

// Why an update or delete changed nothing: 80 the record changed or went,
// 84 another holds it, else (update) a duplicate key.
int16_t WhyNot(ServerFile& f, int64_t id, const std::string& as_read) {
  Params p;
  p.Int64(id);
  Result r = Run("SELECT data FROM " + f.name.table + " WHERE id = $1::bigint", p);
  if (!r.ok()) return Failure(r);
  if (r.rows() == 0 || r.Bytes(0, 0) != as_read) return kConflict;
  if (int16_t st = CheckUnlocked(f, id)) return st;
  return kDuplicateKey;
}

int16_t RecordFromCaller(ops::Call& c, const FileLayout& layout, std::string* record) {
  if (c.data_size < layout.record_length) return kDataBufferTooShort;
  size_t n = (layout.file_flags & kFileVariableLength) != 0 ? c.data_size : layout.record_length;
  record->assign(c.data, n);
  return 0;
}

// Autoincrement segments left at zero: one more than the largest, read
// under the writer lock, which the caller's transaction or ours holds.
int16_t FillAutoIncrement(ServerFile& f, std::string* record) {
  const FileLayout& layout = f.layout;
  for (size_t k = 0; k < layout.keys.size(); ++k) {
    const Key& key = layout.keys[k];
    if (key.autoincrement < 0) continue;
    const Segment& s = key.segments[0];
    if (AutoIncrementValue(s, *record) != 0) continue;
    bool descending = (s.flags & kKeyDescending) != 0;
    std::string col = "k" + std::to_string(k);
    Result r = Run("SELECT data FROM " + f.name.table + " WHERE " + col + " IS NOT NULL ORDER BY " +
                       col + (descending ? " ASC" : " DESC") + " LIMIT 1",
                   Params());
    if (!r.ok()) return Failure(r);
    int64_t top = 0;
    if (r.rows() > 0) {
      std::string stored(r.Bytes(0, 0));
      if (stored.size() < static_cast<size_t>(s.offset) + s.length) return kIoError;
      top = AutoIncrementValue(s, stored);
    }
    SetAutoIncrement(s, top + 1, record);
  }
  return 0;
}

bool NeedsAutoIncrement(const FileLayout& layout, const std::string& record) {
  for (const Key& key : layout.keys) {
    if (key.autoincrement >= 0 && AutoIncrementValue(key.segments[0], record) == 0) return true;
  }
  return false;
}

// Inserts the record; *id its position, *duplicate when a unique key was taken.
int16_t InsertRow(ServerFile& f, const std::string& record, int64_t* id) {
  Params p;
  p.Int64(f.name.writer_key).Bytes(record);
  AddKeys(p, f.layout, record);
  Result r = Run(InsertSql(f), p);
  if (!r.ok()) return Failure(r);
  if (r.rows() == 0) return kDuplicateKey;
  *id = r.Int64(0, 0);
  return 0;
}

// Outside a transaction, an insert that must read before it writes runs
// in a transaction of its own.
int16_t InsertWithAutoIncrement(ServerFile& f, std::string* record, int64_t* id) {
  ServerSession& s = Session();
  bool own = !s.begun;
  if (own) {
    Result b = RunPlain(s.conn, "BEGIN");
    if (!b.ok()) return Failure(b);
    Params p;
    p.Int64(f.name.writer_key);
    Result l = Run("SELECT pg_advisory_xact_lock($1::bigint)", p);
    if (!l.ok()) {
      int16_t st = Failure(l);
      if (s.conn != nullptr) RunPlain(s.conn, "ROLLBACK");
      return st;
    }
  }
  int16_t st = FillAutoIncrement(f, record);
  if (st == 0) st = InsertRow(f, *record, id);
  if (own && s.conn != nullptr) {
    Result e = RunPlain(s.conn, st == 0 ? "COMMIT" : "ROLLBACK");
    if (st == 0 && !e.ok()) st = Failure(e);
  }
  return st;
}

}  // namespace

int16_t ServerInsert(ops::Call& c, ServerHandle& h) {
  ServerFile& f = *h.file;
  const FileLayout& layout = f.layout;
  if (h.read_only) return kAccessDenied;
  bool has_keys = !layout.keys.empty();
  if (has_keys && (c.key_number < 0 || static_cast<size_t>(c.key_number) >= layout.keys.size())) {
    return kInvalidKeyNumber;
  }
  std::string record;
  if (int16_t st = RecordFromCaller(c, layout, &record)) return st;
  if (int16_t st = SyncLockTimeout()) return st;
  int64_t id = 0;
  bool autoincrement = NeedsAutoIncrement(layout, record);
  int16_t st = autoincrement ? InsertWithAutoIncrement(f, &record, &id) : InsertRow(f, record, &id);
  if (st != 0) return st;
  f.writes++;
  if (autoincrement) std::memcpy(c.data, record.data(), record.size());
  SetServerCursor(h, has_keys ? c.key_number : -1, id, record);
  if (has_keys) ops::ReturnKey(c, layout.keys[static_cast<size_t>(c.key_number)], record);
  return 0;
}

int16_t ServerUpdate(ops::Call& c, ServerHandle& h) {
  ServerFile& f = *h.file;
  const FileLayout& layout = f.layout;
  if (h.read_only) return kAccessDenied;
  if (!h.cursor.current) return kInvalidPositioning;
  std::string record;
  if (int16_t st = RecordFromCaller(c, layout, &record)) return st;
  const std::string& stored = h.cursor.data;
  if (ChangesFixedKey(layout, stored, record)) return kModifiableKeyChanged;
  int64_t id = h.cursor.id;
  auto held = f.record_locks.find(id);
  if (held != f.record_locks.end() && held->second != c.index) return kRecordInUse;
  if (int16_t st = SyncLockTimeout()) return st;
  Params p = GuardParams(f, id, stored);
  p.Bytes(record);
  AddKeys(p, layout, record);
  Result r = Run(UpdateSql(f), p);
  if (!r.ok()) return Failure(r);
  if (!Changed(r)) return WhyNot(f, id, stored);
  f.writes++;
  SetServerCursor(h, h.cursor.key, id, record);
  if (h.single_lock == id) ReleaseLock(c, h, id);
  return 0;
}

int16_t ServerDelete(ops::Call& c, ServerHandle& h) {
  ServerFile& f = *h.file;
  if (h.read_only) return kAccessDenied;
  if (!h.cursor.current) return kInvalidPositioning;
  int64_t id = h.cursor.id;
  auto held = f.record_locks.find(id);
  if (held != f.record_locks.end() && held->second != c.index) return kRecordInUse;
  if (int16_t st = SyncLockTimeout()) return st;
  Result r = Run(DeleteSql(f), GuardParams(f, id, h.cursor.data));
  if (!r.ok()) return Failure(r);
  if (!Changed(r)) {
    int16_t st = WhyNot(f, id, h.cursor.data);
    return st == kDuplicateKey ? kConflict : st;
  }
  // Inside a transaction nobody else writes the file: the handle's page,
  // which the deleted record ends, stays good for the records after it, so
  // that a walk deleting as it goes reads a page per 200 records, not one
  // per record. Other handles' pages may hold the record: thrown away.
  const Page& page = h.page;
  const bool page_goes_on = f.in_transaction && page.writes == f.writes && page.next > 0 &&
                            page.next <= page.rows.size() && page.rows[page.next - 1].id == id;
  f.writes++;
  if (page_goes_on) h.page.writes = f.writes;
  ReleaseLock(c, h, id);
  // The cursor keeps the deleted record's key and position.
  h.cursor.current = false;
  h.cursor.data.clear();
  return 0;
}

}  // namespace platform::recman::pg
