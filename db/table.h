// The open-file table shared by the files of the layer. Not for callers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "db/records.h"
#include "platform/recman/btrcall.h"

namespace db::internal {

// Work areas of a call: the data buffer holds any record of the files the
// program uses (and grows for a longer one), the key buffer any key.
inline constexpr size_t kDataBufferSize = 1536;
inline constexpr size_t kKeyBufferSize = 255;

// What the file's statistics say about its keys. The creation
// buffer never changes while the file exists, so it is read once at
// open rather than at every get (statistics also count the records).
struct SegmentSpec {
  uint16_t length = 0;
  uint16_t flags = 0;
};

struct KeyLayout {
  bool ok = false;
  uint16_t record_length = 0;
  std::vector<std::vector<SegmentSpec>> keys;
  std::string alternate;  // the 256-byte table, empty when the file has none
};

struct Slot {
  int16_t file_number = 0;  // 0: free
  // The record manager's position block, in a 129-byte area.
  std::array<char, platform::recman::kPositionBlockSize + 1> block{};
  std::string* record = nullptr;
  int32_t record_length = 0;
  int16_t key_number = 0;
  std::string key_value;
  int16_t lock_mode = 0;
  KeyLayout layout;
};

// Slot 0 is the scratch block of create and reset; 1..kMaxOpenFiles hold
// the files.
std::array<Slot, kMaxOpenFiles + 1>& Table();

// The slot of file_number, or minus the first free slot, or 0 when the
// number is not there and no slot is free.
int FindSlot(int16_t file_number);
// The slot of an open file, nullptr otherwise.
Slot* OpenSlot(int16_t file_number);

// Reads the key layout of an open file through statistics (15).
KeyLayout ReadKeyLayout(Slot& slot);

// BTRCALL with a key buffer of at most 255 bytes taken from key (the rest
// zero); key comes back as the whole buffer.
int16_t Call(uint16_t operation, char* block, std::string& data, uint32_t& data_length,
             std::string& key, int8_t key_number);

}  // namespace db::internal
