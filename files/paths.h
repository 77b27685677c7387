// Paths as the program writes them: parts, normalisation, creation, unique
// names and file dates.
#pragma once

#include "env/status.h"
#include <cstdint>
#include <string>
#include <string_view>

namespace files {

// The parts of a path named by the bits, joined in this order: 1 the drive
// ("C:"), 2 the directory (with its closing separator), 4 the base name,
// 8 the extension with its ".". Parts 4 + 8 give the file name.
std::string PathPart(std::string_view path, int16_t parts);

// The path as an absolute directory path: drive letter, ":", the path from
// the root, ending with "\". "." and "..\" are applied, but ".." never
// climbs above the root. Empty when the drive is absent.
void AbsolutePath(std::string& path);

// Creates every directory of the path after its drive, the outermost first;
// existing ones are left as they are. What failed when the path is not a
// folder afterwards (an absent drive, a file in the way, no right to write).
env::Status MakePath(std::string_view path);

// A path in the directory to a file that does not exist yet: up to 3
// characters of prefix, random digits and capitals to 8, and "." with the
// first 3 characters of the extension when there is one. An empty directory
// means the current one.
std::string UniqueFileName(std::string_view directory, std::string_view prefix,
                           std::string_view extension);

// The file's last-write time as 14 digits, year to second, as the file
// system keeps it (UTC). Empty when the file cannot be read; then
// file_stamp.FileStampYear and file_stamp.FileStampMonth are 0, else they hold its year and month.
std::string FileTimeStamp(std::string_view path);
// The year and month FileTimeStamp saw last, for its callers. Back to start
// by ResetFilesState.
struct FileStamp {
  int16_t FileStampYear{};
  int16_t FileStampMonth{};
};
extern FileStamp file_stamp;

// Whether the file's date (year, month, day) is earlier than the date
// "yyyymmdd". A file whose date cannot be read is never older: a purge of old
// files keeps it.
bool FileDatedBefore(std::string_view path, std::string_view yyyymmdd);

}  // namespace files
