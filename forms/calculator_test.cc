#include "forms/calculator.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "env/session.h"
#include "forms/editor_state.h"
#include "platform/console/console.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "ui/keys.h"
#include "ui/ui_test_support.h"
#include "util/cp850.h"

namespace ui::forms {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct Tape {
  double value;
  const char* operation;
};

struct KeysCase {
  const char* name;
  const char* keys;           // characters typed, "\b" for Backspace
  double entry;
  std::vector<Tape> tape;     // the newest lines, oldest first
  const char* result;         // what "F" types
};

const KeysCase kKeyCases[] = {
    {"12 + 30 = adds up the tape", "12+30=", 42, {{12, "+"}, {30, "="}, {42, ""}}, "4200"},
    {"a percentage of the pending sum", "200+15%", 30, {{200, "+"}, {15, "%"}}, "3000"},
    {"and the sum with it", "200+15%=", 230, {{200, "+"}, {15, "%"}, {30, "="}, {230, ""}},
     "23000"},
    {"a percentage alone", "50%", 0.5, {{50, "%"}}, "50"},
    {"R rounds up beyond a half", "2.346R", 2.35, {{2.35, "R"}}, "235"},
    {"R rounds a half to the even hundredth", "2.125R", 2.12, {{2.12, "R"}}, "212"},
    {"R rounds a half up to the even one", "2.375R", 2.38, {{2.38, "R"}}, "238"},
    {"R cuts negative values towards zero", "2.346TR", -2.34, {{-2.34, "R"}}, "-234"},
    {"decimals beyond hundredths stay in the result", "12.125", 12.125, {}, "1212.5"},
    {"hundredths are the unit of the result", "12.5", 12.5, {}, "1250"},
    {"Backspace drops the last decimal", "1.25\b", 1.2, {}, "120"},
    {"Backspace of a whole number divides by ten", "123\b", 12, {}, "1200"},
    {"digits after T go on away from zero", "12T3", -123, {}, "-12300"},
    {"a division by zero types nothing", "5/0=", 0, {{5, "/"}, {0, "="}, {kInfinity, ""}}, ""},
    {"C drops only the entry", "5+7C", 5, {{5, "+"}}, "500"},
    {"the accumulator is not the entry after C", "5+7C3=", 8, {{5, "+"}, {3, "="}, {8, ""}},
     "800"},
    {"a reset forgets the pending operation", "4*CC5+3=", 8, {{5, "+"}, {3, "="}, {8, ""}},
     "800"},
    {"Enter is =", "2*21\r", 42, {{2, "*"}, {21, "="}, {42, ""}}, "4200"},
    {"= without an entry does nothing", "7+=", 7, {{7, "+"}}, "700"},
    {"lower case letters are the upper case ones", "2.346r", 2.35, {{2.35, "R"}}, "235"},
};

TEST(CalculatorKeysTest, TypesOperatesAndTapes) {
  for (const KeysCase& c : kKeyCases) {
    SCOPED_TRACE(c.name);
    CalculatorState s;
    for (const char* k = c.keys; *k != '\0'; ++k) CalculatorKey(s, static_cast<int16_t>(*k));
    if (std::string(c.result).empty()) {
      EXPECT_FALSE(s.accumulator.number);
    } else {
      EXPECT_DOUBLE_EQ(util::DecimalToDouble(s.entering ? s.entry : s.accumulator), c.entry);
    }
    const size_t n = c.tape.size();
    EXPECT_EQ(s.entry_row, kEmptyTapeRow - static_cast<int>(n));
    for (size_t i = 0; i < n; ++i) {
      const TapeLine& line = s.tape[kTapeLines - n + i];
      EXPECT_DOUBLE_EQ(util::DecimalToDouble(line.value), c.tape[i].value) << "tape line " << i;
      EXPECT_EQ(line.operation, c.tape[i].operation) << "tape line " << i;
    }
    EXPECT_EQ(CalculatorResultText(s), c.result);
  }
}

// The figures are the ones typed: no binary fraction decides a rounding
// or moves a cent, and sixteen digits keep their last one.
TEST(CalculatorKeysTest, TypedFiguresAreExact) {
  struct Case {
    const char* keys;
    const char* value;   // the entry (or the accumulator), every digit
    const char* result;  // what "F" types
  };
  const Case cases[] = {
      {"2.30TR", "-2.3", "-230"},  // a negative of whole cents is itself
      {"0.29TR", "-0.29", "-29"},
      {"1.15TR", "-1.15", "-115"},
      {"2.345TR", "-2.34", "-234"},  // negatives are cut towards zero
      {"1.015R", "1.02", "102"},     // an exact half goes to the even cent
      {"8.345R", "8.34", "834"},
      {"2.675R", "2.68", "268"},
      {"9999999999999999", "9999999999999999", "999999999999999900"},
      {"99999999999999999", "9999999999999999", "999999999999999900"},  // no 17th digit
      {"9999999999999999-1=", "9999999999999998", "999999999999999800"},
      {"0.1+0.2=", "0.3", "30"},
      {"1/3=", "0.3333333333333333333333333333333333", "33.33333333333"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    CalculatorState s;
    for (const char* k = c.keys; *k != '\0'; ++k) CalculatorKey(s, static_cast<int16_t>(*k));
    EXPECT_EQ(util::DecimalText(s.entering ? s.entry : s.accumulator), c.value);
    EXPECT_EQ(CalculatorResultText(s), c.result);
  }
  CalculatorState sixteen;
  for (const char* k = "9999999999999999"; *k != '\0'; ++k) CalculatorKey(sixteen, *k);
  EXPECT_EQ(CalculatorNumberText(sixteen.entry, false, 0), "9.999.999.999.999.999");
}

TEST(CalculatorKeysTest, ThreeClearsEmptyTheTapeAndTheTapeKeepsTwentyTwoLines) {
  CalculatorState s;
  for (int i = 0; i < 30; ++i) CalculatorKey(s, '+');
  EXPECT_EQ(s.entry_row, 2);  // never above row 2
  CalculatorKey(s, '5');
  EXPECT_EQ(CalculatorKey(s, 'C'), CalculatorStep::kEntry);
  EXPECT_FALSE(s.entering);
  CalculatorKey(s, 'C');
  EXPECT_TRUE(s.cleared);
  EXPECT_EQ(s.accumulator, util::Decimal());
  EXPECT_EQ(s.entry_row, 2);
  EXPECT_EQ(CalculatorKey(s, 'C'), CalculatorStep::kTape);
  EXPECT_EQ(s.entry_row, kEmptyTapeRow);
}

TEST(CalculatorKeysTest, TheWindowWrapsAtEitherEdge) {
  CalculatorState s;
  EXPECT_EQ(CalculatorKey(s, 0x4B00), CalculatorStep::kMoved);
  EXPECT_EQ(s.left, 55);  // against the right edge: columns 55 to 80
  CalculatorKey(s, 0x7400);
  EXPECT_EQ(s.left, 1);
  CalculatorKey(s, 0x4D00);
  EXPECT_EQ(s.left, 2);
  EXPECT_EQ(CalculatorKey(s, 0x2100), CalculatorStep::kFinish);
  EXPECT_EQ(CalculatorKey(s, 27), CalculatorStep::kLeave);
  EXPECT_EQ(CalculatorKey(s, 0x3B00), CalculatorStep::kNothing);
}

TEST(CalculatorStateTest, DamagedFilesKeepTheDefaultsOfWhatCannotBeRead) {
  CalculatorState written;
  for (const char* k = "1234.5+0.25="; *k != '\0'; ++k) CalculatorKey(written, *k);
  written.left = 30;
  const std::string whole = CalculatorStateText(written);
  EXPECT_EQ(CalculatorStateText(ParseCalculatorState(whole)), whole);

  const CalculatorState defaults;
  const std::string default_text = CalculatorStateText(defaults);
  struct Damaged {
    const char* name;
    std::string text;
    std::string expected;  // the state read, as text
  };
  const std::vector<Damaged> cases = {
      {"garbage", "\x01\xFF\"\"\",,,zz\r\n\x1A\x1A", default_text},
      {"empty", "", default_text},
      {"cut in the second line", whole.substr(0, whole.find("\r\n") + 5), [&] {
         CalculatorState s;
         s.left = 30;
         s.cleared = false;
         s.entry_row = written.entry_row;
         s.entry = written.entry;
         s.accumulator = written.accumulator;
         return CalculatorStateText(s);
       }()},
      {"huge, infinite and out of place numbers",
       "999,-5,1e999," + std::string(400, '9') + "\r\n3,1,-1,99999\r\n\"XY\",\"*\"\r\n"
       "1.5D+20,-1,2,\"+\"\r\n",
       [] {
         CalculatorState s;
         s.decimal_point = true;
         s.pending = "*";
         s.tape[0] = TapeLine{util::Scaled(util::DecimalOf(15), 19), true, 2, "+"};
         return CalculatorStateText(s);
       }()},
  };
  for (const Damaged& d : cases) {
    SCOPED_TRACE(d.name);
    EXPECT_EQ(CalculatorStateText(ParseCalculatorState(d.text)), d.expected);
  }
}

class CalculatorScreenTest : public ui::testing::UiTest {
 protected:
  CalculatorScreenTest() {
    env::session.TerminalDir = platform::fs::ProgramPath(term_.path()) + "\\";
  }
  std::string Run(std::string_view keys) {
    Feed(keys);
    return ShowCalculator();
  }
  // No temporary file is left beside the state.
  bool OnlyTheStateIsLeft() const {
    for (const std::string& name : term_.Names()) {
      if (name != "KITCALC.TMP" && name != "KITCALC.TMP.lck") return false;
    }
    return true;
  }
  qdeb::testing::ScratchDir term_{"calc_term"};
  std::vector<std::string> snapshot_;
};

TEST_F(CalculatorScreenTest, TheTapeAndThePendingOperationOutliveTheCallAndTheScreenComesBack) {
  PrintAt(3, 1, std::string(80, '#'));
  EXPECT_EQ(Run("text:12+30\nEsc"), "");
  EXPECT_EQ(Row(3, 1, 80), std::string(80, '#'));
  // Called again: the tape shows 12 + and the pending sum goes on.
  EXPECT_EQ(Run("Left\ntext:=F"), "4200");
  const CalculatorState s = LoadCalculatorState();
  EXPECT_EQ(s.left, 55);
  EXPECT_EQ(s.tape[kTapeLines - 3].operation, "+");
  EXPECT_EQ(s.tape[kTapeLines - 1].value, util::DecimalOf(42));
  EXPECT_TRUE(OnlyTheStateIsLeft());
}

TEST_F(CalculatorScreenTest, DrawsTheTapeAboveTheEntryInItsFrame) {
  platform::console::SetHeadlessStarvedHandler([this](int) {
    snapshot_ = {Row(19, 1, 26), Row(20, 1, 26), Row(21, 1, 26), Row(22, 1, 26),
                 Row(23, 1, 26), Row(24, 1, 26), Row(25, 1, 26)};
    Feed("Esc");
    return true;
  });
  Run("text:12+30=");
  platform::console::SetHeadlessStarvedHandler(nullptr);
  const std::vector<std::string> expected = {
      "┌────────────────────────┐",
      "│                   12 + │",
      "│                   30 = │",
      "│                   42   │",
      "├────────────────────────┤",
      "│                   42   │",
      "└────────────────────────┘"};
  ASSERT_EQ(snapshot_.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(util::Cp850ToUtf8(snapshot_[i]), expected[i]) << "row " << 19 + i;
  }
}

TEST_F(CalculatorScreenTest, ADamagedFileOpensAWorkingCalculatorAndTheFieldKeepsItsKeys) {
  term_.Put("KITCALC.TMP", "\"\"\"" + std::string(5000, '\xFF') + "\r\n1e999,,\r\n");
  SetKeySet("+ea", "d,1b,4800");
  SetKeySet("+ea", "d,1b,3b00");
  const EditorState field = TakeEditorState();
  EXPECT_EQ(Run("text:1+1=F"), "200");
  // The key set of the field below, and its caller's in the slot, as they were.
  EXPECT_EQ(TakeEditorState().codes, field.codes);
  EXPECT_EQ(TakeEditorState().saved_codes, field.saved_codes);
  EXPECT_EQ(LoadCalculatorState().tape[kTapeLines - 1].value, util::DecimalOf(2));
}

TEST_F(CalculatorScreenTest, AFailedSaveLeavesTheLastStateAsItWas) {
  CalculatorState s;
  for (const char* k = "7+8="; *k != '\0'; ++k) CalculatorKey(s, *k);
  ASSERT_TRUE(SaveCalculatorState(s).ok());
  const std::string before = term_.Get("KITCALC.TMP");
  // A file size limit smaller than the state: the temporary file cannot be
  // written whole.
  platform::fs::FailWritesPastSizeLimit();
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 64;
  setrlimit(RLIMIT_FSIZE, &small);
  CalculatorKey(s, 'C');
  const bool saved = SaveCalculatorState(s).ok();
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(saved);
  EXPECT_EQ(term_.Get("KITCALC.TMP"), before);
  EXPECT_TRUE(OnlyTheStateIsLeft());
}

}  // namespace
}  // namespace ui::forms
