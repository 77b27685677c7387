// The catalogue's records in the work file USort, and the line a remittance
// file shows in the list.
#pragma once

#include "util/record_layout.h"

namespace remit {

// A USort record: the key the lists are read by, then the line they show.
namespace catalogue_record {
inline constexpr util::Field kKey = util::Text("key", 1, 80);
inline constexpr util::Field kLine = util::Text("line", 81, 80);
inline constexpr util::Field kFields[] = {kKey, kLine};
inline constexpr util::RecordLayout kLayout{"USort catalogue record", 160, kFields};
}  // namespace catalogue_record

// The line of a remittance file: its name, the collection date (day, month
// and year), the total and the number of debits, each under its heading. The
// name is cut a blank before the date, so that the two never run together.
namespace file_line {
inline constexpr util::Field kName = util::Text("name", 1, 12);
inline constexpr util::Field kGap1 = util::Free("gap_1", 13, 1);
inline constexpr util::Field kDate = util::Text("date", 14, 10);
inline constexpr util::Field kGap2 = util::Free("gap_2", 24, 1);
inline constexpr util::Field kTotal = util::Text("total", 25, 13);
inline constexpr util::Field kGap3 = util::Free("gap_3", 38, 1);
inline constexpr util::Field kDebits = util::Text("debits", 39, 13);
inline constexpr util::Field kRest = util::Free("rest", 52, 29);
inline constexpr util::Field kFields[] = {kName, kGap1, kDate, kGap2, kTotal, kGap3, kDebits, kRest};
inline constexpr util::RecordLayout kLayout{"catalogue file line", 80, kFields};
}  // namespace file_line

}  // namespace remit
