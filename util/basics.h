// The small text rules every part of the program shares: the standard
// upper-casing, blank trimming and the numeric value of a text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace util {

// "a" to "z" and only the seven lower-case letters ä ö ü é ñ å ç become
// capitals; every other byte (à, í, ó, ú ...) stays as it is. Every
// case-insensitive comparison of names, keys and settings goes through this.
std::string UpperCase(std::string_view text);
char UpperCaseChar(char c);

// Trimming removes the space character (32) only; tabs are not blanks.
std::string_view TrimLeft(std::string_view text);
std::string_view TrimRight(std::string_view text);
std::string_view Trim(std::string_view text);

// Leading blanks skipped, an optional sign, digits with at most one decimal
// point; reading stops at the first other character. No number gives 0.
double NumericValue(std::string_view text);

// The numeric value cut toward zero into a 16-bit or 32-bit integer,
// saturating instead of wrapping when the text holds a larger number.
int16_t NumericValue16(std::string_view text);
int32_t NumericValue32(std::string_view text);

}  // namespace util
