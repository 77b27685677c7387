#include "platform/fs/drives.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/fs/host.h"
#include "tests/support/reset.h"
#include "tests/support/scoped.h"
#include "tests/support/scratch_dir.h"
#include "util/cp850.h"

namespace platform::fs {
namespace {

namespace sfs = std::filesystem;

class DrivesTest : public qdeb::testing::FreshStateTest {
 protected:
  DrivesTest() {
    scratch_.MakeDir("a");
    scratch_.MakeDir("n");
  }
  void SetDrives(const std::string& value) { env_.Set("KITDRIVES", value); }

  qdeb::testing::ScratchDir scratch_{"qdeb_drv"};
  std::string root_ = scratch_.path();
  qdeb::testing::ScopedEnvironment env_;
};

TEST_F(DrivesTest, TableKindsAndTheDefaultC) {
  SetDrives("a=" + root_ + "/a/:removable:capacity=1457664;N=" + root_ +
            "/n:network;S=" + root_ + "/n:subst;X=" + root_ + "/missing;junk;7=/;B=relative");
  std::vector<Drive> drives = PresentDrives();
  ASSERT_EQ(drives.size(), 4u);
  EXPECT_EQ(drives[0].letter, 'A');
  EXPECT_EQ(drives[0].host_dir, root_ + "/a");
  EXPECT_EQ(drives[0].kind, DriveKind::kRemovable);
  EXPECT_EQ(drives[0].capacity, 1457664);
  EXPECT_EQ(drives[1].letter, 'C');
  EXPECT_EQ(drives[1].host_dir, "/");
  EXPECT_EQ(drives[1].kind, DriveKind::kFixed);
  EXPECT_EQ(drives[2].kind, DriveKind::kNetwork);
  EXPECT_EQ(drives[3].kind, DriveKind::kSubst);
  EXPECT_FALSE(FindDrive('X'));  // its directory does not exist
  EXPECT_TRUE(FindDrive('n'));

  unsetenv("KITDRIVES");
  ASSERT_EQ(PresentDrives().size(), 1u);
  EXPECT_EQ(PresentDrives()[0].host_dir, "/");
}

TEST_F(DrivesTest, EmulatedCapacityLessWhatTheFilesTake) {
  SetDrives("A=" + root_ + "/a:removable:capacity=1457664");
  std::ofstream(root_ + "/a/one", std::ios::binary) << std::string(1000, 'x');
  sfs::create_directories(root_ + "/a/sub");
  std::ofstream(root_ + "/a/sub/two", std::ios::binary) << "y";
  SpaceInfo space;
  ASSERT_TRUE(DriveSpace(*FindDrive('A'), &space));
  EXPECT_EQ(space.cluster_bytes, 512.0);
  EXPECT_EQ(space.free_bytes, 1457664.0 - 1024 - 512);

  SetDrives("A=" + root_ + "/a:capacity=100");
  ASSERT_TRUE(DriveSpace(*FindDrive('A'), &space));
  EXPECT_EQ(space.free_bytes, 0.0);  // full, never negative
}

TEST_F(DrivesTest, RealVolumeSpace) {
  SetDrives("A=" + root_ + "/a");
  SpaceInfo space;
  ASSERT_TRUE(DriveSpace(*FindDrive('A'), &space));
  EXPECT_GT(space.cluster_bytes, 0.0);
  EXPECT_GE(space.free_bytes, 0.0);
}

TEST_F(DrivesTest, LabelsTargetsAndRemoteNames) {
  SetDrives("A=" + root_ + "/a;N=" + root_ + "/n:network");
  Drive a = *FindDrive('A');
  EXPECT_EQ(VolumeLabel(a), "");
  std::ofstream(root_ + "/a/.label") << "Còpies 1\r\nrest";
  EXPECT_EQ(VolumeLabel(a), util::Cp850("Còpies 1"));
  std::string expected = "C:" + root_ + "\\a";
  std::replace(expected.begin(), expected.end(), '/', '\\');
  EXPECT_EQ(SubstTarget(a), expected);
  // Named through the drive that holds the folder most closely, C: or not.
  SetDrives("D=" + root_ + ";A=" + root_ + "/a:subst");
  EXPECT_EQ(SubstTarget(*FindDrive('A')), "D:\\a");
  SetDrives("C=" + root_ + "/a;A=" + root_ + "/a:subst");
  EXPECT_EQ(SubstTarget(*FindDrive('A')), "C:\\");
  SetDrives("A=" + root_ + "/a;N=" + root_ + "/n:network");
  // The directory lies on some mount of this machine, whose source is named.
  EXPECT_FALSE(RemoteName(*FindDrive('N')).empty());
  Drive gone = a;
  gone.host_dir = root_ + "/gone";
  EXPECT_EQ(RemoteName(gone), "");
}

TEST(HostTest, NameAndMemory) {
  EXPECT_FALSE(HostName().empty());
  EXPECT_GT(AvailableMemoryBytes(), 0);
}

}  // namespace
}  // namespace platform::fs
