#include "platform/console/state.h"

#include <cstdio>
#include <fstream>

#include "platform/process/environment.h"
#include "util/cp850.h"

namespace platform::console::internal {

namespace {
constexpr int kMaxSide = 99;  // the window file keeps two digits per coordinate
constexpr char kHex[] = "0123456789abcdef";
}  // namespace

State& Get() {
  // Process-wide: the one console of the process.
  static State state;
  return state;
}

void Reset(int columns, int rows) {
  State& s = Get();
  s.rows = rows;
  s.columns = columns;
  s.cells.assign(static_cast<size_t>(rows) * static_cast<size_t>(columns), Cell{});
  s.cursor_row = 0;
  s.cursor_column = 0;
  s.cursor_visible = true;
  s.cursor_size = 25;
  s.attribute = 0x07;
  s.queue.clear();
  s.insert_mode = false;
  s.modifiers = 0;
  s.mouse_enabled = false;
  s.suspended = false;
}

bool ParseSize(std::string_view text, int* columns, int* rows) {
  auto number = [&](size_t& i, int* out) {
    int value = 0;
    size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3) {
      value = value * 10 + (text[i] - '0');
      ++i;
    }
    *out = value;
    return i > start;
  };
  size_t i = 0;
  int c = 0, r = 0;
  if (!number(i, &c)) return false;
  if (i >= text.size() || (text[i] != 'x' && text[i] != 'X')) return false;
  ++i;
  if (!number(i, &r) || i != text.size()) return false;
  if (c < 1 || c > kMaxSide || r < 1 || r > kMaxSide) return false;
  *columns = c;
  *rows = r;
  return true;
}

void SizeFromEnvironment(int* columns, int* rows) {
  if (!ParseSize(platform::GetEnvironment("KITCONSOLE_SIZE"), columns, rows)) {
    *columns = 80;
    *rows = 25;
  }
}

std::string TextDump(const State& state) {
  std::string out;
  out.reserve(state.cells.size() * 2 + static_cast<size_t>(state.rows));
  for (int r = 0; r < state.rows; ++r) {
    for (int c = 0; c < state.columns; ++c) {
      const Cell& cell = state.cells[static_cast<size_t>(r * state.columns + c)];
      out += util::UnicodeToUtf8(util::Cp850Glyph(static_cast<unsigned char>(cell.ch)));
    }
    out += '\n';
  }
  return out;
}

std::string AttributeDump(const State& state) {
  std::string out;
  out.reserve(state.cells.size() * 2 + static_cast<size_t>(state.rows));
  for (int r = 0; r < state.rows; ++r) {
    for (int c = 0; c < state.columns; ++c) {
      uint8_t a = state.cells[static_cast<size_t>(r * state.columns + c)].attr;
      out += kHex[a >> 4];
      out += kHex[a & 15];
    }
    out += '\n';
  }
  return out;
}

void WriteDumpFiles(const State& state) {
  if (state.dump_path.empty()) return;
  // Written beside and renamed, so a reader never sees half a screen.
  auto write = [](const std::string& path, const std::string& data) {
    std::string temporary = path + ".tmp";
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      if (!out) return;
      out << data;
      if (!out.flush()) return;
    }
    std::rename(temporary.c_str(), path.c_str());
  };
  write(state.dump_path, TextDump(state));
  write(state.dump_path + ".attr", AttributeDump(state));
}

}  // namespace platform::console::internal
