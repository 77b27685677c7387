// Insert, update and delete.
#include <cstring>
#include <string>

#include "platform/recman/status.h"
#include "platform/recman/call.h"

namespace platform::recman::ops {
namespace {

// Fills autoincrement segments left at zero with one more than the largest.
int16_t FillAutoIncrement(File* f, std::string* record) {
  const FileLayout& layout = f->layout;
  for (size_t k = 0; k < layout.keys.size(); ++k) {
    const Key& key = layout.keys[k];
    if (key.autoincrement < 0) continue;
    const Segment& s = key.segments[0];
    if (AutoIncrementValue(s, *record) != 0) continue;
    bool descending = (s.flags & kKeyDescending) != 0;
    std::string col = KeyColumn(static_cast<int>(k));
    Statement q(f, "SELECT data FROM rec WHERE " + col + " IS NOT NULL ORDER BY " + col +
                       (descending ? " ASC" : " DESC") + " LIMIT 1");
    if (!q.ok()) return StatusOf(q.prepare_error());
    int rc = q.Step();
    int64_t top = 0;
    if (rc == SQLITE_ROW) {
      std::string stored(q.Blob(0));
      if (stored.size() < static_cast<size_t>(s.offset) + s.length) return kIoError;
      top = AutoIncrementValue(s, stored);
    } else if (rc != SQLITE_DONE) {
      return StatusOf(rc);
    }
    SetAutoIncrement(s, top + 1, record);
  }
  return 0;
}

std::string InsertSql(const FileLayout& layout) {
  std::string sql = "INSERT INTO rec(data";
  for (size_t k = 0; k < layout.keys.size(); ++k) sql += ", " + KeyColumn(static_cast<int>(k));
  sql += ") VALUES (?1";
  for (size_t k = 0; k < layout.keys.size(); ++k) {
    sql += ", ?";
    sql += std::to_string(k + 2);
  }
  return sql + ")";
}

// Reads the current record back inside a write: 8 when there is none, 80
// when another has changed or removed it since this block read it.
int16_t CheckCurrent(Call& c, std::string* stored) {
  Cursor& cur = c.h->cursor;
  if (!cur.current) return kInvalidPositioning;
  Statement q(c.h->file, "SELECT data FROM rec WHERE id = ?1");
  if (!q.ok()) return StatusOf(q.prepare_error());
  q.Bind(1, cur.id);
  int rc = q.Step();
  if (rc == SQLITE_DONE) return kConflict;
  if (rc != SQLITE_ROW) return StatusOf(rc);
  stored->assign(q.Blob(0));
  return *stored == cur.data ? 0 : 80;
}

}  // namespace

int16_t Insert(Call& c) {
  File* f = c.h->file;
  const FileLayout& layout = f->layout;
  if (c.h->read_only) return kAccessDenied;
  bool has_keys = !layout.keys.empty();
  if (has_keys && !ValidKey(c)) return kInvalidKeyNumber;
  std::string record;
  if (int16_t st = RecordFromCaller(c, &record)) return st;
  bool autoincrement = false;
  for (const Key& k : layout.keys) autoincrement = autoincrement || k.autoincrement >= 0;
  WriteScope scope(f);
  if (scope.status() != 0) return scope.status();
  if (autoincrement) {
    if (int16_t st = FillAutoIncrement(f, &record)) return st;
  }
  int64_t id = 0;
  {
    Statement q(f, InsertSql(layout));
    if (!q.ok()) return StatusOf(q.prepare_error());
    q.Bind(1, record);
    BindKeys(q, layout, record, 2);
    int rc = q.Step();
    if (rc != SQLITE_DONE) return StatusOf(rc);
    id = sqlite3_last_insert_rowid(f->db);
  }
  if (int16_t st = scope.Commit()) return st;
  if (autoincrement) std::memcpy(c.data, record.data(), record.size());
  SetCursor(c, has_keys ? c.key_number : -1, id, record);
  if (has_keys) ReturnKey(c, layout.keys[static_cast<size_t>(c.key_number)], record);
  return 0;
}

int16_t Update(Call& c) {
  File* f = c.h->file;
  const FileLayout& layout = f->layout;
  if (c.h->read_only) return kAccessDenied;
  if (!c.h->cursor.current) return kInvalidPositioning;
  std::string record;
  if (int16_t st = RecordFromCaller(c, &record)) return st;
  WriteScope scope(f);
  if (scope.status() != 0) return scope.status();
  std::string stored;
  if (int16_t st = CheckCurrent(c, &stored)) return st;
  if (ChangesFixedKey(layout, stored, record)) return kModifiableKeyChanged;
  int64_t id = c.h->cursor.id;
  bool passing = false;
  if (int16_t st = GuardRecord(c, id, &passing)) return st;
  std::string sql = "UPDATE rec SET data = ?1";
  for (size_t k = 0; k < layout.keys.size(); ++k) {
    sql += ", " + KeyColumn(static_cast<int>(k)) + " = ?";
    sql += std::to_string(k + 2);
  }
  sql += " WHERE id = ?";
  sql += std::to_string(layout.keys.size() + 2);
  int16_t status = 0;
  {
    Statement q(f, sql);
    if (!q.ok()) {
      status = StatusOf(q.prepare_error());
    } else {
      q.Bind(1, record);
      BindKeys(q, layout, record, 2);
      q.Bind(static_cast<int>(layout.keys.size()) + 2, id);
      int rc = q.Step();
      if (rc != SQLITE_DONE) status = StatusOf(rc);
    }
  }
  if (status == 0) status = scope.Commit();
  if (passing) UnlockRecord(f, id);
  if (status != 0) return status;
  SetCursor(c, c.h->cursor.key, id, record);
  if (c.h->single_lock == id) ReleaseLock(c, id);
  return 0;
}

int16_t Delete(Call& c) {
  File* f = c.h->file;
  if (c.h->read_only) return kAccessDenied;
  if (!c.h->cursor.current) return kInvalidPositioning;
  WriteScope scope(f);
  if (scope.status() != 0) return scope.status();
  std::string stored;
  if (int16_t st = CheckCurrent(c, &stored)) return st;
  int64_t id = c.h->cursor.id;
  bool passing = false;
  if (int16_t st = GuardRecord(c, id, &passing)) return st;
  int16_t status = 0;
  {
    Statement q(f, "DELETE FROM rec WHERE id = ?1");
    if (!q.ok()) {
      status = StatusOf(q.prepare_error());
    } else {
      q.Bind(1, id);
      int rc = q.Step();
      if (rc != SQLITE_DONE) status = StatusOf(rc);
    }
  }
  if (status == 0) status = scope.Commit();
  if (passing) UnlockRecord(f, id);
  if (status != 0) return status;
  ReleaseLock(c, id);
  // The cursor keeps the deleted record's key and position: next and
  // previous go on from there.
  c.h->cursor.current = false;
  c.h->cursor.data.clear();
  return 0;
}

int16_t DeleteGetNext(Call& c) {
  if (int16_t st = DeleteGetNextRefusal(c, c.h->cursor, c.h->file->layout, c.h->read_only)) return st;
  if (int16_t st = Delete(c)) return st;
  Call next = c;
  next.base = kGetNext;
  next.bias = 0;
  return GetByKey(next);
}

}  // namespace platform::recman::ops
