// The record manager back to what it is when the program starts, for tests
// and for a fresh start.
#pragma once

namespace platform::recman {

// The reset operation (28): a transaction in progress rolled back, every
// position block of the process closed with its locks, every record file
// closed. Position blocks opened before stay stale (status 3) rather than
// naming a file opened later. BusyTimeoutMs goes back to its default.
void ResetRecordManager();

}  // namespace platform::recman
