// Gets, moves, inserts and deletes through one common call that applies the
// file's lock mode and waits out locks held by other terminals.
#include <random>

#include "db/records.h"
#include "db/table.h"
#include "platform/fs/files.h"
#include "platform/process/clock.h"
#include "platform/recman/btrcall.h"
#include "platform/recman/store.h"
#include "util/little_endian.h"

namespace db {

// Process-wide: pushed by one call and popped by a later one.
std::string LockModeStack;

namespace {

using internal::Slot;
namespace rm = platform::recman;

constexpr int kNoWaitLockBias = 200;
constexpr int kMaxRetryWaitMs = 10000;
// The pause between two tries at a file another terminal is writing.
constexpr int kFileInUseStepMs = 50;
// The locked-file message stands at the foot of the screen.
constexpr int16_t kMessageRow = 24;

bool TakesLockBias(int op) {
  return (op >= 5 && op <= 13) || op == 19 || (op >= 22 && op <= 24) || (op >= 33 && op <= 35);
}

int RandomWaitMs() {
  // Process-wide: seeded once, it draws on across every wait of the run.
  static std::mt19937 generator(static_cast<uint32_t>(platform::SteadyMilliseconds()));
  std::uniform_int_distribution<int> pick(1, kMaxRetryWaitMs);
  return pick(generator);
}

std::string KeyBuffer(const Slot& slot, int op) {
  op %= 100;  // the lock bias does not change what the key is compared with
  std::string key = slot.key_value;
  char fill = ' ';
  if (op == rm::kGetGreater || op == rm::kGetGreaterOrEqual) fill = '\0';
  if (op == rm::kGetLess || op == rm::kGetLessOrEqual) fill = '\xFF';
  // The record manager reads the key's own length of it; the padding only
  // matters for what lies beyond the value.
  key.resize(internal::kKeyBufferSize, fill);
  return key;
}

// The common call of every get, insert and delete. The record goes to and
// comes from the caller's buffer; the key value is what the record manager
// leaves in the key buffer.
int16_t CommonCall(Slot& slot, int op) {
  if (TakesLockBias(op) && slot.lock_mode != kNoLocking) op += kNoWaitLockBias;
  ui::OperatorWait wait(Hooks.wait, kMessageRow, FileLockedMessage());
  // A file another terminal is writing: the program has the record
  // manager hand that back (85) after a moment instead of waiting inside
  // the call, where the operator sees nothing and cannot leave. Here the
  // wait shows its message and takes Escape; without lock-and-wait it
  // lasts no longer than the record manager's own wait would.
  const int64_t give_up_at = platform::SteadyMilliseconds() + rm::kDefaultBusyTimeoutMs;
  int16_t status = 0;
  size_t record_length = static_cast<size_t>(slot.record_length);
  for (;;) {
    std::string key = KeyBuffer(slot, op);
    std::string data(std::max(internal::kDataBufferSize, record_length), '\0');
    data.replace(0, std::min(record_length, slot.record->size()), *slot.record, 0,
                 std::min(record_length, slot.record->size()));
    uint32_t length = static_cast<uint32_t>(op % 100 == rm::kInsert ? record_length : data.size());
    uint8_t key_length = static_cast<uint8_t>(std::min(slot.key_value.size(), internal::kKeyBufferSize));
    status = BTRCALL(static_cast<uint16_t>(op), slot.block.data(), data.data(), &length,
                     key.data(), key_length, static_cast<int8_t>(slot.key_number));
    // Only what the file's record holds goes back to the caller: a short
    // read leaves the rest of the buffer as it was.
    size_t returned = std::min<size_t>(length, record_length);
    if (slot.record->size() < record_length) slot.record->resize(record_length, '\0');
    slot.record->replace(0, returned, data, 0, returned);
    slot.key_value = key.substr(0, slot.key_value.size());
    if ((status == kRecordInUse || status == kFileInUse) && slot.lock_mode == kLockAndWait) {
      wait.Tell();
      // The wait is unbounded as far as the other terminal is concerned, but
      // the operator may give up with Escape: the status then goes back.
      if (wait.Pause(RandomWaitMs())) continue;
    } else if (status == kFileInUse && platform::SteadyMilliseconds() < give_up_at) {
      wait.Tell();
      if (wait.Pause(kFileInUseStepMs)) continue;
    }
    break;
  }
  return status;
}

void AppendLog(int16_t file_number, int16_t status) {
  // The log lives in the current directory; a log that cannot be written
  // does not stop the insert, which has happened already.
  platform::fs::AppendToFile("db.log", LogLine(file_number, rm::kInsert, status));
}

}  // namespace

void GetByKey(int16_t file_number, int16_t key_number, std::string_view key_value,
              int16_t direction, int16_t& status) {
  Slot* slot = internal::OpenSlot(file_number);
  if (slot == nullptr) {
    status = kNotInTable;
    return;
  }
  int16_t key_length = 0;
  int32_t record_length = 0;
  FileStatistics(file_number, key_number, key_length, record_length);
  if (key_length == 0) {
    status = kNoSuchKey;
    return;
  }
  slot->key_number = key_number;
  slot->key_value = std::string(key_value.substr(0, static_cast<size_t>(key_length)));
  slot->key_value.resize(static_cast<size_t>(key_length), '\0');
  int op = direction == 0 ? rm::kGetEqual : direction > 0 ? rm::kGetGreaterOrEqual
                                                           : rm::kGetLessOrEqual;
  status = CommonCall(*slot, op);
}

void MoveRecords(int16_t file_number, int32_t count, int16_t& status) {
  Slot* slot = internal::OpenSlot(file_number);
  if (slot == nullptr) {
    status = kNotInTable;
    return;
  }
  status = 0;
  if (count == 0) return;
  int op = count > 0 ? rm::kGetNext : rm::kGetPrevious;
  int64_t moves = count > 0 ? count : -static_cast<int64_t>(count);
  // The moves before the last skip records without handing them over; the
  // data buffer is too short on purpose, so 22 is what success looks like.
  for (int64_t i = 1; i < moves; ++i) {
    std::string data(1, '\0');
    uint32_t length = 1;
    std::string key = KeyBuffer(*slot, op);
    uint8_t key_length = static_cast<uint8_t>(std::min(slot->key_value.size(), internal::kKeyBufferSize));
    int16_t st = BTRCALL(static_cast<uint16_t>(op), slot->block.data(), data.data(), &length,
                         key.data(), key_length, static_cast<int8_t>(slot->key_number));
    if (st == kDataBufferTooShort) st = 0;
    if (st != 0) {
      status = st;
      return;
    }
    slot->key_value = key.substr(0, slot->key_value.size());
  }
  status = CommonCall(*slot, op);
}

void InsertRecord(int16_t file_number, int16_t& status) {
  Slot* slot = internal::OpenSlot(file_number);
  if (slot == nullptr) {
    status = kNotInTable;
    return;
  }
  status = CommonCall(*slot, rm::kInsert);
  AppendLog(file_number, status);
  if (status != 0) slot->key_value.assign(slot->key_value.size(), '\0');
}

void DeleteCurrent(int16_t file_number, int16_t& status) {
  Slot* slot = internal::OpenSlot(file_number);
  if (slot == nullptr) {
    status = kNotInTable;
    return;
  }
  status = CommonCall(*slot, rm::kDelete);
  if (status != 0) slot->key_value.assign(slot->key_value.size(), '\0');
}

void DeleteAndNext(int16_t file_number, int16_t& status) {
  Slot* slot = internal::OpenSlot(file_number);
  if (slot == nullptr) {
    status = kNotInTable;
    return;
  }
  status = CommonCall(*slot, rm::kDeleteGetNext);
}

int16_t PositionRecord(int16_t file_number, int32_t& position) {
  Slot* slot = internal::OpenSlot(file_number);
  if (slot == nullptr) return kNotInTable;
  if (position == 0) {
    std::string data(4, '\0');
    uint32_t length = 4;
    std::string key = KeyBuffer(*slot, rm::kGetPosition);
    uint8_t key_length = static_cast<uint8_t>(std::min(slot->key_value.size(), internal::kKeyBufferSize));
    int16_t st = BTRCALL(rm::kGetPosition, slot->block.data(), data.data(), &length, key.data(),
                         key_length, static_cast<int8_t>(slot->key_number));
    if (st == 0) {
      position = static_cast<int32_t>(util::GetLe32(data));
    }
    return st;
  }
  // Get direct takes the position in the first four bytes of the data
  // buffer and returns the record there.
  size_t record_length = static_cast<size_t>(slot->record_length);
  std::string data(std::max(internal::kDataBufferSize, record_length), '\0');
  auto p = static_cast<uint32_t>(position);
  for (size_t i = 0; i < 4; ++i) data[i] = static_cast<char>((p >> (8 * i)) & 0xFF);
  uint32_t length = static_cast<uint32_t>(data.size());
  std::string key = KeyBuffer(*slot, rm::kGetDirect);
  uint8_t key_length = static_cast<uint8_t>(std::min(slot->key_value.size(), internal::kKeyBufferSize));
  int op = rm::kGetDirect + (slot->lock_mode != kNoLocking ? kNoWaitLockBias : 0);
  int16_t st = BTRCALL(static_cast<uint16_t>(op), slot->block.data(), data.data(), &length,
                       key.data(), key_length, static_cast<int8_t>(slot->key_number));
  if (st == kDataBufferTooShort) st = 0;
  if (st == 0) {
    size_t returned = std::min<size_t>(length, record_length);
    if (slot->record->size() < record_length) slot->record->resize(record_length, '\0');
    slot->record->replace(0, returned, data, 0, returned);
    slot->key_value = key.substr(0, slot->key_value.size());
  }
  return st;
}

void SetFileOptions(int16_t file_number, std::string_view options, int16_t& status) {
  Slot* slot = internal::OpenSlot(file_number);
  if (slot == nullptr) {
    status = kNotInTable;
    return;
  }
  status = 0;
  for (char c : options) {
    switch (c) {
      case 'D': case 'd': slot->lock_mode = kNoLocking; break;
      case 'A': case 'a': slot->lock_mode = kLockAndWait; break;
      case 'B': case 'b': slot->lock_mode = kLockNoWait; break;
      case '+': LockModeStack += static_cast<char>(slot->lock_mode); break;
      case '-':
        // Popping an empty stack leaves the mode as it is.
        if (!LockModeStack.empty()) {
          slot->lock_mode = static_cast<int16_t>(LockModeStack.back());
          LockModeStack.pop_back();
        }
        break;
      default: break;
    }
  }
}

std::string* RecordBuffer(int16_t file_number) {
  Slot* slot = internal::OpenSlot(file_number);
  return slot == nullptr ? nullptr : slot->record;
}

int16_t FileLockMode(int16_t file_number) {
  Slot* slot = internal::OpenSlot(file_number);
  return slot == nullptr ? 0 : slot->lock_mode;
}

namespace {

int16_t TransactionCall(int op) {
  std::string data;
  std::string key;
  uint32_t length = 0;
  return internal::Call(static_cast<uint16_t>(op), internal::Table()[0].block.data(), data, length,
                        key, 0);
}

}  // namespace

void BeginTransaction(int16_t& status) { status = TransactionCall(rm::kBeginTransaction); }
void EndTransaction(int16_t& status) { status = TransactionCall(rm::kEndTransaction); }
void AbortTransaction(int16_t& status) { status = TransactionCall(rm::kAbortTransaction); }

}  // namespace db
