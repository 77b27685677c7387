#include "platform/console/decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "util/cp850.h"

namespace platform::console {
namespace {

// The program's key codes of everything the bytes decode to, in hex as
// the office writes them ("4d00"); clicks as "click R,C bB" (0-based).
std::string Codes(std::string_view bytes, bool complete = true,
                  const std::vector<KnownSequence>* known = nullptr) {
  std::vector<InputEvent> events;
  size_t used = DecodeTerminalInput(bytes, complete, &events, known);
  std::string out;
  for (const InputEvent& e : events) {
    char buffer[48];
    if (e.kind == InputEvent::kKey) {
      std::snprintf(buffer, sizeof buffer, "%x", static_cast<unsigned>(static_cast<uint16_t>(KeyCode(e.key))));
    } else {
      std::snprintf(buffer, sizeof buffer, "click %d,%d b%d", e.mouse.row, e.mouse.column,
                    e.mouse.buttons);
    }
    if (!out.empty()) out += ' ';
    out += buffer;
  }
  if (used != bytes.size()) out += " (" + std::to_string(bytes.size() - used) + " left)";
  return out;
}

struct Case {
  const char* bytes;
  const char* codes;
};

void CheckAll(const char* terminal, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(Codes(c.bytes), c.codes) << terminal << ": " << ::testing::PrintToString(std::string(c.bytes));
  }
}

TEST(Decoder, XtermAndTmuxFunctionKeysWithTheModifierParameter) {
  CheckAll("xterm/tmux", {
      {"\x1bOP", "3b00"},        {"\x1bOQ", "3c00"},        {"\x1bOR", "3d00"},
      {"\x1bOS", "3e00"},        {"\x1b[15~", "3f00"},      {"\x1b[17~", "4000"},
      {"\x1b[21~", "4400"},      {"\x1b[23~", "8500"},      {"\x1b[24~", "8600"},
      {"\x1b[1;2P", "5400"},     {"\x1b[1;5P", "5e00"},     {"\x1b[1;3P", "6800"},
      {"\x1b[15;5~", "6200"},    {"\x1b[21;2~", "5d00"},    {"\x1b[23;2~", "8700"},
      {"\x1b[24;5~", "8a00"},    {"\x1b[23;3~", "8b00"},    {"\x1b[24;3~", "8c00"},
      {"\x1b[1;6P", "5e00"},     {"\x1b[1;7S", "6b00"},     {"\x1b[1;9P", "6800"},
      {"\x1bO2P", "5400"},       {"\x1bO5Q", "5f00"},
  });
}

TEST(Decoder, XtermCursorBlockPlainAndModified) {
  CheckAll("xterm/tmux", {
      {"\x1b[A", "4800"},    {"\x1b[B", "5000"},    {"\x1b[C", "4d00"},    {"\x1b[D", "4b00"},
      {"\x1bOA", "4800"},    {"\x1bOD", "4b00"},    {"\x1b[H", "4700"},    {"\x1b[F", "4f00"},
      {"\x1bOH", "4700"},    {"\x1bOF", "4f00"},    {"\x1b[1~", "4700"},   {"\x1b[4~", "4f00"},
      {"\x1b[2~", "5200"},   {"\x1b[3~", "5300"},   {"\x1b[5~", "4900"},   {"\x1b[6~", "5100"},
      {"\x1b[1;5D", "7300"}, {"\x1b[1;5C", "7400"}, {"\x1b[1;5H", "7700"}, {"\x1b[1;5F", "7500"},
      {"\x1b[5;5~", "8400"}, {"\x1b[6;5~", "7600"}, {"\x1b[1;2A", "4800"}, {"\x1b[1;3A", "9800"},
      {"\x1b[Z", "f00"},     {"\x1b[E", "4c00"},    {"\x1b[3;5~", "9300"},
  });
}

TEST(Decoder, LinuxConsoleSequences) {
  CheckAll("linux", {
      {"\x1b[[A", "3b00"},  {"\x1b[[B", "3c00"},  {"\x1b[[E", "3f00"},  {"\x1b[17~", "4000"},
      {"\x1b[23~", "8500"}, {"\x1b[25~", "5600"}, {"\x1b[26~", "5700"}, {"\x1b[28~", "5800"},
      {"\x1b[34~", "5d00"}, {"\x1b[1~", "4700"},  {"\x1b[4~", "4f00"},  {"\x1b[G", ""},
      {"\x7f", "8"},
  });
}

TEST(Decoder, RxvtSequences) {
  CheckAll("rxvt", {
      {"\x1b[11~", "3b00"},  {"\x1b[14~", "3e00"},  {"\x1b[7~", "4700"},  {"\x1b[8~", "4f00"},
      {"\x1b[11^", "5e00"},  {"\x1b[23^", "8900"},  {"\x1b[24$", "8800"}, {"\x1b[7^", "7700"},
      {"\x1b[8^", "7500"},   {"\x1b[5^", "8400"},   {"\x1b[2$", "5200"},  {"\x1bOd", "7300"},
      {"\x1bOc", "7400"},    {"\x1b[a", "4800"},    {"\x1b\x1b[A", "9800"},
      {"\x1b\x1b[11~", "6800"}, {"\x1b\x1bOP", "6800"},
  });
}

TEST(Decoder, CharactersControlsAndAlt) {
  CheckAll("any", {
      {"a", "61"},          {"\r", "d"},           {"\n", "d"},          {"\t", "9"},
      {"\x08", "8"},        {"\x03", "3"},         {"\x16", "16"},       {"\x19", "19"},
      {"\x1b", "1b"},       {"\x1bx", "2d00"},     {"\x1b" "c", "2e00"},  {"\x1b" "f", "2100"},
      {"\x1b" "e", "1200"}, {"\x1bX", "2d00"},     {"\x1b" "1", "7800"}, {"\x1b\r", "d"},
      {"\x1b\x1b", "1b 1b"}, {"\x1b[", "1a00"},    {"\x1bO", "1800"},    {"\x00", ""},
      {"GARC\xc3\x8d" "A", "47 41 52 43 d6 41"},   {"\xc3\xb1", "a4"},   {"\xe2\x82\xac", ""},
      {"\xff", ""},          {"\xe2\x98\xba", ""},
  });
  // Alt's ESC keeps its Alt: the modifier is there for the program.
  std::vector<InputEvent> events;
  DecodeTerminalInput("\x1bx", true, &events);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].key.modifiers, kLeftAlt);
}

