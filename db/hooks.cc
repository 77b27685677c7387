// The layer's hooks.
#include "db/records.h"

namespace db {

LayerHooks Hooks;

}  // namespace db
