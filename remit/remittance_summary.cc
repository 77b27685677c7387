#include "remit/remittance_summary.h"

#include "remit/c19_records.h"
#include "util/dates.h"

namespace remit {

namespace fs = platform::fs;

namespace summary_detail {

namespace {

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int64_t DigitsValue(std::string_view digits) {
  int64_t value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

// The Cuaderno 19.14 code of the first record: presenter header, version
// 19143, operation 001.
constexpr std::string_view kC19Start = "0119143001";

}  // namespace

bool ParseCents(std::string_view text, int64_t* cents) {
  size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  if (!AllDigits(whole) || whole.size() > 15) return false;
  if (point != std::string_view::npos && !AllDigits(fraction)) return false;
  // Decimals past the cent must be zeros: 7.250 is 725 cents, 7.255 is no
  // amount of cents at all.
  for (size_t i = 2; i < fraction.size(); ++i) {
    if (fraction[i] != '0') return false;
  }
  std::string cent_digits(fraction.substr(0, 2));
  cent_digits.resize(2, '0');
  *cents = DigitsValue(whole) * 100 + DigitsValue(cent_digits);
  return true;
}

std::string ValidDateDigits(std::string_view digits) {
  if (digits.size() != 8 || !AllDigits(digits)) return {};
  const int64_t year = DigitsValue(digits.substr(0, 4));
  const int64_t month = DigitsValue(digits.substr(4, 2));
  const int64_t day = DigitsValue(digits.substr(6, 2));
  if (year < 1900 || month < 1 || month > 12 || day < 1 ||
      day > util::DaysInMonth(month, year, false)) {
    return {};
  }
  return std::string(digits);
}

std::string IsoDateDigits(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return {};
  std::string digits;
  digits.append(text.substr(0, 4)).append(text.substr(5, 2)).append(text.substr(8, 2));
  return ValidDateDigits(digits);
}

// The records are 600 characters, each ended by CR LF as the generation
// writes them or by LF alone once the file went through Unix tools: the
// first line end tells which. The 02 record gives the collection date; the
// last record, the 99, the file's total and debits. Only those three are
// read, so a file of gigabytes costs three reads.
bool SummariseC19(fs::File& file, int64_t size, const std::string& head,
                  RemittanceSummary* summary) {
  if (head.size() <= kRecordLength || head.compare(0, kC19Start.size(), kC19Start) != 0) return false;
  if (head.find('\n') < kRecordLength) return false;
  int64_t record = 0;
  if (head[kRecordLength] == '\n') {
    record = kRecordLength + 1;
  } else if (head.size() > kRecordLength + 1 && head[kRecordLength] == '\r' && head[kRecordLength + 1] == '\n') {
    record = kRecordLength + 2;
  } else {
    return false;
  }
  // The last record may lack its line end.
  int64_t records = size / record + (size % record >= static_cast<int64_t>(kRecordLength) ? 1 : 0);
  if (records < 3) return false;
  std::string second(kRecordLength, ' ');
  std::string last(kRecordLength, ' ');
  if (file.ReadAt(record, second.data(), kRecordLength) != static_cast<int64_t>(kRecordLength) ||
      file.ReadAt((records - 1) * record, last.data(), kRecordLength) != static_cast<int64_t>(kRecordLength)) {
    return false;
  }
  // A file cut short or followed by something else has no 99 at its end:
  // its totals would be some other record's digits.
  if (second.compare(0, 2, "02") != 0 || last.compare(0, 2, "99") != 0) return false;
  summary->date = ValidDateDigits(std::string_view(second).substr(45, 8));
  const std::string_view total = std::string_view(last).substr(2, 17);
  const std::string_view debits = std::string_view(last).substr(19, 8);
  summary->cents = AllDigits(total) ? DigitsValue(total) : -1;
  summary->debits = AllDigits(debits) ? DigitsValue(debits) : -1;
  return true;
}

}  // namespace summary_detail

namespace {

// An XML document starts with "<", after a byte order mark and blanks.
bool LooksLikeXml(const std::string& head) {
  size_t at = head.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (at < head.size() && (head[at] == ' ' || head[at] == '\t' || head[at] == '\r' || head[at] == '\n')) ++at;
  return at < head.size() && head[at] == '<';
}

}  // namespace

bool SummariseRemittanceFile(const std::string& host_path, RemittanceSummary* summary) {
  *summary = RemittanceSummary();
  fs::File file;
  if (file.Open(host_path, fs::File::kRead, false) != 0) return false;
  const int64_t size = file.Size();
  if (size <= 0) return false;
  std::string head(kRecordLineLength, '\0');
  const int64_t got = file.ReadAt(0, head.data(), head.size());
  if (got <= 0) return false;
  head.resize(static_cast<size_t>(got));
  if (head.compare(0, 2, "01") == 0) return summary_detail::SummariseC19(file, size, head, summary);
  if (LooksLikeXml(head)) return summary_detail::SummariseSepaXml(file, summary);
  return false;
}

}  // namespace remit
