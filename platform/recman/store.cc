#include "platform/recman/status.h"
#include "platform/recman/store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/process/clock.h"

namespace platform::recman {

// Process-wide: the record manager's wait, a setting of the process.
int32_t BusyTimeoutMs = kDefaultBusyTimeoutMs;

namespace {

constexpr const char* kFormatTag = "qdebconv-recman-1";
// Open-mode locks sit far above any record position (ids are 32-bit).
constexpr off_t kOpenModeByte = off_t{1} << 40;

// Process-wide: the record files the process has open, shared by all its
// handles, and the back-off jitter of the busy handler.
struct OpenFileTable {
  std::map<std::pair<dev_t, ino_t>, std::unique_ptr<File>> files;
  uint32_t seed = 0;  // taken from the process id at the first wait
};
OpenFileTable g_open;

bool SetLock(int fd, short type, off_t at, bool wait) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  return fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0;
}

// The side file whose byte locks say who has the record file open: its
// descriptor, -1 when it cannot be opened at all (a medium nobody may
// write), kRefusedLockFile when something else than a plain file has its
// name. A link there is never followed (the open would create or lock the
// file it points to), nor is a pipe waited on. It is created for its owner
// and group only, as every file of the office.
constexpr int kRefusedLockFile = -2;

int OpenLockFile(const std::string& path, bool* writable) {
  std::string lck = path + ".lck";
  const int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  int fd = open(lck.c_str(), O_RDWR | O_CREAT | flags, 0660);
  *writable = fd >= 0;
  if (fd < 0) fd = open(lck.c_str(), O_RDONLY | flags);
  struct stat st;
  if (fd < 0) return lstat(lck.c_str(), &st) == 0 && !S_ISREG(st.st_mode) ? kRefusedLockFile : -1;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return kRefusedLockFile;
  }
  return fd;
}

void FinalizeAll(File* f) {
  for (auto& [sql, stmt] : f->statements) sqlite3_finalize(stmt);
  f->statements.clear();
}

void CloseFileNow(File* f) {
  FinalizeAll(f);
  if (f->db != nullptr) sqlite3_close_v2(f->db);
  f->db = nullptr;
  if (f->lock_fd >= 0) close(f->lock_fd);  // drops every lock of the file
  f->lock_fd = -1;
}

// Waiting for another writer: short random sleeps up to the busy timeout.
// SQLite's own handler backs off to 100 ms sleeps, and a writer that
// commits in a tight loop then starves the other for seconds.
int OnBusy(void* arg, int count) {
  auto* f = static_cast<File*>(arg);
  int64_t now = SteadyMilliseconds();
  if (count == 0) f->busy_since = now;
  if (now - f->busy_since >= BusyTimeoutMs) return 0;
  // The product is never 0 (the factor is odd), nor is a xorshift of a
  // value that is not 0.
  uint32_t& seed = g_open.seed;
  if (seed == 0) seed = static_cast<uint32_t>(getpid()) * 2654435761u;
  seed ^= seed << 13;
  seed ^= seed >> 17;
  seed ^= seed << 5;
  struct timespec pause = {0, static_cast<long>(50000 + seed % 450000)};
  nanosleep(&pause, nullptr);
  return 1;
}

void Configure(File* f) {
  sqlite3* db = f->db;
  sqlite3_busy_handler(db, OnBusy, f);
  int on = 1;
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, &on);
}

// Checks that the database is one of ours and reads its layout.
int16_t ReadSchema(File* f) {
  {
    Statement q(f, "SELECT value FROM meta WHERE name = 'format'");
    if (!q.ok()) {
      int code = q.prepare_error() & 0xFF;
      return (code == SQLITE_ERROR || code == SQLITE_NOTADB) ? 30 : StatusOf(code);
    }
    int rc = q.Step();
    if (rc == SQLITE_DONE) return kNotARecordFile;
    if (rc != SQLITE_ROW) return StatusOf(rc);
    if (q.Blob(0) != kFormatTag) return kNotARecordFile;
  }
  std::string raw;
  {
    Statement q(f, "SELECT value FROM meta WHERE name = 'layout'");
    if (!q.ok()) return kNotARecordFile;
    int rc = q.Step();
    if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? 30 : StatusOf(rc);
    raw.assign(q.Blob(0));
  }
  if (ParseCreationBuffer(raw, &f->layout) != 0) return kNotARecordFile;
  std::string sql = "SELECT id, data";
  for (size_t k = 0; k < f->layout.keys.size(); ++k) {
    sql += ", k";
    sql += std::to_string(k);
  }
  sql += " FROM rec LIMIT 0";
  Statement q(f, sql);
  if (!q.ok()) return kNotARecordFile;
  return 0;
}

void SyncDirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

int16_t WriteNewDatabase(const std::string& path, const FileLayout& layout) {
  // The file made first, for its owner and group only (the office's data is
  // nobody else's): SQLite gives its -wal and -shm the database's own mode.
  const int made = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0660);
  if (made < 0) return errno == ENOSPC ? 18 : 12;
  close(made);
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(db);
    return rc == SQLITE_CANTOPEN ? 12 : StatusOf(rc);
  }
  // A scratch file is built with its journal in memory and no sync, and
  // turns to WAL only at the end; any other file is built durably.
  const bool scratch = (layout.file_flags & kFileScratch) != 0;
  std::string sql = scratch ? "PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY; BEGIN;"
                            : "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN;";
  sql +=
      "CREATE TABLE meta(name TEXT PRIMARY KEY, value BLOB);"
      "CREATE TABLE rec(id INTEGER PRIMARY KEY AUTOINCREMENT, data BLOB NOT NULL";
  for (size_t k = 0; k < layout.keys.size(); ++k) {
    sql += ", k";
    sql += std::to_string(k);
    sql += " BLOB";
  }
  sql += ");";
  for (size_t k = 0; k < layout.keys.size(); ++k) {
    std::string n = std::to_string(k);
    sql += std::string("CREATE ") + (layout.keys[k].duplicates ? "" : "UNIQUE ") + "INDEX key" + n +
           " ON rec(k" + n + ");";
  }
  sql += "COMMIT;";
  rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    rc = sqlite3_prepare_v2(db, "INSERT INTO meta VALUES ('format', ?1), ('layout', ?2)", -1, &st,
                            nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_bind_text(st, 1, kFormatTag, -1, SQLITE_STATIC);
      sqlite3_bind_blob(st, 2, layout.raw.data(), static_cast<int>(layout.raw.size()),
                        SQLITE_STATIC);
      rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
      sqlite3_finalize(st);
    }
  }
  if (rc == SQLITE_OK && scratch) rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  // The last close checkpoints and removes the -wal and -shm files, so the
  // new file can be moved into place on its own.
  int close_rc = sqlite3_close_v2(db);
  if (rc == SQLITE_OK) rc = close_rc;
  return rc == SQLITE_OK ? 0 : StatusOf(rc);
}

void RemoveDatabase(const std::string& path) {
  unlink(path.c_str());
  unlink((path + "-wal").c_str());
  unlink((path + "-shm").c_str());
  unlink((path + "-journal").c_str());
}

}  // namespace

Statement::Statement(File* file, const std::string& sql) {
  auto it = file->statements.find(sql);
  if (it != file->statements.end()) {
    stmt_ = it->second;
    return;
  }
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v3(file->db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(s);
    prepare_error_ = rc;
    return;
  }
  file->statements.emplace(sql, s);
  stmt_ = s;
}

Statement::~Statement() {
  if (stmt_ != nullptr) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
}

