#include "platform/process/run.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

int RunProgram(const std::string& host_path, const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  std::string name = host_path;
  argv.push_back(name.data());
  std::vector<std::string> copies = arguments;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    // The child gets the terminal's signals as a program started from a
    // shell would.
    signal(SIGINT, SIG_DFL);
    signal(SIGQUIT, SIG_DFL);
    signal(SIGTSTP, SIG_DFL);
    execv(host_path.c_str(), argv.data());
    _exit(127);
  }
  // Ctrl+C meant for the child must not end the program waiting for it.
  struct sigaction ignore{}, old_int{}, old_quit{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGINT, &ignore, &old_int);
  sigaction(SIGQUIT, &ignore, &old_quit);
  int status = 0;
  pid_t done = -1;
  do {
    done = waitpid(child, &status, 0);
  } while (done < 0 && errno == EINTR);
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGQUIT, &old_quit, nullptr);
  if (done < 0) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status) == 127 ? -1 : WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace platform
