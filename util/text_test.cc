#include "util/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/random.h"
#include "util/cp850.h"

namespace util {
namespace {

// Sets text_state.FoldPlain for one test and puts it back afterwards.
class FoldMode {
 public:
  explicit FoldMode(bool plain) : saved_(text_state.FoldPlain) {
    text_state.FoldPlain = plain ? -1 : 0;
  }
  ~FoldMode() { text_state.FoldPlain = saved_; }

 private:
  int16_t saved_;
};

std::string Wrapped(std::string text, int indent, int width, std::string_view mode) {
  WrapText(text, static_cast<int16_t>(indent), static_cast<int16_t>(width), mode);
  return text;
}

std::string Byte(int code) { return std::string(1, static_cast<char>(code)); }

TEST(FoldText, NamesWithAndWithoutAccents) {
  {
    FoldMode plain(true);
    EXPECT_EQ(FoldText(Cp850("Núñez-Peña")), "NUNEZ-PENA");
    EXPECT_EQ(FoldText(Cp850("Ça & 1º")), "CA & 1O");
  }
  FoldMode accent(false);
  EXPECT_EQ(FoldText(Cp850("Núñez-Peña")), Cp850("NÚÑEZ-PEÑA"));
  EXPECT_EQ(FoldText(Cp850("Ça & 1º")), Cp850("ÇA & 1º"));
}

TEST(FoldText, CodesOutsideTheTablesStayInBothModes) {
  std::string outside;
  for (int c = 0; c < 64; ++c) outside += Byte(c);
  for (int c = 238; c < 256; ++c) outside += Byte(c);
  for (bool plain : {true, false}) {
    FoldMode mode(plain);
    EXPECT_EQ(FoldText(outside), outside);
    EXPECT_EQ(FoldText(""), "");
  }
}

// Each letter row of the folding table, written out group by group: the
// small and capital letters of a row, their plain capital, and what the
// accent table makes of them.
TEST(FoldText, LetterRowsOfBothTables) {
  struct Row {
    const char* letters;
    char plain;
    const char* accented;
  };
  const Row rows[] = {
      {"Çç", 'C', "ÇÇ"},
      {"üûùÜúÚÛÙ", 'U', "ÜÛÙÜÚÚÛÙ"},
      {"éêëèÉÊËÈ", 'E', "ÉÊËÈÉÊËÈ"},
      {"âäàåÄÅæÆáªÁÂÀãÃ", 'A', "ÂÄÀÅÄÅÆÆÁªÁÂÀÃÃ"},
      {"ïîìíÍÎÏÌ", 'I', "ÏÎÌÍÍÎÏÌ"},
      {"ôöòÖøØóºÓÔÒõÕ", 'O', "ÔÖÒÖøØÓºÓÔÒÕÕ"},
      {"ÿýÝ", 'Y', "ÿÝÝ"},
      {"ñÑ", 'N', "ÑÑ"},
      {"ðÐ", 'D', "ÐÐ"},
      {"ı", 'E', "ı"},
      {"ß", 'S', "ß"},
      {"þÞ", 'T', "þÞ"},
  };
  for (const Row& row : rows) {
    std::string letters = Cp850(row.letters);
    {
      FoldMode plain(true);
      EXPECT_EQ(FoldText(letters), std::string(letters.size(), row.plain)) << row.letters;
    }
    FoldMode accent(false);
    EXPECT_EQ(FoldText(letters), Cp850(row.accented)) << row.letters;
  }
}

TEST(FoldText, OtherCharactersOfTheRangeBlankOrStay) {
  const std::string others =
      "@[\\]^_`{|}~" + Byte(127) + Cp850("£×ƒ¿®¬½¼¡«»░▒▓│┤©╣║╗╝¢¥┐└┴┬├─┼╚╔╩╦╠═╬¤┘┌█▄¦▀µ");
  {
    FoldMode plain(true);
    EXPECT_EQ(FoldText(others), std::string(others.size(), ' '));
  }
  FoldMode accent(false);
  EXPECT_EQ(FoldText(others), others);
}

// Whole-table properties: every code of the range folds to one character,
// the plain table holds only capitals and blanks, and plain folding of the
// accent table's capitals agrees with plain folding of the original.
TEST(FoldText, TablesAreCompleteAndAgree) {
  std::string range;
  for (int c = 64; c <= 237; ++c) range += Byte(c);
  std::string plain_fold, accent_fold, plain_of_accent;
  {
    FoldMode plain(true);
    plain_fold = FoldText(range);
  }
  {
    FoldMode accent(false);
    accent_fold = FoldText(range);
  }
  {
    FoldMode plain(true);
    plain_of_accent = FoldText(accent_fold);
  }
  ASSERT_EQ(plain_fold.size(), 174u);
  ASSERT_EQ(accent_fold.size(), 174u);
  EXPECT_NE(plain_fold, range);  // the tables are really used
  for (char c : plain_fold) EXPECT_TRUE(c == ' ' || (c >= 'A' && c <= 'Z')) << int(c);
  EXPECT_EQ(plain_of_accent, plain_fold);
  for (int c = 'a'; c <= 'z'; ++c) EXPECT_EQ(accent_fold[c - 64], c - 32);
}

TEST(WrapText, AlignedLines) {
  EXPECT_EQ(Wrapped("aa bb cc dd", 0, 5, "L"), "aa bbcc dd");
  EXPECT_EQ(Wrapped("aa bb cc dd", 0, 6, "C"), "aa bb cc dd ");
  EXPECT_EQ(Wrapped("aa bb cc dd", 0, 6, "R"), " aa bb cc dd");
  EXPECT_EQ(Wrapped("aa b", 0, 6, "N"), "aa b--");
  EXPECT_EQ(Wrapped("aa b", 0, 7, "c"), " aa b  ");  // mode letter upper-cased
  EXPECT_EQ(Wrapped("aa b", 0, 6, "Izquierda"), "aa b  ");
  EXPECT_EQ(Wrapped("aa b", 0, 6, "D"), "  aa b");
  EXPECT_EQ(Wrapped("aa b", 0, 6, ""), "aa b");
  EXPECT_EQ(Wrapped("aa b", 0, 6, "X"), "aa b");
}

TEST(WrapText, BreaksBeforeTheWordThatDoesNotFit) {
  EXPECT_EQ(Wrapped("aa bbb", 0, 5, "L"), "aa   bbb  ");
  EXPECT_EQ(Wrapped("aa   bb", 0, 2, "L"), "aabb");  // blanks between lines skipped
  EXPECT_EQ(Wrapped("abcdefgh", 0, 3, "L"), "abcdefgh ");  // a long word is cut
  EXPECT_EQ(Wrapped("", 0, 5, "L"), "");
}

TEST(WrapText, Justified) {
  EXPECT_EQ(Wrapped("aa b cc dd", 0, 6, "A"), "aa   bcc dd");
  // Extra blanks go round the gaps from the first one on.
  EXPECT_EQ(Wrapped("a b c dddddd", 0, 8, "B"), "a   b  cdddddd");
  // A run of blanks is one gap.
  EXPECT_EQ(Wrapped("a  b c dddddd", 0, 8, "A"), "a   b  cdddddd");
  // A line without a gap, and the last line, stay short.
  EXPECT_EQ(Wrapped("abc defgh", 0, 4, "A"), "abcdefgh");
  // The indent is not a gap.
  EXPECT_EQ(Wrapped("a b ccccc", 2, 6, "A"), "  a  bccccc");
}

TEST(WrapText, FirstLineAndHangingIndents) {
  EXPECT_EQ(Wrapped("aaa bbb ccc", 2, 6, "L"), "  aaa bbb   ccc   ");
  EXPECT_EQ(Wrapped("aaa bbb ccc", -2, 6, "L"), "aaa     bbb   ccc ");
}

TEST(WrapText, NoRoomForTextNeverHangsNorLosesText) {
  // An indent wider than the line: that line holds the indent only.
  EXPECT_EQ(Wrapped("ab cd", 8, 6, "L"), "        ab cd ");
  // A width of 0 or less: one character per line.
  EXPECT_EQ(Wrapped("abc", 0, 0, "L"), "abc");
  EXPECT_EQ(Wrapped("ab c", 0, -5, "C"), "abc");
  // A hanging indent that fills every later line.
  EXPECT_EQ(Wrapped("abc def", -4, 4, "L"), "abc     d    e    f");
  EXPECT_EQ(Wrapped("abc", 32767, 1, "L").size(), 32767u + 3);
}

TEST(WrapText, ControlCharactersDoNotCountAgainstTheWidth) {
  EXPECT_EQ(Wrapped("ab\ncd ef", 0, 4, "L"), "ab\ncdef  ");
  // Controls after a full line's last visible character stay on that line.
  EXPECT_EQ(Wrapped("abcd\r\nef", 0, 4, "L"), "abcd\r\nef  ");
  // Blanks before a control that follows the line are given back.
  EXPECT_EQ(Wrapped("ab \x01" "cd", 0, 3, "L"), "ab \x01" "cd ");
}

std::string NonBlanks(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != ' ') out += c;
  }
  return out;
}

