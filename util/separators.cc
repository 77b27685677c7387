// The installation's decimal and thousands characters, as the numbers use
// them; env/ loads them from the root settings file.
#include "util/numbers.h"

namespace util {

// Process-wide: the separators and currencies of the one session.
NumberFormat number_format;

char DecimalCharacter() {
  return number_format.DecimalChar != '\0' ? number_format.DecimalChar : '\'';
}
char ThousandsCharacter() {
  return number_format.ThousandsChar != '\0' ? number_format.ThousandsChar : '.';
}

void ForgetSeparators() {
  number_format.DecimalChar = '\0';
  number_format.ThousandsChar = '\0';
}

}  // namespace util