TEST(Decoder, ModifyOtherKeysAndCsiU) {
  CheckAll("xterm/kitty", {
      {"\x1b[27;5;99~", "3"}, {"\x1b[27;3;120~", "2d00"}, {"\x1b[99;5u", "3"},
      {"\x1b[120;3u", "2d00"}, {"\x1b[13u", "d"},         {"\x1b[241u", "a4"},
  });
}

TEST(Decoder, MouseReports) {
  CheckAll("mouse", {
      {"\x1b[<0;10;3M", "click 2,9 b1"},   {"\x1b[<2;1;1M", "click 0,0 b2"},
      {"\x1b[<1;80;25M", "click 24,79 b4"}, {"\x1b[<0;10;3m", ""},
      {"\x1b[<64;5;5M", ""},               {"\x1b[<32;5;5M", ""},
      {"\x1b[<16;5;5M", "click 4,4 b1"},   {"\x1b[M !!", "click 0,0 b1"},
      {"\x1b[M#!!", ""},                   {"\x1b[<0;0;0M", ""},
  });
}

TEST(Decoder, CutOffSequencesWaitUnlessTheDelayPassed) {
  for (const char* part : {"\x1b", "\x1b[", "\x1b[1;", "\x1b[1;5", "\x1bO", "\x1b[<0;10", "\x1b[M!",
                           "\xc3", "\x1b\x1b", "\x1b\x1b[1"}) {
    std::vector<InputEvent> events;
    std::string bytes = std::string("a") + part;
    EXPECT_EQ(DecodeTerminalInput(bytes, false, &events), 1u) << ::testing::PrintToString(bytes);
    EXPECT_EQ(events.size(), 1u);
  }
  // Joined with the rest, a sequence is one key.
  std::string first = "\x1b[1;";
  std::vector<InputEvent> events;
  size_t used = DecodeTerminalInput(first, false, &events);
  EXPECT_EQ(used, 0u);
  EXPECT_EQ(Codes(first.substr(used) + "5D"), "7300");
  EXPECT_EQ(Codes("\x1b[1;5", true), "");  // given up: dropped, not typed
}

TEST(Decoder, GarbageIsDroppedWithoutLosingWhatFollows) {
  EXPECT_EQ(Codes("\x1b[99~x"), "78");
  EXPECT_EQ(Codes("\x1b[1;5\x1b[A"), "4800");
  EXPECT_EQ(Codes(std::string("\x1b[") + std::string(200, '1') + "~" + "z"), "7a");
  EXPECT_EQ(Codes("\x1b[I\x1b[O"), "");  // focus reports
  EXPECT_EQ(Codes("\x1b[200~hi\x1b[201~"), "68 69");
  EXPECT_EQ(Codes("\x80\xbf" "b"), "62");
  // Every byte string ends without a hang or an overrun.
  std::string noise;
  for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 7919 + 13) % 256);
  std::vector<InputEvent> events;
  EXPECT_EQ(DecodeTerminalInput(noise, true, &events), noise.size());
  EXPECT_LE(DecodeTerminalInput(noise, false, &events), noise.size());
}

TEST(Decoder, TerminfoSequencesComeFirst) {
  std::vector<KnownSequence> known;
  KeyEvent f5;
  f5.scan = 0x3F;
  known.push_back({"\x1b[[E", f5});
  KeyEvent odd;
  odd.scan = 0x44;
  known.push_back({"\x1b[010q", odd});
  EXPECT_EQ(Codes("\x1b[010q", true, &known), "4400");
  EXPECT_EQ(Codes("\x1b[01", false, &known), " (4 left)");
  EXPECT_EQ(Codes("\x1b[A", true, &known), "4800");
}

}  // namespace
}  // namespace platform::console
