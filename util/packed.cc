// Packed digits: two decimal digits per byte, the byte being 128 + 0..99.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/basics.h"
#include "util/dates.h"

namespace util {
namespace {

int DigitValue(char c) { return c >= '0' && c <= '9' ? c - '0' : 0; }

bool AllZeroDigits(std::string_view digits) {
  return digits.find_first_not_of('0') == std::string_view::npos;
}

}  // namespace

std::string PackDigits(std::string_view digits) {
  const size_t n = digits.size();
  std::string_view trimmed = Trim(digits);
  std::string t(n - trimmed.size(), '0');
  t += trimmed;
  std::string packed;
  packed.reserve((n + 1) / 2);
  for (size_t i = 0; i < n; i += 2) {
    int value = 10 * DigitValue(t[i]) + (i + 1 < n ? DigitValue(t[i + 1]) : 0);
    packed += static_cast<char>(128 + value);
  }
  return packed;
}

std::string UnpackDigits(std::string_view packed) {
  std::string digits;
  digits.reserve(packed.size() * 2);
  for (char byte : packed) {
    int value = (static_cast<unsigned char>(byte) & 127) % 100;
    digits += static_cast<char>('0' + value / 10);
    digits += static_cast<char>('0' + value % 10);
  }
  return digits;
}

// Groups of four from the right, each written without its leading zeros;
// the leftmost group takes what is left (up to seven digits). Zero groups at
// the right end are dropped.
std::string PackedNumberText(std::string_view packed) {
  const std::string digits = UnpackDigits(packed);
  // Blanked only when there is nothing but zeros: "0.0.5678" must not vanish
  // just because its first groups read as the number 0.
  if (AllZeroDigits(digits)) return std::string();
  std::vector<std::string> groups;  // right to left
  bool trailing = true;
  int64_t end = static_cast<int64_t>(digits.size()) + 1;
  for (int64_t g = end - 4; g >= 1; g -= 4) {
    if (g < 4) g = 1;
    std::string_view group =
        std::string_view(digits).substr(static_cast<size_t>(g - 1), static_cast<size_t>(end - g));
    const bool zero = AllZeroDigits(group);
    end = g;
    if (trailing && zero && g > 1) continue;
    trailing = false;
    std::string shown = g > 1 ? "." : "";
    shown += zero ? std::string_view("0") : group.substr(group.find_first_not_of('0'));
    groups.push_back(std::move(shown));
  }
  // Too short for a group of four: the digits as they are.
  std::string text = digits.substr(0, static_cast<size_t>(end - 1));
  for (auto it = groups.rbegin(); it != groups.rend(); ++it) text += *it;
  return text;
}

}  // namespace util
