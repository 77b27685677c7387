// The calculator's state file "KITCALC.TMP": written whole at every exit,
// read field by field at every call, so that a damaged file costs only the
// fields that cannot be read.
#include <string>
#include <string_view>
#include <vector>

#include "env/ini.h"
#include "env/ini_file.h"
#include "env/session.h"
#include "forms/calculator.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "util/decimal.h"

namespace ui::forms {

namespace {

// A state file is a few hundred bytes; what lies beyond this is garbage.
constexpr size_t kMostRead = 64 * 1024;
// Values of more integer digits cannot be typed or shown; a file holding
// one is damaged.
constexpr int32_t kLargestOrder = 300;

// Every digit, in plain notation; "inf" for no number (which is not read
// back).
std::string Number(const util::Decimal& value) { return util::DecimalText(value); }

std::string Flag(bool on) { return on ? "-1" : "0"; }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Path() { return env::session.TerminalDir + std::string(kCalculatorFileName); }

// The fields of one line: unquoted ones end at a comma, quoted ones at
// their closing quote (the text between the quotes is the field).
std::vector<std::string> Fields(std::string_view line) {
  std::vector<std::string> fields;
  size_t at = 0;
  for (;;) {
    while (at < line.size() && line[at] == ' ') ++at;
    std::string field;
    if (at < line.size() && line[at] == '"') {
      const size_t close = line.find('"', at + 1);
      const size_t end = close == std::string_view::npos ? line.size() : close;
      field = "\"" + std::string(line.substr(at + 1, end - at - 1)) + "\"";
      at = end == line.size() ? end : end + 1;
      while (at < line.size() && line[at] != ',') ++at;
    } else {
      const size_t comma = line.find(',', at);
      const size_t end = comma == std::string_view::npos ? line.size() : comma;
      field = std::string(line.substr(at, end - at));
      at = end;
    }
    fields.push_back(field);
    if (at >= line.size()) return fields;
    ++at;  // the comma
  }
}

// A number as written here or by the family's classic programs ("12.5",
// ".5", "1.5E+20", "1.5D+20", "-3"), read as the decimal it spells; false
// for anything else.
bool ReadNumber(std::string text, util::Decimal* value) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (!text.empty() && text.front() == '+') text.erase(0, 1);
  util::Decimal read;
  if (!util::ParseDecimal(text, &read) || util::IntegerDigits(read) > kLargestOrder) return false;
  *value = read;
  return true;
}

void ReadValue(const std::vector<std::string>& fields, size_t i, util::Decimal* value) {
  if (i < fields.size()) ReadNumber(fields[i], value);
}

void ReadWhole(const std::vector<std::string>& fields, size_t i, int16_t low, int16_t high,
               int16_t* value) {
  util::Decimal read;
  if (i >= fields.size() || !ReadNumber(fields[i], &read)) return;
  if (read.exponent < 0 || util::IntegerDigits(read) > 6) return;
  const double whole = util::DecimalToDouble(read);
  if (whole < low || whole > high) return;
  *value = static_cast<int16_t>(whole);
}

void ReadFlag(const std::vector<std::string>& fields, size_t i, bool* flag) {
  int16_t read = 1;
  ReadWhole(fields, i, -1, 0, &read);
  if (read != 1) *flag = read != 0;
}

void ReadOperation(const std::vector<std::string>& fields, size_t i, std::string* operation) {
  if (i >= fields.size()) return;
  const std::string& field = fields[i];
  if (field.size() < 2 || field.front() != '"' || field.back() != '"') return;
  const std::string text = field.substr(1, field.size() - 2);
  if (text.empty() || (text.size() == 1 && std::string_view("+-*/%RC=").find(text[0]) !=
                                                std::string_view::npos)) {
    *operation = text;
  }
}

}  // namespace

std::string CalculatorStateText(const CalculatorState& s) {
  std::string text = std::to_string(s.left) + "," + std::to_string(s.entry_row) + "," +
                     Number(s.entry) + "," + Number(s.accumulator) + "\r\n";
  text += Flag(s.cleared) + "," + Flag(s.entering) + "," + Flag(s.decimal_point) + "," +
          std::to_string(s.decimals) + "\r\n";
  text += Quoted(s.operation) + "," + Quoted(s.pending) + "\r\n";
  for (const TapeLine& line : s.tape) {
    text += Number(line.value) + "," + Flag(line.decimal_point) + "," +
            std::to_string(line.decimals) + "," + Quoted(line.operation) + "\r\n";
  }
  return text;
}

CalculatorState ParseCalculatorState(std::string_view text) {
  CalculatorState s;
  std::string_view line;
  for (int n = 1; n <= 3 + kTapeLines && env::NextLine(&text, &line); ++n) {
    const std::vector<std::string> f = Fields(line);
    if (n == 1) {
      ReadWhole(f, 0, 1, kCalculatorRightEdge - kCalculatorWidth + 1, &s.left);
      ReadWhole(f, 1, 2, kEmptyTapeRow, &s.entry_row);
      ReadValue(f, 2, &s.entry);
      ReadValue(f, 3, &s.accumulator);
    } else if (n == 2) {
      ReadFlag(f, 0, &s.cleared);
      ReadFlag(f, 1, &s.entering);
      ReadFlag(f, 2, &s.decimal_point);
      ReadWhole(f, 3, 0, kMaxDecimals, &s.decimals);
    } else if (n == 3) {
      ReadOperation(f, 0, &s.operation);
      ReadOperation(f, 1, &s.pending);
    } else {
      TapeLine& t = s.tape[static_cast<size_t>(n - 4)];
      ReadValue(f, 0, &t.value);
      ReadFlag(f, 1, &t.decimal_point);
      ReadWhole(f, 2, 0, kMaxDecimals, &t.decimals);
      ReadOperation(f, 3, &t.operation);
    }
  }
  return s;
}

CalculatorState LoadCalculatorState() {
  // Without a terminal directory there is no tape to keep.
  const std::string host =
      env::session.TerminalDir.empty() ? std::string() : platform::fs::HostPath(Path());
  std::string text;
  if (host.empty() || platform::fs::ReadWholeFile(host, &text, kMostRead) != 0) text.clear();
  return ParseCalculatorState(text);
}

env::Status SaveCalculatorState(const CalculatorState& state) {
  if (env::session.TerminalDir.empty()) {
    return env::Status(env::Code::kNotFound, {}, std::string(kCalculatorFileName));
  }
  if (env::WriteWholeFile(Path(), CalculatorStateText(state))) return env::OkStatus();
  env::Status status = env::LastFileStatus();
  if (status.ok()) status = env::Status(env::Code::kFileError, {}, Path());
  return status;
}

}  // namespace ui::forms
