// The lock waits on the screen: the waiting message in a panel at the foot
// of the screen, and Escape to give up waiting.
#pragma once

namespace files {

// Fills LockWait with the screen's message panel and key reading. Called
// once at start-up, after the screen is set up.
void ShowLockWaitsOnScreen();

}  // namespace files
