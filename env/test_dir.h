// A fresh host directory per test, removed afterwards, with small helpers
// to put raw bytes into files and take them out again.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace env::testing {

class TestDir {
 public:
  TestDir() {
    std::random_device random;
    do {
      path_ = (std::filesystem::temp_directory_path() /
               ("qdeb_env_" + std::to_string(random()))).string();
    } while (!std::filesystem::create_directory(path_));
  }
  ~TestDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TestDir(const TestDir&) = delete;
  TestDir& operator=(const TestDir&) = delete;

  // The host directory with a trailing "/", usable as a program path prefix
  // (C: is the host root).
  std::string Dir() const { return path_ + "/"; }
  std::string File(const std::string& name) const { return Dir() + name; }

  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }
  // Names in the directory ending in ".tmp".
  int TempFiles() const {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      if (entry.path().extension() == ".tmp") ++count;
    }
    return count;
  }

 private:
  std::string path_;
};

}  // namespace env::testing
