#include "files/lock_liveness.h"

#include "env/session.h"
#include "files/cached_path.h"
#include "files/lock_store.h"
#include "files/locks.h"
#include "platform/fs/files.h"
#include "platform/fs/host.h"
#include "platform/fs/paths.h"
#include "platform/recman/server_locks.h"
#include "util/cp850.h"

#include <set>

namespace files {
namespace {

namespace fs = platform::fs;
namespace lock_server = platform::recman::lock_server;

constexpr size_t kStationSize = 15;

// The holders file of the current root, open, and the number whose byte
// this process holds in it (0 none).
struct Liveness {
  std::string path;
  fs::File file;
  int32_t number = 0;
  CachedHostPath host_path;  // of the holders file
};

// Process-wide: holders on the server, the live ones as a visit first asked for them.
struct ServerLiveness {
  bool asked = false;
  bool known = false;  // false: the server could not tell
  std::set<int32_t> live;
};
ServerLiveness& Live() {
  static ServerLiveness live;
  return live;
}

// The holders file this process holds its byte in: the byte is held while
// the file stays open, so it lives as long as the process.
Liveness& State() {
  static Liveness state;
  return state;
}

CachedHostPath& HoldersHostPath() { return State().host_path; }

std::string HoldersPath() {
  return HoldersHostPath().Get(env::session.RootDir + "LOCKS\\HOLDERS.LIV");
}

// The holders file of the current root, opened anew when the root changed
// or the file was removed or replaced since (a byte held in a file that is
// no longer there marks nothing); a missing LOCKS folder is made. False
// when it cannot be opened.
bool OpenHolders() {
  Liveness& state = State();
  std::string path = HoldersPath();
  if (path == state.path && state.file.IsOpen() && state.file.IsAt(path)) return true;
  // Gone or replaced: its path is worked out afresh.
  HoldersHostPath().Forget();
  path = HoldersPath();
  state.file.Close();
  state.number = 0;
  state.path = path;
  if (path.empty()) return false;
  int error = state.file.Open(path, fs::File::kReadWriteCreate, false);
  if (error == fs::kErrorPathNotFound) {
    fs::MakeDirectory(fs::HostPath(env::session.RootDir + "LOCKS"));
    error = state.file.Open(path, fs::File::kReadWriteCreate, false);
  }
  // A file only readable to this user still takes the shared byte locks.
  if (error == fs::kErrorAccessDenied) error = state.file.Open(path, fs::File::kRead, false);
  return error == 0;
}

// The holders file could not be opened or its byte not held: the failure
// platform/fs noted, or a file error of the holders file when it noted none.
env::Status Untold(const std::string& host_path) {
  env::Status status = env::LastFileStatus();
  if (status.ok()) status = env::Status(env::Code::kFileError, {}, fs::ProgramPath(host_path));
  return status;
}

}  // namespace

std::string ThisStation() {
  std::string station = util::Utf8ToCp850(fs::HostName()).substr(0, kStationSize);
  station.resize(kStationSize, ' ');
  return station;
}

env::StatusOr<bool> ClaimHolderNumber(int32_t number) {
  if (LocksOnServer()) {
    if (lock_server::HeldHolder() == number) return false;
    switch (lock_server::ClaimHolder(number)) {
      case lock_server::Outcome::kDone:
        return true;
      case lock_server::Outcome::kBusy:
        return env::Status(env::Code::kInUse, LockWaitMessage(), std::to_string(number));
      case lock_server::Outcome::kFailed:
        break;
    }
    return env::Status(env::Code::kDatabase, lock_server::Error(), env::session.RootDir + "LOCKS");
  }
  Liveness& state = State();
  if (!OpenHolders()) return Untold(state.path);
  if (state.number == number) return false;
  if (state.file.ByteHeldElsewhere(number) == 1) {
    return env::Status(env::Code::kInUse, LockWaitMessage(), state.path);
  }
  if (state.file.HoldByte(number) != 0) return Untold(state.path);
  if (state.number != 0) state.file.ReleaseByte(state.number);
  state.number = number;
  return true;
}

bool LivenessHeld() {
  if (LocksOnServer()) {
    return lock_identity.LockHolder != 0 && lock_server::HeldHolder() == lock_identity.LockHolder;
  }
  const Liveness& state = State();
  return lock_identity.LockHolder != 0 && state.number == lock_identity.LockHolder &&
         state.file.IsOpen() && state.path == HoldersPath();
}

void ForgetLiveHolders() { Live().asked = false; }

bool LockAbandoned(std::string_view station, int32_t holder, int32_t stamp, int32_t now,
                   std::string_view here) {
  if (LocksOnServer()) {
    // Every holder, of any host, is alive exactly while its claim is held on
    // the server: no clock is asked.
    if (holder == lock_identity.LockHolder && station == lock_identity.LockStation) return false;
    ServerLiveness& live = Live();
    if (!live.asked) {
      live.known = lock_server::LiveHolders(&live.live);
      live.asked = true;
    }
    // When the server cannot tell, nobody's lock is taken.
    return live.known && !live.live.contains(holder);
  }
  if (station == here) {
    if (holder == lock_identity.LockHolder && station == lock_identity.LockStation)
      return false;  // this process's own
    // The file as this attempt's LoadLockIdentity opened it.
    int held = State().file.ByteHeldElsewhere(holder);
    if (held >= 0) return held == 0;
  }
  return stamp < now - kLockExpiryMinutes;
}

}  // namespace files
