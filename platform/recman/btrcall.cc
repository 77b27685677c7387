// BTRCALL: the classic operations over the per-process file table of
// store.h. Every position block names one handle of this process; the
// handle keeps the block's cursor (key path, sort key and position of the
// last record) in memory, so that each call runs one short statement.
#include "platform/recman/btrcall.h"

#include <pthread.h>

#include <csignal>

#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/recman/keyspec.h"
#include "platform/recman/store.h"

namespace platform::recman {
namespace {

constexpr char kMagic[4] = {'Q', 'R', 'M', '\x01'};

struct Cursor {
  int key = -1;
  bool positioned = false;  // next/previous have somewhere to start from
  bool current = false;     // the record itself is still there (not deleted)
  bool null_key = false;    // the current record is left out of the key's index
  std::string sort_key;
  int64_t id = 0;
  std::string data;  // the record as read, to notice another's change (80)
};

struct Handle {
  bool used = false;
  uint32_t generation = 0;
  File* file = nullptr;
  bool exclusive = false;
  bool read_only = false;
  Cursor cursor;
  int64_t single_lock = 0;  // 0: none
  std::set<int64_t> multiple_locks;
};

struct State {
  std::vector<Handle> handles;
  bool in_transaction = false;
};

State& St() {
  static State state;
  return state;
}

std::mutex g_mutex;

// A forked child starts with a table of its own.
volatile sig_atomic_t g_forked = 0;

void OnForkChild() { g_forked = 1; }

void CheckProcess() {
  static const bool registered = pthread_atfork(nullptr, nullptr, OnForkChild) == 0;
  (void)registered;
  if (g_forked == 0) return;
  g_forked = 0;
  State& s = St();
  ForgetInheritedFiles();
  s.handles.clear();
  s.in_transaction = false;
}

uint32_t Get32(const void* p) {
  uint8_t b[4];
  std::memcpy(b, p, 4);
  return static_cast<uint32_t>(b[0] | (b[1] << 8) | (b[2] << 16)) |
         (static_cast<uint32_t>(b[3]) << 24);
}

void Put32(void* p, uint32_t v) {
  uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                  static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  std::memcpy(p, b, 4);
}

Handle* HandleOf(void* block, int* index) {
  if (block == nullptr) return nullptr;
  auto* b = static_cast<unsigned char*>(block);
  if (std::memcmp(b, kMagic, 4) != 0) return nullptr;
  uint32_t i = Get32(b + 4);
  uint32_t generation = Get32(b + 8);
  State& s = St();
  if (i >= s.handles.size()) return nullptr;
  Handle& h = s.handles[i];
  if (!h.used || h.generation != generation) return nullptr;
  *index = static_cast<int>(i);
  return &h;
}

// The arguments of one call, with the lengths made safe to use.
struct Call {
  uint16_t base = 0;
  uint16_t bias = 0;
  void* block = nullptr;
  char* data = nullptr;
  uint32_t data_size = 0;
  uint32_t* data_length = nullptr;
  char* key = nullptr;
  size_t key_size = 0;
  int key_number = 0;
  Handle* h = nullptr;
  int index = -1;
};

void SetDataLength(Call& c, uint32_t n) {
  if (c.data_length != nullptr) *c.data_length = n;
}

// Copies a record to the caller: 22 when only part of it fits.
int16_t ReturnData(Call& c, std::string_view record) {
  size_t n = std::min<size_t>(record.size(), c.data_size);
  if (n > 0) std::memcpy(c.data, record.data(), n);
  SetDataLength(c, static_cast<uint32_t>(n));
  return n < record.size() ? 22 : 0;
}

void ReturnKey(Call& c, const Key& key, std::string_view record) {
  std::string raw = RawKey(key, record);
  if (raw.size() <= c.key_size) std::memcpy(c.key, raw.data(), raw.size());
}

std::string KeyColumn(int k) {
  std::string name = "k";
  name += std::to_string(k);
  return name;
}

// ---- record locks ----------------------------------------------------

void ReleaseLock(Call& c, int64_t id) {
  Handle& h = *c.h;
  auto it = h.file->record_locks.find(id);
  if (it != h.file->record_locks.end() && it->second == c.index) {
    h.file->record_locks.erase(it);
    UnlockRecord(h.file, id);
  }
  if (h.single_lock == id) h.single_lock = 0;
  h.multiple_locks.erase(id);
}

void ReleaseAllLocks(Call& c) {
  Handle& h = *c.h;
  if (h.single_lock != 0) ReleaseLock(c, h.single_lock);
  std::set<int64_t> ids = h.multiple_locks;
  for (int64_t id : ids) ReleaseLock(c, id);
}

bool SingleBias(uint16_t bias) { return bias == 100 || bias == 200; }

int16_t TakeLock(Call& c, int64_t id) {
  Handle& h = *c.h;
  auto it = h.file->record_locks.find(id);
  if (it != h.file->record_locks.end()) {
    if (it->second != c.index) return 84;  // another position block of ours
  } else {
    if (int16_t st = LockRecord(h.file, id, c.bias == 100 || c.bias == 300)) return st;
    h.file->record_locks[id] = c.index;
  }
  // A record held under both kinds stays held as a multiple lock: the
  // next single-locked read must not take it away.
  if (h.multiple_locks.count(id) != 0) return 0;
  if (SingleBias(c.bias)) {
    h.single_lock = id;
  } else {
    if (h.single_lock == id) h.single_lock = 0;
    h.multiple_locks.insert(id);
  }
  return 0;
}

// For update and delete: the record must not be locked by anyone else.
// Holds a passing lock on it while the change is made; *passing tells the
// caller to drop it afterwards.
int16_t GuardRecord(Call& c, int64_t id, bool* passing) {
  *passing = false;
  File* f = c.h->file;
  auto it = f->record_locks.find(id);
  if (it != f->record_locks.end()) return it->second == c.index ? 0 : 84;
  int16_t st = LockRecord(f, id, false);
  if (st == 84) return 84;
  *passing = st == 0;
  return 0;
}

// ---- writes outside a transaction -----------------------------------

// Read-then-write work outside a transaction runs inside BEGIN IMMEDIATE,
// so nothing changes between the check and the write.
class WriteScope {
 public:
  explicit WriteScope(File* f) : f_(f) {
    if (f_->in_transaction && sqlite3_get_autocommit(f_->db) != 0) {
      // SQLite rolled the transaction back by itself (disk full, I/O
      // error): writing on would commit piece by piece what the caller
      // means as one.
      status_ = 36;
      return;
    }
    if (!f_->in_transaction) {
      int rc = Exec(f_, "BEGIN IMMEDIATE");
      status_ = StatusOf(rc);
      own_ = rc == SQLITE_OK;
    }
  }
  ~WriteScope() {
    if (own_) Exec(f_, "ROLLBACK");
  }
  int16_t status() const { return status_; }
  int16_t Commit() {
    if (!own_) return 0;
    own_ = false;
    int rc = Exec(f_, "COMMIT");
    if (rc != SQLITE_OK) {
      Exec(f_, "ROLLBACK");
      return StatusOf(rc);
    }
    return 0;
  }

