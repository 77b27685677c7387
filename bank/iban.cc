#include <string>

#include "bank/iban.h"
#include "util/basics.h"

namespace bank {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// From position 5 on, up to the last non-blank, every character that is not
// a letter or a digit is taken out; the text keeps its length, blanks
// filling in at the end. The check digits and country are left alone.
void RemoveSeparators(std::string& iban) {
  std::string_view kept_part = util::TrimRight(iban);
  if (kept_part.size() <= 4) return;
  size_t scan_end = kept_part.size();
  size_t out = 4;
  for (size_t in = 4; in < scan_end; ++in) {
    if (IsDigit(iban[in]) || IsLetter(iban[in])) iban[out++] = iban[in];
  }
  for (; out < scan_end; ++out) iban[out] = ' ';
}

}  // namespace

int IbanCheckDigits(std::string_view bban, std::string_view head) {
  std::string digits;
  digits.reserve(2 * (bban.size() + head.size()));
  auto add = [&](char c) {
    if (IsLetter(c)) {
      digits += std::to_string((static_cast<unsigned char>(c) & 31) + 9);
    } else {
      digits += IsDigit(c) ? c : '0';
    }
  };
  for (char c : bban) add(c);
  for (char c : head.substr(0, 4)) add(c);
  for (size_t i = head.size(); i < 4; ++i) add('0');
  // The last two digits are the check digits themselves.
  int r = 0;
  for (size_t i = 0; i + 2 < digits.size(); ++i) r = (10 * r + (digits[i] - '0')) % 97;
  r = r * 100 % 97;
  return 98 - r;
}

int16_t CheckIban(std::string& iban) {
  const std::string country = util::UpperCase(std::string_view(iban).substr(0, 2));
  const IbanLayout* layout = FindIbanLayout(country);
  if (layout == nullptr) return kIbanUnknownCountry;
  if (iban.size() < 4 || !IsDigit(iban[2]) || !IsDigit(iban[3])) return kIbanBadCheckDigits;

  RemoveSeparators(iban);
  const std::string bban(util::TrimRight(std::string_view(iban).substr(4)));
  // No account at all, or an account of zeros, is left as it stands.
  if (bban.find_first_not_of('0') == std::string::npos) return kIbanValid;

  int16_t status = MatchesLayout(layout->bban, bban) ? kIbanValid : kIbanBadLayout;
  status = NationalCheck(country, bban, LayoutLength(layout->bban), status);

  const int expected = IbanCheckDigits(bban, std::string_view(iban).substr(0, 4));
  if (iban[2] == '0' && iban[3] == '0') {
    iban[2] = static_cast<char>('0' + expected / 10);
    iban[3] = static_cast<char>('0' + expected % 10);
  } else if (expected != (iban[2] - '0') * 10 + (iban[3] - '0')) {
    status = kIbanBadCheckDigits;
  }
  return status;
}

}  // namespace bank
