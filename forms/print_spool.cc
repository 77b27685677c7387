#include "forms/print_spool.h"

#include <cstdlib>

#include "env/session.h"
#include "platform/fs/errors.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "util/basics.h"

namespace ui::forms {

// Process-wide: the page of the one report printed at a time.
PrintPage print_page;

namespace {

// Lines are gathered and written in large pieces: a report of thousands of
// error lines should not cost a system call each.
constexpr size_t kFlushAt = 64 * 1024;

// The spool file of the process and the lines not yet written to it: one
// report is printed at a time and it outlives each line added.
struct Spool {
  platform::fs::File spool;
  std::string pending;
  int64_t written = 0;
  env::Status first_error;  // of the first write that failed since the open
};
Spool spool_file;

// The failure platform/fs just noted of the spool (a general one of its
// path when it noted none).
env::Status SpoolFailure() {
  env::Status status = env::LastFileStatus();
  if (status.ok()) status = env::Status(env::Code::kFileError, {}, PrintSpoolPath());
  return status;
}

void Flush() {
  if (spool_file.pending.empty() || !spool_file.spool.IsOpen()) return;
  if (spool_file.first_error.ok() &&
      !spool_file.spool.WriteAt(spool_file.written, spool_file.pending.data(),
                                spool_file.pending.size())) {
    spool_file.first_error = SpoolFailure();
  }
  spool_file.written += static_cast<int64_t>(spool_file.pending.size());
  spool_file.pending.clear();
}

void WriteLine(std::string_view line) {
  if (!spool_file.spool.IsOpen()) return;
  spool_file.pending.append(line);
  spool_file.pending.append("\r\n");
  if (spool_file.pending.size() >= kFlushAt) Flush();
}

// The integer part of the number at the start of text (leading blanks and a
// sign allowed), without its sign.
int32_t LeadingNumber(std::string_view text) {
  text = util::TrimLeft(text);
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  int32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > 99999999) break;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string PrintSpoolPath() { return env::session.WorkDir + "kitprint.tmp"; }

std::string SpoolNumber(int32_t number) {
  return (number < 0 ? "" : " ") + std::to_string(number);
}

std::string NormaliseJustification(std::string_view style) {
  const std::string_view trimmed = util::Trim(style);
  const char letter = trimmed.empty() ? ' ' : util::UpperCaseChar(trimmed[0]);
  switch (letter) {
    case 'C':
      return "C";
    case 'D':
    case 'R':
      return "D";
    case 'A':
    case 'B':
      return "A";
    case 'N': {
      std::string fill;
      const size_t open = trimmed.find('\\');
      if (open != std::string_view::npos) {
        const size_t close = trimmed.find('\\', open + 1);
        fill = std::string(trimmed.substr(
            open, close == std::string_view::npos ? std::string_view::npos : close - open + 1));
      }
      return "N" + SpoolNumber(LeadingNumber(trimmed.substr(1))) + " " + fill;
    }
    default:
      return "E";
  }
}

std::string SpoolItemText(std::string_view text) {
  std::string copy(text);
  for (char& c : copy) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 32 || code == 127 || code == 255) c = ' ';
  }
  return copy;
}

env::Status OpenPrintSpool(std::string_view device) {
  // Whatever a spool_file.spool left open lacks, a new one replaces it.
  static_cast<void>(ClosePrintSpool());
  spool_file.first_error = env::OkStatus();
  spool_file.written = 0;
  print_page.PageLength = print_page.LineCount = print_page.ColumnCount = 0;
  const std::string path = platform::fs::HostPath(PrintSpoolPath());
  if (spool_file.spool.Open(path, platform::fs::File::kReadWriteCreate, true) != 0) return SpoolFailure();
  if (!spool_file.spool.Truncate(0)) {
    const env::Status failure = SpoolFailure();
    spool_file.spool.Close();
    return failure;
  }
  WriteLine("DEVICE" + std::string(device));
  return env::OkStatus();
}

void SetPageLength(int16_t lines) {
  WriteLine("PAGE" + SpoolNumber(lines));
  print_page.PageLength = lines;
  print_page.LineCount = 0;
  print_page.ColumnCount = 0;
}

void SetJustification(std::string& style) {
  style = NormaliseJustification(style);
  WriteLine("JUS" + style);
}

void PrintItem(int16_t column, std::string_view text, int16_t line_feeds) {
  const std::string item = SpoolItemText(text);
  if (print_page.LineCount >= print_page.PageLength) SetPageLength(print_page.PageLength);
  WriteLine(SpoolNumber(column) + "," + item + "," + SpoolNumber(line_feeds));
  if (line_feeds != 0) {
    print_page.LineCount = static_cast<int16_t>(print_page.LineCount + line_feeds);
    print_page.ColumnCount = 0;
  } else {
    if (column != 0) print_page.ColumnCount = column;
    print_page.ColumnCount =
        static_cast<int16_t>(print_page.ColumnCount + static_cast<int16_t>(item.size()));
  }
}

void WriteSpoolLine(std::string_view line) { WriteLine(line); }

env::Status ClosePrintSpool() {
  if (!spool_file.spool.IsOpen()) return env::OkStatus();
  Flush();
  spool_file.spool.Close();
  return spool_file.first_error;
}

void ResetPrintSpool() {
  spool_file.pending.clear();
  spool_file.spool.Close();
  spool_file.first_error = env::OkStatus();
  spool_file.written = 0;
  print_page.PageLength = print_page.LineCount = print_page.ColumnCount = 0;
}

}  // namespace ui::forms
