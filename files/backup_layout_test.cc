#include "files/backup_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace files {
namespace {

using namespace std::string_literals;

TEST(BackupLayoutTest, HeaderKeepsNumberLabelAndLastFlagInPlace) {
  const std::string header = BackupHeader(258, "COPIA", kBackupLastVolume);
  ASSERT_EQ(header.size(), 139u);
  EXPECT_EQ(header.substr(0, 11), "\x8B" "BACKUP  \x02\x01"s);
  EXPECT_EQ(header.substr(11, 127), "COPIA" + std::string(122, '\0'));
  EXPECT_EQ(static_cast<unsigned char>(header[138]), 0xFF);
  EXPECT_TRUE(IsBackupHeader(header));
  EXPECT_EQ(BackupHeaderLabel(header), "COPIA");

  // A label longer than its field is cut, never spilling onto the flag.
  const std::string long_label = BackupHeader(1, std::string(200, 'L'), kBackupMoreVolumes);
  ASSERT_EQ(long_label.size(), 139u);
  EXPECT_EQ(long_label[138], '\0');
  EXPECT_EQ(BackupHeaderLabel(long_label), std::string(127, 'L'));

  // Only a backup header is one: another file of that name is not.
  EXPECT_FALSE(IsBackupHeader("\x8B" "BACKUP "s));
  EXPECT_FALSE(IsBackupHeader("CONTROL FILE OF SOMETHING ELSE"));
  EXPECT_FALSE(IsBackupHeader(""));
  EXPECT_EQ(BackupHeaderLabel("short"), "");
}

TEST(BackupLayoutTest, DirectoryPathLosesDriveLeadingAndTrailingBackslash) {
  struct Case {
    const char* source;
    const char* path;
  } cases[] = {
      {"C:\\KIT\\DADES\\", "KIT\\DADES"},
      {"A:\\", ""},  // the root of a drive
      {"C:\\", ""},
      {"A:", ""},
      {"C:KIT\\", "KIT"},
      {"\\KIT\\", "KIT"},
      {"C:/KIT/CSB/", "KIT\\CSB"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BackupDirectoryPath(c.source), c.path) << c.source;
  }
  const std::string block = BackupDirectoryBlock("C:\\KIT\\DADES\\", 513);
  EXPECT_EQ(block, "\x46" "KIT\\DADES" + std::string(54, '\0') + "\x01\x02\xFF\xFF\xFF\xFF"s);
  // A path longer than its 63 bytes is cut; the count stays at its place.
  const std::string long_path = BackupDirectoryBlock("C:\\" + std::string(80, 'D') + "\\", 1);
  ASSERT_EQ(long_path.size(), 70u);
  EXPECT_EQ(long_path.substr(1, 63), std::string(63, 'D'));
  EXPECT_EQ(long_path.substr(64, 2), "\x01\x00"s);
}

TEST(BackupLayoutTest, EntryHoldsTheWholeFileSizeAndAZeroPaddedName) {
  BackupEntry entry;
  entry.name = "R0.E19";
  entry.flag = kBackupPartContinues;
  entry.file_size = 0x00030201;
  entry.part = 2;
  entry.offset = 0x10;
  entry.length = 0x0102;
  entry.time = DosTime(10, 30, 59);
  entry.date = DosDate(2026, 12, 8);
  const std::string expected = "\x22" "R0.E19\0\0\0\0\0\0"  // name, zeros after it
                               "\x02"                         // continues on the next volume
                               "\x01\x02\x03\x00"             // the whole file's size
                               "\x02\x00"                     // part
                               "\x10\x00\x00\x00"             // offset in BACKUP.nnn
                               "\x02\x01\x00\x00"             // length of the part
                               "\x20\x00"                     // attributes
                               "\xDD\x53"                     // 10:30:58
                               "\x88\x5D"s;                   // 2026-12-08
  EXPECT_EQ(BackupEntryBytes(entry), expected);

  // A name of twelve characters fills the field; a longer one is cut.
  entry.name = "ABCDEFGH.E19";
  EXPECT_EQ(BackupEntryBytes(entry).substr(1, 12), "ABCDEFGH.E19");
  entry.name = "ABCDEFGHIJ.E19";
  EXPECT_EQ(BackupEntryBytes(entry).substr(1, 13), "ABCDEFGHIJ.E\x02"s);
}

TEST(BackupLayoutTest, DosTimeHalvesTheSecondsAndDosDateCountsFrom1980) {
  struct Case {
    int hour, minute, second;
    int time;
  } cases[] = {
      {0, 0, 0, 0},
      {0, 0, 1, 0},
      {10, 30, 57, 10 * 2048 + 30 * 32 + 28},
      {10, 30, 58, 10 * 2048 + 30 * 32 + 29},
      {23, 59, 59, 23 * 2048 + 59 * 32 + 29},  // never 30 steps of two seconds
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DosTime(c.hour, c.minute, c.second), c.time)
        << c.hour << ":" << c.minute << ":" << c.second;
  }
  EXPECT_EQ(DosDate(1980, 1, 1), 33);
  EXPECT_EQ(DosDate(2026, 12, 8), 46 * 512 + 12 * 32 + 8);
  EXPECT_EQ(DosDate(2107, 12, 31), 127 * 512 + 12 * 32 + 31);
  EXPECT_EQ(DosDate(2108, 1, 1), 33);  // the low 16 bits of the 32-bit result
}

TEST(BackupLayoutTest, VolumeFileNamesHaveThreeDigits) {
  EXPECT_EQ(BackupVolumeFileName("CONTROL", 1), "CONTROL.001");
  EXPECT_EQ(BackupVolumeFileName("BACKUP", 42), "BACKUP.042");
  EXPECT_EQ(BackupVolumeFileName("BACKUP", 999), "BACKUP.999");
}

}  // namespace
}  // namespace files
