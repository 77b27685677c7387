#include "platform/fs/reset.h"

#include "platform/fs/errors.h"

namespace platform::fs {

void ResetFileSystemCaches() {
  ClearFileError();
  internal::ForgetCanonicalDirs();
  internal::ForgetScannedDirs();
}

}  // namespace platform::fs
