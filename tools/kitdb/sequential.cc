#include "tools/kitdb/sequential.h"

namespace kitdb {
namespace {

constexpr size_t kMaxRecordLength = 65535;

}  // namespace

void AppendSequential(std::string_view record, std::string* out) {
  *out += std::to_string(record.size());
  *out += ',';
  out->append(record);
  *out += "\r\n";
}

bool ParseSequential(std::string_view text, std::vector<std::string>* records,
                     std::string* error) {
  records->clear();
  size_t at = 0;
  auto fail = [&](const std::string& why) {
    *error = "record " + std::to_string(records->size() + 1) + " (byte " + std::to_string(at) +
             "): " + why;
    records->clear();
    return false;
  };
  while (at < text.size()) {
    if (text[at] == '\x1A' && at + 1 == text.size()) break;
    size_t length = 0;
    size_t digits = 0;
    while (at + digits < text.size() && text[at + digits] >= '0' && text[at + digits] <= '9') {
      length = length * 10 + static_cast<size_t>(text[at + digits] - '0');
      if (length > kMaxRecordLength) return fail("record length above 65535");
      ++digits;
    }
    if (digits == 0) return fail("a record length was expected");
    at += digits;
    if (at >= text.size() || text[at] != ',') return fail("a comma was expected after the length");
    ++at;
    if (text.size() - at < length + 2) return fail("the text ends inside the record");
    std::string_view record = text.substr(at, length);
    at += length;
    if (text[at] != '\r' || text[at + 1] != '\n') {
      return fail("CR LF was expected after " + std::to_string(length) + " bytes");
    }
    at += 2;
    records->emplace_back(record);
  }
  return true;
}

}  // namespace kitdb
