#include "platform/console/keys.h"

#include <array>
#include <cstdio>
#include <string>

namespace platform::console::internal {

namespace {

// Plain, Ctrl and Alt codes of the grey cursor keys, in Nav order. The keypad
// centre has no grey twin; it keeps its code for Alt (0x4C, a digit of
// composition).
constexpr std::array<uint8_t, 11> kNavPlain = {0x47, 0x48, 0x49, 0x4B, 0x4C, 0x4D,
                                               0x4F, 0x50, 0x51, 0x52, 0x53};
constexpr std::array<uint8_t, 11> kNavCtrl = {0x77, 0x8D, 0x84, 0x73, 0x8F, 0x74,
                                              0x75, 0x91, 0x76, 0x92, 0x93};
constexpr std::array<uint8_t, 11> kNavAlt = {0x97, 0x98, 0x99, 0x9B, 0x4C, 0x9D,
                                             0x9F, 0xA0, 0xA1, 0xA2, 0xA3};

// Letters by key position: "qwertyuiop" from 0x10, "asdfghjkl" from 0x1E,
// "zxcvbnm" from 0x2C.
constexpr std::array<uint8_t, 26> kLetterScan = {
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
    0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

KeyEvent Extended(uint8_t scan, uint8_t modifiers) {
  KeyEvent key;
  key.ch = 0;
  key.scan = scan;
  key.modifiers = modifiers;
  return key;
}

}  // namespace

uint8_t ScanOfCharacter(uint8_t c) {
  if (c >= 'a' && c <= 'z') return kLetterScan[c - 'a'];
  if (c >= 'A' && c <= 'Z') return kLetterScan[c - 'A'];
  if (c >= '1' && c <= '9') return static_cast<uint8_t>(0x02 + (c - '1'));
  switch (c) {
    case '0': case ')': return 0x0B;
    case '!': return 0x02;
    case '@': return 0x03;
    case '#': return 0x04;
    case '$': return 0x05;
    case '%': return 0x06;
    case '^': return 0x07;
    case '&': return 0x08;
    case '*': return 0x09;
    case '(': return 0x0A;
    case '-': case '_': return 0x0C;
    case '=': case '+': return 0x0D;
    case '[': case '{': return 0x1A;
    case ']': case '}': return 0x1B;
    case ';': case ':': return 0x27;
    case '\'': case '"': return 0x28;
    case '`': case '~': return 0x29;
    case '\\': case '|': return 0x2B;
    case ',': case '<': return 0x33;
    case '.': case '>': return 0x34;
    case '/': case '?': return 0x35;
    case ' ': return 0x39;
    case 8: case 127: return 0x0E;
    case 9: return 0x0F;
    case 10: case 13: return 0x1C;
    case 27: return 0x01;
    default: return 0;
  }
}

KeyEvent FunctionKey(int number, uint8_t modifiers) {
  if (number < 1 || number > 12) return Extended(0, modifiers);
  if (number <= 10) {
    uint8_t base = 0x3B;
    if (modifiers & kAnyAlt) {
      base = 0x68;
    } else if (modifiers & kCtrl) {
      base = 0x5E;
    } else if (modifiers & kShift) {
      base = 0x54;
    }
    return Extended(static_cast<uint8_t>(base + number - 1), modifiers);
  }
  uint8_t base = 0x85;  // F11 0x85, F12 0x86
  if (modifiers & kAnyAlt) {
    base = 0x8B;
  } else if (modifiers & kCtrl) {
    base = 0x89;
  } else if (modifiers & kShift) {
    base = 0x87;
  }
  return Extended(static_cast<uint8_t>(base + number - 11), modifiers);
}

KeyEvent NavKey(Nav key, uint8_t modifiers) {
  size_t i = static_cast<size_t>(key);
  if (modifiers & kCtrl) return Extended(kNavCtrl[i], modifiers);
  if (modifiers & kAnyAlt) return Extended(kNavAlt[i], modifiers);
  return Extended(kNavPlain[i], modifiers);
}

KeyEvent KeypadKey(Nav key, uint8_t modifiers) {
  return Extended(kNavPlain[static_cast<size_t>(key)], modifiers);
}

KeyEvent ShiftTab(uint8_t modifiers) { return Extended(0x0F, modifiers | kShift); }

KeyEvent CharKey(uint8_t ch, uint8_t modifiers) {
  KeyEvent key;
  key.modifiers = modifiers;
  if (ch == 127) ch = 8;   // the terminal's Backspace
  if (ch == 10) ch = 13;   // Ctrl+J comes from Enter on some terminals
  const bool letter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
  if (letter && ch <= 'Z') key.modifiers |= kShift;
  if ((modifiers & kAnyAlt) && ch != 8 && ch != 9 && ch != 13 && ch != 27) {
    // Alt with a key of the main block: the BIOS gives no character.
    if (letter) return Extended(ScanOfCharacter(ch), key.modifiers);
    if (ch >= '1' && ch <= '9') return Extended(static_cast<uint8_t>(0x78 + ch - '1'), modifiers);
    if (ch == '0') return Extended(0x81, modifiers);
    if (ch == '-') return Extended(0x82, modifiers);
    if (ch == '=') return Extended(0x83, modifiers);
    // The other keys of the main block give their own scan code.
    if (ch > ' ' && ch < 127 && ScanOfCharacter(ch) != 0) return Extended(ScanOfCharacter(ch), modifiers);
  }
  if ((modifiers & kCtrl) && letter) {
    key.ch = static_cast<uint8_t>(ch & 0x1F);
    key.scan = ScanOfCharacter(ch);
    return key;
  }
  key.ch = ch;
  key.scan = ch < 128 ? ScanOfCharacter(ch) : 0;
  if (ch >= 1 && ch <= 26 && ch != 8 && ch != 9 && ch != 13) {
    // A control character arrives as Ctrl with its letter.
    key.modifiers |= kCtrl;
    key.scan = ScanOfCharacter(static_cast<uint8_t>('a' + ch - 1));
  }
  return key;
}

}  // namespace platform::console::internal

namespace platform::console {

int16_t KeyCode(const KeyEvent& key) {
  if (key.ch != 0) return static_cast<int16_t>(key.ch);
  return static_cast<int16_t>(static_cast<uint16_t>(key.scan << 8));
}

namespace {

// Names of the extended codes a program sees; the rest are shown by number.
const char* ExtendedName(uint8_t scan) {
  switch (scan) {
    case 0x0F: return "Shift+Tab";
    case 0x47: return "Home";
    case 0x48: return "Up";
    case 0x49: return "PgUp";
    case 0x4B: return "Left";
    case 0x4C: return "Center";
    case 0x4D: return "Right";
    case 0x4F: return "End";
    case 0x50: return "Down";
    case 0x51: return "PgDn";
    case 0x52: return "Insert";
    case 0x53: return "Delete";
    case 0x73: return "Ctrl+Left";
    case 0x74: return "Ctrl+Right";
    case 0x75: return "Ctrl+End";
    case 0x76: return "Ctrl+PgDn";
    case 0x77: return "Ctrl+Home";
    case 0x84: return "Ctrl+PgUp";
    case 0x8D: return "Ctrl+Up";
    case 0x8F: return "Ctrl+Center";
    case 0x91: return "Ctrl+Down";
    case 0x92: return "Ctrl+Insert";
    case 0x93: return "Ctrl+Delete";
    case 0x97: return "Alt+Home";
    case 0x98: return "Alt+Up";
    case 0x99: return "Alt+PgUp";
    case 0x9B: return "Alt+Left";
    case 0x9D: return "Alt+Right";
    case 0x9F: return "Alt+End";
    case 0xA0: return "Alt+Down";
    case 0xA1: return "Alt+PgDn";
    case 0xA2: return "Alt+Insert";
    case 0xA3: return "Alt+Delete";
    case 0x82: return "Alt+-";
    case 0x83: return "Alt+=";
    default: return nullptr;
  }
}

std::string FunctionName(uint8_t scan) {
  struct Range { uint8_t first; int count; int number; const char* prefix; };
  static constexpr Range kRanges[] = {
      {0x3B, 10, 1, ""},       {0x54, 10, 1, "Shift+"}, {0x5E, 10, 1, "Ctrl+"},
      {0x68, 10, 1, "Alt+"},   {0x85, 2, 11, ""},       {0x87, 2, 11, "Shift+"},
      {0x89, 2, 11, "Ctrl+"},  {0x8B, 2, 11, "Alt+"},
  };
  for (const Range& r : kRanges) {
    if (scan >= r.first && scan < r.first + r.count) {
      return std::string(r.prefix) + "F" + std::to_string(r.number + scan - r.first);
    }
  }
  return {};
}

}  // namespace

std::string KeyName(const KeyEvent& key) {
  if (key.ch == 0) {
    std::string name = FunctionName(key.scan);
    if (!name.empty()) return name;
    if (const char* n = ExtendedName(key.scan)) {
      name = n;
      // The plain codes of the cursor block keep the modifier they came with
      // (Shift+Up, and Alt with the keypad keys of a composition).
      if (key.scan >= 0x47 && key.scan <= 0x53) {
        if (key.modifiers & internal::kAnyAlt) name = "Alt+" + name;
        if (key.modifiers & kShift) name = "Shift+" + name;
      }
      return name;
    }
    if (key.scan >= 0x78 && key.scan <= 0x81) {
      return "Alt+" + std::to_string((key.scan - 0x78 + 1) % 10);
    }
    for (char c = 'A'; c <= 'Z'; ++c) {
      if (internal::ScanOfCharacter(static_cast<uint8_t>(c)) == key.scan) {
        return std::string("Alt+") + c;
      }
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "scan %02x", key.scan);
    return buffer;
  }
  switch (key.ch) {
    case 8: return "Backspace";
    case 9: return "Tab";
    case 13: return "Enter";
    case 27: return "Esc";
    case 32: return "Space";
    default: break;
  }
  if (key.ch < 27) return std::string("Ctrl+") + static_cast<char>('A' + key.ch - 1);
  if (key.ch < 32) return std::string("Ctrl+") + static_cast<char>('@' + key.ch);
  return std::string(1, static_cast<char>(key.ch));
}

}  // namespace platform::console
