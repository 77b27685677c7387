// The SQLite back end of BTRCALL: the classic operations over the
// per-process file table of store.h. Every position block names one handle
// of this process; the handle keeps the block's cursor (key path, sort key
// and position of the last record) in memory, so that each call runs one
// short statement. Here: open, close, stat, unlock, transactions and
// reset; the record operations are in writes.cc and reads.cc, the entry
// point that picks the back end in entry.cc.
#include "platform/recman/status.h"
#include "platform/recman/btrcall.h"
#include "platform/recman/backend.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/recman/call.h"
#include "platform/recman/keyspec.h"
#include "platform/recman/store.h"

namespace platform::recman {
namespace {

using namespace ops;

int16_t CloseHandle(Call& c);

int16_t Open(Call& c, const std::string& path, bool exclusive, bool read_only) {
  File* f = nullptr;
  if (int16_t st = AcquireFile(path, exclusive, &f)) return st;
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
  std::string out = f->layout.raw;
  Put32(out.data() + 6, static_cast<uint32_t>(count));
  return ReturnData(c, out);
}
int16_t Unlock(Call& c) {
  if (c.key_number >= 0) {
    if (c.h->single_lock != 0) ReleaseLock(c, c.h->single_lock);
    return 0;
  }
  if (c.key_number == -1) {
    if (c.data_size < 4) return kDataBufferTooShort;
    ReleaseLock(c, Get32(c.data));
    return 0;
  }
  if (c.key_number == -2) {
    std::set<int64_t> ids = c.h->multiple_locks;
    for (int64_t id : ids) ReleaseLock(c, id);
    return 0;
  }
  return kLockError;
}

void EndAll(const char* sql) {
  for (auto& [id, f] : OpenFiles()) {
    if (f->in_transaction) {
      Exec(f.get(), sql);
      f->in_transaction = false;
    }
    f->first_change = 0;
  }
  St().in_transaction = false;
  St().changes = 0;
  CloseUnusedFiles();
}

int16_t BeginTransaction() {
  State& s = St();
  if (s.in_transaction) return kTransactionActive;
  s.changes = 0;
  for (auto& [id, f] : OpenFiles()) {
    f->first_change = 0;
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

// The files of the transaction in the order they commit: those it changed,
// the last changed first, then those it only read. Separate databases
// cannot commit as one, so a caller that must survive a crash between two
// commits writes its files in the reverse order of their importance: a
// summary written last (a record that says "this group is done") is
// committed before the changes it summarises, and a crash between the
// commits leaves the summary without its changes, which the caller can
// check and undo, never the changes without their summary.
std::vector<File*> CommitOrder() {
  std::vector<File*> files;
  for (auto& [id, f] : OpenFiles()) {
    if (f->in_transaction) files.push_back(f.get());
  }
  // Unchanged files have 0 and so come last.
  std::stable_sort(files.begin(), files.end(),
                   [](const File* a, const File* b) { return a->first_change > b->first_change; });
  return files;
}

int16_t EndTransaction() {
  State& s = St();
  if (!s.in_transaction) return kNoTransaction;
  int16_t status = 0;
  for (File* f : CommitOrder()) {
    f->first_change = 0;
    if (sqlite3_get_autocommit(f->db) != 0) {
      // Lost on the way (see WriteScope): nothing of it can be committed.
      if (status == 0) status = kTransactionError;
      f->in_transaction = false;
      continue;
    }
    int rc = Exec(f, status == 0 ? "COMMIT" : "ROLLBACK");
    if (rc != SQLITE_OK && status == 0) {
      status = StatusOf(rc);
      Exec(f, "ROLLBACK");
    }
    f->in_transaction = false;
  }
  s.in_transaction = false;
  s.changes = 0;
  CloseUnusedFiles();
  return status;
}

int16_t AbortTransaction() {
  if (!St().in_transaction) return kNoTransaction;
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
  c.h = HandleOf(c.block, &c.index);
  if (c.h == nullptr) return kFileNotOpen;
  switch (c.base) {
    case kClose:
      return CloseHandle(c);
    case kInsert:
      return Insert(c);
    case kUpdate:
      return Update(c);
    case kDelete:
      return Delete(c);
    case kDeleteGetNext:
      return DeleteGetNext(c);
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

// The SQLite files: the operations above, behind the back-end interface.
class SqliteFiles : public Backend {
 public:
  bool Owns(void* block) override {
    int index = -1;
    return HandleOf(block, &index) != nullptr;
  }
  int16_t Create(const std::string& name, const FileLayout& layout, bool overwrite) override {
    return CreateFile(name, layout, overwrite);
  }
  int16_t Open(Call& c, const std::string& name, bool exclusive, bool read_only) override {
    return recman::Open(c, name, exclusive, read_only);
  }
  int16_t OnBlock(Call& c) override {
    return Dispatch(c);
  }
  int16_t Begin() override { return BeginTransaction(); }
  int16_t End() override { return EndTransaction(); }
  void Abort() override { (void)AbortTransaction(); }
  void Reset() override { (void)recman::Reset(); }
  void AfterFork() override {
    ForgetInheritedFiles();
    St().handles.clear();
    St().in_transaction = false;
  }
};

}  // namespace

Backend& SqliteBackend() {
  static SqliteFiles files;
  return files;
}

}  // namespace platform::recman
