// The per-process side of the record files: one SQLite connection per
// record file (shared by every position block of the process that opens
// it), its cached statements, and its lock side file "<file>.lck".
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/recman/keyspec.h"

namespace platform::recman {

// How long a writer waits for another process's write (transaction or
// single commit) before giving up with 85, and how long a wait-lock read
// waits for a record before 84. Milliseconds.
extern int32_t BusyTimeoutMs;
inline constexpr int32_t kDefaultBusyTimeoutMs = 10000;

struct File {
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
  sqlite3* db = nullptr;
  int lock_fd = -1;  // "<file>.lck", -1 when it could not be opened
  bool writable = true;
  FileLayout layout;
  int handles = 0;         // position blocks of this process on the file
  int exclusive_opens = 0;  // of those, opened exclusive
  bool in_transaction = false;
  // When the transaction first changed the file: 1 for the first file
  // changed, 2 for the next ...; 0 while it has changed nothing.
  uint64_t first_change = 0;
  int64_t busy_since = 0;  // when the current wait for a writer began
  std::unordered_map<std::string, sqlite3_stmt*> statements;
  // The search statements of each key, built on first use.
  std::vector<std::vector<std::string>> key_sql;
  // Records this process holds locked: id -> handle that holds it.
  std::map<int64_t, int> record_locks;
};

// A cached statement of the file, reset and cleared when it goes out of
// scope, so that no statement stays open between calls.
class Statement {
 public:
  Statement(File* file, const std::string& sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  bool ok() const { return stmt_ != nullptr; }
  int prepare_error() const { return prepare_error_; }
  sqlite3_stmt* get() { return stmt_; }
  void Bind(int index, std::string_view blob);
  void BindNull(int index);
  void Bind(int index, int64_t value);
  int Step();  // sqlite3_step
  std::string_view Blob(int column);
  bool IsNull(int column);
  int64_t Int(int column);

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int prepare_error_ = 0;
};

// The classic status for an SQLite result code (busy 85, constraint 5,
// read-only 46, full 18, not a database 30, anything else 2).
int16_t StatusOf(int sqlite_code);

// Runs SQL without results (BEGIN, COMMIT, pragmas). Returns the SQLite code.
int Exec(File* file, const char* sql);

// Creates a fresh record file at path from a parsed layout,
// replacing an existing one when overwrite is set. Returns the status.
int16_t CreateFile(const std::string& path, const FileLayout& layout, bool overwrite);

// Opens (or finds already open in this process) the record file at path.
// Returns the status; *file stays owned by the file table.
int16_t AcquireFile(const std::string& path, bool exclusive, File** file);
// One position block less on the file; the connection closes with the last
// one unless a transaction still holds it.
void ReleaseFile(File* file, bool exclusive);
// Closes files no longer used by any position block (after a transaction).
void CloseUnusedFiles();
// Every file this process has open.
std::map<std::pair<dev_t, ino_t>, std::unique_ptr<File>>& OpenFiles();
// Drops what a parent process left behind after fork (without touching the
// parent's connections or locks).
void ForgetInheritedFiles();

// Cross-process record locks on the side file. Return 0, 84 (held by
// another process) or 81 (no lock file).
int16_t LockRecord(File* file, int64_t id, bool wait);
void UnlockRecord(File* file, int64_t id);
// Whether another process holds the record's lock, looked at without
// taking it: 0 or 84 (81 counts as nobody, as LockRecord's callers take it).
int16_t RecordHeldElsewhere(File* file, int64_t id);

}  // namespace platform::recman
