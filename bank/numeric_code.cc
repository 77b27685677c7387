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

  std::string symbols;
  int64_t carry = 0;
  size_t end = digits.size();
  while (end > 0) {
    const size_t m = end > lead ? 9 : lead;
    const size_t begin = end - m;
    int64_t v = carry + std::stoll(digits.substr(begin, m));
    std::string chunk;
    for (int k = 0; k < kSymbolsPerChunk[m]; ++k) {
      chunk.insert(chunk.begin(), kSymbols[static_cast<size_t>(v % kRadix)]);
      v /= kRadix;
    }
    carry = v;
    symbols.insert(0, chunk);
    end = begin;
  }
  // Only a short leftmost chunk of 2, 5 or 8 digits leaves a carry (0 to 2).
  while (carry > 0) {
    symbols.insert(symbols.begin(), kSymbols[static_cast<size_t>(carry % kRadix)]);
    carry /= kRadix;
  }
  return "QN" + std::to_string(lead) + symbols;
}

}  // namespace bank
