// Record fields, zero padding, the typed-number check and the digit helpers
// the pictures share.
#include "util/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "util/basics.h"

namespace util {
namespace {

// Field widths beyond this are taken as this: no record is that wide, and a
// garbage width must not ask for gigabytes.
constexpr int kMaxFieldWidth = 9999;
// Past this many fraction digits every double is exact: only zeros follow.
constexpr int kExactFractionDigits = 1100;
// The largest power of ten a double holds exactly; beyond it the scaled
// product would invent digits.
constexpr int kExactPowerOfTen = 22;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string StripLeadingZeros(std::string digits) {
  size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? std::string() : digits.substr(first);
}

// The exact decimal digits of a whole-numbered double >= 0.
std::string WholeDigits(double whole) {
  std::array<char, 400> buf{};
  auto res = std::to_chars(buf.data(), buf.data() + buf.size(), whole, std::chars_format::fixed, 0);
  return StripLeadingZeros(std::string(buf.data(), res.ptr));
}

// |value| x 10^decimals when that product is not a plain double product: the
// binary value's exact expansion, rounded to that many decimals.
std::string ExactScaledDigits(double magnitude, int decimals) {
  int precision = decimals < kExactFractionDigits ? decimals : kExactFractionDigits;
  std::string buf(400 + static_cast<size_t>(precision), '\0');
  auto res = std::to_chars(buf.data(), buf.data() + buf.size(), magnitude, std::chars_format::fixed,
                           precision);
  std::string text(buf.data(), res.ptr);
  std::string digits;
  digits.reserve(text.size() + static_cast<size_t>(decimals - precision));
  for (char c : text) {
    if (IsDigit(c)) digits += c;
  }
  digits.append(static_cast<size_t>(decimals - precision), '0');
  return StripLeadingZeros(std::move(digits));
}

// The plain decimal text of a magnitude with up to 15 significant digits:
// whole part ("" below 1) and fraction digits ("" for whole numbers).
struct PlainDecimal {
  std::string whole;
  std::string fraction;
};

PlainDecimal ShortDecimal(double magnitude) {
  PlainDecimal out;
  if (!(magnitude > 0) || !std::isfinite(magnitude)) return out;
  std::array<char, 64> buf{};
  auto res = std::to_chars(buf.data(), buf.data() + buf.size(), magnitude,
                           std::chars_format::scientific, 14);
  std::string text(buf.data(), res.ptr);  // d.dddddddddddddde[+-]xx
  size_t e = text.find('e');
  std::string mantissa;
  for (size_t i = 0; i < e; ++i) {
    if (IsDigit(text[i])) mantissa += text[i];
  }
  while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();
  int exponent = std::atoi(text.c_str() + e + 1);
  const int whole_count = exponent + 1;  // digits before the point
  const int n = static_cast<int>(mantissa.size());
  if (whole_count <= 0) {
    out.fraction = std::string(static_cast<size_t>(-whole_count), '0') + mantissa;
  } else if (whole_count >= n) {
    out.whole = mantissa + std::string(static_cast<size_t>(whole_count - n), '0');
  } else {
    out.whole = mantissa.substr(0, static_cast<size_t>(whole_count));
    out.fraction = mantissa.substr(static_cast<size_t>(whole_count));
  }
  return out;
}

std::string LastChars(const std::string& text, size_t count) {
  return text.size() <= count ? text : text.substr(text.size() - count);
}

struct FieldSpec {
  int integer_width = -1;  // -1: not given
  int decimal_width = 0;
  bool point = false;
  bool implied_point = false;  // V
  bool zero_integer = false;   // Z
  bool plus_sign = false;      // S
  bool n_negative = false;     // N
  bool n_or_blank = false;     // M
};

void AddDigit(int& width, char c) {
  int w = (width < 0 ? 0 : width) * 10 + (c - '0');
  width = w > kMaxFieldWidth ? kMaxFieldWidth : w;
}

FieldSpec ReadFieldSpec(std::string_view field_width) {
  FieldSpec f;
  for (char c : field_width) {
    if (IsDigit(c)) {
      AddDigit(f.point ? f.decimal_width : f.integer_width, c);
      continue;
    }
    switch (UpperCaseChar(c)) {
      case '.': f.point = true; break;
      case 'V': f.implied_point = true; break;
      case 'Z': f.zero_integer = true; break;
      case 'S': f.plus_sign = true; break;
      case 'N': f.n_negative = true; break;
      case 'M': f.n_or_blank = true; break;
      default: break;
    }
  }
  return f;
}

char FieldSign(const FieldSpec& f, double value) {
  if (f.plus_sign && value >= 0) return '+';
  if (f.n_negative && value < 0) return 'N';
  if (f.n_or_blank) return value < 0 ? 'N' : ' ';
  if (value < 0) return '-';
  return '\0';
}

}  // namespace

std::string RoundedDigits(double value, int decimals) {
  double magnitude = std::fabs(value);
  if (!std::isfinite(magnitude) || magnitude == 0) return std::string();
  if (decimals < 0) decimals = 0;
  if (decimals > kExactPowerOfTen) return ExactScaledDigits(magnitude, decimals);
  double scale = std::pow(10.0, decimals);
  double s = magnitude * scale;
  if (!std::isfinite(s)) return ExactScaledDigits(magnitude, decimals);
  double whole = std::trunc(s);
  double fraction = s - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  return whole == 0 ? std::string() : WholeDigits(whole);
}

std::string FormatField(double value, std::string_view field_width) {
  if (!std::isfinite(value)) value = 0;
  const FieldSpec f = ReadFieldSpec(field_width);
  std::string digits;
  size_t decimals = 0;
  if (f.integer_width >= 0 || f.point) {
    digits = RoundedDigits(value, f.decimal_width);
    decimals = static_cast<size_t>(f.decimal_width);
  } else {
    PlainDecimal plain = ShortDecimal(std::fabs(value));
    digits = StripLeadingZeros(plain.whole + plain.fraction);
    decimals = plain.fraction.size();
  }
  if (digits.size() < decimals) digits.insert(0, decimals - digits.size(), '0');
  std::string integer_part = digits.substr(0, digits.size() - decimals);
  std::string decimal_part = digits.substr(digits.size() - decimals);
  if (!f.implied_point && !decimal_part.empty()) decimal_part.insert(0, 1, '.');
  if (f.zero_integer && integer_part.empty()) integer_part.push_back('0');
  const size_t width = f.integer_width > 0 ? static_cast<size_t>(f.integer_width) : 0;
  if (width > 0) integer_part = LastChars(std::string(width, '0') + integer_part, width);
  if (char sign = FieldSign(f, value); sign != '\0') {
    if (width > 0) {
      integer_part[0] = sign;
    } else {
      integer_part.insert(0, 1, sign);
    }
  }
  return integer_part + decimal_part;
}

std::string ZeroPad(double value, int16_t width) {
  if (width <= 0) return std::string();
  if (!std::isfinite(value)) value = 0;
  PlainDecimal plain = ShortDecimal(std::fabs(value));
  std::string text = plain.whole.empty() ? "0" : plain.whole;
  if (!plain.fraction.empty()) text += "." + plain.fraction;
  const size_t w = static_cast<size_t>(width);
  return LastChars(std::string(w, '0') + text, w);
}

int16_t NumberTextInvalid(std::string_view text, std::string_view picture) {
  const bool point_in_picture = picture.find('.') != std::string_view::npos;
  bool sign_allowed = picture.find_first_of("-+") != std::string_view::npos;
  bool point_allowed = point_in_picture;
  bool invalid = false;
  for (char c : text) {
    if (c == '+' || c == '-') {
      if (!sign_allowed) invalid = true;
      sign_allowed = false;
    } else if (c == '.') {
      if (!point_allowed) invalid = true;
      point_allowed = false;
      sign_allowed = false;
    } else if (IsDigit(c)) {
      sign_allowed = false;
    } else if (c != ' ') {
      invalid = true;
    }
  }
  return invalid ? -1 : 0;
}

}  // namespace util
