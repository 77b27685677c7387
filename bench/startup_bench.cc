// The program's start-up: from exec to the main form shown and waiting for
// its first key, on a demo installation, run headless with an empty key
// script (the program says on standard error that the script ran out at
// the first key it waits for; the clock stops at that line). Beside it, the
// floor: /bin/true started the same way in the same run, timed to its end.
// Target: the median start under 40 ms. Runs in the current directory
// (bench/run gives it a fresh one), where it makes the demo installation.
// `startup_bench OTHER...` also times other builds of the program (an
// older one, say) in the same rounds, on the same installation.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kRuns = 30;
constexpr double kTargetMs = 40.0;

// The demo installation's environment, as scripts/demo-root prints it.
std::vector<std::string> MakeDemo(const std::string& dir) {
  const std::string command = std::string("QDEB_BUILD='") + QDEB_BINARY_DIR + "' bash '" + QDEB_SOURCE_DIR +
                              "/scripts/demo-root' '" + dir + "' 2>/dev/null";
  std::vector<std::string> lines;
  FILE* out = popen(command.c_str(), "r");
  if (out == nullptr) return lines;
  char line[4096];
  while (std::fgets(line, sizeof line, out) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (!text.empty()) lines.push_back(text);
  }
  if (pclose(out) != 0) lines.clear();
  return lines;
}

struct Run {
  double ready_ms = -1;  // the line that says the first key was waited for (or the end)
  int status = -1;
};

// Starts program with env, standard output to /dev/null and standard error
// to a pipe; the clock stops when a line containing `until` arrives, or at
// the pipe's end when until is empty.
Run Time(const std::string& program, const std::vector<std::string>& env, const std::string& until) {
  Run run;
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (spawned != 0) {
    close(pipe_fds[0]);
    return run;
  }
  std::string seen;
  char buffer[512];
  for (;;) {
    const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, static_cast<size_t>(n));
    if (!until.empty() && seen.find(until) != std::string::npos) break;
  }
  const auto ready = std::chrono::steady_clock::now();
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (until.empty() || seen.find(until) != std::string::npos) {
    run.ready_ms = std::chrono::duration<double, std::milli>(ready - start).count();
  } else {
    std::fprintf(stderr, "%s did not reach its first form: %s\n", program.c_str(), seen.c_str());
  }
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const std::string here = std::filesystem::current_path().string();
  std::vector<std::string> env = MakeDemo(here + "/demo");
  if (env.empty()) {
    std::fprintf(stderr, "startup_bench: scripts/demo-root could not make the demo installation\n");
    return 1;
  }
  const std::string keys = here + "/no-keys";
  std::ofstream(keys).close();
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    if (entry.rfind("PATH=", 0) == 0 || entry.rfind("HOME=", 0) == 0 || entry.rfind("LANG=", 0) == 0) {
      env.push_back(entry);
    }
  }
  env.push_back("KITCONSOLE=headless:" + keys);
  // This build's program, then any other build named on the command line
  // (an older one, to compare), each started in turn in every round.
  std::vector<std::string> programs = {QDEB_PROGRAM};
  for (int i = 1; i < argc; ++i) programs.push_back(argv[i]);
  const std::string ran_out = "key script ran out";
  // The first start makes what a fresh installation lacks; it is not counted.
  for (const std::string& program : programs) {
    if (Time(program, env, ran_out).ready_ms < 0) return 1;
  }
  std::vector<std::vector<double>> starts(programs.size());
  std::vector<double> floors;
  for (int i = 0; i < kRuns; ++i) {
    const Run floor = Time("/bin/true", env, "");
    if (floor.ready_ms < 0) return 1;
    floors.push_back(floor.ready_ms);
    for (size_t p = 0; p < programs.size(); ++p) {
      const Run start = Time(programs[p], env, ran_out);
      if (start.ready_ms < 0) return 1;
      starts[p].push_back(start.ready_ms);
    }
  }
  const double floor = Median(floors);
  std::printf("/bin/true started the same way (median of %d): %.1f ms, fastest %.1f ms\n", kRuns, floor,
              *std::min_element(floors.begin(), floors.end()));
  bool within = true;
  for (size_t p = 0; p < programs.size(); ++p) {
    const double median = Median(starts[p]);
    std::printf("%s\n  start to the first form (median of %d): %.1f ms, fastest %.1f ms, %.1f x /bin/true"
                "  (target: under %.0f ms)\n",
                programs[p].c_str(), kRuns, median, *std::min_element(starts[p].begin(), starts[p].end()),
                floor > 0 ? median / floor : 0.0, kTargetMs);
    if (p == 0) within = median < kTargetMs;
  }
  std::printf("%s\n", within ? "within target" : "OVER TARGET");
  return 0;
}
