#include "tools/kitscr/viewer.h"

#include <algorithm>
#include <string>

#include "env/language.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/cp850.h"

namespace kitscr {
namespace {

using ui::kKeyDown, ui::kKeyEnd, ui::kKeyHome, ui::kKeyLeft, ui::kKeyPgDn, ui::kKeyPgUp, ui::kKeyRight,
    ui::kKeyUp, ui::kKeyCtrlPgDn, ui::kKeyCtrlPgUp;


int Lines(const spool::Report& report, size_t page) {
  return static_cast<int>(report.pages[page].lines.size());
}

// The top line that shows the end of the page.
int LastTop(const spool::Report& report, size_t page, int rows) {
  return std::max(0, Lines(report, page) - rows);
}

// A text of the language file with each "#" replaced by the next value.
std::string Words(const char* text, std::initializer_list<size_t> values) {
  const std::string words = env::TranslateText(util::Cp850(text));
  std::string out;
  auto value = values.begin();
  for (char c : words) {
    if (c == '#' && value != values.end()) {
      out += std::to_string(*value++);
    } else {
      out += c;
    }
  }
  return out;
}

bool Blank(char c) { return c == ' '; }

// The word (run of non-blanks) around the line's position at: [*from, *to).
bool HasDigit(const std::string& line, size_t at, size_t* from, size_t* to) {
  *from = at;
  *to = at;
  while (*from > 0 && !Blank(line[*from - 1])) --*from;
  while (*to < line.size() && !Blank(line[*to])) ++*to;
  return std::any_of(line.begin() + static_cast<std::ptrdiff_t>(*from),
                     line.begin() + static_cast<std::ptrdiff_t>(*to),
                     [](char c) { return c >= '0' && c <= '9'; });
}

void DrawStatus(const spool::Report& report, const View& view, int row, int columns) {
  std::string status = " " + Words("PÀGINA # DE #", {view.page + 1, report.pages.size()}) +
                       "  " + Words("LÍNIA #", {static_cast<size_t>(view.top) + 1}) + "  " +
                       Words("COLUMNA #", {static_cast<size_t>(view.left) + 1});
  const std::string keys = util::Cp850("↑↓←→ ") +
                           env::TranslateText(util::Cp850("RePàg AvPàg Inici Fi")) + "  " +
                           env::TranslateText(util::Cp850("Esc: SORTIR")) + " ";
  const size_t width = static_cast<size_t>(columns);
  if (status.size() + keys.size() < width) status.resize(width - keys.size(), ' ');
  status += keys;
  status.resize(width, ' ');
  ui::SetColour("r");
  ui::PrintAt(static_cast<int16_t>(row), 1, status);
}

}  // namespace

bool MoveView(const spool::Report& report, int16_t key, int rows, int columns, View* view) {
  if (key == ui::kKeyEscape) return false;
  if (report.pages.empty()) return true;
  const size_t last_page = report.pages.size() - 1;
  const int last_top = LastTop(report, view->page, rows);
  switch (key) {
    case kKeyDown:
    case kKeyPgDn:
      if (view->top < last_top) {
        view->top = std::min(last_top, view->top + (key == kKeyDown ? 1 : rows));
      } else if (view->page < last_page) {
        view->page++;
        view->top = 0;
      }
      break;
    case kKeyUp:
    case kKeyPgUp:
      if (view->top > 0) {
        view->top = std::max(0, view->top - (key == kKeyUp ? 1 : rows));
      } else if (view->page > 0) {
        view->page--;
        view->top = LastTop(report, view->page, rows);
      }
      break;
    case kKeyCtrlPgDn:
      view->page = std::min(view->page + 1, last_page);
      view->top = 0;
      break;
    case kKeyCtrlPgUp:
      view->page = view->page > 0 ? view->page - 1 : 0;
      view->top = 0;
      break;
    case kKeyHome:
      *view = View{};
      break;
    case kKeyEnd:
      view->page = last_page;
      view->top = LastTop(report, last_page, rows);
      break;
    case kKeyLeft:
      view->left = std::max(0, view->left - kSideStep);
      break;
    case kKeyRight:
      view->left = std::clamp(view->left + kSideStep, 0,
                              std::max(0, static_cast<int>(report.width) - columns));
      break;
    default:
      break;
  }
  return true;
}

std::string VisiblePart(const std::string& line, int left, int columns) {
  const size_t first = static_cast<size_t>(std::max(left, 0));
  const size_t width = static_cast<size_t>(std::max(columns, 1));
  std::string text = first < line.size() ? line.substr(first, width) : std::string();
  text.resize(width, ' ');
  size_t from = 0, to = 0;
  // A number that starts left of the edge.
  if (first > 0 && first < line.size() && !Blank(line[first]) && !Blank(line[first - 1]) &&
      HasDigit(line, first, &from, &to)) {
    std::fill_n(text.begin(), std::min(to - first, width), ' ');
  }
  // The page goes on to the right: the mark takes the last cell, and a
  // number under it or past it is blanked whole.
  const size_t last = first + width - 1;
  if (line.size() > first + width) {
    if (!Blank(line[last]) && HasDigit(line, last, &from, &to)) {
      const size_t start = std::max(from, first);
      std::fill(text.begin() + static_cast<std::ptrdiff_t>(start - first), text.end(), ' ');
    }
    text.back() = util::Cp850("»")[0];
  }
  return text;
}

void DrawView(const spool::Report& report, const View& view) {
  const int rows = ui::ScreenRows() - 1;
  const int columns = ui::ScreenColumns();
  const std::vector<std::string>& lines = report.pages[view.page].lines;
  ui::SetColour("n");
  for (int row = 0; row < rows; ++row) {
    const size_t index = static_cast<size_t>(view.top + row);
    const std::string text = index < lines.size() ? VisiblePart(lines[index], view.left, columns)
                                                  : std::string(static_cast<size_t>(columns), ' ');
    ui::PrintAt(static_cast<int16_t>(row + 1), 1, text);
  }
  DrawStatus(report, view, rows + 1, columns);
}

void RunViewer(const spool::Report& report) {
  View view;
  for (;;) {
    DrawView(report, view);
    int16_t key = 0;
    ui::WaitKey(key);
    if (!MoveView(report, key, ui::ScreenRows() - 1, ui::ScreenColumns(), &view)) return;
  }
}

}  // namespace kitscr
