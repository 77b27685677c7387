// The console back to what it is when the program starts, for tests and for
// a fresh start.
#pragma once

namespace platform::console {

// Closes the console when it is open (the terminal is given back, a headless
// run leaves its dump), then forgets everything: the 80 x 25 blank buffer,
// cursor, attribute, input queue, keyboard state, clipboard and dump path,
// the headless handlers, beeps and dry spells, and what the terminal back
// end kept (bytes sent, undecoded input, what the terminal showed).
void ResetConsole();

}  // namespace platform::console
