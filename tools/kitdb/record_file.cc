#include "tools/kitdb/record_file.h"

#include "platform/recman/btrcall.h"
#include "platform/recman/server.h"
#include "platform/recman/status.h"
#include "util/little_endian.h"

namespace kitdb {
namespace {

namespace rm = platform::recman;

constexpr uint32_t kMaxRecord = 65535;

uint16_t Get16(const std::string& b, size_t at) {
  return at + 2 > b.size() ? 0 : util::GetLe16(b, at);
}

std::string PathKey(const std::string& host_path) { return host_path + std::string(1, '\0'); }

}  // namespace

RecordFile::~RecordFile() {
  if (!open_) return;
  uint32_t length = 0;
  BTRCALL(rm::kClose, block_, nullptr, &length, key_.data(), 255, 0);
}

int16_t RecordFile::Open(const std::string& host_path, int8_t mode) {
  if (host_path.size() + 1 > 255) return rm::kFileNotFound;
  std::string key = PathKey(host_path);
  std::string owner;
  for (char c : {'Q', 'D', 'B', 'K', '\0'}) owner += c;
  uint32_t length = static_cast<uint32_t>(owner.size());
  int16_t st = BTRCALL(rm::kOpen, block_, owner.data(), &length, key.data(),
                       static_cast<uint8_t>(key.size()), mode);
  open_ = st == 0;
  return st;
}

int16_t RecordFile::Stat(FileInfo* info) {
  std::string data(8192, '\0');
  uint32_t length = static_cast<uint32_t>(data.size());
  int16_t st = BTRCALL(rm::kStat, block_, data.data(), &length, key_.data(), 255, 0);
  if (st != 0) return st;
  data.resize(length);
  *info = FileInfo();
  info->record_length = Get16(data, 0);
  info->page_size = Get16(data, 2);
  info->records = Get16(data, 6) | (static_cast<uint32_t>(Get16(data, 8)) << 16);
  info->file_flags = Get16(data, 10);
  info->layout = data;
  if (info->layout.size() >= 10) info->layout.replace(6, 4, 4, '\0');
  uint16_t keys = Get16(data, 4);
  size_t at = 16;
  for (uint16_t k = 0; k < keys && at + 16 <= data.size(); ++k) {
    KeyInfo key;
    for (;;) {
      if (at + 16 > data.size()) break;
      KeyInfo::Segment s{Get16(data, at), Get16(data, at + 2), Get16(data, at + 4),
                         static_cast<uint8_t>(data[at + 10])};
      key.segments.push_back(s);
      key.length = static_cast<uint16_t>(key.length + s.length);
      key.duplicates = key.duplicates || (s.flags & 0x01) != 0;
      at += 16;
      if ((s.flags & 0x10) == 0) break;
    }
    info->keys.push_back(key);
  }
  return 0;
}

int16_t RecordFile::Get(uint16_t op, int8_t key, std::string* record) {
  record->assign(kMaxRecord, '\0');
  uint32_t length = kMaxRecord;
  int16_t st = BTRCALL(op, block_, record->data(), &length, key_.data(), 255, key);
  record->resize(st == 0 ? length : 0);
  return st;
}

int16_t RecordFile::Insert(const std::string& record) {
  std::string data = record;
  uint32_t length = static_cast<uint32_t>(data.size());
  return BTRCALL(rm::kInsert, block_, data.data(), &length, key_.data(), 255, 0);
}

int16_t CreateRecordFile(const std::string& host_path, const std::string& layout) {
  if (host_path.size() + 1 > 255) return rm::kFileNotFound;
  std::string key = PathKey(host_path);
  std::string data = layout;
  char block[128] = {};
  uint32_t length = static_cast<uint32_t>(data.size());
  return BTRCALL(rm::kCreate, block, data.data(), &length, key.data(),
                 static_cast<uint8_t>(key.size()), -1);
}

int16_t Transaction(uint16_t op) {
  char block[128] = {};
  uint32_t length = 0;
  char key[1] = {};
  return BTRCALL(op, block, nullptr, &length, key, 0, 0);
}

std::string StatusText(int16_t status) {
  // The record manager's statuses in the words of its notes (recman.md).
  static constexpr struct {
    int16_t status;
    const char* words;
  } kWords[] = {
      {rm::kInvalidOperation, "unknown operation"},
      {rm::kIoError, "I/O error or damaged file"},
      {rm::kFileNotOpen, "file not open"},
      {rm::kKeyNotFound, "no such key"},
      {rm::kDuplicateKey, "duplicate key"},
      {rm::kInvalidKeyNumber, "key number not in the file"},
      {rm::kKeyNumberChanged, "another key than the last read"},
      {rm::kInvalidPositioning, "no current record"},
      {rm::kEndOfFile, "end of file"},
      {rm::kModifiableKeyChanged, "a key that may not change changed"},
      {rm::kFileNotFound, "file not found"},
      {rm::kServerUnavailable, "the database server cannot be reached"},
      {rm::kSessionLost, "the connection to the database server was lost"},
      {rm::kDiskFull, "disk full"},
      {rm::kKeyBufferTooShort, "key buffer too short"},
      {rm::kDataBufferTooShort, "data buffer too short"},
      {rm::kPageSizeError, "bad page size"},
      {rm::kKeyCountError, "bad number of keys"},
      {rm::kKeyPositionError, "bad key position"},
      {rm::kRecordLengthError, "bad record length"},
      {rm::kKeyLengthError, "bad key length or type"},
      {rm::kNotARecordFile, "not one of our record files"},
      {rm::kTransactionError, "the transaction was rolled back"},
      {rm::kTransactionActive, "a transaction is already active"},
      {rm::kNoTransaction, "no transaction active"},
      {rm::kInvalidRecordAddress, "no record at that position"},
      {rm::kAccessDenied, "access denied"},
      {rm::kInvalidCollatingSequence, "bad collating sequence"},
      {rm::kFileExists, "file exists"},
      {rm::kConflict, "the record changed since it was read"},
      {rm::kLockError, "no lock side file, so no record lock"},
      {rm::kRecordInUse, "record in use"},
      {rm::kFileInUse, "file in use"},
      {rm::kIncompatibleMode, "unknown open mode"},
  };
  for (const auto& entry : kWords) {
    if (entry.status != status) continue;
    // The server's reason, when it gave one, says more than the words (down,
    // the password refused ...); it never holds the password.
    if (status == rm::kServerUnavailable || status == rm::kSessionLost) {
      const std::string reason = rm::LastServerError();
      if (!reason.empty()) return std::to_string(status) + " " + reason;
    }
    return std::to_string(status) + " " + entry.words;
  }
  return "status " + std::to_string(status);
}

}  // namespace kitdb
