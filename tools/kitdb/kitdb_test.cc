#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "tools/kitdb/description.h"
#include "tools/kitdb/dump.h"
#include "tools/kitdb/io.h"
#include "tools/kitdb/sequential.h"
#include "util/little_endian.h"

namespace kitdb {
namespace {

std::string ParseError(const std::string& text) {
  Description d;
  const env::Status parsed = ParseDescription(text, &d);
  EXPECT_FALSE(parsed.ok()) << text;
  return parsed.words();
}

TEST(DescriptionTest, KeysBecomeSegmentBlocksWithTheirFlags) {
  Description d;
  ASSERT_TRUE(ParseDescription(R"(# a test file
RECORD 40
page 2048
flags variable
alternate UPPER
field Code 1 4
field Number 5 2 integer   # trailing comment
key 0 unique
  segment Code
  segment Number binary descending
key duplicates modifiable
  segment 7 10 alternate
  segment 17 4 type=unsigned null=32
)",
                               &d)
                      .ok());
  std::string layout = CreationSpec(d);
  ASSERT_EQ(layout.size(), 16u + 4 * 16 + 265);
  EXPECT_EQ(util::GetLe16(layout, 0), 40);
  EXPECT_EQ(util::GetLe16(layout, 2), 2048);
  EXPECT_EQ(util::GetLe16(layout, 4), 2);  // a segmented key counts once
  EXPECT_EQ(util::GetLe16(layout, 10), 0x01);
  // key 0: Code (segmented), then Number binary descending.
  EXPECT_EQ(util::GetLe16(layout, 16), 1);
  EXPECT_EQ(util::GetLe16(layout, 18), 4);
  EXPECT_EQ(util::GetLe16(layout, 20), 0x10);
  EXPECT_EQ(util::GetLe16(layout, 32), 5);
  EXPECT_EQ(util::GetLe16(layout, 34), 2);
  EXPECT_EQ(util::GetLe16(layout, 36), 0x04 | 0x40);
  // key 1: duplicates and modifiable on every segment.
  EXPECT_EQ(util::GetLe16(layout, 52), 0x01 | 0x02 | 0x10 | 0x20);
  EXPECT_EQ(util::GetLe16(layout, 68), 0x01 | 0x02 | 0x08 | 0x100);
  EXPECT_EQ(layout[64 + 10], 14);
  EXPECT_EQ(layout[64 + 11], 32);
  // The collating sequence: signature, blank-padded name, upper-casing.
  EXPECT_EQ(layout.substr(80, 9), "\xAC" "UPPER   ");
  EXPECT_EQ(layout[89 + 'a'], 'A');
  EXPECT_EQ(layout[89 + '1'], '1');

