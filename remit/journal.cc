#include "remit/journal.h"

#include "remit/c19_records.h"

namespace remit {

namespace {

constexpr std::string_view kHex = "0123456789ABCDEF";
constexpr std::string_view kEnd = "END ";
constexpr std::string_view kBy = "BY ";

int HexValue(char c) {
  const size_t at = kHex.find(c);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// The bytes of an even number of hexadecimal digits.
bool Unhex(std::string_view digits, std::string* bytes) {
  if (digits.size() % 2 != 0) return false;
  bytes->clear();
  for (size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexValue(digits[i]);
    const int low = HexValue(digits[i + 1]);
    if (high < 0 || low < 0) return false;
    *bytes += static_cast<char>(high * 16 + low);
  }
  return true;
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

std::string JournalWriter(std::string_view station) { return std::string(kBy) + JournalLine(station); }

std::string JournalEnd(size_t count) { return std::string(kEnd) + std::to_string(count) + "\r\n"; }

bool ReadJournal(std::string_view text, std::vector<std::string>* keys, std::string* writer) {
  keys->clear();
  if (writer != nullptr) writer->clear();
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string_view::npos) return false;  // a line cut short
    std::string_view line = text.substr(at, end - at);
    const bool first = at == 0;
    at = end + 2;
    if (first && line.starts_with(kBy)) {
      std::string station;
      if (!Unhex(line.substr(kBy.size()), &station)) return false;
      if (writer != nullptr) *writer = station;
      continue;
    }
    if (line.starts_with(kEnd)) {
      const std::string_view count = line.substr(kEnd.size());
      return at == text.size() && !count.empty() &&
             count.find_first_not_of("0123456789") == std::string_view::npos &&
             count == std::to_string(keys->size());
    }
    std::string key;
    if (line.empty() || !Unhex(line, &key)) return false;
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
