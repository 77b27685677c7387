// Numbers kept low byte first inside byte strings: the fields of creation
// buffers and record statistics, the headers of the window and list files,
// the key codes of a key set and the lengths of the text stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace util {

// The number in the 2 or 4 bytes at offset at; the caller makes sure that
// the bytes are there.
inline uint16_t GetLe16(std::string_view bytes, size_t at = 0) {
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                               static_cast<unsigned char>(bytes[at + 1]) << 8);
}

inline uint32_t GetLe32(std::string_view bytes, size_t at = 0) {
  return static_cast<uint32_t>(GetLe16(bytes, at)) |
         static_cast<uint32_t>(GetLe16(bytes, at + 2)) << 16;
}

// Overwrites the 2 or 4 bytes at offset at, which must be there.
inline void PutLe16(std::string& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

inline void PutLe32(std::string& bytes, size_t at, uint32_t value) {
  PutLe16(bytes, at, static_cast<uint16_t>(value & 0xFFFF));
  PutLe16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

// The 2 or 4 bytes of a number, to be appended or written out.
inline std::string Le16(uint16_t value) {
  std::string bytes(2, '\0');
  PutLe16(bytes, 0, value);
  return bytes;
}

inline std::string Le32(uint32_t value) {
  std::string bytes(4, '\0');
  PutLe32(bytes, 0, value);
  return bytes;
}

}  // namespace util
