// The form tables and the reading of the form file. The file is read item
// by item as list input reads it (numbers, and texts optionally quoted), and
// everything it announces is checked before the tables are replaced: a
// damaged form file must stop the program with a reason, never leave it
// running on half a form.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "env/language.h"
#include "forms/forms.h"

namespace ui::forms {

// Process-wide: the form file is loaded once and read by every form shown.
FormTables form_tables;

FormDefinition* Form(int16_t k) {
  if (k < 1 || static_cast<size_t>(k) > form_tables.Forms.size()) return nullptr;
  return &form_tables.Forms[static_cast<size_t>(k) - 1];
}

FieldDefinition* Field(int16_t k, int16_t j) {
  FormDefinition* form = Form(k);
  if (form == nullptr || j < 1 || static_cast<size_t>(j) > form->fields.size()) return nullptr;
  return &form->fields[static_cast<size_t>(j) - 1];
}

namespace {

// More forms, fields or lists than this is not a form file but garbage.
constexpr int32_t kMaxCount = 999;
constexpr int32_t kMaxLength = 255;
// The screen has at most 99 rows and 99 columns.
constexpr int32_t kMaxSide = 99;
// Older editors end a text file with Ctrl+Z.
constexpr char kEndOfFileMark = '\x1A';

// Where the reading is, and what went wrong; the first fault is kept.
struct Reader {
  std::string_view text;
  size_t at = 0;
  int line = 1;
  std::string what;  // the item being read, for the reason
  std::string fault;

