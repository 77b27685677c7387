#include "platform/fs/errors.h"

#include <cerrno>
#include <cstring>

#include "platform/fs/files.h"

namespace platform::fs {
namespace {

// Process-wide: the last failure, read after the failed call.
FileError last_error;

FileFailure FailureOf(int host_errno) {
  switch (host_errno) {
    case ENOENT: return FileFailure::kNotFound;
    case EACCES:
    case EPERM: return FileFailure::kDenied;
    case EROFS: return FileFailure::kReadOnlyMedium;
    case ENOSPC:
    case EDQUOT: return FileFailure::kNoSpace;
    case EFBIG: return FileFailure::kTooLarge;
    case EISDIR: return FileFailure::kIsDirectory;
    case ENOTDIR: return FileFailure::kNotDirectory;
    case EEXIST:
    case ENOTEMPTY: return FileFailure::kExists;
    case EBUSY:
    case EAGAIN:
    case ETXTBSY: return FileFailure::kBusy;
    case ENAMETOOLONG:
    case EINVAL: return FileFailure::kBadName;
    case EIO:
    case ENXIO:
    case ENODEV: return FileFailure::kInputOutput;
    default: return FileFailure::kOther;
  }
}

}  // namespace

const FileError& LastFileError() { return last_error; }

void ClearFileError() { last_error = FileError(); }

void NoteFileError(FileOperation operation, const std::string& host_path, int host_errno) {
  last_error.operation = operation;
  last_error.failure = FailureOf(host_errno);
  last_error.host_path = host_path;
  last_error.error_number = ErrorNumber(host_errno);
  last_error.reason = host_errno != 0 ? std::strerror(host_errno) : "";
}

void NoteFileFailure(FileOperation operation, const std::string& host_path,
                     FileFailure failure) {
  last_error.operation = operation;
  last_error.failure = failure;
  last_error.host_path = host_path;
  last_error.error_number = failure == FileFailure::kNotFound ? kErrorFileNotFound
                                                              : kErrorAccessDenied;
  last_error.reason.clear();
}

}  // namespace platform::fs
