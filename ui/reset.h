// The process-wide state of the screen and the keyboard back to what it is
// when the program starts, for tests and for a fresh start.
#pragma once

namespace ui {

// No window open (depth and rectangle 0), colour pair 0 with an empty
// stack, the type-ahead buffer, key set, save slot, mask and choice list
// empty, the mouse not yet initialised, the calculator and calendar hooks
// empty, and no input read ahead by the key reader. The window file stays
// on disk, as a new run would find it.
void ResetScreenAndKeys();

namespace internal {
// The key reader's part of ResetScreenAndKeys.
void ForgetKeyReader();
}  // namespace internal

}  // namespace ui
