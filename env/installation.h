// The installation data of the office: eight texts (item 1 the owner's
// name, 6 an alternative presenter name, 7 the presenter identifier) and
// sixteen small numbers, kept in section "Installacio" of RootDir +
// "Vela.ini" (keys "Dada1".."Dada8", "Num1".."Num16"). Loaded once, right
// after the first LoadSessionSettings; only read afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace env {

inline constexpr int kInstallationTexts = 8;
inline constexpr int kInstallationNumbers = 16;
inline constexpr std::size_t kInstallationTextLength = 35;

// Reads the list from RootDir + "Vela.ini". Texts are cut to 35
// characters; numbers are 0..999, 255 when absent. Item 7 keeps only
// blanks, "A".."Z" and "0".."9" and gets "ES" in front, cut back to its
// length.
void LoadInstallationData();

// Item n (1..8); empty outside the range or before loading.
const std::string& InstallationText(int n);
// Number n (1..16); 255 outside the range or before loading.
int16_t InstallationNumber(int n);

}  // namespace env
