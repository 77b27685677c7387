// The classic sequential form of a record file's contents: each record as
// its length in decimal, a comma, the record's bytes, then CR LF. A Ctrl+Z
// after the last record (as older tools wrote) marks the end.
#pragma once

#include "env/status.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kitdb {

// Appends one record in sequential form.
void AppendSequential(std::string_view record, std::string* out);

// Reads sequential text record by record, holding no more than one record
// (at most 65,535 bytes) and a buffer, however long the text runs.
class SequentialReader {
 public:
  // Puts up to size bytes into buffer: how many, 0 at the end, -1 when the
  // text cannot be read.
  using Source = std::function<int64_t(char* buffer, size_t size)>;
  explicit SequentialReader(Source source);

  enum class Step { kRecord, kEnd, kFailed };
  // The next record into *record; kFailed with error() "record N (byte B):
  // what is wrong" for a truncated, malformed or unreadable text.
  Step Next(std::string* record);
  const std::string& error() const { return error_; }

 private:
  bool Fill(size_t need);
  size_t Available() const { return buffer_.size() - pos_; }
  Step Fail(uint64_t at, const std::string& why);

  Source source_;
  std::string buffer_;
  size_t pos_ = 0;
  uint64_t base_ = 0;  // the text's offset of buffer_[0]
  bool ended_ = false;
  bool unreadable_ = false;
  size_t records_ = 0;
  std::string error_;
};

// Splits sequential text into records; kBadData with the reader's error in
// its words for a truncated or malformed text.
env::StatusOr<std::vector<std::string>> ParseSequential(std::string_view text);

}  // namespace kitdb
