// International bank account numbers (IBAN) of the SEPA countries: layout of
// the national part, the national account check digits of Belgium, Spain,
// France, the Netherlands and Portugal, the ISO 7064 mod 97-10 check, and
// completion of "00" check digits. Also the short code the remittance files
// use for identifiers made of digits.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace bank {

// The national part (BBAN) of a country's IBAN: three-character groups of a
// two-digit count and a type letter, n digits, a letters, x either.
struct IbanLayout {
  std::string_view country;  // two capitals
  std::string_view bban;     // e.g. "04n04n02n10n"
};

extern const std::array<IbanLayout, 35> IbanLayoutTable;

// The layout of a country code (capitals), or nullptr for a country the
// table lacks.
const IbanLayout* FindIbanLayout(std::string_view country);
// The sum of the counts of a layout.
int LayoutLength(std::string_view layout);
// Whether bban consists of exactly the groups of layout, in order. Letters
// are the plain ASCII ones, either case.
bool MatchesLayout(std::string_view layout, std::string_view bban);

// Result codes of CheckIban.
inline constexpr int16_t kIbanValid = 0;
inline constexpr int16_t kIbanUnknownCountry = 1;
inline constexpr int16_t kIbanBadCheckDigits = 2;
inline constexpr int16_t kIbanBadLayout = 3;
inline constexpr int16_t kIbanBadNationalCheck = -1;

// Validates the IBAN in place: separators after the check digits are
// removed (the text keeps its length, blanks taking their place at the end)
// and check digits given as "00" are replaced by the right ones, whatever
// the result. The result is the last check that failed: 2 (IBAN check
// digits) over -1 (national check digits) over 3 (layout); 1 when the
// country is unknown. An empty or all-zero BBAN is valid as it stands.
int16_t CheckIban(std::string& iban);

// ISO 7064 mod 97-10 check digits, 2 to 98, of bban followed by head (the
// country code and two check digits, which are not used). Letters of either
// case count as 10 to 35; any other character counts as the digit 0.
int IbanCheckDigits(std::string_view bban, std::string_view head);

// The national check of a country code (capitals) on a BBAN whose layout
// has length characters: the status with -1 when the check fails, the
// status unchanged when it passes or the country has none. The French and
// Portuguese keys are only computed while status is still 0.
int16_t NationalCheck(std::string_view country, std::string_view bban, int length, int16_t status);

// The two control digits of a Spanish account code (bank, branch, control
// digits, account number: 4, 4, 2 and 10 digits); a character that is not a
// digit, or one missing, counts as 0.
std::string SpanishControlDigits(std::string_view ccc);

// "QN", the number of digits of the leftmost nine-digit chunk of the digits
// of text, then the digits in base 35 chunk by chunk. Never fails.
std::string CompactNumericCode(std::string text);

}  // namespace bank
