// KITPRINT: the print program of the print spool. The main program starts
// it with no arguments after writing a report for the printer. It lays the
// spool "kitprint.tmp" of the work directory out as pages and makes a PDF
// of them, "kitprint.pdf" beside it: one sheet per page, monospaced, so
// that the report's columns stay under each other. When the system has a
// print command ("lp" on PATH) the PDF is sent to the default printer;
// otherwise it stays in the work directory for the operator. Either way the
// operator is told what happened and where the PDF is: on the console
// screen, waiting for a key, or on standard output when there is no
// terminal.
//
// Exit status: 0 printed or kept, 1 the spool could not be read, 2 the PDF
// could not be written or the printer refused it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "env/file_error.h"
#include "env/language.h"
#include "env/session.h"
#include "platform/console/console.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "platform/pdf/pdf.h"
#include "platform/process/output.h"
#include "tools/spool/session.h"
#include "tools/spool/tell.h"
#include "ui/screen.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace {

constexpr int kFormLength = 66;
constexpr int kScreenWidth = 80;

struct Outcome {
  std::string message;  // code page 850
  int status = 0;
};

std::string Words(const char* text) { return env::TranslateText(util::Cp850(text)); }

// Where a file is, as the program names it and as the host does.
std::string Where(const std::string& host_path) {
  const std::string program_path = platform::fs::ProgramPath(host_path);
  const std::string host = util::Utf8ToCp850(host_path);
  return program_path.empty() ? host : program_path + " (" + host + ")";
}

// The first line of what a program said, for a message.
std::string FirstLine(const std::string& output) {
  const std::string line = output.substr(0, output.find('\n'));
  return std::string(util::Trim(util::Utf8ToCp850(line)));
}

// The report's pages as a PDF: every page on a grid as long as the longest
// page and as wide as the widest line (a screen's width at least).
env::StatusOr<std::string> MakePdf(const spool::Report& report) {
  std::vector<platform::pdf::TextPage> pages;
  int rows = 0;
  for (const spool::Page& page : report.pages) {
    rows = std::max(rows, page.length > 0 ? page.length : kFormLength);
    platform::pdf::TextPage text;
    for (const std::string& line : page.lines) text.push_back(util::Cp850ToUtf8Glyphs(line));
    pages.push_back(std::move(text));
  }
  const int columns = std::max(kScreenWidth, static_cast<int>(report.width));
  std::string pdf, error;
  if (platform::pdf::TextPagesToPdf(pages, rows, columns, &pdf, &error)) return pdf;
  return env::Status(env::Code::kRefused,
                     Words("NO ES POT FER EL PDF DE L'INFORME") + ": " + util::Utf8ToCp850(error));
}

// Ok, or the failure platform/fs noted (its words empty when it noted none).
env::Status WriteFile(const std::string& host_path, const std::string& bytes) {
  platform::fs::File file;
  if (file.Open(host_path, platform::fs::File::kReadWriteCreate, false) == 0 && file.Truncate(0) &&
      file.WriteAt(0, bytes.data(), bytes.size())) {
    return env::OkStatus();
  }
  env::Status status = env::LastFileStatus();
  if (status.ok()) status = env::Status(env::Code::kFileError, {}, host_path);
  return status;
}

Outcome Print() {
  const env::StatusOr<spool::Report> read = spool::ReadReport();
  if (!read.ok()) return {read.status().words(), 1};
  const spool::Report& report = *read;
  if (report.pages.empty()) return {Words("L'INFORME ÉS BUIT"), 0};
  const env::StatusOr<std::string> pdf = MakePdf(report);
  if (!pdf.ok()) return {pdf.status().words(), 2};
  const std::string pdf_path = platform::fs::HostPath(env::session.WorkDir + "kitprint.pdf");
  platform::fs::ClearFileError();
  const env::Status written = pdf_path.empty()
                                  ? env::Status(env::Code::kNotFound, {}, env::session.WorkDir)
                                  : WriteFile(pdf_path, *pdf);
  if (!written.ok()) {
    std::string words = written.words();
    if (words.empty()) words = Words("NO ES POT CREAR") + " " + env::session.WorkDir + "kitprint.pdf";
    return {words, 2};
  }
  const std::string lp = platform::FindOnPath("lp");
  if (lp.empty()) return {Words("NO HI HA CAP IMPRESSORA: L'INFORME S'HA DESAT A") + " " + Where(pdf_path), 0};
  std::string output;
  const int status = platform::RunProgramForOutput(lp, {pdf_path}, &output);
  if (status == 0) {
    std::string message = Words("L'INFORME S'HA ENVIAT A LA IMPRESSORA");
    if (!FirstLine(output).empty()) message += " (" + FirstLine(output) + ")";
    return {message, 0};
  }
  std::string why = FirstLine(output);
  if (why.empty()) why = "lp: " + std::to_string(status);
  return {Words("LA IMPRESSORA NO HA ACCEPTAT L'INFORME") + " (" + why + "). " +
              Words("L'INFORME ÉS A") + " " + Where(pdf_path),
          2};
}

// On the console when there is one, waiting for a key; else on standard
// output.
void Tell(const std::string& message) {
  ui::InstallTooSmallMessage();
  if (platform::console::Open()) {
    platform::console::SetCursorShape(false, 25);
    spool::TellAndWait(message);
    platform::console::Close();
    return;
  }
  std::printf("kitprint: %s\n", util::Cp850ToUtf8(message).c_str());
}

}  // namespace

int main() {
  platform::console::SetHeadlessRanOutHandler([] {
    std::fputs("kitprint: the key script ran out while the program waited for input\n", stderr);
    std::exit(3);
  });
  spool::StartSession();
  const Outcome outcome = Print();
  Tell(outcome.message);
  return outcome.status;
}
