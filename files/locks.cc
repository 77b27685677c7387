#include "files/locks.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <random>
#include <vector>

#include "env/session.h"
#include "files/cached_path.h"
#include "files/lock_liveness.h"
#include "files/lock_slot.h"
#include "files/lock_store.h"
#include "files/run_state.h"
#include "platform/fs/paths.h"
#include "platform/process/clock.h"
#include "platform/recman/server_locks.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace files {

namespace fs = platform::fs;

// Process-wide: the station and holder the process locks as, set at start-up.
LockIdentity lock_identity;
// Process-wide: filled once at start-up by the program above.
LayerHooks Hooks;

namespace {

// The sizes and 0-based offsets of a slot's fields, from its table.
constexpr int kStationSize = static_cast<int>(lock_slot::kStation.width);
constexpr int kHolderSize = static_cast<int>(lock_slot::kHolder.width);
constexpr int kStampSize = static_cast<int>(lock_slot::kStamp.width);
constexpr int kIdentitySize = 4 + kStationSize;
constexpr size_t kHolderAt = lock_slot::kHolder.offset();
constexpr size_t kStampAt = lock_slot::kStamp.offset();
constexpr size_t kKindAt = lock_slot::kKind.offset();
constexpr size_t kLowLengthAt = lock_slot::kLowLength.offset();
constexpr size_t kLowAt = lock_slot::kLow.offset();
constexpr size_t kHighLengthAt = lock_slot::kHighLength.offset();
constexpr size_t kHighAt = lock_slot::kHigh.offset();
constexpr size_t kLineEndAt = lock_slot::kLineEnd.offset();
static_assert(lock_slot::kLayout.length == kLockSlotSize);
static_assert(lock_slot::kLow.width == kLockKeyMax && lock_slot::kHigh.width == kLockKeyMax);
constexpr int16_t kMessageRow = 24;
// Busy opens waited for before the operator is told of the wait.
constexpr int kQuietOpenRetries = 2;

// The waits of the lock layer draw from a generator of their own, seeded
// apart in every process, so that competing terminals do not retry in step.
std::minstd_rand& WaitRandom() {
  internal::FilesRun& run = internal::files_run;
  if (!run.wait_seeded) {
    run.wait_generator.seed(std::random_device{}());
    run.wait_seeded = true;
  }
  return run.wait_generator;
}

int RandomMilliseconds(int most) {
  double rnd = static_cast<double>(WaitRandom()() - std::minstd_rand::min()) /
               (static_cast<double>(std::minstd_rand::max() - std::minstd_rand::min()) + 1.0);
  return static_cast<int>(rnd * (most - 1) + 1.5);
}

void Pause(int milliseconds) {
  if (Hooks.wait.pause) {
    Hooks.wait.pause(milliseconds);
  } else {
    platform::SleepMilliseconds(milliseconds);
  }
}

// One wait for a lock, however many attempts it takes: the message is shown
// at most once, at the foot of the screen, and closed when the wait ends.
class Waiter : public ui::OperatorWait {
 public:
  Waiter() : ui::OperatorWait(Hooks.wait, kMessageRow, LockWaitMessage()) {}
  // False when the operator pressed Escape.
  bool Wait(int milliseconds) { return Pause(milliseconds); }
};

std::string Fixed(std::string_view text, size_t size) {
  std::string field(text.substr(0, size));
  field.resize(size, ' ');
  return field;
}

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

std::string IdentityFields() {
  return Fixed(lock_identity.LockStation, kStationSize) +
         Fixed(std::to_string(lock_identity.LockHolder), kHolderSize);
}

// The host paths of the tables met in this run.
CachedHostPath& TableHostPath(const std::string& table_path) {
  return internal::files_run.table_paths[table_path];
}

fs::File OpenTableFile(std::string_view folder, std::string_view name, Waiter& waiter) {
  std::string table_path = std::string(folder) + "\\" + std::string(name);
  CachedHostPath& host = TableHostPath(table_path);
  int busy = 0;
  bool folder_made = false;
  for (;;) {
    fs::File file;
    // A table is opened where it was found before; one not there is looked
    // for afresh, whatever its case, before one is created.
    int error = file.Open(host.Get(table_path), fs::File::kReadWrite, true);
    if (error == fs::kErrorFileNotFound || error == fs::kErrorPathNotFound) {
      host.Forget();
      error = file.Open(host.Get(table_path), fs::File::kReadWriteCreate, true);
    }
    if (error == 0) return file;
    if (error == fs::kErrorPathNotFound && !folder_made) {
      // Made here or by another terminal at the same moment: try again at once.
      std::string host_folder = fs::HostPath(folder);
      if (!host_folder.empty()) fs::MakeDirectory(host_folder);
      folder_made = true;
      continue;
    }
    // Another process holds the table for a moment; anything else (no right to
    // write, an absent drive) is told to the operator, who may give up.
    if (error != fs::kErrorSharingViolation || ++busy > kQuietOpenRetries) waiter.Tell();
    if (!waiter.Wait(RandomMilliseconds(3000))) return fs::File();
  }
}

std::string TableFolder() { return env::session.RootDir + "LOCKS"; }

// The table of a record file. The name is trimmed of blanks at both ends
// when locking and when releasing, so both always meet in the same table.
std::string TableName(std::string_view record_file) {
  return std::string(util::Trim(record_file)) + ".lck";
}

using Table = LockTableCopy;

// The table of name, open for a visit: its file, or its turn on the server
// when the session has one. Not open when the operator gave up waiting, or
// when the server failed (*failure says why, naming the table).
LockStore OpenTable(std::string_view name, Waiter& waiter, env::Status* failure) {
  if (!LocksOnServer()) return LockStore(OpenTableFile(TableFolder(), TableName(name), waiter));
  namespace lock_server = platform::recman::lock_server;
  const std::string table = ServerTableName(TableName(name));
  int busy = 0;
  for (;;) {
    switch (lock_server::BeginVisit(table)) {
      case lock_server::Outcome::kDone:
        ForgetLiveHolders();  // asked afresh in this visit
        return LockStore::OnServer(table);
      case lock_server::Outcome::kFailed:
        *failure = env::Status(env::Code::kDatabase, lock_server::Error(),
                               env::session.RootDir + table);
        return LockStore();
      case lock_server::Outcome::kBusy:
        break;
    }
    // Another process visits the table for a moment, as with a table file.
    if (++busy > kQuietOpenRetries) waiter.Tell();
    if (!waiter.Wait(RandomMilliseconds(100))) return LockStore();
  }
}

// A read or write of a server table that failed, for the operator.
env::Status StoreFailure(std::string_view name) {
  return env::Status(env::Code::kDatabase, platform::recman::lock_server::Error(),
                     env::session.RootDir + ServerTableName(TableName(name)));
}

bool ReadTable(LockStore& store, Table* table) {
  if (!store.Read(&table->bytes)) return false;
  table->append_at = static_cast<int64_t>(table->bytes.size());
  return true;
}

std::string_view Field(const std::string& bytes, size_t slot, size_t at, size_t size) {
  return std::string_view(bytes).substr(slot * kLockSlotSize + at, size);
}

int KeyLength(const std::string& bytes, size_t slot, size_t at) {
  return std::clamp<int>(util::NumericValue16(Field(bytes, slot, at, 2)), 0, kLockKeyMax);
}

bool IsFree(const std::string& bytes, size_t slot) {
  return Field(bytes, slot, kKindAt, 1) == " " || IsBlank(Field(bytes, slot, kHolderAt, kHolderSize));
}

bool BlankSlot(LockStore& file, std::string& bytes, size_t slot) {
  size_t base = slot * kLockSlotSize;
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(base), kStampAt, ' ');
  bytes[base + kKindAt] = ' ';
  return file.WriteAt(static_cast<int64_t>(base), bytes.data() + base, kLockSlotSize);
}

