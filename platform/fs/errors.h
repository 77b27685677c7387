// The last failure of a file operation of this layer: what was being done,
// to which host path, and why, so that the program can tell the operator in
// words ("cannot write /srv/kit/SORTIDA/R0.E19: the disk is full") rather
// than with a bare error number.
#pragma once

#include <cstdint>
#include <string>

namespace platform::fs {

enum class FileOperation : uint8_t {
  kNone,
  kOpen,
  kCreate,
  kRead,
  kWrite,
  kFlush,
  kResize,
  kReplace,
  kRemove,
  kMakeDirectory,
  kList,
};

// The system's reason, in kinds the program words itself.
enum class FileFailure : uint8_t {
  kNone,
  kNotFound,        // no such file or folder
  kDenied,          // no permission
  kReadOnlyMedium,  // a medium that cannot be written
  kNoSpace,         // the disk or the user's quota is full
  kTooLarge,        // past the file size limit
  kIsDirectory,     // a folder where a file was expected
  kNotRegular,      // a pipe, device or socket where a file was expected
  kNotDirectory,    // a file where a folder was expected
  kLink,            // a symbolic link where the program writes a file of its own
  kExists,          // already exists
  kBusy,            // held by another program
  kBadName,         // a name the system refuses
  kInputOutput,     // the medium failed (removed, damaged)
  kOther,
};

struct FileError {
  FileOperation operation = FileOperation::kNone;
  FileFailure failure = FileFailure::kNone;
  std::string host_path;  // UTF-8
  int error_number = 0;   // the program's error number (files.h)
  std::string reason;     // the system's own words, for what has no kind
};

// The failure last noted by any operation of this layer; operation kNone
// when none failed since the last ClearFileError.
const FileError& LastFileError();
void ClearFileError();

// Notes a failure of operation on host_path with the host's errno value.
void NoteFileError(FileOperation operation, const std::string& host_path, int host_errno);
// Notes a failure that has no errno (a pipe where a file was expected...).
void NoteFileFailure(FileOperation operation, const std::string& host_path,
                     FileFailure failure);

}  // namespace platform::fs
