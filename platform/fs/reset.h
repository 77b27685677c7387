// The file-system layer back to what it is when the program starts, for
// tests and for a fresh start.
#pragma once

namespace platform::fs {

// Drops what the layer keeps for the run: the drive directories with their
// links resolved, the names of the directories scanned lately, and the
// last failure noted.
void ResetFileSystemCaches();

namespace internal {
// The parts of ResetFileSystemCaches kept inside their own files.
void ForgetCanonicalDirs();
void ForgetScannedDirs();
}  // namespace internal

}  // namespace platform::fs