std::string MakeSlot(char kind, std::string_view low, std::string_view high) {
  namespace f = lock_slot;
  std::string slot = util::BlankRecord(f::kLayout);
  util::PutField(slot, f::kStation, lock_identity.LockStation);
  util::PutField(slot, f::kHolder, std::to_string(lock_identity.LockHolder));
  util::PutField(slot, f::kStamp, std::to_string(MinutesNow()));
  util::PutField(slot, f::kKind, std::string(1, kind));
  if (kind == 'K') {
    low = low.substr(0, f::kLow.width);
    high = high.substr(0, f::kHigh.width);
    util::PutField(slot, f::kLowLength, std::to_string(low.size()));
    util::PutField(slot, f::kLow, low);
    util::PutField(slot, f::kHighLength, std::to_string(high.size()));
    util::PutField(slot, f::kHigh, high);
  }
  util::PutField(slot, f::kLineEnd, "\r\n");
  return slot;
}

// Blanks the slots of the table whose identity fields are me.
void BlankOwnSlots(LockStore& store, const std::string& me) {
  Table table;
  if (!ReadTable(store, &table)) return;
  for (size_t i = 0; i < table.bytes.size() / kLockSlotSize; ++i) {
    if (!IsFree(table.bytes, i) && Field(table.bytes, i, 0, kStationSize + kHolderSize) == me) {
      BlankSlot(store, table.bytes, i);
    }
  }
}