 private:
  File* f_;
  bool own_ = false;
  int16_t status_ = 0;
};

// ---- the operations ---------------------------------------------------

std::string PathFromKey(const Call& c) {
  if (c.key == nullptr) return {};
  size_t n = 0;
  while (n < c.key_size && c.key[n] != '\0') ++n;
  return std::string(c.key, n);
}

int16_t CloseHandle(Call& c);

int16_t Open(Call& c) {
  bool exclusive = false;
  bool read_only = false;
  switch (c.key_number) {
    case 0:
    case -1:  // accelerated
    case -3:  // verify
      break;
    case -2:
      read_only = true;
      break;
    case -4:
      exclusive = true;
      break;
    default:
      return 88;
  }
  if (c.block == nullptr) return 3;
  int old_index = -1;
  if (Handle* old = HandleOf(c.block, &old_index)) {
    Call prior = c;
    prior.h = old;
    prior.index = old_index;
    CloseHandle(prior);
  }
  File* f = nullptr;
  if (int16_t st = AcquireFile(PathFromKey(c), exclusive, &f)) return st;
  State& s = St();
  if (s.in_transaction && !f->in_transaction) {
    // A file opened inside a transaction joins it.
    int rc = Exec(f, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
      ReleaseFile(f, exclusive);
      return StatusOf(rc);
    }
    f->in_transaction = true;
  }
  size_t i = 0;
  while (i < s.handles.size() && s.handles[i].used) ++i;
  if (i == s.handles.size()) s.handles.emplace_back();
  Handle& h = s.handles[i];
  uint32_t generation = h.generation + 1;
  h = Handle();
  h.used = true;
  h.generation = generation;
  h.file = f;
  h.exclusive = exclusive;
  h.read_only = read_only || !f->writable;
  auto* b = static_cast<unsigned char*>(c.block);
  std::memset(b, 0, kPositionBlockSize);
  std::memcpy(b, kMagic, 4);
  Put32(b + 4, static_cast<uint32_t>(i));
  Put32(b + 8, generation);
  return 0;
}

int16_t CloseHandle(Call& c) {
  ReleaseAllLocks(c);
  File* f = c.h->file;
  bool exclusive = c.h->exclusive;
  c.h->used = false;
  c.h->file = nullptr;
  if (c.block != nullptr) std::memset(c.block, 0, 12);
  ReleaseFile(f, exclusive);
  return 0;
}

int16_t Create(Call& c) {
  std::string_view buffer(c.data, c.data_size);
  Spec spec;
  if (int16_t st = ParseSpec(buffer, &spec)) return st;
  std::string path = PathFromKey(c);
  if (path.empty()) return 12;
  return CreateFile(path, spec, c.key_number != -1);
}

int16_t Stat(Call& c) {
  File* f = c.h->file;
  int64_t count = 0;
  {
    Statement q(f, "SELECT count(*) FROM rec");
    if (!q.ok()) return StatusOf(q.prepare_error());
    int rc = q.Step();
    if (rc != SQLITE_ROW) return StatusOf(rc);
    count = q.Int(0);
  }
  std::string out = f->spec.raw;
  Put32(out.data() + 6, static_cast<uint32_t>(count));
  return ReturnData(c, out);
}

bool ValidKey(const Call& c) {
  return c.key_number >= 0 &&
         static_cast<size_t>(c.key_number) < c.h->file->spec.keys.size();
}

// The record as the file keeps it: the fixed length for fixed-length files.
int16_t RecordFromCaller(Call& c, std::string* record) {
  const Spec& spec = c.h->file->spec;
  if (c.data_size < spec.record_length) return 22;
  size_t n = (spec.file_flags & kFileVariableLength) != 0 ? c.data_size : spec.record_length;
  record->assign(c.data, n);
  return 0;
}

// sort_key: the key's column as read with the record, when it was.
void SetCursor(Call& c, int key, int64_t id, std::string_view record,
               const std::optional<std::string>* sort_key = nullptr) {
  Cursor& cur = c.h->cursor;
  const Spec& spec = c.h->file->spec;
  cur.key = key;
  cur.id = id;
  cur.positioned = true;
  cur.current = true;
  cur.data.assign(record);
  if (key < 0 || static_cast<size_t>(key) >= spec.keys.size()) {
    cur.sort_key.clear();
    cur.null_key = true;
  } else if (sort_key != nullptr) {
    cur.null_key = !sort_key->has_value();
    cur.sort_key = sort_key->value_or(std::string());
  } else {
    const Key& k = spec.keys[static_cast<size_t>(key)];
    cur.sort_key = SortForm(spec, k, RawKey(k, record), &cur.null_key);
  }
}

// Binds the sort form of every key of record to parameters first.. of q.
void BindKeys(Statement& q, const Spec& spec, std::string_view record, int first) {
  for (size_t k = 0; k < spec.keys.size(); ++k) {
    bool is_null = false;
    std::string sort = SortForm(spec, spec.keys[k], RawKey(spec.keys[k], record), &is_null);
    int index = first + static_cast<int>(k);
    if (is_null) {
      q.BindNull(index);
    } else {
      q.Bind(index, sort);
    }
  }
}

// Fills autoincrement segments left at zero with one more than the largest.
int16_t FillAutoIncrement(File* f, std::string* record) {
  const Spec& spec = f->spec;
  for (size_t k = 0; k < spec.keys.size(); ++k) {
    const Key& key = spec.keys[k];
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
      if (stored.size() < static_cast<size_t>(s.offset) + s.length) return 2;
      top = AutoIncrementValue(s, stored);
    } else if (rc != SQLITE_DONE) {
      return StatusOf(rc);
    }
    SetAutoIncrement(s, top + 1, record);
  }
  return 0;
}

std::string InsertSql(const Spec& spec) {
  std::string sql = "INSERT INTO rec(data";
  for (size_t k = 0; k < spec.keys.size(); ++k) sql += ", " + KeyColumn(static_cast<int>(k));
  sql += ") VALUES (?1";
  for (size_t k = 0; k < spec.keys.size(); ++k) {
    sql += ", ?";
    sql += std::to_string(k + 2);
  }
  return sql + ")";
}

int16_t Insert(Call& c) {
  File* f = c.h->file;
  const Spec& spec = f->spec;
  if (c.h->read_only) return 46;
  bool has_keys = !spec.keys.empty();
  if (has_keys && !ValidKey(c)) return 6;
  std::string record;
  if (int16_t st = RecordFromCaller(c, &record)) return st;
  bool autoincrement = false;
  for (const Key& k : spec.keys) autoincrement = autoincrement || k.autoincrement >= 0;
  WriteScope scope(f);
  if (scope.status() != 0) return scope.status();
  if (autoincrement) {
    if (int16_t st = FillAutoIncrement(f, &record)) return st;
  }
  int64_t id = 0;
  {
    Statement q(f, InsertSql(spec));
    if (!q.ok()) return StatusOf(q.prepare_error());
    q.Bind(1, record);
    BindKeys(q, spec, record, 2);
    int rc = q.Step();
    if (rc != SQLITE_DONE) return StatusOf(rc);
    id = sqlite3_last_insert_rowid(f->db);
  }
  if (int16_t st = scope.Commit()) return st;
  if (autoincrement) std::memcpy(c.data, record.data(), record.size());
  SetCursor(c, has_keys ? c.key_number : -1, id, record);
  if (has_keys) ReturnKey(c, spec.keys[static_cast<size_t>(c.key_number)], record);
  return 0;
}

// Reads the current record back inside a write: 8 when there is none, 80
// when another has changed or removed it since this block read it.
int16_t CheckCurrent(Call& c, std::string* stored) {
  Cursor& cur = c.h->cursor;
  if (!cur.current) return 8;
  Statement q(c.h->file, "SELECT data FROM rec WHERE id = ?1");
  if (!q.ok()) return StatusOf(q.prepare_error());
  q.Bind(1, cur.id);
  int rc = q.Step();
  if (rc == SQLITE_DONE) return 80;
  if (rc != SQLITE_ROW) return StatusOf(rc);
  stored->assign(q.Blob(0));
  return *stored == cur.data ? 0 : 80;
}

int16_t Update(Call& c) {
  File* f = c.h->file;
  const Spec& spec = f->spec;
  if (c.h->read_only) return 46;
  if (!c.h->cursor.current) return 8;
  std::string record;
  if (int16_t st = RecordFromCaller(c, &record)) return st;
  WriteScope scope(f);
  if (scope.status() != 0) return scope.status();
  std::string stored;
  if (int16_t st = CheckCurrent(c, &stored)) return st;
  for (const Key& k : spec.keys) {
    if (k.modifiable) continue;
    bool n1 = false;
    bool n2 = false;
    if (SortForm(spec, k, RawKey(k, stored), &n1) != SortForm(spec, k, RawKey(k, record), &n2) ||
        n1 != n2) {
      return 10;
    }
  }
  int64_t id = c.h->cursor.id;
  bool passing = false;
  if (int16_t st = GuardRecord(c, id, &passing)) return st;
  std::string sql = "UPDATE rec SET data = ?1";
  for (size_t k = 0; k < spec.keys.size(); ++k) {
    sql += ", " + KeyColumn(static_cast<int>(k)) + " = ?";
    sql += std::to_string(k + 2);
  }
  sql += " WHERE id = ?";
  sql += std::to_string(spec.keys.size() + 2);
  int16_t status = 0;
  {
    Statement q(f, sql);
    if (!q.ok()) {
      status = StatusOf(q.prepare_error());
    } else {
      q.Bind(1, record);
      BindKeys(q, spec, record, 2);
      q.Bind(static_cast<int>(spec.keys.size()) + 2, id);
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
  if (c.h->read_only) return 46;
  if (!c.h->cursor.current) return 8;
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
          return 80;
        }
      }
    }
  }
  SetCursor(c, key, id, record, sort_key);
  if (key >= 0) ReturnKey(c, c.h->file->spec.keys[static_cast<size_t>(key)], record);
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

