#include "app/form_hooks.h"

#include <gtest/gtest.h>

#include "app/program.h"
#include "env/installation.h"
#include "env/session.h"
#include "forms/forms.h"
#include "platform/console/console.h"
#include "remit/generation.h"
#include "tests/support/headless_screen.h"
#include "tests/support/reset.h"
#include "tests/support/scratch_dir.h"
#include "util/cp850.h"
#include "util/dates.h"

namespace app {
namespace {

namespace forms = ui::forms;

// The program's own form file in a scratch root, its defaults set and its
// hooks in place.
class FormHooksTest : public qdeb::testing::FreshStateTest {
 protected:
  FormHooksTest() {
    root_.MakeDir("FORMS");
    root_.Put("FORMS/QDEBCONV.JPN", qdeb::testing::ReadHostFile(std::string(QDEB_SOURCE_DIR) +
                                                                  "/install/FORMS/QDEBCONV.JPN"));
    env::session.RootDir = root_.Host();
    env::session.WorkDir = root_.Host();
    env::session.LanguageCode = "CAT";
    env::session.WorkDate = util::PackDigits("20261208");
  }
  ~FormHooksTest() override { ResetProgram(); }

  void Load() {
    const env::Status loaded = LoadFormFile();
    ASSERT_TRUE(loaded.ok()) << loaded.words();
    SetFormDefaults();
    InstallFormHooks();
  }
  static std::string Value(int16_t form, int16_t field) { return forms::Field(form, field)->value; }
  static void Set(int16_t form, int16_t field, const std::string& value) {
    forms::Field(form, field)->value = value;
  }
  // Runs the form's acceptance with the keys the confirmation form gets.
  static bool Accept(int16_t form, std::string_view confirmation_keys) {
    qdeb::testing::HeadlessScreen screen(confirmation_keys);
    int16_t key = 13;
    return OnFormAccept(form, key);
  }

  qdeb::testing::ScratchDir root_{"qdeb_app"};
};

TEST_F(FormHooksTest, RemittanceRangeIsTwoDigitsOrThreeForTheOfficesFixedPresenter) {
  Load();
  EXPECT_EQ(Value(kGenerationForm, 2), "  ");
  EXPECT_EQ(Value(kGenerationForm, 3), "99");
  EXPECT_EQ(Value(kGenerationForm, 1), "8/12/2026 ");  // the display form
  EXPECT_EQ(Value(kMainForm, 1), "G");

  program_choices.WideRange = true;
  Load();
  EXPECT_EQ(forms::Field(kGenerationForm, 2)->attributes[forms::kLength], 3);
  EXPECT_EQ(Value(kGenerationForm, 2), "   ");
  EXPECT_EQ(Value(kGenerationForm, 3), "999");
}

TEST_F(FormHooksTest, ARangeBackwardsOrUnconfirmedStaysOnTheFormAndAConfirmedOneIsTheSelection) {
  Load();
  Set(kGenerationForm, 1, "05/01/2027");
  Set(kGenerationForm, 2, "12");
  Set(kGenerationForm, 3, " 7");
  {
    // 12 to 7: no confirmation is even asked; a panel says why.
    qdeb::testing::HeadlessScreen screen;
    std::string shown;
    platform::console::SetHeadlessStarvedHandler([&](int) {
      shown = screen.Dump();
      screen.Feed("Enter");
      return true;
    });
    int16_t form = kGenerationForm, key = 13;
    EXPECT_FALSE(OnFormAccept(form, key));
    EXPECT_NE(shown.find("LA PRIMERA REMESA NO POT SER MÉS GRAN QUE L'ÚLTIMA: 12 > 7"),
              std::string::npos) << shown;
  }

  Set(kGenerationForm, 2, "3 ");
  Set(kGenerationForm, 3, "99");
  EXPECT_FALSE(Accept(kGenerationForm, "N\nEnter\n"));
  EXPECT_FALSE(Accept(kGenerationForm, "Esc\n"));
  EXPECT_TRUE(Accept(kGenerationForm, "s\nEnter\n"));
  EXPECT_EQ(program_choices.GenerationSelection.collection_date, util::PackDigits("20270105"));
  EXPECT_EQ(program_choices.GenerationSelection.range_from, util::PackDigits("0003"));  // typed as "3 ": taken by value
  EXPECT_EQ(program_choices.GenerationSelection.range_to, util::PackDigits("0099"));
}

TEST_F(FormHooksTest, FieldsAreCheckedAndStoredByType) {
  Load();
  qdeb::testing::HeadlessScreen screen;
  struct Case {
    int16_t form;
    int16_t field;
    std::string typed;
    bool accepted;
    std::string stored;
  };
  const Case cases[] = {
      {kGenerationForm, 1, "          ", true, "8/12/2026 "},  // blank: the work date
      {kGenerationForm, 1, "5/1/27", true, "5/1/2027  "},
      {kGenerationForm, 1, "31/2/27", false, "5/1/2027  "},
      {kGenerationForm, 2, "1x", false, "  "},
      {kGenerationForm, 2, " 4", true, " 4"},
      {kMainForm, 1, "T", true, "T"},
  };
  for (const Case& c : cases) {
    int16_t form = c.form, field = c.field, key = 13;
    std::string text = c.typed;
    EXPECT_EQ(CheckFieldValue(form, text, field, key), c.accepted) << c.typed;
    EXPECT_EQ(Value(c.form, c.field), c.stored) << c.typed;
  }
  EXPECT_EQ(FieldDisplay(kMainForm, 1).substr(0, 10), "T - COPIAR");
  EXPECT_EQ(FieldDisplay(kGenerationForm, 2), "  4  " + std::string(30, ' '));  // no TRemeses open
}

TEST_F(FormHooksTest, CopyFromAndToTheSameDriveIsRefusedWithItsMessage) {
  Load();
  root_.Put("R0.E19", "x");
  const std::string dos = root_.Dos();
  Set(kCopyForm, 1, dos.substr(0, 1));
  Set(kCopyForm, 2, dos.substr(2) + std::string(40 - (dos.size() - 2), ' '));
  Set(kCopyForm, 3, "R0.E19" + std::string(34, ' '));
  Set(kCopyForm, 4, dos.substr(0, 1));
  std::string shown;
  qdeb::testing::HeadlessScreen screen;
  platform::console::SetHeadlessStarvedHandler([&shown](int) {
    if (shown.empty()) {
      shown = platform::console::DumpText();
      platform::console::HeadlessFeed("Enter");
      return true;
    }
    return false;
  });
  int16_t form = kCopyForm, key = 13;
  EXPECT_FALSE(OnFormAccept(form, key));
  EXPECT_NE(shown.find("LES UNITATS ORIGEN I DESTÍ NO PODEN SER LA MATEIXA"), std::string::npos)
      << shown;
  platform::console::SetHeadlessStarvedHandler({});
}

}  // namespace
}  // namespace app
