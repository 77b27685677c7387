#include "app/program_hooks.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/program.h"
#include "db/records.h"
#include "db/test_files.h"
#include "env/session.h"
#include "platform/process/clock.h"

namespace app {
namespace {

TEST(ProgramHooksTest, WithoutAConsoleARecordFileThatCannotBeOpenedEndsTheProgramOnStandardError) {
  env::session.LanguageCode = "OCI";
  env::session.RootDir = "/nonexistent-qdeb-root/";
  InstallProgramHooks();
  // As Main meets it: the record layer answers, the program ends. The
  // message is code page 850 inside and UTF-8 on the standard error.
  EXPECT_EXIT(
      {
        const env::Status opened = OpenRecordFiles();
        if (!opened.ok()) EndAfterFatalOpen(opened.words());
      },
      ::testing::ExitedWithCode(1), "NON SE PÊT ACCEDIR ATH FICH╚R .*TrasBanc.dat \\(12\\)");
  db::Hooks = {};
}

// Another terminal (a child process) writes to a record file in a
// transaction and holds it: the program's insert must tell the operator at
// once that it waits, and stop waiting as soon as Escape is pressed, not
// sit silent inside the record manager for seconds.
TEST(ProgramHooksTest, AWriteOfAnotherTerminalIsWaitedForInSightAndLeftWithEscape) {
  db::testing::ScratchRoot root("programwait");
  root.Dictionary("SHARED", db::testing::SpecBuffer(16, {{1, 4, 0}}));
  std::string buffer;
  int16_t status = -1;
  db::OpenRecordFile(11, root.Path("SHARED"), &buffer, status);
  ASSERT_EQ(status, 0);
  db::CloseAllRecordFiles(status);  // the child inherits no open file
  int up[2], down[2];
  ASSERT_EQ(::pipe(up), 0);
  ASSERT_EQ(::pipe(down), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    int16_t st = 0;
    std::string record = "TXN. inserted...";
    db::OpenRecordFile(11, root.Path("SHARED"), &record, st);
    if (st == 0) db::BeginTransaction(st);
    if (st == 0) db::InsertRecord(11, st);
    char c = st == 0 ? 'L' : 'F';
    if (::write(up[1], &c, 1) != 1 || ::read(down[0], &c, 1) < 0) ::_exit(2);
    db::EndTransaction(st);
    ::_exit(0);
  }
  char c = 0;
  ASSERT_TRUE(::read(up[0], &c, 1) == 1 && c == 'L');

  InstallProgramHooks();
  // The screen's wait hooks, observed.
  int64_t shown_at = -1;
  db::Hooks.wait.show_message = [&shown_at](int16_t, const std::string&) {
    shown_at = platform::SteadyMilliseconds();
    return true;
  };
  db::Hooks.wait.close_message = [] {};
  // The operator presses Escape a tenth of a second after the message.
  db::Hooks.wait.escape_pressed = [&shown_at] {
    return shown_at >= 0 && platform::SteadyMilliseconds() >= shown_at + 100;
  };
  db::OpenRecordFile(11, root.Path("SHARED"), &buffer, status);
  ASSERT_EQ(status, 0);
  buffer = "MINE inserted...";
  const int64_t start = platform::SteadyMilliseconds();
  db::InsertRecord(11, status);
  const int64_t end = platform::SteadyMilliseconds();
  c = 'R';
  EXPECT_EQ(::write(down[1], &c, 1), 1);
  int child_status = 0;
  ::waitpid(child, &child_status, 0);
  EXPECT_EQ(status, db::kFileInUse);
  ASSERT_GE(shown_at, 0) << "no message in " << end - start << " ms";
  EXPECT_LT(shown_at - start, 500);
  EXPECT_LT(end - (shown_at + 100), 500);
  for (int fd : {up[0], up[1], down[0], down[1]}) ::close(fd);
  db::Hooks = {};
}

}  // namespace
}  // namespace app
