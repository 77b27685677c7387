#include "app/program.h"

#include <cstdio>
#include <cstdlib>

#include "app/form_hooks.h"
#include "app/list_hooks.h"
#include "app/program_hooks.h"
#include "app/screen_operator.h"
#include "db/records.h"
#include "db/server.h"
#include "env/file_error.h"
#include "env/ini_file.h"
#include "env/installation.h"
#include "env/language.h"
#include "env/session.h"
#include "files/backup.h"
#include "files/listing.h"
#include "files/paths.h"
#include "forms/forms.h"
#include "forms/print_spool.h"
#include "platform/console/console.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "remit/generation.h"
#include "remit/verification.h"
#include "remit/work_list.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace app {

// Process-wide: the operator's choices of the one program that runs.
ProgramChoices program_choices;

namespace {

namespace forms = ui::forms;

// Process-wide, like the one program that runs: the record buffers of the
// files it keeps open while it runs, and the lock of its work directory.
struct RecordBuffers {
  std::string trasbanc_record;
  std::string remeses_record;
  std::string marker_record;
  std::string usort_record;
  // Held from start-up to the end of the process: one copy of the program
  // per work directory, whose catalogue, window file and listings are its own.
  platform::fs::File work_directory_lock;
};
RecordBuffers records;

// The presenter identifier of the office whose remittances carry three
// digits: "ESX00000000" and six blanks.
bool PresenterTakesWideRange() {
  const std::string& presenter = env::InstallationText(7);
  return presenter.substr(0, 17) == "ESX00000000" + std::string(6, ' ');
}

void SetLength(int16_t form, int16_t field, int16_t length) {
  if (forms::FieldDefinition* f = forms::Field(form, field)) f->attributes[forms::kLength] = length;
}

void ClearScreen() {
  ui::SetColour("n");
  const int16_t rows = ui::ScreenRows();
  ui::ScrollRegion(0, 0, static_cast<int16_t>(rows - 1),
                   static_cast<int16_t>(ui::ScreenColumns() - 1), rows);
}

int16_t Show(int16_t form) {
  int16_t first = 0, last = 0, key = 0;
  forms::ShowForm(form, first, last, key);
  return key;
}

// The sibling converter, when session.ExeDir holds it ("QXCONVRT", any case, with or
// without ".EXE"): its host path, else empty.
std::string ConverterPath() {
  for (const char* name : {"QXCONVRT", "QXCONVRT.EXE"}) {
    const std::string path = env::session.ExeDir + name;
    if (!env::session.ExeDir.empty() && files::FileExists(path))
      return platform::fs::HostPath(path);
  }
  return {};
}

// The converter over the work list, when the list holds something for it
// and session.ExeDir holds the converter; false when it was not started.
bool RunConverter() {
  const std::string converter = remit::WorkListHasFiles() ? ConverterPath() : std::string();
  if (converter.empty()) return false;
  platform::console::RunInTerminal(converter);
  return true;
}

void RunGeneration() {
  for (;;) {
    ClearScreen();
    if (Show(kGenerationForm) == ui::kKeyEscape) return;
    remit::GenerationRequest request = program_choices.GenerationSelection;
    request.return_menu = env::session.MenuName;
    ScreenOperator screen;
    // What the report holds the operator has been told on the screen.
    (void)remit::GenerateCuaderno19(request, screen);
    // The converter only when the work list holds something for it (the
    // generation has told the operator why it holds nothing); otherwise
    // the selection again.
    if (RunConverter()) return;
  }
}

// A sibling program of session.ExeDir, run in the terminal until it ends; its
// absence is told rather than passed over, since the operator waits for
// what it shows or prints.
void RunSibling(const char* name) {
  const std::string path = env::session.ExeDir + name;
  if (env::session.ExeDir.empty() || !files::FileExists(path)) {
    ui::TellOperator(env::TranslateText(util::Cp850("NO EXISTEIX EL FITXER ")) + path);
    return;
  }
  platform::console::RunInTerminal(platform::fs::HostPath(path));
}

// The device the report is spooled for: "P" for the screen, else the
// printer the session names ("i" when its default output is the screen).
std::string ReportDevice() {
  if (program_choices.ReportOutput == "P") return "P";
  if (env::session.OutputDevice == "P") return "i";
  return env::session.OutputDevice.substr(0, 1);
}

// The verification report of a remittance on a backup set, spooled and
// handed to the viewer or the print program, until Escape on its form.
void RunReport() {
  PrepareCatalogue();
  for (;;) {
    ClearScreen();
    if (Show(kReportForm) == ui::kKeyEscape) return;
    const env::Status opened = forms::OpenPrintSpool(ReportDevice());
    if (!opened.ok()) {
      ui::TellOperator(opened.words());
      continue;
    }
    ScreenOperator screen;
    // How it ended the operator has been told, and the report says.
    (void)remit::VerifyReceiptDiskette({.drive = program_choices.ReportDrive}, screen);
    const env::Status closed = forms::ClosePrintSpool();
    if (!closed.ok()) {
      ui::TellOperator(closed.words());
      continue;
    }
    RunSibling(program_choices.ReportOutput == "P" ? "KITSCR" : "KITPRINT");
  }
}

// How a copy ended, for the operator: a set of how many volumes, or one
// given up that lacks a volume; a failure has had its own panel.
void TellCopyEnd(const files::BackupReport& report) {
  if (report.status.ok()) {
    ui::TellOperator(env::TranslateText(util::Cp850("CÒPIA ACABADA. VOLUMS ESCRITS: ")) +
                     std::to_string(report.volumes));
  } else if (report.status.code() == env::Code::kCancelled) {
    ui::TellOperator(env::TranslateText(util::Cp850("CÒPIA ABANDONADA: EL JOC ÉS INCOMPLET, LI FALTA EL VOLUM ")) +
                     std::to_string(report.volumes + 1));
  }
}

// The copy of a remittance file to a drive as a backup set, until Escape
// on its form: the file named as the mask, to the root of the drive, with
// an empty label.
void RunCopy() {
  PrepareCatalogue();
  for (;;) {
    ClearScreen();
    if (Show(kCopyForm) == ui::kKeyEscape) return;
    TellCopyEnd(files::BackupToVolumes(program_choices.SourceDrive + program_choices.SourceDirectory, program_choices.SourceFile,
                                       program_choices.TargetDrive + "\\", ""));
  }
}

// kInUse, with the reason, when another copy of the program runs on this
// work directory; nothing of it has been touched then.
env::Status TakeWorkDirectory() {
  const std::string path = env::session.WorkDir + kProgramId + ".LCK";
  if (records.work_directory_lock.Open(platform::fs::HostPath(path), platform::fs::File::kReadWriteCreate,
                               true) != platform::fs::kErrorSharingViolation) {
    return env::OkStatus();  // any other failure is met where the directory is used
  }
  return env::Status(
      env::Code::kInUse,
      env::TranslateText(util::Cp850("EL PROGRAMA JA S'ESTÀ EXECUTANT AMB AQUEST DIRECTORI DE TREBALL: ")) +
          env::session.WorkDir,
      env::session.WorkDir);
}

}  // namespace

