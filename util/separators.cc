// The installation's decimal and thousands characters, read from the root
// settings file the first time a number is formatted.
#include <string>

#include "env/ini.h"
#include "env/session.h"
#include "util/numbers.h"

namespace util {

char DecimalChar = '\0';
char ThousandsChar = '\0';

namespace {

// The first character of the setting; a blank, a control character or no
// setting at all gives the default (a tab would wreck every column).
char SeparatorSetting(const std::string& key, char fallback) {
  const std::string value = env::ReadIniValue(env::RootDir + "Vela.ini", "Usuari", key);
  if (value.empty()) return fallback;
  const unsigned char first = static_cast<unsigned char>(value[0]);
  if (first <= ' ' || first == 127) return fallback;
  return static_cast<char>(first);
}

}  // namespace

void LoadSeparators() {
  if (DecimalChar == '\0') DecimalChar = SeparatorSetting("DecCaracter", '\'');
  if (ThousandsChar == '\0') ThousandsChar = SeparatorSetting("MilCaracter", '.');
}

void ForgetSeparators() {
  DecimalChar = '\0';
  ThousandsChar = '\0';
}

}  // namespace util
