// KITSCR: the screen viewer of the print spool. The main program starts it
// with no arguments after writing a report for the screen; it shows the
// spool "kitprint.tmp" of the work directory page by page until Escape.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "env/language.h"
#include "platform/console/console.h"
#include "tools/kitscr/viewer.h"
#include "tools/spool/session.h"
#include "tools/spool/tell.h"
#include "ui/screen.h"
#include "util/cp850.h"

int main() {
  // A scripted run whose keys run out ends with status 3 (the screen is
  // dumped when the console closes at exit).
  platform::console::SetHeadlessRanOutHandler([] {
    std::fputs("kitscr: the key script ran out while the program waited for input\n", stderr);
    std::exit(3);
  });
  spool::StartSession();
  ui::InstallTooSmallMessage();
  std::string error;
  if (!platform::console::Open(&error)) {
    std::fprintf(stderr, "kitscr: %s\n", error.c_str());
    return 1;
  }
  platform::console::SetCursorShape(false, 25);
  const env::StatusOr<spool::Report> report = spool::ReadReport();
  int status = 0;
  if (!report.ok()) {
    spool::TellAndWait(report.status().words());
    status = 1;
  } else if (report->pages.empty()) {
    spool::TellAndWait(env::TranslateText(util::Cp850("L'INFORME ÉS BUIT")));
  } else {
    kitscr::RunViewer(*report);
  }
  platform::console::Close();
  return status;
}
