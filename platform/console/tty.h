// The terminal line under the terminal back end: raw mode, the strings that
// take the screen and give it back, and the signals that must give it back
// too (end and fatal signals, stop and continue) or that say something
// changed (a resize). The handlers only use async-signal-safe calls and
// report to the main loop through flags and a wake-up pipe.
#pragma once

#include <cstddef>
#include <string>

namespace platform::console::internal {

// The terminal speaks UTF-8 as far as the locale tells; see tty.cc.
bool TtyUtf8Locale(std::string* error);
bool TtyIsTerminal();
// The terminal's size in cells; false when the line cannot tell.
bool TtySize(int* rows, int* columns);

// Saves the line's modes, installs the signal handlers and sends enter;
// restore is what gives the terminal back on every way out.
bool TtyTake(const std::string& enter, const std::string& restore, std::string* error);
// Gives the terminal back for good (Close).
void TtyGiveBack();
// Around a child program: the terminal is the child's, signals leave it be.
void TtyLend();
void TtyReclaim();

int TtyInput();
int TtyWakeFd();
// Writes everything (retrying on interruption); the bytes written.
size_t TtyWrite(const std::string& data);
size_t TtyEnterLength();
size_t TtyRestoreLength();
void TtyDropInput();

// What the handlers saw since the last call (the pipe is drained).
struct TtyNews {
  bool resized = false;
  bool continued = false;
};
TtyNews TtyTakeNews();

}  // namespace platform::console::internal
