#include "remit/reset.h"

#include "remit/generation.h"

namespace remit {

void ResetGeneration() {
  CollectionDate.clear();
  RangeFrom.clear();
  RangeTo.clear();
  ReturnMenu.clear();
  Hooks = {};
}

}  // namespace remit
