// The SHA-256 digest (FIPS 180-4) of bytes, fed in pieces of any size. The
// generation keeps the digest of every file it commits, so that a file
// found later can be told to be the very one it wrote.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace util {

class Sha256 {
 public:
  Sha256();
  void Update(std::string_view bytes);
  // The digest as 64 lower-case hexadecimal digits; the object is spent.
  std::string HexDigest();

 private:
  void Block(const unsigned char* block);
  // count blocks of 64 bytes, by the processor's SHA extensions when it has
  // them.
  void Blocks(const unsigned char* data, size_t count);

  std::array<uint32_t, 8> state_;
  std::array<unsigned char, 64> buffer_{};
  size_t buffered_ = 0;
  uint64_t length_ = 0;  // bytes fed
};

// The digest of bytes in one call.
std::string Sha256Hex(std::string_view bytes);

}  // namespace util
