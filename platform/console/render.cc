#include "platform/console/render.h"

#include "util/cp850.h"

namespace platform::console::internal {

namespace {
// Unchanged cells of the same colours shorter than a cursor movement are
// sent again instead of jumping over them.
constexpr int kLongestRewrite = 4;
}  // namespace

void ResetShown(Shown* shown, int rows, int columns) {
  shown->rows = rows;
  shown->columns = columns;
  shown->cells.assign(static_cast<size_t>(rows * columns), Cell{});
  InvalidateShown(shown);
}

void InvalidateShown(Shown* shown) {
  shown->known.assign(static_cast<size_t>(shown->rows * shown->columns), false);
  shown->cursor_row = -1;
  shown->cursor_column = -1;
  shown->attribute = -1;
}

int AnsiColour(int dos) { return ((dos & 1) << 2) | (dos & 2) | ((dos & 4) >> 2) | (dos & 8); }

std::array<std::string, 256> Cp850Glyphs() {
  std::array<std::string, 256> glyphs;
  for (int b = 0; b < 256; ++b) {
    glyphs[static_cast<size_t>(b)] = util::UnicodeToUtf8(util::Cp850Glyph(static_cast<unsigned char>(b)));
  }
  return glyphs;
}

void RenderChanges(const std::vector<Cell>& cells, const Strings& strings, Shown* shown,
                   std::string* out) {
  const int rows = shown->rows, columns = shown->columns;
  if (cells.size() != static_cast<size_t>(rows * columns)) return;
  auto index = [&](int r, int c) { return static_cast<size_t>(r * columns + c); };
  auto differs = [&](int r, int c) {
    size_t i = index(r, c);
    return !shown->known[i] || shown->cells[i].ch != cells[i].ch ||
           shown->cells[i].attr != cells[i].attr;
  };
  auto send = [&](int r, int c) {
    size_t i = index(r, c);
    const Cell& cell = cells[i];
    if (r == shown->terminal_rows - 1 && c == shown->terminal_columns - 1 &&
        shown->last_cell_scrolls) {
      // The terminal would scroll; this one cell stays as it is.
      shown->known[i] = true;
      shown->cells[i] = cell;
      return;
    }
    if (shown->cursor_row != r || shown->cursor_column != c) {
      *out += strings.move(r, c);
      shown->cursor_row = r;
      shown->cursor_column = c;
    }
    if (shown->attribute != cell.attr) {
      // After a clear or a child program the terminal's state is unknown.
      if (shown->attribute < 0) *out += strings.reset;
      *out += strings.attribute[cell.attr];
      shown->attribute = cell.attr;
    }
    *out += strings.glyph[static_cast<unsigned char>(cell.ch)];
    shown->cells[i] = cell;
    shown->known[i] = true;
    // After the last column the cursor waits to wrap: its place is unknown.
    if (++shown->cursor_column >= shown->terminal_columns) shown->cursor_row = -1;
  };
  for (int r = 0; r < rows; ++r) {
    int c = 0;
    while (c < columns) {
      if (!differs(r, c)) {
        ++c;
        continue;
      }
      send(r, c);
      ++c;
      // A short run of unchanged cells in the current colours before the
      // next change is cheaper to send again than to jump.
      int next = c;
      while (next < columns && next - c <= kLongestRewrite && !differs(r, next)) ++next;
      if (next < columns && next > c && next - c <= kLongestRewrite && shown->cursor_row == r) {
        bool same_colours = true;
        for (int k = c; k < next; ++k) same_colours &= cells[index(r, k)].attr == shown->attribute;
        if (same_colours) {
          while (c < next) send(r, c++);
        }
      }
    }
  }
}

}  // namespace platform::console::internal
