#include "files/lock_store.h"

#include "env/session.h"
#include "files/locks.h"
#include "platform/recman/server_locks.h"
#include "util/basics.h"

namespace files {

namespace lock_server = platform::recman::lock_server;

bool LocksOnServer() {
  if (env::session.DatabaseServer.empty()) return false;
  lock_server::Use(env::session.DatabaseServer);
  return true;
}

std::string ServerTableName(std::string_view table_name) {
  return "LOCKS\\" + util::UpperCase(util::Trim(table_name));
}

LockStore LockStore::OnServer(std::string table) {
  LockStore store;
  store.server_ = std::move(table);
  return store;
}

LockStore::LockStore(LockStore&& other) noexcept
    : file_(std::move(other.file_)), server_(std::move(other.server_)) {
  other.server_.clear();
}

LockStore& LockStore::operator=(LockStore&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = std::move(other.file_);
    server_ = std::move(other.server_);
    other.server_.clear();
  }
  return *this;
}

bool LockStore::Read(std::string* bytes) {
  if (!server_.empty()) return lock_server::ReadSlots(server_, kLockSlotSize, bytes);
  // Read until a read comes back short: the table is never changed while
  // it is open here, so that is its size (and asking it apart would cost a
  // look at the disk on every lock).
  // Runs of 256 slots: a table of up to 255 is read in one read and the
  // short read that ends it.
  constexpr size_t kRun = 256 * kLockSlotSize;
  bytes->clear();
  for (;;) {
    const size_t at = bytes->size();
    bytes->resize(at + kRun);
    const int64_t got = file_.ReadAt(static_cast<int64_t>(at), bytes->data() + at, kRun);
    if (got < 0) return false;
    bytes->resize(at + static_cast<size_t>(got));
    if (static_cast<size_t>(got) < kRun) break;
  }
  const int64_t size = static_cast<int64_t>(bytes->size());
  // A torn last slot is not a slot: it is cut off, so that the slots after
  // it stay in step.
  const int64_t whole = size / kLockSlotSize * kLockSlotSize;
  if (whole != size && !file_.Truncate(whole)) return false;
  bytes->resize(static_cast<size_t>(whole));
  return true;
}

bool LockStore::WriteAt(int64_t at, const char* data, size_t size) {
  if (server_.empty()) return file_.WriteAt(at, data, size);
  // Whole slots only, as every write of the lock layer is.
  return lock_server::WriteSlot(server_, at / kLockSlotSize, std::string_view(data, size));
}

void LockStore::Close() {
  if (!server_.empty()) lock_server::EndVisit(server_);
  server_.clear();
  file_.Close();
}

env::Status LockStore::ServerFailure() const {
  return env::Status(env::Code::kDatabase, lock_server::Error(), server_);
}

}  // namespace files
