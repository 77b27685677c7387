// Turning the cell buffer into what is sent to the terminal: only the cells
// that differ from what the terminal already shows. Pure, so that what a
// refresh sends can be checked without a terminal.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/console/console.h"

namespace platform::console::internal {

// What the terminal shows of the virtual screen, as far as we know.
struct Shown {
  int rows = 0;
  int columns = 0;
  std::vector<Cell> cells;
  std::vector<bool> known;        // false: must be sent
  int cursor_row = -1;            // the terminal's cursor, -1 unknown
  int cursor_column = -1;
  int attribute = -1;             // the colours in force, -1 unknown
  int terminal_columns = 0;
  int terminal_rows = 0;
  bool last_cell_scrolls = false; // writing the bottom-right cell scrolls
};

// The escape strings of one terminal.
struct Strings {
  std::function<std::string(int row, int column)> move;
  std::string reset;                       // all attributes off (sgr0)
  std::array<std::string, 256> attribute;  // colours of each attribute byte
  std::array<std::string, 256> glyph;      // UTF-8 of each code page 850 byte
};

void ResetShown(Shown* shown, int rows, int columns);
// Forgets everything: the next render sends every cell.
void InvalidateShown(Shown* shown);
// Appends to out what makes the terminal show cells (rows x columns of the
// virtual screen), and updates shown.
void RenderChanges(const std::vector<Cell>& cells, const Strings& strings, Shown* shown,
                   std::string* out);
// Glyph strings of the 256 bytes (the classic screen glyphs of 0-31 and 127).
std::array<std::string, 256> Cp850Glyphs();
// The DOS colour number (red 4, blue 1) as an ANSI one (red 1, blue 4).
int AnsiColour(int dos);

}  // namespace platform::console::internal
