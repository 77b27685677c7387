#include "app/program_hooks.h"

#include <gtest/gtest.h>

#include "db/records.h"
#include "env/session.h"

namespace app {
namespace {

TEST(ProgramHooksTest, WithoutAConsoleARecordFileThatCannotBeOpenedEndsTheProgramOnStandardError) {
  env::LanguageCode = "OCI";
  env::RootDir = "/nonexistent-qdeb-root/";
  InstallProgramHooks();
  std::string buffer;
  int16_t status = 0;
  // The message is code page 850 inside and UTF-8 on the standard error.
  EXPECT_EXIT(db::OpenRecordFile(7, "/nonexistent-qdeb-root/NODICT", &buffer, status),
              ::testing::ExitedWithCode(1), "NON SE PÊT ACCEDIR ATH FICH╚R .*NODICT.dat \\(12\\)");
  db::Hooks = {};
}

}  // namespace
}  // namespace app
