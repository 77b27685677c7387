// National account check digits inside the BBAN. Positions count from 1; in
// the arithmetic a character that is not a digit, or a position beyond the
// BBAN, counts as the digit 0.
#include <string>

#include "bank/iban.h"
#include "util/basics.h"

namespace bank {
namespace {

int DigitAt(std::string_view bban, int position) {
  if (position < 1 || static_cast<size_t>(position) > bban.size()) return 0;
  char c = bban[static_cast<size_t>(position) - 1];
  return c >= '0' && c <= '9' ? c - '0' : 0;
}

int NumberAt(std::string_view bban, int first, int last) {
  int value = 0;
  for (int p = first; p <= last; ++p) value = value * 10 + DigitAt(bban, p);
  return value;
}

// The ten CCC weights, two characters each.
constexpr std::string_view kCccWeights = " 1 2 4 8 510 9 7 3 6";

int CccWeight(int i) {  // i from 1 to 10
  return util::NumericValue32(kCccWeights.substr(static_cast<size_t>(2 * i - 2), 2));
}

// Digits first..first+count-1 weighted by the last count of the ten weights.
int CccControl(std::string_view ccc, int first, int count) {
  int sum = 0;
  for (int i = 0; i < count; ++i) sum += DigitAt(ccc, first + i) * CccWeight(10 - count + 1 + i);
  int r = sum % 11;
  return r < 2 ? r : 11 - r;
}

// Belgium: the first ten digits modulo 97 are the last two; a remainder of 0
// is written 97 (an account is never given 00, but 00 has always been taken
// here and stays accepted).
bool BelgianOk(std::string_view bban, int length) {
  int remainder = 0;
  for (int p = 1; p <= length - 2; ++p) remainder = (remainder * 10 + DigitAt(bban, p)) % 97;
  int check = NumberAt(bban, length - 1, length);
  return remainder == check || (remainder == 0 && check == 97);
}

bool SpanishOk(std::string_view bban) {
  std::string expected = SpanishControlDigits(bban);
  return expected[0] - '0' == DigitAt(bban, 9) && expected[1] - '0' == DigitAt(bban, 10);
}

// French RIB key and Portuguese NIB: letters of the account number stand for
// digits; the key is base minus the remainder of the number times 100.
int16_t KeyCheck(std::string_view bban, int length, int base, int16_t status) {
  std::string digits;
  for (int p = 1; p <= length; ++p) {
    if (static_cast<size_t>(p) > bban.size()) return -1;
    char c = util::UpperCaseChar(bban[static_cast<size_t>(p) - 1]);
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (c >= 'A' && c <= 'Z') {
      if (p < length - 12 || p > length - 2) return -1;
      int value = c <= 'I' ? c - 'A' + 1 : c <= 'R' ? c - 'J' + 1 : c - 'S' + 2;
      digits += static_cast<char>('0' + value);
    } else {
      return -1;
    }
  }
  if (status != 0) return status;
  int r = 0;
  for (int i = 0; i < length - 2; ++i) r = (r * 10 + (digits[static_cast<size_t>(i)] - '0')) % 97;
  r = r * 100 % 97;
  return base - r == NumberAt(bban, length - 1, length) ? status : -1;
}

// The Netherlands: the ten account digits weighted 10 down to 1 make a
// multiple of 11.
bool DutchOk(std::string_view bban) {
  int sum = 0;
  for (int i = 0; i < 10; ++i) sum += DigitAt(bban, 5 + i) * (10 - i);
  return sum % 11 == 0;
}

}  // namespace

std::string SpanishControlDigits(std::string_view ccc) {
  std::string digits(2, '0');
  digits[0] = static_cast<char>('0' + CccControl(ccc, 1, 8));
  digits[1] = static_cast<char>('0' + CccControl(ccc, 11, 10));
  return digits;
}

int16_t NationalCheck(std::string_view country, std::string_view bban, int length, int16_t status) {
  if (country == "BE") return BelgianOk(bban, length) ? status : -1;
  if (country == "ES") return SpanishOk(bban) ? status : -1;
  if (country == "NL") return DutchOk(bban) ? status : -1;
  if (country == "FR") return KeyCheck(bban, length, 97, status);
  if (country == "PT") return KeyCheck(bban, length, 98, status);
  return status;
}

}  // namespace bank
