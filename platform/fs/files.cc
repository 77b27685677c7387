#include "platform/fs/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/fs/errors.h"

namespace platform::fs {

int ErrorNumber(int host_errno) {
  switch (host_errno) {
    case 0: return 0;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kErrorAccessDenied;
    case EBUSY:
    case EAGAIN: return kErrorSharingViolation;
    case EEXIST: return kErrorFileExists;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case ENAMETOOLONG:
    case EINVAL: return kErrorBadName;
    default: return kErrorGeneral;
  }
}

namespace {

uint16_t Attributes(const std::string& name, const struct stat& st) {
  uint16_t attributes = 0;
  if (S_ISDIR(st.st_mode)) {
    attributes |= kDirectory;
  } else if (S_ISREG(st.st_mode)) {
    attributes |= kArchive;
  } else {
    attributes |= kArchive | kSystem;
  }
  if (!name.empty() && name[0] == '.') attributes |= kHidden;
  // Read-only is a property of the file, not of who looks at it: its owner
  // may not write it. A colleague's file is not read-only to this operator
  // (nor is every file writable to root).
  if ((st.st_mode & S_IWUSR) == 0) attributes |= kReadOnly;
  return attributes;
}

std::string BaseName(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  size_t slash = trimmed.rfind('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

}  // namespace

bool StatEntry(const std::string& host_path, DirEntry* entry) {
  struct stat st{};
  if (host_path.empty() || stat(host_path.c_str(), &st) != 0) return false;
  entry->name = BaseName(host_path);
  entry->attributes = Attributes(entry->name, st);
  entry->size = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
  entry->modified = static_cast<int64_t>(st.st_mtime);
  return true;
}

bool EntryIdentity(const std::string& host_path, uint64_t* device, uint64_t* inode) {
  struct stat st{};
  if (host_path.empty() || stat(host_path.c_str(), &st) != 0) return false;
  *device = static_cast<uint64_t>(st.st_dev);
  *inode = static_cast<uint64_t>(st.st_ino);
  return true;
}

std::string ResolvedPath(const std::string& host_path) {
  if (host_path.empty()) return {};
  char* resolved = realpath(host_path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string path = resolved;
  free(resolved);
  return path;
}

bool IsKernelFileSystem(const std::string& host_dir) {
  struct statfs info{};
  if (host_dir.empty() || statfs(host_dir.c_str(), &info) != 0) return false;
  switch (static_cast<uint64_t>(info.f_type)) {
    case 0x9fa0:       // proc
    case 0x62656572:   // sysfs
    case 0x1cd1:       // devpts
    case 0x27e0eb:     // cgroup
    case 0x63677270:   // cgroup2
    case 0x64626720:   // debugfs
    case 0x73636673:   // securityfs
    case 0x74726163:   // tracefs
    case 0xcafe4a11:   // bpf
    case 0x62656570:   // configfs
    case 0x65735543:   // fusectl
    case 0x19800202:   // mqueue
    case 0x6165676c:   // pstore
    case 0xf97cff8c:   // selinuxfs
    case 0x42494e4d:   // binfmt_misc
    case 0xde5e81e4:   // efivarfs
      return true;
    default:
      return false;
  }
}

bool ListDirectory(const std::string& host_dir, std::vector<DirEntry>* entries) {
  entries->clear();
  DIR* handle = opendir(host_dir.c_str());
  if (handle == nullptr) {
    NoteFileError(FileOperation::kList, host_dir, errno);
    return false;
  }
  std::string prefix = host_dir.empty() || host_dir.back() == '/' ? host_dir : host_dir + "/";
  while (dirent* found = readdir(handle)) {
    std::string name = found->d_name;
    if (name == "." || name == "..") continue;
    DirEntry entry;
    // An entry that vanished between the scan and the stat is left out.
    if (!StatEntry(prefix + name, &entry)) continue;
    entry.name = name;
    entries->push_back(std::move(entry));
  }
  closedir(handle);
  std::sort(entries->begin(), entries->end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return true;
}

namespace {

// 0, or the error number with the failure noted.
int Outcome(bool ok, FileOperation operation, const std::string& host_path) {
  if (ok) return 0;
  const int host_errno = errno;
  NoteFileError(operation, host_path, host_errno);
  return ErrorNumber(host_errno);
}

// Opens a file to be written without following a link at its own name and
// without waiting on a pipe, and keeps it only when it is a plain file: a
// link planted at a name the program writes would have it overwrite the
// file it points to, and a pipe or a device is no file. A new file is
// readable by its owner and group only, whatever else the umask allows.
// The descriptor, or -1 with the failure noted (operation is kOpen or
// kCreate).
int OpenForWriting(const std::string& host_path, int flags, FileOperation operation) {
  flags |= O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  // Writing a file does not stamp its access time; only its owner may ask.
  int fd = open(host_path.c_str(), flags | O_NOATIME, kNewFileMode);
  if (fd < 0 && errno == EPERM) fd = open(host_path.c_str(), flags, kNewFileMode);
  if (fd < 0) {
    const int error = errno;
    struct stat status{};
    if (error != ENOENT && lstat(host_path.c_str(), &status) == 0) {
      if (S_ISLNK(status.st_mode)) {
        NoteFileFailure(operation, host_path, FileFailure::kLink);
        return -1;
      }
      if (!S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) {
        NoteFileFailure(operation, host_path, FileFailure::kNotRegular);
        return -1;
      }
    }
    NoteFileError(operation, host_path, error);
    return -1;
  }
  struct stat status{};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    NoteFileFailure(operation, host_path,
                    S_ISDIR(status.st_mode) ? FileFailure::kIsDirectory : FileFailure::kNotRegular);
    return -1;
  }
  return fd;
}

}  // namespace

int RemoveFile(const std::string& host_path) {
  struct stat st{};
  if (lstat(host_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    NoteFileFailure(FileOperation::kRemove, host_path, FileFailure::kIsDirectory);
    return kErrorAccessDenied;
  }
  return Outcome(unlink(host_path.c_str()) == 0, FileOperation::kRemove, host_path);
}

int RemoveDirectory(const std::string& host_path) {
  return Outcome(rmdir(host_path.c_str()) == 0, FileOperation::kRemove, host_path);
}

int MakeDirectory(const std::string& host_path) {
  return Outcome(mkdir(host_path.c_str(), 0777) == 0, FileOperation::kMakeDirectory, host_path);
}

int ChangeDirectory(const std::string& host_path) {
  return Outcome(chdir(host_path.c_str()) == 0, FileOperation::kOpen, host_path);
}

int ReadWholeFile(const std::string& host_path, std::string* content, size_t limit) {
  content->clear();
  // A plain file only, opened without blocking: a pipe would block the read
  // and a device might never end.
  File file;
  const int error = file.Open(host_path, File::kRead, false);
  if (error != 0) return error == kErrorPathNotFound ? kErrorFileNotFound : error;
  char buffer[65536];
  while (content->size() < limit) {
    const int64_t got = file.ReadAt(static_cast<int64_t>(content->size()), buffer, sizeof buffer);
    if (got < 0) {
      content->clear();
      return LastFileError().error_number;
    }
    content->append(buffer, static_cast<size_t>(got));
    if (static_cast<size_t>(got) < sizeof buffer) break;
  }
  if (content->size() > limit) content->resize(limit);
  return 0;
}

int AppendToFile(const std::string& host_path, std::string_view bytes) {
  const int fd = OpenForWriting(host_path, O_WRONLY | O_APPEND | O_CREAT, FileOperation::kOpen);
  if (fd < 0) return LastFileError().error_number;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) {
      const int error = Outcome(false, FileOperation::kWrite, host_path);
      close(fd);
      return error;
    }
    done += static_cast<size_t>(put);
  }
  close(fd);
  return 0;
}

File::File(File&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

File::~File() { Close(); }

int File::Open(const std::string& host_path, Mode mode, bool no_sharing) {
  Close();
  if (host_path.empty()) return kErrorFileNotFound;
  path_ = host_path;
  int fd = -1;
  if (mode == kRead) {
    // Reading a file does not stamp its access time: a file read and written
    // over and over (a lock table) would have its inode written twice a turn.
    // Only the file's owner may ask that; for anybody else the open is plain.
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
    fd = open(host_path.c_str(), flags | O_NOATIME);
    if (fd < 0 && errno == EPERM) fd = open(host_path.c_str(), flags);
    if (fd < 0) {
      const int error = errno;
      NoteFileError(FileOperation::kOpen, host_path, error);
      return ErrorNumber(error);
    }
    struct stat status{};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
      close(fd);
      // Opened to be read, and what is there cannot be read as a file.
      NoteFileFailure(FileOperation::kRead, host_path,
                      S_ISDIR(status.st_mode) ? FileFailure::kIsDirectory : FileFailure::kNotRegular);
      return kErrorAccessDenied;
    }
  } else {
    int flags = O_RDWR;
    if (mode == kReadWriteCreate) flags |= O_CREAT;
    if (mode == kCreateNew) flags |= O_CREAT | O_EXCL;
    const bool creates = mode == kReadWriteCreate || mode == kCreateNew;
    fd = OpenForWriting(host_path, flags, creates ? FileOperation::kCreate : FileOperation::kOpen);
    if (fd < 0) {
      const FileError& error = LastFileError();
      if (error.failure == FileFailure::kNotFound && creates) return kErrorPathNotFound;
      return error.error_number;
    }
  }
  if (no_sharing) {
    struct flock lock{};
    lock.l_type = mode == kRead ? F_RDLCK : F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // the whole file, however it grows
    if (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
      int error = errno;
      close(fd);
      NoteFileError(FileOperation::kOpen, host_path, error == EACCES ? EAGAIN : error);
      return error == EAGAIN || error == EACCES ? kErrorSharingViolation : ErrorNumber(error);
    }
  }
  fd_ = fd;
  return 0;
}

void File::Close() {
  if (fd_ >= 0) close(fd_);  // the lock goes with the last descriptor
  fd_ = -1;
}

int64_t File::ReadAt(int64_t offset, void* buffer, size_t size) {
  if (fd_ < 0 || offset < 0) return -1;
  size_t done = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (done < size) {
    ssize_t got = pread(fd_, bytes + done, size - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (got < 0) {
      if (errno == EINTR) continue;
      NoteFileError(FileOperation::kRead, path_, errno);
      return -1;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

bool File::WriteAt(int64_t offset, const void* data, size_t size) {
  if (fd_ < 0 || offset < 0) return false;
  size_t done = 0;
  const auto* bytes = static_cast<const char*>(data);
  while (done < size) {
    ssize_t put = pwrite(fd_, bytes + done, size - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (put < 0) {
      if (errno == EINTR) continue;
      NoteFileError(FileOperation::kWrite, path_, errno);
      return false;
    }
    done += static_cast<size_t>(put);
  }
  return true;
}

int64_t File::Size() {
  struct stat st{};
  if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool File::Truncate(int64_t size) {
  if (fd_ < 0 || size < 0) return false;
  return Outcome(ftruncate(fd_, static_cast<off_t>(size)) == 0, FileOperation::kResize, path_) == 0;
}

bool File::Sync() {
  return fd_ >= 0 && Outcome(fsync(fd_) == 0, FileOperation::kFlush, path_) == 0;
}

int File::WaitForExclusive() {
  if (fd_ < 0) return kErrorGeneral;
  struct flock lock{};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  while (fcntl(fd_, F_OFD_SETLKW, &lock) != 0) {
    if (errno != EINTR) return ErrorNumber(errno);
  }
  return 0;
}

bool File::IsAt(const std::string& host_path) {
  struct stat open_status{};
  struct stat path_status{};
  return fd_ >= 0 && fstat(fd_, &open_status) == 0 && stat(host_path.c_str(), &path_status) == 0 &&
         open_status.st_dev == path_status.st_dev && open_status.st_ino == path_status.st_ino;
}

namespace {

struct flock ByteLock(short type, int64_t offset) {
  struct flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(offset);
  lock.l_len = 1;
  return lock;
}

}  // namespace

int File::HoldByte(int64_t offset) {
  if (fd_ < 0 || offset < 0) return kErrorGeneral;
  struct flock lock = ByteLock(F_RDLCK, offset);
  return fcntl(fd_, F_OFD_SETLK, &lock) == 0 ? 0 : ErrorNumber(errno);
}

void File::ReleaseByte(int64_t offset) {
  if (fd_ < 0 || offset < 0) return;
  struct flock lock = ByteLock(F_UNLCK, offset);
  fcntl(fd_, F_OFD_SETLK, &lock);
}

int File::ByteHeldElsewhere(int64_t offset) {
  if (fd_ < 0 || offset < 0) return -1;
  // Asked as for an exclusive lock, which any other lock on the byte
  // would keep out; this open's own locks never do.
  struct flock lock = ByteLock(F_WRLCK, offset);
  if (fcntl(fd_, F_OFD_GETLK, &lock) != 0) return -1;
  return lock.l_type == F_UNLCK ? 0 : 1;
}

int SyncDirectory(const std::string& host_dir) {
  const int fd = open(host_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Outcome(false, FileOperation::kFlush, host_dir);
  const bool ok = fsync(fd) == 0;
  const int error = Outcome(ok, FileOperation::kFlush, host_dir);
  close(fd);
  return error;
}

void FailWritesPastSizeLimit() { signal(SIGXFSZ, SIG_IGN); }

int ReplaceFile(const std::string& host_from, const std::string& host_to) {
  if (host_from.empty() || host_to.empty()) return kErrorFileNotFound;
  struct stat old_status{};
  if (stat(host_to.c_str(), &old_status) == 0 && S_ISREG(old_status.st_mode)) {
    if (chmod(host_from.c_str(), old_status.st_mode & 07777) != 0) {
      return Outcome(false, FileOperation::kReplace, host_to);
    }
  }
  if (rename(host_from.c_str(), host_to.c_str()) != 0) {
    return Outcome(false, FileOperation::kReplace, host_to);
  }
  // The rename itself must reach the disk too.
  std::string::size_type slash = host_to.rfind('/');
  std::string dir = slash == std::string::npos ? "." : host_to.substr(0, slash + 1);
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
  return 0;
}

}  // namespace platform::fs
