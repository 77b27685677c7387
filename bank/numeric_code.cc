#include <cstdint>
#include <string>

#include "bank/iban.h"

namespace bank {
namespace {

// 35 symbols: W is left out.
constexpr std::string_view kSymbols = "ABCDEFGHIJKLMNOPQRSTUVXYZ0123456789";
constexpr int64_t kRadix = 35;
// Base-35 symbols per chunk of m digits: m * ln 10 / ln 35, rounded.
constexpr int kSymbolsPerChunk[10] = {0, 1, 1, 2, 3, 3, 4, 5, 5, 6};

}  // namespace

std::string CompactNumericCode(std::string text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  const size_t lead = digits.empty() ? 0 : (digits.size() - 1) % 9 + 1;

  // Chunks come right to left; their symbols are gathered backwards and
  // turned round once, so a long text costs time in proportion to its length.
  std::string reversed;
  reversed.reserve(digits.size() * 2 / 3 + 8);
  int64_t carry = 0;
  size_t end = digits.size();
  while (end > 0) {
    const size_t m = end > lead ? 9 : lead;
    const size_t begin = end - m;
    int64_t v = carry + std::stoll(digits.substr(begin, m));
    for (int k = 0; k < kSymbolsPerChunk[m]; ++k) {
      reversed += kSymbols[static_cast<size_t>(v % kRadix)];
      v /= kRadix;
    }
    carry = v;
    end = begin;
  }
  // Only a short leftmost chunk of 2, 5 or 8 digits leaves a carry (0 to 2).
  while (carry > 0) {
    reversed += kSymbols[static_cast<size_t>(carry % kRadix)];
    carry /= kRadix;
  }
  const std::string symbols(reversed.rbegin(), reversed.rend());
  return "QN" + std::to_string(lead) + symbols;
}

}  // namespace bank
