// Record locks on the server: session advisory locks (record_space,
// position), which the server frees by itself when the holder's connection
// ends, however it ends. Inside the process, the same bookkeeping as the
// SQLite files: a lock belongs to one position block.
#include <cstring>

#include "platform/process/clock.h"
#include "platform/recman/pg_session.h"
#include "platform/recman/pg_state.h"
#include "platform/recman/status.h"
#include "platform/recman/store.h"

namespace platform::recman::pg {

ServerTable& Table() {
  // Process-wide: the position blocks and files of the server back end.
  static ServerTable table;
  return table;
}

ServerHandle* ServerHandleOf(void* block, int* index) {
  if (block == nullptr) return nullptr;
  auto* b = static_cast<unsigned char*>(block);
  if (std::memcmp(b, kServerMagic, 4) != 0) return nullptr;
  uint32_t i = ops::Get32(b + 4);
  uint32_t generation = ops::Get32(b + 8);
  ServerTable& t = Table();
  if (i >= t.handles.size()) return nullptr;
  ServerHandle& h = t.handles[i];
  if (!h.used || h.generation != generation) return nullptr;
  *index = static_cast<int>(i);
  return &h;
}

int16_t Alive(const ServerHandle& h) {
  if (h.file->epoch == Session().epoch && Session().conn != nullptr) return 0;
  Note("the connection to the server was lost inside the transaction; the server rolled it back");
  return kSessionLost;
}

namespace {

Params LockKey(const ServerFile& f, int64_t id) {
  Params p;
  p.Int32(f.name.record_space).Int32(static_cast<int32_t>(static_cast<uint32_t>(id)));
  return p;
}

// 0 taken, 84 held by another process, or the status of a failure.
int16_t TryLock(ServerFile& f, int64_t id, bool wait) {
  int64_t deadline = SteadyMilliseconds() + BusyTimeoutMs;
  while (true) {
    Result r = Run("SELECT pg_try_advisory_lock($1::int4, $2::int4)", LockKey(f, id));
    if (!r.ok()) return Failure(r);
    if (r.Bool(0, 0)) return 0;
    if (!wait || SteadyMilliseconds() >= deadline) return kRecordInUse;
    SleepMilliseconds(20);
  }
}

void Unlock(ServerFile& f, int64_t id) {
  if (f.epoch != Session().epoch || Session().conn == nullptr) return;
  Result r = Run("SELECT pg_advisory_unlock($1::int4, $2::int4)", LockKey(f, id));
  if (!r.ok()) (void)Failure(r);
}

}  // namespace

void ReleaseLock(ops::Call& c, ServerHandle& h, int64_t id) {
  ServerFile& f = *h.file;
  auto it = f.record_locks.find(id);
  if (it != f.record_locks.end() && it->second == c.index) {
    f.record_locks.erase(it);
    Unlock(f, id);
  }
  if (h.single_lock == id) h.single_lock = 0;
  h.multiple_locks.erase(id);
}

void ReleaseAllLocks(ops::Call& c, ServerHandle& h) {
  if (h.single_lock != 0) ReleaseLock(c, h, h.single_lock);
  std::set<int64_t> ids = h.multiple_locks;
  for (int64_t id : ids) ReleaseLock(c, h, id);
}

int16_t TakeLock(ops::Call& c, ServerHandle& h, int64_t id) {
  ServerFile& f = *h.file;
  auto it = f.record_locks.find(id);
  if (it != f.record_locks.end()) {
    if (it->second != c.index) return kRecordInUse;  // another position block of ours
  } else {
    if (int16_t st = TryLock(f, id, c.bias == 100 || c.bias == 300)) return st;
    f.record_locks[id] = c.index;
  }
  // A record held under both kinds stays held as a multiple lock.
  if (h.multiple_locks.count(id) != 0) return 0;
  if (ops::SingleBias(c.bias)) {
    h.single_lock = id;
  } else {
    if (h.single_lock == id) h.single_lock = 0;
    h.multiple_locks.insert(id);
  }
  return 0;
}

int16_t CheckUnlocked(ServerFile& f, int64_t id) {
  if (f.record_locks.count(id) != 0) return 0;  // the caller checked whose it is
  if (int16_t st = TryLock(f, id, false)) return st;
  Unlock(f, id);
  return 0;
}

}  // namespace platform::recman::pg
