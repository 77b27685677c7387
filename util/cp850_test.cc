#include "util/cp850.h"

#include <gtest/gtest.h>

namespace util {
namespace {

TEST(Cp850, SourceLiteralsBecomeTheirCodePageBytes) {
  EXPECT_EQ(Cp850("DESTÍ"), std::string("DEST\xD6", 5));
  EXPECT_EQ(Cp850("Núñez"), std::string("N\xA3\xA4" "ez", 5));
  // A box-drawing byte inside a word is part of the message.
  EXPECT_EQ(Cp850("FICH╚R"), std::string("FICH\xC8R", 6));
  EXPECT_EQ(Cp850("►"), std::string("\x10", 1));
  EXPECT_EQ(Cp850("plain ASCII"), "plain ASCII");
}

TEST(Cp850, EveryByteRoundTripsThroughUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp850(Cp850ToUtf8(all)), all);
  // The screen glyphs of the controls read back as the controls, except
  // the two (¶ and §) that code page 850 also has as bytes of their own.
  for (int b = 1; b < 32; ++b) {
    std::string byte(1, static_cast<char>(b));
    std::string back = Utf8ToCp850(Cp850ToUtf8Glyphs(byte));
    if (b == 0x14 || b == 0x15) {
      EXPECT_EQ(back, b == 0x14 ? Cp850("¶") : Cp850("§"));
    } else {
      EXPECT_EQ(back, byte) << b;
    }
  }
}

TEST(Cp850, MissingCharactersAndBadUtf8BecomeQuestionMarks) {
  EXPECT_EQ(Cp850("€"), "?");
  EXPECT_EQ(Utf8ToCp850("a\xC3"), "a?");            // truncated sequence
  EXPECT_EQ(Utf8ToCp850("\xE2\x82x"), "??x");       // broken in the middle
  EXPECT_EQ(Utf8ToCp850("\xC0\xAF"), "??");         // overlong "/"
  EXPECT_EQ(Utf8ToCp850("\xED\xA0\x80"), "???");    // a surrogate
  EXPECT_EQ(Utf8ToCp850(std::string("\0z", 2)), std::string("\0z", 2));
}

TEST(Cp850, ScreenGlyphs) {
  EXPECT_EQ(Cp850Glyph(0), U' ');
  EXPECT_EQ(Cp850Glyph(1), U'☺');
  EXPECT_EQ(Cp850Glyph(0x7F), U'⌂');
  EXPECT_EQ(Cp850Glyph(0xF0), U'-');
  EXPECT_EQ(Cp850Glyph(0xD5), U'ı');
  EXPECT_EQ(Cp850ToUnicode(0xC9), U'╔');
  EXPECT_EQ(UnicodeToCp850(U'€'), -1);
}

}  // namespace
}  // namespace util