  std::string dictionary = DictionaryBytes(d);
  EXPECT_EQ(util::GetLe16(dictionary, 0), layout.size());
  EXPECT_EQ(dictionary.substr(2), layout);
}

TEST(DescriptionTest, MistakesAreReportedWithTheirLine) {
  EXPECT_EQ(ParseError("field A 1 2\n"), "line 1: \"field\" before the \"record\" line");
  EXPECT_EQ(ParseError("record 10\n\nfield A 9 3\n"), "line 3: field \"A\" ends beyond the record");
  EXPECT_EQ(ParseError("record 10\nfield A 1 2\nfield a 3 2\n"), "line 3: field \"a\" named twice");
  EXPECT_EQ(ParseError("record 10\nsegment 1 2\n"), "line 2: \"segment\" before any \"key\"");
  EXPECT_EQ(ParseError("record 10\nkey 1\n"),
            "line 2: keys are numbered 0, 1, 2 ... in order; expected key 0");
  EXPECT_EQ(ParseError("record 10\nkey\nsegment B\n"), "line 3: no field \"B\"");
  EXPECT_EQ(ParseError("record 10\nkey\nsegment 1 2 alternate\n"),
            "line 3: \"alternate\" segment without an \"alternate\" line");
  EXPECT_EQ(ParseError("record 300\nkey\nsegment 1 200\nsegment 201 60\n"),
            "line 4: key 0 longer than 255 bytes");
  EXPECT_EQ(ParseError("record 10\nkey\n"), "key 0 has no segments");
  EXPECT_EQ(ParseError("page 1000\n"), "line 1: \"page\" wants a multiple of 512 from 512 to 4096");
  EXPECT_EQ(ParseError("record 0\n"), "line 1: \"record\" wants a length from 1 to 65535");
  EXPECT_EQ(ParseError("record 99999999999\n"), "line 1: \"record\" wants a length from 1 to 65535");
  EXPECT_EQ(ParseError("record 10\nfield A 1 3 integer\n"),
            "line 2: an integer field is 1, 2, 4 or 8 bytes long");
  EXPECT_EQ(ParseError("record 10\nkey\nsegment 1 2 type=blob\n"), "line 3: unknown type \"blob\"");
  EXPECT_EQ(ParseError("record 10\nindex 0\n"), "line 2: unknown word \"index\"");
  EXPECT_EQ(ParseError(""), "no \"record\" line");
  EXPECT_EQ(ParseError("record 10\nkey\nsegment 1 300\n"),
            "line 3: \"segment\" wants POSITION from 1 and LENGTH from 1 to 255");
  EXPECT_EQ(ParseError("record 10\nkey\nsegment 1 2\nkey 1\nsegment 9 3\n"),
            "line 5: key 1: the segment ends beyond the record");
  std::string keys = "record 10\n";
  for (int k = 0; k < 119; ++k) keys += "key " + std::to_string(k) + "\nsegment 1 1\n";
  EXPECT_EQ(ParseError(keys + "key 119\n"), "line 240: a file has at most 119 keys, numbered 0 to 118");
  EXPECT_EQ(ParseError(keys + "key\n"), "line 240: a file has at most 119 keys, numbered 0 to 118");
  EXPECT_EQ(ParseError("record 10\nkey 500\n"), "line 2: a file has at most 119 keys, numbered 0 to 118");
}

// What the record manager's create refuses is refused here too, so that xdf
// never writes a dictionary the program cannot create a file from.
TEST(DescriptionTest, TypesAreTakenOnlyAtLengthsTheRecordManagerSorts) {
  EXPECT_EQ(ParseError("record 10\nkey\nsegment 1 5 type=decimal\n"),
            "line 3: key 0: the record manager takes no DECIMAL segment of 5 bytes");
  EXPECT_EQ(ParseError("record 10\nkey\nsegment 1 3 type=integer\n"),
            "line 3: key 0: the record manager takes no INTEGER segment of 3 bytes");
  EXPECT_EQ(ParseError("record 10\nkey\nsegment 1 2\nkey\nsegment 1 2\nsegment 3 4 type=autoincrement\n"),
            "line 6: key 1: an autoincrement segment must come first in its key");
  Description d;
  EXPECT_TRUE(ParseDescription("record 20\nkey\nsegment 1 4 type=autoincrement\nsegment 5 4 type=date\n"
                               "segment 9 8 type=float\nsegment 17 4 binary\n",
                               &d)
                      .ok());
}

TEST(SequentialTest, RecordsRoundTripWhateverBytesTheyHold) {
  std::string text;
  std::string binary("a,\r\n\0\x1A", 6);
  AppendSequential("abc", &text);
  AppendSequential(binary, &text);
  AppendSequential("", &text);
  EXPECT_EQ(text.substr(0, 8), "3,abc\r\n6");
  env::StatusOr<std::vector<std::string>> records = ParseSequential(text);
  ASSERT_TRUE(records.ok()) << records.status().words();
  EXPECT_EQ(*records, (std::vector<std::string>{"abc", binary, ""}));
  // A Ctrl+Z at the very end is the old end-of-file mark.
  records = ParseSequential(text + "\x1A");
  ASSERT_TRUE(records.ok());
  EXPECT_EQ(records->size(), 3u);
}

TEST(SequentialTest, DamagedTextIsRefusedWithWhereAndNothingKept) {
  // The failure's words, or "" when the text is read (nothing is kept of a
  // damaged one: a failure holds no records).
  const auto error = [](std::string_view text) {
    const env::StatusOr<std::vector<std::string>> records = ParseSequential(text);
    return records.ok() ? std::string() : records.status().words();
  };
  EXPECT_EQ(error("3,abc\r\n5,ab"), "record 2 (byte 9): the text ends inside the record");
  EXPECT_EQ(error("3,abcd\r\n"), "record 1 (byte 5): CR LF was expected after 3 bytes");
  EXPECT_EQ(error("3abc\r\n"), "record 1 (byte 1): a comma was expected after the length");
  EXPECT_EQ(error("\r\n"), "record 1 (byte 0): a record length was expected");
  const std::string above = error("99999999999999999999,x");
  EXPECT_EQ(above.substr(above.find(':')), ": record length above 65535");
  EXPECT_FALSE(ParseSequential("3,abc\r\n\x1A\x1A").ok());
  const env::StatusOr<std::vector<std::string>> none = ParseSequential("");
  ASSERT_TRUE(none.ok());
  EXPECT_TRUE(none->empty());
}

// The reader holds one record and a buffer, whatever the text gives at a
// time and however long it runs.
TEST(SequentialTest, TextIsReadARecordAtATimeWithBoundedMemory) {
  const std::string one = "3,abc\r\n";
  uint64_t given = 0;
  SequentialReader endless([&](char* buffer, size_t size) {
    for (size_t i = 0; i < size; ++i) buffer[i] = one[(given + i) % one.size()];
    given += size;
    return static_cast<int64_t>(size);
  });
  std::string record;
  for (int i = 0; i < 100000; ++i) {
    ASSERT_EQ(endless.Next(&record), SequentialReader::Step::kRecord);
    ASSERT_EQ(record, "abc");
  }
  EXPECT_LE(given, 100000 * one.size() + (1u << 17));

  // A byte at a time: records across every boundary, and the Ctrl+Z end.
  std::string text;
  AppendSequential(std::string(65535, 'y'), &text);
  AppendSequential("z", &text);
  text += "\x1A";
  size_t at = 0;
  SequentialReader trickle([&](char* buffer, size_t) {
    if (at == text.size()) return int64_t{0};
    buffer[0] = text[at++];
    return int64_t{1};
  });
  ASSERT_EQ(trickle.Next(&record), SequentialReader::Step::kRecord);
  EXPECT_EQ(record, std::string(65535, 'y'));
  ASSERT_EQ(trickle.Next(&record), SequentialReader::Step::kRecord);
  EXPECT_EQ(record, "z");
  EXPECT_EQ(trickle.Next(&record), SequentialReader::Step::kEnd);

  // A text that cannot be read further is a failure, never an end.
  int calls = 0;
  SequentialReader broken([&](char* buffer, size_t size) {
    if (calls++ > 0) return int64_t{-1};
    std::memcpy(buffer, one.data(), std::min(size, one.size()));
    return static_cast<int64_t>(one.size());
  });
  ASSERT_EQ(broken.Next(&record), SequentialReader::Step::kRecord);
  EXPECT_EQ(broken.Next(&record), SequentialReader::Step::kFailed);
  EXPECT_EQ(broken.error(), "record 2 (byte 7): the text cannot be read");
}

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qdeb_kitdb_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

// The error of putting the file in place is the one reported, and nothing
// is left behind; until then the old file stands.
TEST_F(OutputTest, AFailedSwapIsReportedAndLeavesNothing) {
  const std::string path = dir_ + "/out.seq";
  std::ofstream(path) << "old";
  Output out;
  ASSERT_TRUE(out.Open(path).ok());
  ASSERT_TRUE(out.Write(std::string(3 << 20, 'n')));  // beyond the buffer: on disk already
  EXPECT_EQ(std::filesystem::file_size(path), 3u);
  // The target turns into a directory before the swap.
  std::filesystem::remove(path);
  std::filesystem::create_directories(path + "/inside");
  const env::Status swapped = out.Commit();
  EXPECT_EQ(swapped.words(), path + ": not written (access denied)");
  EXPECT_TRUE(std::filesystem::is_directory(path + "/inside"));
  EXPECT_FALSE(std::filesystem::exists(path + ".kitdb-tmp"));

  // Written and committed: the new bytes in place, no temporary file.
  std::filesystem::remove_all(path);
  ASSERT_TRUE(out.Open(path).ok());
  ASSERT_TRUE(out.Write("new"));
  const env::Status committed = out.Commit();
  ASSERT_TRUE(committed.ok()) << committed.words();
  std::ifstream in(path);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "new");
  EXPECT_FALSE(std::filesystem::exists(path + ".kitdb-tmp"));
  // Dropped before the commit: nothing.
  {
    Output dropped;
    ASSERT_TRUE(dropped.Open(dir_ + "/never").ok());
    ASSERT_TRUE(dropped.Write("x"));
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/never"));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/never.kitdb-tmp"));
}

