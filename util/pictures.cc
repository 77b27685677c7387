// Number pictures: FormatNumber fills a picture such as ZZZ,ZZ9.99 from the
// right, FormatAmount builds such a picture for an amount in cents.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/decimal.h"
#include "util/numbers.h"

namespace util {
namespace {

constexpr int kBlankFill = 32;
constexpr int kStarFill = 42;
// Added to the fill character when the position before received no digit:
// a point after such a position is shown as the fill too.
constexpr int kNoDigit = 256;

bool IsOneOf(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

struct PictureShape {
  bool has_sign = false;
  int64_t dec_count = 0;  // placeholders and signs after the first point
  int64_t round_dec = 0;  // digit placeholders right after the first point
};

PictureShape Analyse(std::string_view picture) {
  PictureShape shape;
  shape.has_sign = picture.find_first_of("-+") != std::string_view::npos;
  size_t point = picture.find('.');
  if (point == std::string_view::npos) return shape;
  bool consecutive = true;
  for (size_t i = point + 1; i < picture.size(); ++i) {
    char c = picture[i];
    if (IsOneOf(c, "9Zz*-+")) ++shape.dec_count;
    if (consecutive && IsOneOf(c, "9Zz*")) {
      ++shape.round_dec;
    } else {
      consecutive = false;
    }
  }
  if (shape.dec_count == 0) shape.round_dec = 0;
  return shape;
}

// The value does not fit: the plain number instead, or all "!" when its sign
// and whole digits alone are wider than the picture.
std::string Overflow(const std::string& digits, int64_t round_dec, bool negative, size_t length) {
  const int64_t n = static_cast<int64_t>(digits.size());
  const int64_t whole_count = n > round_dec ? n - round_dec : 0;
  if (whole_count + (negative ? 1 : 0) > static_cast<int64_t>(length)) {
    return std::string(length, '!');
  }
  std::string t = negative ? "-" : "";
  t += digits.substr(0, static_cast<size_t>(whole_count));
  if (round_dec > 0) {
    std::string fraction = digits.substr(static_cast<size_t>(whole_count));
    if (static_cast<int64_t>(fraction.size()) < round_dec) {
      fraction.insert(0, static_cast<size_t>(round_dec) - fraction.size(), '0');
    }
    t += DecimalCharacter();
    t += fraction;
  }
  if (t.size() >= length) return t.substr(0, length);
  return std::string(length - t.size(), ' ') + t;
}

std::string LastChars(const std::string& text, size_t count) {
  return text.size() <= count ? text : text.substr(text.size() - count);
}

// The picture filled with a number given by its rounded digits (as
// RoundedDigits gives them for a number of decimals), its sign and whether
// it is exactly zero.
template <typename Rounded>
std::string Filled(std::string_view picture, const Rounded& rounded, bool negative, bool zero) {
  const size_t length = picture.size();
  const int64_t L = static_cast<int64_t>(length);
  PictureShape shape = Analyse(picture);
  int64_t dec_count = shape.dec_count;
  const int round_dec = shape.round_dec > INT32_MAX ? INT32_MAX : static_cast<int>(shape.round_dec);
  const std::string digits = rounded(round_dec);
  const int64_t n = static_cast<int64_t>(digits.size());
  const int64_t last_nonzero = static_cast<int64_t>(digits.find_last_not_of('0') + 1);  // 0: none
  const bool has_sign = shape.has_sign;

  std::string out(picture);
  // k counts from the left of digits: the digit for the current position.
  int64_t k = dec_count + n - shape.round_dec;
  int pending = 0;
  auto has_digit = [&] { return k >= 1 && k <= n; };
  auto digit = [&] { return digits[static_cast<size_t>(k - 1)]; };

  int64_t p = L;
  for (; p >= 1 && k > 0; --p) {
    char& c = out[static_cast<size_t>(p - 1)];
    const bool integer_part = p < L - dec_count;
    switch (c) {
      case '9':
        c = has_digit() ? digit() : '0';
        pending = 0;
        --k;
        break;
      case 'Z':
      case 'z':
        if (integer_part || k <= last_nonzero || dec_count == 0) {
          // Trailing zero decimals become blanks; everything else shows.
          const bool got = has_digit();
          c = got ? digit() : (integer_part ? ' ' : '0');
          pending = kBlankFill + (got ? 0 : kNoDigit);
        } else {
          c = ' ';
          pending = kBlankFill + kNoDigit;
        }
        --k;
        break;
      case '*': {
        const bool got = has_digit();
        c = got ? digit() : '*';
        pending = kStarFill + (got ? 0 : kNoDigit);
        --k;
        break;
      }
      case '.':
        c = pending >= kNoDigit ? static_cast<char>(pending % 256) : DecimalCharacter();
        dec_count = 0;
        break;
      case ',':
        c = ThousandsCharacter();
        break;
      case '-':
        if (!negative) c = ' ';
        if (dec_count > 0) --k;
        break;
      case '+':
        c = negative ? '-' : '+';
        if (dec_count > 0) --k;
        break;
      default:
        break;
    }
  }

  if (k != 0 || (negative && !has_sign && p == 0)) {
    return Overflow(digits, shape.round_dec, negative, length);
  }

  // No digits left: fill, and put a missing minus in the first free place.
  for (; p >= 1; --p) {
    char& c = out[static_cast<size_t>(p - 1)];
    const bool integer_part = p < L - dec_count;
    const bool minus_here = negative && !has_sign;
    switch (c) {
      case '9':
        if (minus_here && integer_part) {
          c = '-';
          negative = false;
        } else {
          c = '0';
        }
        pending = 0;
        break;
      case 'Z':
      case 'z':
        if (minus_here) {
          c = '-';
          negative = false;
        } else if (integer_part || zero) {
          c = ' ';
          pending = kBlankFill + kNoDigit;
        } else {
          c = '0';
          pending = kBlankFill;
        }
        break;
      case '*':
        if (minus_here) {
          c = '-';
          negative = false;
        } else {
          c = integer_part ? '*' : '0';
          pending = kStarFill;
        }
        break;
      case ',':
        if (minus_here) {
          c = '-';
          negative = false;
        } else {
          c = pending != 0 ? static_cast<char>(pending % 256) : ThousandsCharacter();
        }
        break;
      case '.':
        c = pending >= kNoDigit ? static_cast<char>(pending % 256) : DecimalCharacter();
        dec_count = 0;
        break;
      case '-':
        if (!negative) c = ' ';
        break;
      case '+':
        c = negative ? '-' : '+';
        break;
      default:
        break;
    }
  }
  // A picture with no place left for the minus (".99", "x99") would show a
  // negative amount as a positive one: the plain number instead.
  if (negative && !has_sign && !digits.empty()) {
    return Overflow(digits, shape.round_dec, negative, length);
  }
  return out;
}

}  // namespace

std::string FormatNumber(std::string_view picture, double value) {
  if (!std::isfinite(value)) return std::string(picture.size(), '!');
  return Filled(picture, [value](int decimals) { return RoundedDigits(value, decimals); },
                value < 0, value == 0);
}

std::string FormatDecimal(std::string_view picture, const Decimal& value) {
  if (!value.number) return std::string(picture.size(), '!');
  return Filled(picture, [&value](int decimals) { return DecimalRoundedDigits(value, decimals); },
                value.negative && !value.digits.empty(), value.digits.empty());
}

// The caller's picture gives hints only: a "9" before the point shows a zero
// amount, the "9"s after it the extra decimals, "," asks for grouping, "Z" or
// "*" the fill, "-" or "+" a sign (leading when it comes first). Euro amounts
// always get their two cents.
std::string FormatAmount(std::string_view picture, double cents) {
  const size_t length = picture.size();
  int64_t decimals = 0;
  bool after_point = false;
  bool show_zero = false;
  bool grouping = false;
  char fill = 'Z';
  char leading_sign = '\0';
  char trailing_sign = '\0';
  for (size_t i = 0; i < length; ++i) {
    const char c = picture[i];
    switch (c) {
      case '.':
        decimals = 1;
        after_point = true;
        break;
      case '9':
        if (after_point) {
          ++decimals;
        } else {
          show_zero = true;
        }
        break;
      case '-':
      case '+':
        (i == 0 ? leading_sign : trailing_sign) = c;
        break;
      case ',':
        grouping = true;
        break;
      case 'Z':
      case '*':
        fill = c;
        break;
      default:
        break;
    }
  }

  std::string w(length, fill);
  if (show_zero && length > 0) w.back() = '9';
  if (grouping) {
    // Inserting "," after q = L-3, L-7 ... characters and keeping the last L
    // each time leaves a comma at every fourth place from the right.
    for (size_t q = 4; q <= length; q += 4) w[length - q] = ',';
  }

  double v = cents / 100;
  if (number_format.DisplayCurrency == "P") {
    v *= static_cast<double>(kPesetaRate);
  } else {
    decimals = decimals == 0 ? 3 : decimals + 2;
  }
  if (decimals > 0) {
    const int64_t places = decimals - 1 < static_cast<int64_t>(length) ? decimals - 1
                                                                       : static_cast<int64_t>(length);
    w = LastChars(w + "." + std::string(static_cast<size_t>(places), show_zero ? '9' : 'Z'), length);
  }
  if (trailing_sign != '\0') w = LastChars(w + trailing_sign, length);
  if (leading_sign != '\0' && length > 0) w[0] = leading_sign;
  return FormatNumber(w, v);
}

}  // namespace util
