#include "platform/fs/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/fs/drives.h"
#include "tests/support/reset.h"
#include "tests/support/scoped.h"
#include "tests/support/scratch_dir.h"
#include "util/cp850.h"

namespace platform::fs {
namespace {

namespace sfs = std::filesystem;

// A scratch tree with a drive table of its own; the working directory is
// put back afterwards.
class PathsTest : public qdeb::testing::FreshStateTest {
 protected:
  PathsTest() {
    scratch_.MakeDir("c/Kit/Dades");
    scratch_.MakeDir("floppy");
    scratch_.Put("c/Kit/Vela.ini", "x");
    SetDrives("C=" + root_ + "/c;A=" + root_ + "/floppy:removable;Q=" + root_ + "/none");
  }
  void SetDrives(const std::string& value) { env_.Set("KITDRIVES", value); }

  qdeb::testing::ScratchDir scratch_{"qdeb_fs"};
  std::string root_ = scratch_.path();
  qdeb::testing::ScopedEnvironment env_;
  qdeb::testing::ScopedWorkingDirectory cwd_;
};

TEST_F(PathsTest, DriveAbsolutePathsResolveWhateverTheCase) {
  EXPECT_EQ(HostPath("C:\\KIT\\VELA.INI"), root_ + "/c/Kit/Vela.ini");
  EXPECT_EQ(HostPath("c:/kit/dades/"), root_ + "/c/Kit/Dades/");
  // A new name keeps its case; below a missing directory nothing resolves.
  EXPECT_EQ(HostPath("C:\\kit\\Nou\\Fitxer.TXT"), root_ + "/c/Kit/Nou/Fitxer.TXT");
  EXPECT_EQ(HostPath("A:\\BACKUP.001"), root_ + "/floppy/BACKUP.001");
}

TEST_F(PathsTest, AbsentDrivesAndBadPathsGiveEmpty) {
  EXPECT_EQ(HostPath("Q:\\X"), "");  // its directory does not exist
  EXPECT_EQ(HostPath("B:\\X"), "");  // not in the table
  EXPECT_EQ(HostPath(""), "");
  EXPECT_EQ(HostPath(std::string("C:\\A\0B", 6)), "");
}

TEST_F(PathsTest, DotDotNeverLeavesTheDrive) {
  EXPECT_EQ(HostPath("A:\\..\\..\\etc\\passwd"), root_ + "/floppy/etc/passwd");
  EXPECT_EQ(HostPath("C:\\Kit\\..\\..\\Kit\\.\\\\Vela.ini"), root_ + "/c/Kit/Vela.ini");
}

TEST_F(PathsTest, RelativeNamesFollowTheWorkingDirectory) {
  sfs::current_path(root_ + "/c/Kit");
  EXPECT_EQ(CurrentDriveLetter(), 'C');
  EXPECT_EQ(CurrentDirectory('C'), "\\Kit\\");
  EXPECT_EQ(CurrentDirectory('A'), "\\");
  EXPECT_EQ(HostPath("vela.ini"), root_ + "/c/Kit/Vela.ini");
  EXPECT_EQ(HostPath("\\Kit"), root_ + "/c/Kit");
  EXPECT_EQ(HostPath("A:X"), root_ + "/floppy/X");
  sfs::current_path(root_ + "/floppy");
  EXPECT_EQ(CurrentDriveLetter(), 'A');  // the longest prefix wins
  EXPECT_EQ(HostPath("X"), root_ + "/floppy/X");
}

TEST_F(PathsTest, DriveFoldersBehindSymbolicLinksAreKnownFromTheWorkingDirectory) {
  sfs::create_directory_symlink(root_ + "/floppy", root_ + "/link");
  SetDrives("A=" + root_ + "/link:removable");
  sfs::current_path(root_ + "/link");  // the working directory reads as .../floppy
  EXPECT_EQ(CurrentDriveLetter(), 'A');
  EXPECT_EQ(ProgramPath(root_ + "/floppy/X"), "A:\\X");
}

TEST_F(PathsTest, HostNamesThatAreNotUtf8ResolveThroughTheirProgramForm) {
  std::ofstream(root_ + "/c/caf\xff.txt") << "x";
  std::ofstream(root_ + "/c/" + "Año.txt") << "x";
  EXPECT_EQ(HostPath("C:\\CAF?.TXT"), root_ + "/c/caf\xff.txt");
  EXPECT_EQ(HostPath(util::Cp850("C:\\AÑO.TXT")), root_ + "/c/Año.txt");
}

TEST_F(PathsTest, NamesCreatedAfterAScanAreFound) {
  EXPECT_EQ(HostPath("C:\\KIT\\VELA.INI"), root_ + "/c/Kit/Vela.ini");
  std::ofstream(root_ + "/c/Kit/Nou.ini") << "x";
  EXPECT_EQ(HostPath("C:\\KIT\\NOU.INI"), root_ + "/c/Kit/Nou.ini");
  sfs::remove(root_ + "/c/Kit/Vela.ini");
  std::ofstream(root_ + "/c/Kit/VELA.ini") << "x";
  EXPECT_EQ(HostPath("C:\\KIT\\vela.INI"), root_ + "/c/Kit/VELA.ini");
}

TEST_F(PathsTest, ProgramPathIsTheDosFormOfAHostPath) {
  EXPECT_EQ(ProgramPath(root_ + "/c/Kit/Vela.ini"), "C:\\Kit\\Vela.ini");
  EXPECT_EQ(ProgramPath(root_ + "/floppy"), "A:\\");
  EXPECT_EQ(ProgramPath("/etc"), "");  // C: is elsewhere here
}

}  // namespace
}  // namespace platform::fs
