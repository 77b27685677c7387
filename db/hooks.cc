// The layer's hooks.
#include "db/records.h"

namespace db {

// Process-wide: filled once at start-up by the program above.
LayerHooks Hooks;

}  // namespace db
