// The key scripts of the headless back end: one key per line, by name.
#include <cctype>
#include <string>

#include "platform/console/console.h"
#include "platform/console/keys.h"
#include "util/cp850.h"

namespace platform::console {

namespace {

using internal::Nav;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

InputEvent KeyInput(const KeyEvent& key) {
  InputEvent event;
  event.kind = InputEvent::kKey;
  event.key = key;
  return event;
}

bool ParseNav(const std::string& name, Nav* nav) {
  static const struct { const char* name; Nav nav; } kNames[] = {
      {"home", Nav::kHome},   {"up", Nav::kUp},         {"pgup", Nav::kPgUp},
      {"ppage", Nav::kPgUp},  {"left", Nav::kLeft},     {"right", Nav::kRight},
      {"end", Nav::kEnd},     {"down", Nav::kDown},     {"pgdn", Nav::kPgDn},
      {"npage", Nav::kPgDn},  {"insert", Nav::kInsert}, {"ic", Nav::kInsert},
      {"delete", Nav::kDelete}, {"dc", Nav::kDelete},
  };
  for (const auto& n : kNames) {
    if (name == n.name) {
      *nav = n.nav;
      return true;
    }
  }
  return false;
}

// "x,y" of two positive numbers of at most 3 digits.
bool ParseClick(std::string_view text, int* row, int* column) {
  size_t comma = text.find(',');
  if (comma == std::string_view::npos) return false;
  auto number = [](std::string_view digits, int* out) {
    digits = TrimBlanks(digits);
    if (digits.empty() || digits.size() > 3) return false;
    int value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    *out = value;
    return value >= 1;
  };
  return number(text.substr(0, comma), row) && number(text.substr(comma + 1), column);
}

// One named key (prefixes already taken off); false when unknown.
bool NamedKey(const std::string& name, uint8_t modifiers, KeyEvent* key) {
  Nav nav;
  if (name.size() >= 2 && name[0] == 'f' && name.size() <= 3 &&
      std::isdigit(static_cast<unsigned char>(name[1])) &&
      (name.size() == 2 || std::isdigit(static_cast<unsigned char>(name[2])))) {
    int n = std::stoi(name.substr(1));
    if (n < 1 || n > 12) return false;
    *key = internal::FunctionKey(n, modifiers);
    return true;
  }
  if (ParseNav(name, &nav)) {
    *key = internal::NavKey(nav, modifiers);
    return true;
  }
  if (name.size() == 3 && name.compare(0, 2, "kp") == 0 && name[2] >= '0' && name[2] <= '9') {
    static constexpr Nav kDigits[] = {Nav::kInsert, Nav::kEnd,  Nav::kDown, Nav::kPgDn,
                                      Nav::kLeft,   Nav::kCenter, Nav::kRight, Nav::kHome,
                                      Nav::kUp,     Nav::kPgUp};
    *key = internal::KeypadKey(kDigits[name[2] - '0'], modifiers);
    return true;
  }
  if (name == "tab" && (modifiers & kShift)) {
    *key = internal::ShiftTab(modifiers);
    return true;
  }
  if (name == "btab") {
    *key = internal::ShiftTab(modifiers);
    return true;
  }
  static const struct { const char* name; uint8_t ch; } kChars[] = {
      {"enter", 13}, {"esc", 27}, {"escape", 27}, {"tab", 9},
      {"bspace", 8}, {"backspace", 8}, {"space", 32},
  };
  for (const auto& c : kChars) {
    if (name == c.name) {
      *key = internal::CharKey(c.ch, modifiers);
      return true;
    }
  }
  return false;
}

// A line that names one key, with any of the prefixes S-, C-, M-.
bool ParseKeyLine(std::string_view line, KeyEvent* key) {
  uint8_t modifiers = 0;
  while (line.size() > 2 && line[1] == '-') {
    char p = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
    if (p == 'S') {
      modifiers |= kShift;
    } else if (p == 'C') {
      modifiers |= kCtrl;
    } else if (p == 'M') {
      modifiers |= kLeftAlt;
    } else {
      break;
    }
    line.remove_prefix(2);
  }
  std::string chars = util::Utf8ToCp850(line);
  if (chars.size() == 1 && util::Cp850ToUtf8(chars) == line) {
    // A single character: C-c, M-x, "a", "Ñ".
    uint8_t c = static_cast<uint8_t>(chars[0]);
    // Ctrl makes a character only with the letters A to Z.
    if ((modifiers & kCtrl) && (c >= 128 || !std::isalpha(c))) return false;
    *key = internal::CharKey(c, modifiers);
    return true;
  }
  return NamedKey(Lower(line), modifiers, key);
}

}  // namespace

bool ParseKeyScript(std::string_view script, std::vector<InputEvent>* events,
                    std::string* error) {
  std::vector<InputEvent> parsed;
  int number = 0;
  auto fail = [&](std::string_view why, std::string_view line) {
    if (error) {
      *error = "line " + std::to_string(number) + ": " + std::string(why) + " \"" +
               std::string(line) + "\"";
    }
    return false;
  };
  while (!script.empty()) {
    size_t end = script.find('\n');
    std::string_view raw = script.substr(0, end);
    script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::string_view lead = raw;
    while (!lead.empty() && (lead.front() == ' ' || lead.front() == '\t')) lead.remove_prefix(1);
    if (lead.size() >= 5 && Lower(lead.substr(0, 5)) == "text:") {
      std::string_view text = lead.substr(5);
      std::string bytes = util::Utf8ToCp850(text);
      if (util::Cp850ToUtf8(bytes) != text) return fail("text not in code page 850", raw);
      for (char c : bytes) {
        if (c == 0) return fail("text not in code page 850", raw);
        parsed.push_back(KeyInput(internal::CharKey(static_cast<uint8_t>(c), 0)));
      }
      continue;
    }
    std::string_view line = TrimBlanks(raw);
    if (line.empty() || line.front() == '#') continue;
    size_t colon = line.find(':');
    if (colon != std::string_view::npos && colon > 0 && line.size() > colon + 1) {
      std::string what = Lower(line.substr(0, colon));
      uint8_t button = what == "click" ? 1 : what == "rclick" ? 2 : what == "mclick" ? 4 : 0;
      if (button != 0) {
        InputEvent event;
        event.kind = InputEvent::kMouse;
        if (!ParseClick(line.substr(colon + 1), &event.mouse.row, &event.mouse.column)) {
          return fail("bad click position", line);
        }
        event.mouse.row -= 1;
        event.mouse.column -= 1;
        event.mouse.buttons = button;
        parsed.push_back(event);
        continue;
      }
    }
    KeyEvent key;
    if (!ParseKeyLine(line, &key)) return fail("unknown key", line);
    parsed.push_back(KeyInput(key));
  }
  if (events) events->insert(events->end(), parsed.begin(), parsed.end());
  return true;
}

}  // namespace platform::console
