// The terminal back end on a pseudo-terminal: what it sends, what it reads,
// and that the terminal is given back however the program ends.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/console/console.h"
#include "util/cp850.h"

namespace platform::console {
namespace {

struct PtyRun {
  std::string output;
  int status = 0;
  termios modes_after{};
};

class Pty {
 public:
  // Starts child() on a new terminal of rows x columns with TERM=term.
  Pty(int rows, int columns, const char* term, const std::function<int()>& child,
      const char* lang = "C.UTF-8") {
    winsize ws{};
    ws.ws_row = static_cast<unsigned short>(rows);
    ws.ws_col = static_cast<unsigned short>(columns);
    pid_ = forkpty(&master_, nullptr, nullptr, &ws);
    if (pid_ == 0) {
      setenv("TERM", term, 1);
      unsetenv("LC_ALL");
      unsetenv("LC_CTYPE");
      if (lang) {
        setenv("LANG", lang, 1);
      } else {
        unsetenv("LANG");
      }
      unsetenv("KITCONSOLE");
      unsetenv("KITCONSOLE_SIZE");
      unsetenv("ESCDELAY");
      _exit(child());
    }
  }
  ~Pty() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }
  bool started() const { return pid_ > 0 && master_ >= 0; }
  pid_t pid() const { return pid_; }
  int master() const { return master_; }
  const std::string& output() const { return output_; }

  // Reads until needle has arrived (after position from) or time runs out.
  bool WaitFor(const std::string& needle, size_t from = 0, int timeout_ms = 3000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (output_.find(needle, from) == std::string::npos) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      end - std::chrono::steady_clock::now())
                                      .count());
      if (left <= 0 || !ReadSome(left)) return output_.find(needle, from) != std::string::npos;
    }
    return true;
  }
  void Send(const std::string& bytes) {
    ssize_t n = write(master_, bytes.data(), bytes.size());
    (void)n;
  }
  void Resize(int rows, int columns) {
    winsize ws{};
    ws.ws_row = static_cast<unsigned short>(rows);
    ws.ws_col = static_cast<unsigned short>(columns);
    ioctl(master_, TIOCSWINSZ, &ws);
  }
  // Reads everything until the child has gone; its wait status.
  int Finish(termios* modes = nullptr) {
    int status = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
      if (!ReadSome(10)) usleep(1000);  // after a hang-up poll answers at once
      pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        while (ReadSome(50)) {
        }
        if (modes) tcgetattr(master_, modes);
        pid_ = -1;
        return status;
      }
    }
    return -1;
  }

 private:
  bool ReadSome(int timeout_ms) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return false;
    char buffer[4096];
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    output_.append(buffer, static_cast<size_t>(n));
    return true;
  }
  pid_t pid_ = -1;
  int master_ = -1;
  std::string output_;
};

int Exited(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - status; }

TEST(TerminalOutput, ColoursGlyphsAndRestoreOnClose) {
  Pty pty(30, 100, "xterm-256color", [] {
    if (!Open()) return 10;
    WriteText(0, 0, std::string("A\x01") + util::Cp850("É╔"), 0x1C);
    Refresh();
    Close();
    return 0;
  });
  ASSERT_TRUE(pty.started());
  termios modes{};
  EXPECT_EQ(Exited(pty.Finish(&modes)), 0);
  const std::string& out = pty.output();
  // DOS bright red on blue: ANSI 9 on 4.
  EXPECT_NE(out.find("\x1b[91m\x1b[44mA☺É╔"), std::string::npos) << ::testing::PrintToString(out);
  EXPECT_NE(out.find("\x1b[?1049h"), std::string::npos);
  EXPECT_NE(out.rfind("\x1b[?1049l"), std::string::npos);
  EXPECT_TRUE(modes.c_lflag & ICANON);
  EXPECT_TRUE(modes.c_lflag & ECHO);
}

TEST(TerminalOutput, EightColoursShowBrightAsBold) {
  Pty pty(30, 100, "xterm", [] {
    if (!Open()) return 10;
    WriteText(0, 0, "B", 0x2E);  // yellow on green
    WriteText(0, 1, "C", 0xC1);  // blue on bright red: red background
    Refresh();
    Close();
    return 0;
  });
  EXPECT_EQ(Exited(pty.Finish()), 0);
  EXPECT_NE(pty.output().find("\x1b[1m\x1b[33m\x1b[42mB"), std::string::npos)
      << ::testing::PrintToString(pty.output());
  EXPECT_NE(pty.output().find("\x1b[34m\x1b[41mC"), std::string::npos);
}

TEST(TerminalOutput, ARefreshSendsOnlyWhatChanged) {
  Pty pty(30, 100, "xterm-256color", [] {
    if (!Open()) return 10;
    for (int r = 0; r < Rows(); ++r) WriteText(r, 0, std::string(80, 'x'), 0x1F);
    SetCursorShape(false, 25);
    Refresh();
    const uint64_t full = BytesSent();
    Refresh();
    if (BytesSent() != full) return 11;          // nothing changed, nothing sent
    PutCell(10, 40, Cell{'y', 0x1F});
    Refresh();
    const uint64_t one = BytesSent() - full;
    if (one == 0 || one > 12) return 12;         // one move and one byte
    WriteText(24, 0, std::string(80, 'z'), 0x1F);
    Refresh();
    const uint64_t row = BytesSent() - full - one;
    if (row < 80 || row > 100) return 13;
    Close();
    return 0;
  });
  EXPECT_EQ(Exited(pty.Finish()), 0);
}

