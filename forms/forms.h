// The form tables and the form engine: every dialogue of the program is a
// form described by data (loaded from the form file at start-up), a window
// with labelled fields that the engine runs field by field with the line
// editor, calling the program's hooks to draw, check and accept.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "env/status.h"

namespace ui::forms {

// Field attributes (FieldDefinition::attributes).
inline constexpr int kLabelRow = 0;       // relative to the form's window
inline constexpr int kLabelColumn = 1;    // the value follows the label
inline constexpr int kLength = 2;         // of the value
inline constexpr int kEditWidth = 3;      // characters per row; 0 one row
inline constexpr int kTrailingArea = 4;   // cleared after the value; 0 none
inline constexpr int kFlags = 5;
inline constexpr int kFieldType = 6;      // the program's hooks read it
inline constexpr int kBrowseList = 7;     // list offered with F4; 0 none
// Flags (attribute kFlags).
inline constexpr int16_t kBlankEntry = 1;
inline constexpr int16_t kHiddenEntry = 2;
inline constexpr int16_t kDisplayOnly = 4;
inline constexpr int16_t kCursorAtEnd = 8;

struct FieldDefinition {
  std::array<int16_t, 8> attributes{};
  std::string label;
  std::string help;   // help text, or a choice list "|code,text|code,text"
  std::string value;  // the field's current value, attribute kLength long
};

struct FormDefinition {
  std::string key_list;      // "d,1b,4800,5000": the keys that end a field
  int16_t linked_form = 0;   // the form that continues this one; 0 none
  int16_t top = 0;           // the window; top 0: no window of its own
  int16_t left = 0;
  int16_t bottom = 0;
  int16_t right = 0;
  std::vector<FieldDefinition> fields;  // fields[0] is field 1
};

struct ListDefinition {
  std::array<int16_t, 8> attributes{};
  std::string header;
};

// The form and list tables, loaded once for the whole run. Back to start by
// ResetForms.
struct FormTables {
  // The tables, for the whole run; form_tables.Forms[0] is form 1, form_tables.Lists[0] list 1.
  std::vector<FormDefinition> Forms{};
  std::vector<ListDefinition> Lists{};
};
extern FormTables form_tables;

// Form k and field j of it, 1-based; nullptr when there is none.
FormDefinition* Form(int16_t k);
FieldDefinition* Field(int16_t k, int16_t j);

// Reads a form file's text into the tables (replacing them): comment lines
// (first non-blank character "'") and blank lines at the top, then the
// number of forms and the largest field count, each form (key list, field
// count, linked form, top, left, bottom, right; then per field attribute 0,
// attribute 1, the label, attributes 2 to 7, the help text), the number of
// lists and each list (attributes 0 to 6, the header, attribute 7); what
// follows the last list is not read. Items are separated as by list input:
// commas or line ends; a number ends at a blank too; a text is unquoted (to
// the comma or line end, trailing blanks dropped) or quoted (may hold
// commas, "" for a quote, closed on its line). Each value starts as blanks
// of its length.
// kBadData, with the tables empty and in its words the line, the item ("form 2,
// field 3, the length") and what is wrong, for a file that is truncated,
// holds a non-number where a number belongs, or announces what cannot be:
// no forms, more than 999 forms, fields or lists, more fields than the
// largest field count, a label outside 1..99 x 1..99, a length or edit
// width beyond 255, a negative trailing area or flags, a window outside
// 1..99 x 1..99 or without an inside, a linked form that does not exist or
// a chain of linked forms that comes back on itself, a browse list the
// file does not define.
env::Status ParseFormFile(std::string_view text);
// Every label, help text and list header through the language file (key
// lists are not translated).
void TranslateFormTexts();

// The form engine's state while a form runs and the entry picked last in a
// list, read by the program's hooks after the call: one per process, like
// the screen. Back to start by ResetForms.
struct FormState {
  // The engine's state, for the hooks while a field is edited.
  std::string CurrentEntry{};
  int16_t CurrentForm{};
  int16_t CurrentField{};
  // The page of a chain of linked forms left with PgUp or PgDn; 0 none.
  int16_t ResumeForm{};
  // The entry picked last in a list without a record file: its record
  // position field and its line.
  int32_t PickedPosition{};
  std::string PickedText{};
  // The forms running now, outermost first. A linked form that is already
  // running is not shown again inside itself (the program may have changed
  // the tables after they were checked).
  std::vector<int16_t> Running{};
};
extern FormState form_state;

// The program's hooks, filled once at start-up. Empty members are harmless:
// nothing drawn, every entry accepted and stored as typed, every form left.
struct LayerHooks {
  // After the form's window is opened: title, labels and values.
  std::function<void(int16_t form)> on_form_open;
  // Redraws a field's stored value in its own format (after Escape).
  std::function<void(int16_t form, int16_t field)> show_field_value;
  // Checks and stores an entry left with any key but Escape (or F1 and F4,
  // which the engine handles): a yes or no, true accepts, false refuses (the
  // engine beeps and edits the field again). May change the field number (the
  // entry goes on from there) or the key (the engine moves by it). Empty:
  // the engine stores the entry as typed.
  std::function<bool(int16_t& form, std::string& text, int16_t& field, int16_t& key)>
      check_field_value;
  // After an entry was picked in a browse list: stores it into the form;
  // setting list to 0 shows the list again.
  std::function<void(int16_t& list, int16_t& form, int16_t& field)> on_list_pick;
  // When the form is about to be left, a yes or no: true lets it close (with
  // the key as the hook left it), false goes on editing from the first field.
  std::function<bool(int16_t& form, int16_t& key)> on_form_accept;
  // F4: shows browse list `list`; true when an entry was picked.
  std::function<bool(int16_t list)> show_list;
  // F1: shows the help page of the topic.
  std::function<void(const std::string& topic)> show_help;
  // Before browse list `list` is shown: prepares its data (for a list
  // without a record file, the entries of the work file) and gives the key
  // the reading starts at and the prefix every key read must begin with.
  // Ok shows the list; a failure cancels it and is its status. Empty:
  // start key and prefix empty, ok.
  std::function<env::Status(int16_t list, std::string& start_key, std::string& key_prefix)>
      fill_catalogue_level;
  // The display line of the current record of browse list `list`'s record
  // file; an empty line leaves the record out. Empty: the record buffer's
  // text.
  std::function<std::string(int16_t list)> list_line;
};
extern LayerHooks Hooks;

// Runs form |form| (negative: as a continuation page of a chain). The page
// flags let PgUp on the first field and PgDn on the last leave the form.
// key returns the key that ended it: 13 accepted, 27 left with Escape,
// 0x4900 or 0x5100 paged out, 0x4F00 or 2 left at once, or another key of
// the form's key list. A form that does not exist, or is running already
// (a hook showing its own form again), is not shown: key 27. A form with no
// field to enter is drawn and left at once, with key 27.
void ShowForm(int16_t& form, int16_t& first_page, int16_t& last_page, int16_t& key);

// Back to the start-up state: no tables, no hooks, no engine state, no
// browse list results.
void ResetForms();

}  // namespace ui::forms