TEST(DumpTest, FieldsAreShownByTheirKind) {
  Description d;
  ASSERT_TRUE(ParseDescription(R"(record 20
field Kind 1 1
field Code 2 3 packed
field Empty 5 2 packed
field Amount 7 4 integer
field Raw 11 2 hex
field Both 11 2 skip
field Name 13 8
)",
                               &d)
                      .ok());
  std::string record("A\x81\x8C\x20\x80\x80\xFE\xFF\xFF\xFF\x00\xAB", 12);
  record += "Ma\"\x01  ";  // 6 of the 8 name bytes: a short record
  EXPECT_EQ(DumpLine(&d, record),
            "Kind=\"A\" Code=0112 Empty= Amount=-2 Raw=00AB Name=\"Ma\\\"\\x01\"");
  record[2] = '\x05';  // not a packed byte: shown as it is
  EXPECT_EQ(DumpLine(&d, record).substr(9, 18), "Code=01\\x05 Empty=");
  // Fields beyond a short record are shown empty, never read past its end.
  EXPECT_EQ(DumpLine(&d, "B"), "Kind=\"B\" Code= Empty= Amount=? Raw= Name=\"\"");
  EXPECT_EQ(DumpLine(nullptr, std::string("x\x87y", 3)), "\"x\xC3\xA7y\"");
}

}  // namespace
}  // namespace kitdb
