#include "env/reset.h"

#include <string>

#include "env/language.h"
#include "env/session.h"

namespace env {

void ResetSession() {
  for (std::string* text : {&RootDir, &ExeDir, &WorkDir, &TerminalDir, &MenuTitle, &MenuName,
                            &MenuCode, &MenuChain, &OperatorName, &WorkDate, &OutputDevice,
                            &LanguageCode, &HostMode, &LanguageFileId, &DateSeparator,
                            &DateOrder}) {
    text->clear();
  }
  OperatorType = 0;
  ColourTable = {};
  SetProgramId({});
  internal::ForgetInstallationData();
  internal::ForgetSessionLoaded();
}

}  // namespace env