env::Status LoadFormFile() {
  const std::string path = env::session.RootDir + "FORMS\\" + kProgramId + ".JPN";
  std::string text;
  const env::FileRead read = env::ReadWholeFile(path, &text);
  if (read != env::FileRead::kOk) {
    const bool missing = read == env::FileRead::kMissing;
    return env::Status(missing ? env::Code::kNotFound : env::Code::kFileError,
                       path + (missing ? ": no such form file" : ": cannot be read"), path);
  }
  const env::Status parsed = forms::ParseFormFile(text);
  if (!parsed.ok()) {
    return env::Status(env::Code::kBadData, path + ": damaged form file (" + parsed.words() + ")",
                       path);
  }
  // The program needs its five forms, with the fields it fills.
  const int16_t needed[][2] = {{kMainForm, 1}, {kGenerationForm, 4}, {kCopyForm, 4},
                               {kReportForm, 2}, {kConfirmForm, 1}};
  for (const auto& n : needed) {
    if (forms::Field(n[0], n[1]) == nullptr) {
      forms::form_tables.Forms.clear();
      return env::Status(env::Code::kBadData,
                         path + ": form " + std::to_string(n[0]) + " lacks field " +
                             std::to_string(n[1]),
                         path);
    }
  }
  forms::TranslateFormTexts();
  return env::OkStatus();
}