TEST(TerminalInput, KeysEscapeDelayAndClicks) {
  Pty pty(30, 100, "tmux-256color", [] {
    if (!Open()) return 10;
    EnableMouse(true);
    Refresh();
    auto next = [](int timeout) {
      InputEvent e;
      if (!ReadInput(&e, timeout)) return -1;
      if (e.kind == InputEvent::kMouse) return 0x10000 + e.mouse.row * 256 + e.mouse.column;
      return static_cast<int>(static_cast<uint16_t>(KeyCode(e.key)));
    };
    if (next(3000) != 0x7300) return 11;
    if (next(3000) != 0x1B) return 12;     // a lone Escape, after the short delay
    if (next(3000) != 0x2D00) return 13;   // Alt+X
    if (next(3000) != 0x10000 + 2 * 256 + 9) return 14;
    if (next(3000) != 0xA4) return 15;     // ñ typed as UTF-8
    if (next(50) != -1) return 16;         // nothing more: false after the wait
    Close();
    return 0;
  });
  ASSERT_TRUE(pty.WaitFor("\x1b[?1006h"));  // mouse reporting asked for
  pty.Send("\x1b[1;5D");
  pty.Send("\x1b");
  usleep(150 * 1000);
  pty.Send("\x1bx");
  pty.Send("\x1b[<0;10;3M\x1b[<0;10;3m");
  pty.Send("\xc3\xb1");
  EXPECT_EQ(Exited(pty.Finish()), 0);
}

TEST(TerminalInput, PollingSeesALoneEscapeAndFlushDropsTypeAhead) {
  Pty pty(30, 100, "xterm-256color", [] {
    if (!Open()) return 10;
    Refresh();
    int polls = 0;
    while (!PendingInput()) {
      if (++polls > 2000) return 11;
      usleep(1000);
    }
    InputEvent e;
    if (!ReadInput(&e, 0) || KeyCode(e.key) != 27) return 12;
    // Keys typed ahead of a question are dropped by a flush.
    while (!PendingInput()) usleep(1000);
    usleep(100 * 1000);
    FlushInput();
    if (PendingInput()) return 13;
    if (!ReadInput(&e, 3000) || e.key.ch != 'z') return 14;
    Close();
    return 0;
  });
  ASSERT_TRUE(pty.WaitFor("\x1b[?1049h"));
  usleep(50 * 1000);
  pty.Send("\x1b");
  usleep(200 * 1000);
  pty.Send("abc");
  usleep(400 * 1000);
  pty.Send("z");
  EXPECT_EQ(Exited(pty.Finish()), 0);
}

TEST(TerminalSignals, EndAndFatalSignalsRestoreTheTerminal) {
  for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGSEGV, SIGABRT}) {
    Pty pty(30, 100, "xterm-256color", [] {
      if (!Open()) return 10;
      EnableMouse(true);
      Refresh();
      InputEvent e;
      for (;;) ReadInput(&e, -1);
    });
    ASSERT_TRUE(pty.WaitFor("\x1b[?1000h")) << sig;
    const size_t mark = pty.output().size();
    kill(pty.pid(), sig);
    termios modes{};
    int status = pty.Finish(&modes);
    EXPECT_TRUE(WIFSIGNALED(status)) << sig;
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(WTERMSIG(status), sig);
    }
    const std::string after = pty.output().substr(mark);
    EXPECT_NE(after.find("\x1b[?1000l"), std::string::npos) << sig;  // mouse off
    EXPECT_NE(after.find("\x1b[?1049l"), std::string::npos) << sig;  // screen back
    EXPECT_TRUE(modes.c_lflag & ICANON) << sig;
  }
}

TEST(TerminalSignals, ExitWithoutCloseAndSignalsWhileSuspended) {
  Pty plain(30, 100, "xterm-256color", []() -> int {
    if (!Open()) return 10;
    WriteText(0, 0, "BYE", 0x07);
    Refresh();
    std::exit(0);  // no Close
  });
  termios modes{};
  EXPECT_EQ(Exited(plain.Finish(&modes)), 0);
  EXPECT_NE(plain.output().find("\x1b[?1049l", plain.output().find("BYE")), std::string::npos);
  EXPECT_TRUE(modes.c_lflag & ICANON);
  // While a child program has the terminal, a signal must not write over it.
  Pty child(30, 100, "xterm-256color", [] {
    if (!Open()) return 10;
    Suspend();
    ssize_t n = write(1, "CHILD", 5);
    (void)n;
    for (;;) pause();
  });
  ASSERT_TRUE(child.WaitFor("CHILD"));
  const size_t mark = child.output().size();
  kill(child.pid(), SIGTERM);
  int status = child.Finish();
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(child.output().find("\x1b[?1049", mark), std::string::npos);
}

