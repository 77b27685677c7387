#include "platform/console/tty.h"

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>

#include "platform/process/environment.h"
#include "util/basics.h"

namespace platform::console::internal {

namespace {

// What a signal handler may touch: plain data written before the handlers
// are installed, used with async-signal-safe calls only.
struct SignalSafe {
  volatile sig_atomic_t active = 0;  // the terminal is ours to give back
  volatile sig_atomic_t resized = 0;
  volatile sig_atomic_t continued = 0;
  int in_fd = 0;
  int out_fd = 1;
  int wake_read = -1;
  int wake_write = -1;
  termios original{};
  termios program{};
  char restore[512] = {};
  size_t restore_length = 0;
  char enter[256] = {};
  size_t enter_length = 0;
  struct sigaction previous[16];  // the actions to give back at close
};
// Process-wide: the signal handlers read it, and the terminal is one per
// process.
SignalSafe g_safe;

constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kFatalSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
constexpr int kOtherSignals[] = {SIGWINCH, SIGTSTP, SIGCONT};

size_t WriteAll(int fd, const char* data, size_t length) {
  size_t written = 0;
  while (written < length) {
    ssize_t n = write(fd, data + written, length - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 100);
        continue;
      }
      break;
    }
    written += static_cast<size_t>(n);
  }
  return written;
}

void SafeRestore() {
  if (!g_safe.active) return;
  WriteAll(g_safe.out_fd, g_safe.restore, g_safe.restore_length);
  tcsetattr(g_safe.in_fd, TCSAFLUSH, &g_safe.original);
}

void SafeEnter() {
  tcsetattr(g_safe.in_fd, TCSAFLUSH, &g_safe.program);
  WriteAll(g_safe.out_fd, g_safe.enter, g_safe.enter_length);
}

void Wake() {
  if (g_safe.wake_write >= 0) {
    char b = 1;
    ssize_t ignored = write(g_safe.wake_write, &b, 1);
    (void)ignored;
  }
}

// Ends the process as the signal would, with the terminal given back first.
void OnEndSignal(int sig) {
  int saved = errno;
  SafeRestore();
  g_safe.active = 0;
  signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
  errno = saved;
}

void OnStop(int) {
  int saved = errno;
  if (g_safe.active) {
    SafeRestore();
    signal(SIGTSTP, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(SIGTSTP);
    // Here again after SIGCONT.
    struct sigaction again {};
    again.sa_handler = OnStop;
    sigemptyset(&again.sa_mask);
    sigaction(SIGTSTP, &again, nullptr);
    if (!g_safe.continued) SafeEnter();  // unless SIGCONT's handler did
    g_safe.continued = 1;
    Wake();
  } else {
    signal(SIGTSTP, SIG_DFL);
    raise(SIGTSTP);
  }
  errno = saved;
}

void OnContinue(int) {
  int saved = errno;
  if (g_safe.active && !g_safe.continued) {
    // Stopped by SIGSTOP: the shell has had the terminal meanwhile.
    SafeEnter();
    g_safe.continued = 1;
    Wake();
  }
  errno = saved;
}

void OnResize(int) {
  int saved = errno;
  g_safe.resized = 1;
  Wake();
  errno = saved;
}

void InstallSignals() {
  int slot = 0;
  auto install = [&](int sig, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(sig, &action, &g_safe.previous[slot++]);
  };
  for (int sig : kEndSignals) install(sig, OnEndSignal, SA_RESETHAND | SA_NODEFER);
  for (int sig : kFatalSignals) install(sig, OnEndSignal, SA_RESETHAND | SA_NODEFER);
  install(SIGWINCH, OnResize, SA_RESTART);
  install(SIGTSTP, OnStop, SA_RESTART);
  install(SIGCONT, OnContinue, SA_RESTART);
}

void RestoreSignals() {
  int slot = 0;
  for (int sig : kEndSignals) sigaction(sig, &g_safe.previous[slot++], nullptr);
  for (int sig : kFatalSignals) sigaction(sig, &g_safe.previous[slot++], nullptr);
  for (int sig : kOtherSignals) sigaction(sig, &g_safe.previous[slot++], nullptr);
}

bool IsUtf8Codeset() {
  const char* codeset = nl_langinfo(CODESET);
  if (!codeset) return false;
  std::string name = util::UpperCase(codeset);
  return name == "UTF-8" || name == "UTF8";
}

void CopyTo(char* target, size_t capacity, size_t* length, const std::string& text) {
  *length = text.size() < capacity ? text.size() : capacity;
  std::memcpy(target, text.data(), *length);
}

}  // namespace

