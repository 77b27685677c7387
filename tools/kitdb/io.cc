#include "tools/kitdb/io.h"

namespace kitdb {
namespace {

namespace fs = platform::fs;

constexpr size_t kOutputBuffer = 1 << 20;

}  // namespace

std::string NotPlainFile(const std::string& path) {
  fs::DirEntry entry;
  if (!fs::StatEntry(path, &entry)) return {};
  if ((entry.attributes & fs::kDirectory) != 0) return "is a directory";
  if ((entry.attributes & fs::kSystem) != 0) return "is not a plain file (a pipe, device or socket)";
  return {};
}

std::string FileErrorText(int error) {
  switch (error) {
    case fs::kErrorFileNotFound: return "no such file";
    case fs::kErrorPathNotFound: return "no such folder";
    case fs::kErrorAccessDenied: return "access denied";
    case fs::kErrorSharingViolation: return "in use by another program";
    case fs::kErrorFileExists: return "exists";
    case fs::kErrorBadName: return "bad name";
    default: return "error " + std::to_string(error);
  }
}

env::Status OpenInput(const std::string& path, fs::File* file) {
  std::string why = NotPlainFile(path);
  if (why.empty()) {
    int status = file->Open(path, fs::File::kRead, false);
    // What turned into something else since the look above is refused by
    // the open itself.
    if (status == fs::kErrorAccessDenied) why = NotPlainFile(path);
    if (why.empty() && status != 0) why = "cannot be read (" + FileErrorText(status) + ")";
  }
  if (why.empty()) return env::OkStatus();
  return env::Status(env::Code::kFileError, path + ": " + why, path);
}

env::StatusOr<std::string> ReadSmallInput(const std::string& path, size_t max_bytes) {
  fs::File file;
  env::Status opened = OpenInput(path, &file);
  if (!opened.ok()) return opened;
  std::string bytes;
  char buffer[65536];
  for (;;) {
    int64_t got = file.ReadAt(static_cast<int64_t>(bytes.size()), buffer, sizeof buffer);
    if (got < 0) return env::Status(env::Code::kFileError, path + ": cannot be read", path);
    if (got == 0) return bytes;
    if (bytes.size() + static_cast<size_t>(got) > max_bytes) {
      return env::Status(env::Code::kRefused,
                         path + ": longer than " + std::to_string(max_bytes) + " bytes", path);
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

Output::~Output() { Drop(); }

env::Status Output::Open(const std::string& path) {
  Drop();
  std::string why = NotPlainFile(path);
  if (!why.empty()) return env::Status(env::Code::kRefused, path + ": " + why, path);
  path_ = path;
  temporary_ = path + ".kitdb-tmp";
  // With no sharing, two kitdb runs writing the same file cannot mix their
  // bytes; one left by a killed run is taken over and emptied.
  int status = file_.Open(temporary_, fs::File::kReadWriteCreate, true);
  if (status == 0 && !file_.Truncate(0)) {
    Drop();
    status = fs::kErrorGeneral;
  }
  if (status != 0) {
    env::Status failure(env::Code::kFileError,
                        temporary_ + ": cannot be written (" + FileErrorText(status) + ")", temporary_);
    temporary_.clear();
    return failure;
  }
  written_ = 0;
  failed_ = false;
  buffer_.clear();
  return env::OkStatus();
}

bool Output::Write(std::string_view bytes) {
  buffer_.append(bytes);
  if (buffer_.size() >= kOutputBuffer) Flush();
  return !failed_;
}

bool Output::Flush() {
  if (!failed_ && !buffer_.empty()) {
    failed_ = !file_.WriteAt(written_, buffer_.data(), buffer_.size());
    written_ += static_cast<int64_t>(buffer_.size());
  }
  buffer_.clear();
  return !failed_;
}

env::Status Output::Commit() {
  if (!file_.IsOpen()) return env::Status(env::Code::kFileError, path_ + ": not written", path_);
  if (!Flush() || !file_.Sync()) {
    Drop();
    return env::Status(env::Code::kFileError, path_ + ": not written (the disk refused the data)",
                       path_);
  }
  file_.Close();
  // The error of the swap is the one reported; removing the temporary file
  // afterwards must not hide it.
  int status = fs::ReplaceFile(temporary_, path_);
  if (status != 0) {
    env::Status failure(env::Code::kFileError,
                        path_ + ": not written (" + FileErrorText(status) + ")", path_);
    Drop();
    return failure;
  }
  temporary_.clear();
  return env::OkStatus();
}

void Output::Drop() {
  if (temporary_.empty()) return;
  file_.Close();
  fs::RemoveFile(temporary_);
  temporary_.clear();
}

}  // namespace kitdb