// Random texts, widths, indents and modes: every word survives in order,
// and plain left-aligned lines without indent are all exactly width long.
TEST(WrapText, AnyInputKeepsEveryCharacter) {
  qdeb::testing::Random random(63);
  const char* modes[] = {"L", "E", "I", "R", "D", "C", "A", "B", "", "z", "n"};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    size_t length = random() % 60;
    for (size_t i = 0; i < length; ++i) {
      unsigned pick = random() % 6;
      text += pick < 2 ? ' ' : pick == 2 ? static_cast<char>(random() % 32)
                                         : static_cast<char>('a' + random() % 26);
    }
    int width = static_cast<int>(random() % 24) - 3;
    int indent = static_cast<int>(random() % 21) - 10;
    const char* mode = modes[random() % 11];
    std::string wrapped = Wrapped(text, indent, width, mode);
    std::string kept = NonBlanks(wrapped);
    if (mode[0] == 'n') kept.erase(std::remove(kept.begin(), kept.end(), '-'), kept.end());
    ASSERT_EQ(kept, NonBlanks(text)) << text << " " << width << " " << indent << " " << mode;
  }
  for (int round = 0; round < 500; ++round) {
    std::string text;
    size_t length = random() % 80;
    for (size_t i = 0; i < length; ++i) {
      text += random() % 4 == 0 ? ' ' : static_cast<char>('a' + random() % 26);
    }
    int width = 1 + static_cast<int>(random() % 12);
    ASSERT_EQ(Wrapped(text, 0, width, "L").size() % static_cast<size_t>(width), 0u) << text;
  }
}

