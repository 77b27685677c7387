// A scratch directory for the file tests, with its own drive table, working
// directory and temporary directory; everything is put back afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

namespace files {

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qdeb_files_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = std::filesystem::canonical(pattern).string();
    old_cwd_ = std::filesystem::current_path();
    for (const char* name : {"KITDRIVES", "TEMP", "TMPDIR"}) {
      const char* value = getenv(name);
      saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
    }
    std::filesystem::create_directories(root_ + "/temp");
    SetEnv("TEMP", root_ + "/temp");
    unsetenv("KITDRIVES");
  }
  void TearDown() override {
    std::filesystem::current_path(old_cwd_);
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  static void SetEnv(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
  }
  // Creates a file (and its folders) under the scratch root.
  void Touch(const std::string& relative, const std::string& content = "x") {
    std::filesystem::path path = root_ + "/" + relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  // The bytes of a host file; empty when it cannot be read.
  static std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    std::string bytes(static_cast<size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  }
  bool Exists(const std::string& relative) const {
    return std::filesystem::exists(root_ + "/" + relative);
  }
  // The scratch root as a C: path with DOS separators.
  std::string Dos(const std::string& relative = "") const {
    std::string path = "C:" + root_ + "/" + relative;
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return path;
  }

  std::string root_;
  std::filesystem::path old_cwd_;
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace files
