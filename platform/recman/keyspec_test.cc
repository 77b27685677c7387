// The order of every kind of key segment, seen through BTRCALL: values are
// inserted scrambled and read back along the key.
#include "platform/recman/keyspec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/recman/test_support.h"

namespace platform::recman {
namespace {

using testing::Rec;
using testing::SegmentDef;
using testing::SpecBuffer;

constexpr uint16_t kExt = kKeyExtendedType;

std::string Le(int64_t v, size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF);
  return s;
}

template <typename T>
std::string Bytes(T v) {
  std::string s(sizeof v, '\0');
  std::memcpy(s.data(), &v, sizeof v);
  return s;
}

class KeyOrderTest : public testing::RecmanTest {
 protected:
  // A file of 16-byte records whose key 0 is the given segment at 1.
  void Make(const SegmentDef& segment) {
    FileDefinition definition;
    definition.record_length = 16;
    definition.segments = {segment};
    MakeFrom(definition);
  }
  void MakeFrom(const FileDefinition& definition) {
    std::string path = dir_ + "/k" + std::to_string(++files_) + ".dat";
    ResetRecordManager();
    ASSERT_EQ(0, rec_.CreateAndOpen(path, EncodeCreationBuffer(definition)));
  }
  int16_t Put(const std::string& key_bytes) {
    std::string r = key_bytes;
    r.resize(16, '#');
    return rec_.Insert(r);
  }
  // The key bytes of every record along key 0, each cut to n bytes.
  std::vector<std::string> Walk(size_t n) {
    std::vector<std::string> out;
    for (int16_t st = rec_.Get(kGetFirst); st == 0; st = rec_.Get(kGetNext)) {
      out.push_back(rec_.Record().substr(0, n));
    }
    return out;
  }
  int files_ = 0;
  Rec rec_;
};

// The server compares the sort forms as bytes, as SQLite does.
INSTANTIATE_TEST_SUITE_P(Both, KeyOrderTest, ::testing::Values(testing::Store::kSqlite, testing::Store::kServer),
                         testing::StoreName);

TEST_P(KeyOrderTest, SignedIntegersSortByValue) {
  for (uint16_t width : {1, 2, 4, 8}) {
    Make({1, width, kExt, kTypeInteger});
    for (int64_t v : {1, -1, 0, 100, -100, 127, -128}) ASSERT_EQ(0, Put(Le(v, width)));
    std::vector<std::string> expected;
    for (int64_t v : {-128, -100, -1, 0, 1, 100, 127}) expected.push_back(Le(v, width));
    EXPECT_EQ(expected, Walk(width)) << "width " << width;
  }
}

TEST_P(KeyOrderTest, UnsignedAndBinarySortAsLittleEndianNumbers) {
  for (SegmentDef def : {SegmentDef{1, 2, kExt, kTypeUnsignedBinary}, SegmentDef{1, 2, kKeyBinary, 0}}) {
    Make(def);
    for (int64_t v : {256, 255, 1, 65535, 0}) ASSERT_EQ(0, Put(Le(v, 2)));
    std::vector<std::string> expected;
    for (int64_t v : {0, 1, 255, 256, 65535}) expected.push_back(Le(v, 2));
    EXPECT_EQ(expected, Walk(2));
  }
}

TEST_P(KeyOrderTest, DescendingTurnsTheOrderAround) {
  Make({1, 3, kKeyDescending});
  for (const char* v : {"BBB", "AAA", "CCC"}) ASSERT_EQ(0, Put(v));
  EXPECT_EQ((std::vector<std::string>{"CCC", "BBB", "AAA"}), Walk(3));
  Make({1, 2, kExt | kKeyDescending, kTypeInteger});
  for (int64_t v : {0, -5, 7}) ASSERT_EQ(0, Put(Le(v, 2)));
  EXPECT_EQ((std::vector<std::string>{Le(7, 2), Le(0, 2), Le(-5, 2)}), Walk(2));
  // Greater-or-equal follows the key's own order.
  ASSERT_EQ(0, rec_.Get(kGetGreaterOrEqual, 0, Le(1, 2)));
  EXPECT_EQ(Le(0, 2), rec_.Record().substr(0, 2));
}

TEST_P(KeyOrderTest, CaseInsensitiveKeysFoldWithTheStandardUpperCasing) {
  Make({1, 6, kKeyCaseInsensitive});
  for (const char* v : {"cherry", "Banana", "apple "}) ASSERT_EQ(0, Put(v));
  EXPECT_EQ((std::vector<std::string>{"apple ", "Banana", "cherry"}), Walk(6));
  EXPECT_EQ(5, Put("APPLE "));
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, "BANANA"));
  // The key buffer gets the record's own bytes, not the folded ones.
  EXPECT_EQ("Banana", rec_.key.substr(0, 6));
  // Accented letters fold as the program's upper-casing does: ñ to Ñ.
  std::string lower = "\xa4xx   ";  // ñ in code page 850
  std::string upper = "\xa5xx   ";  // Ñ
  ASSERT_EQ(0, Put(lower));
  EXPECT_EQ(5, Put(upper));
}

