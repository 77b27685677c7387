// The key set of field entry, the input mask and the choice list.
#include <string>
#include <string_view>

#include "ui/keys.h"
#include "util/basics.h"
#include "util/little_endian.h"

namespace ui {

// Process-wide: the keyboard of the one screen, across every key read.
Keyboard keyboard;

namespace {

// Hexadecimal digits up to the first other character, kept to 16 bits so
// that "ffff" and four-digit codes fit a key code.
int16_t HexValue(std::string_view text) {
  text = util::Trim(text);
  uint32_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else break;
    value = ((value << 4) | static_cast<uint32_t>(digit)) & 0xFFFF;
  }
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

void AppendCode(std::string& out, int16_t code) {
  out += util::Le16(static_cast<uint16_t>(code));
}

int16_t CodeAt(const std::string& codes, size_t index) {
  return static_cast<int16_t>(util::GetLe16(codes, 2 * index));
}

template <typename F>
void ForEachItem(std::string_view keys, F&& f) {
  size_t start = 0;
  for (;;) {
    const size_t comma = keys.find(',', start);
    const std::string_view item = keys.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    // An empty item (as in a trailing comma) names no key; it would
    // otherwise make code 0 an end key.
    if (!util::Trim(item).empty()) f(item);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
}

void AddItems(std::string_view keys) {
  ForEachItem(keys, [](std::string_view item) {
    const size_t eq = item.find('=');
    const int16_t code = HexValue(item.substr(0, eq));
    const int16_t translation =
        eq == std::string_view::npos ? code : HexValue(item.substr(eq + 1));
    AppendCode(keyboard.KeySetCodes, code);
    AppendCode(keyboard.KeySetTranslations, translation);
  });
}

void DeleteItems(std::string_view keys) {
  ForEachItem(keys, [](std::string_view item) {
    const int index = KeySetFind(HexValue(item.substr(0, item.find('='))));
    if (index < 0) return;
    keyboard.KeySetCodes.erase(2 * static_cast<size_t>(index), 2);
    keyboard.KeySetTranslations.erase(2 * static_cast<size_t>(index), 2);
  });
}

}  // namespace

int KeySetFind(int16_t code) {
  const size_t entries =
      std::min(keyboard.KeySetCodes.size(), keyboard.KeySetTranslations.size()) / 2;
  for (size_t i = 0; i < entries; ++i) {
    if (CodeAt(keyboard.KeySetCodes, i) == code) return static_cast<int>(i);
  }
  return -1;
}

int16_t KeySetTranslation(int index) {
  if (index < 0 || 2 * static_cast<size_t>(index) + 1 >= keyboard.KeySetTranslations.size()) {
    return 0;
  }
  return CodeAt(keyboard.KeySetTranslations, static_cast<size_t>(index));
}

void SetKeySet(std::string_view operations, std::string_view keys) {
  for (char op : util::UpperCase(operations)) {
    switch (op) {
      case 'A': AddItems(keys); break;
      case 'D': DeleteItems(keys); break;
      case 'E':
        keyboard.KeySetCodes.clear();
        keyboard.KeySetTranslations.clear();
        break;
      case '+':
        if (!keyboard.KeySetSaved) {
          keyboard.SavedKeySetCodes = keyboard.KeySetCodes;
          keyboard.SavedKeySetTranslations = keyboard.KeySetTranslations;
          keyboard.KeySetSaved = true;
        }
        break;
      case '-':
        if (keyboard.KeySetSaved) {
          keyboard.KeySetCodes = keyboard.SavedKeySetCodes;
          keyboard.KeySetTranslations = keyboard.SavedKeySetTranslations;
          keyboard.KeySetSaved = false;
        }
        break;
      case 'H': keyboard.MaskCharacter = 88; break;
      case 'V': keyboard.MaskCharacter = 0; break;
      default: break;
    }
  }
}

void SetChoiceList(std::string_view list) { keyboard.ChoiceList = list; }

}  // namespace ui
