// What the operations behind BTRCALL share: the handle of each position
// block of this process with its cursor, the arguments of one call made
// safe to use, record locks, and the scope of a write outside a
// transaction. Only the record manager's own files include this.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/recman/keyspec.h"
#include "platform/recman/store.h"

namespace platform::recman::ops {

// The first bytes of a position block this process has opened.
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
  uint64_t changes = 0;  // files the transaction has changed so far
};

// The handles of this process.
State& St();

uint32_t Get32(const void* p);
void Put32(void* p, uint32_t v);

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

// The handle a position block names; null when it names none of ours.
Handle* HandleOf(void* block, int* index);

void SetDataLength(Call& c, uint32_t n);
// Copies a record to the caller: 22 when only part of it fits.
int16_t ReturnData(Call& c, std::string_view record);
void ReturnKey(Call& c, const Key& key, std::string_view record);
// The column that holds key k's sort form.
std::string KeyColumn(int k);

// Record locks of the call's handle.
void ReleaseLock(Call& c, int64_t id);
void ReleaseAllLocks(Call& c);
bool SingleBias(uint16_t bias);
int16_t TakeLock(Call& c, int64_t id);
// For update and delete: the record must not be locked by anyone else.
// Outside a transaction, holds a passing lock on it while the change is
// made and committed; *passing tells the caller to drop it afterwards.
int16_t GuardRecord(Call& c, int64_t id, bool* passing);

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
    if (!own_) {
      // A change inside the caller's transaction: its place in the order
      // of first changes decides when the file commits (EndTransaction).
      if (f_->in_transaction && f_->first_change == 0) f_->first_change = ++St().changes;
      return 0;
    }
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
bool ValidKey(const Call& c);
// The record as the file keeps it: the fixed length for fixed-length files.
int16_t RecordFromCaller(Call& c, std::string* record);
// Makes the record current on key in cur, for either back end. sort_key:
// the key's column as read with the record, when it was.
void PlaceCursor(Cursor& cur, const FileLayout& layout, int key, int64_t id,
                 std::string_view record, const std::optional<std::string>* sort_key = nullptr);
// PlaceCursor on the call's handle.
void SetCursor(Call& c, int key, int64_t id, std::string_view record,
               const std::optional<std::string>* sort_key = nullptr);
// Binds the sort form of every key of record to parameters first.. of q.
void BindKeys(Statement& q, const FileLayout& layout, std::string_view record, int first);

// The searches of get equal, greater, greater or equal, less, less or
// equal, first and last, in the order both back ends keep their statements
// for them.
enum Search {
  kSearchEqual,
  kSearchGreater,
  kSearchGreaterOrEqual,
  kSearchLess,
  kSearchLessOrEqual,
  kSearchFirst,
  kSearchLast,
};
// The search of a get and the status of one that finds nothing (4 for get
// equal, 9 for the others); false for an operation that is none of them.
bool SearchOf(uint16_t base, Search* search, int16_t* not_found);

// What stops a delete-and-next on cur before anything is deleted, for
// either back end: a call that cannot go on to the next record deletes
// nothing. 0 when it can go on.
int16_t DeleteGetNextRefusal(const Call& c, const Cursor& cur, const FileLayout& layout, bool read_only);

// The operations on records (writes.cc, reads.cc).
int16_t Insert(Call& c);
int16_t Update(Call& c);
int16_t Delete(Call& c);
int16_t DeleteGetNext(Call& c);
int16_t GetByKey(Call& c);
int16_t GetPosition(Call& c);
int16_t GetDirect(Call& c);

}  // namespace platform::recman::ops