TEST_P(KeyOrderTest, AlternateCollatingSequenceOrdersThroughItsTable) {
  // A sequence that sorts the digits after the letters.
  FileDefinition definition;
  definition.record_length = 16;
  definition.segments = {{1, 2, kKeyAlternate}};
  definition.alternate_name = "DIGLAST";
  for (int c = 0; c < 256; ++c) {
    int v = c;
    if (c >= '0' && c <= '9') v = c + 100;
    definition.alternate_table += static_cast<char>(v);
  }
  MakeFrom(definition);
  for (const char* v : {"1A", "B1", "A1"}) ASSERT_EQ(0, Put(v));
  EXPECT_EQ((std::vector<std::string>{"A1", "B1", "1A"}), Walk(2));
  // Stat gives the sequence back as it was given: signature, name, table.
  std::string buffer(512, '\0');
  ASSERT_EQ(0, rec_.Call(kStat, buffer, 512, 0));
  ASSERT_EQ(32u + kAlternateSize, rec_.length);
  EXPECT_EQ(std::string(1, static_cast<char>(kAlternateSignature)) + "DIGLAST " +
                definition.alternate_table,
            buffer.substr(32, kAlternateSize));
}

TEST_P(KeyOrderTest, ZeroTerminatedAndCountedStrings) {
  Make({1, 4, kExt, kTypeZString});
  ASSERT_EQ(0, Put(std::string("abc\0", 4)));
  ASSERT_EQ(0, Put(std::string("ab\0z", 4)));
  EXPECT_EQ(5, Put(std::string("ab\0y", 4)));  // bytes after the end do not count
  EXPECT_EQ((std::vector<std::string>{std::string("ab\0z", 4), std::string("abc\0", 4)}), Walk(4));
  Make({1, 4, kExt, kTypeLString});
  ASSERT_EQ(0, Put(std::string("\x03" "abc", 4)));
  ASSERT_EQ(0, Put(std::string("\x01" "bzz", 4)));
  ASSERT_EQ(0, Put(std::string("\x02" "abz", 4)));
  EXPECT_EQ(5, Put(std::string("\x01" "bqq", 4)));
  EXPECT_EQ((std::vector<std::string>{std::string("\x02" "ab", 3), std::string("\x03" "ab", 3),
                                      std::string("\x01" "bz", 3)}),
            Walk(3));
}

TEST_P(KeyOrderTest, FloatsDatesAndTimes) {
  Make({1, 8, kExt, kTypeFloat});
  for (double v : {2.5, -1.5, 0.0, -10.0, 1e10}) ASSERT_EQ(0, Put(Bytes(v)));
  std::vector<std::string> expected;
  for (double v : {-10.0, -1.5, 0.0, 2.5, 1e10}) expected.push_back(Bytes(v));
  EXPECT_EQ(expected, Walk(8));
  // Dates: day, month, year (little-endian).
  auto date = [](int d, int m, int y) { return std::string{static_cast<char>(d), static_cast<char>(m)} + Le(y, 2); };
  Make({1, 4, kExt, kTypeDate});
  for (auto v : {date(1, 2, 2025), date(31, 12, 2024), date(2, 1, 2025)}) ASSERT_EQ(0, Put(v));
  EXPECT_EQ((std::vector<std::string>{date(31, 12, 2024), date(2, 1, 2025), date(1, 2, 2025)}), Walk(4));
}

