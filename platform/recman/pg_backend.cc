// The server back end behind BTRCALL: open, close, stat, unlock, position,
// delete-and-next and the dispatch of the record operations for the "pg:"
// files; see recman.md.
#include <cstring>
#include <memory>
#include <string>

#include "platform/recman/backend.h"
#include "platform/recman/pg_session.h"
#include "platform/recman/pg_state.h"
#include "platform/recman/status.h"

namespace platform::recman {
namespace pg {
namespace {

using ops::Call;

// The file of the name, open on the current connection: found in the table
// or read from the server, its open-mode lock taken.
int16_t FindFile(const std::string& name, bool exclusive, std::shared_ptr<ServerFile>* out) {
  ServerTable& t = Table();
  auto it = t.files.find(name);
  // Blocks still open on a file of a lost connection: the file comes back
  // with them, so that the process keeps one file of the name.
  if (it != t.files.end() && it->second->epoch != Session().epoch && it->second->handles > 0 &&
      !Session().in_transaction) {
    if (int16_t st = Rejoin(*it->second)) return st;
  }
  if (it != t.files.end() && it->second->epoch == Session().epoch) {
    std::shared_ptr<ServerFile> f = it->second;
    if (f->exclusive_opens > 0 || (exclusive && f->handles > 0)) {
      Note("the record file " + name + " is open exclusively, or open when it must not be");
      return kFileInUse;
    }
    if (f->handles == 0) {
      if (int16_t st = TakeModeLock(*f, exclusive)) return st;
    }
    *out = f;
    return 0;
  }
  auto f = std::make_shared<ServerFile>();
  f->name = NameOf(name);
  f->epoch = Session().epoch;
  // The lock first: a file being made again under this name cannot be
  // read half-way.
  if (int16_t st = TakeModeLock(*f, exclusive)) return st;
  if (int16_t st = ReadServerLayout(f->name, &f->layout)) {
    DropModeLock(*f);
    return st;
  }
  t.files[name] = f;
  *out = f;
  return 0;
}

void ForgetIfUnused(const std::shared_ptr<ServerFile>& f) {
  if (f->handles > 0 || f->in_transaction) return;
  auto it = Table().files.find(f->name.name);
  if (it != Table().files.end() && it->second == f) Table().files.erase(it);
}

// Outside a transaction a block whose connection was lost goes on, on a
// new one: nothing of the old one can be lost there (every change was
// committed or refused), and the operator need not leave the program
// after the server comes back. Inside one, Alive keeps saying 95 until
// the caller ends it: the server rolled back what it held.
int16_t Reconnect(ServerHandle& h) {
  ServerSession& s = Session();
  if (s.in_transaction || (s.conn != nullptr && h.file->epoch == s.epoch)) return 0;
  if (int16_t st = Connect()) return st;
  return Rejoin(*h.file);
}

int16_t Close(Call& c, ServerHandle& h) {
  ReleaseAllLocks(c, h);
  std::shared_ptr<ServerFile> f = std::move(h.file);
  bool exclusive = h.exclusive;
  uint32_t generation = h.generation;
  h = ServerHandle();
  h.generation = generation;
  if (c.block != nullptr) std::memset(c.block, 0, 12);
  f->handles--;
  if (exclusive) f->exclusive_opens--;
  if (f->handles == 0) DropModeLock(*f);
  ForgetIfUnused(f);
  return 0;
}

int16_t Stat(Call& c, ServerHandle& h) {
  Result r = Run("SELECT count(*) FROM " + h.file->name.table, Params());
  if (!r.ok()) return Failure(r);
  std::string out = h.file->layout.raw;
  ops::Put32(out.data() + 6, static_cast<uint32_t>(r.Int64(0, 0)));
  return ops::ReturnData(c, out);
}

int16_t Unlock(Call& c, ServerHandle& h) {
  if (c.key_number >= 0) {
    if (h.single_lock != 0) ReleaseLock(c, h, h.single_lock);
    return 0;
  }
  if (c.key_number == -1) {
    if (c.data_size < 4) return kDataBufferTooShort;
    ReleaseLock(c, h, ops::Get32(c.data));
    return 0;
  }
  if (c.key_number == -2) {
    std::set<int64_t> ids = h.multiple_locks;
    for (int64_t id : ids) ReleaseLock(c, h, id);
    return 0;
  }
  return kLockError;
}

int16_t GetPosition(Call& c, ServerHandle& h) {
  if (!h.cursor.current) return kInvalidPositioning;
  if (c.data_size < 4) return kDataBufferTooShort;
  ops::Put32(c.data, static_cast<uint32_t>(h.cursor.id));
  ops::SetDataLength(c, 4);
  return 0;
}

// Delete, then the next record in the order of the key the cursor is on.
int16_t DeleteGetNext(Call& c, ServerHandle& h) {
  if (int16_t st = ops::DeleteGetNextRefusal(c, h.cursor, h.file->layout, h.read_only)) return st;
  if (int16_t st = ServerDelete(c, h)) return st;
  c.base = kGetNext;
  c.bias = 0;
  return ServerGetByKey(c, h);
}

class ServerFiles : public Backend {
 public:
  bool Owns(void* block) override {
    int index = -1;
    return ServerHandleOf(block, &index) != nullptr;
  }

