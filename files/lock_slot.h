// One slot of a lock table: 121 bytes, a text line ended by CR LF, one
// lock held by one run (files/locks reads and writes them).
#pragma once

#include "util/record_layout.h"

namespace files::lock_slot {

inline constexpr util::Field kStation = util::Text("station", 1, 15);
inline constexpr util::Field kHolder = util::Text("holder", 16, 11);  // a number, blank: free
inline constexpr util::Field kStamp = util::Text("stamp", 27, 8);  // minutes, when taken
inline constexpr util::Field kKind = util::Text("kind", 35, 1);  // "F" a file, "K" keys
inline constexpr util::Field kLowLength = util::Text("low_length", 36, 2);
inline constexpr util::Field kLow = util::Text("low_key", 38, 40);
inline constexpr util::Field kHighLength = util::Text("high_length", 78, 2);
inline constexpr util::Field kHigh = util::Text("high_key", 80, 40);
inline constexpr util::Field kLineEnd = util::Text("line_end", 120, 2);  // CR LF
inline constexpr util::Field kFields[] = {kStation, kHolder, kStamp,      kKind,   kLowLength,
                                          kLow,     kHighLength, kHigh, kLineEnd};
inline constexpr util::RecordLayout kLayout{"lock table slot", 121, kFields};

}  // namespace files::lock_slot
