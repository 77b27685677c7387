// The fields of the two record files the generation reads: a remittance
// header of TRemeses and a receipt of TrasBanc, taken out of the record's
// bytes at their offsets. A record shorter than its layout reads as
// blank-padded; no byte value is refused.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "util/record_layout.h"

namespace remit {

// A remittance of TRemeses, the record file of the office's remittances.
// The bytes marked free hold what the generation does not read.
namespace remittance_layout {
inline constexpr util::Field kLow = util::Packed("low", 1, 1);
inline constexpr util::Field kAccount = util::Packed("account", 2, 10);
inline constexpr util::Field kOffice = util::Packed("office", 12, 2);
inline constexpr util::Field kSuffixNumber = util::Text("suffix_number", 14, 3);
inline constexpr util::Field kCreditorName = util::Text("creditor_name", 17, 30);
inline constexpr util::Field kFree = util::Free("free", 47, 9);
inline constexpr util::Field kCreditorSuffix = util::Text("creditor_suffix", 56, 3);
inline constexpr util::Field kCreditorIdentifier = util::Text("creditor_identifier", 59, 17);
inline constexpr util::Field kHigh = util::Packed("high", 76, 1);
inline constexpr util::Field kFields[] = {kLow,  kAccount,        kOffice,
                                          kSuffixNumber,  kCreditorName,
                                          kFree, kCreditorSuffix, kCreditorIdentifier,
                                          kHigh};
inline constexpr util::RecordLayout kLayout{"TRemeses remittance", 76, kFields};
}  // namespace remittance_layout

// A receipt of TrasBanc, the record file of the receipts to collect.
namespace receipt_layout {
inline constexpr util::Field kKind = util::Text("kind", 1, 1);
inline constexpr util::Field kDebtorCode = util::Packed("debtor_code", 2, 6);
inline constexpr util::Field kNumber = util::Packed("number", 8, 4);
// The series letter and the remittance's low byte, packed.
inline constexpr util::Field kRemittance = util::Text("remittance", 12, 2);
inline constexpr util::Field kFree1 = util::Free("free_1", 14, 10);
inline constexpr util::Field kDebtorName = util::Text("debtor_name", 24, 40);
inline constexpr util::Field kAmount = util::Binary("amount", 64, 4);  // euro cents
inline constexpr util::Field kFree2 = util::Free("free_2", 68, 4);
inline constexpr util::Field kDebtorIban = util::Text("debtor_iban", 72, 34);
inline constexpr util::Field kFree3 = util::Free("free_3", 106, 11);
inline constexpr util::Field kDebtorIdentifier = util::Text("debtor_identifier", 117, 17);
inline constexpr util::Field kConcept = util::Text("concept", 134, 640);
inline constexpr util::Field kFields[] = {kKind,       kDebtorCode, kNumber, kRemittance,
                                          kFree1,      kDebtorName, kAmount, kFree2,
                                          kDebtorIban, kFree3,      kDebtorIdentifier,
                                          kConcept};
inline constexpr util::RecordLayout kLayout{"TrasBanc receipt", 773, kFields};
}  // namespace receipt_layout

struct Remittance {
  std::string low;               // 1 byte packed: the low two digits
  std::string account;           // 10 bytes packed: entity, office, check, account
  std::string office;            // 2 bytes packed: the receiving office
  std::string suffix_number;     // 3 characters: the creditor suffix as decimal text
  std::string creditor_name;     // 30
  std::string creditor_suffix;   // 3: the suffix placed in the creditor identifier
  std::string creditor_identifier;  // 17: characters 3 to 11 hold the tax number
  std::string high;              // 1 byte packed: the high two digits
};
Remittance ReadRemittance(std::string_view record);

// Key 0 of TRemeses: the packed four-digit remittance number.
std::string RemittanceKey(const Remittance& r);
// Whether the remittance has an account: a field of empty packed bytes (or
// of blanks or zero bytes, which hold no digits either) has none.
bool HasAccount(const Remittance& r);
// "C" for remittances numbered 01xx, "B" for every other.
char SeriesLetter(const Remittance& r);
// Key 1's first part for the receipts of the remittance: the series letter
// and the low byte of the number.
std::string ReceiptGroupKey(const Remittance& r);

struct Receipt {
  std::string kind;          // 1
  std::string debtor_code;   // 6 bytes packed
  std::string number;        // 4 bytes packed
  std::string remittance;    // 2: series letter and the remittance's low byte
  std::string debtor_name;   // 40: surname*forename
  int32_t amount = 0;        // euro cents
  std::string debtor_iban;   // 34
  std::string debtor_identifier;  // 17
  std::string concept_text;     // 640
};
Receipt ReadReceipt(std::string_view record);

// Key 0 of TrasBanc (kind, debtor code, number) and key 1 (the remittance
// first), as the record manager holds them.
std::string ReceiptKey0(const Receipt& r);
std::string ReceiptKey1(const Receipt& r);
// Key 1 straight from a record's bytes.
std::string ReceiptKey1Of(std::string_view record);

}  // namespace remit
