#include "files/reset.h"

#include "files/cached_path.h"
#include "files/listing.h"
#include "files/locks.h"
#include "files/paths.h"
#include "files/random.h"

namespace files {

void ResetFilesState() {
  while (!ListingStack.empty()) EndListing();
  ListAttributes = 0x20;
  FileStampYear = 0;
  FileStampMonth = 0;
  LockHolder = 0;
  LockStation.clear();
  Hooks = {};
  CachedHostPath::ForgetAll();
  SeedRandom(1);  // the generator's own default seed
}

}  // namespace files
