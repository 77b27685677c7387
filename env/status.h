// The one way the layers above platform/ say what failed: a code from one
// named set (what a caller may act on), the words for the operator in the
// operator's language, and the path or record the failure concerns. A
// Status that is ok carries nothing. StatusOr<T> is a value or the Status
// of why there is none.
//
// Both are [[nodiscard]]: a failure is told, passed on or handled, never
// dropped. The record manager's numbered statuses stay inside platform/recman
// and db/; they become a Status where they leave db/ (db::RecordStatus).
//
//   env::StatusOr<std::string> bytes = ReadWorkList(path);
//   if (!bytes.ok()) return bytes.status();   // passed on, words and path
//   Use(*bytes);
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/fs/errors.h"

namespace env {

// What kind of failure, for the callers that act on it; the words say the
// rest to the operator.
enum class Code : uint8_t {
  kOk,
  kCancelled,  // the operator gave up (Escape)
  kNotFound,   // a file, folder, drive or record that is not there
  kBadData,    // there, but not what it must be: a damaged or foreign file or record
  kFileError,  // a read, write, create or rename that the system refused
  kDiskFull,   // no room left on the medium
  kInUse,      // held by another terminal or program
  kRefused,    // a request this program does not carry out (a link, a range backwards...)
  kDatabase,   // the record manager failed in a way none of the above says
};

class [[nodiscard]] Status {
 public:
  // Ok.
  Status() = default;
  // code must not be kOk; words are code page 850, already translated.
  Status(Code code, std::string words, std::string subject = {});

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  // For the operator: the words, and the path or record they concern.
  const std::string& words() const { return words_; }
  const std::string& subject() const { return subject_; }
  // The words, then ": " and the subject when there is one and the words do
  // not name it already: one line for a panel or a report.
  std::string Text() const;

  bool operator==(const Status&) const = default;

 private:
  Code code_ = Code::kOk;
  std::string words_;
  std::string subject_;
};

inline Status OkStatus() { return Status(); }

// The failure platform/fs noted, in words with its program path (kNotFound,
// kDiskFull, kInUse or kFileError by its kind).
Status FileStatus(const platform::fs::FileError& error);
// The same of the last failure platform/fs noted.
Status LastFileStatus();

template <typename T>
class [[nodiscard]] StatusOr {
 public:
  // A failure: status must not be ok.
  StatusOr(Status status) : status_(std::move(status)) {}  // NOLINT: implicit on purpose
  StatusOr(T value) : value_(std::move(value)) {}          // NOLINT: implicit on purpose

  bool ok() const { return value_.has_value(); }
  const Status& status() const { return status_; }

  // Only when ok().
  T& value() & { return *value_; }
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }

 private:
  Status status_;
  std::optional<T> value_;
};

}  // namespace env
