// The gets on the server: by key value (one row), next and previous in
// pages of rows in key order, by position.
#include <string>
#include <vector>

#include "platform/recman/pg_session.h"
#include "platform/recman/pg_state.h"
#include "platform/recman/status.h"

namespace platform::recman::pg {
namespace {

// Rows next and previous read at once: a scan pays one round trip per
// page, not per record.
constexpr int kPageRows = 200;

enum SqlKind {
  kSqlEqual,
  kSqlGreater,
  kSqlGreaterOrEqual,
  kSqlLess,
  kSqlLessOrEqual,
  kSqlFirst,
  kSqlLast,
  kSqlNextPage,
  kSqlPreviousPage,
  kSqlCount,
};
static_assert(kSqlFirst == static_cast<int>(ops::kSearchFirst) &&
              kSqlLast == static_cast<int>(ops::kSearchLast));

// Built once per file and key. Every statement returns id, data and the
// key's sort form. A unique key orders by its value alone (its index is on
// the value); a key with duplicates by value and position (its index is on
// both, so the row comparison ranges over it).
const std::string& KeySql(ServerFile& f, int key, SqlKind kind) {
  if (f.key_sql.size() != f.layout.keys.size()) f.key_sql.assign(f.layout.keys.size(), {});
  std::vector<std::string>& sql = f.key_sql[static_cast<size_t>(key)];
  if (sql.empty()) {
    const std::string col = "k" + std::to_string(key);
    const bool unique = !f.layout.keys[static_cast<size_t>(key)].duplicates;
    const std::string select = "SELECT id, data, " + col + " FROM " + f.name.table + " WHERE ";
    const std::string asc = unique ? " ORDER BY " + col : " ORDER BY " + col + ", id";
    const std::string desc = unique ? " ORDER BY " + col + " DESC" : " ORDER BY " + col + " DESC, id DESC";
    const std::string one = " LIMIT 1";
    const std::string page = " LIMIT " + std::to_string(kPageRows);
    const std::string v = "$1::bytea";
    sql.resize(kSqlCount);
    sql[kSqlEqual] = select + col + " = " + v + asc + one;
    sql[kSqlGreater] = select + col + " > " + v + asc + one;
    sql[kSqlGreaterOrEqual] = select + col + " >= " + v + asc + one;
    sql[kSqlLess] = select + col + " < " + v + desc + one;
    sql[kSqlLessOrEqual] = select + col + " <= " + v + desc + one;
    sql[kSqlFirst] = select + col + " IS NOT NULL" + asc + one;
    sql[kSqlLast] = select + col + " IS NOT NULL" + desc + one;
    if (unique) {
      sql[kSqlNextPage] = select + col + " >= " + v + " AND (" + col + " > " + v +
                          " OR id > $2::bigint)" + asc + page;
      sql[kSqlPreviousPage] = select + col + " <= " + v + " AND (" + col + " < " + v +
                              " OR id < $2::bigint)" + desc + page;
    } else {
      sql[kSqlNextPage] = select + "(" + col + ", id) > (" + v + ", $2::bigint)" + asc + page;
      sql[kSqlPreviousPage] = select + "(" + col + ", id) < (" + v + ", $2::bigint)" + desc + page;
    }
  }
  return sql[kind];
}

// Runs one search; 0 with the rows, or the status of a failure.
int16_t Find(const std::string& sql, const Params& params, std::vector<Row>* rows) {
  Result r = Run(sql, params);
  if (!r.ok()) return Failure(r);
  rows->clear();
  for (int i = 0; i < r.rows(); ++i) {
    Row row;
    row.id = r.Int64(i, 0);
    row.data.assign(r.Bytes(i, 1));
    if (!r.IsNull(i, 2)) row.sort_key.emplace(r.Bytes(i, 2));
    rows->push_back(std::move(row));
  }
  return 0;
}

// After a record has been found: locks it when the read asks for a lock,
// makes it current and returns it (as ops::Deliver does for SQLite files).
int16_t Deliver(ops::Call& c, ServerHandle& h, int key, const Row& row) {
  std::string record = row.data;
  const std::optional<std::string>* sort_key = &row.sort_key;
  if (c.bias != 0) {
    if (ops::SingleBias(c.bias) && h.single_lock != 0 && h.single_lock != row.id) {
      ReleaseLock(c, h, h.single_lock);
    }
    bool had = h.file->record_locks.count(row.id) != 0;
    if (int16_t st = TakeLock(c, h, row.id)) {
      h.cursor.current = false;
      return st;
    }
    if (!had) {
      // Read it again under the lock: it may have changed meanwhile.
      Params p;
      p.Int64(row.id);
      Result r = Run("SELECT data FROM " + h.file->name.table + " WHERE id = $1::bigint", p);
      if (!r.ok() || r.rows() == 0) {
        int16_t st = r.ok() ? kConflict : Failure(r);
        if (st != kSessionLost) ReleaseLock(c, h, row.id);
        h.cursor.current = false;
        return st;
      }
      record.assign(r.Bytes(0, 0));
      sort_key = nullptr;
    }
  }
  SetServerCursor(h, key, row.id, record, sort_key);
  if (key >= 0) ops::ReturnKey(c, h.file->layout.keys[static_cast<size_t>(key)], record);
  return ops::ReturnData(c, record);
}

// Whether the handle's page still goes on from its cursor.
bool PageGoesOn(const ServerHandle& h, int key, bool forward) {
  const Page& p = h.page;
  const ops::Cursor& cur = h.cursor;
  if (p.key != key || p.forward != forward || p.writes != h.file->writes ||
      p.reads_epoch != Session().reads_epoch || p.next == 0 || p.next >= p.rows.size()) {
    return false;
  }
  const Row& last = p.rows[p.next - 1];
  return last.id == cur.id && last.sort_key.has_value() && *last.sort_key == cur.sort_key;
}

int16_t NextOrPrevious(ops::Call& c, ServerHandle& h, int key, bool forward) {
  Page& page = h.page;
  if (!PageGoesOn(h, key, forward)) {
    Params p;
    p.Bytes(h.cursor.sort_key).Int64(h.cursor.id);
    std::vector<Row> rows;
    if (int16_t st = Find(KeySql(*h.file, key, forward ? kSqlNextPage : kSqlPreviousPage), p, &rows)) {
      h.cursor.current = false;
      return st;
    }
    page.key = key;
    page.forward = forward;
    page.writes = h.file->writes;
    page.reads_epoch = Session().reads_epoch;
    page.rows = std::move(rows);
    page.next = 0;
    if (page.rows.empty()) {
      h.cursor.current = false;
      return kEndOfFile;
    }
  }
  size_t at = page.next;
  int16_t st = Deliver(c, h, key, page.rows[at]);
  // A refused read leaves the cursor where it was: the same row comes again.
  if (st == 0 || st == kDataBufferTooShort) page.next = at + 1;
  return st;
}

}  // namespace

void SetServerCursor(ServerHandle& h, int key, int64_t id, std::string_view record,
                     const std::optional<std::string>* sort_key) {
  ops::PlaceCursor(h.cursor, h.file->layout, key, id, record, sort_key);
}

int16_t ServerGetByKey(ops::Call& c, ServerHandle& h) {
  ServerFile& f = *h.file;
  const FileLayout& layout = f.layout;
  if (c.key_number < 0 || static_cast<size_t>(c.key_number) >= layout.keys.size()) {
    return kInvalidKeyNumber;
  }
  const int k = c.key_number;
  const Key& key = layout.keys[static_cast<size_t>(k)];
  if (c.key_size < key.length) return kKeyBufferTooShort;
  if (ops::SingleBias(c.bias) && h.single_lock != 0) ReleaseLock(c, h, h.single_lock);
  ops::Cursor& cur = h.cursor;
  if (c.base == kGetNext || c.base == kGetPrevious) {
    if (!cur.positioned) return kInvalidPositioning;
    if (cur.key != k) return kKeyNumberChanged;
    if (cur.null_key) return kInvalidPositioning;
    return NextOrPrevious(c, h, k, c.base == kGetNext);
  }
  ops::Search search = ops::kSearchEqual;
  int16_t not_found = kEndOfFile;
  if (!ops::SearchOf(c.base, &search, &not_found)) return kInvalidOperation;
  const auto kind = static_cast<SqlKind>(search);
  Params p;
  if (kind != kSqlFirst && kind != kSqlLast) {
    p.Bytes(SortForm(layout, key, std::string_view(c.key, key.length), nullptr));
  }
  std::vector<Row> rows;
  if (int16_t st = Find(KeySql(f, k, kind), p, &rows)) {
    cur.current = false;
    return st;
  }
  if (rows.empty()) {
    // Nothing found leaves nothing to update or delete (see reads.cc).
    cur.current = false;
    return not_found;
  }
  return Deliver(c, h, k, rows[0]);
}

int16_t ServerGetDirect(ops::Call& c, ServerHandle& h) {
  if (c.data_size < 4) return kDataBufferTooShort;
  int64_t id = ops::Get32(c.data);
  int key = c.key_number;
  const size_t keys = h.file->layout.keys.size();
  if (key < -1 || (key >= 0 && static_cast<size_t>(key) >= keys)) return kInvalidKeyNumber;
  if (ops::SingleBias(c.bias) && h.single_lock != 0 && h.single_lock != id) {
    ReleaseLock(c, h, h.single_lock);
  }
  h.cursor.current = false;
  Params p;
  p.Int64(id);
  Result r = Run("SELECT data FROM " + h.file->name.table + " WHERE id = $1::bigint", p);
  if (!r.ok()) return Failure(r);
  if (r.rows() == 0) return kInvalidRecordAddress;
  Row row;
  row.id = id;
  row.data.assign(r.Bytes(0, 0));
  if (key >= 0) {
    const Key& k = h.file->layout.keys[static_cast<size_t>(key)];
    bool is_null = false;
    std::string sort = SortForm(h.file->layout, k, RawKey(k, row.data), &is_null);
    if (!is_null) row.sort_key = sort;
  }
  return Deliver(c, h, key, row);
}

}  // namespace platform::recman::pg