// A run that takes over its work directory's identity finds the slots an
// earlier run of it left when it died: to the other processes of this host
// they would look alive for as long as this run lives, and to this run
// they would look like its own. They are freed in every table at once (a
// table busy for longer than a moment keeps them, as the 30 minutes of the
// stamps kept them before).
void ReleaseEarlierRunServerSlots();

void ReleaseEarlierRunSlots() {
  if (LocksOnServer()) {
    ReleaseEarlierRunServerSlots();
    return;
  }
  std::vector<fs::DirEntry> entries;
  std::string host_folder = fs::HostPath(TableFolder() + "\\");
  if (host_folder.empty() || !fs::ListDirectory(host_folder, &entries)) return;
  const std::string me = IdentityFields();
  for (const fs::DirEntry& entry : entries) {
    if ((entry.attributes & fs::kDirectory) != 0 || !util::UpperCase(entry.name).ends_with(".LCK")) {
      continue;
    }
    fs::File file;
    int error = fs::kErrorSharingViolation;
    for (int attempt = 0; attempt < 20 && error == fs::kErrorSharingViolation; ++attempt) {
      if (attempt > 0) platform::SleepMilliseconds(RandomMilliseconds(20));
      error = file.Open(host_folder + entry.name, fs::File::kReadWrite, true);
    }
    if (error != 0) continue;
    LockStore store(std::move(file));
    BlankOwnSlots(store, me);
  }
}

// The same on the server, table by table.
void ReleaseEarlierRunServerSlots() {
  namespace lock_server = platform::recman::lock_server;
  std::vector<std::string> tables;
  if (!lock_server::Tables(&tables)) return;
  const std::string me = IdentityFields();
  for (const std::string& name : tables) {
    lock_server::Outcome turn = lock_server::Outcome::kBusy;
    for (int attempt = 0; attempt < 20 && turn == lock_server::Outcome::kBusy; ++attempt) {
      if (attempt > 0) platform::SleepMilliseconds(RandomMilliseconds(20));
      turn = lock_server::BeginVisit(name);
    }
    if (turn != lock_server::Outcome::kDone) continue;
    LockStore store = LockStore::OnServer(name);
    BlankOwnSlots(store, me);
  }
}

enum class Attempt { kHeld, kConflict, kCancelled, kFailed };

// The program path of the table of name.
std::string TablePath(std::string_view name) { return TableFolder() + "\\" + TableName(name); }

// The operator gave up waiting for the table of name, or for a lock in it.
env::Status Cancelled(std::string_view name) {
  return env::Status(env::Code::kCancelled, LockWaitMessage(), TablePath(name));
}

// This holder's most recent lock in the table (its slot), or the number of
// slots when it holds none.
size_t LatestOwnSlot(const std::string& bytes, const std::string& me) {
  size_t slots = bytes.size() / kLockSlotSize;
  size_t latest = slots;
  int32_t latest_stamp = 0;
  for (size_t i = 0; i < slots; ++i) {
    if (IsFree(bytes, i) || Field(bytes, i, 0, kStationSize + kHolderSize) != me) continue;
    int32_t stamp = util::NumericValue32(Field(bytes, i, kStampAt, kStampSize));
    if (latest == slots || stamp >= latest_stamp) {
      latest = i;
      latest_stamp = stamp;
    }
  }
  return latest;
}

