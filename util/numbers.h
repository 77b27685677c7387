// Numbers on the screen, in reports and in record files: pictures such as
// ZZZ,ZZ9.99, amounts in euro cents shown in the display currency, fixed-width
// record fields such as 12.2V, and zero-padded whole numbers. Also the two
// separator characters of the installation and the currency selection.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace util {

// The installation's separators and the currencies of the session: one set
// per process, read by every number shown. Back to start by
// ResetNumberAndTextState.
struct NumberFormat {
  // The decimal and thousands characters. '\0' means not loaded: numbers are
  // then shown with "'" and "." (env::LoadSeparators reads the installation's
  // own from its settings file, once per run).
  char DecimalChar{};
  char ThousandsChar{};

  // One letter each ("E" euros, "P" pesetas) or empty; set by SelectCurrency.
  std::string MainCurrency{};
  std::string AltCurrency{};
  std::string DisplayCurrency{};
};
extern NumberFormat number_format;

// The characters numbers are shown with now.
char DecimalCharacter();
char ThousandsCharacter();
// Back to "not loaded", so that the next env::LoadSeparators reads the
// settings file again.
void ForgetSeparators();

// Pesetas per euro, as the single-precision constant amounts are shown with.
inline constexpr float kPesetaRate = 166.386f;

// Lays value out in picture: 9 digit, Z/z zero-suppressed digit, * asterisk
// fill, . decimal point, , thousands separator, - and + sign positions,
// anything else literal. Rounds half to even. The result has the picture's
// length, except when the value does not fit: then the plain number
// right-aligned or cut to the picture's length, or all "!" when even its
// integer digits do not fit. The plain number also stands in when a negative
// value finds no place for its minus (".99"). NaN and infinities show all "!".
std::string FormatNumber(std::string_view picture, double value);

// An amount in euro cents in the display currency; the picture only hints at
// fill, grouping, decimals and sign (see the working picture in the .cc).
std::string FormatAmount(std::string_view picture, double cents);

// "a,X" sets the main (and display) currency to X, "<other>,X" the
// alternative one; "P" shows the alternative currency, anything else the main.
void SelectCurrency(std::string_view selection);
// The main currency for a selection starting with "A"/"a", else the alternative
// one (the main one when there is no alternative).
std::string CurrencyFor(std::string_view selection);

// A fixed-width record field: field_width = [integer width][.decimal width] and the
// letters V (no decimal point written), Z (0 for an empty integer part),
// S ("+" for values >= 0), N ("N" for negatives), M ("N" or blank), any case.
// With a width the sign takes the first digit position; the integer part is
// cut to its last digits when it is wider than the width. Values that are not
// finite numbers are written as 0. Without a width (""): every decimal the
// number has (up to 15 significant digits), no padding, and 0 as empty.
std::string FormatField(double value, std::string_view field_width);

// The last width digits of the value with leading zeros, without its sign.
// width <= 0 gives an empty text.
std::string ZeroPad(double value, int16_t width);

// -1 when text is not acceptable as a number typed into a field with that
// picture (signs only where the picture has one and only first, one point
// only where the picture has one, digits and blanks), else 0.
int16_t NumberTextInvalid(std::string_view text, std::string_view picture);

// Shared by the formatters: the decimal digits of |value| x 10^decimals
// rounded half to even, without leading zeros ("" for 0; NaN and infinities
// give "" too). The product is taken in double precision as the pictures
// always have; past 22 decimals, or when it would overflow, the exact binary
// value is expanded instead.
std::string RoundedDigits(double value, int decimals);

}  // namespace util
