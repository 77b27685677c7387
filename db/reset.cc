#include "db/reset.h"

#include "db/records.h"
#include "db/table.h"

namespace db {

void ResetRecordLayer() {
  for (internal::Slot& slot : internal::Table()) {
    if (slot.file_number != 0) {
      int16_t status = 0;
      CloseRecordFile(slot.file_number, status);
    }
    slot = internal::Slot();
  }
  LockModeStack.clear();
  Hooks = {};
}

}  // namespace db