TEST_P(KeyOrderTest, SegmentedKeysSortSegmentBySegment) {
  std::string path = dir_ + "/seg.dat";
  ASSERT_EQ(0, rec_.CreateAndOpen(path, SpecBuffer(16, {{1, 2, kKeySegmented}, {3, 2, kExt, kTypeInteger}})));
  for (auto v : {"BB" + Le(-1, 2), "AA" + Le(5, 2), "BB" + Le(-7, 2), "AA" + Le(-5, 2)}) {
    ASSERT_EQ(0, Put(v));
  }
  EXPECT_EQ((std::vector<std::string>{"AA" + Le(-5, 2), "AA" + Le(5, 2), "BB" + Le(-7, 2),
                                      "BB" + Le(-1, 2)}),
            Walk(4));
  ASSERT_EQ(0, rec_.Get(kGetEqual, 0, "BB" + Le(-7, 2)));
  EXPECT_EQ("BB" + Le(-7, 2), rec_.key.substr(0, 4));
}

TEST_P(KeyOrderTest, AutoIncrementFillsZeroWithTheNextValue) {
  Make({1, 4, kExt, kTypeAutoIncrement});
  ASSERT_EQ(0, Put(Le(0, 4)));
  EXPECT_EQ(Le(1, 4), rec_.data.substr(0, 4));  // the value given back
  ASSERT_EQ(0, Put(Le(0, 4)));
  ASSERT_EQ(0, Put(Le(10, 4)));
  ASSERT_EQ(0, Put(Le(0, 4)));
  EXPECT_EQ((std::vector<std::string>{Le(1, 4), Le(2, 4), Le(10, 4), Le(11, 4)}), Walk(4));
  EXPECT_EQ(5, Put(Le(2, 4)));
}

TEST_P(KeyOrderTest, NullKeysStayOutOfTheirIndex) {
  std::string path = dir_ + "/null.dat";
  // Key 0 unique; key 1 with the null flag (null value blank) allows no duplicates.
  ASSERT_EQ(0, rec_.CreateAndOpen(path, SpecBuffer(16, {{1, 2, 0}, {3, 2, kKeyNullAll, kTypeString, ' '}})));
  ASSERT_EQ(0, Put("01  "));
  ASSERT_EQ(0, Put("02  "));  // a second blank key 1 is no duplicate: it is not kept
  ASSERT_EQ(0, Put("03ZZ"));
  ASSERT_EQ(0, rec_.Get(kGetFirst, 1));
  EXPECT_EQ("03ZZ", rec_.Record().substr(0, 4));
  EXPECT_EQ(9, rec_.Get(kGetNext, 1));
  EXPECT_EQ((std::vector<std::string>{"01", "02", "03"}), Walk(2));
}

TEST(CreateSpec, BadBuffersGiveTheirStatus) {
  FileLayout layout;
  EXPECT_EQ(22, ParseCreationBuffer(std::string(10, '\0'), &layout));
  EXPECT_EQ(28, ParseCreationBuffer(SpecBuffer(0, {}), &layout));
  std::string page = SpecBuffer(16, {{1, 2, 0}});
  page[2] = 100;
  page[3] = 0;
  EXPECT_EQ(24, ParseCreationBuffer(page, &layout));
  EXPECT_EQ(27, ParseCreationBuffer(SpecBuffer(16, {{0, 2, 0}}), &layout));
  EXPECT_EQ(27, ParseCreationBuffer(SpecBuffer(16, {{15, 3, 0}}), &layout));
  EXPECT_EQ(29, ParseCreationBuffer(SpecBuffer(16, {{1, 0, 0}}), &layout));
  EXPECT_EQ(29, ParseCreationBuffer(SpecBuffer(16, {{1, 3, kExt, kTypeInteger}}), &layout));
  EXPECT_EQ(29, ParseCreationBuffer(SpecBuffer(16, {{1, 4, kExt, 5}}), &layout));  // decimal: not sorted here
  EXPECT_EQ(48, ParseCreationBuffer(SpecBuffer(16, {{1, 2, kKeyAlternate}}), &layout));
  // A key announced but missing from the buffer.
  std::string missing = SpecBuffer(16, {{1, 2, 0}});
  missing[4] = 2;
  EXPECT_EQ(22, ParseCreationBuffer(missing, &layout));
  // Extra bytes after the last key are not kept.
  std::string good = SpecBuffer(16, {{1, 2, kKeySegmented}, {3, 4, kKeyDuplicates}});
  ASSERT_EQ(0, ParseCreationBuffer(good + std::string(40, 'x'), &layout));
  EXPECT_EQ(good, layout.raw);
  ASSERT_EQ(1u, layout.keys.size());
  EXPECT_EQ(6, layout.keys[0].length);
  EXPECT_TRUE(layout.keys[0].duplicates);
}

}  // namespace
}  // namespace platform::recman
