// Digests checked against Python's hashlib and sha256sum over the lengths
// where the padding changes (55 and 56 bytes fit the length in one block or
// spill into a second, 64 fills one exactly) and a long text fed in uneven
// pieces.
#include "util/sha256.h"

#include <gtest/gtest.h>

namespace util {
namespace {

// n bytes of (7i + 3) mod 256, as hashlib.sha256(bytes((i*7+3)%256 for i
// in range(n))) was given them.
std::string Pattern(size_t n) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 7 + 3) % 256);
  return bytes;
}

TEST(Sha256Test, DigestsAreThoseOfHashlib) {
  struct Case {
    std::string bytes;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {Pattern(55), "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
      {Pattern(56), "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
      {Pattern(63), "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
      {Pattern(64), "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
      {Pattern(65), "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
      {Pattern(119), "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
      {Pattern(120), "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
      {Pattern(1000000), "1dc6622e2b0d38fe9e646130ff9014746cfa84d65e17c919e2834277d318c78a"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sha256Hex(c.bytes), c.digest) << c.bytes.size() << " bytes";
    // The same bytes in pieces of 1, 2, 3 ... bytes.
    Sha256 pieces;
    size_t at = 0;
    for (size_t n = 1; at < c.bytes.size(); ++n) {
      pieces.Update(std::string_view(c.bytes).substr(at, n));
      at += n;
    }
    EXPECT_EQ(pieces.HexDigest(), c.digest) << c.bytes.size() << " bytes in pieces";
  }
}

}  // namespace
}  // namespace util
