#include "env/status.h"

#include "env/file_error.h"
#include "platform/fs/paths.h"

namespace env {

Status::Status(Code code, std::string words, std::string subject)
    : code_(code), words_(std::move(words)), subject_(std::move(subject)) {}

std::string Status::Text() const {
  if (subject_.empty() || words_.find(subject_) != std::string::npos) return words_;
  if (words_.empty()) return subject_;
  return words_ + ": " + subject_;
}

Status FileStatus(const platform::fs::FileError& error) {
  using platform::fs::FileFailure;
  if (error.operation == platform::fs::FileOperation::kNone) return OkStatus();
  Code code = Code::kFileError;
  switch (error.failure) {
    case FileFailure::kNotFound: code = Code::kNotFound; break;
    case FileFailure::kNoSpace:
    case FileFailure::kTooLarge: code = Code::kDiskFull; break;
    case FileFailure::kBusy: code = Code::kInUse; break;
    default: break;
  }
  // The words already name the path; the subject keeps it apart for callers
  // that show it on its own.
  return Status(code, FileErrorText(error), platform::fs::ProgramPath(error.host_path));
}

Status LastFileStatus() {
  // A copy: the wording may open the language file, and a failure there
  // would overwrite the failure being told while it is worded.
  const platform::fs::FileError error = platform::fs::LastFileError();
  return FileStatus(error);
}

}  // namespace env
