#include "files/backup_layout.h"

#include "util/little_endian.h"

namespace files {

namespace {

constexpr std::string_view kSignature = "BACKUP  ";
constexpr size_t kPathSize = 63;
constexpr size_t kNameSize = 12;
constexpr uint16_t kPlainFileAttributes = 0x20;
constexpr uint32_t kNoFurtherDirectory = 0xFFFFFFFF;

// text cut to size and filled up with zero bytes.
std::string ZeroPadded(std::string_view text, size_t size) {
  std::string field(text.substr(0, size));
  field.resize(size, '\0');
  return field;
}

uint16_t Low16(int32_t value) { return static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFF); }

}  // namespace

std::string BackupVolumeFileName(std::string_view stem, int volume) {
  std::string number = std::to_string(volume);
  if (number.size() < 3) number.insert(0, 3 - number.size(), '0');
  return std::string(stem) + "." + number;
}

std::string BackupHeader(int volume, std::string_view label, uint8_t last_flag) {
  std::string header(1, static_cast<char>(kBackupHeaderSize));
  header += kSignature;
  header += util::Le16(static_cast<uint16_t>(volume));
  header += ZeroPadded(label, kBackupLabelSize);
  header += static_cast<char>(last_flag);
  return header;
}

bool IsBackupHeader(std::string_view bytes) {
  return bytes.size() > kSignature.size() &&
         static_cast<unsigned char>(bytes[0]) == kBackupHeaderSize &&
         bytes.substr(1, kSignature.size()) == kSignature;
}

std::string BackupHeaderLabel(std::string_view bytes) {
  constexpr size_t kLabelAt = 11;
  if (bytes.size() <= kLabelAt) return {};
  std::string_view label = bytes.substr(kLabelAt, kBackupLabelSize);
  return std::string(label.substr(0, label.find('\0')));
}

std::string BackupDirectoryPath(std::string_view source_directory) {
  std::string path(source_directory);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.size() >= 2 && path[1] == ':') path.erase(0, 2);
  if (path.size() > 1 && path[0] == '\\') path.erase(0, 1);
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

std::string BackupDirectoryBlock(std::string_view source_directory, int entries) {
  std::string block(1, static_cast<char>(kBackupDirectorySize));
  block += ZeroPadded(BackupDirectoryPath(source_directory), kPathSize);
  block += util::Le16(static_cast<uint16_t>(entries));
  block += util::Le32(kNoFurtherDirectory);
  return block;
}

std::string BackupEntryBytes(const BackupEntry& entry) {
  std::string bytes(1, static_cast<char>(kBackupEntrySize));
  // The name ends at its first zero byte; readers that take all twelve
  // bytes find zeros after it, never blanks.
  bytes += ZeroPadded(entry.name, kNameSize);
  bytes += static_cast<char>(entry.flag);
  bytes += util::Le32(entry.file_size);
  bytes += util::Le16(entry.part);
  bytes += util::Le32(entry.offset);
  bytes += util::Le32(entry.length);
  bytes += util::Le16(kPlainFileAttributes);
  bytes += util::Le16(entry.time);
  bytes += util::Le16(entry.date);
  return bytes;
}

// DOS keeps seconds in two-second steps; 59 seconds are 29 steps, since 30
// would read back as 60 seconds.
uint16_t DosTime(int hour, int minute, int second) {
  return Low16(hour * 2048 + minute * 32 + second / 2);
}

uint16_t DosDate(int year, int month, int day) {
  return Low16((year - 1980) * 512 + month * 32 + day);
}

}  // namespace files
