// Shared by the record manager's tests: creation buffers from a short list
// of segments, a fixture with a scratch directory that closes every record
// file at its end, and thin calls of BTRCALL.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/recman/btrcall.h"
#include "platform/recman/keyspec.h"
#include "platform/recman/reset.h"
#include "tests/support/scratch_dir.h"

namespace platform::recman::testing {

using SegmentDef = CreationSegment;

// A creation buffer: record length, page size 1024 and the segments (keys
// are separated by the segmented flag).
inline std::string SpecBuffer(uint16_t record_length, const std::vector<SegmentDef>& segments,
                              uint16_t file_flags = 0) {
  FileDefinition definition;
  definition.record_length = record_length;
  definition.file_flags = file_flags;
  definition.segments = segments;
  return EncodeCreationBuffer(definition);
}

// A scratch directory of the test's own (dir_); every record file of the
// process is closed when the test ends.
class RecmanTest : public ::testing::Test {
 protected:
  ~RecmanTest() override { ResetRecordManager(); }
  qdeb::testing::ScratchDir scratch_{"recman"};
  std::string dir_ = scratch_.path();
};

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
  int16_t CreateAndOpen(const std::string& path, const std::string& layout, int mode = 0) {
    if (int16_t status = Create(path, layout, mode)) return status;
    return Open(path);
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
