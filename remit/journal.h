// What a generation leaves in the output directory while a group's file is
// not yet under its own name, and how a later run reads it:
//
//   XXXXXXXX.E19.tmp  the file being written, held open with no sharing by
//                     the process writing it
//   XXXXXXXX.E19.key  its journal: "BY" and the workstation that writes it
//                     (its name in hexadecimal), key 0 of every receipt the
//                     file holds, one a line in hexadecimal, then "END" and
//                     the count
//   XXXXXXXX.E19.bad  a temporary file the recovery set aside (recovery.h)
//
// Both are flushed to the disk before the group's transaction commits, so
// that after a crash the journal says which receipts to look for in
// TrasBanc: all gone means the commit happened.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace remit {

inline constexpr std::string_view kFileExtension = ".E19";
inline constexpr std::string_view kTemporarySuffix = ".tmp";
inline constexpr std::string_view kJournalSuffix = ".key";
// A file the recovery would not adopt: "XXXXXXXX.E19.bad", its journal
// "XXXXXXXX.E19.bad.key"; no list, purge or recovery takes them.
inline constexpr std::string_view kSetAsideSuffix = ".bad";

// The journal's first line: the workstation whose generation writes it
// (files::ThisStation()).
std::string JournalWriter(std::string_view station);
std::string JournalLine(std::string_view key);
std::string JournalEnd(size_t count);

// The keys of a finished journal; false for one without its end line, with
// a count that disagrees or a line that is not a key. *writer (when given)
// is the workstation its first line names, empty for a journal without one
// (made before journals named their writer) or cut before it.
bool ReadJournal(std::string_view text, std::vector<std::string>* keys, std::string* writer = nullptr);

// Whether bytes are a whole file: records of 600 characters each followed
// by CR LF, the first an 01 and the last a 99. Gives the debits the 99
// counts.
bool WholeFile(std::string_view bytes, int64_t* debits);

}  // namespace remit
