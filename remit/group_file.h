// The output of one creditor-suffix group while its transaction is open:
// the records go to "XXXXXXXX.E19.tmp" in the output directory, and the key
// of every receipt written to the journal "XXXXXXXX.E19.key" beside it
// (journal.h). The temporary file is held open with no sharing from its
// creation until it is under its final name or removed, so another
// process's recovery never touches a live generation's files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/fs/files.h"
#include "util/sha256.h"

namespace remit {

class GroupFile {
 public:
  GroupFile() = default;
  GroupFile(const GroupFile&) = delete;
  GroupFile& operator=(const GroupFile&) = delete;
  ~GroupFile();  // discards what was neither published nor discarded

  // Creates the temporary file and its journal in directory (a program path
  // ending in "\") under a name of 8 characters from draw that neither a
  // final file, a temporary file nor a journal has. False, with the failure
  // noted by platform/fs, when that cannot be done.
  bool Create(const std::string& directory, const std::function<std::string()>& draw);
  bool IsOpen() const { return file_.IsOpen(); }

  // The file's length with everything appended so far.
  int64_t Length() const { return length_; }
  // Appends a record of 600 characters (control characters blanked) and
  // CR LF. False when a write failed (noted by platform/fs).
  bool Append(std::string_view record);
  // Adds a receipt's key to the journal.
  bool AddReceipt(std::string_view key);

  // Writes out what is buffered, ends the journal and flushes both files
  // and the directory to the disk: after this the group may commit.
  bool Seal();
  // The SHA-256 of the sealed file's bytes (after Seal).
  const std::string& Digest() const { return digest_; }

  // After the commit: the file under its final name, still held. 0, or the
  // error of the rename (the file is then let go, a finished temporary file
  // that the next recovery puts in place).
  int Publish();
  // Once the file is listed: the journal removed (until then it names this
  // workstation to the recovery of the others).
  void DropJournal();
  // Once the file is listed: let go.
  void Release();
  // The group did not commit: both files removed and let go.
  void Discard();

  // The final file's program path.
  const std::string& FinalPath() const { return final_path_; }
  // The final name without its directory, "XXXXXXXX.E19".
  std::string FinalName() const;

 private:
  bool Flush();
  void Reset();

  platform::fs::File file_;
  platform::fs::File journal_;
  std::string final_path_;
  std::string temporary_path_;
  std::string journal_path_;
  std::string directory_host_;
  std::string pending_;          // records not yet written
  std::string pending_journal_;  // journal lines not yet written
  int64_t written_ = 0;          // bytes of the file on the disk
  int64_t journal_written_ = 0;
  int64_t length_ = 0;
  size_t receipts_ = 0;
  util::Sha256 sha_;
  std::string digest_;
  bool failed_ = false;
};

}  // namespace remit
