// Browse lists: a framed pop-up showing one line per record of a record file
// (or per entry the program prepared), scrolled both ways, from which the
// operator picks one entry with Enter. Lines are made only when the operator
// scrolls to them and kept in the work file "Browse.tmp" in env::session.WorkDir, so
// that scrolling back never reads the record file again.
//
// Browse.tmp is a chain of entries in reading order, positions 1-based:
//   offset 0  4 bytes  position of the previous entry (0 for the first)
//          4  4 bytes  the record position of the entry's record, or a
//                      value of the program's for a list without a file
//          8  2 bytes  length n of the line
//         10  n bytes  the display line
// numbers little-endian; the next entry starts n + 10 bytes further on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "env/status.h"

namespace ui::forms {

// List attributes (ListDefinition::attributes).
inline constexpr int kListFile = 0;        // record file number; 0 none
inline constexpr int kListKey = 1;         // key number the file is read by
inline constexpr int kListTop = 2;         // the window, absolute
inline constexpr int kListLeft = 3;
inline constexpr int kListBottom = 4;
inline constexpr int kListRight = 5;
inline constexpr int kListFilterForm = 6;  // shown before the list; 0 none
inline constexpr int kListNested = 7;      // opened with F4 from the list; 0 none

inline constexpr std::string_view kBrowseFileName = "Browse.tmp";

// The entry picked last in a list without a record file: its record
// position field and its line are form_state.PickedPosition and PickedText.

// Shows list `list` until the operator picks or leaves. Ok: picked;
// kCancelled: left without a pick (Escape, any key the list does not use, a
// list that does not exist or whose window does not fit); the filling
// hook's status when it cancelled the list; for a list with a record file,
// the failure of making the picked record current again by its position
// (db::RecordStatus; ok: it is in the file's record buffer). F4, when the list has a nested list,
// leaves this one and shows that one instead: its status is the status,
// and a pick there goes to Hooks.on_list_pick. The key set, window, colour
// and the file's lock mode are as they were on return, and Browse.tmp is
// gone.
env::Status ShowList(int16_t& list);

// Forgets the picked entry.
void ResetBrowseList();

}  // namespace ui::forms
