// kitkeys: shows, for every key pressed or click made, the code the program
// receives and the key's name, so that the office can check that a terminal
// sends what the program needs. Escape twice in a row ends it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/console/console.h"
#include "ui/keys.h"
#include "util/cp850.h"

namespace console = platform::console;

namespace {

constexpr uint8_t kTitleColours = 0x1F;
constexpr uint8_t kTextColours = 0x07;
constexpr uint8_t kFrameColours = 0x03;
constexpr uint8_t kCodeColours = 0x0E;

struct Area {
  int top, left, bottom, right;  // inside the frame
  int next_row;                  // where the next line goes
};

void Fill(int row, uint8_t attr) {
  console::WriteText(row, 0, std::string(static_cast<size_t>(console::Columns()), ' '), attr);
}

void Centre(int row, const std::string& text, uint8_t attr) {
  int column = (console::Columns() - static_cast<int>(text.size())) / 2;
  console::WriteText(row, column < 0 ? 0 : column, text, attr);
}

// The single-line frame around the area, with the column headings in its top.
void DrawFrame(int top, int bottom) {
  const int right = console::Columns() - 1;
  const std::string line = util::Cp850("─");
  const std::string side = util::Cp850("│");
  std::string top_line = util::Cp850("┌");
  std::string bottom_line = util::Cp850("└");
  for (int c = 1; c < right; ++c) {
    top_line += line;
    bottom_line += line;
  }
  top_line += util::Cp850("┐");
  bottom_line += util::Cp850("┘");
  console::WriteText(top, 0, top_line, kFrameColours);
  console::WriteText(bottom, 0, bottom_line, kFrameColours);
  for (int r = top + 1; r < bottom; ++r) {
    console::WriteText(r, 0, side, kFrameColours);
    console::WriteText(r, 1, std::string(static_cast<size_t>(right - 1), ' '), kTextColours);
    console::WriteText(r, right, side, kFrameColours);
  }
  console::WriteText(top, 2, util::Cp850(" Codi ─ Tecla ─ Modificadors "), kFrameColours);
}

void DrawScreen(Area* area) {
  const int rows = console::Rows();
  Fill(0, kTitleColours);
  Centre(0, util::Cp850("KITKEYS · Codis de les tecles"), kTitleColours);
  Fill(1, kTextColours);
  console::WriteText(1, 1,
                     util::Cp850("Premeu tecles o feu clic amb el ratolí. Esc dues vegades seguides per sortir."),
                     kTextColours);
  DrawFrame(2, rows - 2);
  Fill(rows - 1, kTextColours);
  area->top = 3;
  area->left = 1;
  area->bottom = rows - 3;
  area->right = console::Columns() - 2;
  area->next_row = area->top;
}

std::string Hex(int code) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%x", static_cast<unsigned>(static_cast<uint16_t>(code)));
  return buffer;
}

std::string Modifiers(uint8_t m) {
  std::string out;
  auto add = [&](const char* name) {
    if (!out.empty()) out += ' ';
    out += util::Cp850(name);
  };
  if (m & console::kShift) add("Maj");
  if (m & console::kCtrl) add("Ctrl");
  if (m & console::kLeftAlt) add("Alt");
  if (m & console::kRightAlt) add("AltGr");
  return out;
}

std::string Pad(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

// One line per event, the oldest scrolling off the top of the area.
void AddLine(Area* area, const std::string& code, const std::string& name,
             const std::string& modifiers) {
  if (area->next_row > area->bottom) {
    console::Scroll(area->top, area->left, area->bottom, area->right, 1, kTextColours);
    area->next_row = area->bottom;
  }
  const int row = area->next_row++;
  console::WriteText(row, area->left + 1, Pad(code, 7), kCodeColours);
  console::WriteText(row, area->left + 8, Pad(name, 24), kTextColours);
  console::WriteText(row, area->left + 32, modifiers, kTextColours);
}

std::string ButtonName(uint8_t buttons) {
  if (buttons & 1) return util::Cp850("botó esquerre");
  if (buttons & 2) return util::Cp850("botó dret");
  return util::Cp850("botó del mig");
}

void ShowStatus(int events) {
  const int row = console::Rows() - 1;
  Fill(row, kTextColours);
  console::WriteText(row, 1, util::Cp850("Esdeveniments: ") + std::to_string(events),
                     kTextColours);
}

}  // namespace

int main() {
  // A scripted run whose keys run out ends with status 3 (the screen is
  // dumped when the console closes at exit).
  console::SetHeadlessRanOutHandler([] {
    std::fputs("kitkeys: the key script ran out while the program waited for input\n", stderr);
    std::exit(3);
  });
  std::string error;
  console::SetTooSmallText([](int need_columns, int need_rows, int columns, int rows) {
    return util::Cp850("La finestra del terminal és massa petita: el programa necessita ") +
           std::to_string(need_columns) + " x " + std::to_string(need_rows) +
           util::Cp850(" caràcters i ara en té ") + std::to_string(columns) + " x " +
           std::to_string(rows) + ". " + util::Cp850("Feu-la més gran.");
  });
  if (!console::Open(&error)) {
    std::fprintf(stderr, "kitkeys: %s\n", error.c_str());
    return 1;
  }
  Area area{};
  DrawScreen(&area);
  console::SetCursorShape(false, 25);
  console::EnableMouse(true);
  int events = 0;
  bool escape_before = false;
  ShowStatus(events);
  for (;;) {
    console::Refresh();
    console::InputEvent event;
    if (!console::ReadInput(&event, -1)) continue;
    if (event.kind == console::InputEvent::kMouse) {
      if (event.mouse.buttons == 0) continue;
      const int row = event.mouse.row + 1, column = event.mouse.column + 1;
      // As the program's key wait reports it: column x 256 + button x 64 + row.
      const int code = column * 256 + event.mouse.buttons * 64 + row;
      AddLine(&area, Hex(code),
              util::Cp850("clic fila ") + std::to_string(row) + util::Cp850(" columna ") +
                  std::to_string(column),
              ButtonName(event.mouse.buttons));
      escape_before = false;
    } else if (event.kind == console::InputEvent::kKey && event.key.down) {
      const int16_t code = console::KeyCode(event.key);
      if (code == 0) continue;
      AddLine(&area, Hex(code), console::KeyName(event.key), Modifiers(event.key.modifiers));
      if (code == ui::kKeyEscape && escape_before) break;
      escape_before = code == ui::kKeyEscape;
      // Ctrl+L repaints a terminal that something else has written over.
      if (code == ui::kKeyCtrlL) console::Redraw();
    } else {
      continue;
    }
    ShowStatus(++events);
  }
  console::Close();
  return 0;
}
