// What the console costs: the bytes and time of a refresh on a terminal, and
// the speed of the key decoder. Prints its figures against their targets.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/console/decoder.h"
#include "platform/console/render.h"

namespace console = platform::console;
namespace internal = platform::console::internal;

namespace {

double Microseconds(std::chrono::steady_clock::duration d) {
  return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(d).count()) / 1000.0;
}

// The strings of an xterm-like terminal with 16 colours.
internal::Strings XtermStrings() {
  internal::Strings s;
  s.move = [](int r, int c) { return "\x1b[" + std::to_string(r + 1) + ";" + std::to_string(c + 1) + "H"; };
  for (int a = 0; a < 256; ++a) {
    s.attribute[static_cast<size_t>(a)] =
        "\x1b[" + std::to_string(30 + internal::AnsiColour(a & 7)) + "m\x1b[" +
        std::to_string(40 + internal::AnsiColour((a >> 4) & 7)) + "m";
  }
  s.glyph = internal::Cp850Glyphs();
  s.reset = "\x1b[m";
  return s;
}

// A form: a frame, labels and fields in two colours.
std::vector<console::Cell> Form(int rows, int columns, char fill) {
  std::vector<console::Cell> cells(static_cast<size_t>(rows * columns));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      bool field = (r % 3 == 1) && c > 30 && c < 60;
      cells[static_cast<size_t>(r * columns + c)] =
          console::Cell{field ? fill : static_cast<char>(r == 0 || c == 0 ? 0xCD : 'a' + (c % 26)),
                        static_cast<uint8_t>(field ? 0x70 : 0x1F)};
    }
  }
  return cells;
}

}  // namespace

int main() {
  const int rows = 25, columns = 80;
  internal::Strings strings = XtermStrings();
  internal::Shown shown;

  // Full repaint.
  std::vector<console::Cell> form = Form(rows, columns, ' ');
  const int kRepeats = 2000;
  size_t full_bytes = 0;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRepeats; ++i) {
    internal::ResetShown(&shown, rows, columns);
    shown.terminal_rows = 30;
    shown.terminal_columns = 100;
    std::string out;
    internal::RenderChanges(form, strings, &shown, &out);
    full_bytes = out.size();
  }
  double full_us = Microseconds(std::chrono::steady_clock::now() - start) / kRepeats;

  // One character typed into a field, and an unchanged refresh.
  std::vector<console::Cell> typed = form;
  typed[static_cast<size_t>(4 * columns + 40)].ch = 'X';
  std::string out;
  internal::RenderChanges(typed, strings, &shown, &out);
  const size_t typed_bytes = out.size();
  out.clear();
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRepeats; ++i) internal::RenderChanges(typed, strings, &shown, &out);
  double idle_us = Microseconds(std::chrono::steady_clock::now() - start) / kRepeats;
  const size_t idle_bytes = out.size();

  // A field of 30 characters filled in.
  std::vector<console::Cell> filled = Form(rows, columns, 'G');
  out.clear();
  internal::RenderChanges(filled, strings, &shown, &out);
  const size_t field_bytes = out.size();

  // Decoder: a mix of keys, sequences and clicks.
  std::string mix;
  while (mix.size() < (1u << 20)) {
    mix += "GARCIA \x1b[1;5D\x1bOP\x1b[23~\x1bx\x1b[<0;10;3M\x1b[<0;10;3m\xc3\xb1\r\x1b[Z\x1b[3~";
  }
  std::vector<console::InputEvent> events;
  events.reserve(mix.size());
  start = std::chrono::steady_clock::now();
  size_t used = console::DecodeTerminalInput(mix, true, &events);
  double decode_us = Microseconds(std::chrono::steady_clock::now() - start);
  double mb_per_s = static_cast<double>(used) / decode_us;

  std::printf("full repaint of 80x25: %zu bytes, %.1f us (target: under 12000 bytes, under 200 us)\n",
              full_bytes, full_us);
  std::printf("one character typed into a field: %zu bytes (target: under 24)\n", typed_bytes);
  std::printf("refresh with nothing changed: %zu bytes, %.2f us (target: 0 bytes, under 20 us)\n",
              idle_bytes, idle_us);
  std::printf("8 fields of 29 characters filled: %zu bytes (target: under 400)\n", field_bytes);
  std::printf("decoder: %zu events from %zu bytes, %.1f MB/s (target: over 10 MB/s)\n",
              events.size(), used, mb_per_s);
  return 0;
}
