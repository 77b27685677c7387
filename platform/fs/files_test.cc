#include "platform/fs/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/fs/errors.h"
#include "tests/support/scratch_dir.h"

namespace platform::fs {
namespace {

namespace sfs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  qdeb::testing::ScratchDir scratch_{"qdeb_files"};
  std::string dir_ = scratch_.path();
};

// Whether another process can open the file with no sharing right now.
bool OtherProcessCanOpen(const std::string& path) {
  pid_t child = fork();
  if (child == 0) {
    File file;
    _exit(file.Open(path, File::kReadWrite, true) == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(FilesTest, NoSharingOpensExcludeEachOtherUntilClosed) {
  std::string path = dir_ + "/LOCKS.TMP";
  File first;
  ASSERT_EQ(first.Open(path, File::kReadWriteCreate, true), 0);
  File second;
  EXPECT_EQ(second.Open(path, File::kReadWrite, true), kErrorSharingViolation);
  EXPECT_FALSE(OtherProcessCanOpen(path));
  File shared;
  EXPECT_EQ(shared.Open(path, File::kReadWrite, false), 0);  // plain opens still work
  first.Close();
  EXPECT_TRUE(OtherProcessCanOpen(path));
  EXPECT_EQ(second.Open(path, File::kReadWrite, true), 0);
}

TEST_F(FilesTest, OpenModesAndTheirErrors) {
  File file;
  EXPECT_EQ(file.Open(dir_ + "/missing", File::kReadWrite, false), kErrorFileNotFound);
  EXPECT_EQ(file.Open(dir_ + "/nodir/x", File::kReadWriteCreate, true), kErrorPathNotFound);
  ASSERT_EQ(file.Open(dir_ + "/new", File::kCreateNew, false), 0);
  File again;
  EXPECT_EQ(again.Open(dir_ + "/new", File::kCreateNew, false), kErrorFileExists);
  EXPECT_EQ(again.Open("", File::kReadWrite, false), kErrorFileNotFound);
}

// Read-only opens take plain files only, and never block: a pipe with no
// writer would hold an ordinary open for ever, a device never ends.
TEST_F(FilesTest, ReadOnlyOpensRefuseAllButPlainFilesAtOnce) {
  ASSERT_EQ(mkfifo((dir_ + "/fifo").c_str(), 0600), 0);
  std::ofstream(dir_ + "/plain") << "abc";
  File file;
  EXPECT_EQ(file.Open(dir_ + "/fifo", File::kRead, false), kErrorAccessDenied);
  EXPECT_EQ(file.Open(dir_, File::kRead, false), kErrorAccessDenied);
  EXPECT_EQ(file.Open("/dev/zero", File::kRead, false), kErrorAccessDenied);
  EXPECT_EQ(file.Open(dir_ + "/missing", File::kRead, false), kErrorFileNotFound);
  EXPECT_FALSE(file.IsOpen());
  ASSERT_EQ(file.Open(dir_ + "/plain", File::kRead, true), 0);
  char buffer[4] = {};
  EXPECT_EQ(file.ReadAt(0, buffer, sizeof buffer), 3);
  EXPECT_FALSE(file.WriteAt(0, "x", 1));
  // Its shared lock keeps out an open with no sharing, not another reader.
  File other;
  EXPECT_EQ(other.Open(dir_ + "/plain", File::kRead, true), 0);
  EXPECT_EQ(other.Open(dir_ + "/plain", File::kReadWrite, true), kErrorSharingViolation);
}

// Every name the program writes a file of its own at, each opened as its
// writer opens it: a link planted there is refused with its path and the
// file it points to stays as it was; a pipe or a folder there is refused at
// once, never waited on; a new file is for its owner and group only.
TEST_F(FilesTest, WritersRefuseLinksPipesAndFoldersAtTheirNames) {
  enum class How { kOpen, kOpenNoSharing, kCreateNew, kAppend };
  const struct {
    const char* name;
    File::Mode mode;
    How how;
  } writers[] = {
      {"WinPush.tmp", File::kReadWriteCreate, How::kOpen},
      {"Browse.tmp", File::kReadWriteCreate, How::kOpen},
      {"kitprint.tmp", File::kReadWriteCreate, How::kOpenNoSharing},
      {"kitprint.pdf", File::kReadWriteCreate, How::kOpen},
      {"NAME.XML.tmp", File::kReadWriteCreate, How::kOpenNoSharing},
      {"TrasBanc.lck", File::kReadWrite, How::kOpenNoSharing},
      {"CONTROL.001", File::kReadWriteCreate, How::kOpenNoSharing},
      {"12345678.dir", File::kCreateNew, How::kCreateNew},
      {"db.log", File::kReadWriteCreate, How::kAppend},
  };
  auto write = [](const std::string& path, File::Mode mode, How how) {
    if (how == How::kAppend) return AppendToFile(path, "x");
    File file;
    const int error = file.Open(path, mode, how == How::kOpenNoSharing);
    return error != 0 ? error : file.WriteAt(0, "x", 1) ? 0 : kErrorGeneral;
  };
  const std::string victim = dir_ + "/victim";
  std::ofstream(victim) << "kept";
  ASSERT_EQ(mkfifo((dir_ + "/pipe").c_str(), 0600), 0);
  for (const auto& writer : writers) {
    SCOPED_TRACE(writer.name);
    const std::string path = dir_ + "/" + writer.name;
    ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
    ClearFileError();
    EXPECT_NE(write(path, writer.mode, writer.how), 0);
    EXPECT_EQ(LastFileError().failure, FileFailure::kLink);
    EXPECT_EQ(LastFileError().host_path, path);
    ASSERT_EQ(unlink(path.c_str()), 0);
    // A dangling link would have the open create the file it names.
    ASSERT_EQ(symlink((dir_ + "/made").c_str(), path.c_str()), 0);
    EXPECT_NE(write(path, writer.mode, writer.how), 0);
    EXPECT_FALSE(sfs::exists(dir_ + "/made"));
    ASSERT_EQ(unlink(path.c_str()), 0);
    // A pipe (which would block a plain open for writing) and a folder.
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_NE(write(path, writer.mode, writer.how), 0);
    EXPECT_EQ(LastFileError().failure, FileFailure::kNotRegular);
    ASSERT_EQ(unlink(path.c_str()), 0);
    sfs::create_directory(path);
    EXPECT_NE(write(path, writer.mode, writer.how), 0);
    sfs::remove(path);
    // The plain case still works, and gives others nothing.
    const mode_t umask_was = umask(0);
    EXPECT_EQ(write(path, writer.mode == File::kReadWrite ? File::kReadWriteCreate : writer.mode,
                    writer.how),
              0);
    umask(umask_was);
    EXPECT_EQ(sfs::status(path).permissions() & sfs::perms::all,
              sfs::perms::owner_read | sfs::perms::owner_write | sfs::perms::group_read |
                  sfs::perms::group_write);
  }
  std::string text;
  std::getline(std::ifstream(victim), text);
  EXPECT_EQ(text, "kept");
}

// A byte held marks a number as taken for as long as its holder lives:
// every other open sees it, this open's own locks never hide a byte from it.
TEST_F(FilesTest, HeldBytesAreSeenByEveryOtherOpenUntilLetGo) {
  const std::string path = dir_ + "/HOLDERS.LIV";
  File mine;
  File other;
  ASSERT_EQ(mine.Open(path, File::kReadWriteCreate, false), 0);
  ASSERT_EQ(other.Open(path, File::kRead, false), 0);
  ASSERT_EQ(mine.HoldByte(2147483646), 0);  // far beyond the end of the empty file
  ASSERT_EQ(other.HoldByte(2147483646), 0);  // shared: both may hold it
  EXPECT_EQ(mine.ByteHeldElsewhere(2147483646), 1);
  other.ReleaseByte(2147483646);
  EXPECT_EQ(mine.ByteHeldElsewhere(2147483646), 0);
  EXPECT_EQ(other.ByteHeldElsewhere(2147483646), 1);
  EXPECT_EQ(other.ByteHeldElsewhere(2147483645), 0);
  pid_t child = fork();
  if (child == 0) {
    File seen;
    _exit(seen.Open(path, File::kReadWrite, false) == 0 && seen.ByteHeldElsewhere(2147483646) == 1 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  mine.Close();
  EXPECT_EQ(other.ByteHeldElsewhere(2147483646), 0);
  File closed;
  EXPECT_EQ(closed.ByteHeldElsewhere(1), -1);

  // A file removed and made again under its name is another file.
  EXPECT_TRUE(other.IsAt(path));
  sfs::remove(path);
  std::ofstream(path) << "";
  EXPECT_FALSE(other.IsAt(path));
}

TEST_F(FilesTest, ReadsAndWritesAtOffsets) {
  File file;
  ASSERT_EQ(file.Open(dir_ + "/data", File::kReadWriteCreate, false), 0);
  ASSERT_TRUE(file.WriteAt(4, "abc", 3));
  EXPECT_EQ(file.Size(), 7);
  char buffer[10] = {};
  EXPECT_EQ(file.ReadAt(4, buffer, sizeof buffer), 3);  // short at the end
  EXPECT_EQ(std::string(buffer, 3), "abc");
  EXPECT_EQ(file.ReadAt(100, buffer, 4), 0);
  EXPECT_EQ(file.ReadAt(-1, buffer, 4), -1);
  ASSERT_TRUE(file.Truncate(2));
  EXPECT_EQ(file.Size(), 2);
  File closed;
  EXPECT_EQ(closed.ReadAt(0, buffer, 1), -1);
  EXPECT_FALSE(closed.WriteAt(0, "x", 1));
}

TEST_F(FilesTest, ListingAttributesAndRemoval) {
  std::ofstream(dir_ + "/b.txt") << "12345";
  std::ofstream(dir_ + "/.hidden") << "x";
  sfs::create_directory(dir_ + "/Sub");
  sfs::create_directory(dir_ + "/ro");
  std::ofstream(dir_ + "/ro/in") << "x";
  std::vector<DirEntry> entries;
  ASSERT_TRUE(ListDirectory(dir_, &entries));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, ".hidden");
  EXPECT_EQ(entries[0].attributes, kArchive | kHidden);
  EXPECT_EQ(entries[1].name, "Sub");
  EXPECT_EQ(entries[1].attributes, kDirectory);
  EXPECT_EQ(entries[2].name, "b.txt");
  EXPECT_EQ(entries[2].attributes, kArchive);
  EXPECT_EQ(entries[2].size, 5);
  EXPECT_FALSE(ListDirectory(dir_ + "/none", &entries));
  EXPECT_TRUE(entries.empty());

  EXPECT_EQ(RemoveFile(dir_ + "/b.txt"), 0);
  EXPECT_EQ(RemoveFile(dir_ + "/b.txt"), kErrorFileNotFound);
  EXPECT_EQ(RemoveFile(dir_ + "/Sub"), kErrorAccessDenied);
  EXPECT_EQ(RemoveDirectory(dir_ + "/ro"), kErrorDirNotEmpty);
  EXPECT_EQ(MakeDirectory(dir_ + "/Sub"), kErrorFileExists);
  EXPECT_EQ(RemoveDirectory(dir_ + "/Sub"), 0);
}

// The attributes of an entry as a process of another user sees them; 0xFFFF
// when it cannot see the entry.
uint16_t AttributesSeenBy(uid_t uid, const std::string& path) {
  pid_t child = fork();
  if (child == 0) {
    DirEntry entry;
    if (setgid(uid) != 0 || setuid(uid) != 0 || !StatEntry(path, &entry)) _exit(255);
    _exit(entry.attributes & 0xFF);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) == 255) return 0xFFFF;
  return static_cast<uint16_t>(WEXITSTATUS(status));
}

TEST_F(FilesTest, ReadOnlyIsTheOwnersWriteBitWhoeverLooks) {
  std::ofstream(dir_ + "/mine.q19") << "x";
  std::ofstream(dir_ + "/kept.q19") << "x";
  sfs::create_directory(dir_ + "/cd");
  ASSERT_EQ(chmod((dir_ + "/mine.q19").c_str(), 0644), 0);
  ASSERT_EQ(chmod((dir_ + "/kept.q19").c_str(), 0444), 0);
  ASSERT_EQ(chmod((dir_ + "/cd").c_str(), 0555), 0);
  DirEntry entry;
  ASSERT_TRUE(StatEntry(dir_ + "/kept.q19", &entry));
  EXPECT_EQ(entry.attributes, kArchive | kReadOnly);  // also when root looks
  ASSERT_TRUE(StatEntry(dir_ + "/cd", &entry));
  EXPECT_EQ(entry.attributes, kDirectory | kReadOnly);
  ASSERT_TRUE(StatEntry(dir_ + "/mine.q19", &entry));
  EXPECT_EQ(entry.attributes, kArchive);
  ASSERT_EQ(chmod((dir_ + "/cd").c_str(), 0755), 0);

  // A colleague's file, looked at by another operator's process: writable
  // by its owner, so not read-only.
  if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
  ASSERT_EQ(chown((dir_ + "/mine.q19").c_str(), 65534, 65534), 0);
  EXPECT_EQ(AttributesSeenBy(65533, dir_ + "/mine.q19"), kArchive);
  EXPECT_EQ(AttributesSeenBy(65533, dir_ + "/kept.q19"), kArchive | kReadOnly);
}

TEST_F(FilesTest, ReplaceFileSwapsInOneStepKeepingThePermissions) {
  const std::string target = dir_ + "/Ftp.ini";
  const std::string fresh = dir_ + "/12345678.tmp";
  std::ofstream(target) << "old";
  sfs::permissions(target, sfs::perms::owner_read | sfs::perms::owner_write);
  File file;
  ASSERT_EQ(file.Open(fresh, File::kCreateNew, false), 0);
  ASSERT_TRUE(file.WriteAt(0, "new", 3));
  EXPECT_TRUE(file.Sync());
  file.Close();
  EXPECT_EQ(file.Open(fresh, File::kCreateNew, false), kErrorFileExists);

  EXPECT_EQ(ReplaceFile(fresh, target), 0);
  std::string text;
  std::getline(std::ifstream(target), text);
  EXPECT_EQ(text, "new");
  EXPECT_FALSE(sfs::exists(fresh));
  EXPECT_EQ(sfs::status(target).permissions() & sfs::perms::all,
            sfs::perms::owner_read | sfs::perms::owner_write);

  // A failed swap leaves the target as it was.
  EXPECT_EQ(ReplaceFile(dir_ + "/missing.tmp", target), kErrorFileNotFound);
  std::getline(std::ifstream(target), text);
  EXPECT_EQ(text, "new");
  EXPECT_NE(ReplaceFile(fresh, dir_ + "/no/such/dir/x"), 0);
}

TEST(KernelFileSystemTest, ToldFromDisks) {
  EXPECT_TRUE(IsKernelFileSystem("/proc"));
  EXPECT_TRUE(IsKernelFileSystem("/proc/self"));
  EXPECT_FALSE(IsKernelFileSystem("/"));
  EXPECT_FALSE(IsKernelFileSystem(::testing::TempDir()));
  EXPECT_FALSE(IsKernelFileSystem("/no/such/folder"));
}

}  // namespace
}  // namespace platform::fs
