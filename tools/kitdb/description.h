// The readable description of a record file, as kitdb reads it, and the
// creation buffer it stands for. Format: README.md beside this file.
#pragma once

#include "env/status.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kitdb {

// kSkip: a name for keys only (it overlaps fields that dump shows).
enum class FieldKind { kText, kPacked, kInteger, kHex, kSkip };

struct Field {
  std::string name;
  uint16_t position = 0;  // 1-based, as the record manager counts
  uint16_t length = 0;
  FieldKind kind = FieldKind::kText;
};

struct SegmentDef {
  uint16_t position = 0;  // 1-based
  uint16_t length = 0;
  uint16_t flags = 0;     // segment flags except duplicates/modifiable/segmented
  uint8_t type = 0;       // extended type; meaningful with flag 0x100
  uint8_t null_value = 0;
};

struct KeyDef {
  bool duplicates = false;
  bool modifiable = false;
  std::vector<SegmentDef> segments;
};

struct Description {
  uint16_t record_length = 0;
  uint16_t page_size = 1024;
  uint16_t file_flags = 0;
  std::vector<Field> fields;
  std::vector<KeyDef> keys;
  std::string alternate_name;  // empty: no collating sequence
};

// Parses a description; kBadData with "line N: what is wrong" in its words.
env::Status ParseDescription(std::string_view text, Description* description);

// The record manager's creation buffer: the 16-byte file block, one
// 16-byte block per segment, and the collating sequence if any.
std::string CreationSpec(const Description& description);

// A dictionary file: two-byte little-endian length, then the creation
// buffer.
std::string DictionaryBytes(const Description& description);

}  // namespace kitdb
