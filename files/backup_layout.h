// The records of a backup volume's control file, as byte strings: the
// 139-byte header, the 70-byte directory block and the 34-byte file entry of
// the DOS 3.3 BACKUP format, which DOS RESTORE and other readers of that
// format take back. Every number is little-endian; every text field is
// filled up with zero bytes. Pure: the caller gives the clock reading.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace files {

inline constexpr size_t kBackupHeaderSize = 139;
inline constexpr size_t kBackupDirectorySize = 70;
inline constexpr size_t kBackupEntrySize = 34;
inline constexpr size_t kBackupLabelSize = 127;
// Offset of the last-volume flag in the header.
inline constexpr size_t kBackupLastFlagAt = 138;
inline constexpr uint8_t kBackupLastVolume = 0xFF;
inline constexpr uint8_t kBackupMoreVolumes = 0x00;
// The flag of a file entry: the file's last (or only) part, or a part the
// next volume continues.
inline constexpr uint8_t kBackupLastPart = 3;
inline constexpr uint8_t kBackupPartContinues = 2;

// "BACKUP." or "CONTROL." and the volume number as three digits.
std::string BackupVolumeFileName(std::string_view stem, int volume);

// The header of volume number volume: its length, "BACKUP  ", the number,
// the label (cut to 127) and the last-volume flag.
std::string BackupHeader(int volume, std::string_view label, uint8_t last_flag);

// Whether bytes begin as a backup header does (length byte 139 and
// "BACKUP  "), and the label it holds, up to its first zero byte.
bool IsBackupHeader(std::string_view bytes);
std::string BackupHeaderLabel(std::string_view bytes);

// The path of a source directory as the directory block keeps it: without
// its drive, the backslash after it and its trailing backslash
// ("C:\KIT\DADES\" gives "KIT\DADES", a drive's root gives "").
std::string BackupDirectoryPath(std::string_view source_directory);
// The directory block of the source directory with its count of entries.
std::string BackupDirectoryBlock(std::string_view source_directory, int entries);

struct BackupEntry {
  std::string name;        // the file name, at most 12 characters kept
  uint8_t flag = kBackupLastPart;
  uint32_t file_size = 0;  // the whole file's size, in every part's entry
  uint16_t part = 1;       // 1 for the first part, + 1 for each continuation
  uint32_t offset = 0;     // where the part begins in the volume's data file
  uint32_t length = 0;     // bytes of the part
  uint16_t time = 0;       // DosTime of the moment the entry was first written
  uint16_t date = 0;       // DosDate of the same moment
};
std::string BackupEntryBytes(const BackupEntry& entry);

// Time and date as DOS keeps them: hour x 2048 + minute x 32 + seconds / 2
// (halved and cut: 59 seconds give 29), and (year - 1980) x 512 +
// month x 32 + day, each the low 16 bits of the 32-bit result.
uint16_t DosTime(int hour, int minute, int second);
uint16_t DosDate(int year, int month, int day);

}  // namespace files
