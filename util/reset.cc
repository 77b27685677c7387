#include "util/reset.h"

#include "util/numbers.h"
#include "util/text.h"

namespace util {

void ResetNumberAndTextState() {
  ForgetSeparators();
  number_format = NumberFormat();
  text_state = TextState();
}

}  // namespace util
