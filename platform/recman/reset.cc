#include "platform/recman/reset.h"

#include "platform/recman/btrcall.h"
#include "platform/recman/store.h"

namespace platform::recman {

void ResetRecordManager() {
  BTRCALL(kReset, nullptr, nullptr, nullptr, nullptr, 0, 0);
  BusyTimeoutMs = kDefaultBusyTimeoutMs;
}

}  // namespace platform::recman