// A lock asked of a table open here, its slots read into table (and kept
// in step with what is written). With release set, this holder's most
// recent lock is released in the same visit, whatever the attempt finds (its
// slot takes the new lock when that is granted), as a release just before
// the attempt would have done.
Attempt LockInTable(LockStore& file, Table& table, char kind, std::string_view low,
                    std::string_view high, bool release) {
  std::string& bytes = table.bytes;
  const std::string me = IdentityFields();
  const int32_t now = MinutesNow();
  int64_t write_at = table.append_at;
  size_t slots = bytes.size() / kLockSlotSize;
  const size_t released = release ? LatestOwnSlot(bytes, me) : slots;
  if (released < slots) {
    const size_t base = released * kLockSlotSize;
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(base), kStampAt, ' ');
    bytes[base + kKindAt] = ' ';
  }
  // The released slot goes out blank unless the new lock takes it.
  auto refused = [&] {
    if (released < slots) BlankSlot(file, bytes, released);
    return Attempt::kConflict;
  };
  bool own_slot = false;
  // This host's name, asked once a visit and only when a slot is held: a
  // system call per slot made a table of 100 slots cost half a millisecond.
  std::string here;
  for (size_t i = 0; i < slots; ++i) {
    std::string_view holder = Field(bytes, i, kHolderAt, kHolderSize);
    if (!IsBlank(holder) && here.empty()) here = ThisStation();
    if (!IsBlank(holder) &&
        LockAbandoned(Field(bytes, i, 0, kStationSize), util::NumericValue32(holder),
                      util::NumericValue32(Field(bytes, i, kStampAt, kStampSize)), now, here)) {
      BlankSlot(file, bytes, i);  // its holder is gone
    }
    if (IsFree(bytes, i)) {
      write_at = static_cast<int64_t>(i) * kLockSlotSize;
      continue;
    }
    char slot_kind = bytes[i * kLockSlotSize + kKindAt];
    if (slot_kind == 'F' || kind == 'F') {
      if (Field(bytes, i, 0, kStationSize + kHolderSize) == me) {
        if (slot_kind == kind) {
          write_at = static_cast<int64_t>(i) * kLockSlotSize;
          own_slot = true;
        }
        break;
      }
      return refused();
    }
    if (slot_kind == 'K' && kind == 'K') {
      size_t p = std::min<size_t>(KeyLength(bytes, i, kLowLengthAt), low.size());
      size_t q = std::min<size_t>(KeyLength(bytes, i, kHighLengthAt), high.size());
      bool apart = low.substr(0, p) > Field(bytes, i, kHighAt, p) ||
                   high.substr(0, q) < Field(bytes, i, kLowAt, q);
      if (apart) continue;
      if (util::NumericValue32(holder) != lock_identity.LockHolder) return refused();
      write_at = static_cast<int64_t>(i) * kLockSlotSize;
      own_slot = true;
      break;
    }
  }
  if (released < slots && !own_slot) write_at = static_cast<int64_t>(released * kLockSlotSize);
  if (released < slots && write_at != static_cast<int64_t>(released * kLockSlotSize)) {
    BlankSlot(file, bytes, released);
  }
  std::string slot = MakeSlot(kind, low, high);
  if (!file.WriteAt(write_at, slot.data(), slot.size())) return Attempt::kConflict;
  const size_t at = static_cast<size_t>(write_at);
  if (at + slot.size() > bytes.size()) bytes.resize(at + slot.size());
  bytes.replace(at, slot.size(), slot);
  table.append_at = std::max<int64_t>(table.append_at, write_at + kLockSlotSize);
  return Attempt::kHeld;
}

