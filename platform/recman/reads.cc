// The gets: by key value, first and last, next and previous from the
// cursor, by position.
#include <optional>
#include <string>
#include <vector>

#include "platform/recman/status.h"
#include "platform/recman/call.h"

namespace platform::recman::ops {
namespace {

// After a record has been found (id, data): locks it when the read asks
// for a lock, makes it current and returns it.
int16_t Deliver(Call& c, int key, int64_t id, std::string record,
                const std::optional<std::string>* sort_key = nullptr) {
  if (c.bias != 0) {
    if (SingleBias(c.bias) && c.h->single_lock != 0 && c.h->single_lock != id) {
      ReleaseLock(c, c.h->single_lock);
    }
    bool had = c.h->file->record_locks.count(id) != 0;
    if (int16_t st = TakeLock(c, id)) {
      // The record read before is no longer the one to change, and the
      // cursor stays where it was, so that the same read can be tried again.
      c.h->cursor.current = false;
      return st;
    }
    if (!had) {
      // Read it again under the lock: it may have changed meanwhile.
      Statement q(c.h->file, "SELECT data FROM rec WHERE id = ?1");
      if (q.ok()) {
        q.Bind(1, id);
        if (q.Step() == SQLITE_ROW) {
          record.assign(q.Blob(0));
          sort_key = nullptr;
        } else {
          ReleaseLock(c, id);
          c.h->cursor.current = false;
          return kConflict;
        }
      }
    }
  }
  SetCursor(c, key, id, record, sort_key);
  if (key >= 0) ReturnKey(c, c.h->file->layout.keys[static_cast<size_t>(key)], record);
  return ReturnData(c, record);
}

// The search statements of a key, in the order of SqlKind.
enum SqlKind {
  kSqlEqual,
  kSqlGreater,
  kSqlGreaterOrEqual,
  kSqlLess,
  kSqlLessOrEqual,
  kSqlFirst,
  kSqlLast,
  kSqlNextUnique,
  kSqlPreviousUnique,
  kSqlNextSame,
  kSqlPreviousSame,
  kSqlCount,
};
static_assert(kSqlFirst == static_cast<int>(kSearchFirst) && kSqlLast == static_cast<int>(kSearchLast));

// Built once per file and key: the calls of a scan then cost no string
// work. Every statement returns id, data and the key's sort form.
const std::string& KeySql(File* f, int key, SqlKind kind) {
  if (f->key_sql.size() != f->layout.keys.size()) {
    f->key_sql.assign(f->layout.keys.size(), {});
  }
  std::vector<std::string>& sql = f->key_sql[static_cast<size_t>(key)];
  if (sql.empty()) {
    const std::string col = KeyColumn(key);
    const std::string select = "SELECT id, data, " + col + " FROM rec WHERE ";
    const std::string asc = " ORDER BY " + col + ", id LIMIT 1";
    const std::string desc = " ORDER BY " + col + " DESC, id DESC LIMIT 1";
    sql.resize(kSqlCount);
    sql[kSqlEqual] = select + col + " = ?1" + asc;
    sql[kSqlGreater] = select + col + " > ?1" + asc;
    sql[kSqlGreaterOrEqual] = select + col + " >= ?1" + asc;
    sql[kSqlLess] = select + col + " < ?1" + desc;
    sql[kSqlLessOrEqual] = select + col + " <= ?1" + desc;
    sql[kSqlFirst] = select + col + " IS NOT NULL" + asc;
    sql[kSqlLast] = select + col + " IS NOT NULL" + desc;
    // At most one row holds a value of a unique key.
    sql[kSqlNextUnique] = select + col + " >= ?1 AND (" + col + " > ?1 OR id > ?2)" + asc;
    sql[kSqlPreviousUnique] = select + col + " <= ?1 AND (" + col + " < ?1 OR id < ?2)" + desc;
    // Within a run of duplicates the position decides, and an index can
    // only range over the position when the key is fixed by equality: a
    // row-value (k, id) > (?, ?) would walk the whole run on every step.
    sql[kSqlNextSame] = select + col + " = ?1 AND id > ?2 ORDER BY id LIMIT 1";
    sql[kSqlPreviousSame] = select + col + " = ?1 AND id < ?2 ORDER BY id DESC LIMIT 1";
  }
  return sql[kind];
}

struct Found {
  int64_t id = 0;
  std::string record;
  std::optional<std::string> sort_key;
};

// One search with the sort key (and position) bound. SQLITE_ROW,
// SQLITE_DONE or an error code.
int Find(File* f, const std::string& sql, const std::string* sort_key, const int64_t* id,
         Found* found) {
  Statement q(f, sql);
  if (!q.ok()) return q.prepare_error();
  if (sort_key != nullptr) q.Bind(1, *sort_key);
  if (id != nullptr) q.Bind(2, *id);
  int rc = q.Step();
  if (rc == SQLITE_ROW) {
    found->id = q.Int(0);
    found->record.assign(q.Blob(1));
    if (q.IsNull(2)) {
      found->sort_key.reset();
    } else {
      found->sort_key.emplace(q.Blob(2));
    }
  }
  return rc;
}

// Next or previous from the cursor's key value and position.
int NextOrPrevious(File* f, const Key& key, int k, bool next, const Cursor& cur, Found* found) {
  if (!key.duplicates) {
    return Find(f, KeySql(f, k, next ? kSqlNextUnique : kSqlPreviousUnique), &cur.sort_key,
                &cur.id, found);
  }
  int rc = Find(f, KeySql(f, k, next ? kSqlNextSame : kSqlPreviousSame), &cur.sort_key, &cur.id,
                found);
  if (rc != SQLITE_DONE) return rc;
  return Find(f, KeySql(f, k, next ? kSqlGreater : kSqlLess), &cur.sort_key, nullptr, found);
}

}  // namespace

int16_t GetByKey(Call& c) {
  File* f = c.h->file;
  const FileLayout& layout = f->layout;
  if (!ValidKey(c)) return kInvalidKeyNumber;
  const int k = c.key_number;
  const Key& key = layout.keys[static_cast<size_t>(k)];
  if (c.key_size < key.length) return kKeyBufferTooShort;
  if (SingleBias(c.bias) && c.h->single_lock != 0) ReleaseLock(c, c.h->single_lock);
  Cursor& cur = c.h->cursor;
  Found found;
  int rc = SQLITE_DONE;
  int16_t not_found = 9;
  if (c.base == kGetNext || c.base == kGetPrevious) {
    if (!cur.positioned) return kInvalidPositioning;
    if (cur.key != k) return kKeyNumberChanged;
    if (cur.null_key) return kInvalidPositioning;
    rc = NextOrPrevious(f, key, k, c.base == kGetNext, cur, &found);
  } else if (c.base == kGetFirst || c.base == kGetLast) {
    rc = Find(f, KeySql(f, k, c.base == kGetFirst ? kSqlFirst : kSqlLast), nullptr, nullptr,
              &found);
  } else {
    Search search_kind = kSearchEqual;
    if (!SearchOf(c.base, &search_kind, &not_found)) return kInvalidOperation;
    const auto kind = static_cast<SqlKind>(search_kind);
    std::string search = SortForm(layout, key, std::string_view(c.key, key.length), nullptr);
    rc = Find(f, KeySql(f, k, kind), &search, nullptr, &found);
  }
  if (rc == SQLITE_DONE) {
    // A read that found nothing leaves no record to update or delete: a
    // delete that did not look at the status must not remove the record
    // read before (a receipt written to no file). Next and previous still
    // start from where the cursor was.
    cur.current = false;
    return not_found;
  }
  if (rc != SQLITE_ROW) {
    cur.current = false;
    return StatusOf(rc);
  }
  return Deliver(c, k, found.id, std::move(found.record), &found.sort_key);
}

int16_t GetPosition(Call& c) {
  if (!c.h->cursor.current) return kInvalidPositioning;
  if (c.data_size < 4) return kDataBufferTooShort;
  Put32(c.data, static_cast<uint32_t>(c.h->cursor.id));
  SetDataLength(c, 4);
  return 0;
}

int16_t GetDirect(Call& c) {
  File* f = c.h->file;
  if (c.data_size < 4) return kDataBufferTooShort;
  int64_t id = Get32(c.data);
  int key = c.key_number;
  if (key < -1 || (key >= 0 && !ValidKey(c))) return kInvalidKeyNumber;
  if (SingleBias(c.bias) && c.h->single_lock != 0 && c.h->single_lock != id) {
    ReleaseLock(c, c.h->single_lock);
  }
  std::string record;
  {
    // Whatever stops the read, the record read before is not the one the
    // caller now means to change.
    c.h->cursor.current = false;
    Statement q(f, "SELECT data FROM rec WHERE id = ?1");
    if (!q.ok()) return StatusOf(q.prepare_error());
    q.Bind(1, id);
    int rc = q.Step();
    if (rc == SQLITE_DONE) return kInvalidRecordAddress;
    if (rc != SQLITE_ROW) return StatusOf(rc);
    record.assign(q.Blob(0));
  }
  return Deliver(c, key, id, std::move(record));
}

}  // namespace platform::recman::ops
