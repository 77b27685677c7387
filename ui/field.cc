// The line editor of one field. The text keeps its length: typing in insert
// mode pushes the trailing blank out, deleting pulls a blank in.
#include "ui/field.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/console/console.h"
#include "ui/choice.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace ui {

namespace console = platform::console;

namespace {


bool IsSeparator(char c) { return std::string_view(" ,.;:").find(c) != std::string_view::npos; }

struct Field {
  int row = 0;     // window-relative, as LocateInWindow takes them
  int column = 0;
  int width = 0;
  int end = 0;     // the position after the last character
  int position = 1;
  int abs_row = 0;  // the same cell on the screen, for clicks
  int abs_column = 0;
  bool hidden = false;
  bool insert = false;
  std::vector<ChoiceOption> options;  // empty: an ordinary field
  size_t current = 0;
  int display_width = 0;
  std::string* text = nullptr;

  bool choice() const { return !options.empty(); }
};

void Draw(const Field& f) {
  std::string& text = *f.text;
  if (f.choice()) {
    const std::string& code = f.options[f.current].code;
    std::string stored = code.substr(0, text.size());
    stored.resize(text.size(), ' ');
    text = stored;
    std::string shown = f.options[f.current].display;
    shown.resize(static_cast<size_t>(f.display_width), ' ');
    PrintAt(static_cast<int16_t>(f.row), static_cast<int16_t>(f.column), shown);
    return;
  }
  const size_t width = static_cast<size_t>(f.width);
  for (size_t start = 0, line = 0; start < text.size(); start += width, ++line) {
    std::string run = text.substr(start, width);
    // Every cell of the run is masked. A mask one cell short of the width
    // would leave the last cell showing what was drawn there before, which
    // may be the value itself.
    if (f.hidden) run.assign(run.size(), static_cast<char>(keyboard.MaskCharacter));
    PrintAt(static_cast<int16_t>(f.row + static_cast<int>(line)),
            static_cast<int16_t>(f.column), run);
  }
}

void ShowCursor(const Field& f) {
  int row = f.row + (f.position - 1) / f.width;
  int column = f.column + (f.position - 1) % f.width;
  // At the end of a field that fills its last row the cursor stays after
  // that row's last cell rather than dropping to the line below.
  if (f.position == f.end && f.position > 1 && (f.position - 1) % f.width == 0) {
    row -= 1;
    column = f.column + f.width;
  }
  LocateInWindow(static_cast<int16_t>(row), static_cast<int16_t>(column));
  if (f.choice()) {
    console::SetCursorShape(false, console::CursorSize());
  } else {
    console::SetCursorShape(true, f.insert ? 50 : 99);
  }
}

void HideCursor() { console::SetCursorShape(false, console::CursorSize()); }

int WordLeft(const std::string& text, int position) {
  int i = position - 1;  // 1-based index of the character before the cursor
  while (i >= 1 && IsSeparator(text[static_cast<size_t>(i - 1)])) --i;
  while (i >= 1 && !IsSeparator(text[static_cast<size_t>(i - 1)])) --i;
  return i + 1;
}

int WordRight(const std::string& text, int position, int end) {
  int i = position;
  while (i < end && !IsSeparator(text[static_cast<size_t>(i - 1)])) ++i;
  while (i < end && IsSeparator(text[static_cast<size_t>(i - 1)])) ++i;
  return i;
}

std::string CleanPaste(std::string_view clip) {
  std::string out;
  for (char c : clip) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 32 || b == 127 || b == 255) continue;
    out += c;
  }
  return std::string(util::Trim(out));
}

enum class Outcome { kContinue, kRedraw, kFinish };

bool IsTypable(int16_t key, bool choice) {
  const int low = choice ? 33 : 32;
  return (key >= low && key <= 126) || (key >= 128 && key <= 254);
}

Outcome ChoiceKey(Field& f, int16_t key) {
  const size_t n = f.options.size();
  if (IsTypable(key, true)) {
    const size_t next = NextChoiceStartingWith(f.options, f.current,
                                               static_cast<char>(key));
    if (next == f.current) return Outcome::kContinue;
    f.current = next;
    return Outcome::kRedraw;
  }
  switch (key) {
    case kKeyLeft:
      f.current = f.current == 0 ? n - 1 : f.current - 1;
      return Outcome::kRedraw;
    case kKeyRight:
    case ' ':
      f.current = (f.current + 1) % n;
      return Outcome::kRedraw;
    case kKeyEnd:
      f.position = static_cast<int>(util::TrimRight(*f.text).size()) + 1;
      return Outcome::kContinue;
    case kKeyHome:
      f.position = 1;
      return Outcome::kContinue;
    case kKeyCtrlC:
      console::SetClipboard(f.options[f.current].display);
      return Outcome::kContinue;
    case kKeyBackspace: case kKeyCtrlHome: case kKeyCtrlY: case kKeyDelete: case kKeyCtrlV:
      return Outcome::kContinue;
    default:
      return Outcome::kFinish;
  }
}

