#include "platform/recman/status.h"
#include "platform/recman/keyspec.h"

#include <algorithm>

#include "util/basics.h"
#include "util/little_endian.h"

namespace platform::recman {
namespace {

uint8_t U8(std::string_view b, size_t at) { return static_cast<uint8_t>(b[at]); }

// 0 when the segment's type and length go together, else 29.
int16_t CheckSegmentType(const Segment& s) {
  switch (s.type) {
    case kTypeString:
    case kTypeZString:
    case kTypeLString:
    case kTypeUnsignedBinary:
      return 0;
    case kTypeInteger:
      return (s.length == 1 || s.length == 2 || s.length == 4 || s.length == 8) ? 0 : 29;
    case kTypeAutoIncrement:
      return (s.length == 2 || s.length == 4 || s.length == 8) ? 0 : 29;
    case kTypeFloat:
      return (s.length == 4 || s.length == 8) ? 0 : 29;
    case kTypeDate:
    case kTypeTime:
      return s.length == 4 ? 0 : 29;
    case kTypeLogical:
      return (s.length == 1 || s.length == 2) ? 0 : 29;
    default:
      // Decimal, money, numeric and the rest are refused rather than
      // sorted in a wrong order.
      return kKeyLengthError;
  }
}

bool IsText(uint8_t type) {
  return type == kTypeString || type == kTypeZString || type == kTypeLString;
}

const std::array<uint8_t, 256>& UpperTable() {
  static const std::array<uint8_t, 256> table = [] {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
      t[static_cast<size_t>(i)] =
          static_cast<uint8_t>(util::UpperCaseChar(static_cast<char>(i)));
    }
    return t;
  }();
  return table;
}

// Text bytes through the segment's collating sequence or upper-casing.
void CollateText(const FileLayout& layout, const Segment& s, std::string* text) {
  const std::array<uint8_t, 256>* table = nullptr;
  if ((s.flags & kKeyAlternate) != 0 && s.alternate >= 0) {
    table = &layout.alternates[static_cast<size_t>(s.alternate)];
  } else if ((s.flags & kKeyCaseInsensitive) != 0) {
    table = &UpperTable();
  }
  if (table == nullptr) return;
  for (char& c : *text) c = static_cast<char>((*table)[static_cast<uint8_t>(c)]);
}

std::string Reversed(std::string_view bytes) { return std::string(bytes.rbegin(), bytes.rend()); }

std::string SegmentSortForm(const FileLayout& layout, const Segment& s, std::string_view bytes) {
  std::string out;
  switch (s.type) {
    case kTypeString:
      out.assign(bytes);
      CollateText(layout, s, &out);
      break;
    case kTypeZString: {
      size_t end = bytes.find('\0');
      out.assign(bytes.substr(0, end));
      CollateText(layout, s, &out);
      out.resize(bytes.size(), '\0');
      break;
    }
    case kTypeLString: {
      // The first byte counts the text; the count itself does not sort.
      size_t n = std::min<size_t>(static_cast<uint8_t>(bytes[0]), bytes.size() - 1);
      out.assign(bytes.substr(1, n));
      CollateText(layout, s, &out);
      out.resize(bytes.size() - 1, '\0');
      break;
    }
    case kTypeInteger:
    case kTypeAutoIncrement:
      out = Reversed(bytes);
      out[0] = static_cast<char>(static_cast<uint8_t>(out[0]) ^ 0x80);
      break;
    case kTypeFloat:
      out = Reversed(bytes);
      if ((static_cast<uint8_t>(out[0]) & 0x80) != 0) {
        for (char& c : out) c = static_cast<char>(~static_cast<uint8_t>(c));
      } else {
        out[0] = static_cast<char>(static_cast<uint8_t>(out[0]) ^ 0x80);
      }
      break;
    case kTypeDate:  // day, month, year (little-endian)
      out = {bytes[3], bytes[2], bytes[1], bytes[0]};
      break;
    case kTypeTime:  // hundredths, seconds, minutes, hours
    case kTypeUnsignedBinary:
    case kTypeLogical:
    default:
      out = Reversed(bytes);
      break;
  }
  if ((s.flags & kKeyDescending) != 0) {
    for (char& c : out) c = static_cast<char>(~static_cast<uint8_t>(c));
  }
  return out;
}

bool AllNull(const Segment& s, std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [&](char c) { return static_cast<uint8_t>(c) == s.null_value; });
}

}  // namespace