// The locale tells whether the terminal speaks UTF-8. With no locale at all
// (C or POSIX, or one that is not installed but names UTF-8), C.UTF-8 is
// taken; a locale that names another character set is refused, because the
// screen would come out as garbage. Only LC_CTYPE is changed: number
// formatting of the rest of the program stays in the C locale.
bool TtyUtf8Locale(std::string* error) {
  const char* chosen = std::setlocale(LC_CTYPE, "");
  if (chosen && IsUtf8Codeset()) return true;
  std::string asked;
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    asked = platform::GetEnvironment(name);
    if (!asked.empty()) break;
  }
  std::string upper = util::UpperCase(asked);
  const bool unset = asked.empty() || asked == "C" || asked == "POSIX";
  const bool names_utf8 =
      upper.find("UTF-8") != std::string::npos || upper.find("UTF8") != std::string::npos;
  if ((unset || (names_utf8 && !chosen)) && std::setlocale(LC_CTYPE, "C.UTF-8") && IsUtf8Codeset()) {
    return true;
  }
  std::setlocale(LC_CTYPE, "C");
  if (error) {
    *error = "the terminal's locale (" + (asked.empty() ? std::string("C") : asked) +
             ") is not UTF-8; start the program with LANG=C.UTF-8 or another UTF-8 locale";
  }
  return false;
}

bool TtyIsTerminal() { return isatty(g_safe.in_fd) && isatty(g_safe.out_fd); }

bool TtySize(int* rows, int* columns) {
  winsize ws{};
  if (ioctl(g_safe.out_fd, TIOCGWINSZ, &ws) != 0 || ws.ws_row == 0 || ws.ws_col == 0) return false;
  *rows = ws.ws_row;
  *columns = ws.ws_col;
  return true;
}

bool TtyTake(const std::string& enter, const std::string& restore, std::string* error) {
  if (tcgetattr(g_safe.in_fd, &g_safe.original) != 0) {
    if (error) *error = "cannot read the terminal's modes";
    return false;
  }
  // Raw: every byte as it comes, no echo, no signals from Ctrl+C (it is the
  // program's copy key), no flow control (Ctrl+S and Ctrl+Q are keys too).
  g_safe.program = g_safe.original;
  g_safe.program.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR |
                                                    IGNCR | ICRNL | IXON | IXOFF);
  g_safe.program.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  g_safe.program.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  g_safe.program.c_cflag |= CS8;
  g_safe.program.c_cc[VMIN] = 1;
  g_safe.program.c_cc[VTIME] = 0;
  CopyTo(g_safe.enter, sizeof g_safe.enter, &g_safe.enter_length, enter);
  CopyTo(g_safe.restore, sizeof g_safe.restore, &g_safe.restore_length, restore);

  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) {
    if (error) *error = "cannot create the wake-up pipe";
    return false;
  }
  for (int fd : pipe_fds) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  g_safe.wake_read = pipe_fds[0];
  g_safe.wake_write = pipe_fds[1];
  g_safe.resized = 0;
  g_safe.continued = 0;
  InstallSignals();
  g_safe.active = 1;
  SafeEnter();
  return true;
}

void TtyGiveBack() {
  SafeRestore();
  g_safe.active = 0;
  RestoreSignals();
  close(g_safe.wake_read);
  close(g_safe.wake_write);
  g_safe.wake_read = -1;
  g_safe.wake_write = -1;
}

void TtyLend() {
  SafeRestore();
  g_safe.active = 0;
}

void TtyReclaim() {
  g_safe.active = 1;
  g_safe.continued = 0;
  SafeEnter();
}

int TtyInput() { return g_safe.in_fd; }
int TtyWakeFd() { return g_safe.wake_read; }
size_t TtyWrite(const std::string& data) { return WriteAll(g_safe.out_fd, data.data(), data.size()); }
size_t TtyEnterLength() { return g_safe.enter_length; }
size_t TtyRestoreLength() { return g_safe.restore_length; }
void TtyDropInput() { tcflush(g_safe.in_fd, TCIFLUSH); }

TtyNews TtyTakeNews() {
  if (g_safe.wake_read >= 0) {
    char drain[64];
    while (read(g_safe.wake_read, drain, sizeof drain) > 0) {
    }
  }
  TtyNews news;
  if (g_safe.continued) {
    g_safe.continued = 0;
    news.continued = true;
  }
  if (g_safe.resized) {
    g_safe.resized = 0;
    news.resized = true;
  }
  return news;
}

}  // namespace platform::console::internal