TEST(ReadingName, SurnameStarForename) {
  EXPECT_EQ(ReadingName("GARCIA LOPEZ*ANA MARIA"), "ANA MARIA GARCIA LOPEZ");
  EXPECT_EQ(ReadingName("ARC*D'"), "D'ARC");
  EXPECT_EQ(ReadingName("*ANA"), "*ANA");
  EXPECT_EQ(ReadingName("  GARCIA  *  ANA  "), "ANA GARCIA");
  EXPECT_EQ(ReadingName("  PERE  "), "PERE");
  EXPECT_EQ(ReadingName("GARCIA*"), "GARCIA");  // no stray blank in front
  EXPECT_EQ(ReadingName("A*B*C"), "B*C A");
  EXPECT_EQ(ReadingName(""), "");
}

TEST(AllSameChar, EveryCharacterOrNone) {
  EXPECT_EQ(AllSameChar("", 'x'), -1);
  EXPECT_EQ(AllSameChar("   ", ' '), -1);
  EXPECT_EQ(AllSameChar("  a", ' '), 0);
  EXPECT_EQ(AllSameChar(Cp850("──"), 196), -1);  // codes above 127 are not negative
  EXPECT_EQ(AllSameChar(Byte(196), -60), 0);
  EXPECT_EQ(AllSameChar(std::string(2, '\0'), 0), -1);
}

