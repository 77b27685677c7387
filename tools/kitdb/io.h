// The files kitdb reads and writes besides record files: inputs are taken
// only when they are plain files, and outputs are written through a
// temporary file that is flushed and then put in place in one step.
#pragma once

#include "env/status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/fs/files.h"

namespace kitdb {

// Why an existing path cannot be taken as a plain file ("is a directory");
// empty when it can, or when nothing is there.
std::string NotPlainFile(const std::string& path);

// Opens an input named on the command line. A directory, pipe, device or
// socket is refused at once (a pipe would block, a device never end): a
// failure whose words are "PATH: why".
env::Status OpenInput(const std::string& path, platform::fs::File* file);

// The whole of a small input (a description), refused (kRefused) when it is
// longer than max_bytes.
env::StatusOr<std::string> ReadSmallInput(const std::string& path, size_t max_bytes);

// A file written through PATH.kitdb-tmp beside it: nothing appears under
// PATH until Commit, and an output dropped before that leaves nothing.
class Output {
 public:
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output();

  // A path that exists as anything but a plain file is refused.
  env::Status Open(const std::string& path);
  // Appends; false when the disk refuses.
  bool Write(std::string_view bytes);
  // Flushes everything to the disk and puts the file in place of PATH.
  env::Status Commit();

 private:
  bool Flush();
  void Drop();

  std::string path_;
  std::string temporary_;
  platform::fs::File file_;
  std::string buffer_;
  int64_t written_ = 0;
  bool failed_ = false;
};

// What an error number of platform::fs means, for messages.
std::string FileErrorText(int error);

}  // namespace kitdb
