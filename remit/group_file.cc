#include "remit/group_file.h"

#include "files/lock_liveness.h"
#include "platform/fs/errors.h"
#include "platform/fs/paths.h"
#include "remit/c19_records.h"
#include "remit/journal.h"

namespace remit {

namespace fs = platform::fs;

namespace {

// Records are written in runs of about this many bytes.
constexpr size_t kWriteRun = 256 * 1024;
// Names drawn before giving up: only a name source that keeps giving taken
// names gets this far.
constexpr int kNameAttempts = 1000;

bool Exists(const std::string& host_path) {
  fs::DirEntry entry;
  return fs::StatEntry(host_path, &entry);
}

}  // namespace

GroupFile::~GroupFile() {
  // Never removes anything: a file left open here may have committed, and
  // the next recovery tells which.
  journal_.Close();
  file_.Close();
}

void GroupFile::Reset() {
  journal_.Close();
  file_.Close();
  final_path_.clear();
  temporary_path_.clear();
  journal_path_.clear();
  pending_.clear();
  pending_journal_.clear();
  written_ = 0;
  journal_written_ = 0;
  length_ = 0;
  receipts_ = 0;
  sha_ = util::Sha256();
  digest_.clear();
  failed_ = false;
}

bool GroupFile::Create(const std::string& directory, const std::function<std::string()>& draw) {
  Reset();
  directory_host_ = fs::HostPath(directory);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string final_path = directory + draw() + std::string(kFileExtension);
    const std::string temporary_path = final_path + std::string(kTemporarySuffix);
    const std::string journal_path = final_path + std::string(kJournalSuffix);
    const std::string temporary_host = fs::HostPath(temporary_path);
    if (Exists(fs::HostPath(final_path)) || Exists(fs::HostPath(journal_path))) continue;
    // Created and held in one step; a name taken meanwhile is drawn again.
    const int error = file_.Open(temporary_host, fs::File::kCreateNew, true);
    if (error == fs::kErrorFileExists) continue;
    if (error != 0) return false;
    if (journal_.Open(fs::HostPath(journal_path), fs::File::kCreateNew, false) != 0) {
      const fs::FileError failure = fs::LastFileError();
      fs::RemoveFile(temporary_host);
      file_.Close();
      // The journal's failure is the one to tell.
      fs::NoteFileFailure(failure.operation, failure.host_path, failure.failure);
      return false;
    }
    final_path_ = final_path;
    temporary_path_ = temporary_path;
    journal_path_ = journal_path;
    // The journal names its workstation at once: another one's recovery
    // leaves the files to it (recovery.h), even if it dies right now.
    pending_journal_ = JournalWriter(files::ThisStation());
    return Flush();
  }
  fs::NoteFileFailure(fs::FileOperation::kCreate, directory_host_, fs::FileFailure::kExists);
  return false;
}

bool GroupFile::Append(std::string_view record) {
  std::string line(record.substr(0, kRecordLength));
  line.resize(kRecordLength, ' ');
  line = BlankControls(std::move(line)) + "\r\n";
  sha_.Update(line);
  pending_ += line;
  length_ += static_cast<int64_t>(kRecordLineLength);
  if (pending_.size() >= kWriteRun) return Flush();
  return !failed_;
}

bool GroupFile::AddReceipt(std::string_view key) {
  pending_journal_ += JournalLine(key);
  ++receipts_;
  if (pending_journal_.size() >= kWriteRun) return Flush();
  return !failed_;
}

bool GroupFile::Flush() {
  if (failed_ || !file_.IsOpen()) return false;
  if (!pending_.empty()) {
    failed_ = !file_.WriteAt(written_, pending_.data(), pending_.size());
    if (failed_) return false;
    written_ += static_cast<int64_t>(pending_.size());
    pending_.clear();
  }
  if (!pending_journal_.empty()) {
    failed_ = !journal_.WriteAt(journal_written_, pending_journal_.data(), pending_journal_.size());
    if (failed_) return false;
    journal_written_ += static_cast<int64_t>(pending_journal_.size());
    pending_journal_.clear();
  }
  return true;
}

bool GroupFile::Seal() {
  if (!Flush()) return false;
  pending_journal_ = JournalEnd(receipts_);
  if (!Flush()) return false;
  if (!file_.Sync() || !journal_.Sync() || fs::SyncDirectory(directory_host_) != 0) {
    failed_ = true;
    return false;
  }
  digest_ = sha_.HexDigest();
  return true;
}

int GroupFile::Publish() {
  const int error = fs::ReplaceFile(fs::HostPath(temporary_path_), fs::HostPath(final_path_));
  if (error != 0) {
    journal_.Close();
    file_.Close();
  }
  return error;
}

void GroupFile::DropJournal() {
  journal_.Close();
  fs::RemoveFile(fs::HostPath(journal_path_));
}

// Held from its creation up to here, under either name: no recovery takes
// a file whose process is still on its way to listing it.
void GroupFile::Release() {
  journal_.Close();
  file_.Close();
}

std::string GroupFile::FinalName() const {
  const size_t slash = final_path_.find_last_of('\\');
  return slash == std::string::npos ? final_path_ : final_path_.substr(slash + 1);
}

void GroupFile::Discard() {
  if (!temporary_path_.empty()) {
    journal_.Close();
    fs::RemoveFile(fs::HostPath(temporary_path_));
    fs::RemoveFile(fs::HostPath(journal_path_));
  }
  Reset();
}

}  // namespace remit
