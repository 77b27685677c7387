// The print spool "kitprint.tmp" laid out as pages of text lines, as the
// viewer shows them and the print program prints them.
//
// The spool is code page 850, one record a line (CR LF, a bare LF is taken
// too):
//   DEVICE<text>      first line: "P" the screen preview, else the printer
//   PAGE<number>      a new page of that many lines (also a page break)
//   JUS<style>        how the items that follow are placed: C, D, A, E or
//                     "N 48 \.\" (see below)
//   <col>,<text>,<lf> an item: its text at column col (1 is the left edge;
//                     0 continues after the previous item on the line),
//                     then lf line feeds (0 keeps the line open). The text
//                     may hold commas: the column is before the first comma,
//                     the line feeds after the last one.
//   anything else     a printer command ("*@e" resets the printer at the top
//                     of every page): it has no text and is dropped.
//
// Styles, chosen so that the columns of a report line up:
//   A, E  the text starts at its column (the style a spool starts in).
//   D     the item is a right-aligned field as wide as its text: it starts at
//         its column and ends at column + length - 1. The report pads every
//         number to its picture's width and every heading to that same
//         width, so a number ends exactly under the end of its heading
//         ("       IMPORT" at 55 and an amount of "Z,ZZZ,ZZZ,ZZ9" at 55 both
//         end at 67). The blanks that pad the field on the left are not
//         text: they leave what an earlier item wrote under them, so a long
//         name that runs into the field keeps its letters.
//   C     the text is centred on its column.
//   N w \f\  the text starts at its column and is followed by the fill
//         character f up to column w ("ORDENANT B12345678000 ......" up to
//         48); an item continuing the line (column 0) starts after the fill.
// A page ends at a PAGE line that follows anything printed on it, and when
// an item would fall below the page's length (a spool that breaks no pages
// itself still prints on pages). Lines keep every column, however wide.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace spool {

// The spool's name inside env::session.WorkDir.
inline constexpr std::string_view kSpoolFileName = "kitprint.tmp";

struct Page {
  int length = 0;                  // lines per page given by PAGE; 0 none
  std::vector<std::string> lines;  // code page 850, no trailing blanks
};

struct Report {
  std::string device;       // what followed "DEVICE"
  std::vector<Page> pages;  // only pages that something was printed on
  size_t width = 0;         // the longest line
};

// The report a spool's text describes. Never fails: lines it cannot read
// are dropped as printer commands.
Report LayOut(std::string_view spool);

}  // namespace spool
