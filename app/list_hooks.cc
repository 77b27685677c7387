#include "app/list_hooks.h"

#include "app/form_hooks.h"
#include "app/program.h"
#include "app/screen_operator.h"
#include "db/records.h"
#include "env/language.h"
#include "forms/browse_list.h"
#include "forms/forms.h"
#include "remit/catalogue.h"
#include "remit/layouts.h"
#include "util/record_layout.h"
#include "remit/generation.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/dates.h"

namespace app {
namespace {

namespace forms = ui::forms;

// The drives offered as destinations: diskettes, other removable drives and
// fixed disks, by the first character of their description.
constexpr std::string_view kChoosableKinds = "12345HR";

std::string Record(int16_t file) {
  const std::string* record = db::RecordBuffer(file);
  return record == nullptr ? std::string() : *record;
}

// The remittance's number: its high digits, then its low ones.
std::string RemittanceDigits(const std::string& record) {
  namespace f = remit::remittance_layout;
  if (record.size() < f::kLayout.length) return {};
  const std::string four = util::UnpackDigits(std::string(util::FieldOf(record, f::kHigh)) +
                                              std::string(util::FieldOf(record, f::kLow)));
  return program_choices.WideRange ? four.substr(1) : four.substr(2);
}

std::string CatalogueLine(const std::string& record) {
  namespace f = remit::catalogue_record;
  return record.size() >= f::kLayout.length ? std::string(util::FieldOf(record, f::kLine)) : std::string();
}

std::string CatalogueKey(const std::string& record) {
  return std::string(util::FieldOf(record, remit::catalogue_record::kKey));
}

// A key prefix as the catalogue file holds it: blank-padded to its length.
bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// What the catalogue could not read, told before the list shows what it
// could: the first failure in words with its path, and how many more.
void TellFailures(const remit::CatalogueReport& report) {
  if (report.failures.empty()) return;
  std::string text = report.failures.front();
  if (report.failures.size() > 1) text += " (+" + std::to_string(report.failures.size() - 1) + ")";
  ui::TellOperator(text);
}

// The window the catalogue shows its progress in while it searches.
void OpenSearchWindow(ScreenOperator& screen) {
  screen.OpenProgress(env::TranslateText(util::Cp850(" CERCANT ")));
}

// What the catalogue could not keep, told: the operator would otherwise
// look for what is not listed.
void TellRefusal(const remit::CatalogueReport& report) {
  if (!report.status.ok()) ui::TellOperator(report.status.words());
}

// True when a record at or after prefix starts with it.
bool CatalogueHas(const std::string& prefix) {
  int16_t status = 0;
  db::GetByKey(kUSortFile, 0, prefix, 1, status);
  return status == 0 && StartsWith(CatalogueKey(Record(kUSortFile)), prefix);
}

void DeleteCatalogued(const std::string& prefix) {
  for (;;) {
    int16_t status = 0;
    db::GetByKey(kUSortFile, 0, prefix, 1, status);
    if (status != 0 || !StartsWith(CatalogueKey(Record(kUSortFile)), prefix)) return;
    db::DeleteCurrent(kUSortFile, status);
    if (status != 0) return;
  }
}

std::string FieldValue(int16_t form, int16_t field) {
  const forms::FieldDefinition* f = forms::Field(form, field);
  return f == nullptr ? std::string() : std::string(util::Trim(f->value));
}

std::string ChosenDirectory() {
  std::string directory = FieldValue(forms::form_state.CurrentForm, 1) + ":" +
                          FieldValue(forms::form_state.CurrentForm, 2);
  if (directory.back() != '\\') directory += '\\';
  return directory;
}

}  // namespace

std::string ListLine(int16_t list) {
  if (list == kRemittanceList) {
    const std::string record = Record(remit::kRemesesFile);
    namespace f = remit::remittance_layout;
    if (record.size() < f::kCreditorName.end()) return {};
    return RemittanceDigits(record) + (program_choices.WideRange ? " " : "  ") +
           util::UnpackDigits(util::FieldOf(record, f::kAccount)) + "  " +
           std::string(util::FieldOf(record, f::kCreditorName));
  }
  return CatalogueLine(Record(kUSortFile));
}

void OnListPick(int16_t& list, int16_t& form, int16_t& field) {
  std::string text;
  if (list == kRemittanceList) {
    text = RemittanceDigits(Record(remit::kRemesesFile));
  } else if (list == kDriveList) {
    const std::string key = CatalogueKey(Record(kUSortFile));
    text = key.size() > 1 ? key.substr(1, 1) : std::string();
  } else if (list == kDirectoryList) {
    text = CatalogueLine(Record(kUSortFile));
  } else if (list == kFileList) {
    text = remit::CataloguedFileName(Record(kUSortFile));
  }
  int16_t key = ui::kKeyEnter;
  // The pick is stored as an entry typed would be; a refused one leaves the
  // field as it was, which the operator sees (and the check says why).
  static_cast<void>(CheckFieldValue(form, text, field, key));
}

env::Status FillCatalogueLevel(int16_t list, std::string& start_key, std::string& key_prefix) {
  if (list == kDriveList) {
    start_key = key_prefix = "U";
  } else if (list == kDirectoryList) {
    const std::string root = FieldValue(forms::form_state.CurrentForm, 1) + ":\\";
    start_key = key_prefix = "D" + root;
    if (!CatalogueHas(key_prefix)) {
      ScreenOperator screen;
      OpenSearchWindow(screen);
      const remit::CatalogueReport report = remit::CatalogueDirectories({.directory = root}, screen);
      TellFailures(report);
      TellRefusal(report);
    }
  } else if (list == kFileList) {
    const std::string directory = ChosenDirectory();
    start_key = key_prefix = "F" + directory;
    // The directory as it is now: what was catalogued before may be gone.
    DeleteCatalogued(key_prefix);
    ScreenOperator screen;
    OpenSearchWindow(screen);
    const remit::CatalogueReport report = remit::CatalogueRemittanceFiles({.directory = directory}, screen);
    TellFailures(report);
    TellRefusal(report);
    if (!report.unpickable.empty()) {
      // Names too long for the catalogue's key are not listed: say which.
      ui::TellOperator(env::TranslateText(util::Cp850("FITXERS AMB UN NOM MASSA LLARG PER A LA LLISTA: ")) +
                   std::to_string(report.unpickable.size()) + " (" + report.unpickable.front() + ")");
    }
  } else {
    start_key.clear();
    key_prefix.clear();
  }
  return env::OkStatus();
}

void PrepareCatalogue() {
  if (!CatalogueHas("U")) {
    ScreenOperator screen;
    OpenSearchWindow(screen);
    TellRefusal(remit::CatalogueDrives(screen));
  }
  std::string choices;
  std::string first;
  size_t widest = 0;
  int16_t status = 0;
  db::GetByKey(kUSortFile, 0, "U", 1, status);
  while (status == 0) {
    const std::string record = Record(kUSortFile);
    if (!StartsWith(record, "U")) break;
    if (record.size() > 2 && kChoosableKinds.find(record[2]) != std::string_view::npos) {
      const std::string letter = record.substr(1, 1);
      const std::string shown(util::TrimRight(CatalogueLine(record)));
      if (first.empty()) first = letter;
      widest = std::max(widest, shown.size());
      choices += "|" + letter + "," + shown;
    }
    db::MoveRecords(kUSortFile, 1, status);
  }
  for (auto [form, field] : {std::pair<int16_t, int16_t>{kCopyForm, 4}, {kReportForm, 2}}) {
    forms::FieldDefinition* f = forms::Field(form, field);
    if (f == nullptr) continue;
    f->help = choices;
    StoreFieldValue(form, field, first);
  }
  (void)widest;  // the choice field shows each text as wide as the widest
}

void InstallListHooks() {
  forms::Hooks.on_list_pick = OnListPick;
  forms::Hooks.list_line = ListLine;
  forms::Hooks.fill_catalogue_level = FillCatalogueLevel;
  // A yes or no: whether an entry was picked; a failure has been told.
  forms::Hooks.show_list = [](int16_t list) { return forms::ShowList(list).ok(); };
}

}  // namespace app
