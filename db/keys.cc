// What the file's statistics tell about its keys: key lengths, and the
// sort form of key values.
#include <algorithm>
#include <vector>

#include "db/records.h"
#include "db/table.h"
#include "platform/recman/btrcall.h"
#include "util/little_endian.h"

namespace db {
namespace {

namespace rm = platform::recman;

constexpr size_t kAlternateTableAt = 9;  // after the signature and the name
constexpr size_t kStatBufferSize = 8192;

uint16_t Get16(const std::string& b, size_t at) {
  return at + 2 > b.size() ? 0 : util::GetLe16(b, at);
}

}  // namespace

namespace internal {

// Stat (15) of an open file, its key blocks read no further than
// the bytes the record manager returned.
KeyLayout ReadKeyLayout(Slot& slot) {
  KeyLayout s;
  std::string data(kStatBufferSize, '\0');
  uint32_t length = static_cast<uint32_t>(data.size());
  std::string key(internal::kKeyBufferSize, '\0');
  int16_t st = internal::Call(platform::recman::kStat, slot.block.data(), data, length, key, 0);
  if (st != 0 || length < rm::kFileSpecSize) return s;
  data.resize(length);
  s.ok = true;
  s.record_length = Get16(data, 0);
  uint16_t key_count = Get16(data, 4);
  size_t at = rm::kFileSpecSize;
  for (uint16_t k = 0; k < key_count && at + rm::kKeySpecSize <= data.size(); ++k) {
    std::vector<internal::SegmentSpec> segments;
    for (;;) {
      if (at + rm::kKeySpecSize > data.size()) break;
      internal::SegmentSpec seg{Get16(data, at + 2), Get16(data, at + 4)};
      segments.push_back(seg);
      at += rm::kKeySpecSize;
      if ((seg.flags & rm::kKeySegmented) == 0) break;
    }
    s.keys.push_back(std::move(segments));
  }
  if (at + kAlternateTableAt + 256 <= data.size() && static_cast<unsigned char>(data[at]) == 0xAC) {
    s.alternate = data.substr(at + kAlternateTableAt, 256);
  }
  return s;
}

}  // namespace internal

namespace {

const internal::KeyLayout& LayoutOf(internal::Slot& slot) {
  if (!slot.layout.ok) slot.layout = internal::ReadKeyLayout(slot);
  return slot.layout;
}

}  // namespace

void FileStatistics(int16_t file_number, int16_t key_number, int16_t& key_length,
                    int32_t& record_length) {
  key_length = 0;
  record_length = 0;
  internal::Slot* slot = internal::OpenSlot(file_number);
  if (slot == nullptr) return;
  const internal::KeyLayout& s = LayoutOf(*slot);
  if (!s.ok) return;
  record_length = s.record_length;
  if (key_number < 0 || static_cast<size_t>(key_number) >= s.keys.size()) return;
  int total = 0;
  for (const internal::SegmentSpec& seg : s.keys[static_cast<size_t>(key_number)]) total += seg.length;
  key_length = static_cast<int16_t>(total > 255 ? 255 : total);
}

std::string KeySortForm(std::string_view key_text, int16_t file_number) {
  std::string text(key_text);
  internal::Slot* slot = internal::OpenSlot(file_number);
  if (slot == nullptr) return text;
  const internal::KeyLayout& s = LayoutOf(*slot);
  if (slot->key_number < 0 || static_cast<size_t>(slot->key_number) >= s.keys.size()) return text;
  size_t q = 0;  // 0-based here
  for (const internal::SegmentSpec& seg : s.keys[static_cast<size_t>(slot->key_number)]) {
    size_t end = q + seg.length;
    if ((seg.flags & rm::kKeyBinary) != 0) {
      // Binary numbers are kept low byte first; high byte first compares.
      if (text.size() < end) text.resize(end, '\0');
      std::reverse(text.begin() + static_cast<std::ptrdiff_t>(q),
                   text.begin() + static_cast<std::ptrdiff_t>(end));
    } else if ((seg.flags & rm::kKeyAlternate) != 0 && !s.alternate.empty()) {
      for (size_t i = q; i < end && i < text.size(); ++i) {
        text[i] = s.alternate[static_cast<unsigned char>(text[i])];
      }
    }
    q = end;
  }
  return text;
}

void CurrentKeyValue(int16_t file_number, std::string& result) {
  internal::Slot* slot = internal::OpenSlot(file_number);
  if (slot == nullptr) {
    result.clear();
    return;
  }
  result = KeySortForm(slot->key_value, file_number);
}

}  // namespace db