Outcome TypeCharacter(Field& f, int16_t key) {
  std::string& text = *f.text;
  if (f.position >= f.end) return Outcome::kContinue;
  const size_t at = static_cast<size_t>(f.position - 1);
  if (!f.insert) {
    text[at] = static_cast<char>(key);
    if (!f.hidden) {
      const int row = f.row + (f.position - 1) / f.width;
      const int column = f.column + (f.position - 1) % f.width;
      PrintAt(static_cast<int16_t>(row), static_cast<int16_t>(column),
              std::string(1, static_cast<char>(key)));
    }
    ++f.position;
    return Outcome::kContinue;
  }
  if (text.back() != ' ') return Outcome::kContinue;  // the field is full
  text.pop_back();
  text.insert(at, 1, static_cast<char>(key));
  ++f.position;
  return Outcome::kRedraw;
}

void DeleteAt(std::string& text, size_t at) {
  text.erase(at, 1);
  text.push_back(' ');
}

Outcome OrdinaryKey(Field& f, int16_t key) {
  std::string& text = *f.text;
  if (IsTypable(key, false)) return TypeCharacter(f, key);
  switch (key) {
    case kKeyLeft:
      if (f.position > 1) --f.position;
      return Outcome::kContinue;
    case kKeyRight:
    case 0:
      if (f.position < f.end) ++f.position;
      return Outcome::kContinue;
    case kKeyBackspace:
      if (f.position <= 1) return Outcome::kContinue;
      --f.position;
      DeleteAt(text, static_cast<size_t>(f.position - 1));
      return Outcome::kRedraw;
    case kKeyEnd:
      f.position = static_cast<int>(util::TrimRight(text).size()) + 1;
      return Outcome::kContinue;
    case kKeyHome:
      f.position = 1;
      return Outcome::kContinue;
    case kKeyCtrlHome:
    case kKeyCtrlY:
      text.assign(text.size(), ' ');
      f.position = 1;
      return Outcome::kRedraw;
    case kKeyDelete:
      if (f.position >= f.end) return Outcome::kContinue;
      DeleteAt(text, static_cast<size_t>(f.position - 1));
      return Outcome::kRedraw;
    case kKeyUp:
    case kKeyShiftTab:
      if (f.position <= f.width) return Outcome::kFinish;
      f.position -= f.width;
      return Outcome::kContinue;
    case kKeyDown:
      if (f.position > f.end - f.width) return Outcome::kFinish;
      f.position += f.width;
      return Outcome::kContinue;
    case kKeyCtrlLeft:
      if (f.position <= 1) return Outcome::kFinish;
      f.position = WordLeft(text, f.position);
      return Outcome::kContinue;
    case kKeyCtrlRight:
      if (f.position >= f.end) return Outcome::kFinish;
      f.position = WordRight(text, f.position, f.end);
      return Outcome::kContinue;
    case kKeyCtrlC:
      // A masked entry (a password) never goes to the clipboard.
      if (!f.hidden) console::SetClipboard(util::Trim(text));
      return Outcome::kContinue;
    case kKeyCtrlV: {
      const std::string clip = CleanPaste(console::Clipboard());
      if (clip.empty()) return Outcome::kContinue;
      const size_t at = static_cast<size_t>(f.position - 1);
      const size_t room = text.size() > at ? text.size() - at : 0;
      text.replace(at, std::min(room, clip.size()), clip.substr(0, room));
      return Outcome::kRedraw;
    }
    default:
      return Outcome::kFinish;
  }
}

