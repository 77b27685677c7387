#include "tools/spool/layout.h"

#include <algorithm>
#include <cstdlib>

#include "util/basics.h"

namespace spool {
namespace {

// No printer line is this wide; text past it is dropped, so that a spool
// naming absurd columns cannot make lines of gigabytes.
constexpr int kLastColumn = 999;
// The length of a page when the spool never gave one: the classic form.
constexpr int kFormLength = 66;
// The writer's numbers are 16-bit; larger ones are held to that.
constexpr int kLargestNumber = 32767;
// Blank lines the layout makes, over the whole report, per byte of the
// spool (and a page's worth besides). A sound spool moves down a few lines
// per item of a dozen bytes, far below this; a damaged one asking for pages
// of 32,767 lines and line feeds to their foot would otherwise make
// gigabytes of blank lines out of a few kilobytes. Past the allowance an
// item goes on the line after the last one laid out.
constexpr size_t kBlankLinesPerByte = 8;

enum class Style { kLeft, kRight, kCentre, kFill };

// A whole number as the writer writes it: a blank or a minus, digits.
bool ParseNumber(std::string_view text, int* value) {
  text = util::Trim(text);
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty()) return false;
  int number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = std::min(number * 10 + (c - '0'), kLargestNumber);
  }
  *value = negative ? -number : number;
  return true;
}

class Builder {
 public:
  explicit Builder(size_t spool_size)
      : blank_lines_left_(kFormLength + kBlankLinesPerByte * spool_size) {}

  void Device(std::string_view text) { report_.device = std::string(util::Trim(text)); }

  // A new page of length lines; the page so far ends only when something
  // was printed on it (the first PAGE line makes no blank page).
  void NewPage(int length) {
    length = std::max(length, 0);
    if (printed_) report_.pages.push_back(std::move(page_));
    page_ = Page{length, {}};
    printed_ = false;
    line_ = 0;
    cursor_ = 1;
  }

  void Justify(std::string_view value) {
    value = util::Trim(value);
    const char first = value.empty() ? ' ' : util::UpperCaseChar(value.front());
    style_ = first == 'D' || first == 'R' ? Style::kRight
             : first == 'C'               ? Style::kCentre
             : first == 'N'               ? Style::kFill
                                          : Style::kLeft;
    if (style_ != Style::kFill) return;
    // "N 48 \.\": the last column filled, then the fill between backslashes.
    value.remove_prefix(1);
    const size_t open = value.find('\\');
    fill_to_ = 0;
    ParseNumber(value.substr(0, open), &fill_to_);
    fill_to_ = std::abs(fill_to_);
    fill_ = ' ';
    if (open != std::string_view::npos && open + 1 < value.size() && value[open + 1] != '\\') {
      fill_ = value[open + 1];
    }
  }

  void Item(int column, std::string_view text, int line_feeds) {
    const int limit = page_.length > 0 ? page_.length : kFormLength;
    if (line_ >= limit) NewPage(page_.length);
    printed_ = true;
    const int length = static_cast<int>(text.size());
    int start = column > 0 ? column : cursor_;
    int end = start + length;  // the column after the item
    switch (style_) {
      case Style::kLeft:
        Put(start, text);
        break;
      case Style::kRight: {
        const size_t blanks = std::min(text.find_first_not_of(' '), text.size());
        Put(start + static_cast<int>(blanks), text.substr(blanks));
        break;
      }
      case Style::kCentre:
        if (column > 0) start = std::max(1, column - length / 2);
        end = start + length;
        Put(start, text);
        break;
      case Style::kFill:
        Put(start, text);
        if (end <= fill_to_) Put(end, std::string(static_cast<size_t>(fill_to_ - end + 1), fill_));
        end = std::max(end, fill_to_ + 1);
        break;
    }
    if (line_feeds > 0) {
      line_ += line_feeds;
      cursor_ = 1;
    } else {
      cursor_ = std::min(end, kLastColumn + 1);
    }
  }

  Report Finish() {
    if (printed_) report_.pages.push_back(std::move(page_));
    for (Page& page : report_.pages) {
      for (std::string& line : page.lines) {
        line.resize(util::TrimRight(line).size());
        report_.width = std::max(report_.width, line.size());
      }
    }
    return std::move(report_);
  }

 private:
  // Writes text on the current line from the 1-based column on, blanks and
  // all, over whatever was there.
  void Put(int column, std::string_view text) {
    if (column > kLastColumn || text.empty()) return;
    text = text.substr(0, static_cast<size_t>(kLastColumn - column + 1));
    if (page_.lines.size() <= static_cast<size_t>(line_)) {
      const size_t blanks = std::min(static_cast<size_t>(line_) - page_.lines.size(), blank_lines_left_);
      blank_lines_left_ -= blanks;
      line_ = static_cast<int>(page_.lines.size() + blanks);
      page_.lines.resize(static_cast<size_t>(line_) + 1);
    }
    std::string& line = page_.lines[static_cast<size_t>(line_)];
    const size_t at = static_cast<size_t>(column - 1);
    if (line.size() < at + text.size()) line.resize(at + text.size(), ' ');
    line.replace(at, text.size(), text);
  }

  Report report_;
  Page page_;
  bool printed_ = false;  // something was printed on page_
  int line_ = 0;          // the line of page_ items go to
  int cursor_ = 1;        // where an item of column 0 starts
  Style style_ = Style::kLeft;
  int fill_to_ = 0;
  char fill_ = ' ';
  size_t blank_lines_left_;  // blank lines the report may still make
};

void ReadLine(std::string_view line, bool first, Builder* builder) {
  if (first && line.starts_with("DEVICE")) {
    builder->Device(line.substr(6));
    return;
  }
  int number = 0;
  if (line.starts_with("PAGE") && ParseNumber(line.substr(4), &number)) {
    builder->NewPage(number);
    return;
  }
  if (line.starts_with("JUS")) {
    builder->Justify(line.substr(3));
    return;
  }
  const size_t first_comma = line.find(',');
  const size_t last_comma = line.rfind(',');
  int column = 0, line_feeds = 0;
  if (first_comma != last_comma && ParseNumber(line.substr(0, first_comma), &column) &&
      ParseNumber(line.substr(last_comma + 1), &line_feeds)) {
    builder->Item(std::max(column, 0),
                  line.substr(first_comma + 1, last_comma - first_comma - 1),
                  std::max(line_feeds, 0));
  }
  // Anything else is a command for a printer ("*@e"): no text of the report.
}

}  // namespace

Report LayOut(std::string_view spool) {
  Builder builder(spool.size());
  bool first = true;
  while (!spool.empty()) {
    const size_t end = spool.find('\n');
    std::string_view line = spool.substr(0, end);
    spool.remove_prefix(end == std::string_view::npos ? spool.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    ReadLine(line, first, &builder);
    first = false;
  }
  return builder.Finish();
}

}  // namespace spool
