#include "tests/support/scratch_dir.h"

#include <dirent.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace qdeb::testing {

namespace {

std::string TempRoot() {
  const char* dir = getenv("TMPDIR");
  return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

// Folders get their owner's rights back first, so that a test that took
// them away does not leave its files behind.
int OpenUp(const char* path, const struct stat* st, int kind, FTW*) {
  if (kind == FTW_D || kind == FTW_DNR) chmod(path, (st->st_mode & 07777) | S_IRWXU);
  return 0;
}

int RemoveOne(const char* path, const struct stat*, int kind, FTW*) {
  if (kind == FTW_DP || kind == FTW_D || kind == FTW_DNR) {
    rmdir(path);
  } else {
    unlink(path);
  }
  return 0;
}

}  // namespace

ScratchDir::ScratchDir(std::string_view tag) {
  std::string pattern = TempRoot() + "/" + std::string(tag) + "_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot make a scratch directory " << pattern << ": "
                  << std::strerror(errno);
    return;
  }
  char real[PATH_MAX];
  path_ = realpath(pattern.c_str(), real) != nullptr ? real : pattern;
}

ScratchDir::~ScratchDir() {
  if (!path_.empty()) RemoveHostTree(path_);
}

std::string ScratchDir::Host(std::string_view relative) const {
  return path_ + "/" + std::string(relative);
}

std::string ScratchDir::Dos(std::string_view relative) const { return DosPathOf(Host(relative)); }

void ScratchDir::Put(std::string_view relative, std::string_view bytes) const {
  const std::string path = Host(relative);
  const size_t slash = path.rfind('/');
  MakeHostDirs(path.substr(0, slash));
  EXPECT_TRUE(WriteHostFile(path, bytes)) << "cannot write " << path;
}

std::string ScratchDir::Get(std::string_view relative) const { return ReadHostFile(Host(relative)); }

bool ScratchDir::Exists(std::string_view relative) const {
  struct stat st{};
  return lstat(Host(relative).c_str(), &st) == 0;
}

void ScratchDir::MakeDir(std::string_view relative) const { MakeHostDirs(Host(relative)); }

void ScratchDir::Remove(std::string_view relative) const { RemoveHostTree(Host(relative)); }

std::vector<std::string> ScratchDir::Names(std::string_view relative) const {
  std::vector<std::string> names;
  if (DIR* dir = opendir(Host(relative).c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool WriteHostFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

void MakeHostDirs(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0777);
    if (slash == std::string::npos) break;
  }
}

void RemoveHostTree(const std::string& path) {
  nftw(path.c_str(), OpenUp, 16, FTW_PHYS);
  nftw(path.c_str(), RemoveOne, 16, FTW_PHYS | FTW_DEPTH);
}

std::string DosPathOf(std::string_view host_path) {
  std::string path = "C:" + std::string(host_path);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

}  // namespace qdeb::testing
