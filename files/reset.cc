#include "files/reset.h"

#include "files/cached_path.h"
#include "files/listing.h"
#include "files/locks.h"
#include "files/paths.h"
#include "files/random.h"

namespace files {

void ResetFilesState() {
  while (!listings.ListingStack.empty()) EndListing();
  listings = Listings();
  file_stamp = FileStamp();
  lock_identity = LockIdentity();
  Hooks = {};
  CachedHostPath::ForgetAll();
  SeedRandom(1);  // the generator's own default seed
}

}  // namespace files