TEST(TextStack, LastInFirstOut) {
  text_state.TextStack.clear();
  PushText("first");
  PushText("");
  PushText(std::string("a\0b", 3));
  EXPECT_EQ(text_state.TextStack.size(), 5u + 2 + 0 + 2 + 3 + 2);
  EXPECT_EQ(PopText(), std::string("a\0b", 3));
  EXPECT_EQ(PopText(), "");
  EXPECT_EQ(PopText(), "first");
  EXPECT_EQ(text_state.TextStack, "");
  EXPECT_EQ(PopText(), "");
}

TEST(TextStack, LengthIsTwoBytesLowFirst) {
  text_state.TextStack.clear();
  const std::string big(300, 'z');
  PushText(big);
  ASSERT_EQ(text_state.TextStack.size(), 302u);
  EXPECT_EQ(text_state.TextStack[300], static_cast<char>(300 & 0xFF));
  EXPECT_EQ(text_state.TextStack[301], static_cast<char>(1));
  EXPECT_EQ(PopText(), big);
}

TEST(TextStack, CorruptOrOversizedEntriesStaySafe) {
  text_state.TextStack = "x";  // shorter than a length field
  EXPECT_EQ(PopText(), "");
  EXPECT_EQ(text_state.TextStack, "");
  text_state.TextStack = std::string("ab") + Byte(0xFF) + Byte(0x7F);  // length beyond the stack
  EXPECT_EQ(PopText(), "ab");
  EXPECT_EQ(text_state.TextStack, "");
  // A text too long for the length field is cut, and what lies below it
  // still comes back.
  PushText("below");
  PushText(std::string(70000, 'q'));
  EXPECT_EQ(PopText(), std::string(65535, 'q'));
  EXPECT_EQ(PopText(), "below");
}

TEST(TextStack, RandomBytesPopToEmptyWithoutFault) {
  qdeb::testing::Random random(7);
  for (int round = 0; round < 500; ++round) {
    text_state.TextStack.clear();
    size_t length = random() % 600;
    for (size_t i = 0; i < length; ++i) text_state.TextStack += static_cast<char>(random() % 256);
    size_t pops = 0;
    while (!text_state.TextStack.empty()) {
      size_t before = text_state.TextStack.size();
      PopText();
      ASSERT_LT(text_state.TextStack.size(), before);
      ++pops;
    }
    ASSERT_LE(pops, length / 2 + 1);
  }
}

TEST(SmallTexts, UpToNulCentreOffsetBytesAt) {
  EXPECT_EQ(UpToNul(std::string("ab\0cd\0", 6)), "ab");
  EXPECT_EQ(UpToNul("abc"), "abc");
  EXPECT_EQ(UpToNul(std::string(1, '\0')), "");

  EXPECT_EQ(CentreOffset("12345", 10), 2);
  EXPECT_EQ(CentreOffset("12345", 4), 0);
  EXPECT_EQ(CentreOffset("12345", 2), -1);
  EXPECT_EQ(CentreOffset("", -32768), -16384);
  EXPECT_EQ(CentreOffset(std::string(100000, 'a'), 0), -32768);  // saturates

  const char memory[] = {'k', '\0', 'i', 't'};
  EXPECT_EQ(BytesAt(memory, 4), std::string(memory, 4));
  EXPECT_EQ(BytesAt(memory, 0), "");
  EXPECT_EQ(BytesAt(memory, -3), "");
  EXPECT_EQ(BytesAt(nullptr, 4), "");
}

TEST(ComputerName, CodePage850AndAtMostSixteenCharacters) {
  EXPECT_EQ(ComputerNameFrom("caixa-1"), "caixa-1");
  EXPECT_EQ(ComputerNameFrom("oficinaprincipal.example.org"), "oficinaprincipal");
  EXPECT_EQ(ComputerNameFrom("recepció"), Cp850("recepció"));
  EXPECT_EQ(ComputerNameFrom(""), "");
}

}  // namespace
}  // namespace util