// A stop is only honoured in a process group a shell could continue, so the
// console runs in a job of its own, stopped and continued as a shell would.
TEST(TerminalSignals, StopAndContinueGiveBackAndTakeAgain) {
  Pty pty(30, 100, "xterm-256color", [] {
    signal(SIGTTOU, SIG_IGN);
    pid_t job = fork();
    if (job == 0) {
      setpgid(0, 0);
      tcsetpgrp(0, getpid());
      signal(SIGTTOU, SIG_DFL);
      if (!Open()) _exit(10);
      WriteText(3, 3, "HELLO", 0x07);
      Refresh();
      InputEvent e;
      bool got = ReadInput(&e, 5000);
      Close();
      _exit(got && e.key.ch == 'a' ? 0 : 11);
    }
    setpgid(job, job);
    usleep(300 * 1000);
    kill(job, SIGTSTP);
    int status = 0;
    if (waitpid(job, &status, WUNTRACED) != job || !WIFSTOPPED(status)) return 20;
    ssize_t n = write(1, "STOPPED", 7);
    (void)n;
    usleep(100 * 1000);
    tcsetpgrp(0, job);
    kill(job, SIGCONT);
    if (waitpid(job, &status, 0) != job) return 21;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 22;
  });
  ASSERT_TRUE(pty.WaitFor("HELLO"));
  const size_t drawn = pty.output().find("HELLO") + 5;
  ASSERT_TRUE(pty.WaitFor("STOPPED", drawn));
  const size_t stopped = pty.output().find("STOPPED", drawn);
  const std::string before = pty.output().substr(drawn, stopped - drawn);
  EXPECT_NE(before.find("\x1b[?1049l"), std::string::npos);  // given back for the shell
  EXPECT_TRUE(pty.WaitFor("\x1b[?1049h", stopped));          // taken again
  EXPECT_TRUE(pty.WaitFor("HELLO", stopped));                 // and drawn again
  pty.Send("a");
  EXPECT_EQ(Exited(pty.Finish()), 0);
}

TEST(TerminalScreen, TooSmallShowsAMessageUntilResized) {
  Pty pty(20, 60, "xterm-256color", [] {
    SetTooSmallText([](int need_columns, int need_rows, int columns, int rows) {
      return "massa petita: " + std::to_string(need_columns) + "x" + std::to_string(need_rows) +
             " > " + std::to_string(columns) + "x" + std::to_string(rows);
    });
    if (!Open()) return 10;
    WriteText(0, 0, "READY", 0x07);
    Refresh();
    InputEvent e;
    for (int i = 0; i < 100; ++i) {
      if (ReadInput(&e, 50)) break;
    }
    Close();
    return 0;
  });
  ASSERT_TRUE(pty.WaitFor("massa petita: 80x25 > 60x20"));
  EXPECT_EQ(pty.output().find("READY"), std::string::npos);
  pty.Resize(30, 100);
  EXPECT_TRUE(pty.WaitFor("READY"));
  pty.Send("q");
  EXPECT_EQ(Exited(pty.Finish()), 0);
}

TEST(TerminalScreen, SuspendAndResumeAroundAChild) {
  Pty pty(30, 100, "xterm-256color", [] {
    if (!Open()) return 10;
    WriteText(1, 1, "FORM", 0x07);
    Refresh();
    // The child writes on the terminal and ends with status 7.
    if (RunInTerminal("/bin/sh", {"-c", "printf 'CHILD\\r\\n'; exit 7"}) != 7) return 11;
    if (Suspended()) return 12;
    if (RunInTerminal("/nonexistent/QXCONVRT") != -1) return 13;
    Close();
    return 0;
  });
  EXPECT_EQ(Exited(pty.Finish()), 0);
  const std::string& out = pty.output();
  size_t first = out.find("FORM");
  size_t child = out.find("CHILD");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(child, std::string::npos);
  EXPECT_NE(out.rfind("\x1b[?1049l", child), std::string::npos);  // given back before
  EXPECT_NE(out.find("FORM", child), std::string::npos);           // redrawn after
}

TEST(TerminalOpenCheck, LocaleMustBeUtf8AndOutputATerminal) {
  Pty latin(30, 100, "xterm-256color", [] {
    std::string error;
    if (Open(&error)) return 10;
    return error.find("UTF-8") != std::string::npos ? 0 : 11;
  }, "es_ES.ISO-8859-1");
  EXPECT_EQ(Exited(latin.Finish()), 0);
  // No locale at all: the terminal is taken to be UTF-8.
  Pty none(30, 100, "xterm-256color", [] {
    if (!Open()) return 10;
    Close();
    return 0;
  }, nullptr);
  EXPECT_EQ(Exited(none.Finish()), 0);
  Pty unknown(30, 100, "no-such-terminal-type", [] {
    std::string error;
    return Open(&error) || error.empty() ? 10 : 0;
  });
  EXPECT_EQ(Exited(unknown.Finish()), 0);
}

}  // namespace
}  // namespace platform::console
