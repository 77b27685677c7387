#include <gtest/gtest.h>

#include "tools/kitdb/description.h"
#include "tools/kitdb/dump.h"
#include "tools/kitdb/sequential.h"
#include "util/little_endian.h"

namespace kitdb {
namespace {

std::string ParseError(const std::string& text) {
  Description d;
  std::string error;
  EXPECT_FALSE(ParseDescription(text, &d, &error)) << text;
  return error;
}

TEST(DescriptionTest, KeysBecomeSegmentBlocksWithTheirFlags) {
  Description d;
  std::string error;
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
                               &d, &error))
      << error;
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
}

TEST(SequentialTest, RecordsRoundTripWhateverBytesTheyHold) {
  std::string text;
  std::string binary("a,\r\n\0\x1A", 6);
  AppendSequential("abc", &text);
  AppendSequential(binary, &text);
  AppendSequential("", &text);
  EXPECT_EQ(text.substr(0, 8), "3,abc\r\n6");
  std::vector<std::string> records;
  std::string error;
  ASSERT_TRUE(ParseSequential(text, &records, &error)) << error;
  EXPECT_EQ(records, (std::vector<std::string>{"abc", binary, ""}));
  // A Ctrl+Z at the very end is the old end-of-file mark.
  ASSERT_TRUE(ParseSequential(text + "\x1A", &records, &error));
  EXPECT_EQ(records.size(), 3u);
}

TEST(SequentialTest, DamagedTextIsRefusedWithWhereAndNothingKept) {
  std::vector<std::string> records;
  std::string error;
  EXPECT_FALSE(ParseSequential("3,abc\r\n5,ab", &records, &error));
  EXPECT_EQ(error, "record 2 (byte 9): the text ends inside the record");
  EXPECT_TRUE(records.empty());
  EXPECT_FALSE(ParseSequential("3,abcd\r\n", &records, &error));
  EXPECT_EQ(error, "record 1 (byte 5): CR LF was expected after 3 bytes");
  EXPECT_FALSE(ParseSequential("3abc\r\n", &records, &error));
  EXPECT_EQ(error, "record 1 (byte 1): a comma was expected after the length");
  EXPECT_FALSE(ParseSequential("\r\n", &records, &error));
  EXPECT_EQ(error, "record 1 (byte 0): a record length was expected");
  EXPECT_FALSE(ParseSequential("99999999999999999999,x", &records, &error));
  EXPECT_EQ(error.substr(error.find(':')), ": record length above 65535");
  EXPECT_FALSE(ParseSequential("3,abc\r\n\x1A\x1A", &records, &error));
  EXPECT_TRUE(ParseSequential("", &records, &error));
  EXPECT_TRUE(records.empty());
}

TEST(DumpTest, FieldsAreShownByTheirKind) {
  Description d;
  std::string error;
  ASSERT_TRUE(ParseDescription(R"(record 20
field Kind 1 1
field Code 2 3 packed
field Empty 5 2 packed
field Amount 7 4 integer
field Raw 11 2 hex
field Both 11 2 skip
field Name 13 8
)",
                               &d, &error))
      << error;
  std::string record("A\x81\x8C\x20\x80\x80\xFE\xFF\xFF\xFF\x00\xAB", 12);
  record += "Ma\"\x01  ";  // 6 of the 8 name bytes: a short record
  EXPECT_EQ(DumpLine(&d, record),
            "Kind=\"A\" Code=0112 Empty= Amount=-2 Raw=00AB Name=\"Ma\\\"\\x01\"");
  record[2] = '\x05';  // not a packed byte
  EXPECT_EQ(DumpLine(&d, record).substr(9, 16), "Code=01?? Empty=");
  // Fields beyond a short record are shown empty, never read past its end.
  EXPECT_EQ(DumpLine(&d, "B"), "Kind=\"B\" Code= Empty= Amount=? Raw= Name=\"\"");
  EXPECT_EQ(DumpLine(nullptr, std::string("x\x87y", 3)), "\"x\xC3\xA7y\"");
}

}  // namespace
}  // namespace kitdb
