#include "remit/c19_records.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "bank/iban.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/dates.h"
#include "util/numbers.h"

namespace remit {

namespace {

// The concept takes this much of the receipt's text.
constexpr size_t kConceptHead = 56;
constexpr size_t kIdentifierLength = 17;

// What each code page 850 byte becomes in a SEPA text.
std::array<char, 256> BuildSepaTable() {
  std::array<char, 256> table;
  table.fill(' ');
  for (int c = 'A'; c <= 'Z'; ++c) table[static_cast<size_t>(c)] = static_cast<char>(c);
  for (int c = 'a'; c <= 'z'; ++c) table[static_cast<size_t>(c)] = static_cast<char>(c);
  for (int c = '0'; c <= '9'; ++c) table[static_cast<size_t>(c)] = static_cast<char>(c);
  for (char c : std::string_view(" '()+,-./:?")) table[static_cast<unsigned char>(c)] = c;
  const std::string_view ascii_from = ";[{]}\\|_~`";
  const std::string_view ascii_to = ",(())//--'";
  for (size_t i = 0; i < ascii_from.size(); ++i) {
    table[static_cast<unsigned char>(ascii_from[i])] = ascii_to[i];
  }
  // Pairs of a character and what it becomes.
  const std::string from = util::Cp850(
      "¿µÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜøØƒáíóúñÑÁÂÀãÃðÐÊËÈÍÎÏÌÓßÔÒõÕþÞÚÛÙýÝ");
  const std::string_view to =
      "?,CueaaaaceeeiiiAAEaAooouuyOUoOfaiounNAAAaAdDEEEIIIIOsOOoOtTUUUyY";
  for (size_t i = 0; i < from.size() && i < to.size(); ++i) {
    table[static_cast<unsigned char>(from[i])] = to[i];
  }
  return table;
}

// The text laid into width characters: blank-padded or cut.
std::string Fixed(std::string_view text, size_t width) {
  std::string out(text.substr(0, width));
  out.resize(width, ' ');
  return out;
}

// A blank record with its code, and fields laid at 1-based positions.
class RecordText {
 public:
  explicit RecordText(std::string_view code) : text_(kRecordLength, ' ') { Put(1, code); }
  // The text from position on, cut at the end of the record.
  void Put(size_t position, std::string_view value) {
    const size_t at = position - 1;
    if (at >= kRecordLength) return;
    const size_t n = std::min(value.size(), kRecordLength - at);
    text_.replace(at, n, value.substr(0, n));
  }
  // A text field of width characters.
  void Put(size_t position, size_t width, std::string_view value) {
    Put(position, Fixed(value, width));
  }
  // A number right-aligned with leading zeros.
  void PutNumber(size_t position, int16_t width, int64_t value) {
    Put(position, util::ZeroPad(static_cast<double>(value), width));
  }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace

std::string SepaText(std::string_view text) {
  static const std::array<char, 256> table = BuildSepaTable();
  std::string out(text);
  for (char& c : out) c = table[static_cast<unsigned char>(c)];
  return out;
}

std::string BlankControls(std::string record) {
  for (char& c : record) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 32 || code == 127) c = ' ';
  }
  return record;
}

std::string UnpackTrimmed(std::string_view packed) {
  while (!packed.empty() && packed.back() == ' ') packed.remove_suffix(1);
  return util::UnpackDigits(packed);
}

std::string SepaIdentifier(std::string_view tax_number, std::string_view suffix) {
  std::string checked = "ES00" + Fixed(tax_number, 9);
  bank::CheckIban(checked);  // only its check digits are wanted
  return checked.substr(0, 4) + Fixed(suffix, 3) + checked.substr(4);
}

std::string SpanishIban(std::string_view account_digits) {
  std::string iban = "ES00" + std::string(account_digits);
  bank::CheckIban(iban);
  return iban;
}

int AccessPin(std::string_view identifier) {
  int h = kPinSeed;
  for (size_t i = 0; i < kIdentifierLength; ++i) {
    const int code = i < identifier.size() ? static_cast<unsigned char>(identifier[i]) : ' ';
    h = (h + code) % 10000;
  }
  return h;
}

std::string TimeStamp(double seconds_since_midnight) {
  double t = std::isfinite(seconds_since_midnight) ? seconds_since_midnight : 0.0;
  t = std::clamp(t, 0.0, 86399.99999);
  const double h = std::floor(t / 3600);
  const double m = std::floor((t - 3600 * h) / 60);
  const double s = std::floor(t - 3600 * h - 60 * m);
  const double f = std::round((t - 3600 * h - 60 * m - s) * 100000);
  const double value = h * 1e9 + m * 1e7 + s * 1e5 + f;
  return util::ZeroPad(value, 11);
}

std::string MadeDebtorIdentifier(std::string_view presenter_nif, std::string_view debtor_code) {
  return Fixed(bank::CompactNumericCode(std::string(presenter_nif) + std::string(debtor_code)),
               kIdentifierLength);
}

std::string DebitConcept(const ConceptParts& parts) {
  std::string_view head = std::string_view(parts.concept_text).substr(0, kConceptHead);
  std::string text = SepaText(util::TrimRight(head));
  if (parts.publish_links) text += " " + parts.link_text + " " + parts.link_prefix;
  std::string identifier = Fixed(parts.debtor_identifier, kIdentifierLength);
  if (util::Trim(std::string_view(identifier).substr(2)).empty()) {
    identifier = MadeDebtorIdentifier(parts.presenter_nif, parts.debtor_code);
    text += " (NIF " + identifier + ")";
  }
  return text + " PIN " + util::FormatField(AccessPin(identifier), "4");
}

std::string Record01(const PresenterHeader& header) {
  RecordText r("0119143001");
  r.Put(11, 35, header.identifier);
  r.Put(46, 70, header.name);
  r.Put(116, 8, header.today);
  r.Put(124, 35, "PRE" + Fixed(header.today, 8) + Fixed(header.time_stamp, 11) + std::string(13, 'X'));
  r.Put(146, std::string(1, header.xml_version));
  r.Put(159, 4, header.entity);
  r.Put(163, 4, header.office);
  return r.Take();
}

std::string Record02(const CreditorHeader& header) {
  RecordText r("0219143002");
  r.Put(11, 35, header.identifier);
  r.Put(46, 8, header.collection_date);
  r.Put(54, 70, header.name);
  r.Put(266, 34, header.iban);
  return r.Take();
}

std::string Record03(const Debit& debit) {
  RecordText r("0319143003");
  r.Put(11, 35, debit.reference);
  r.Put(46, 35, debit.mandate);
  r.Put(81, "RCUR");
  r.Put(85, "TRAD");
  r.PutNumber(89, 11, debit.amount);
  r.Put(100, "20091031");  // the date the office's mandates are taken as signed
  r.Put(119, 70, debit.debtor_name);
  r.Put(403, "A");
  r.Put(404, 34, debit.debtor_iban);
  r.Put(442, debit.concept_text);  // runs on to the end of the record when long
  return r.Take();
}

std::string Record04(std::string_view identifier, std::string_view collection_date,
                     int64_t total, int64_t debits, int64_t records) {
  RecordText r("04");
  r.Put(3, 35, identifier);
  r.Put(38, 8, collection_date);
  r.PutNumber(46, 17, total);
  r.PutNumber(63, 8, debits);
  r.PutNumber(71, 10, records);
  return r.Take();
}

std::string Record05(std::string_view identifier, int64_t total, int64_t debits,
                     int64_t records) {
  RecordText r("05");
  r.Put(3, 35, identifier);
  r.PutNumber(38, 17, total);
  r.PutNumber(55, 8, debits);
  r.PutNumber(63, 10, records);
  return r.Take();
}

std::string Record99(int64_t total, int64_t debits, int64_t records) {
  RecordText r("99");
  r.PutNumber(3, 17, total);
  r.PutNumber(20, 8, debits);
  r.PutNumber(28, 10, records);
  return r.Take();
}

int64_t Record99Debits(std::string_view record) {
  if (record.size() < 27 || !record.starts_with("99")) return -1;
  int64_t debits = 0;
  for (char c : record.substr(19, 8)) {
    if (c < '0' || c > '9') return -1;
    debits = debits * 10 + (c - '0');
  }
  return debits;
}

}  // namespace remit
