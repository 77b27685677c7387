// The print spool: reports are not printed by this program but written, a
// line each, to "kitprint.tmp" in session.WorkDir, which the print program
// (KITPRINT) or the screen viewer (KITSCR) lays out afterwards. Lines:
//   DEVICE<device>         first line; "P" asks for the screen viewer
//   PAGE<n>                a new page of n lines (also each page break)
//   JUS<style>             the justification of the items that follow
//   <column>,<text>,<feeds> an item; column 0 continues the line, 0 feeds
//                          keep it open
// Numbers are written with a leading blank when not negative (" 66").
#pragma once

#include "env/status.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ui::forms {

// The page of the print spool, one per process like the spool itself. Back
// to start by ResetForms.
struct PrintPage {
  int16_t PageLength{};   // lines per page
  int16_t LineCount{};    // lines advanced on the current page
  int16_t ColumnCount{};  // column reached on the current line
};
extern PrintPage print_page;

// The spool's program path: session.WorkDir + "kitprint.tmp".
std::string PrintSpoolPath();

// Creates the spool anew (an old one is replaced) and writes its DEVICE
// line. Ok, or the file's failure; the other operations then write nothing.
env::Status OpenPrintSpool(std::string_view device);
void SetPageLength(int16_t lines);
// Writes the style normalised ("r" gives "D"), and the caller's text becomes it.
void SetJustification(std::string& style);
void PrintItem(int16_t column, std::string_view text, int16_t line_feeds);
// A line of the caller's own, as it stands (a printer command).
void WriteSpoolLine(std::string_view line);
// Writes what is still buffered and closes the spool: ok, or the failure
// of the first write that failed since the open.
env::Status ClosePrintSpool();
// Closes the spool without writing and clears the counters (tests).
void ResetPrintSpool();

// The pure pieces, for the tests and the spool's readers.
std::string SpoolNumber(int32_t number);
std::string NormaliseJustification(std::string_view style);
std::string SpoolItemText(std::string_view text);

}  // namespace ui::forms
