// The records of a CSB 19 direct-debit remittance that the verification
// reads: 162 characters each (CR LF follow in the file). The first
// character is "5" for a euro remittance; the next three give the kind
// ("180" the presenter, "380" a payee, "68x" a debit, "880" a payee's
// totals, "980" the general totals).
#pragma once

#include "util/record_layout.h"

namespace remit {

inline constexpr size_t kCsb19Length = 162;

// 5180, the presenter's header.
namespace csb19_5180 {
inline constexpr util::Field kGroup = util::Text("group", 1, 1);
inline constexpr util::Field kKind = util::Text("kind", 2, 3);  // "180"
inline constexpr util::Field kPresenter = util::Text("presenter", 5, 12);  // tax number, suffix
inline constexpr util::Field kDate = util::Digits("date", 17, 6);  // ddmmyy
inline constexpr util::Field kFree1 = util::Free("free_1", 23, 6);
inline constexpr util::Field kName = util::Text("presenter_name", 29, 40);
inline constexpr util::Field kFree2 = util::Free("free_2", 69, 20);
inline constexpr util::Field kEntity = util::Digits("entity", 89, 4);
inline constexpr util::Field kOffice = util::Digits("office", 93, 4);
inline constexpr util::Field kFree3 = util::Free("free_3", 97, 66);
inline constexpr util::Field kFields[] = {kGroup, kKind,  kPresenter, kDate,   kFree1,
                                          kName,  kFree2, kEntity,    kOffice, kFree3};
inline constexpr util::RecordLayout kLayout{"CSB 19 record 5180", kCsb19Length, kFields};
}  // namespace csb19_5180

// 5680 a debit, 5681 to 5686 its optional records, numbered in sequence.
namespace csb19_568 {
inline constexpr util::Field kGroup = util::Text("group", 1, 1);
inline constexpr util::Field kKind = util::Text("kind", 2, 2);  // "68"
inline constexpr util::Field kSequence = util::Digits("sequence", 4, 1);  // "0": the debit
inline constexpr util::Field kPayee = util::Text("payee", 5, 12);
inline constexpr util::Field kDebtorCode = util::Text("debtor_code", 17, 12);
inline constexpr util::Field kDebtorName = util::Text("debtor_name", 29, 40);
inline constexpr util::Field kAccount = util::Digits("account", 69, 20);
inline constexpr util::Field kAmount = util::Digits("amount", 89, 10);
inline constexpr util::Field kReturnCode = util::Text("return_code", 99, 6);
inline constexpr util::Field kInternalCode = util::Text("internal_code", 105, 10);
inline constexpr util::Field kConcept = util::Text("concept", 115, 40);
inline constexpr util::Field kFree = util::Free("free", 155, 8);
inline constexpr util::Field kFields[] = {kGroup,      kKind,          kSequence, kPayee,
                                          kDebtorCode, kDebtorName,    kAccount,  kAmount,
                                          kReturnCode, kInternalCode,  kConcept,  kFree};
inline constexpr util::RecordLayout kLayout{"CSB 19 record 568x", kCsb19Length, kFields};
}  // namespace csb19_568

// 5880, a payee's totals.
namespace csb19_5880 {
inline constexpr util::Field kGroup = util::Text("group", 1, 1);
inline constexpr util::Field kKind = util::Text("kind", 2, 3);  // "880"
inline constexpr util::Field kPayee = util::Text("payee", 5, 12);
inline constexpr util::Field kFree1 = util::Free("free_1", 17, 72);
inline constexpr util::Field kAmount = util::Digits("amount", 89, 10);
inline constexpr util::Field kFree2 = util::Free("free_2", 99, 6);
inline constexpr util::Field kReceipts = util::Digits("receipts", 105, 10);
inline constexpr util::Field kRecords = util::Digits("records", 115, 10);
inline constexpr util::Field kFree3 = util::Free("free_3", 125, 38);
inline constexpr util::Field kFields[] = {kGroup,   kKind,     kPayee,   kFree1, kAmount,
                                          kFree2,   kReceipts, kRecords, kFree3};
inline constexpr util::RecordLayout kLayout{"CSB 19 record 5880", kCsb19Length, kFields};
}  // namespace csb19_5880

// 5980, the general totals.
namespace csb19_5980 {
inline constexpr util::Field kGroup = util::Text("group", 1, 1);
inline constexpr util::Field kKind = util::Text("kind", 2, 3);  // "980"
inline constexpr util::Field kPresenter = util::Text("presenter", 5, 12);
inline constexpr util::Field kFree1 = util::Free("free_1", 17, 52);
inline constexpr util::Field kPayees = util::Digits("payees", 69, 4);
inline constexpr util::Field kFree2 = util::Free("free_2", 73, 16);
inline constexpr util::Field kAmount = util::Digits("amount", 89, 10);
inline constexpr util::Field kFree3 = util::Free("free_3", 99, 6);
inline constexpr util::Field kReceipts = util::Digits("receipts", 105, 10);
inline constexpr util::Field kRecords = util::Digits("records", 115, 10);
inline constexpr util::Field kFree4 = util::Free("free_4", 125, 38);
inline constexpr util::Field kFields[] = {kGroup,  kKind,   kPresenter, kFree1,   kPayees, kFree2,
                                          kAmount, kFree3,  kReceipts,  kRecords, kFree4};
inline constexpr util::RecordLayout kLayout{"CSB 19 record 5980", kCsb19Length, kFields};
}  // namespace csb19_5980

}  // namespace remit
