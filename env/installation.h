// The installation data of the office: eight texts (item 1 the owner's
// name, 6 an alternative presenter name, 7 the presenter identifier) and
// sixteen small numbers, kept in section "Installacio" of session.RootDir +
// "Vela.ini" (keys "Dada1".."Dada8", "Num1".."Num16"). Loaded once by the
// first LoadSessionSettings, at its end; only read afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace env {

inline constexpr int kInstallationTexts = 8;
inline constexpr int kInstallationNumbers = 16;
inline constexpr std::size_t kInstallationTextLength = 35;

// Reads the list from session.RootDir + "Vela.ini". Texts are fixed fields of 35
// characters, blank-padded or cut; numbers are 0..999 (held to that
// range), 255 when absent. Item 7 ("Dada7" holds the tax number) keeps only
// blanks, "A".."Z" and "0".."9" and gets "ES" in front, within its 35
// characters.
void LoadInstallationData();

// Item n (1..8), always 35 characters (blanks before loading); empty
// outside the range.
const std::string& InstallationText(int n);
// Number n (1..16); 255 outside the range or before loading.
int16_t InstallationNumber(int n);

}  // namespace env
