// The catalogue of what is on the machine, in the work record file USort
// (file number 146, open with its record buffer registered): the drives
// ("U" records), the directories of a drive ("D") and the remittance files
// of a directory ("F"), which the browse lists show level by level. Every
// record is a key of 80 characters and the line the list shows, 80 more.
//
// Each operation is called with what to catalogue and the Operator
// (operator.h) it shows its progress through: the line of the record just
// handled, from column 1 of the progress window the caller opened. It
// returns a report of what it added, what it left out and the failure that
// cut it short.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "env/status.h"
#include "remit/catalogue_layout.h"
#include "remit/operator.h"

namespace remit {

inline constexpr int16_t kCatalogueFile = 146;
inline constexpr size_t kCatalogueKeyWidth = catalogue_record::kKey.width;
inline constexpr size_t kCatalogueLineWidth = catalogue_record::kLine.width;

// What to catalogue: a directory (a program path ending in "\") and, for
// its remittance files, the pattern their names match.
struct CatalogueRequest {
  std::string directory;
  std::string pattern = "*.*";
};

struct CatalogueReport {
  // Records added.
  int32_t added = 0;
  // What could not be read (a directory) or written (the listing), in the
  // operator's words with the path: an empty list then is no empty folder.
  std::vector<std::string> failures;
  // The paths of remittance files left out because their name cannot be
  // kept whole in the record (too long for the key beside the directory,
  // or ending in a blank): a picked cut name would name another file.
  std::vector<std::string> unpickable;
  // Why records were not added, when the record file refused them (a
  // second record of one key is the file's own rule, not a failure); ok
  // otherwise.
  env::Status status;
};

// One "U" record per drive letter A to Z that is present: key "U", the
// letter and the drive's kind letter; line the drive's display text.
CatalogueReport CatalogueDrives(Operator& op);

// The "D" record of the request's directory and of every directory below
// it: key "D" and the path, line the path without its drive. A directory
// whose path does not fit in the key is left out with everything under it;
// a directory reached a second time (a symbolic link back up the tree) is
// not entered again, nor is one a link leads to out of the drive's folder.
CatalogueReport CatalogueDirectories(const CatalogueRequest& request, Operator& op);

// An "F" record for each remittance file of the request's directory whose
// name matches its pattern: key "F", the directory, the
// collection date inverted (99999999 - yyyymmdd, so that the newest come
// first; 99999999 without a date) and the file's full name; line the name
// at 1 (cut to 12 characters, so that a blank stays before the date), the
// date at 14 (day-month-year), the total at 25 and the
// number of debits at 39. The listing of the directory passes through
// session.WorkDir + "DIR.TMP", deleted at the end.
CatalogueReport CatalogueRemittanceFiles(const CatalogueRequest& request, Operator& op);

// The full file name an "F" record keeps (without its directory); empty for
// any other record.
std::string CataloguedFileName(const std::string& record);

}  // namespace remit
