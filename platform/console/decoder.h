// What a terminal sends for a key or a click, turned into console events.
// A pure function over bytes, so that the sequences of every terminal can be
// checked without one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/console/console.h"

namespace platform::console {

// A sequence the terminal's terminfo entry names for a key, tried before the
// built-in forms (longest first).
struct KnownSequence {
  std::string bytes;
  KeyEvent key;
};

// Decodes bytes from the front and appends the events; returns how many
// bytes were used. A sequence cut off at the end of bytes is left for the
// next call, unless `complete` says nothing more is coming (the escape delay
// has passed): then a lone ESC is Escape and ESC with a character is Alt.
// Handles the xterm family (CSI and SS3 with the modifier parameter, tmux,
// screen), the Linux console (ESC [ [ A .. E), rxvt ($ ^ @ finals, ESC O a..d),
// modifyOtherKeys and CSI u, SGR and X10 mouse reports, UTF-8 characters
// (converted to code page 850) and control characters. Unknown sequences
// are dropped whole.
size_t DecodeTerminalInput(std::string_view bytes, bool complete, std::vector<InputEvent>* events,
                           const std::vector<KnownSequence>* known = nullptr);

}  // namespace platform::console
