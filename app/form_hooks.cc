#include "app/form_hooks.h"

#include <algorithm>

#include "app/program.h"
#include "db/records.h"
#include "env/language.h"
#include "env/session.h"
#include "files/drives.h"
#include "files/listing.h"
#include "files/paths.h"
#include "forms/forms.h"
#include "platform/console/console.h"
#include "platform/fs/drives.h"
#include "platform/process/clock.h"
#include "remit/generation.h"
#include "ui/choice.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/dates.h"
#include "util/numbers.h"

namespace app {
namespace {

namespace forms = ui::forms;

// A remittance number and its creditor: "ZZ9", two blanks, 30 characters.
constexpr size_t kCreditorNameAt = 16;
constexpr size_t kCreditorNameLength = 30;

int32_t ThisYear() { return platform::LocalNow().year; }

std::string Trimmed(std::string_view text) { return std::string(util::Trim(text)); }

std::string Value(int16_t form, int16_t field) {
  const forms::FieldDefinition* f = forms::Field(form, field);
  return f == nullptr ? std::string() : f->value;
}

int16_t Attribute(int16_t form, int16_t field, int attribute) {
  const forms::FieldDefinition* f = forms::Field(form, field);
  return f == nullptr ? 0 : f->attributes[static_cast<size_t>(attribute)];
}

std::string ChoiceDisplay(std::string_view list, std::string_view value) {
  size_t width = 0;
  std::string shown;
  for (const ui::ChoiceOption& c : ui::ParseChoiceList(list)) {
    width = std::max(width, c.display.size());
    if (util::Trim(c.code) == util::Trim(value)) shown = c.display;
  }
  shown.resize(width, ' ');
  return shown;
}

// The packed date of a typed date text; empty when it is not a date.
std::string TypedDate(std::string_view text) {
  if (util::DateTextInvalid(text, ThisYear()) != 0) return {};
  return util::ParseDateText(text, ThisYear());
}

std::string DateDisplay(std::string_view packed) { return env::FormatDate(packed, 0, "DMA"); }

// The packed four-digit remittance number of a typed number.
std::string RemittanceKey(std::string_view text) {
  return util::PackDigits(util::ZeroPad(util::NumericValue(text), 4));
}

std::string CreditorNameOf(std::string_view typed) {
  std::string* record = db::RecordBuffer(remit::kRemesesFile);
  if (record == nullptr) return std::string(kCreditorNameLength, ' ');
  int16_t status = 0;
  db::GetByKey(remit::kRemesesFile, 0, RemittanceKey(typed), 0, status);
  if (status != 0 || record->size() < kCreditorNameAt + kCreditorNameLength) {
    return std::string(kCreditorNameLength, ' ');
  }
  return record->substr(kCreditorNameAt, kCreditorNameLength);
}

// The drive's current directory as the directory field holds it.
std::string DirectoryOfDrive(char letter) {
  return util::UpperCase(platform::fs::CurrentDirectory(letter));
}

bool CheckDrive(int16_t form, std::string& text, int16_t field) {
  std::string letter = util::UpperCase(Trimmed(text));
  if (letter.empty()) letter = std::string(1, files::CurrentDrive());
  const char c = letter[0];
  if (c < 'C' || c > 'Z') return false;
  const bool changed = Trimmed(Value(form, field)) != letter.substr(0, 1);
  text = letter.substr(0, 1);
  StoreFieldValue(form, field, text);
  if (changed && forms::Field(form, static_cast<int16_t>(field + 1)) != nullptr) {
    StoreFieldValue(form, static_cast<int16_t>(field + 1), DirectoryOfDrive(c));
    ShowFieldValue(form, static_cast<int16_t>(field + 1));
  }
  return true;
}

bool CheckDirectory(int16_t form, std::string& text, int16_t field) {
  std::string path = Trimmed(Value(form, static_cast<int16_t>(field - 1))) + ":" +
                     std::string(util::TrimRight(text));
  files::AbsolutePath(path);
  if (path.size() < 2) return false;
  text = util::UpperCase(path.substr(2));
  StoreFieldValue(form, field, text);
  return true;
}

// Form 5: true when the operator answers "S".
bool Confirmed() {
  StoreFieldValue(kConfirmForm, 1, "");
  int16_t form = kConfirmForm, first = 0, last = 0, key = 0;
  forms::ShowForm(form, first, last, key);
  return key != ui::kKeyEscape && util::UpperCase(Trimmed(Value(kConfirmForm, 1))) == "S";
}

std::string WithBackslash(std::string directory) {
  if (directory.size() > 1 && directory.back() != '\\') directory += '\\';
  return directory;
}

bool AcceptGeneration() {
  remit::GenerationRequest& selection = program_choices.GenerationSelection;
  selection.collection_date = TypedDate(Value(kGenerationForm, 1));
  if (selection.collection_date.empty()) selection.collection_date = env::session.WorkDate;
  // Typed numbers are taken by value, so that "5 " and " 5" are both 0005.
  selection.range_from = RemittanceKey(Value(kGenerationForm, 2));
  selection.range_to = RemittanceKey(Value(kGenerationForm, 3));
  if (selection.range_from > selection.range_to) {
    ui::TellOperator(env::TranslateText(util::Cp850("LA PRIMERA REMESA NO POT SER MÉS GRAN QUE L'ÚLTIMA: ")) +
                     Trimmed(Value(kGenerationForm, 2)) + " > " + Trimmed(Value(kGenerationForm, 3)));
    return false;
  }
  return Confirmed();
}

bool AcceptCopy() {
  program_choices.SourceDrive = Trimmed(Value(kCopyForm, 1)) + ":";
  program_choices.SourceDirectory = WithBackslash(std::string(util::TrimRight(Value(kCopyForm, 2))));
  program_choices.SourceFile = std::string(util::TrimRight(Value(kCopyForm, 3)));
  program_choices.TargetDrive = Trimmed(Value(kCopyForm, 4)) + ":";
  const std::string source = program_choices.SourceDrive + program_choices.SourceDirectory + program_choices.SourceFile;
  if (program_choices.SourceFile.empty() || !files::FileExists(source)) {
    ui::TellOperator(env::TranslateText(util::Cp850("NO EXISTEIX EL FITXER ")) + source);
    return false;
  }
  if (util::UpperCase(program_choices.SourceDrive) ==
      util::UpperCase(program_choices.TargetDrive)) {
    ui::TellOperator(env::TranslateText(util::Cp850("LES UNITATS ORIGEN I DESTÍ NO PODEN SER LA MATEIXA")));
    return false;
  }
  return Confirmed();
}

bool AcceptReport() {
  program_choices.ReportOutput = Trimmed(Value(kReportForm, 1));
  program_choices.ReportDrive = Trimmed(Value(kReportForm, 2)) + ":";
  return Confirmed();
}

}  // namespace

void StoreFieldValue(int16_t form, int16_t field, std::string_view text) {
  forms::FieldDefinition* f = forms::Field(form, field);
  if (f == nullptr) return;
  const size_t length = static_cast<size_t>(std::max<int16_t>(f->attributes[forms::kLength], 0));
  f->value = std::string(text.substr(0, std::min(text.size(), length)));
  f->value.resize(length, ' ');
}

std::string FieldDisplay(int16_t form, int16_t field) {
  const forms::FieldDefinition* f = forms::Field(form, field);
  if (f == nullptr) return {};
  if (!f->help.empty() && f->help[0] == '|') return ChoiceDisplay(f->help, f->value);
  switch (f->attributes[forms::kFieldType]) {
    case kDateField: {
      const std::string packed = TypedDate(f->value);
      if (packed.empty()) return f->value;
      std::string shown = DateDisplay(packed);
      shown.resize(std::max(shown.size(), f->value.size()), ' ');
      return shown;
    }
    case kRemittanceField:
      return util::FormatNumber("ZZ9", util::NumericValue(f->value)) + "  " +
             CreditorNameOf(f->value);
    case kDriveField:
      return Trimmed(f->value) + ":";
    default:
      return f->value;
  }
}

void ShowFieldValue(int16_t form, int16_t field) {
  const forms::FieldDefinition* f = forms::Field(form, field);
  if (f == nullptr) return;
  const int16_t column =
      static_cast<int16_t>(f->attributes[forms::kLabelColumn] + static_cast<int16_t>(f->label.size()));
  ui::PrintAt(f->attributes[forms::kLabelRow], column, FieldDisplay(form, field));
}

void OnFormOpen(int16_t form) {
  const forms::FormDefinition* definition = forms::Form(form);
  if (definition == nullptr) return;
  ui::SetColour("rh");
  if (form == kMainForm) {
    const int16_t half = static_cast<int16_t>(env::session.MenuTitle.size() / 2);
    ui::PrintAt(1, static_cast<int16_t>(41 - half), env::session.MenuTitle);
  }
  ui::SetColour("n");
  for (const forms::FieldDefinition& f : definition->fields) {
    ui::PrintAt(f.attributes[forms::kLabelRow], f.attributes[forms::kLabelColumn], f.label);
  }
  ui::SetColour("h");
  for (size_t j = 1; j <= definition->fields.size(); ++j) {
    ShowFieldValue(form, static_cast<int16_t>(j));
  }
}

bool CheckFieldValue(int16_t& form, std::string& text, int16_t& field, int16_t& /*key*/) {
  bool accepted = true;
  switch (Attribute(form, field, forms::kFieldType)) {
    case kDateField: {
      if (util::Trim(text).empty()) text = DateDisplay(env::session.WorkDate);
      const std::string packed = TypedDate(text);
      if (packed.empty()) {
        accepted = false;
      } else {
        text = DateDisplay(packed);
        StoreFieldValue(form, field, text);
      }
      break;
    }
    case kRemittanceField:
      if (util::NumberTextInvalid(text, "ZZ9") != 0) {
        accepted = false;
      } else {
        StoreFieldValue(form, field, text);
      }
      break;
    case kDriveField:
      accepted = CheckDrive(form, text, field);
      break;
    case kDirectoryField:
      accepted = CheckDirectory(form, text, field);
      break;
    default:
      StoreFieldValue(form, field, text);
      break;
  }
  if (accepted) ShowFieldValue(form, field);
  return accepted;
}

bool OnFormAccept(int16_t& form, int16_t& key) {
  if (key == ui::kKeyEscape) return true;
  switch (form) {
    case kMainForm:
      program_choices.Operation = util::UpperCase(Trimmed(Value(kMainForm, 1)));
      return true;
    case kGenerationForm:
      return AcceptGeneration();
    case kCopyForm:
      return AcceptCopy();
    case kReportForm:
      return AcceptReport();
    default:
      return true;
  }
}

void InstallFormHooks() {
  forms::Hooks.on_form_open = OnFormOpen;
  forms::Hooks.show_field_value = ShowFieldValue;
  forms::Hooks.check_field_value = CheckFieldValue;
  forms::Hooks.on_form_accept = OnFormAccept;
}

}  // namespace app
