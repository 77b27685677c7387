#include "db/table.h"

#include <algorithm>

namespace db::internal {

std::array<Slot, kMaxOpenFiles + 1>& Table() {
  // Process-wide: the files open in the record layer outlive every call.
  static std::array<Slot, kMaxOpenFiles + 1> table;
  return table;
}

int FindSlot(int16_t file_number) {
  auto& table = Table();
  int first_free = 0;
  for (int i = 1; i <= kMaxOpenFiles; ++i) {
    if (file_number != 0 && table[static_cast<size_t>(i)].file_number == file_number) return i;
    if (first_free == 0 && table[static_cast<size_t>(i)].file_number == 0) first_free = i;
  }
  return -first_free;
}

Slot* OpenSlot(int16_t file_number) {
  int i = FindSlot(file_number);
  return i > 0 ? &Table()[static_cast<size_t>(i)] : nullptr;
}

int16_t Call(uint16_t operation, char* block, std::string& data, uint32_t& data_length,
             std::string& key, int8_t key_number) {
  if (key.size() > kKeyBufferSize) key.resize(kKeyBufferSize);
  data_length = std::min<uint32_t>(data_length, static_cast<uint32_t>(data.size()));
  return BTRCALL(operation, block, data.data(), &data_length, key.data(),
                 static_cast<uint8_t>(key.size()), key_number);
}

}  // namespace db::internal
