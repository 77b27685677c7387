// The form engine: runs one form field by field with the line editor, moves
// between fields by the key that ended each, follows linked forms as further
// pages, and calls the program's hooks to draw, check and accept. Every path
// out of a form closes the window it opened and leaves the key set, the mask
// and the choice list as they were.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "env/session.h"
#include "forms/browse_list.h"
#include "forms/editor_state.h"
#include "forms/forms.h"
#include "forms/print_spool.h"
#include "platform/console/console.h"
#include "ui/field.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/basics.h"

namespace ui::forms {

// Process-wide: one form engine per screen, and the screen is one per process.
FormState form_state;
// Process-wide: filled once at start-up by the program above.
LayerHooks Hooks;

namespace {


bool IsRunning(int16_t k) {
  for (int16_t r : form_state.Running) {
    if (r == k) return true;
  }
  return false;
}

// Keys with which a linked page ends the page before it as well.
bool EndsChain(int16_t key) {
  return key == kKeyPgUp || key == kKeyPgDn || key == kKeyEnd || key == kKeyCtrlB || key == kKeyEnter ||
         key == kKeyDown || key == kKeyUp;
}

bool Enterable(int16_t k, int16_t j) {
  const FieldDefinition* field = Field(k, j);
  return field != nullptr && (field->attributes[kFlags] & kDisplayOnly) == 0;
}

int16_t FieldCount(int16_t k) {
  const FormDefinition* form = Form(k);
  return form == nullptr ? 0 : static_cast<int16_t>(form->fields.size());
}

// The first and the last field that can be entered; 0 and 0 when none can.
void EnterableRange(int16_t k, int16_t* first, int16_t* last) {
  *first = *last = 0;
  for (int16_t j = 1; j <= FieldCount(k); ++j) {
    if (!Enterable(k, j)) continue;
    if (*first == 0) *first = j;
    *last = j;
  }
}

// The form that continues k, when it can be shown; 0 otherwise.
int16_t LinkedForm(int16_t k) {
  const FormDefinition* form = Form(k);
  if (form == nullptr || Form(form->linked_form) == nullptr) return 0;
  return IsRunning(form->linked_form) ? 0 : form->linked_form;
}

// Whether form_state.ResumeForm is k or a page that follows it.
bool ResumeOnChain(int16_t k) {
  int16_t page = k;
  for (size_t steps = 0; page != 0 && steps <= form_tables.Forms.size(); ++steps) {
    if (page == form_state.ResumeForm) return true;
    const FormDefinition* form = Form(page);
    page = form == nullptr ? 0 : form->linked_form;
  }
  return false;
}

std::string Fitted(const std::string& text, size_t length) {
  std::string out = text.substr(0, length);
  out.resize(length, ' ');
  return out;
}

// The help text of a choice field is its option list.
bool IsChoiceField(const FieldDefinition& field) {
  return !field.help.empty() && field.help.front() == '|';
}

struct Layout {
  int16_t row = 0;
  int16_t value_column = 0;  // right after the label
  int16_t width = 0;         // characters per row
  int16_t trailing = 0;
};

Layout LayoutOf(const FieldDefinition& field) {
  const auto& a = field.attributes;
  Layout layout;
  layout.row = a[kLabelRow];
  // A label longer than any screen (a translation gone wrong) only pushes
  // the value off the screen.
  const size_t label = std::min<size_t>(field.label.size(), 999);
  layout.value_column = static_cast<int16_t>(a[kLabelColumn] + static_cast<int>(label));
  layout.width = a[kEditWidth] > 0 ? a[kEditWidth] : a[kLength];
  layout.trailing = a[kTrailingArea];
  return layout;
}

void ClearTrailingArea(const Layout& layout) {
  if (layout.trailing <= 0) return;
  PrintAt(layout.row, static_cast<int16_t>(layout.value_column + layout.width),
          std::string(static_cast<size_t>(layout.trailing), ' '));
}

// A field with a trailing area: the entry as left, in the normal colour,
// and the area cleared. A hidden entry stays masked; a choice field is
// redrawn by the hooks.
void ShowLeftEntry(const FieldDefinition& field, const Layout& layout, const std::string& text) {
  if (layout.trailing <= 0) return;
  const bool hidden = (field.attributes[kFlags] & kHiddenEntry) != 0;
  const size_t width = static_cast<size_t>(layout.width);
  if (!IsChoiceField(field) && width > 0) {
    for (size_t start = 0, line = 0; start < text.size(); start += width, ++line) {
      std::string run = text.substr(start, width);
      if (hidden) run.assign(run.size(), 'X');
      PrintAt(static_cast<int16_t>(layout.row + static_cast<int>(line)), layout.value_column, run);
    }
  }
  ClearTrailingArea(layout);
}

// The field whose area (its label and its value, over all its rows) holds
// the clicked cell; 0 for none.
int16_t ClickedField(int16_t k, int16_t code) {
  int16_t row = 0, column = 0;
  if (!ClickCell(code, &row, &column)) return 0;
  // Field places are relative to the window they are drawn in.
  if (window_stack.WindowDepth > 0) {
    row = static_cast<int16_t>(row - window_stack.WindowTop);
    column = static_cast<int16_t>(column - window_stack.WindowLeft);
  }
  for (int16_t j = 1; j <= FieldCount(k); ++j) {
    if (!Enterable(k, j)) continue;
    const FieldDefinition& field = *Field(k, j);
    const Layout layout = LayoutOf(field);
    const int length = field.attributes[kLength];
    const int rows = layout.width > 0 ? std::max(1, (length + layout.width - 1) / layout.width) : 1;
    const int left = field.attributes[kLabelColumn];
    const int right = layout.value_column + layout.width - 1;
    if (row >= layout.row && row < layout.row + rows && column >= left && column <= right) return j;
  }
  return 0;
}

// F4: the browse list of the field until the hook takes a pick. False when
// the operator left the list without picking.
bool PickFromList(int16_t k, int16_t* j, int16_t list) {
  for (;;) {
    if (!Hooks.show_list(list)) return false;
    int16_t picked_list = list, form = k, field = *j;
    if (Hooks.on_list_pick) Hooks.on_list_pick(picked_list, form, field);
    if (Field(k, field) != nullptr) *j = field;
    if (picked_list != 0) return true;
  }
}

// Edits field j of form k until it is left with a key the movement handles,
// after the hooks have checked it; j may come back changed by them.
int16_t EditOneField(int16_t k, int16_t* j, int16_t last) {
  std::string text;
  bool again = false;  // edit again what was typed
  for (;;) {
    const FormDefinition* form = Form(k);
    const FieldDefinition* field = Field(k, *j);
    if (form == nullptr || field == nullptr) return kKeyEscape;
    const auto& a = field->attributes;
    const size_t length = static_cast<size_t>(std::max<int16_t>(a[kLength], 0));
    const bool hidden = (a[kFlags] & kHiddenEntry) != 0;
    const bool blank_entry = hidden || (a[kFlags] & kBlankEntry) != 0;
    if (!again) text = blank_entry ? std::string(length, ' ') : Fitted(field->value, length);
    again = false;
    const Layout layout = LayoutOf(*field);

    const EditorState before = TakeEditorState();
    SetKeySet("+ea", form->key_list + ",3b00");  // the form's keys and F1 end the field
    if (hidden) SetKeySet("h", "");
    ClearTrailingArea(layout);
    SetChoiceList(IsChoiceField(*field) ? field->help : std::string());
    int16_t position = 1;
    if ((a[kFlags] & kCursorAtEnd) != 0) {
      position = static_cast<int16_t>(util::TrimRight(text).size() + 1);
    }
    form_state.CurrentForm = k;
    form_state.CurrentField = *j;
    form_state.CurrentEntry = text;
    int16_t key = 0;
    EditField(layout.row, layout.value_column, a[kEditWidth], text, position, key);
    form_state.CurrentEntry = text;
    // The hooks below open lists, help pages and forms of their own: they
    // find the caller's key set and a free save slot.
    PutEditorState(before);

    if (key == kKeyF1) {
      const std::string topic(util::TrimRight(env::session.MenuName));
      if (!topic.empty() && Hooks.show_help) Hooks.show_help(topic);
      again = true;
      continue;
    }
    if (key == kKeyF4) {
      const int16_t list = a[kBrowseList];
      again = true;
      if (list <= 0 || !Hooks.show_list) continue;
      if (!PickFromList(k, j, list)) {
        platform::console::Beep();
        continue;
      }
      // As Down; as Enter on the last field of a form that nothing continues.
      return *j >= last && LinkedForm(k) == 0 ? kKeyEnter : kKeyDown;
    }
    ShowLeftEntry(*field, layout, text);
    if (key == kKeyEscape) {
      if (Hooks.show_field_value) Hooks.show_field_value(k, *j);
      return key;
    }
    // Left empty, a blank entry keeps what the field held.
    if (blank_entry && util::Trim(text).empty()) text = Fitted(field->value, length);
    int16_t form_number = k, field_number = *j;
    bool accepted = true;
    if (Hooks.check_field_value) {
      accepted = Hooks.check_field_value(form_number, text, field_number, key);
    } else if (FieldDefinition* stored = Field(k, *j)) {
      stored->value = text;
    }
    const bool moved = field_number != *j && Field(k, field_number) != nullptr;
    if (moved) *j = field_number;
    if (accepted) return key;
    platform::console::Beep();
    again = !moved;
  }
}

// A display-only field is passed over in the direction of the move.
int16_t Settle(int16_t k, int16_t j, int step, int16_t first, int16_t last) {
  while (j >= first && j <= last && !Enterable(k, j)) j = static_cast<int16_t>(j + step);
  if (j < first) return first;
  if (j > last) return last;
  return j;
}

struct Page {
  int16_t k = 0;
  bool continuation = false;
  int16_t* first_page = nullptr;
  int16_t* last_page = nullptr;
  int16_t first = 0;
  int16_t last = 0;
};

// Shows the page that continues this one; true when that ends this page too
// (the key it ended with is then in *key).
bool ShowLinkedPage(const Page& page, int16_t linked, int16_t* key) {
  int16_t number = static_cast<int16_t>(-linked);
  int16_t linked_key = *key;
  ShowForm(number, *page.first_page, *page.last_page, linked_key);
  if (!EndsChain(linked_key)) return false;
  *key = linked_key;
  return true;
}

// Moves from field *j by the key that left it; true when the form is left
// (with the key, possibly changed, in *key).
bool Move(const Page& page, int16_t* j, int16_t* key) {
  const int16_t first = page.first, last = page.last;
  switch (*key) {
    case kKeyPgUp:
      if (*j <= first && *page.first_page != 0) {
        form_state.ResumeForm = page.k;
        return true;
      }
      *j = first;
      return false;
    case kKeyPgDn:
      if (*j >= last && *page.last_page != 0) {
        form_state.ResumeForm = page.k;
        return true;
      }
      *j = last;
      return false;
    case kKeyEnd:
    case kKeyCtrlB:
      return true;
    case kKeyEscape:
      if (*j <= first) return true;
      *j = first;
      return false;
    case kKeyEnter:
    case kKeyDown:
    case kKeyF2: {
      const int16_t linked = LinkedForm(page.k);
      if ((*j >= last || *key == kKeyF2) && linked != 0) return ShowLinkedPage(page, linked, key);
      if (*key == kKeyF2) return false;
      if (*j >= last) return *key == kKeyEnter;
      *j = Settle(page.k, static_cast<int16_t>(*j + 1), 1, first, last);
      return false;
    }
    case kKeyUp:
      if (*j <= first) {
        if (!page.continuation) return false;
        *key = kKeyEscape;
        return true;
      }
      *j = Settle(page.k, static_cast<int16_t>(*j - 1), -1, first, last);
      return false;
    case 0:
      return false;
    default:
      if (IsClickCode(*key)) {
        const int16_t clicked = ClickedField(page.k, *key);
        if (clicked != 0) *j = clicked;
        return false;
      }
      return true;
  }
}

// Re-entry into a chain of pages left with PgUp or PgDn: the page that was
// left is shown again first. True when it ended this page as well.
bool ResumeChain(const Page& page, int16_t* key) {
  if (!ResumeOnChain(page.k)) form_state.ResumeForm = 0;
  const int16_t linked = LinkedForm(page.k);
  if (form_state.ResumeForm != 0 && form_state.ResumeForm != page.k && linked != 0 &&
      ShowLinkedPage(page, linked, key)) {
    return true;
  }
  form_state.ResumeForm = 0;
  return false;
}

// Runs the open form to its end; the key it is left with.
int16_t RunPage(Page& page, int16_t key) {
  if (Hooks.on_form_open) Hooks.on_form_open(page.k);
  EnterableRange(page.k, &page.first, &page.last);
  // A form with nothing to enter is only shown: it is left as with Escape.
  if (page.first == 0) key = kKeyEscape;
  bool left = page.first == 0 || ResumeChain(page, &key);
  for (;;) {
    int16_t j = page.first;
    while (!left) {
      // The hooks may have sent the entry to any field; it settles on one
      // that can be entered.
      j = Settle(page.k, std::clamp(j, page.first, page.last), 1, page.first, page.last);
      key = EditOneField(page.k, &j, page.last);
      j = std::clamp(j, page.first, page.last);
      left = Move(page, &j, &key);
    }
    int16_t form = page.k;
    if (!Hooks.on_form_accept || Hooks.on_form_accept(form, key)) return key;
    // A form with nothing to enter cannot go on: it is left anyway.
    if (page.first == 0) return key;
    form_state.ResumeForm = 0;
    left = false;
  }
}

}  // namespace

void ShowForm(int16_t& form, int16_t& first_page, int16_t& last_page, int16_t& key) {
  const int magnitude = std::abs(static_cast<int>(form));
  const FormDefinition* definition =
      magnitude <= INT16_MAX ? Form(static_cast<int16_t>(magnitude)) : nullptr;
  if (definition == nullptr || IsRunning(static_cast<int16_t>(magnitude))) {
    key = kKeyEscape;
    return;
  }
  Page page;
  page.k = static_cast<int16_t>(magnitude);
  page.continuation = form < 0;
  page.first_page = &first_page;
  page.last_page = &last_page;
  bool window = false;
  if (definition->top != 0) {
    SetColour("+n");
    window = OpenWindow(definition->top, definition->left, definition->bottom, definition->right);
    if (window) DrawFrame(2);
    SetColour("-");
  }
  form_state.Running.push_back(page.k);
  key = RunPage(page, key);
  form_state.Running.pop_back();
  if (window) CloseWindow();
  form_state.CurrentEntry.clear();
  form_state.CurrentForm = 0;
  form_state.CurrentField = 0;
}

void ResetForms() {
  form_tables.Forms.clear();
  form_tables.Lists.clear();
  form_state.CurrentEntry.clear();
  form_state.CurrentForm = 0;
  form_state.CurrentField = 0;
  form_state.ResumeForm = 0;
  Hooks = {};
  form_state.Running.clear();
  ResetBrowseList();
  ResetPrintSpool();
}

}  // namespace ui::forms
