#include "remit/journal.h"

#include "remit/c19_records.h"

namespace remit {

namespace {

constexpr std::string_view kHex = "0123456789ABCDEF";
constexpr std::string_view kEnd = "END ";

int HexValue(char c) {
  const size_t at = kHex.find(c);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

}  // namespace

std::string JournalLine(std::string_view key) {
  std::string line;
  line.reserve(key.size() * 2 + 2);
  for (char c : key) {
    const auto code = static_cast<unsigned char>(c);
    line += kHex[code >> 4];
    line += kHex[code & 15];
  }
  return line + "\r\n";
}

std::string JournalEnd(size_t count) { return std::string(kEnd) + std::to_string(count) + "\r\n"; }

bool ReadJournal(std::string_view text, std::vector<std::string>* keys) {
  keys->clear();
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string_view::npos) return false;  // a line cut short
    const std::string_view line = text.substr(at, end - at);
    at = end + 2;
    if (line.starts_with(kEnd)) {
      const std::string_view count = line.substr(kEnd.size());
      return at == text.size() && !count.empty() &&
             count.find_first_not_of("0123456789") == std::string_view::npos &&
             count == std::to_string(keys->size());
    }
    if (line.empty() || line.size() % 2 != 0) return false;
    std::string key;
    for (size_t i = 0; i < line.size(); i += 2) {
      const int high = HexValue(line[i]);
      const int low = HexValue(line[i + 1]);
      if (high < 0 || low < 0) return false;
      key += static_cast<char>(high * 16 + low);
    }
    keys->push_back(std::move(key));
  }
  return false;  // no end line
}

bool WholeFile(std::string_view bytes, int64_t* debits) {
  *debits = -1;
  if (bytes.empty() || bytes.size() % kRecordLineLength != 0) return false;
  for (size_t at = 0; at < bytes.size(); at += kRecordLineLength) {
    if (bytes.substr(at + kRecordLength, 2) != "\r\n") return false;
  }
  if (!bytes.starts_with("01")) return false;
  const std::string_view last = bytes.substr(bytes.size() - kRecordLineLength, kRecordLength);
  *debits = Record99Debits(last);
  return *debits >= 0;
}

}  // namespace remit