std::string EncodeCreationBuffer(const FileDefinition& definition) {
  std::string b(kFileSpecSize, '\0');
  util::PutLe16(b, 0, definition.record_length);
  util::PutLe16(b, 2, definition.page_size);
  uint16_t keys = 0;
  for (const CreationSegment& s : definition.segments) {
    if ((s.flags & kKeySegmented) == 0) ++keys;
  }
  util::PutLe16(b, 4, keys);
  util::PutLe16(b, 10, definition.file_flags);
  for (const CreationSegment& s : definition.segments) {
    std::string block(kKeySpecSize, '\0');
    util::PutLe16(block, 0, s.position);
    util::PutLe16(block, 2, s.length);
    util::PutLe16(block, 4, s.flags);
    block[10] = static_cast<char>(s.type);
    block[11] = static_cast<char>(s.null_value);
    b += block;
  }
  if (!definition.alternate_table.empty()) {
    std::string name = definition.alternate_name;
    name.resize(8, ' ');
    std::string table = definition.alternate_table;
    table.resize(256, '\0');
    b += static_cast<char>(kAlternateSignature) + name + table;
  }
  return b;
}

int16_t ParseCreationBuffer(std::string_view b, FileLayout* layout) {
  *layout = FileLayout();
  if (b.size() < kFileSpecSize) return kDataBufferTooShort;
  layout->record_length = util::GetLe16(b, 0);
  layout->page_size = util::GetLe16(b, 2);
  uint16_t key_count = util::GetLe16(b, 4);
  layout->file_flags = util::GetLe16(b, 10);
  if (layout->record_length == 0) return kRecordLengthError;
  if (layout->page_size < 512 || layout->page_size > 16384 || layout->page_size % 512 != 0) return kPageSizeError;
  if (key_count > kMaxKeys) return kKeyCountError;
  size_t at = kFileSpecSize;
  bool needs_alternate = false;
  std::vector<uint8_t> alternate_numbers;
  for (uint16_t k = 0; k < key_count; ++k) {
    Key key;
    bool more = true;
    while (more) {
      if (at + kKeySpecSize > b.size()) return kDataBufferTooShort;
      Segment s;
      uint16_t position = util::GetLe16(b, at);
      s.length = util::GetLe16(b, at + 2);
      s.flags = util::GetLe16(b, at + 4);
      s.null_value = U8(b, at + 11);
      if ((s.flags & kKeyExtendedType) != 0) {
        s.type = U8(b, at + 10);
      } else {
        s.type = (s.flags & kKeyBinary) != 0 ? kTypeUnsignedBinary : kTypeString;
      }
      if (s.length == 0) return kKeyLengthError;
      if (position < 1 || position + s.length - 1 > layout->record_length) return kKeyPositionError;
      s.offset = static_cast<uint16_t>(position - 1);
      if (int16_t st = CheckSegmentType(s)) return st;
      if ((s.flags & kKeyAlternate) != 0 && IsText(s.type)) {
        needs_alternate = true;
        s.alternate = U8(b, at + 15);  // resolved below
      } else {
        s.flags = static_cast<uint16_t>(s.flags & ~kKeyAlternate);
      }
      // The key's own flags ought to repeat on every segment; a flag on any
      // of them counts for the key.
      if (key.segments.empty()) key.flags = s.flags;
      key.duplicates =
          key.duplicates || (s.flags & (kKeyDuplicates | kKeyRepeatingDuplicates)) != 0;
      key.modifiable = key.modifiable || (s.flags & kKeyModifiable) != 0;
      if (s.type == kTypeAutoIncrement) {
        // The next value is read off the end of the key's index, so the
        // counter must lead its key.
        if (!key.segments.empty()) return kKeyLengthError;
        key.autoincrement = 0;
      }
      key.length = static_cast<uint16_t>(key.length + s.length);
      if (key.length > kMaxKeyLength) return kKeyLengthError;
      more = (s.flags & kKeySegmented) != 0;
      key.segments.push_back(s);
      at += kKeySpecSize;
    }
    layout->keys.push_back(std::move(key));
  }
  while (at + kAlternateSize <= b.size() && U8(b, at) == kAlternateSignature) {
    std::array<uint8_t, 256> table{};
    for (size_t i = 0; i < 256; ++i) table[i] = U8(b, at + 9 + i);
    layout->alternates.push_back(table);
    at += kAlternateSize;
  }
  if (needs_alternate && layout->alternates.empty()) return kInvalidCollatingSequence;
  for (Key& key : layout->keys) {
    for (Segment& s : key.segments) {
      if (s.alternate < 0) continue;
      // One sequence for the whole file is the common case; a number beyond
      // the sequences given falls back to the first.
      if (static_cast<size_t>(s.alternate) >= layout->alternates.size()) s.alternate = 0;
    }
  }
  layout->raw.assign(b.substr(0, at));
  return 0;
}