void Statement::Bind(int index, std::string_view blob) {
  sqlite3_bind_blob(stmt_, index, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
}
void Statement::BindNull(int index) { sqlite3_bind_null(stmt_, index); }
void Statement::Bind(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
int Statement::Step() { return sqlite3_step(stmt_); }

std::string_view Statement::Blob(int column) {
  const void* p = sqlite3_column_blob(stmt_, column);
  int n = sqlite3_column_bytes(stmt_, column);
  if (p == nullptr || n <= 0) return {};
  return std::string_view(static_cast<const char*>(p), static_cast<size_t>(n));
}
bool Statement::IsNull(int column) { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
int64_t Statement::Int(int column) { return sqlite3_column_int64(stmt_, column); }

int16_t StatusOf(int sqlite_code) {
  switch (sqlite_code & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return 0;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kFileInUse;
    case SQLITE_CONSTRAINT:
      return kDuplicateKey;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return kAccessDenied;
    case SQLITE_FULL:
      return kDiskFull;
    case SQLITE_NOTADB:
      return kNotARecordFile;
    case SQLITE_CANTOPEN:
      return kFileNotFound;
    default:
      return kIoError;
  }
}

int Exec(File* file, const char* sql) { return sqlite3_exec(file->db, sql, nullptr, nullptr, nullptr); }

int16_t CreateFile(const std::string& path, const FileLayout& layout, bool overwrite) {
  struct stat st;
  bool exists = stat(path.c_str(), &st) == 0;
  if (exists && !overwrite) return kFileExists;
  if (exists && !S_ISREG(st.st_mode)) return kIoError;
  int lock_fd = -1;
  if (exists) {
    // Nobody may have the old file open while it is replaced.
    if (g_open.files.count({st.st_dev, st.st_ino}) != 0) return kFileInUse;
    bool lock_writable = false;
    lock_fd = OpenLockFile(path, &lock_writable);
    if (lock_fd == kRefusedLockFile) return kAccessDenied;
    if (lock_fd >= 0 && lock_writable && !SetLock(lock_fd, F_WRLCK, kOpenModeByte, false)) {
      close(lock_fd);
      return kFileInUse;
    }
  } else {
    // A -wal left beside a file that is gone (a crash, then the file was
    // deleted) would be laid over the new database at its first open and
    // bring the old records back. It is removed while nobody can open the
    // name; a name somebody holds open was either made meanwhile by another
    // creator (59) or is a deleted file still in use, whose log is alive.
    bool lock_writable = false;
    lock_fd = OpenLockFile(path, &lock_writable);
    if (lock_fd == kRefusedLockFile) return kAccessDenied;
    if (lock_fd >= 0 && lock_writable) {
      if (!SetLock(lock_fd, F_WRLCK, kOpenModeByte, false)) {
        close(lock_fd);
        return stat(path.c_str(), &st) == 0 ? 59 : 85;
      }
      unlink((path + "-wal").c_str());
      unlink((path + "-shm").c_str());
    }
  }
  std::string temp = path + ".new" + std::to_string(getpid());
  RemoveDatabase(temp);
  int16_t status = WriteNewDatabase(temp, layout);
  if (status == 0) {
    if (overwrite) {
      unlink((path + "-wal").c_str());
      unlink((path + "-shm").c_str());
      if (rename(temp.c_str(), path.c_str()) != 0) status = kIoError;
    } else if (link(temp.c_str(), path.c_str()) != 0) {
      // Another process created it in the meantime.
      status = errno == EEXIST ? 59 : 2;
    }
  }
  RemoveDatabase(temp);
  if (status == 0 && (layout.file_flags & kFileScratch) == 0) SyncDirectoryOf(path);
  if (lock_fd >= 0) close(lock_fd);
  return status;
}

// The lock side file is made only beside a record file: a file that is not
// one of ours (a text, another program's database) is looked at through a
// read-only connection first, so that a failed open leaves nothing new
// beside it. An existing side file is used as it is; and any other trouble
// is left to the open itself to report.
bool ForeignWithoutLockFile(const std::string& path) {
  struct stat st;
  if (stat((path + ".lck").c_str(), &st) == 0) return false;
  File probe;
  probe.path = path;
  bool foreign = false;
  if (sqlite3_open_v2(path.c_str(), &probe.db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    foreign = ReadSchema(&probe) == kNotARecordFile;
  }
  CloseFileNow(&probe);
  return foreign;
}

int16_t AcquireFile(const std::string& path, bool exclusive, File** out) {
  *out = nullptr;
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return kFileNotFound;
  if (!S_ISREG(st.st_mode)) return kFileNotFound;
  auto id = std::make_pair(st.st_dev, st.st_ino);
  auto it = g_open.files.find(id);
  if (it != g_open.files.end()) {
    File* f = it->second.get();
    if (f->exclusive_opens > 0 || (exclusive && f->handles > 0)) return kFileInUse;
    if (exclusive && f->lock_fd >= 0 && !SetLock(f->lock_fd, F_WRLCK, kOpenModeByte, false)) {
      return kFileInUse;
    }
    f->handles++;
    if (exclusive) f->exclusive_opens++;
    *out = f;
    return 0;
  }
  if (ForeignWithoutLockFile(path)) return kNotARecordFile;
  auto f = std::make_unique<File>();
  f->path = path;
  f->device = st.st_dev;
  f->inode = st.st_ino;
  bool lock_writable = false;
  f->lock_fd = OpenLockFile(path, &lock_writable);
  if (f->lock_fd == kRefusedLockFile) {
    f->lock_fd = -1;
    return kAccessDenied;
  }
  if (f->lock_fd >= 0 &&
      !SetLock(f->lock_fd, exclusive && lock_writable ? F_WRLCK : F_RDLCK, kOpenModeByte, false)) {
    CloseFileNow(f.get());
    return kFileInUse;
  }
  int rc = sqlite3_open_v2(path.c_str(), &f->db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(f->db);
    f->db = nullptr;
    rc = sqlite3_open_v2(path.c_str(), &f->db, SQLITE_OPEN_READONLY, nullptr);
    f->writable = false;
  }
  if (rc != SQLITE_OK) {
    CloseFileNow(f.get());
    return access(path.c_str(), R_OK) != 0 ? 46 : StatusOf(rc);
  }
  Configure(f.get());
  // The schema is checked before anything is written, so that a foreign
  // file is left exactly as it was.
  if (int16_t status = ReadSchema(f.get())) {
    CloseFileNow(f.get());
    return status;
  }
  const bool scratch = (f->layout.file_flags & kFileScratch) != 0;
  Exec(f.get(), scratch ? "PRAGMA synchronous=OFF" : "PRAGMA synchronous=FULL");
  Exec(f.get(), "PRAGMA cell_size_check=ON");
  Exec(f.get(), "PRAGMA cache_size=-16384");
  f->handles = 1;
  f->exclusive_opens = exclusive ? 1 : 0;
  *out = f.get();
  g_open.files.emplace(id, std::move(f));
  return 0;
}

void ReleaseFile(File* f, bool exclusive) {
  f->handles--;
  if (exclusive) {
    f->exclusive_opens--;
    if (f->exclusive_opens == 0 && f->handles > 0 && f->lock_fd >= 0) {
      SetLock(f->lock_fd, F_RDLCK, kOpenModeByte, false);
    }
  }
  if (f->handles <= 0 && !f->in_transaction) CloseUnusedFiles();
}

void CloseUnusedFiles() {
  for (auto it = g_open.files.begin(); it != g_open.files.end();) {
    File* f = it->second.get();
    if (f->handles <= 0 && !f->in_transaction) {
      CloseFileNow(f);
      it = g_open.files.erase(it);
    } else {
      ++it;
    }
  }
}

std::map<std::pair<dev_t, ino_t>, std::unique_ptr<File>>& OpenFiles() { return g_open.files; }

void ForgetInheritedFiles() {
  for (auto& [id, f] : g_open.files) {
    // The parent's connections must not be used nor closed here; the
    // descriptor copy is closed so the parent's locks do not outlive it.
    if (f->lock_fd >= 0) close(f->lock_fd);
    f->statements.clear();
    (void)f.release();
  }
  g_open.files.clear();
}

int16_t LockRecord(File* f, int64_t id, bool wait) {
  if (f->lock_fd < 0) return kLockError;
  int64_t deadline = SteadyMilliseconds() + BusyTimeoutMs;
  while (true) {
    if (SetLock(f->lock_fd, F_WRLCK, static_cast<off_t>(id), false)) return 0;
    if (errno != EAGAIN && errno != EACCES) return kLockError;
    if (!wait || SteadyMilliseconds() >= deadline) return kRecordInUse;
    SleepMilliseconds(20);
  }
}

int16_t RecordHeldElsewhere(File* f, int64_t id) {
  if (f->lock_fd < 0) return 0;
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = F_WRLCK;  // any other holder's lock keeps that out; ours never do
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(id);
  fl.l_len = 1;
  if (fcntl(f->lock_fd, F_OFD_GETLK, &fl) != 0) return 0;
  return fl.l_type == F_UNLCK ? 0 : kRecordInUse;
}

void UnlockRecord(File* f, int64_t id) {
  if (f->lock_fd >= 0) SetLock(f->lock_fd, F_UNLCK, static_cast<off_t>(id), false);
}

}  // namespace platform::recman
