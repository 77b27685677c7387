// The files the converter is given: those of the work list "QXCONVRT.INI"
// in session.WorkDir (section "Convertir": "Maxim" entries "Fitx1" .. "FitxN"), or
// those named on its command line.
#pragma once

#include <string>
#include <vector>

#include "env/status.h"

namespace qxconvrt {

struct FileToConvert {
  std::string shown;      // as the list or the command line names it (code page 850)
  std::string host_path;  // empty when the list's entry is empty
};

// The work list's files in order; kNotFound when there is no list to read,
// kBadData when it names none, in words with the list's path.
env::StatusOr<std::vector<FileToConvert>> ReadWorkList();
// Host paths given on the command line.
std::vector<FileToConvert> FromArguments(const std::vector<std::string>& arguments);

}  // namespace qxconvrt
