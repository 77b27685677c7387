// Code page 850, the byte set of every text inside the program.
//
// Source files are UTF-8; a literal becomes program text through Cp850():
//   ShowMessage(util::Cp850("LES UNITATS ORIGEN I DESTÍ NO PODEN SER LA MATEIXA"));
// This is the one place where the conversion lives.
#pragma once

#include <string>
#include <string_view>

namespace util {

// UTF-8 to code page 850. A character code page 850 lacks becomes "?"; so does
// each byte of an invalid UTF-8 sequence. The screen glyphs of the control
// bytes (☺ ► ↑ ...) map back to bytes 1 to 31, and ⌂ to 127.
std::string Cp850(std::string_view utf8);
std::string Utf8ToCp850(std::string_view utf8);

// Code page 850 to UTF-8, each byte as its character (controls stay controls).
std::string Cp850ToUtf8(std::string_view cp850);
// The same for the screen: bytes 1-31 and 127 as the classic PC glyphs,
// 0 as a blank, 0xF0 (soft hyphen) as "-".
std::string Cp850ToUtf8Glyphs(std::string_view cp850);

char32_t Cp850ToUnicode(unsigned char byte);
char32_t Cp850Glyph(unsigned char byte);
// The byte for a Unicode character, or -1 when code page 850 has none.
int UnicodeToCp850(char32_t code_point);
std::string UnicodeToUtf8(char32_t code_point);

}  // namespace util
