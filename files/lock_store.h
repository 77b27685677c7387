// Where the slots of a lock table are kept while a process has the table
// open: its file under the root's LOCKS folder, or, when the session's
// record files are on a database server, its rows there
// (platform/recman/server_locks.h). Either way only one process has a
// table open at a time, and the slots are the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "env/status.h"
#include "platform/fs/files.h"

namespace files {

// Whether this session keeps its lock tables and holders on the server.
bool LocksOnServer();
// The server's name of the table file name ("TrasBanc.lck"): the path under
// the root, upper case, as the record files are named there.
std::string ServerTableName(std::string_view table_name);

class LockStore {
 public:
  LockStore() = default;
  explicit LockStore(platform::fs::File file) : file_(std::move(file)) {}
  // A table whose turn on the server this process has just taken.
  static LockStore OnServer(std::string table);
  LockStore(LockStore&& other) noexcept;
  LockStore& operator=(LockStore&& other) noexcept;
  LockStore(const LockStore&) = delete;
  LockStore& operator=(const LockStore&) = delete;
  ~LockStore() { Close(); }

  bool IsOpen() const { return !server_.empty() || file_.IsOpen(); }
  // The whole slots, a torn last one (a write cut short) cut off.
  bool Read(std::string* bytes);
  bool WriteAt(int64_t at, const char* data, size_t size);
  // The table given back to the others.
  void Close();
  // What a failed read or write of the server table was, for the operator.
  env::Status ServerFailure() const;

 private:
  platform::fs::File file_;
  std::string server_;  // the server's table, while its turn is held
};

}  // namespace files
