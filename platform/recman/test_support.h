// Shared by the record manager's tests: creation buffers from a short list
// of segments, a fixture with a scratch directory that closes every record
// file at its end, and thin calls of BTRCALL.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/recman/btrcall.h"
#include "platform/recman/keyspec.h"
#include "platform/recman/reset.h"
#include "platform/recman/server.h"
#include "platform/recman/status.h"
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

// The back ends a test runs on: SQLite files in a scratch directory, or
// tables on the test server that QDEB_TEST_PG names (a libpq connection
// string).
enum class Store { kSqlite, kServer };

inline std::string StoreName(const ::testing::TestParamInfo<Store>& info) {
  return info.param == Store::kSqlite ? "Sqlite" : "Postgres";
}

// dir_ is where the test's record files go: a scratch directory of the
// test's own, or "pg:" and a prefix no other test uses, so that parallel
// runs never meet. Every record file of the process is closed when the test
// ends, and the server's files it made are dropped. A test on the server
// fails, with the reason, when the server cannot be reached.
class RecmanTest : public ::testing::TestWithParam<Store> {
 protected:
  ~RecmanTest() override {
    ResetRecordManager();
    if (!server_prefix_.empty()) {
      EXPECT_EQ(0, DropServerFiles(server_prefix_)) << LastServerError();
    }
  }
  // The parameter; fixtures that only make sense on SQLite files say so.
  virtual Store store() const { return GetParam(); }
  void SetUp() override {
    if (store() != Store::kServer) return;
    const char* conninfo = std::getenv("QDEB_TEST_PG");
    ASSERT_TRUE(conninfo != nullptr && *conninfo != '\0')
        << "QDEB_TEST_PG must name the test server (scripts/pg-test-server start prints it)";
    SetServer(conninfo);
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    server_prefix_ = "t" + std::to_string(getpid()) + "_" + info->test_suite_name() + "_" + info->name() + "/";
    dir_ = "pg:" + server_prefix_;
    dir_.pop_back();
    char block[kPositionBlockSize] = {};
    std::string name = dir_ + "/none";
    uint32_t length = 0;
    int16_t probe = BTRCALL(kOpen, block, nullptr, &length, name.data(),
                            static_cast<uint8_t>(name.size()), 0);
    ASSERT_EQ(kFileNotFound, probe) << "the test server: " << LastServerError();
  }
  qdeb::testing::ScratchDir scratch_{"recman"};
  std::string dir_ = scratch_.path();
  std::string server_prefix_;
};

// Tests of what only SQLite files have (their host files, WAL, SQLite's
// own calls).
class SqliteRecmanTest : public RecmanTest {
 protected:
  Store store() const override { return Store::kSqlite; }
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

namespace platform::recman::testing {

// The back end in the names of failing tests.
inline void PrintTo(Store store, std::ostream* out) {
  *out << (store == Store::kSqlite ? "SQLite" : "PostgreSQL");
}

}  // namespace platform::recman::testing
