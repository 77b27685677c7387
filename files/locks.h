// Lock tables shared by every terminal of the office.
//
// One table per protected record file, session.RootDir + "LOCKS\" + name + ".lck",
// a sequence of 121-byte text slots, each a whole-file lock ("F") or a
// key-range lock ("K") of one holder. The holder identity (a number and the
// workstation name) lives in session.WorkDir + "LOCKS.TMP"; a process that finds that
// identity in use by another live process takes a fresh one for its run. A
// table is only ever open in one process at a time (opened with no sharing),
// for one scan and update, or for a run of key locks (KeyLockRun). A slot is abandoned, and reused, when its holder
// on this host has died (lock_liveness.h says how that is known), or when its
// holder on another host has not renewed it for 30 minutes.
// With the record files on a database server, the tables and the holders'
// liveness live on that server instead (files/lock_store.h,
// lock_liveness.h): the same slots, and no 30-minute rule.
#pragma once

#include "env/status.h"
#include <cstdint>
#include <string>
#include <string_view>

#include "files/lock_store.h"
#include "platform/fs/files.h"
#include "ui/operator_wait.h"

namespace files {

constexpr int kLockSlotSize = 121;
constexpr int kLockKeyMax = 40;
constexpr int kLockExpiryMinutes = 30;

// Who this run is to the lock tables: one holder per process. Back to start
// by ResetFilesState.
struct LockIdentity {
  // The holder of this run: 0 until LoadLockIdentity, and the workstation
  // name, blank-padded to 15.
  int32_t LockHolder{};
  std::string LockStation{};
};
extern LockIdentity lock_identity;

// How the lock layer meets the operator, filled once at start-up by the
// program: the waiting message at the foot of the screen and Escape to give
// up. Left empty, waits are silent and cannot be cancelled.
struct LayerHooks {
  ui::WaitHooks wait;
};
extern LayerHooks Hooks;

// "FITXER BLOQUEJAT. ESPEREU UN MOMENT." in the language of session.LanguageCode.
std::string LockWaitMessage();

// Loads or creates this run's identity and claims its number as alive.
void LoadLockIdentity();

// Ok once the lock is held; waits while another holder's lock overlaps.
// kCancelled when the operator gave up waiting with Escape (or waiting for
// a table that cannot be opened); kRefused for a kind other than "F" or "K".
env::Status AcquireLock(std::string_view name, std::string_view kind, std::string_view low,
                    std::string_view high);
// A key lock on one key, written out as text (packed digit bytes as digits).
env::Status LockKey(std::string_view name, std::string_view key);
std::string LockKeyText(std::string_view key);
// ReleaseLock followed by LockKey, in one visit of the table when the key is
// free: the released lock's slot takes the new one, so other terminals see
// what they could have seen between the two calls. When another holder's
// lock overlaps the key, the old lock is released at once and the wait is
// LockKey's. For a loop that locks one record after another.
env::Status RelockKey(std::string_view name, std::string_view key);
// The slots of a lock table as read, kept in step with what is written.
struct LockTableCopy {
  std::string bytes;  // the whole slots
  int64_t append_at = 0;
};

// Key locks in one table taken one after another by this holder, for a loop
// that takes one record after another: the table is opened, and this
// holder's liveness made sure of, once for the run, and each key rewrites
// the one slot in place. The others see in the table, key by key, the bytes
// RelockKey would have left there. While the run has the table open, the
// other processes wait to open it, as they wait for any visit; a key that
// another holder's lock overlaps gives the table back and is waited for as
// LockKey waits. The table is given back when the run ends.
class KeyLockRun {
 public:
  explicit KeyLockRun(std::string_view name);
  ~KeyLockRun();
  KeyLockRun(const KeyLockRun&) = delete;
  KeyLockRun& operator=(const KeyLockRun&) = delete;
  // RelockKey within the run. *at_once tells that nothing was waited for,
  // nor the table opened, since the key before: a record read before the
  // lock is as it was then, unless this process changed it.
  env::Status Lock(std::string_view key, bool* at_once);
  // Gives back the key locked last, if any; the table stays open.
  void Release();
  // Release, and the table given back to the others.
  void Close();

 private:
  env::Status Visit(std::string_view key);
  std::string name_;
  LockStore table_;
  LockTableCopy copy_;
  bool holding_ = false;
};

// Releases this holder's most recent lock in the table. kNotFound when it
// holds none there, kCancelled when the operator gave up waiting for the
// table, the file's failure when it could not be read or written.
env::Status ReleaseLock(std::string_view name);

// The table folder + "\" + name, open with no sharing, created when missing
// (and its folder with it); waits while another process has it open. Not
// open only when the operator gave up waiting.
platform::fs::File OpenLockTable(std::string_view folder, std::string_view name);

// The slots of the lock table of the record file name as they stand, in
// its file or on the server as the session keeps them: the bytes of the
// table file. A look only: the table is not taken from the others.
env::StatusOr<std::string> LockTableSlots(std::string_view name);

// Local time in minutes since 1970-01-01 00:00.
int32_t MinutesNow();

}  // namespace files
