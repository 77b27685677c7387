// The viewer's screen: one page of the report at a time in the rows above a
// status line, moved over by the keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/spool/layout.h"

namespace kitscr {

// What the screen shows: a page, its line at the top and the report's
// column at the left edge (both from 0).
struct View {
  size_t page = 0;
  int top = 0;
  int left = 0;
};

// Columns the view moves sideways for Left and Right.
inline constexpr int kSideStep = 10;

// The view after a key, on a screen of rows lines of text and columns
// columns. Down and Up move a line, PgDn and PgUp a screenful, going on to
// the next or previous page at the end of one; Ctrl+PgDn and Ctrl+PgUp a
// whole page; Home the start of the report, End its end; Left and Right
// kSideStep columns. False for Escape (the operator leaves); other keys
// change nothing.
bool MoveView(const spool::Report& report, int16_t key, int rows, int columns, View* view);

// What the screen shows of one line from column left (0-based), columns
// wide. A line that goes on past the right edge ends in the mark "»"; a
// number cut by either edge (or covered by the mark) is not shown in part,
// where it would read as another number ("1.20" for "1.200"): its cells
// stay blank.
std::string VisiblePart(const std::string& line, int left, int columns);

// Draws the view on the whole screen, the status line at its foot.
void DrawView(const spool::Report& report, const View& view);

// Shows the report until the operator leaves with Escape.
void RunViewer(const spool::Report& report);

}  // namespace kitscr
