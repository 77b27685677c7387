#include "env/separators.h"

#include <string>

#include "env/ini.h"
#include "env/session.h"
#include "util/numbers.h"

namespace env {
namespace {

// The first character of the setting; a blank, a control character or no
// setting at all gives the default (a tab would wreck every column).
char SeparatorSetting(const std::string& key, char fallback) {
  const std::string value = ReadIniValue(session.RootDir + "Vela.ini", "Usuari", key);
  if (value.empty()) return fallback;
  const unsigned char first = static_cast<unsigned char>(value[0]);
  if (first <= ' ' || first == 127) return fallback;
  return static_cast<char>(first);
}

}  // namespace

void LoadSeparators() {
  if (util::number_format.DecimalChar == '\0')
    util::number_format.DecimalChar = SeparatorSetting("DecCaracter", '\'');
  if (util::number_format.ThousandsChar == '\0')
    util::number_format.ThousandsChar = SeparatorSetting("MilCaracter", '.');
}

}  // namespace env
