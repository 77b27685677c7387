#include "env/reset.h"

#include <string>

#include "env/language.h"
#include "env/session.h"

namespace env {

void ResetSession() {
  session = Session();
  SetProgramId({});
  internal::ForgetInstallationData();
  internal::ForgetSessionLoaded();
}

}  // namespace env
