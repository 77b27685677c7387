// The process-wide state of files/ back to what it is when the program
// starts, for tests and for a fresh start.
#pragma once

namespace files {

// Every listing ended (its list file deleted), listings.ListAttributes back to plain
// files (0x20), no file stamp (file_stamp.FileStampYear and file_stamp.FileStampMonth 0), no lock
// holder (lock_identity.LockHolder 0, lock_identity.LockStation empty), LockWait empty, the host
// paths of the lock tables and the holders file forgotten, and the random numbers of the file
// services back to their unseeded sequence.
void ResetFilesState();

}  // namespace files
