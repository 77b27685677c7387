// The installation's decimal and thousands characters, as the numbers use
// them; env/ loads them from the root settings file.
#include "util/numbers.h"

namespace util {

char DecimalChar = '\0';
char ThousandsChar = '\0';

char DecimalCharacter() { return DecimalChar != '\0' ? DecimalChar : '\''; }
char ThousandsCharacter() { return ThousandsChar != '\0' ? ThousandsChar : '.'; }

void ForgetSeparators() {
  DecimalChar = '\0';
  ThousandsChar = '\0';
}

}  // namespace util
