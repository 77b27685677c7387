// The records of a backup volume's control file, as byte strings: the
// 139-byte header, the 70-byte directory block and the 34-byte file entry of
// the DOS 3.3 BACKUP format, which DOS RESTORE and other readers of that
// format take back. Every number is little-endian; every text field is
// filled up with zero bytes. Pure: the caller gives the clock reading.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "util/record_layout.h"

namespace files {

// The control file's header, once at its start (DOS 3.3 BACKUP).
namespace backup_header {
inline constexpr util::Field kSize = util::Binary("size", 1, 1);  // 139
inline constexpr util::Field kSignature = util::Text("signature", 2, 8);  // "BACKUP  "
inline constexpr util::Field kVolume = util::Binary("volume", 10, 2);
inline constexpr util::Field kLabel = util::ZeroText("label", 12, 127);
inline constexpr util::Field kLastFlag = util::Binary("last_flag", 139, 1);
inline constexpr util::Field kFields[] = {kSize, kSignature, kVolume, kLabel, kLastFlag};
inline constexpr util::RecordLayout kLayout{"backup control header", 139, kFields};
}  // namespace backup_header

// The directory block, after the header (DOS 3.3 BACKUP).
namespace backup_directory {
inline constexpr util::Field kSize = util::Binary("size", 1, 1);  // 70
inline constexpr util::Field kPath = util::ZeroText("path", 2, 63);
inline constexpr util::Field kEntries = util::Binary("entries", 65, 2);
// Where a further directory block begins: 0xFFFFFFFF, none.
inline constexpr util::Field kNext = util::Binary("next_directory", 67, 4);
inline constexpr util::Field kFields[] = {kSize, kPath, kEntries, kNext};
inline constexpr util::RecordLayout kLayout{"backup directory block", 70, kFields};
}  // namespace backup_directory

// One file entry, after the directory block (DOS 3.3 BACKUP).
namespace backup_entry {
inline constexpr util::Field kSize = util::Binary("size", 1, 1);  // 34
inline constexpr util::Field kName = util::ZeroText("name", 2, 12);
inline constexpr util::Field kFlag = util::Binary("flag", 14, 1);
inline constexpr util::Field kFileSize = util::Binary("file_size", 15, 4);
inline constexpr util::Field kPart = util::Binary("part", 19, 2);
inline constexpr util::Field kOffset = util::Binary("offset", 21, 4);
inline constexpr util::Field kLength = util::Binary("length", 25, 4);
inline constexpr util::Field kAttributes = util::Binary("attributes", 29, 2);
inline constexpr util::Field kTime = util::Binary("time", 31, 2);
inline constexpr util::Field kDate = util::Binary("date", 33, 2);
inline constexpr util::Field kFields[] = {kSize,   kName,   kFlag,       kFileSize, kPart,
                                          kOffset, kLength, kAttributes, kTime,     kDate};
inline constexpr util::RecordLayout kLayout{"backup file entry", 34, kFields};
}  // namespace backup_entry

inline constexpr size_t kBackupHeaderSize = backup_header::kLayout.length;
inline constexpr size_t kBackupDirectorySize = backup_directory::kLayout.length;
inline constexpr size_t kBackupEntrySize = backup_entry::kLayout.length;
inline constexpr size_t kBackupLabelSize = backup_header::kLabel.width;
// Offset of the last-volume flag in the header.
inline constexpr size_t kBackupLastFlagAt = backup_header::kLastFlag.offset();
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
// The entry the bytes of one hold (zero where they end early); its name
// ends at its first zero byte.
BackupEntry ReadBackupEntry(std::string_view bytes);

// Time and date as DOS keeps them: hour x 2048 + minute x 32 + seconds / 2
// (halved and cut: 59 seconds give 29), and (year - 1980) x 512 +
// month x 32 + day, each the low 16 bits of the 32-bit result.
uint16_t DosTime(int hour, int minute, int second);
uint16_t DosDate(int year, int month, int day);

}  // namespace files
