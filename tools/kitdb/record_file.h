// A record file opened by kitdb through the record manager, by host path or
// "pg:" and its name on the database server.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kitdb {

struct KeyInfo {
  bool duplicates = false;
  uint16_t length = 0;
  struct Segment {
    uint16_t position, length, flags;
    uint8_t type;
  };
  std::vector<Segment> segments;
};

struct FileInfo {
  uint16_t record_length = 0;
  uint16_t page_size = 0;
  uint32_t records = 0;
  uint16_t file_flags = 0;
  std::vector<KeyInfo> keys;
  // The statistics as a creation buffer (the record count zeroed): what
  // makes another file of the same layout.
  std::string layout;
};

class RecordFile {
 public:
  RecordFile() = default;
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // mode 0 normal, -2 read-only. Returns the status.
  int16_t Open(const std::string& host_path, int8_t mode);
  int16_t Stat(FileInfo* info);
  // op 12 get first / 6 get next on key; record gets what was read.
  int16_t Get(uint16_t op, int8_t key, std::string* record);
  int16_t Insert(const std::string& record);

 private:
  char block_[128] = {};
  bool open_ = false;
  std::string key_ = std::string(255, '\0');
};

// Create (14) of a file from a creation buffer; key number -1 keeps an
// existing file (status 59).
int16_t CreateRecordFile(const std::string& host_path, const std::string& layout);

// The transaction over the process's files.
int16_t Transaction(uint16_t op);

// What a status means, for messages.
std::string StatusText(int16_t status);

}  // namespace kitdb
