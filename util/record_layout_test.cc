#include "util/record_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace util {
namespace {

TEST(RecordLayout, FieldsArePutAsTheirKindSaysAndReadSafely) {
  std::string record(12, ' ');
  PutField(record, Digits("d", 1, 4), "7");
  PutField(record, Text("t", 5, 3), "ABCDE");
  PutField(record, ZeroText("z", 8, 3), "Q");
  PutNumber(record, Digits("n", 11, 3), 12345);  // its last digits; cut at the end
  EXPECT_EQ(record, std::string("0007ABCQ\0\0" "34", 12));
  PutFrom(record, Text("t", 5, 3), "run on past the end");
  EXPECT_EQ(record, "0007run on p");
  EXPECT_EQ(FieldOf("0007AB", Text("t", 5, 3)), "AB");
  EXPECT_EQ(FieldOf("0007", Text("t", 5, 3)), "");
  EXPECT_EQ(FieldPadded("0007A", Text("t", 5, 3)), "A  ");
  EXPECT_EQ(FieldsOf("0007ABCD", Digits("d", 2, 2), Text("t", 5, 3)), "007ABC");
}

}  // namespace
}  // namespace util
