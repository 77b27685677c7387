#include "files/backup_layout.h"

#include "util/little_endian.h"

namespace files {

namespace {

constexpr std::string_view kSignature = "BACKUP  ";
constexpr uint16_t kPlainFileAttributes = 0x20;
constexpr uint32_t kNoFurtherDirectory = 0xFFFFFFFF;

// A record of the layout, its first byte its own size.
std::string SizedRecord(const util::RecordLayout& layout) {
  std::string record = util::BlankRecord(layout, '\0');
  record[0] = static_cast<char>(layout.length);
  return record;
}

// The number in a binary field, zero bytes where the record ends early.
uint32_t NumberOf(std::string_view record, const util::Field& field) {
  const std::string bytes = util::FieldPadded(record, field, '\0');
  uint32_t value = 0;
  for (size_t i = bytes.size(); i-- > 0;) {
    value = value << 8 | static_cast<unsigned char>(bytes[i]);
  }
  return value;
}

uint16_t Low16(int32_t value) { return static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFF); }

}  // namespace

std::string BackupVolumeFileName(std::string_view stem, int volume) {
  std::string number = std::to_string(volume);
  if (number.size() < 3) number.insert(0, 3 - number.size(), '0');
  return std::string(stem) + "." + number;
}

std::string BackupHeader(int volume, std::string_view label, uint8_t last_flag) {
  namespace f = backup_header;
  std::string header = SizedRecord(f::kLayout);
  util::PutField(header, f::kSignature, kSignature);
  util::PutField(header, f::kVolume, util::Le16(static_cast<uint16_t>(volume)));
  util::PutField(header, f::kLabel, label);
  util::PutField(header, f::kLastFlag, std::string(1, static_cast<char>(last_flag)));
  return header;
}

bool IsBackupHeader(std::string_view bytes) {
  return bytes.size() > kSignature.size() &&
         static_cast<unsigned char>(bytes[0]) == kBackupHeaderSize &&
         util::FieldOf(bytes, backup_header::kSignature) == kSignature;
}

std::string BackupHeaderLabel(std::string_view bytes) {
  const std::string_view label = util::FieldOf(bytes, backup_header::kLabel);
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
  namespace f = backup_directory;
  std::string block = SizedRecord(f::kLayout);
  util::PutField(block, f::kPath, BackupDirectoryPath(source_directory));
  util::PutField(block, f::kEntries, util::Le16(static_cast<uint16_t>(entries)));
  util::PutField(block, f::kNext, util::Le32(kNoFurtherDirectory));
  return block;
}

std::string BackupEntryBytes(const BackupEntry& entry) {
  namespace f = backup_entry;
  std::string bytes = SizedRecord(f::kLayout);
  // The name ends at its first zero byte; readers that take all twelve
  // bytes find zeros after it, never blanks.
  util::PutField(bytes, f::kName, entry.name);
  util::PutField(bytes, f::kFlag, std::string(1, static_cast<char>(entry.flag)));
  util::PutField(bytes, f::kFileSize, util::Le32(entry.file_size));
  util::PutField(bytes, f::kPart, util::Le16(entry.part));
  util::PutField(bytes, f::kOffset, util::Le32(entry.offset));
  util::PutField(bytes, f::kLength, util::Le32(entry.length));
  util::PutField(bytes, f::kAttributes, util::Le16(kPlainFileAttributes));
  util::PutField(bytes, f::kTime, util::Le16(entry.time));
  util::PutField(bytes, f::kDate, util::Le16(entry.date));
  return bytes;
}

BackupEntry ReadBackupEntry(std::string_view bytes) {
  namespace f = backup_entry;
  BackupEntry entry;
  const std::string_view name = util::FieldOf(bytes, f::kName);
  entry.name = std::string(name.substr(0, name.find('\0')));
  entry.flag = static_cast<uint8_t>(NumberOf(bytes, f::kFlag));
  entry.file_size = NumberOf(bytes, f::kFileSize);
  entry.part = static_cast<uint16_t>(NumberOf(bytes, f::kPart));
  entry.offset = NumberOf(bytes, f::kOffset);
  entry.length = NumberOf(bytes, f::kLength);
  entry.time = static_cast<uint16_t>(NumberOf(bytes, f::kTime));
  entry.date = static_cast<uint16_t>(NumberOf(bytes, f::kDate));
  return entry;
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
