// Console size, window-relative positions, printing, frames and scrolling.
#include "ui/screen.h"

#include <algorithm>

#include "platform/console/console.h"

namespace ui {

namespace console = platform::console;

// Process-wide: the windows of the one screen of the process.
WindowStack window_stack;

int16_t ScreenRows() { return static_cast<int16_t>(console::Rows()); }
int16_t ScreenColumns() { return static_cast<int16_t>(console::Columns()); }

void LocateInWindow(int16_t row, int16_t column) {
  int r = row;
  int c = column;
  if (window_stack.WindowDepth > 0) {
    r += window_stack.WindowTop;
    c += window_stack.WindowLeft;
  }
  console::SetCursor(r - 1, c - 1);
}

int16_t FirstRow() {
  return window_stack.WindowDepth == 0 ? int16_t{1}
                                       : static_cast<int16_t>(window_stack.WindowTop + 1);
}

int16_t FirstColumn() {
  return window_stack.WindowDepth == 0 ? int16_t{1}
                                       : static_cast<int16_t>(window_stack.WindowLeft + 1);
}

int16_t LastColumn() {
  return window_stack.WindowDepth == 0 ? ScreenColumns()
                          : static_cast<int16_t>(window_stack.WindowRight - 1);
}

void Print(std::string_view text) {
  const int row = console::CursorRow();
  const int column = console::CursorColumn();
  console::WriteText(row, column, text, console::CurrentAttribute());
  // The cursor stays on the screen: after the last column it rests there.
  const int last = console::Columns() - 1;
  const int after = column + static_cast<int>(text.size());
  console::SetCursor(row, std::min(after, last));
}

void PrintAt(int16_t row, int16_t column, std::string_view text) {
  LocateInWindow(row, column);
  Print(text);
}

namespace {

struct FrameChars {
  char top_left, top_right, bottom_left, bottom_right, horizontal, vertical;
};

FrameChars FrameOf(int16_t style) {
  switch (style) {
    case 1:
      return {'\xDA', '\xBF', '\xC0', '\xD9', '\xC4', '\xB3'};
    case 2:
      return {'\xC9', '\xBB', '\xC8', '\xBC', '\xCD', '\xBA'};
    default:
      return {' ', ' ', ' ', ' ', ' ', ' '};
  }
}

void FrameLine(int row, char first, char fill, char last) {
  const int inner = std::max(0, window_stack.WindowRight - window_stack.WindowLeft - 1);
  std::string line;
  line.reserve(static_cast<size_t>(inner) + 2);
  line += first;
  line.append(static_cast<size_t>(inner), fill);
  line += last;
  console::WriteText(row - 1, window_stack.WindowLeft - 1, line, console::CurrentAttribute());
}

}  // namespace

void DrawFrame(int16_t style) {
  if (window_stack.WindowDepth == 0) return;
  const FrameChars f = FrameOf(style);
  FrameLine(window_stack.WindowTop, f.top_left, f.horizontal, f.top_right);
  for (int row = window_stack.WindowTop + 1; row <= window_stack.WindowBottom - 1; ++row) {
    FrameLine(row, f.vertical, ' ', f.vertical);
  }
  FrameLine(window_stack.WindowBottom, f.bottom_left, f.horizontal, f.bottom_right);
}

void ScrollRegion(int16_t top, int16_t left, int16_t bottom, int16_t right,
                  int16_t count) {
  const int t = std::max<int>(top, 0);
  const int l = std::max<int>(left, 0);
  const int b = std::min<int>(bottom, console::Rows() - 1);
  const int r = std::min<int>(right, console::Columns() - 1);
  if (t > b || l > r) return;
  const int lines = count > 0 ? count : -std::max(1, -static_cast<int>(count));
  console::Scroll(t, l, b, r, lines, console::CurrentAttribute());
}

}  // namespace ui
