// The state every back end shares: the cell buffer, the cursor, the current
// attribute, the input queue and the keyboard state. Internal to
// platform/console; the rest of the program goes through console.h.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/console/console.h"

namespace platform::console::internal {

enum class Backend : uint8_t { kNone, kHeadless, kTerminal };

struct State {
  Backend backend = Backend::kNone;
  int rows = 25;
  int columns = 80;
  std::vector<Cell> cells = std::vector<Cell>(80 * 25);
  int cursor_row = 0;
  int cursor_column = 0;
  bool cursor_visible = true;
  int cursor_size = 25;
  uint8_t attribute = 0x07;
  std::deque<InputEvent> queue;
  bool insert_mode = false;
  uint8_t modifiers = 0;
  std::string clipboard;
  bool mouse_enabled = false;
  bool suspended = false;
  std::string dump_path;  // KITCONSOLE_DUMP, empty when not asked for
};

State& Get();

// Makes the buffer rows x columns of blank cells and resets the cursor,
// attribute, queue and keyboard state.
void Reset(int columns, int rows);

// Reads KITCONSOLE_SIZE ("COLSxROWS"); 80 x 25 when unset or invalid.
bool ParseSize(std::string_view text, int* columns, int* rows);
void SizeFromEnvironment(int* columns, int* rows);

// The screen as UTF-8 text lines and as attribute hex pairs.
std::string TextDump(const State& state);
std::string AttributeDump(const State& state);
// Writes both dumps next to each other when KITCONSOLE_DUMP asked for them.
void WriteDumpFiles(const State& state);

}  // namespace platform::console::internal