  int16_t Create(const std::string& name, const FileLayout& layout, bool overwrite) override {
    return CreateServerFile(name, layout, overwrite);
  }

  int16_t Open(Call& c, const std::string& name, bool exclusive, bool read_only) override {
    if (int16_t st = Connect()) return st;
    std::shared_ptr<ServerFile> f;
    if (int16_t st = FindFile(name, exclusive, &f)) return st;
    ServerSession& s = Session();
    if (s.in_transaction && s.begun && !f->in_transaction) {
      // A file opened inside a transaction joins it.
      if (int16_t st = JoinTransaction(*f)) {
        if (f->handles == 0) DropModeLock(*f);
        ForgetIfUnused(f);
        return st;
      }
    }
    ServerTable& t = Table();
    size_t i = 0;
    while (i < t.handles.size() && t.handles[i].used) ++i;
    if (i == t.handles.size()) t.handles.emplace_back();
    ServerHandle& h = t.handles[i];
    uint32_t generation = h.generation + 1;
    h = ServerHandle();
    h.used = true;
    h.generation = generation;
    h.file = f;
    h.exclusive = exclusive;
    h.read_only = read_only;
    f->handles++;
    if (exclusive) f->exclusive_opens++;
    auto* b = static_cast<unsigned char*>(c.block);
    std::memset(b, 0, kPositionBlockSize);
    std::memcpy(b, kServerMagic, 4);
    ops::Put32(b + 4, static_cast<uint32_t>(i));
    ops::Put32(b + 8, generation);
    return 0;
  }

  int16_t OnBlock(Call& c) override {
    ServerHandle* h = ServerHandleOf(c.block, &c.index);
    if (h == nullptr) return kFileNotOpen;
    if (c.base == kClose) return Close(c, *h);
    if (int16_t st = Reconnect(*h)) return st;
    if (int16_t st = Alive(*h)) return st;
    switch (c.base) {
      case kInsert:
        return ServerInsert(c, *h);
      case kUpdate:
        return ServerUpdate(c, *h);
      case kDelete:
        return ServerDelete(c, *h);
      case kDeleteGetNext:
        return DeleteGetNext(c, *h);
      case kStat:
        return Stat(c, *h);
      case kGetPosition:
        return GetPosition(c, *h);
      case kGetDirect:
        return ServerGetDirect(c, *h);
      case kUnlock:
        return Unlock(c, *h);
      default:
        return ServerGetByKey(c, *h);
    }
  }

  int16_t Begin() override { return ServerBegin(); }
  int16_t End() override {
    int16_t st = ServerEnd();
    ForgetUnused();
    return st;
  }
  void Abort() override {
    ServerRollback();
    ForgetUnused();
  }
  // Everything goes with the connection: the server rolls back and frees
  // every lock of the process.
  void Reset() override {
    Disconnect();
    ServerSession& s = Session();
    s.in_transaction = false;
    s.lost_in_transaction = false;
    ServerTable& t = Table();
    for (ServerHandle& h : t.handles) {
      h.used = false;
      h.file.reset();
    }
    t.files.clear();
  }
  void AfterFork() override {
    ForgetInheritedSession();
    Table().handles.clear();
    Table().files.clear();
  }

 private:
  static void ForgetUnused() {
    ServerTable& t = Table();
    for (auto it = t.files.begin(); it != t.files.end();) {
      if (it->second->handles <= 0 && !it->second->in_transaction) {
        it = t.files.erase(it);
      } else {
        ++it;
      }
    }
  }
};

}  // namespace
}  // namespace pg

Backend& ServerBackend() {
  static pg::ServerFiles files;
  return files;
}

}  // namespace platform::recman
