// The records of a Cuaderno 19.14 direct-debit file: 600 characters each,
// every byte named. The builders (c19_records) and the reader (c19_reader)
// take their columns from these tables.
#pragma once

#include "util/record_layout.h"

namespace remit {

// Record 01, the presenter's header. The free spaces of each record are
// blank.
namespace c19_01 {
inline constexpr util::Field kCode = util::Text("code", 1, 10);  // "0119143001"
inline constexpr util::Field kIdentifier = util::Text("presenter_identifier", 11, 35);
inline constexpr util::Field kName = util::Text("presenter_name", 46, 70);
inline constexpr util::Field kToday = util::Date("date", 116);
// The file identifier runs from 124 to 158: "PRE", the date, the time
// stamp, then "X"s, the first of which holds the XML version character.
inline constexpr util::Field kFileIdentifier = util::Text("file_identifier", 124, 22);
inline constexpr util::Field kXmlVersion = util::Text("xml_version", 146, 1);
inline constexpr util::Field kFileIdentifierTail = util::Text("file_identifier_tail", 147, 12);
inline constexpr util::Field kEntity = util::Text("entity", 159, 4);
inline constexpr util::Field kOffice = util::Text("office", 163, 4);
inline constexpr util::Field kFree = util::Free("free", 167, 434);
inline constexpr util::Field kFields[] = {kCode,           kIdentifier, kName,
                                          kToday,          kFileIdentifier,
                                          kXmlVersion,     kFileIdentifierTail,
                                          kEntity,         kOffice,
                                          kFree};
inline constexpr util::RecordLayout kLayout{"19.14 record 01", 600, kFields};
}  // namespace c19_01

// Record 02, a creditor block's header.
namespace c19_02 {
inline constexpr util::Field kCode = util::Text("code", 1, 10);  // "0219143002"
inline constexpr util::Field kIdentifier = util::Text("creditor_identifier", 11, 35);
inline constexpr util::Field kCollectionDate = util::Date("collection_date", 46);
inline constexpr util::Field kName = util::Text("creditor_name", 54, 70);
inline constexpr util::Field kFree1 = util::Free("free_1", 124, 142);
inline constexpr util::Field kIban = util::Text("creditor_iban", 266, 34);
inline constexpr util::Field kFree2 = util::Free("free_2", 300, 301);
inline constexpr util::Field kFields[] = {kCode, kIdentifier, kCollectionDate, kName,
                                          kFree1, kIban, kFree2};
inline constexpr util::RecordLayout kLayout{"19.14 record 02", 600, kFields};
}  // namespace c19_02

// Record 03, one debit.
namespace c19_03 {
inline constexpr util::Field kCode = util::Text("code", 1, 10);  // "0319143003"
inline constexpr util::Field kReference = util::Text("reference", 11, 35);
inline constexpr util::Field kMandate = util::Text("mandate", 46, 35);
inline constexpr util::Field kSequenceType = util::Text("sequence_type", 81, 4);
inline constexpr util::Field kPurpose = util::Text("purpose", 85, 4);
inline constexpr util::Field kAmount = util::Digits("amount", 89, 11);  // cents
inline constexpr util::Field kMandateDate = util::Date("mandate_date", 100);
inline constexpr util::Field kFree1 = util::Free("free_1", 108, 11);
inline constexpr util::Field kDebtorName = util::Text("debtor_name", 119, 70);
inline constexpr util::Field kFree2 = util::Free("free_2", 189, 214);
inline constexpr util::Field kAccountKind = util::Text("account_kind", 403, 1);  // "A": an IBAN
inline constexpr util::Field kDebtorIban = util::Text("debtor_iban", 404, 34);
inline constexpr util::Field kFree3 = util::Free("free_3", 438, 4);
// The remittance information; the builder lets a longer concept run on
// over the free space after it, to the end of the record.
inline constexpr util::Field kConcept = util::Text("concept", 442, 140);
inline constexpr util::Field kFree4 = util::Free("free_4", 582, 19);
inline constexpr util::Field kFields[] = {kCode, kReference, kMandate, kSequenceType, kPurpose,
                                          kAmount, kMandateDate, kFree1, kDebtorName, kFree2,
                                          kAccountKind, kDebtorIban, kFree3, kConcept, kFree4};
inline constexpr util::RecordLayout kLayout{"19.14 record 03", 600, kFields};
}  // namespace c19_03

// Record 04, a creditor's totals for one collection date.
namespace c19_04 {
inline constexpr util::Field kCode = util::Text("code", 1, 2);  // "04"
inline constexpr util::Field kIdentifier = util::Text("creditor_identifier", 3, 35);
inline constexpr util::Field kCollectionDate = util::Date("collection_date", 38);
inline constexpr util::Field kTotal = util::Digits("total", 46, 17);
inline constexpr util::Field kDebits = util::Digits("debits", 63, 8);
// The 02, the 03s and the 04 itself.
inline constexpr util::Field kRecords = util::Digits("records", 71, 10);
inline constexpr util::Field kFree = util::Free("free", 81, 520);
inline constexpr util::Field kFields[] = {kCode, kIdentifier, kCollectionDate, kTotal,
              kDebits, kRecords, kFree};
inline constexpr util::RecordLayout kLayout{"19.14 record 04", 600, kFields};
}  // namespace c19_04

// Record 05, a creditor's totals.
namespace c19_05 {
inline constexpr util::Field kCode = util::Text("code", 1, 2);  // "05"
inline constexpr util::Field kIdentifier = util::Text("creditor_identifier", 3, 35);
inline constexpr util::Field kTotal = util::Digits("total", 38, 17);
inline constexpr util::Field kDebits = util::Digits("debits", 55, 8);
inline constexpr util::Field kRecords = util::Digits("records", 63, 10);
inline constexpr util::Field kFree = util::Free("free", 73, 528);
inline constexpr util::Field kFields[] = {kCode, kIdentifier, kTotal, kDebits, kRecords, kFree};
inline constexpr util::RecordLayout kLayout{"19.14 record 05", 600, kFields};
}  // namespace c19_05

// Record 99, the file's totals.
namespace c19_99 {
inline constexpr util::Field kCode = util::Text("code", 1, 2);  // "99"
inline constexpr util::Field kTotal = util::Digits("total", 3, 17);
inline constexpr util::Field kDebits = util::Digits("debits", 20, 8);
// Every record of the file, the 99 too.
inline constexpr util::Field kRecords = util::Digits("records", 28, 10);
inline constexpr util::Field kFree = util::Free("free", 38, 563);
inline constexpr util::Field kFields[] = {kCode, kTotal, kDebits, kRecords, kFree};
inline constexpr util::RecordLayout kLayout{"19.14 record 99", 600, kFields};
}  // namespace c19_99

}  // namespace remit