// One visit of the table for a lock. With *release set, this holder's most
// recent lock is released in the same visit (see LockInTable); *release is
// cleared once that is done.
Attempt TryLock(std::string_view name, char kind, std::string_view low, std::string_view high,
                Waiter& waiter, bool* release, env::Status* failure) {
  LoadLockIdentity();
  // A holder that cannot show it is alive would have its locks taken by
  // the others at once: it waits, as for a table it cannot open.
  if (!LivenessHeld()) {
    // A release that fails leaves a slot the next attempts or the 30-minute
    // rule free; the attempt waits either way.
    // On the server, the holder could not be claimed: the server is gone.
    if (LocksOnServer()) {
      *failure = StoreFailure(name);
      return Attempt::kFailed;
    }
    if (*release) static_cast<void>(ReleaseLock(name));
    *release = false;
    return Attempt::kConflict;
  }
  LockStore file = OpenTable(name, waiter, failure);
  if (!failure->ok()) return Attempt::kFailed;
  if (!file.IsOpen()) return Attempt::kCancelled;
  Table table;
  if (!ReadTable(file, &table)) {
    if (!LocksOnServer()) return Attempt::kConflict;
    *failure = StoreFailure(name);
    return Attempt::kFailed;
  }
  const bool release_now = *release;
  *release = false;
  const Attempt attempt = LockInTable(file, table, kind, low, high, release_now);
  // A slot the server did not take: the connection is lost, and the lock is not held.
  if (attempt == Attempt::kConflict && LocksOnServer() && !platform::recman::lock_server::HeldHolder()) {
    *failure = StoreFailure(name);
    return Attempt::kFailed;
  }
  return attempt;
}

// Tries until the lock is held or the operator gives up; the release asked
// for is made by the first attempt that reads the table.
env::Status Acquire(std::string_view name, char kind, std::string_view low, std::string_view high,
                    bool release_latest) {
  Waiter waiter;
  bool release = release_latest;
  for (;;) {
    env::Status failure;
    switch (TryLock(name, kind, low, high, waiter, &release, &failure)) {
      case Attempt::kHeld:
        return env::OkStatus();
      case Attempt::kFailed:
        return failure;
      case Attempt::kCancelled:
        // The cancel is what the caller hears; a release that fails too
        // leaves a slot that the 30-minute rule or this holder's end frees.
        if (release) static_cast<void>(ReleaseLock(name));
        return Cancelled(name);
      case Attempt::kConflict:
        break;
    }
    waiter.Tell();
    if (!waiter.Wait(RandomMilliseconds(1001))) return Cancelled(name);
  }
}

}  // namespace

std::string LockWaitMessage() {
  const std::string& code = env::session.LanguageCode;
  std::string message;
  if (code.starts_with("SPA")) {
    message = "FICHERO BLOQUEADO. ESPERE UN MOMENTO";
  } else if (code.starts_with("GLG")) {
    message = "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO";
  } else if (code.starts_with("OCI")) {
    message = util::Cp850("FICH╚R BLOQUEJAT. ESPERATZ UN MOMENT");
  } else {
    message = "FITXER BLOQUEJAT. ESPEREU UN MOMENT";
  }
  return message + ".";
}

