// A failed file operation told to the operator in words, in the operator's
// language, with the path: "NO ES POT ESCRIURE C:\KIT\SORTIDA\R0.E19: DISC
// PLE" rather than a bare error number.
#pragma once

#include <string>

#include "platform/fs/errors.h"

namespace env {

// What failed, where (as a program path), and why; empty when nothing
// failed.
std::string FileErrorText(const platform::fs::FileError& error);
// The same of the last failure noted by platform/fs.
std::string LastFileErrorText();

}  // namespace env
