// Scratch installation roots for the layer's tests: a temporary directory
// that env::RootDir names, with dictionaries written into its "ddf" folder.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/records.h"
#include "env/session.h"
#include "platform/fs/paths.h"

namespace db::testing {

struct Seg {
  uint16_t position;  // 1-based
  uint16_t length;
  uint16_t flags;     // 0x10 on every segment of a key but its last
};

inline void Put16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

// A creation buffer: record length, page size 1024, the segments,
// and an optional collating sequence block (0xAC, name, table).
inline std::string CreateBuffer(uint16_t record_length, const std::vector<Seg>& segments,
                        const std::string& alternate = {}) {
  std::string b(16, '\0');
  Put16(b, 0, record_length);
  Put16(b, 2, 1024);
  uint16_t keys = 0;
  for (const Seg& s : segments) {
    if ((s.flags & 0x10) == 0) ++keys;
  }
  Put16(b, 4, keys);
  for (const Seg& s : segments) {
    std::string k(16, '\0');
    Put16(k, 0, s.position);
    Put16(k, 2, s.length);
    Put16(k, 4, s.flags);
    b += k;
  }
  return b + alternate;
}

class ScratchRoot {
 public:
  explicit ScratchRoot(const std::string& name) {
    host_ = (std::filesystem::temp_directory_path() /
             ("qdeb_db_" + name + "_" + std::to_string(::getpid())))
                .string();
    std::filesystem::remove_all(host_);
    std::filesystem::create_directories(host_ + "/ddf");
    saved_root_ = env::RootDir;
    saved_cwd_ = std::filesystem::current_path();
    env::RootDir = platform::fs::ProgramPath(host_) + "\\";
    std::filesystem::current_path(host_);
  }
  ~ScratchRoot() {
    int16_t status = 0;
    CloseAllRecordFiles(status);
    std::filesystem::current_path(saved_cwd_);
    env::RootDir = saved_root_;
    std::filesystem::remove_all(host_);
  }
  ScratchRoot(const ScratchRoot&) = delete;
  ScratchRoot& operator=(const ScratchRoot&) = delete;

  void Dictionary(const std::string& base, const std::string& create_buffer) const {
    std::string bytes(2, '\0');
    Put16(bytes, 0, static_cast<uint16_t>(create_buffer.size()));
    std::ofstream(host_ + "/ddf/" + base + ".xdf", std::ios::binary) << bytes << create_buffer;
  }
  // The program path of a file in the root ("C:\tmp\...\name").
  std::string Path(const std::string& name) const { return env::RootDir + name; }
  const std::string& host() const { return host_; }

 private:
  std::string host_;
  std::string saved_root_;
  std::filesystem::path saved_cwd_;
};

}  // namespace db::testing
