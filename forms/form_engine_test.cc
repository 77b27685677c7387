#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "env/session.h"
#include "forms/forms.h"
#include "forms/test_forms.h"
#include "platform/console/console.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "ui/ui_test_support.h"
#include "util/basics.h"

namespace ui::forms {
namespace {

namespace console = platform::console;

struct EngineCase {
  const char* name;
  int16_t form;
  int16_t first_page = 0;
  int16_t last_page = 0;
  int16_t resume_before = 0;
  const char* presets = "";             // "5.1=ABC 5.2=PW": values before the run
  std::vector<const char*> steps = {};  // the keys typed at each wait
  const char* path = "";                // form.field edited at each wait
  int16_t key = 0;                      // what the form returns
  int16_t resume_after = 0;
  int beeps = 0;
  const char* log = "";    // the hooks called, besides the checks
  const char* values = "";  // "5.1=ABC": stored values after the run
};

const EngineCase kCases[] = {
    {.name = "Enter through three fields accepts",
     .form = 1, .steps = {"Enter", "Enter", "Enter"},
     .path = "1.1 1.2 1.3", .key = 13, .log = "accept(1,13)"},
    {.name = "Escape goes to the first field, then leaves",
     .form = 1, .steps = {"Enter", "Esc", "Esc"},
     .path = "1.1 1.2 1.1", .key = 27, .log = "show(1.2) show(1.1) accept(1,27)"},
    {.name = "Up on the first field of a main page stays",
     .form = 1, .steps = {"Up", "Down", "Up", "Esc"},
     .path = "1.1 1.1 1.2 1.1", .key = 27, .log = "show(1.1) accept(1,27)"},
    {.name = "Up on the first field of a continuation page leaves",
     .form = -1, .steps = {"Up"}, .path = "1.1", .key = 27, .log = "accept(1,27)"},
    {.name = "PgDn without page flags jumps to the last field and stays",
     .form = 1, .steps = {"PgDn", "PgDn", "PgUp", "PgUp", "Esc"},
     .path = "1.1 1.3 1.3 1.1 1.1", .key = 27, .log = "show(1.1) accept(1,27)"},
    {.name = "PgDn and PgUp with page flags page out",
     .form = 1, .first_page = 1, .last_page = 1, .steps = {"PgDn", "PgDn"},
     .path = "1.1 1.3", .key = 0x5100, .resume_after = 1, .log = "accept(1,20736)"},
    {.name = "PgUp with the first-page flag pages out",
     .form = 1, .first_page = 1, .steps = {"PgUp"},
     .path = "1.1", .key = 0x4900, .resume_after = 1, .log = "accept(1,18688)"},
    {.name = "A click on a label selects its field; elsewhere nothing",
     .form = 1, .steps = {"click:8,12", "click:20,70", "click:7,22", "Enter", "Enter"},
     .path = "1.1 1.3 1.3 1.2 1.3", .key = 13, .log = "accept(1,13)"},
    {.name = "Display-only fields are passed over both ways",
     .form = 2, .steps = {"Enter", "Up", "Down", "Down", "Enter"},
     .path = "2.1 2.3 2.1 2.3 2.3", .key = 13, .log = "accept(2,13)"},
    {.name = "A refused entry beeps and is edited again",
     .form = 1, .steps = {"text:BAD\nEnter", "C-y\ntext:GOOD\nEnter", "Enter", "Enter"},
     .path = "1.1 1.1 1.2 1.3", .key = 13, .beeps = 1, .log = "accept(1,13)",
     .values = "1.1=GOOD"},
    {.name = "Escape drops the entry",
     .form = 1, .presets = "1.1=OLD", .steps = {"text:NEW\nEsc"},
     .path = "1.1", .key = 27, .log = "show(1.1) accept(1,27)", .values = "1.1=OLD"},
    {.name = "A blank entry left empty keeps its value; a hidden one is stored",
     .form = 5, .presets = "5.1=ABC 5.2=PW", .steps = {"Enter", "text:NEW\nEnter", "Enter"},
     .path = "5.1 5.2 5.3", .key = 13, .log = "accept(5,13)", .values = "5.1=ABC 5.2=NEW"},
    {.name = "F4 on the last field picks and accepts",
     .form = 5, .steps = {"Enter", "Enter", "F4"},
     .path = "5.1 5.2 5.3", .key = 13, .log = "list(1) pick(1,5.3) accept(5,13)",
     .values = "5.3=PICKED"},
    {.name = "F1 shows the menu's help page",
     .form = 1, .steps = {"F1", "Esc"},
     .path = "1.1 1.1", .key = 27, .log = "help(AJUDA) show(1.1) accept(1,27)"},
    {.name = "Enter on the last field runs the linked page",
     .form = 3, .steps = {"Enter", "Enter", "Enter"},
     .path = "3.1 4.1 4.2", .key = 13, .log = "accept(4,13) accept(3,13)"},
    {.name = "Escape on a linked page comes back to the page before",
     .form = 3, .steps = {"Enter", "Esc", "Esc"},
     .path = "3.1 4.1 3.1", .key = 27,
     .log = "show(4.1) accept(4,27) show(3.1) accept(3,27)"},
    {.name = "PgDn off a linked page leaves the chain there",
     .form = 3, .last_page = 1, .steps = {"Enter", "PgDn", "PgDn"},
     .path = "3.1 4.1 4.2", .key = 0x5100, .resume_after = 4,
     .log = "accept(4,20736) accept(3,20736)"},
    {.name = "The chain is entered again at the page that was left",
     .form = 3, .last_page = 1, .resume_before = 4, .steps = {"Enter", "Enter"},
     .path = "4.1 4.2", .key = 13, .log = "accept(4,13) accept(3,13)"},
    {.name = "A resumed page left with Escape starts the first page",
     .form = 3, .resume_before = 4, .steps = {"Esc", "Esc"},
     .path = "4.1 3.1", .key = 27,
     .log = "show(4.1) accept(4,27) show(3.1) accept(3,27)"},
    {.name = "A page left elsewhere is forgotten",
     .form = 1, .resume_before = 4, .steps = {"Esc"},
     .path = "1.1", .key = 27, .log = "show(1.1) accept(1,27)"},
    {.name = "A refused acceptance goes on from the first field",
     .form = 1, .steps = {"text:STAY\nEnter", "Enter", "Enter", "C-y\nEnter", "Enter", "Enter"},
     .path = "1.1 1.2 1.3 1.1 1.2 1.3", .key = 13, .log = "accept(1,13) accept(1,13)"},
    {.name = "A form with nothing to enter is shown and left",
     .form = 6, .key = 27, .log = "accept(6,27)"},
    {.name = "A form that does not exist is not shown", .form = 9, .key = 27},
};

class FormEngineTest : public ui::testing::UiTest {
 protected:
  void SetUp() override {
    const env::Status parsed = ParseFormFile(testing::kTestForms);
    ASSERT_TRUE(parsed.ok()) << parsed.words();
    env::session.MenuName = "AJUDA   ";
    Hooks.check_field_value = [](int16_t& form, std::string& text, int16_t& field,
                                 int16_t&) {
      if (util::Trim(text) == "BAD") return false;
      Field(form, field)->value = text;
      return true;
    };
    Hooks.show_field_value = [this](int16_t form, int16_t field) {
      log_ += " show(" + Where(form, field) + ")";
    };
    Hooks.on_form_accept = [this](int16_t& form, int16_t& key) {
      log_ += " accept(" + std::to_string(form) + "," + std::to_string(key) + ")";
      if (key != 27 && util::Trim(Field(form, 1)->value) == "STAY") {
        Field(form, 1)->value = "";
        return false;
      }
      return true;
    };
    Hooks.show_help = [this](const std::string& topic) { log_ += " help(" + topic + ")"; };
    Hooks.show_list = [this](int16_t list) {
      log_ += " list(" + std::to_string(list) + ")";
      return true;
    };
    Hooks.on_list_pick = [this](int16_t& list, int16_t& form, int16_t& field) {
      log_ += " pick(" + std::to_string(list) + "," + Where(form, field) + ")";
      Field(form, field)->value = "PICKED";
    };
  }