// Built once per file and key: the calls of a scan then cost no string
// work. Every statement returns id, data and the key's sort form.
const std::string& KeySql(File* f, int key, SqlKind kind) {
  if (f->key_sql.size() != f->spec.keys.size()) {
    f->key_sql.assign(f->spec.keys.size(), {});
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

int16_t GetByKey(Call& c) {
  File* f = c.h->file;
  const Spec& spec = f->spec;
  if (!ValidKey(c)) return 6;
  const int k = c.key_number;
  const Key& key = spec.keys[static_cast<size_t>(k)];
  if (c.key_size < key.length) return 21;
  if (SingleBias(c.bias) && c.h->single_lock != 0) ReleaseLock(c, c.h->single_lock);
  Cursor& cur = c.h->cursor;
  Found found;
  int rc = SQLITE_DONE;
  int16_t not_found = 9;
  if (c.base == kGetNext || c.base == kGetPrevious) {
    if (!cur.positioned) return 8;
    if (cur.key != k) return 7;
    if (cur.null_key) return 8;
    rc = NextOrPrevious(f, key, k, c.base == kGetNext, cur, &found);
  } else if (c.base == kGetFirst || c.base == kGetLast) {
    rc = Find(f, KeySql(f, k, c.base == kGetFirst ? kSqlFirst : kSqlLast), nullptr, nullptr,
              &found);
  } else {
    SqlKind kind = kSqlEqual;
    switch (c.base) {
      case kGetEqual:
        not_found = 4;
        break;
      case kGetGreater:
        kind = kSqlGreater;
        break;
      case kGetGreaterOrEqual:
        kind = kSqlGreaterOrEqual;
        break;
      case kGetLess:
        kind = kSqlLess;
        break;
      case kGetLessOrEqual:
        kind = kSqlLessOrEqual;
        break;
      default:
        return 1;
    }
    std::string search = SortForm(spec, key, std::string_view(c.key, key.length), nullptr);
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
  if (!c.h->cursor.current) return 8;
  if (c.data_size < 4) return 22;
  Put32(c.data, static_cast<uint32_t>(c.h->cursor.id));
  SetDataLength(c, 4);
  return 0;
}

int16_t GetDirect(Call& c) {
  File* f = c.h->file;
  if (c.data_size < 4) return 22;
  int64_t id = Get32(c.data);
  int key = c.key_number;
  if (key < -1 || (key >= 0 && !ValidKey(c))) return 6;
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
    if (rc == SQLITE_DONE) return 43;
    if (rc != SQLITE_ROW) return StatusOf(rc);
    record.assign(q.Blob(0));
  }
  return Deliver(c, key, id, std::move(record));
}

int16_t Unlock(Call& c) {
  if (c.key_number >= 0) {
    if (c.h->single_lock != 0) ReleaseLock(c, c.h->single_lock);
    return 0;
  }
  if (c.key_number == -1) {
    if (c.data_size < 4) return 22;
    ReleaseLock(c, Get32(c.data));
    return 0;
  }
  if (c.key_number == -2) {
    std::set<int64_t> ids = c.h->multiple_locks;
    for (int64_t id : ids) ReleaseLock(c, id);
    return 0;
  }
  return 81;
}

void EndAll(const char* sql) {
  for (auto& [id, f] : OpenFiles()) {
    if (f->in_transaction) {
      Exec(f.get(), sql);
      f->in_transaction = false;
    }
  }
  St().in_transaction = false;
  CloseUnusedFiles();
}

int16_t BeginTransaction() {
  State& s = St();
  if (s.in_transaction) return 37;
  for (auto& [id, f] : OpenFiles()) {
    int rc = Exec(f.get(), "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
      // Another process holds one of the files for longer than the busy
      // timeout: give up on all of them.
      EndAll("ROLLBACK");
      return StatusOf(rc);
    }
    f->in_transaction = true;
  }
  s.in_transaction = true;
  return 0;
}

int16_t EndTransaction() {
  State& s = St();
  if (!s.in_transaction) return 39;
  int16_t status = 0;
  for (auto& [id, f] : OpenFiles()) {
    if (!f->in_transaction) continue;
    if (sqlite3_get_autocommit(f->db) != 0) {
      // Lost on the way (see WriteScope): nothing of it can be committed.
      if (status == 0) status = 36;
      f->in_transaction = false;
      continue;
    }
    int rc = Exec(f.get(), status == 0 ? "COMMIT" : "ROLLBACK");
    if (rc != SQLITE_OK && status == 0) {
      status = StatusOf(rc);
      Exec(f.get(), "ROLLBACK");
    }
    f->in_transaction = false;
  }
  s.in_transaction = false;
  CloseUnusedFiles();
  return status;
}

int16_t AbortTransaction() {
  if (!St().in_transaction) return 39;
  EndAll("ROLLBACK");
  return 0;
}

int16_t Reset() {
  State& s = St();
  if (s.in_transaction) EndAll("ROLLBACK");
  for (Handle& h : s.handles) {
    if (!h.used) continue;
    h.used = false;
    h.file->handles = 0;
    h.file = nullptr;
  }
  for (auto& [id, f] : OpenFiles()) {
    f->handles = 0;
    f->record_locks.clear();
  }
  CloseUnusedFiles();
  return 0;
}

int16_t Dispatch(Call& c) {
  switch (c.base) {
    case kCreate:
      return Create(c);
    case kBeginTransaction:
      return BeginTransaction();
    case kEndTransaction:
      return EndTransaction();
    case kAbortTransaction:
      return AbortTransaction();
    case kReset:
      return Reset();
    case kOpen:
      return Open(c);
    default:
      break;
  }
  c.h = HandleOf(c.block, &c.index);
  if (c.h == nullptr) return 3;
  switch (c.base) {
    case kClose:
      return CloseHandle(c);
    case kInsert:
      return Insert(c);
    case kUpdate:
      return Update(c);
    case kDelete:
      return Delete(c);
    case kStat:
      return Stat(c);
    case kGetPosition:
      return GetPosition(c);
    case kGetDirect:
      return GetDirect(c);
    case kUnlock:
      return Unlock(c);
    default:
      return GetByKey(c);
  }
}

bool LockBiasAllowed(uint16_t base, uint16_t bias) {
  if (bias == 0) return true;
  if (base == kBeginTransaction) return bias <= 400 || bias == 1000;
  if (bias > 400) return false;
  return (base >= kGetEqual && base <= kGetLast) || base == kGetDirect || base == kGetPosition;
}

}  // namespace
}  // namespace platform::recman

int16_t BTRCALL(uint16_t operation, void* position_block, void* data_buffer,
                uint32_t* data_length, void* key_buffer, uint8_t key_length,
                int8_t key_number) {
  using namespace platform::recman;
  std::lock_guard<std::mutex> guard(g_mutex);
  CheckProcess();
  Call c;
  c.base = static_cast<uint16_t>(operation % 100);
  c.bias = static_cast<uint16_t>(operation - c.base);
  if (c.base > kReset || !LockBiasAllowed(c.base, c.bias)) return 1;
  c.block = position_block;
  c.data = static_cast<char*>(data_buffer);
  c.data_length = data_length;
  c.data_size = (c.data != nullptr && data_length != nullptr) ? *data_length : 0;
  c.key = static_cast<char*>(key_buffer);
  c.key_size = c.key != nullptr ? key_length : 0;
  c.key_number = key_number;
  int16_t status = Dispatch(c);
  bool read = (c.base >= kGetEqual && c.base <= kGetLast) || c.base == kStat;
  if (read && status != 0 && status != 22 && data_length != nullptr) *data_length = 0;
  return status;
}
