// Files and directories of the host, by host path (UTF-8; see paths.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::fs {

// Error numbers as the program knows them from its first platform.
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorPathNotFound = 3;
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorGeneral = 31;
constexpr int kErrorSharingViolation = 32;
constexpr int kErrorFileExists = 80;
constexpr int kErrorDirNotEmpty = 145;
constexpr int kErrorBadName = 123;

// The permissions a file the program creates is given, less the umask:
// its owner and the owner's group (the office's users share one) read and
// write it, nobody else: the files hold debtors' accounts.
constexpr int kNewFileMode = 0660;

// The program's error number of a host errno value.
int ErrorNumber(int host_errno);

// Attribute bits of an entry.
constexpr uint16_t kReadOnly = 0x01;  // the owner has no write permission
constexpr uint16_t kHidden = 0x02;   // names starting with "."
constexpr uint16_t kSystem = 0x04;   // devices, pipes, sockets
constexpr uint16_t kVolumeLabel = 0x08;
constexpr uint16_t kDirectory = 0x10;
constexpr uint16_t kArchive = 0x20;  // every plain file

struct DirEntry {
  std::string name;        // host name, UTF-8 (or whatever bytes the disk holds)
  uint16_t attributes = 0;
  int64_t size = 0;
  int64_t modified = 0;    // seconds since 1970-01-01 00:00 UTC
};

// The entries of a directory except "." and "..", sorted by name. False when
// it cannot be read.
bool ListDirectory(const std::string& host_dir, std::vector<DirEntry>* entries);
// The entry of one path; false when it does not exist.
bool StatEntry(const std::string& host_path, DirEntry* entry);
// What the path names in the end, links followed: its device and inode, the
// same for every path that reaches that entry (a walk through directories
// tells by it a link that leads back into the tree). False when it does not
// exist.
bool EntryIdentity(const std::string& host_path, uint64_t* device, uint64_t* inode);
// The path with every link, "." and ".." resolved: where it really is.
// Empty when it does not exist.
std::string ResolvedPath(const std::string& host_path);
// True when the directory belongs to a file system the kernel makes up
// (/proc, /sys, cgroups, debug and security file systems...): it holds no
// files of the office, and walking it never ends.
bool IsKernelFileSystem(const std::string& host_dir);

// Each operation that fails notes what failed, where and why for
// LastFileError (errors.h), whatever it returns.

// Each gives 0 or the error number.
int RemoveFile(const std::string& host_path);
int RemoveDirectory(const std::string& host_path);
int MakeDirectory(const std::string& host_path);
// Makes the directory the process's current one: 0 or the error number.
int ChangeDirectory(const std::string& host_path);

// The whole of a plain file: 0, kErrorFileNotFound when it (or its folder)
// does not exist, kErrorAccessDenied for a folder, pipe or device (never
// waited on), or another error number; content is empty unless 0. At most
// limit bytes are read.
int ReadWholeFile(const std::string& host_path, std::string* content,
                  size_t limit = static_cast<size_t>(-1));
// Appends bytes to the file, created when missing: 0 or the error number.
// Written as File::Open writes: never through a link, never to a pipe.
int AppendToFile(const std::string& host_path, std::string_view bytes);

// Flushes a directory's entries to the disk, so that a file created or
// renamed in it is still there after a power cut. 0 or the error number.
int SyncDirectory(const std::string& host_dir);

// Has a write past the process's file size limit ("ulimit -f") fail with
// its error (the failure kTooLarge) instead of the system ending the
// process. Once per process is enough; calling it again is harmless.
void FailWritesPastSizeLimit();

// Puts the file from in place of the file to in one step, so that a reader
// finds the old file or the new one, never none; the new file takes the
// permissions of the one it replaces, and the directory entry is flushed to
// disk. 0 or the error number, with both files left as they were.
int ReplaceFile(const std::string& host_from, const std::string& host_to);

// An open file. Opened to be written (every mode but kRead), the name must
// be a plain file or nothing: a symbolic link there is refused (failure
// kLink), never followed to overwrite the file it points to, and so is a
// folder, a pipe or a device, without waiting on it. Opened "with no sharing" it holds an exclusive lock on its
// open file description, so a second such open of the same file, in this or
// another process, fails with kErrorSharingViolation until this one is closed,
// as on the program's first platform (read-only, it holds a shared lock: it
// keeps out the opens with no sharing, not other readers). Closed when
// destroyed.
class File {
 public:
  enum Mode {
    kReadWrite,       // an existing file
    kReadWriteCreate, // created when missing
    kCreateNew,       // fails with kErrorFileExists when it exists
    kRead,            // an existing plain file, for reading only; anything else
                      // (a directory, a pipe, a device) fails with
                      // kErrorAccessDenied at once: a pipe never blocks the open
  };

  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // 0 or the error number (kErrorPathNotFound when the folder is missing).
  int Open(const std::string& host_path, Mode mode, bool no_sharing);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Bytes read (short at the end of the file); -1 on error.
  int64_t ReadAt(int64_t offset, void* buffer, size_t size);
  bool WriteAt(int64_t offset, const void* data, size_t size);
  int64_t Size();
  bool Truncate(int64_t size);
  // Flushes what was written to the disk itself (a power cut keeps it).
  bool Sync();
  // Takes the lock of an open with no sharing on this open file, waiting
  // as long as another open holds it (in this or another process; a killed
  // holder's lock goes with it). 0 or the error number.
  int WaitForExclusive();

  // Whether the file open here is the one the path names now (it may have
  // been removed or replaced since it was opened).
  bool IsAt(const std::string& host_path);

  // Shared locks on single bytes, one byte per number: a process marks a
  // number as its own by holding its byte while it lives, and the kernel
  // drops the lock when the process ends, however it ends. Any open mode
  // will do. 0 or the error number.
  int HoldByte(int64_t offset);
  void ReleaseByte(int64_t offset);
  // Whether another open of the file, in this or another process, holds a
  // lock on the byte: 1 yes, 0 no, -1 when it cannot be told.
  int ByteHeldElsewhere(int64_t offset);

 private:
  int fd_ = -1;
  std::string path_;  // for the failures it notes
};

}  // namespace platform::fs