std::string RawKey(const Key& key, std::string_view record) {
  std::string raw;
  raw.reserve(key.length);
  for (const Segment& s : key.segments) {
    std::string_view part = s.offset < record.size() ? record.substr(s.offset, s.length)
                                                     : std::string_view();
    raw.append(part);
    raw.append(s.length - part.size(), '\0');
  }
  return raw;
}

std::string SortForm(const FileLayout& layout, const Key& key, std::string_view raw_in, bool* is_null) {
  std::string raw(raw_in.substr(0, std::min<size_t>(raw_in.size(), key.length)));
  raw.resize(key.length, '\0');
  std::string out;
  out.reserve(key.length);
  size_t at = 0;
  bool all_null = true;
  bool any_null = false;
  for (const Segment& s : key.segments) {
    std::string_view bytes = std::string_view(raw).substr(at, s.length);
    bool null_segment = AllNull(s, bytes);
    all_null = all_null && null_segment;
    any_null = any_null || null_segment;
    out += SegmentSortForm(layout, s, bytes);
    at += s.length;
  }
  if (is_null != nullptr) {
    *is_null = ((key.flags & kKeyNullAll) != 0 && all_null) ||
               ((key.flags & kKeyNullAny) != 0 && any_null);
  }
  return out;
}

int64_t AutoIncrementValue(const Segment& s, std::string_view record) {
  uint64_t v = 0;
  for (size_t i = s.length; i-- > 0;) {
    v = (v << 8) | static_cast<uint8_t>(record[s.offset + i]);
  }
  // Sign-extend from the segment's width.
  unsigned bits = 8u * s.length;
  if (bits < 64 && (v >> (bits - 1)) != 0) v |= ~uint64_t{0} << bits;
  return static_cast<int64_t>(v);
}

void SetAutoIncrement(const Segment& s, int64_t value, std::string* record) {
  uint64_t v = static_cast<uint64_t>(value);
  for (size_t i = 0; i < s.length; ++i) {
    (*record)[s.offset + i] = static_cast<char>(v & 0xFF);
    v >>= 8;
  }
}

bool ChangesFixedKey(const FileLayout& layout, std::string_view before, std::string_view after) {
  for (const Key& k : layout.keys) {
    if (k.modifiable) continue;
    bool was_null = false;
    bool is_null = false;
    if (SortForm(layout, k, RawKey(k, before), &was_null) !=
            SortForm(layout, k, RawKey(k, after), &is_null) ||
        was_null != is_null) {
      return true;
    }
  }
  return false;
}

}  // namespace platform::recman
