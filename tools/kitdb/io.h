// The files kitdb reads and writes besides record files: inputs are taken
// only when they are plain files, and outputs are written through a
// temporary file that is flushed and then put in place in one step.
#pragma once

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
// socket is refused at once (a pipe would block, a device never end); false
// with "PATH: why" in *error.
bool OpenInput(const std::string& path, platform::fs::File* file, std::string* error);

// The whole of a small input (a description), refused when it is longer
// than max_bytes.
bool ReadSmallInput(const std::string& path, size_t max_bytes, std::string* bytes,
                    std::string* error);

// A file written through PATH.kitdb-tmp beside it: nothing appears under
// PATH until Commit, and an output dropped before that leaves nothing.
class Output {
 public:
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output();

  // A path that exists as anything but a plain file is refused.
  bool Open(const std::string& path, std::string* error);
  // Appends; false when the disk refuses.
  bool Write(std::string_view bytes);
  // Flushes everything to the disk and puts the file in place of PATH.
  bool Commit(std::string* error);

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
