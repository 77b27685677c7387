// Test fixtures of env/: a fresh host directory per test, removed
// afterwards, with helpers to put raw bytes into files and take them out
// again, and environment variables set for one test only.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
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

// Sets or clears variables for the life of the object, then puts back what
// was there before.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }
  void Set(const std::string& name, const std::string& value) {
    Save(name);
    setenv(name.c_str(), value.c_str(), 1);
  }
  void Clear(const std::string& name) {
    Save(name);
    unsetenv(name.c_str());
  }

 private:
  void Save(const std::string& name) {
    if (saved_.count(name) != 0) return;
    const char* value = std::getenv(name.c_str());
    saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

// The program path of a host path as a DOS program writes it: "C:" and
// backslashes.
inline std::string DosPath(std::string host_path) {
  for (char& c : host_path) {
    if (c == '/') c = '\\';
  }
  return "C:" + host_path;
}

}  // namespace env::testing
