// Shared by the record manager's tests: a scratch directory, creation
// buffers built from a short description, and thin calls of BTRCALL.
#pragma once

#include <cstdint>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/recman/btrcall.h"

namespace platform::recman::testing {

struct SegmentDef {
  uint16_t position;  // 1-based
  uint16_t length;
  uint16_t flags;
  uint8_t type = 0;
};

// A creation buffer: record length, page size 1024, one entry per segment
// (keys are separated by the segmented flag), and an optional collating
// sequence (name, 256-byte table).
inline std::string SpecBuffer(uint16_t record_length, const std::vector<SegmentDef>& segments,
                              const std::string& alternate = {}, uint16_t file_flags = 0) {
  std::string b(16, '\0');
  auto put16 = [](std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
  };
  put16(b, 0, record_length);
  put16(b, 2, 1024);
  uint16_t keys = 0;
  for (const SegmentDef& s : segments) {
    if ((s.flags & 0x10) == 0) ++keys;
  }
  put16(b, 4, keys);
  put16(b, 10, file_flags);
  for (const SegmentDef& s : segments) {
    std::string k(16, '\0');
    put16(k, 0, s.position);
    put16(k, 2, s.length);
    put16(k, 4, s.flags);
    k[10] = static_cast<char>(s.type);
    b += k;
  }
  if (!alternate.empty()) b += alternate;
  return b;
}

inline std::string ScratchDir(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() /
             ("recman_" + name + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

// One open record file and its position block.
struct Rec {
  char block[kPositionBlockSize] = {};
  std::string key = std::string(255, '\0');
  std::string data = std::string(2048, '\0');
  uint32_t length = 0;

  int16_t Call(uint16_t op, std::string& buffer, uint32_t in_length, int key_number,
               uint8_t key_length = 255) {
    length = in_length;
    return BTRCALL(op, block, buffer.data(), &length, key.data(), key_length,
                   static_cast<int8_t>(key_number));
  }
  int16_t Create(const std::string& path, const std::string& layout, int mode = 0) {
    std::string s = layout;
    SetKey(path + std::string(1, '\0'));
    return Call(kCreate, s, static_cast<uint32_t>(s.size()), mode);
  }
  int16_t Open(const std::string& path, int mode = 0) {
    std::string owner("TEST\0", 5);
    SetKey(path + std::string(1, '\0'));
    return Call(kOpen, owner, 5, mode, static_cast<uint8_t>(path.size() + 1));
  }
  int16_t Close() { return Call(kClose, data, 0, 0); }
  int16_t Insert(const std::string& record, int key_number = 0) {
    data.assign(record);
    return Call(kInsert, data, static_cast<uint32_t>(record.size()), key_number);
  }
  int16_t Update(const std::string& record, int key_number = 0) {
    data.assign(record);
    return Call(kUpdate, data, static_cast<uint32_t>(record.size()), key_number);
  }
  int16_t Delete() { return Call(kDelete, data, 0, 0); }
  // A get; the record read is data.substr(0, length) afterwards.
  int16_t Get(uint16_t op, int key_number = 0, const std::string& search = {}) {
    SetKey(search);
    data.assign(2048, '\0');
    return Call(op, data, 2048, key_number);
  }
  std::string Record() const { return data.substr(0, length); }
  void SetKey(const std::string& k) {
    key.assign(255, '\0');
    std::memcpy(key.data(), k.data(), std::min<size_t>(k.size(), 255));
  }
};

}  // namespace platform::recman::testing
