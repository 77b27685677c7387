// The creation buffer of a record file (record length, keys and
// their segments, alternate collating sequences) and the sort form of keys:
// every key is kept as a byte string that compares, byte by byte, in the
// order the key's segment types and flags ask for.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/recman/btrcall.h"

namespace platform::recman {

struct Segment {
  uint16_t offset = 0;  // 0-based position in the record
  uint16_t length = 0;
  uint16_t flags = 0;
  uint8_t type = kTypeString;  // effective type (binary flag resolved)
  uint8_t null_value = 0;
  int alternate = -1;  // index into FileLayout::alternates, -1 none
};

struct Key {
  std::vector<Segment> segments;
  uint16_t length = 0;  // sum of the segment lengths
  uint16_t flags = 0;   // flags of the first segment
  bool duplicates = false;
  bool modifiable = false;
  int autoincrement = -1;  // segment index of an autoincrement segment
};

struct FileLayout {
  uint16_t record_length = 0;
  uint16_t page_size = 0;
  uint16_t file_flags = 0;
  std::vector<Key> keys;
  std::vector<std::array<uint8_t, 256>> alternates;
  std::string raw;  // the creation buffer as given, up to its last used byte
};

// Parses a creation buffer. Returns 0 or the classic status of what is
// wrong with it (22 too short, 24 page size, 26 number of keys, 27 key
// position, 28 record length, 29 key length or type, 48 collating sequence).
int16_t ParseCreationBuffer(std::string_view buffer, FileLayout* layout);

// A creation buffer to be written, segment by segment as the buffer lists
// them: the flags go in as given, so every segment of a key but its last
// carries kKeySegmented, and the keys are counted from that.
struct CreationSegment {
  uint16_t position = 0;  // 1-based
  uint16_t length = 0;
  uint16_t flags = 0;
  uint8_t type = kTypeString;  // read with kKeyExtendedType
  uint8_t null_value = 0;
};

struct FileDefinition {
  uint16_t record_length = 0;
  uint16_t page_size = 1024;
  uint16_t file_flags = 0;
  std::vector<CreationSegment> segments;
  // One alternate collating sequence when the table is given: 256 bytes,
  // the sort value of each character. The name is blank-padded or cut to 8.
  std::string alternate_name;
  std::string alternate_table;
};

// The creation buffer ParseCreationBuffer reads: the 16-byte file block,
// one 16-byte block per segment, then the collating sequence (0xAC, name,
// table).
std::string EncodeCreationBuffer(const FileDefinition& definition);

// The key's bytes as the record holds them, segment after segment. The
// record must be at least as long as the fixed part.
std::string RawKey(const Key& key, std::string_view record);

// The sort form of raw key bytes (laid out as RawKey gives them; a shorter
// text is padded with zero bytes). is_null tells that the key is a null key
// and is left out of the index.
std::string SortForm(const FileLayout& layout, const Key& key, std::string_view raw,
                     bool* is_null);

// Whether an update from before to after changes a key that may not change
// (its sort form, or whether it is a null key).
bool ChangesFixedKey(const FileLayout& layout, std::string_view before, std::string_view after);

// The value of the autoincrement segment in raw key bytes, and the raw key
// with that segment set to value.
int64_t AutoIncrementValue(const Segment& segment, std::string_view record);
void SetAutoIncrement(const Segment& segment, int64_t value, std::string* record);

}  // namespace platform::recman
