// The process-wide state of remit/ back to what it is when the program
// starts, for tests and for a fresh start.
#pragma once

namespace remit {

// The selection (collection date, range, menu to return to) empty and the
// hooks empty.
void ResetGeneration();

}  // namespace remit
