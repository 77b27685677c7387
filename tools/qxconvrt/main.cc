// qxconvrt: converts Cuaderno 19.14 direct-debit files into SEPA XML
// direct-debit initiation messages (pain.008) beside them, same name with
// ".XML". Started with no arguments, as the program starts it after a
// generation, it converts the files of the work list "QXCONVRT.INI" in
// session.WorkDir; given paths, it converts those. It shows each file's outcome and
// a summary on the console and waits for a key, or prints them when its
// output is not a terminal. Exit status: 0 when every file was converted,
// 1 when any was not, 2 when there was nothing to convert (or the command
// line was not understood).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "env/session.h"
#include "platform/console/console.h"
#include "platform/fs/paths.h"
#include "remit/sepa_conversion.h"
#include "tools/qxconvrt/files_to_convert.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/numbers.h"
#include "util/text.h"

namespace console = platform::console;

namespace {

// The window of the outcomes, inside its frame.
constexpr int16_t kTop = 3;
constexpr int16_t kBottom = 21;
constexpr int16_t kRight = 80;
constexpr size_t kWidth = 76;

// Where the converter reports, for the whole run: on the console while one
// is there, and the next line of its window.
struct ConsoleReport {
  bool on_console = false;
  int16_t next_row = 1;
};
ConsoleReport console_report;

constexpr char kUsage[] =
    "usage: qxconvrt [FILE...]\n"
    "  converts Cuaderno 19.14 files into SEPA XML messages (pain.008) beside them;\n"
    "  with no FILE, the files of the work list QXCONVRT.INI of the work directory\n"
    "  (KITTMP), section [Convertir]: Maxim and Fitx1..FitxN\n";

// Shows the text on the window's next lines, folded at blanks (a word
// wider than the window is cut) with the lines after the first indented,
// scrolling up when full; with keep, the lines are taken (the next text
// goes below them), else the next text goes in their place.
void ShowLines(std::string text, bool keep) {
  util::WrapText(text, -2, static_cast<int16_t>(kWidth), "E");
  int16_t row = console_report.next_row;
  for (size_t at = 0; at == 0 || at < text.size(); at += kWidth) {
    const int16_t rows = kBottom - kTop - 1;
    if (row > rows) {
      ui::ScrollRegion(kTop, 1, kBottom - 2, kRight - 2, 1);
      row = rows;
    }
    std::string line = text.substr(at, kWidth);
    line.resize(kWidth, ' ');
    ui::PrintAt(row++, 2, line);
  }
  console_report.next_row =
      keep ? row : std::min(console_report.next_row, static_cast<int16_t>(kBottom - kTop - 1));
  console::Refresh();
}

// One line of the outcomes (code page 850): printed, or shown in the window.
void Say(const std::string& text) {
  if (console_report.on_console) {
    ShowLines(text, true);
  } else {
    std::printf("%s\n", util::Cp850ToUtf8(text).c_str());
  }
}

// The file being converted, on the line its outcome will take.
void ShowProgress(const std::string& shown) {
  if (console_report.on_console) ShowLines(util::Cp850("CONVERTINT ") + shown + " ...", false);
}

// Counts and amounts as the rest of the office's programs write them, with
// the installation's separators ("41.852,57 EUR"). The euros and the cents
// are laid out apart, so that no amount is rounded on its way.
std::string Count(int64_t count) {
  return std::string(util::Trim(util::FormatNumber("Z,ZZZ,ZZZ,ZZZ,ZZ9", static_cast<double>(count))));
}

std::string Amount(int64_t cents) {
  const std::string sign = cents < 0 ? "-" : "";
  const uint64_t magnitude = cents < 0 ? 0 - static_cast<uint64_t>(cents) : static_cast<uint64_t>(cents);
  const std::string hundredths = std::to_string(100 + magnitude % 100).substr(1);
  return sign + Count(static_cast<int64_t>(magnitude / 100)) + util::DecimalCharacter() + hundredths + " EUR";
}

// The file's messages name it by its program path ("C:files\A.E19"); the
// operator reads it, and its message's, as given ("files/A.E19").
std::string AsGiven(std::string text, const qxconvrt::FileToConvert& file) {
  const std::pair<std::string, std::string> names[] = {
      {platform::fs::ProgramPath(remit::XmlPathFor(file.host_path)), remit::XmlPathFor(file.shown)},
      {platform::fs::ProgramPath(file.host_path), file.shown},
  };
  for (const auto& [program_path, shown] : names) {
    if (program_path.empty()) continue;
    for (size_t at = text.find(program_path); at != std::string::npos;
         at = text.find(program_path, at + shown.size())) {
      text.replace(at, program_path.size(), shown);
    }
  }
  return text;
}

std::string Outcome(const qxconvrt::FileToConvert& file, const remit::ConversionReport& report) {
  if (report.status == remit::ConversionStatus::kConverted) {
    return file.shown + " -> " + remit::XmlPathFor(file.shown) +
           ": " + std::string(remit::PainName(report.version)) + ", " +
           Count(report.debits) + util::Cp850(" adeudaments, ") + Amount(report.cents) +
           (report.checked                  ? util::Cp850(", validat amb l'esquema")
            : report.unchecked_why.empty() ? util::Cp850(", sense esquema")
                                           : ", " + AsGiven(report.unchecked_why, file));
  }
  std::string where = file.shown;
  if (report.record > 0) where += ", registre " + std::to_string(report.record);
  return "ERROR " + where + ": " + AsGiven(report.reason, file);
}

// The summary stays in the window, above the outcomes' last line; the
// foot of the screen asks for the key that ends the program.
void WaitForAKey() {
  const int16_t row = static_cast<int16_t>(ui::ScreenRows() - 1);
  ui::PrintAt(row, 2, util::Cp850("PREMEU UNA TECLA PER ACABAR"));
  console::Refresh();
  ui::FlushKeyboard();
  int16_t key = 0;
  ui::WaitKey(key);
}

int Convert(const std::vector<qxconvrt::FileToConvert>& files) {
  const remit::ConversionSettings settings = remit::LoadConversionSettings();
  const std::string created = remit::CreationTimeNow();
  int converted = 0;
  int64_t debits = 0, cents = 0;
  for (const qxconvrt::FileToConvert& file : files) {
    if (file.host_path.empty()) {
      Say("ERROR " + file.shown + util::Cp850(": l'entrada de la llista és buida"));
      continue;
    }
    ShowProgress(file.shown);
    const remit::ConversionReport report = remit::ConvertToSepaXml({file.host_path, settings, created, {}});
    Say(Outcome(file, report));
    if (report.status == remit::ConversionStatus::kConverted) {
      ++converted;
      debits += report.debits;
      cents += report.cents;
    }
  }
  const int total = static_cast<int>(files.size());
  std::string summary = util::Cp850("CONVERTITS ") + Count(converted) + " DE " + Count(total) +
                        util::Cp850(" FITXERS: ") + Count(debits) + util::Cp850(" ADEUDAMENTS, ") +
                        Amount(cents);
  if (converted < total) summary += util::Cp850(". AMB ERRORS: ") + Count(total - converted);
  Say(summary);
  if (console_report.on_console) WaitForAKey();
  return converted == total ? 0 : 1;
}

void OpenScreen() {
  ui::SetColour("n");
  ui::ScrollRegion(0, 0, static_cast<int16_t>(ui::ScreenRows() - 1),
                   static_cast<int16_t>(ui::ScreenColumns() - 1), ui::ScreenRows());
  const std::string title = util::Cp850(" QXCONVRT · QUADERN 19.14 A SEPA XML ");
  ui::PrintAt(1, static_cast<int16_t>((kRight - static_cast<int16_t>(title.size())) / 2 + 1), title);
  if (ui::OpenWindow(kTop, 1, kBottom, kRight)) ui::DrawFrame(1);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument.size() > 1 && argument[0] == '-') {
      std::fprintf(stderr, "qxconvrt: unknown option %s\n%s", argument.c_str(), kUsage);
      return 2;
    }
  }
  env::LoadSessionSettings();
  std::vector<qxconvrt::FileToConvert> files;
  if (!arguments.empty()) {
    files = qxconvrt::FromArguments(arguments);
  } else {
    env::StatusOr<std::vector<qxconvrt::FileToConvert>> listed = qxconvrt::ReadWorkList();
    if (!listed.ok()) {
      std::fprintf(stderr, "qxconvrt: %s\n%s", util::Cp850ToUtf8(listed.status().words()).c_str(),
                   kUsage);
      return 2;
    }
    files = std::move(*listed);
  }
  console_report.on_console = console::Available();
  if (console_report.on_console) {
    console::SetHeadlessRanOutHandler([] {
      std::fputs("qxconvrt: the key script ran out while the program waited for input\n", stderr);
      console::Close();
      std::exit(3);
    });
    ui::InstallTooSmallMessage();
    std::string error;
    if (!console::Open(&error)) {
      std::fprintf(stderr, "qxconvrt: %s\n", error.c_str());
      console_report.on_console = false;
    } else {
      OpenScreen();
    }
  }
  const int status = Convert(files);
  if (console_report.on_console) {
    ui::CloseWindow();
    console::Close();
  }
  return status;
}