void LoadLockIdentity() {
  if (lock_identity.LockHolder != 0) {
    if (ClaimHolderNumber(lock_identity.LockHolder).status().code() != env::Code::kInUse) return;
    lock_identity.LockHolder = 0;  // another live process holds this number
  }
  fs::File file;
  std::string path = fs::HostPath(env::session.WorkDir + "LOCKS.TMP");
  int error = fs::kErrorSharingViolation;
  // Another program of this work directory may be creating the identity.
  // It is held open until this process has claimed its number, so that a
  // second process of the directory sees the claim.
  for (int attempt = 0; attempt < 300 && error == fs::kErrorSharingViolation; ++attempt) {
    error = file.Open(path, fs::File::kReadWriteCreate, true);
    if (error == fs::kErrorSharingViolation) Pause(10);
  }
  unsigned char identity[kIdentitySize];
  std::fill_n(identity, kIdentitySize, ' ');
  int64_t got = file.IsOpen() ? file.ReadAt(0, identity, kIdentitySize) : 0;
  int64_t number = 0;
  if (got >= 4) {
    uint32_t raw = static_cast<uint32_t>(identity[0]) | static_cast<uint32_t>(identity[1]) << 8 |
                   static_cast<uint32_t>(identity[2]) << 16 |
                   static_cast<uint32_t>(identity[3]) << 24;
    number = static_cast<int32_t>(raw);
  }
  bool kept = number > 0 && number < std::numeric_limits<int32_t>::max();
  // Not kept counts as in use: a fresh number is drawn below.
  const env::StatusOr<bool> claim = kept ? ClaimHolderNumber(static_cast<int32_t>(number))
                                         : env::StatusOr<bool>(env::Status(env::Code::kInUse, {}));
  if (claim.status().code() != env::Code::kInUse) {
    lock_identity.LockHolder = static_cast<int32_t>(number);
    std::string station(reinterpret_cast<const char*>(identity) + 4, kStationSize);
    if (got < kIdentitySize) station = Fixed(station.substr(0, static_cast<size_t>(std::max<int64_t>(got - 4, 0))), kStationSize);
    lock_identity.LockStation = station;
    if (claim.ok() && *claim) {  // newly held
      file.Close();  // the claim is made: the directory's next process may look
      ReleaseEarlierRunSlots();
    }
    return;
  }
  // No identity yet, or the directory's identity is another live
  // process's: then this run takes one of its own, and the file keeps the
  // other's. The clock alone would give terminals started in the same
  // hundredth of a second one identity, and with it each other's key locks.
  std::minstd_rand draw(static_cast<unsigned>(platform::SecondsSinceMidnight() * 100) ^
                        std::random_device{}());
  number = 0;
  while (number == 0) {
    double rnd = static_cast<double>(draw() - std::minstd_rand::min()) /
                 (static_cast<double>(std::minstd_rand::max() - std::minstd_rand::min()) + 1.0);
    number = static_cast<int64_t>(rnd * 2147483647.0);
    if (number != 0 &&
        ClaimHolderNumber(static_cast<int32_t>(number)).status().code() == env::Code::kInUse) {
      number = 0;
    }
  }
  lock_identity.LockHolder = static_cast<int32_t>(number);
  lock_identity.LockStation = ThisStation();
  if (!file.IsOpen() || kept) return;  // the identity lasts this run only
  unsigned char out[kIdentitySize];
  uint32_t raw = static_cast<uint32_t>(lock_identity.LockHolder);
  for (int k = 0; k < 4; ++k) out[k] = static_cast<unsigned char>(raw >> (8 * k));
  std::copy(lock_identity.LockStation.begin(), lock_identity.LockStation.end(), out + 4);
  file.WriteAt(0, out, kIdentitySize);
}

env::Status AcquireLock(std::string_view name, std::string_view kind, std::string_view low,
                        std::string_view high) {
  std::string upper = util::UpperCase(util::Trim(kind));
  if (upper != "F" && upper != "K") return env::Status(env::Code::kRefused, {}, std::string(kind));
  return Acquire(name, upper[0], low, high, false);
}

std::string LockKeyText(std::string_view key) {
  std::string text;
  for (char c : key) {
    auto code = static_cast<unsigned char>(c);
    if (code >= 128 && code <= 227) {
      int value = code & 127;
      text += static_cast<char>('0' + value / 10);
      text += static_cast<char>('0' + value % 10);
    } else {
      text += c;
    }
  }
  return text;
}

env::Status LockKey(std::string_view name, std::string_view key) {
  std::string text = LockKeyText(key);
  return AcquireLock(name, "k", text, text);
}

env::Status RelockKey(std::string_view name, std::string_view key) {
  std::string text = LockKeyText(key);
  return Acquire(name, 'K', text, text, true);
}

env::Status ReleaseLock(std::string_view name) {
  LoadLockIdentity();
  Waiter waiter;
  // The same table name as when locking: names are found whatever their case
  // here, and an upper-cased name could create a twin table before the first lock.
  env::Status failure;
  LockStore file = OpenTable(name, waiter, &failure);
  if (!failure.ok()) return failure;
  if (!file.IsOpen()) return Cancelled(name);
  Table table;
  if (!ReadTable(file, &table)) return LocksOnServer() ? StoreFailure(name) : env::LastFileStatus();
  size_t latest = LatestOwnSlot(table.bytes, IdentityFields());
  if (latest == table.bytes.size() / kLockSlotSize) {
    return env::Status(env::Code::kNotFound, {}, TablePath(name));
  }
  if (BlankSlot(file, table.bytes, latest)) return env::OkStatus();
  return LocksOnServer() ? StoreFailure(name) : env::LastFileStatus();
}

