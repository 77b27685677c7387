#include <gtest/gtest.h>

#include <vector>

#include "platform/console/console.h"
#include "util/cp850.h"

namespace platform::console {
namespace {

// The program's code and the modifiers of the one key a script line names.
struct Expect {
  const char* line;
  int code;
  uint8_t modifiers;
};

void CheckAll(const std::vector<Expect>& cases) {
  for (const Expect& c : cases) {
    std::vector<InputEvent> events;
    std::string error;
    ASSERT_TRUE(ParseKeyScript(c.line, &events, &error)) << c.line << ": " << error;
    ASSERT_EQ(events.size(), 1u) << c.line;
    ASSERT_EQ(events[0].kind, InputEvent::kKey) << c.line;
    EXPECT_EQ(static_cast<uint16_t>(KeyCode(events[0].key)), c.code) << c.line;
    EXPECT_EQ(events[0].key.modifiers, c.modifiers) << c.line;
  }
}

TEST(KeyScript, FunctionKeysWithEveryModifier) {
  CheckAll({
      {"F1", 0x3B00, 0},          {"F10", 0x4400, 0},       {"F11", 0x8500, 0},
      {"F12", 0x8600, 0},         {"S-F1", 0x5400, kShift}, {"S-F10", 0x5D00, kShift},
      {"S-F11", 0x8700, kShift},  {"S-F12", 0x8800, kShift}, {"C-F1", 0x5E00, kCtrl},
      {"C-F4", 0x6100, kCtrl},    {"C-F11", 0x8900, kCtrl}, {"C-F12", 0x8A00, kCtrl},
      {"M-F1", 0x6800, kLeftAlt}, {"M-F4", 0x6B00, kLeftAlt}, {"M-F10", 0x7100, kLeftAlt},
      {"M-F11", 0x8B00, kLeftAlt}, {"M-F12", 0x8C00, kLeftAlt},
      // Several modifiers: Alt wins over Ctrl, Ctrl over Shift.
      {"C-S-F3", 0x6000, kCtrl | kShift}, {"M-C-F2", 0x6900, kCtrl | kLeftAlt},
      {"f5", 0x3F00, 0},
  });
}

TEST(KeyScript, CursorBlockAndItsCtrlAndAltCodes) {
  CheckAll({
      {"Up", 0x4800, 0},       {"Down", 0x5000, 0},     {"Left", 0x4B00, 0},
      {"Right", 0x4D00, 0},    {"Home", 0x4700, 0},     {"End", 0x4F00, 0},
      {"PgUp", 0x4900, 0},     {"PPage", 0x4900, 0},    {"PgDn", 0x5100, 0},
      {"NPage", 0x5100, 0},    {"Insert", 0x5200, 0},   {"IC", 0x5200, 0},
      {"Delete", 0x5300, 0},   {"DC", 0x5300, 0},       {"C-Left", 0x7300, kCtrl},
      {"C-Right", 0x7400, kCtrl}, {"C-Home", 0x7700, kCtrl}, {"C-End", 0x7500, kCtrl},
      {"C-PgUp", 0x8400, kCtrl}, {"C-PgDn", 0x7600, kCtrl}, {"S-Up", 0x4800, kShift},
      {"M-Up", 0x9800, kLeftAlt}, {"M-Left", 0x9B00, kLeftAlt},
  });
}

TEST(KeyScript, KeypadKeysKeepTheirCodesForComposition) {
  CheckAll({
      {"KP0", 0x5200, 0},          {"KP1", 0x4F00, 0},          {"KP5", 0x4C00, 0},
      {"KP9", 0x4900, 0},          {"M-KP1", 0x4F00, kLeftAlt}, {"M-KP3", 0x5100, kLeftAlt},
      {"M-KP0", 0x5200, kLeftAlt}, {"M-KP7", 0x4700, kLeftAlt},
  });
}

TEST(KeyScript, CharactersControlAndAltLetters) {
  CheckAll({
      {"Enter", 0x0D, 0},  {"Esc", 0x1B, 0},    {"Escape", 0x1B, 0},  {"Tab", 0x09, 0},
      {"S-Tab", 0x0F00, kShift}, {"BTab", 0x0F00, kShift}, {"BSpace", 0x08, 0},
      {"Space", 0x20, 0},  {"C-c", 0x03, kCtrl}, {"C-v", 0x16, kCtrl}, {"C-y", 0x19, kCtrl},
      {"M-x", 0x2D00, kLeftAlt}, {"M-c", 0x2E00, kLeftAlt}, {"M-f", 0x2100, kLeftAlt},
      {"M-e", 0x1200, kLeftAlt}, {"M-q", 0x1000, kLeftAlt}, {"M-m", 0x3200, kLeftAlt},
      {"M-X", 0x2D00, kLeftAlt | kShift}, {"M-1", 0x7800, kLeftAlt}, {"M-0", 0x8100, kLeftAlt},
      {"a", 'a', 0},       {"Z", 'Z', kShift},  {"7", '7', 0},        {"-", '-', 0},
      {"ñ", 0xA4, 0},      {"Ç", 0x80, 0},
  });
}

TEST(KeyScript, TextClicksCommentsAndBlankLines) {
  std::vector<InputEvent> events;
  ASSERT_TRUE(ParseKeyScript(
      "# a comment\n\n  text:GARCÍA, J.\r\nclick:3,10\nrclick: 25 , 80\nmclick:1,1\ntext: a \n",
      &events));
  ASSERT_EQ(events.size(), 10u + 3u + 3u);
  std::string typed;
  for (int i = 0; i < 10; ++i) typed += static_cast<char>(events[static_cast<size_t>(i)].key.ch);
  EXPECT_EQ(typed, util::Cp850("GARCÍA, J."));
  EXPECT_EQ(events[0].key.scan, 0x22);  // G by its key
  EXPECT_EQ(events[10].kind, InputEvent::kMouse);
  EXPECT_EQ(events[10].mouse.row, 2);
  EXPECT_EQ(events[10].mouse.column, 9);
  EXPECT_EQ(events[10].mouse.buttons, 1);
  EXPECT_EQ(events[11].mouse.row, 24);
  EXPECT_EQ(events[11].mouse.column, 79);
  EXPECT_EQ(events[11].mouse.buttons, 2);
  EXPECT_EQ(events[12].mouse.buttons, 4);
  EXPECT_EQ(events[13].key.ch, ' ');  // text keeps its blanks
  EXPECT_EQ(events[14].key.ch, 'a');
  EXPECT_EQ(events[15].key.ch, ' ');
}

TEST(KeyScript, BadLinesAreReportedAndAddNothing) {
  const char* bad[] = {"F0", "F13", "C-1", "Hyper-x", "click:0,4", "click:3", "click:a,b",
                       "click:1000,1", "text:€", "C-é", "Enterr", "M-"};
  for (const char* line : bad) {
    std::vector<InputEvent> events;
    std::string error;
    std::string script = std::string("F1\n") + line + "\n";
    EXPECT_FALSE(ParseKeyScript(script, &events, &error)) << line;
    EXPECT_TRUE(events.empty()) << line;
    EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << line << " -> " << error;
  }
}

TEST(KeyNames, NamesOfWhatAProgramSees) {
  std::vector<InputEvent> events;
  ASSERT_TRUE(ParseKeyScript(
      "F1\nS-F1\nC-F12\nM-F1\nC-Left\nC-Home\nM-x\nS-Tab\nEnter\nEsc\nC-c\nM-KP1\nM-7\nUp\nC-Up\nñ\n",
      &events));
  std::vector<std::string> names;
  for (const InputEvent& e : events) names.push_back(KeyName(e.key));
  std::vector<std::string> expected = {
      "F1", "Shift+F1", "Ctrl+F12", "Alt+F1", "Ctrl+Left", "Ctrl+Home", "Alt+X",  "Shift+Tab",
      "Enter", "Esc", "Ctrl+C", "Alt+End", "Alt+7", "Up", "Ctrl+Up", util::Cp850("ñ")};
  EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace platform::console
