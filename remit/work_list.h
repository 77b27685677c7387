// The work list "QXCONVRT.INI" in env::session.WorkDir that the sibling converter
// reads: section "Convertir" with "Tornar" (the menu to return to),
// "Maxim" (how many files) and "Fitx1", "Fitx2" ... (their full paths).
#pragma once

#include <string>

#include "env/status.h"

namespace remit {

// The list started afresh: the old one deleted and "Tornar" written; what
// failed when the list cannot be written.
env::Status StartWorkList(const std::string& return_menu);
// The file added as the next "FitxK"; "Tornar" is written first when the
// list has none (a list made by a recovery at start-up). What failed when
// the list cannot be written: the file is then not listed.
env::Status AddToWorkList(const std::string& path, const std::string& return_menu);
// Whether the list holds the file; and whether it holds any.
bool WorkListHolds(const std::string& path);
bool WorkListHasFiles();

}  // namespace remit
