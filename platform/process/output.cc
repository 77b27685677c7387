#include "platform/process/output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/process/environment.h"

namespace platform {
namespace {

constexpr size_t kKeptOutput = 64 * 1024;

}  // namespace

std::string FindOnPath(std::string_view name) {
  if (name.empty() || name.find('/') != std::string_view::npos) return {};
  const std::string path = GetEnvironment("PATH");
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string dir = path.substr(start, end - start);
    start = end + 1;
    // An empty entry is the current directory for a shell; a print command
    // is not looked for there.
    if (dir.empty()) continue;
    const std::string candidate = dir + "/" + std::string(name);
    struct stat entry{};
    if (stat(candidate.c_str(), &entry) == 0 && S_ISREG(entry.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return {};
}

int RunProgramForOutput(const std::string& host_path, const std::vector<std::string>& arguments,
                        std::string* output) {
  output->clear();
  std::vector<std::string> copies = arguments;
  std::string name = host_path;
  std::vector<char*> argv{name.data()};
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) return -1;
  const pid_t child = fork();
  if (child < 0) {
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    return -1;
  }
  if (child == 0) {
    const int nothing = open("/dev/null", O_RDONLY);
    if (nothing >= 0) dup2(nothing, STDIN_FILENO);
    dup2(pipe_ends[1], STDOUT_FILENO);
    dup2(pipe_ends[1], STDERR_FILENO);
    signal(SIGPIPE, SIG_DFL);
    execv(host_path.c_str(), argv.data());
    _exit(127);
  }
  close(pipe_ends[1]);
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(pipe_ends[0], buffer, sizeof buffer);
    if (got > 0) {
      // Read to the end so that the program never blocks on a full pipe,
      // keeping only what a message can show.
      if (output->size() < kKeptOutput) output->append(buffer, static_cast<size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  close(pipe_ends[0]);
  int status = 0;
  pid_t done = -1;
  do {
    done = waitpid(child, &status, 0);
  } while (done < 0 && errno == EINTR);
  if (done < 0) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status) == 127 ? -1 : WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace platform
