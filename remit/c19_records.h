// The records of a Cuaderno 19.14 direct-debit file, built as pure
// functions on texts: 600 characters each (the writer adds CR LF), every
// field at its fixed position, numbers right-aligned with leading zeros.
// Also the pieces the records are made of: the SEPA character filter,
// identifiers with their check digits, the debit references, the concept
// with its access PIN, and the file identifier's time stamp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace remit {

inline constexpr size_t kRecordLength = 600;
// A record as it lies in the file: the record, CR and LF.
inline constexpr size_t kRecordLineLength = kRecordLength + 2;

// The access PIN's checksum starts from this value.
inline constexpr int kPinSeed = 1914;

// Every character a SEPA file may carry: letters, digits, blank and
// ' ( ) + , - . / : ? are kept; look-alikes are mapped (";" to ",", "[" to
// "(", accented letters to their plain letter ...); anything else becomes a
// blank. The result has the length of the text.
std::string SepaText(std::string_view text);

// Every character below code 32, and code 127, as a blank: a record never
// carries control characters, whatever the records it is made from hold.
std::string BlankControls(std::string record);

// The digits of a packed field after its trailing blank bytes are dropped:
// a field blank-padded by hand yields only the digits it holds.
std::string UnpackTrimmed(std::string_view packed);

// A presenter or creditor identifier: "ES", the two check digits computed
// over "ES00" + the tax number as for an IBAN, the three-character suffix,
// and the nine-character tax number.
std::string SepaIdentifier(std::string_view tax_number, std::string_view suffix);
// The IBAN of a Spanish account of 20 digits: "ES", check digits, the digits.
std::string SpanishIban(std::string_view account_digits);

// The PIN a debtor's identifier gives: the seed plus the code of each of its
// 17 characters (a blank beyond its end), modulo 10000.
int AccessPin(std::string_view identifier);

// The 11-digit time stamp of the file identifier from the seconds since
// midnight: hour, minute and second of two digits each, then the fraction
// of the second in five digits.
std::string TimeStamp(double seconds_since_midnight);

// What the concept of a debit is made of.
struct ConceptParts {
  std::string concept_text;            // the receipt's free text
  bool publish_links = true;      // append the e-invoice link
  std::string link_text;          // "DETALL A" in the operator's language
  std::string link_prefix;        // the address, ending in "/efactura/"
  std::string debtor_identifier;  // 17 characters, blank from the third: none
  std::string presenter_nif;      // 9 characters
  std::string debtor_code;        // the debtor code's digits
};
// The first 56 characters of the concept without trailing blanks, filtered;
// the link (" " + link text + " " + prefix) when links are published; when
// the debtor has no identifier, " (NIF " + the one made for it + ")"; and
// " PIN " + the PIN of the identifier in four digits.
std::string DebitConcept(const ConceptParts& parts);
// The identifier made for a debtor without one: the compact code of the
// presenter's tax number followed by the debtor code, in 17 characters.
std::string MadeDebtorIdentifier(std::string_view presenter_nif, std::string_view debtor_code);

// Record 01, the presenter's header.
struct PresenterHeader {
  std::string identifier;   // SepaIdentifier with the file's suffix number
  std::string name;         // filtered
  std::string today;        // yyyymmdd
  std::string time_stamp;   // 11 digits
  char xml_version = '4';
  std::string entity;       // 4 digits
  std::string office;       // 4 digits
};
std::string Record01(const PresenterHeader& header);

// Record 02, the header of one creditor's block.
struct CreditorHeader {
  std::string identifier;       // SepaIdentifier with the creditor's suffix
  std::string collection_date;  // yyyymmdd
  std::string name;             // filtered
  std::string iban;             // 24 characters
};
std::string Record02(const CreditorHeader& header);

// Record 03, one debit.
struct Debit {
  std::string reference;  // debtor code, receipt kind, receipt number
  std::string mandate;    // debtor code
  int64_t amount = 0;     // euro cents
  std::string debtor_name;  // forename first, filtered
  std::string debtor_iban;  // as stored
  std::string concept_text;      // DebitConcept
};
std::string Record03(const Debit& debit);

// Records 04 and 05 close a creditor's block: its total, its debits and the
// records it counts (the 02, the 03s and the record itself; the 05 counts
// the 04 as well). Record 99 closes the file: every record including itself.
std::string Record04(std::string_view identifier, std::string_view collection_date,
                     int64_t total, int64_t debits, int64_t records);
std::string Record05(std::string_view identifier, int64_t total, int64_t debits,
                     int64_t records);
std::string Record99(int64_t total, int64_t debits, int64_t records);

// The debits a 99 record counts (positions 20 to 27); -1 when the text is
// not a 99 record.
int64_t Record99Debits(std::string_view record);

}  // namespace remit
