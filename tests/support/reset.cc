#include "tests/support/reset.h"

#include "db/reset.h"
#include "env/reset.h"
#include "files/reset.h"
#include "forms/forms.h"
#include "platform/console/reset.h"
#include "platform/fs/reset.h"
#include "platform/recman/reset.h"
#include "forms/forms.h"
#include "ui/reset.h"
#include "util/reset.h"

namespace qdeb::testing {

void ResetAllState() {
  ui::forms::ResetForms();
  files::ResetFilesState();
  db::ResetRecordLayer();
  ui::ResetScreenAndKeys();
  env::ResetSession();
  util::ResetNumberAndTextState();
  platform::recman::ResetRecordManager();
  platform::console::ResetConsole();
  platform::fs::ResetFileSystemCaches();
}

}  // namespace qdeb::testing
