#include "util/little_endian.h"

#include <gtest/gtest.h>

#include <string>

namespace util {
namespace {

// The low byte comes first, and bytes above 127 are never taken as negative.
TEST(LittleEndian, LowByteFirstAndEveryBitKept) {
  EXPECT_EQ(Le16(0x1234), std::string("\x34\x12", 2));
  EXPECT_EQ(Le32(0xFEDCBA98u), std::string("\x98\xBA\xDC\xFE", 4));
  std::string bytes = "ab" + Le32(0x80FF7F01u) + Le16(0xFF80) + "z";
  EXPECT_EQ(GetLe32(bytes, 2), 0x80FF7F01u);
  EXPECT_EQ(GetLe16(bytes, 6), 0xFF80);
  PutLe16(bytes, 0, 0x0102);
  PutLe32(bytes, 4, 0xA0B0C0D0u);
  EXPECT_EQ(bytes, std::string("\x02\x01\x01\x7F\xD0\xC0\xB0\xA0" "z", 9));
  EXPECT_EQ(GetLe16(bytes), 0x0102);
}

}  // namespace
}  // namespace util
