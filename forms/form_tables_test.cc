#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "env/language.h"
#include "env/session.h"
#include "forms/forms.h"
#include "forms/test_forms.h"
#include "tests/support/random.h"
#include "tests/support/reset.h"
#include "tests/support/scratch_dir.h"

namespace ui::forms {
namespace {

using testing::kTestForms;
using FormFile = qdeb::testing::FreshStateTest;

// The tables as one text, to compare two readings.
std::string Tables() {
  std::string out;
  for (const FormDefinition& form : form_tables.Forms) {
    out += "[" + form.key_list + "|" + std::to_string(form.linked_form) + "|" +
           std::to_string(form.top) + "," + std::to_string(form.left) + "," +
           std::to_string(form.bottom) + "," + std::to_string(form.right) + "]";
    for (const FieldDefinition& field : form.fields) {
      for (int16_t a : field.attributes) out += std::to_string(a) + ",";
      out += field.label + "|" + field.help + "|" + field.value + ";";
    }
  }
  for (const ListDefinition& list : form_tables.Lists) {
    for (int16_t a : list.attributes) out += std::to_string(a) + ",";
    out += list.header + ";";
  }
  return out;
}

TEST_F(FormFile, ReadsWhatItHoldsAndCommentsChangeNothing) {
  const env::Status parsed = ParseFormFile(kTestForms);
  ASSERT_TRUE(parsed.ok()) << parsed.words();
  EXPECT_EQ(parsed.words(), "");
  ASSERT_EQ(form_tables.Forms.size(), 6u);
  ASSERT_EQ(form_tables.Lists.size(), 1u);
  EXPECT_EQ(Form(1)->key_list, "d,1b,4800,5000,4900,5100,3c00,3e00,3b00");
  EXPECT_EQ(Form(1)->bottom, 12);
  EXPECT_EQ(Form(3)->linked_form, 4);
  EXPECT_EQ(Field(1, 2)->label, "Data, dia: ");  // a quoted comma
  EXPECT_EQ(Field(1, 2)->help, "Type the date");
  EXPECT_EQ(Field(1, 3)->label, "Ok:");
  EXPECT_EQ(Field(1, 3)->help, "|S,Si|N,No");
  EXPECT_EQ(Field(1, 2)->attributes, (std::array<int16_t, 8>{2, 2, 8, 0, 4, 8, 11, 0}));
  EXPECT_EQ(Field(1, 1)->value, std::string(10, ' '));
  EXPECT_EQ(Field(6, 1)->value, "");
  EXPECT_EQ(form_tables.Lists[0].header, "Remittances");
  EXPECT_EQ(form_tables.Lists[0].attributes, (std::array<int16_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(Form(7), nullptr);
  EXPECT_EQ(Field(1, 4), nullptr);
  EXPECT_EQ(Field(0, 1), nullptr);
  const std::string with_comments = Tables();

  // Without the comment lines, with LF ends and a Ctrl+Z mark and more
  // after the last list: the same tables.
  std::string plain = kTestForms;
  plain = plain.substr(plain.find("6, 3"));
  for (size_t cr; (cr = plain.find('\r')) != std::string::npos;) plain.erase(cr, 1);
  const env::Status reparsed = ParseFormFile("\n  \n" + plain + "\x1A garbage");
  ASSERT_TRUE(reparsed.ok()) << reparsed.words();
  EXPECT_EQ(Tables(), with_comments);
}

TEST_F(FormFile, EveryCutBeforeTheLastItemIsRefusedWithAReason) {
  const std::string text = kTestForms;
  const size_t last_item = text.rfind(", 8");
  for (size_t cut = 0; cut <= last_item; ++cut) {
    ASSERT_TRUE(ParseFormFile(kTestForms).ok());
    const env::Status parsed = ParseFormFile(text.substr(0, cut));
    const std::string& why = parsed.words();
    EXPECT_EQ(parsed.code(), env::Code::kBadData) << "cut at " << cut;
    EXPECT_NE(why.find("line "), std::string::npos) << "cut at " << cut << ": " << why;
    EXPECT_TRUE(form_tables.Forms.empty() && form_tables.Lists.empty()) << "cut at " << cut;
  }
}

TEST_F(FormFile, RefusesWhatCannotBeNamingWhere) {
  const std::string form = "\"d\", 1, 0, 0, 0, 0, 0\n";
  const std::string field = "1, 1, L, 5, 0, 0, 0, 0, 0, H\n";
  const std::string no_lists = "0\n";
  const struct {
    std::string text;
    const char* reason;
  } cases[] = {
      {"-1, 1\n", "line 1: the number of forms: -1 is outside 1..999"},
      {"0, 1\n0\n", "the number of forms: 0 is outside"},
      {"1000, 1\n", "the number of forms: 1000 is outside"},
      {"abc, 1\n", "the number of forms: \"abc\" is not a number"},
      {"1 ,, 1\n", "the largest field count: an empty item"},
      {"1, 1\n\"d\", 2, 0, 0, 0, 0, 0\n", "line 2: form 1, the field count: 2 fields, more than"},
      {"1, 1\n\"d, 1, 0, 0, 0, 0, 0\n", "line 2: form 1, the key list: a quote is not closed"},
      {"1, 1\n\"d\"x, 1, 0, 0, 0, 0, 0\n", "form 1, the key list: characters after the closing"},
      {"1, 1\n" + form + "1, 1, L, 256, 0, 0, 0, 0, 0, H\n" + no_lists,
       "line 3: form 1, field 1, the length: 256 is outside 0..255"},
      {"1, 1\n" + form + "0, 1, L, 5, 0, 0, 0, 0, 0, H\n" + no_lists,
       "form 1, field 1, the label row: 0 is outside 1..99"},
      {"1, 1\n" + form + "1, 1, L, 5, 0, 0, 70000, 0, 0, H\n" + no_lists,
       "form 1, field 1, the flags: 70000 is outside"},
      {"1, 1\n\"d\", 0, 0, 1, 1, 25, 100\n", "form 1, the window right: 100 is outside 0..99"},
      {"1, 1\n\"d\", 0, 0, 5, 1, 5, 80\n", "form 1, the window: 5,1 to 5,80 is not a window"},
      {"1, 1\n\"d\", 0, 2, 0, 0, 0, 0\n", "form 1, the linked form: 2 is outside 0..1"},
      {"1, 1\n\"d\", 0, 1, 0, 0, 0, 0\n", "form 1, the linked form: a form cannot continue itself"},
      {"2, 0\n\"d\", 0, 2, 0, 0, 0, 0\n\"d\", 0, 1, 0, 0, 0, 0\n0\n",
       "form 1: its chain of linked forms never ends"},
      {"1, 1\n" + form + "1, 1, L, 5, 0, 0, 0, 0, 2, H\n1\n1,2,3,4,5,6,7,H,8\n",
       "form 1, field 1: browse list 2, but the file has 1"},
      {"1, 1\n" + form + field + "1000\n", "the number of browse lists: 1000 is outside"},
  };
  for (const auto& c : cases) {
    const env::Status parsed = ParseFormFile(c.text);
    const std::string& why = parsed.words();
    EXPECT_EQ(parsed.code(), env::Code::kBadData) << c.text;
    EXPECT_NE(why.find(c.reason), std::string::npos) << "got: " << why << "\nwanted: " << c.reason;
    EXPECT_TRUE(form_tables.Forms.empty() && form_tables.Lists.empty()) << c.text;
  }
  // The smallest file that holds what it announces.
  const env::Status parsed = ParseFormFile("1, 1\n" + form + field + "0\n");
  EXPECT_TRUE(parsed.ok()) << parsed.words();
}

TEST_F(FormFile, TheProgramsFormFileIsRead) {
  const std::string text =
      qdeb::testing::ReadHostFile(QDEB_SOURCE_DIR "/install/FORMS/QDEBCONV.JPN");
  ASSERT_FALSE(text.empty());
  const env::Status parsed = ParseFormFile(text);
  EXPECT_TRUE(parsed.ok()) << parsed.words();
  EXPECT_EQ(form_tables.Forms.size(), 5u);
}

TEST_F(FormFile, GarbageNeverCrashes) {
  qdeb::testing::Random random(19);
  const std::string good = kTestForms;
  for (int round = 0; round < 400; ++round) {
    // The good file with bytes overwritten, or bytes from nowhere.
    std::string text = good;
    if (round % 2 == 0) {
      for (int n = 0; n < 1 + round % 7; ++n) {
        text[random.Below(static_cast<uint32_t>(text.size()))] =
            static_cast<char>(random.Below(256));
      }
    } else {
      text.resize(random.Below(300));
      for (char& c : text) c = "0123456789,\"'-\r\n \x1A|ab"[random.Below(21)];
    }
    const env::Status parsed = ParseFormFile(text);
    if (!parsed.ok()) {
      EXPECT_FALSE(parsed.words().empty());
      EXPECT_TRUE(form_tables.Forms.empty());
    }
  }
}

TEST_F(FormFile, TranslatesLabelsHelpAndHeadersButNotKeyLists) {
  qdeb::testing::ScratchDir dir("forms");
  dir.Put("LOCALE/QDEBCONV.LNG",
          "\"Data, dia: \",\"Fecha, dia: \",x,x\r\n"
          "\"|S,Si|N,No\",\"|S,Si|N,Non\",x,x\r\n"
          "Remittances,Remesas,x,x\r\n"
          "\"d,1b\",NO,x,x\r\n");
  env::session.RootDir = dir.Dos();
  env::SetProgramId("QDEBCONV");
  env::session.LanguageCode = "SPA";
  ASSERT_TRUE(ParseFormFile(kTestForms).ok());
  TranslateFormTexts();
  EXPECT_EQ(Field(1, 2)->label, "Fecha, dia: ");
  EXPECT_EQ(Field(1, 3)->help, "|S,Si|N,Non");
  EXPECT_EQ(Field(1, 1)->label, "Nom: ");  // no record: as it was
  EXPECT_EQ(form_tables.Lists[0].header, "Remesas");
  EXPECT_EQ(Form(6)->key_list, "d,1b");
  EXPECT_EQ(Form(2)->key_list, "d,1b,4800,5000");
}

}  // namespace
}  // namespace ui::forms
