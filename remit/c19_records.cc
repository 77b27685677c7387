#include "remit/c19_records.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "bank/iban.h"
#include "remit/c19_layout.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/dates.h"
#include "util/numbers.h"
#include "util/record_layout.h"

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
  namespace f = c19_01;
  std::string r = util::BlankRecord(f::kLayout);
  util::PutField(r, f::kCode, "0119143001");
  util::PutField(r, f::kIdentifier, header.identifier);
  util::PutField(r, f::kName, header.name);
  util::PutField(r, f::kToday, header.today);
  util::PutField(r, f::kFileIdentifier,
                 "PRE" + Fixed(header.today, 8) + Fixed(header.time_stamp, 11));
  util::PutField(r, f::kXmlVersion, std::string(1, header.xml_version));
  util::PutField(r, f::kFileIdentifierTail, std::string(f::kFileIdentifierTail.width, 'X'));
  util::PutField(r, f::kEntity, header.entity);
  util::PutField(r, f::kOffice, header.office);
  return r;
}

std::string Record02(const CreditorHeader& header) {
  namespace f = c19_02;
  std::string r = util::BlankRecord(f::kLayout);
  util::PutField(r, f::kCode, "0219143002");
  util::PutField(r, f::kIdentifier, header.identifier);
  util::PutField(r, f::kCollectionDate, header.collection_date);
  util::PutField(r, f::kName, header.name);
  util::PutField(r, f::kIban, header.iban);
  return r;
}

std::string Record03(const Debit& debit) {
  namespace f = c19_03;
  std::string r = util::BlankRecord(f::kLayout);
  util::PutField(r, f::kCode, "0319143003");
  util::PutField(r, f::kReference, debit.reference);
  util::PutField(r, f::kMandate, debit.mandate);
  util::PutField(r, f::kSequenceType, "RCUR");
  util::PutField(r, f::kPurpose, "TRAD");
  util::PutNumber(r, f::kAmount, debit.amount);
  // The date the office's mandates are taken as signed.
  util::PutField(r, f::kMandateDate, "20091031");
  util::PutField(r, f::kDebtorName, debit.debtor_name);
  util::PutField(r, f::kAccountKind, "A");
  util::PutField(r, f::kDebtorIban, debit.debtor_iban);
  util::PutFrom(r, f::kConcept, debit.concept_text);  // runs on to the end of the record when long
  return r;
}

std::string Record04(std::string_view identifier, std::string_view collection_date,
                     int64_t total, int64_t debits, int64_t records) {
  namespace f = c19_04;
  std::string r = util::BlankRecord(f::kLayout);
  util::PutField(r, f::kCode, "04");
  util::PutField(r, f::kIdentifier, identifier);
  util::PutField(r, f::kCollectionDate, collection_date);
  util::PutNumber(r, f::kTotal, total);
  util::PutNumber(r, f::kDebits, debits);
  util::PutNumber(r, f::kRecords, records);
  return r;
}

std::string Record05(std::string_view identifier, int64_t total, int64_t debits,
                     int64_t records) {
  namespace f = c19_05;
  std::string r = util::BlankRecord(f::kLayout);
  util::PutField(r, f::kCode, "05");
  util::PutField(r, f::kIdentifier, identifier);
  util::PutNumber(r, f::kTotal, total);
  util::PutNumber(r, f::kDebits, debits);
  util::PutNumber(r, f::kRecords, records);
  return r;
}

std::string Record99(int64_t total, int64_t debits, int64_t records) {
  namespace f = c19_99;
  std::string r = util::BlankRecord(f::kLayout);
  util::PutField(r, f::kCode, "99");
  util::PutNumber(r, f::kTotal, total);
  util::PutNumber(r, f::kDebits, debits);
  util::PutNumber(r, f::kRecords, records);
  return r;
}

int64_t Record99Debits(std::string_view record) {
  const std::string_view field = util::FieldOf(record, c19_99::kDebits);
  if (field.size() < c19_99::kDebits.width || !record.starts_with("99")) return -1;
  int64_t debits = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return -1;
    debits = debits * 10 + (c - '0');
  }
  return debits;
}

}  // namespace remit