KeyLockRun::KeyLockRun(std::string_view name) : name_(util::Trim(name)) {}

KeyLockRun::~KeyLockRun() { Close(); }

env::Status KeyLockRun::Lock(std::string_view key, bool* at_once) {
  *at_once = false;
  const std::string text = LockKeyText(key);
  if (!table_.IsOpen()) {
    // The first key of the run, or the first after a wait: the table is
    // opened and this holder's liveness made sure of, once for the keys
    // that follow. The receipt read before may have changed meanwhile.
    LoadLockIdentity();
    if (LivenessHeld()) {
      Waiter waiter;
      env::Status failure;
      table_ = OpenTable(name_, waiter, &failure);
      if (!failure.ok()) return failure;
      if (table_.IsOpen() && !ReadTable(table_, &copy_)) table_.Close();
    }
    if (!table_.IsOpen()) return Visit(key);
  } else {
    *at_once = true;
  }
  if (LockInTable(table_, copy_, 'K', text, text, holding_) == Attempt::kHeld) {
    holding_ = true;
    return env::OkStatus();
  }
  // Another holder's lock overlaps the key (the slot held before is given
  // back by now): the table goes back to the others, who may be about to
  // free it, and the key is waited for as LockKey waits.
  *at_once = false;
  holding_ = false;
  table_.Close();
  return Visit(key);
}

env::Status KeyLockRun::Visit(std::string_view key) {
  env::Status held = holding_ ? RelockKey(name_, key) : LockKey(name_, key);
  holding_ = held.ok();
  return held;
}

void KeyLockRun::Release() {
  if (!holding_) return;
  holding_ = false;
  if (!table_.IsOpen()) {
    // A lock left over is freed when this holder ends or after 30 minutes.
    static_cast<void>(ReleaseLock(name_));
    return;
  }
  const size_t latest = LatestOwnSlot(copy_.bytes, IdentityFields());
  if (latest < copy_.bytes.size() / kLockSlotSize && !BlankSlot(table_, copy_.bytes, latest)) {
    table_.Close();  // read afresh by the next key
  }
}

void KeyLockRun::Close() {
  Release();
  table_.Close();
}

fs::File OpenLockTable(std::string_view folder, std::string_view name) {
  Waiter waiter;
  return OpenTableFile(folder, name, waiter);
}

env::StatusOr<std::string> LockTableSlots(std::string_view name) {
  std::string bytes;
  if (LocksOnServer()) {
    if (!platform::recman::lock_server::ReadSlots(ServerTableName(TableName(name)), kLockSlotSize,
                                                  &bytes)) {
      return StoreFailure(name);
    }
    return bytes;
  }
  const std::string path = TablePath(name);
  const std::string host = fs::HostPath(path);
  fs::File file;
  // Shared: a visit of a moment may have the table; a missing table has no slots.
  int error = host.empty() ? fs::kErrorFileNotFound : file.Open(host, fs::File::kRead, false);
  if (error == fs::kErrorFileNotFound || error == fs::kErrorPathNotFound) return bytes;
  if (error != 0) return env::Status(env::Code::kFileError, {}, path);
  char buffer[4096];
  for (int64_t at = 0;;) {
    const int64_t got = file.ReadAt(at, buffer, sizeof buffer);
    if (got < 0) return env::Status(env::Code::kFileError, {}, path);
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
    at += got;
  }
  return bytes;
}

int32_t MinutesNow() {
  platform::LocalTime now = platform::LocalNow();
  int64_t y = now.year;
  int64_t m = now.month;
  int64_t d = now.day;
  if (m < 3) {
    y -= 1;
    m += 12;
  }
  m -= 3;
  int64_t day = d + (153 * m + 2) / 5 + (146097 * (y / 100)) / 4 + (1461 * (y % 100)) / 4 + 1721119;
  int64_t seconds = now.hour * 3600 + now.minute * 60 + now.second;
  return static_cast<int32_t>((day - 2440588) * 1440 + seconds / 60);
}

}  // namespace files
