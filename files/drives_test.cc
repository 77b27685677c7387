#include "files/drives.h"

#include <filesystem>

#include "files/scratch_test.h"

namespace files {
namespace {

class DrivesTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    for (const char* dir : {"a", "d", "e", "h", "n", "r", "s"}) {
      std::filesystem::create_directories(root_ + "/" + dir);
    }
    SetEnv("KITDRIVES", "A=" + root_ + "/a:removable:capacity=1457664;D=" + root_ +
                            "/d:removable;E=" + root_ + "/e:cdrom;H=" + root_ + "/h;N=" +
                            root_ + "/n:network;R=" + root_ + "/r:ramdisk;S=" + root_ +
                            "/s:subst;X=" + root_ + "/missing");
  }
};

TEST_F(DrivesTest, DescriptionsByKind) {
  std::string text;
  // A diskette before C: whatever the folder behind it really is.
  EXPECT_EQ(DescribeDrive('A', text), "4");
  EXPECT_EQ(text, "A: 3.5\" 1.44MB");
  EXPECT_EQ(DescribeDrive('a', text), "4");
  EXPECT_EQ(text, "A: 3.5\" 1.44MB");
  EXPECT_EQ(DescribeDrive('D', text), "R");
  EXPECT_EQ(text, "D:");
  EXPECT_EQ(DescribeDrive('R', text), "R");
  EXPECT_EQ(text, "R:");
  EXPECT_EQ(DescribeDrive('E', text), "C");
  EXPECT_EQ(text, "E: cd-rom");
  EXPECT_EQ(DescribeDrive('H', text), "H");
  EXPECT_EQ(text, "H:");
  Touch("h/.label", "DADES\n");
  EXPECT_EQ(DescribeDrive('H', text), "H");
  EXPECT_EQ(text, "H: DADES");
  EXPECT_EQ(DescribeDrive('S', text), "S");
  EXPECT_EQ(text, "S: " + Dos("s"));
  EXPECT_EQ(DescribeDrive('N', text), "N");
  EXPECT_EQ(text.substr(0, 3), "N: ");
  EXPECT_GT(text.size(), 3u);  // the source of the mount the folder is on
}

TEST_F(DrivesTest, AbsentDrivesHaveNoDescription) {
  std::string text = "old";
  EXPECT_EQ(DescribeDrive('X', text), "");  // its folder does not exist
  EXPECT_EQ(text, "");
  EXPECT_EQ(DescribeDrive('B', text), "");
  EXPECT_EQ(DescribeDrive('\0', text), "");
}

TEST_F(DrivesTest, PresenceNeedsTheUpperCaseLetter) {
  EXPECT_TRUE(DrivePresent("A"));
  EXPECT_TRUE(DrivePresent("C:\\KIT"));
  EXPECT_FALSE(DrivePresent("a"));
  EXPECT_FALSE(DrivePresent("X:"));
  EXPECT_FALSE(DrivePresent("B"));
  EXPECT_FALSE(DrivePresent(""));
}

TEST_F(DrivesTest, SpaceOfAnEmulatedDiskette) {
  EXPECT_EQ(DiskSpace("A:", 0), 1457664.0);
  EXPECT_EQ(DiskSpace("A:\\", 1), 512.0);
  Touch("a/BACKUP.001", std::string(513, 'x'));
  EXPECT_EQ(DiskSpace("A:", 0), 1457664.0 - 1024);
  EXPECT_EQ(DiskSpace("A:", 2), 0.0);
  EXPECT_EQ(DiskSpace("X:", 0), 0.0);
  EXPECT_GT(DiskSpace("H:\\", 1), 0.0);
}

TEST_F(DrivesTest, CurrentDriveAndMemory) {
  std::filesystem::current_path(root_ + "/h");
  EXPECT_EQ(CurrentDrive(), 'H');
  std::filesystem::current_path(root_);
  EXPECT_EQ(CurrentDrive(), 'C');
  EXPECT_GT(AvailableMemory(""), 0);
}

}  // namespace
}  // namespace files