  bool AtEnd() const { return at >= text.size() || text[at] == kEndOfFileMark; }
  char Peek() const { return AtEnd() ? '\0' : text[at]; }
  bool Fail(const std::string& why) {
    if (fault.empty()) fault = "line " + std::to_string(line) + ": " + what + ": " + why;
    return false;
  }
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Takes one line end (CR LF, LF or CR) at the reading position.
void TakeLineEnd(Reader& r) {
  if (r.Peek() == '\r') ++r.at;
  if (r.Peek() == '\n') ++r.at;
  ++r.line;
}

void SkipBlanks(Reader& r) {
  while (IsBlank(r.Peek())) ++r.at;
}

// Blanks and line ends before an item hold nothing.
void SkipToItem(Reader& r) {
  for (;;) {
    SkipBlanks(r);
    if (!IsLineEnd(r.Peek())) return;
    TakeLineEnd(r);
  }
}

// The leading lines that are comments (first non-blank character "'") or
// blank; the first other line is data.
void SkipComments(Reader& r) {
  while (!r.AtEnd()) {
    size_t i = r.at;
    while (i < r.text.size() && IsBlank(r.text[i])) ++i;
    if (i < r.text.size() && IsLineEnd(r.text[i])) {
      r.at = i;
      TakeLineEnd(r);
      continue;
    }
    if (i >= r.text.size() || r.text[i] != '\'') return;
    r.at = i;
    while (!r.AtEnd() && !IsLineEnd(r.Peek())) ++r.at;
    if (!r.AtEnd()) TakeLineEnd(r);
  }
}

// After an item: blanks, then the comma that separates it from the next
// one, if any (a line end separates too and is skipped before the next).
void EndItem(Reader& r) {
  SkipBlanks(r);
  if (r.Peek() == ',') ++r.at;
}

bool ReadText(Reader& r, std::string* out) {
  SkipToItem(r);
  if (r.AtEnd()) return r.Fail("the file ends before it");
  out->clear();
  if (r.Peek() != '"') {
    // Unquoted: up to the comma or the line end, trailing blanks dropped.
    while (!r.AtEnd() && r.Peek() != ',' && !IsLineEnd(r.Peek())) *out += r.text[r.at++];
    while (!out->empty() && IsBlank(out->back())) out->pop_back();
    EndItem(r);
    return true;
  }
  ++r.at;
  for (;;) {
    if (r.AtEnd() || IsLineEnd(r.Peek())) return r.Fail("a quote is not closed on its line");
    const char c = r.text[r.at++];
    if (c != '"') {
      *out += c;
    } else if (r.Peek() == '"') {  // "" stands for one quote
      *out += '"';
      ++r.at;
    } else {
      break;
    }
  }
  SkipBlanks(r);
  if (!r.AtEnd() && r.Peek() != ',' && !IsLineEnd(r.Peek())) {
    return r.Fail("characters after the closing quote");
  }
  EndItem(r);
  return true;
}

// A whole number, optionally signed, ended by a blank, a comma or a line
// end; within min..max.
bool ReadNumber(Reader& r, int32_t min, int32_t max, int32_t* out) {
  SkipToItem(r);
  if (r.AtEnd()) return r.Fail("the file ends before it");
  std::string token;
  while (!r.AtEnd() && r.Peek() != ',' && !IsBlank(r.Peek()) && !IsLineEnd(r.Peek())) {
    token += r.text[r.at++];
  }
  if (token.empty()) return r.Fail("an empty item where a number is expected");
  size_t i = token[0] == '-' || token[0] == '+' ? 1 : 0;
  if (i == token.size()) return r.Fail("\"" + token + "\" is not a number");
  int64_t value = 0;
  for (; i < token.size(); ++i) {
    const char c = token[i];
    if (c < '0' || c > '9') return r.Fail("\"" + token + "\" is not a number");
    if (value < 100000000) value = value * 10 + (c - '0');  // large enough to be refused
  }
  if (token[0] == '-') value = -value;
  if (value < min || value > max) {
    return r.Fail(token + " is outside " + std::to_string(min) + ".." + std::to_string(max));
  }
  *out = static_cast<int32_t>(value);
  EndItem(r);
  return true;
}

bool ReadNumber16(Reader& r, int32_t min, int32_t max, int16_t* out) {
  int32_t value = 0;
  if (!ReadNumber(r, min, max, &value)) return false;
  *out = static_cast<int16_t>(value);
  return true;
}

// The range each field attribute must lie in; the others only fit 16 bits.
struct AttributeRule {
  const char* name;
  int32_t min;
  int32_t max;
};
constexpr AttributeRule kFieldRules[8] = {
    {"the label row", 1, kMaxSide},
    {"the label column", 1, kMaxSide},
    {"the length", 0, kMaxLength},
    {"the edit width", 0, kMaxLength},
    {"the trailing area", 0, kMaxSide},
    {"the flags", 0, INT16_MAX},
    {"the field type", INT16_MIN, INT16_MAX},
    {"the browse list", INT16_MIN, INT16_MAX},
};

bool ReadFieldAttribute(Reader& r, const std::string& where, int index, FieldDefinition* field) {
  const AttributeRule& rule = kFieldRules[index];
  r.what = where + ", " + rule.name;
  return ReadNumber16(r, rule.min, rule.max, &field->attributes[static_cast<size_t>(index)]);
}

bool ReadField(Reader& r, const std::string& where, FieldDefinition* field) {
  if (!ReadFieldAttribute(r, where, 0, field) || !ReadFieldAttribute(r, where, 1, field)) {
    return false;
  }
  r.what = where + ", the label";
  if (!ReadText(r, &field->label)) return false;
  for (int index = 2; index < 8; ++index) {
    if (!ReadFieldAttribute(r, where, index, field)) return false;
  }
  r.what = where + ", the help text";
  if (!ReadText(r, &field->help)) return false;
  field->value.assign(static_cast<size_t>(field->attributes[kLength]), ' ');
  return true;
}

bool ReadWindow(Reader& r, const std::string& where, FormDefinition* form) {
  int16_t* sides[4] = {&form->top, &form->left, &form->bottom, &form->right};
  const char* names[4] = {"the window top", "the window left", "the window bottom",
                          "the window right"};
  for (int i = 0; i < 4; ++i) {
    r.what = where + ", " + names[i];
    if (!ReadNumber16(r, 0, kMaxSide, sides[i])) return false;
  }
  if (form->top == 0) return true;  // drawn on the screen as it is
  r.what = where + ", the window";
  if (form->left < 1 || form->bottom <= form->top || form->right <= form->left) {
    return r.Fail(std::to_string(form->top) + "," + std::to_string(form->left) + " to " +
                  std::to_string(form->bottom) + "," + std::to_string(form->right) +
                  " is not a window");
  }
  return true;
}

bool ReadForm(Reader& r, int k, int32_t max_fields, int32_t form_count, FormDefinition* form) {
  const std::string where = "form " + std::to_string(k);
  r.what = where + ", the key list";
  if (!ReadText(r, &form->key_list)) return false;
  r.what = where + ", the field count";
  int32_t fields = 0;
  if (!ReadNumber(r, 0, kMaxCount, &fields)) return false;
  if (fields > max_fields) {
    return r.Fail(std::to_string(fields) + " fields, more than the largest field count " +
                  std::to_string(max_fields) + " the file announced");
  }
  r.what = where + ", the linked form";
  if (!ReadNumber16(r, 0, form_count, &form->linked_form)) return false;
  if (form->linked_form == k) return r.Fail("a form cannot continue itself");
  if (!ReadWindow(r, where, form)) return false;
  form->fields.resize(static_cast<size_t>(fields));
  for (int j = 1; j <= fields; ++j) {
    if (!ReadField(r, where + ", field " + std::to_string(j),
                   &form->fields[static_cast<size_t>(j) - 1])) {
      return false;
    }
  }
  return true;
}

bool ReadList(Reader& r, int n, ListDefinition* list) {
  const std::string where = "list " + std::to_string(n);
  for (int i = 0; i < 8; ++i) {
    if (i == 7) {
      r.what = where + ", the header";
      if (!ReadText(r, &list->header)) return false;
    }
    r.what = where + ", attribute " + std::to_string(i);
    if (!ReadNumber16(r, INT16_MIN, INT16_MAX, &list->attributes[static_cast<size_t>(i)])) {
      return false;
    }
  }
  return true;
}

// A chain of linked forms must end: one that comes back on itself would
// have the engine follow it for ever.
std::string ChainFault(const std::vector<FormDefinition>& forms) {
  for (size_t k = 0; k < forms.size(); ++k) {
    int16_t next = forms[k].linked_form;
    for (size_t steps = 0; next != 0; ++steps) {
      if (steps >= forms.size()) {
        return "form " + std::to_string(k + 1) + ": its chain of linked forms never ends";
      }
      next = forms[static_cast<size_t>(next) - 1].linked_form;
    }
  }
  return {};
}

std::string ListFault(const std::vector<FormDefinition>& forms, size_t list_count) {
  for (size_t k = 0; k < forms.size(); ++k) {
    for (size_t j = 0; j < forms[k].fields.size(); ++j) {
      const int16_t list = forms[k].fields[j].attributes[kBrowseList];
      if (list > 0 && static_cast<size_t>(list) > list_count) {
        return "form " + std::to_string(k + 1) + ", field " + std::to_string(j + 1) +
               ": browse list " + std::to_string(list) + ", but the file has " +
               std::to_string(list_count);
      }
    }
  }
  return {};
}

bool Parse(Reader& r, std::vector<FormDefinition>* forms, std::vector<ListDefinition>* lists) {
  SkipComments(r);
  int32_t form_count = 0, max_fields = 0, list_count = 0;
  r.what = "the number of forms";
  if (!ReadNumber(r, 1, kMaxCount, &form_count)) return false;
  r.what = "the largest field count";
  if (!ReadNumber(r, 0, kMaxCount, &max_fields)) return false;
  forms->resize(static_cast<size_t>(form_count));
  for (int k = 1; k <= form_count; ++k) {
    if (!ReadForm(r, k, max_fields, form_count, &(*forms)[static_cast<size_t>(k) - 1])) {
      return false;
    }
  }
  r.what = "the number of browse lists";
  if (!ReadNumber(r, 0, kMaxCount, &list_count)) return false;
  lists->resize(static_cast<size_t>(list_count));
  for (int n = 1; n <= list_count; ++n) {
    if (!ReadList(r, n, &(*lists)[static_cast<size_t>(n) - 1])) return false;
  }
  // Whatever follows the last list is not read.
  r.fault = ChainFault(*forms);
  if (r.fault.empty()) r.fault = ListFault(*forms, lists->size());
  return r.fault.empty();
}

void TranslateInPlace(std::string& text) {
  if (!text.empty()) text = env::TranslateText(text);
}

}  // namespace

env::Status ParseFormFile(std::string_view text) {
  Reader reader;
  reader.text = text;
  std::vector<FormDefinition> forms;
  std::vector<ListDefinition> lists;
  form_tables.Forms.clear();
  form_tables.Lists.clear();
  if (!Parse(reader, &forms, &lists)) return env::Status(env::Code::kBadData, reader.fault);
  form_tables.Forms = std::move(forms);
  form_tables.Lists = std::move(lists);
  return env::OkStatus();
}

void TranslateFormTexts() {
  for (FormDefinition& form : form_tables.Forms) {
    for (FieldDefinition& field : form.fields) {
      TranslateInPlace(field.label);
      TranslateInPlace(field.help);
    }
  }
  for (ListDefinition& list : form_tables.Lists) TranslateInPlace(list.header);
}

}  // namespace ui::forms
