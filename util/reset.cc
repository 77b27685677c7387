#include "util/reset.h"

#include "util/numbers.h"
#include "util/text.h"

namespace util {

void ResetNumberAndTextState() {
  ForgetSeparators();
  MainCurrency.clear();
  AltCurrency.clear();
  DisplayCurrency.clear();
  FoldPlain = 0;
  TextStack.clear();
}

}  // namespace util