void SetFormDefaults() {
  StoreFieldValue(kMainForm, 1, "G");
  StoreFieldValue(kGenerationForm, 1, env::FormatDate(env::session.WorkDate, 0, "DMA"));
  if (program_choices.WideRange) {
    SetLength(kGenerationForm, 2, 3);
    SetLength(kGenerationForm, 3, 3);
  }
  StoreFieldValue(kGenerationForm, 2, "");
  StoreFieldValue(kGenerationForm, 3, program_choices.WideRange ? "999" : "99");
  std::string output = env::session.RootDir + "CSB";
  files::AbsolutePath(output);
  StoreFieldValue(kGenerationForm, 4, output);
  StoreFieldValue(kCopyForm, 1, output.substr(0, 1));
  StoreFieldValue(kCopyForm, 2, output.size() > 2 ? output.substr(2) : std::string());
  StoreFieldValue(kCopyForm, 4, "");
  StoreFieldValue(kReportForm, 1, env::session.OutputDevice == "P" ? "I" : "P");
  StoreFieldValue(kReportForm, 2, "");
}

env::Status OpenRecordFiles() {
  env::Status opened =
      db::OpenRecordFile(remit::kTrasBancFile, env::session.RootDir + "DADES\\TrasBanc", &records.trasbanc_record);
  if (opened.ok()) {
    opened = db::OpenRecordFile(remit::kRemesesFile, env::session.RootDir + "DADES\\TRemeses", &records.remeses_record);
  }
  if (opened.ok()) {
    // The markers of committed files (created empty when missing).
    opened = db::OpenRecordFile(remit::kMarkerFile, env::session.RootDir + "DADES\\TGenerat", &records.marker_record);
  }
  if (opened.ok()) {
    // The catalogue starts empty at every run.
    // A catalogue that cannot be removed is one the open below empties or
    // fails on, and that failure is told.
    static_cast<void>(files::RemoveEntry(env::session.WorkDir + "USort.dat"));
    opened = db::OpenRecordFile(kUSortFile, env::session.WorkDir + "USort", &records.usort_record);
  }
  return opened;
}

void RunMainLoop() {
  for (;;) {
    ClearScreen();
    if (Show(kMainForm) == ui::kKeyEscape) return;
    if (program_choices.Operation == "G") {
      RunGeneration();
    } else if (program_choices.Operation == "T") {
      RunCopy();
    } else {
      RunReport();
    }
  }
}

void ResetProgram() {
  program_choices.Operation.clear();
  program_choices.SourceDrive.clear();
  program_choices.SourceDirectory.clear();
  program_choices.SourceFile.clear();
  program_choices.TargetDrive.clear();
  program_choices.ReportOutput.clear();
  program_choices.ReportDrive.clear();
  program_choices.GenerationSelection = {};
  program_choices.WideRange = false;
}

int Main() {
  env::LoadSessionSettings();
  db::UseSessionServer();
  if (!env::session.RootDir.empty())
    platform::fs::ChangeDirectory(platform::fs::HostPath(env::session.RootDir));
  env::SetProgramId(kProgramId);
  const env::Status taken = TakeWorkDirectory();
  if (!taken.ok()) {
    std::fprintf(stderr, "qdebconv: %s\n", util::Cp850ToUtf8(taken.words()).c_str());
    return 1;
  }
  program_choices.WideRange = PresenterTakesWideRange();
  const env::Status loaded = LoadFormFile();
  if (!loaded.ok()) {
    std::fprintf(stderr, "qdebconv: %s\n", util::Cp850ToUtf8(loaded.words()).c_str());
    return 2;
  }
  SetFormDefaults();
  InstallProgramHooks();
  InstallFormHooks();
  InstallListHooks();
  // A scripted run whose keys run out ends as the headless console says.
  platform::console::SetHeadlessRanOutHandler([] {
    std::fputs("qdebconv: the key script ran out while the program waited for input\n", stderr);
    int16_t status = 0;
    db::CloseAllRecordFiles(status);
    platform::console::Close();
    std::exit(3);
  });
  std::string error;
  if (!platform::console::Open(&error)) {
    std::fprintf(stderr, "qdebconv: %s\n", error.c_str());
    return 1;
  }
  const env::Status opened = OpenRecordFiles();
  // A record file that cannot be had leaves nothing to do: told, every
  // file closed, and the end of the process.
  if (!opened.ok()) EndAfterFatalOpen(opened.words());
  {
    // Files the recovery listed are converted now: the next generation
    // starts the work list afresh and would leave them behind.
    ScreenOperator screen;
    const remit::GenerationReport recovered = remit::RecoverInterruptedGeneration(
        {.return_menu = env::session.MenuName, .file_name = {}}, screen);
    if (!recovered.files.empty()) RunConverter();
    RunMainLoop();
  }
  int16_t status = 0;
  db::CloseAllRecordFiles(status);
  platform::console::Close();
  return 0;
}

}  // namespace app
