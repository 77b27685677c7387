#include "platform/recman/status.h"
#include "platform/recman/call.h"

#include <algorithm>
#include <cstring>

#include "util/little_endian.h"

namespace platform::recman::ops {

State& St() {
  // Process-wide: the record manager's handles, shared by every thread.
  static State state;
  return state;
}

uint32_t Get32(const void* p) {
  return util::GetLe32(std::string_view(static_cast<const char*>(p), 4));
}

void Put32(void* p, uint32_t v) { std::memcpy(p, util::Le32(v).data(), 4); }

Handle* HandleOf(void* block, int* index) {
  if (block == nullptr) return nullptr;
  auto* b = static_cast<unsigned char*>(block);
  if (std::memcmp(b, kMagic, 4) != 0) return nullptr;
  uint32_t i = Get32(b + 4);
  uint32_t generation = Get32(b + 8);
  State& s = St();
  if (i >= s.handles.size()) return nullptr;
  Handle& h = s.handles[i];
  if (!h.used || h.generation != generation) return nullptr;
  *index = static_cast<int>(i);
  return &h;
}

void SetDataLength(Call& c, uint32_t n) {
  if (c.data_length != nullptr) *c.data_length = n;
}

int16_t ReturnData(Call& c, std::string_view record) {
  size_t n = std::min<size_t>(record.size(), c.data_size);
  if (n > 0) std::memcpy(c.data, record.data(), n);
  SetDataLength(c, static_cast<uint32_t>(n));
  return n < record.size() ? 22 : 0;
}

void ReturnKey(Call& c, const Key& key, std::string_view record) {
  std::string raw = RawKey(key, record);
  if (raw.size() <= c.key_size) std::memcpy(c.key, raw.data(), raw.size());
}

std::string KeyColumn(int k) {
  std::string name = "k";
  name += std::to_string(k);
  return name;
}
void ReleaseLock(Call& c, int64_t id) {
  Handle& h = *c.h;
  auto it = h.file->record_locks.find(id);
  if (it != h.file->record_locks.end() && it->second == c.index) {
    h.file->record_locks.erase(it);
    UnlockRecord(h.file, id);
  }
  if (h.single_lock == id) h.single_lock = 0;
  h.multiple_locks.erase(id);
}

void ReleaseAllLocks(Call& c) {
  Handle& h = *c.h;
  if (h.single_lock != 0) ReleaseLock(c, h.single_lock);
  std::set<int64_t> ids = h.multiple_locks;
  for (int64_t id : ids) ReleaseLock(c, id);
}

bool SingleBias(uint16_t bias) { return bias == 100 || bias == 200; }

int16_t TakeLock(Call& c, int64_t id) {
  Handle& h = *c.h;
  auto it = h.file->record_locks.find(id);
  if (it != h.file->record_locks.end()) {
    if (it->second != c.index) return kRecordInUse;  // another position block of ours
  } else {
    if (int16_t st = LockRecord(h.file, id, c.bias == 100 || c.bias == 300)) return st;
    h.file->record_locks[id] = c.index;
  }
  // A record held under both kinds stays held as a multiple lock: the
  // next single-locked read must not take it away.
  if (h.multiple_locks.count(id) != 0) return 0;
  if (SingleBias(c.bias)) {
    h.single_lock = id;
  } else {
    if (h.single_lock == id) h.single_lock = 0;
    h.multiple_locks.insert(id);
  }
  return 0;
}

int16_t GuardRecord(Call& c, int64_t id, bool* passing) {
  *passing = false;
  File* f = c.h->file;
  auto it = f->record_locks.find(id);
  if (it != f->record_locks.end()) return it->second == c.index ? 0 : 84;
  // Inside the transaction no other process writes the file until it ends,
  // and a lock taken for the moment of the change would be gone before the
  // commit anyway: a look at the byte does, at half the system calls.
  if (f->in_transaction) return RecordHeldElsewhere(f, id);
  int16_t st = LockRecord(f, id, false);
  if (st == kRecordInUse) return kRecordInUse;
  *passing = st == 0;
  return 0;
}
bool SearchOf(uint16_t base, Search* search, int16_t* not_found) {
  *not_found = kEndOfFile;
  switch (base) {
    case kGetEqual:
      *search = kSearchEqual;
      *not_found = kKeyNotFound;
      return true;
    case kGetGreater:
      *search = kSearchGreater;
      return true;
    case kGetGreaterOrEqual:
      *search = kSearchGreaterOrEqual;
      return true;
    case kGetLess:
      *search = kSearchLess;
      return true;
    case kGetLessOrEqual:
      *search = kSearchLessOrEqual;
      return true;
    case kGetFirst:
      *search = kSearchFirst;
      return true;
    case kGetLast:
      *search = kSearchLast;
      return true;
    default:
      return false;
  }
}

int16_t DeleteGetNextRefusal(const Call& c, const Cursor& cur, const FileLayout& layout, bool read_only) {
  if (read_only) return kAccessDenied;
  if (!cur.current) return kInvalidPositioning;
  if (c.key_number < 0 || static_cast<size_t>(c.key_number) >= layout.keys.size()) {
    return kInvalidKeyNumber;
  }
  if (cur.key != c.key_number) return kKeyNumberChanged;
  if (cur.null_key) return kInvalidPositioning;
  if (c.key_size < layout.keys[static_cast<size_t>(c.key_number)].length) return kKeyBufferTooShort;
  return 0;
}

bool ValidKey(const Call& c) {
  return c.key_number >= 0 &&
         static_cast<size_t>(c.key_number) < c.h->file->layout.keys.size();
}

int16_t RecordFromCaller(Call& c, std::string* record) {
  const FileLayout& layout = c.h->file->layout;
  if (c.data_size < layout.record_length) return kDataBufferTooShort;
  size_t n = (layout.file_flags & kFileVariableLength) != 0 ? c.data_size : layout.record_length;
  record->assign(c.data, n);
  return 0;
}

void PlaceCursor(Cursor& cur, const FileLayout& layout, int key, int64_t id,
                 std::string_view record, const std::optional<std::string>* sort_key) {
  cur.key = key;
  cur.id = id;
  cur.positioned = true;
  cur.current = true;
  cur.data.assign(record);
  if (key < 0 || static_cast<size_t>(key) >= layout.keys.size()) {
    cur.sort_key.clear();
    cur.null_key = true;
  } else if (sort_key != nullptr) {
    cur.null_key = !sort_key->has_value();
    cur.sort_key = sort_key->value_or(std::string());
  } else {
    const Key& k = layout.keys[static_cast<size_t>(key)];
    cur.sort_key = SortForm(layout, k, RawKey(k, record), &cur.null_key);
  }
}

void SetCursor(Call& c, int key, int64_t id, std::string_view record,
               const std::optional<std::string>* sort_key) {
  PlaceCursor(c.h->cursor, c.h->file->layout, key, id, record, sort_key);
}

void BindKeys(Statement& q, const FileLayout& layout, std::string_view record, int first) {
  for (size_t k = 0; k < layout.keys.size(); ++k) {
    bool is_null = false;
    std::string sort = SortForm(layout, layout.keys[k], RawKey(layout.keys[k], record), &is_null);
    int index = first + static_cast<int>(k);
    if (is_null) {
      q.BindNull(index);
    } else {
      q.Bind(index, sort);
    }
  }
}

}  // namespace platform::recman::ops
