#include "platform/fs/reset.h"

namespace platform::fs {

void ResetFileSystemCaches() {
  internal::ForgetCanonicalDirs();
  internal::ForgetScannedDirs();
}

}  // namespace platform::fs
