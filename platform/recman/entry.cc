// BTRCALL, the entry point: checks the operation, picks the back end (a
// name beginning with "pg:" is a file on the server, anything else an
// SQLite file), and runs transactions over both.
#include <pthread.h>

#include <csignal>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/recman/backend.h"
#include "platform/recman/btrcall.h"
#include "platform/recman/call.h"
#include "platform/recman/status.h"

namespace platform::recman {
namespace {

using ops::Call;

// Process-wide: every thread's calls go through the one mutex, a forked
// child (told by the fork handler) starts with tables of its own, and the
// caller's transaction spans both back ends.
struct CallGuard {
  std::mutex mutex;
  volatile sig_atomic_t forked = 0;
  bool in_transaction = false;
};
CallGuard g_guard;

void OnForkChild() { g_guard.forked = 1; }

void CheckProcess() {
  static const bool registered = pthread_atfork(nullptr, nullptr, OnForkChild) == 0;
  (void)registered;
  if (g_guard.forked == 0) return;
  g_guard.forked = 0;
  g_guard.in_transaction = false;
  SqliteBackend().AfterFork();
  ServerBackend().AfterFork();
}

constexpr std::string_view kServerPrefix = "pg:";

std::string NameFromKey(const Call& c) {
  if (c.key == nullptr) return {};
  size_t n = 0;
  while (n < c.key_size && c.key[n] != '\0') ++n;
  return std::string(c.key, n);
}

// The back end a name belongs to, and the name it knows the file by.
Backend& BackendOf(std::string* name) {
  if (name->compare(0, kServerPrefix.size(), kServerPrefix) == 0) {
    name->erase(0, kServerPrefix.size());
    return ServerBackend();
  }
  return SqliteBackend();
}

Backend* OwnerOf(void* block) {
  if (SqliteBackend().Owns(block)) return &SqliteBackend();
  if (ServerBackend().Owns(block)) return &ServerBackend();
  return nullptr;
}

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
      return kIncompatibleMode;
  }
  if (c.block == nullptr) return kFileNotOpen;
  if (Backend* old = OwnerOf(c.block)) {
    Call prior = c;
    prior.base = kClose;
    (void)old->OnBlock(prior);
  }
  std::string name = NameFromKey(c);
  Backend& backend = BackendOf(&name);
  return backend.Open(c, name, exclusive, read_only);
}

int16_t Create(Call& c) {
  std::string_view buffer(c.data, c.data_size);
  FileLayout layout;
  if (int16_t st = ParseCreationBuffer(buffer, &layout)) return st;
  std::string name = NameFromKey(c);
  Backend& backend = BackendOf(&name);
  if (name.empty()) return kFileNotFound;
  return backend.Create(name, layout, c.key_number != -1);
}

int16_t BeginTransaction() {
  if (g_guard.in_transaction) return kTransactionActive;
  if (int16_t st = SqliteBackend().Begin()) return st;
  if (int16_t st = ServerBackend().Begin()) {
    SqliteBackend().Abort();
    return st;
  }
  g_guard.in_transaction = true;
  return 0;
}

// The local files commit first (in their own order), then the server's,
// which commit as one; when a local commit fails, the server's part is
// rolled back too.
int16_t EndTransaction() {
  if (!g_guard.in_transaction) return kNoTransaction;
  g_guard.in_transaction = false;
  int16_t status = SqliteBackend().End();
  if (status != 0) {
    ServerBackend().Abort();
    return status;
  }
  return ServerBackend().End();
}

int16_t AbortTransaction() {
  if (!g_guard.in_transaction) return kNoTransaction;
  g_guard.in_transaction = false;
  SqliteBackend().Abort();
  ServerBackend().Abort();
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
      g_guard.in_transaction = false;
      SqliteBackend().Reset();
      ServerBackend().Reset();
      return 0;
    case kOpen:
      return Open(c);
    default:
      break;
  }
  Backend* owner = OwnerOf(c.block);
  if (owner == nullptr) return kFileNotOpen;
  return owner->OnBlock(c);
}

bool KnownOperation(uint16_t base) { return base <= kReset || base == kDeleteGetNext; }

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
  std::lock_guard<std::mutex> guard(g_guard.mutex);
  CheckProcess();
  Call c;
  c.base = static_cast<uint16_t>(operation % 100);
  c.bias = static_cast<uint16_t>(operation - c.base);
  if (!KnownOperation(c.base) || !LockBiasAllowed(c.base, c.bias)) return kInvalidOperation;
  c.block = position_block;
  c.data = static_cast<char*>(data_buffer);
  c.data_length = data_length;
  c.data_size = (c.data != nullptr && data_length != nullptr) ? *data_length : 0;
  c.key = static_cast<char*>(key_buffer);
  c.key_size = c.key != nullptr ? key_length : 0;
  c.key_number = key_number;
  int16_t status = Dispatch(c);
  bool read = (c.base >= kGetEqual && c.base <= kGetLast) || c.base == kStat ||
              c.base == kDeleteGetNext;
  if (read && status != 0 && status != kDataBufferTooShort && data_length != nullptr) *data_length = 0;
  return status;
}