// A click becomes a key of the field, or stays a click that ends the entry.
int16_t ClickKey(Field& f, int16_t button, int16_t click_row, int16_t click_column,
                 bool* ignore) {
  const int16_t code = ClickCode(click_row, click_column);
  *ignore = false;
  (void)button;
  if (f.choice()) {
    if (click_row != f.abs_row) return code;
    const int left_arrow = f.abs_column - 1;
    const int right_arrow = f.abs_column + f.display_width;
    if (click_column == left_arrow) return kKeyLeft;
    if (click_column == right_arrow) return kKeyRight;
    if (click_column > left_arrow && click_column < right_arrow) *ignore = true;
    return code;
  }
  const int rows = f.end / f.width;
  const int r = click_row - f.abs_row;
  const int c = click_column - f.abs_column;
  if (r >= 0 && r < rows && c >= 0 && c < f.width) {
    f.position = r * f.width + c + 1;
    return 0;
  }
  return code;
}

// The key that ends the entry as the caller sees it; false when the key set
// does not let it end the entry.
bool FinalKey(int16_t* key) {
  int16_t k = *key;
  if (k == kKeyShiftTab) {
    k = kKeyUp;
  } else if (k == kKeyTab) {
    k = kKeyEnter;
  } else if (k == kKeyEnter && KeySetFind(kKeyEnd) >= 0) {
    k = kKeyEnd;
  } else if (k == kKeyCtrlF4 || k == kKeyAltF4) {
    k = kKeyEscape;
  }
  if (!keyboard.KeySetCodes.empty()) {
    const int index = KeySetFind(k);
    if (index >= 0) {
      k = KeySetTranslation(index);
    } else if (!IsClickCode(k)) {
      return false;
    }
  }
  *key = k;
  return true;
}

Field SetUp(int16_t row, int16_t column, int16_t width, std::string& text,
            int16_t position) {
  Field f;
  f.text = &text;
  f.end = static_cast<int>(text.size()) + 1;
  const int offset_row = window_stack.WindowDepth > 0 ? window_stack.WindowTop : 0;
  const int offset_column = window_stack.WindowDepth > 0 ? window_stack.WindowLeft : 0;
  f.row = row != 0 ? row : console::CursorRow() + 1 - offset_row;
  f.column = column != 0 ? column : console::CursorColumn() + 1 - offset_column;
  f.abs_row = f.row + offset_row;
  f.abs_column = f.column + offset_column;
  f.position = std::clamp<int>(position, 1, f.end);
  f.width = width > 0 ? width : f.end;
  f.hidden = keyboard.MaskCharacter != 0;
  f.insert = console::InsertMode();
  if (!keyboard.ChoiceList.empty()) f.options = ParseChoiceList(keyboard.ChoiceList);
  if (f.choice()) {
    f.current = CurrentChoice(f.options, text);
    for (const auto& option : f.options) {
      f.display_width = std::max(f.display_width, static_cast<int>(option.display.size()));
    }
  }
  return f;
}

void DrawArrows(const Field& f, std::string_view left, std::string_view right) {
  PrintAt(static_cast<int16_t>(f.row), static_cast<int16_t>(f.column - 1), left);
  PrintAt(static_cast<int16_t>(f.row),
          static_cast<int16_t>(f.column + f.display_width), right);
}

}  // namespace

void EditField(int16_t row, int16_t column, int16_t width, std::string& text,
               int16_t& position, int16_t& key) {
  Field f = SetUp(row, column, width, text, position);
  if (f.choice()) DrawArrows(f, util::Cp850("◄"), util::Cp850("►"));
  SetColour("u");
  bool redraw = true;
  int16_t k = 0;
  for (;;) {
    if (redraw) Draw(f);
    redraw = false;
    ShowCursor(f);
    int16_t button = 0, click_row = 0, click_column = 0;
    ReadKeyWaiting(k, button, click_row, click_column);
    HideCursor();
    if (k == kKeyInsert) {
      f.insert = !f.insert;
      console::SetInsertMode(f.insert);
      continue;
    }
    if (k == 0 && button != 0) {
      bool ignore = false;
      k = ClickKey(f, button, click_row, click_column, &ignore);
      if (ignore) continue;
    }
    const Outcome outcome = IsClickCode(k) ? Outcome::kFinish
                            : f.choice() ? ChoiceKey(f, k)
                                         : OrdinaryKey(f, k);
    if (outcome == Outcome::kRedraw) redraw = true;
    if (outcome != Outcome::kFinish) continue;
    if (FinalKey(&k)) break;
    redraw = true;  // a key outside the key set is dropped
  }
  SetColour("h");
  if (f.choice()) DrawArrows(f, " ", " ");
  LocateInWindow(static_cast<int16_t>(f.row), static_cast<int16_t>(f.column));
  position = static_cast<int16_t>(f.position);
  key = k;
}

}  // namespace ui