  static std::string Where(int16_t form, int16_t field) {
    return std::to_string(form) + "." + std::to_string(field);
  }

  // Runs the form feeding one step of keys each time it waits, noting the
  // field being edited at each wait. When the steps run out the test fails
  // and the form gets Escape until it unwinds.
  int16_t Run(int16_t form, int16_t first_page, int16_t last_page,
              std::deque<std::string> steps) {
    console::SetHeadlessStarvedHandler([this, &steps](int) {
      path_ += " " + Where(form_state.CurrentForm, form_state.CurrentField);
      if (steps.empty()) {
        ADD_FAILURE() << "the keys ran out";
        Feed("Esc");
        return true;
      }
      Feed(steps.front());
      steps.pop_front();
      return true;
    });
    int16_t key = 0;
    ShowForm(form, first_page, last_page, key);
    console::SetHeadlessStarvedHandler(nullptr);
    return key;
  }

  std::string path_;
  std::string log_;
};

// Values "5.1=ABC 5.2=PW" applied, or compared trailing blanks aside.
void ForEachValue(const char* values, const std::function<void(FieldDefinition*, std::string)>& f) {
  std::istringstream in(values);
  std::string item;
  while (in >> item) {
    const int16_t form = static_cast<int16_t>(std::stoi(item));
    const int16_t field = static_cast<int16_t>(std::stoi(item.substr(item.find('.') + 1)));
    FieldDefinition* definition = Field(form, field);
    ASSERT_NE(definition, nullptr) << item;
    f(definition, item.substr(item.find('=') + 1));
  }
}

TEST_F(FormEngineTest, MovesAndLeavesAsTheKeysSay) {
  for (const EngineCase& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(ParseFormFile(testing::kTestForms).ok());
    ForEachValue(c.presets, [](FieldDefinition* field, std::string value) {
      value.resize(field->value.size(), ' ');
      field->value = value;
    });
    form_state.ResumeForm = c.resume_before;
    path_.clear();
    log_.clear();
    // The caller's key set, with one saved in the single slot: both must
    // come back as they were.
    SetKeySet("ea", "1b");
    SetKeySet("+ea", "d");
    const int beeps = console::HeadlessBeeps();

    const int16_t key = Run(c.form, c.first_page, c.last_page,
                            std::deque<std::string>(c.steps.begin(), c.steps.end()));

    EXPECT_EQ(path_, c.path[0] ? std::string(" ") + c.path : "");
    EXPECT_EQ(key, c.key);
    EXPECT_EQ(form_state.ResumeForm, c.resume_after);
    EXPECT_EQ(console::HeadlessBeeps() - beeps, c.beeps);
    EXPECT_EQ(log_, c.log[0] ? std::string(" ") + c.log : "");
    ForEachValue(c.values, [](FieldDefinition* field, const std::string& value) {
      EXPECT_EQ(util::TrimRight(field->value), value);
    });
    // Everything back as it was.
    EXPECT_EQ(window_stack.WindowDepth, 0);
    EXPECT_FALSE(WindowFileExists());
    EXPECT_EQ(window_stack.ColourStack, "");
    EXPECT_EQ(keyboard.KeySetCodes, std::string("\x0d\x00", 2));
    EXPECT_TRUE(keyboard.KeySetSaved);
    EXPECT_EQ(keyboard.SavedKeySetCodes, std::string("\x1b\x00", 2));
    EXPECT_EQ(keyboard.MaskCharacter, 0);
    EXPECT_EQ(keyboard.ChoiceList, "");
    EXPECT_EQ(form_state.CurrentForm, 0);
    EXPECT_EQ(form_state.CurrentField, 0);
    EXPECT_EQ(form_state.CurrentEntry, "");
    SetKeySet("-e", "");
  }
}

TEST_F(FormEngineTest, DrawsItsWindowKeepsSecretsAndRestoresTheScreen) {
  const std::string before = Screen();
  Hooks.on_form_open = [](int16_t form) {
    for (const FieldDefinition& field : Form(form)->fields) {
      PrintAt(field.attributes[kLabelRow], field.attributes[kLabelColumn], field.label);
    }
  };
  std::vector<std::string> rows;
  Hooks.on_form_accept = [&rows](int16_t&, int16_t&) {
    std::istringstream screen(console::DumpText());
    for (std::string row; std::getline(screen, row);) rows.push_back(row);
    return true;
  };
  EXPECT_EQ(Run(5, 0, 0, {"Enter", "text:SECRET\nEnter", "Enter"}), 13);
  EXPECT_EQ(Field(5, 2)->value, "SECRET");
  ASSERT_EQ(rows.size(), 25u);
  // Form 5's window: rows 6 to 11, columns 20 to 70, double lines; the
  // labels inside it; the hidden entry masked once it is left.
  EXPECT_EQ(rows[5].substr(19, 6), "╔═");
  EXPECT_EQ(rows[7].substr(23, 14), "Secret: XXXXXX");
  for (const std::string& row : rows) EXPECT_EQ(row.find("SECRET"), std::string::npos) << row;
  EXPECT_EQ(Screen(), before);
}

}  // namespace
}  // namespace ui::forms
