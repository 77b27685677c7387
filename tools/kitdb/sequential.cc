#include "tools/kitdb/sequential.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kitdb {
namespace {

constexpr size_t kMaxRecordLength = 65535;
constexpr size_t kChunk = 65536;

}  // namespace

void AppendSequential(std::string_view record, std::string* out) {
  *out += std::to_string(record.size());
  *out += ',';
  out->append(record);
  *out += "\r\n";
}

SequentialReader::SequentialReader(Source source) : source_(std::move(source)) {}

// Makes need unread bytes available, fewer only at the end of the text;
// false when the text cannot be read.
bool SequentialReader::Fill(size_t need) {
  while (Available() < need && !ended_ && !unreadable_) {
    buffer_.erase(0, pos_);
    base_ += pos_;
    pos_ = 0;
    size_t old = buffer_.size();
    buffer_.resize(old + kChunk);
    int64_t got = source_(buffer_.data() + old, kChunk);
    buffer_.resize(old + static_cast<size_t>(std::max<int64_t>(got, 0)));
    if (got < 0) unreadable_ = true;
    if (got == 0) ended_ = true;
  }
  return !unreadable_;
}

SequentialReader::Step SequentialReader::Fail(uint64_t at, const std::string& why) {
  error_ = "record " + std::to_string(records_ + 1) + " (byte " + std::to_string(at) + "): " + why;
  return Step::kFailed;
}

SequentialReader::Step SequentialReader::Next(std::string* record) {
  record->clear();
  const uint64_t start = base_ + pos_;
  auto unreadable = [&] { return Fail(base_ + pos_, "the text cannot be read"); };
  if (!Fill(2)) return unreadable();
  if (Available() == 0) return Step::kEnd;
  if (buffer_[pos_] == '\x1A' && Available() == 1) {
    ++pos_;
    return Step::kEnd;
  }
  size_t length = 0;
  size_t digits = 0;
  for (;;) {
    if (!Fill(1)) return unreadable();
    if (Available() == 0 || buffer_[pos_] < '0' || buffer_[pos_] > '9') break;
    length = length * 10 + static_cast<size_t>(buffer_[pos_] - '0');
    if (length > kMaxRecordLength) return Fail(start, "record length above 65535");
    ++pos_;
    ++digits;
  }
  if (digits == 0) return Fail(base_ + pos_, "a record length was expected");
  if (Available() == 0 || buffer_[pos_] != ',') {
    return Fail(base_ + pos_, "a comma was expected after the length");
  }
  ++pos_;
  const uint64_t data = base_ + pos_;
  while (record->size() < length) {
    if (!Fill(1)) return unreadable();
    if (Available() == 0) return Fail(data, "the text ends inside the record");
    size_t take = std::min(Available(), length - record->size());
    record->append(buffer_, pos_, take);
    pos_ += take;
  }
  if (!Fill(2)) return unreadable();
  if (Available() < 2) return Fail(data, "the text ends inside the record");
  if (buffer_[pos_] != '\r' || buffer_[pos_ + 1] != '\n') {
    return Fail(base_ + pos_, "CR LF was expected after " + std::to_string(length) + " bytes");
  }
  pos_ += 2;
  ++records_;
  return Step::kRecord;
}

env::StatusOr<std::vector<std::string>> ParseSequential(std::string_view text) {
  std::vector<std::string> records;
  SequentialReader reader([&text](char* buffer, size_t size) {
    size_t n = std::min(size, text.size());
    if (n > 0) std::memcpy(buffer, text.data(), n);
    text.remove_prefix(n);
    return static_cast<int64_t>(n);
  });
  std::string record;
  for (;;) {
    switch (reader.Next(&record)) {
      case SequentialReader::Step::kRecord:
        records.push_back(std::move(record));
        break;
      case SequentialReader::Step::kEnd:
        return records;
      case SequentialReader::Step::kFailed:
        return env::Status(env::Code::kBadData, reader.error());
    }
  }
}

}  // namespace kitdb
