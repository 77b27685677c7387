#include "env/ini_file.h"

// fsync has no standard form; this is the only host call of env/ besides
// <cstdio>, kept here until platform/fs offers a flushed write.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/fs/paths.h"

namespace env {

namespace {

constexpr int kTempNameTries = 50;

// Program path to host path, for every settings and language file.
std::string HostFile(std::string_view program_path) {
  return platform::fs::HostPath(program_path);
}

bool FlushToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
  return fsync(fileno(file)) == 0;
}

// After a rename the directory entry itself must reach the disk too.
void FlushDirectoryOf(const std::string& host_path) {
  std::string::size_type slash = host_path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : host_path.substr(0, slash + 1);
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

FileRead ReadWholeFile(const std::string& program_path, std::string* content) {
  content->clear();
  std::string host = HostFile(program_path);
  if (host.empty()) return FileRead::kFailed;
  // Only plain files: a pipe would block the open and a device might
  // never end.
  std::error_code error;
  std::filesystem::file_status status = std::filesystem::status(host, error);
  if (status.type() == std::filesystem::file_type::not_found) return FileRead::kMissing;
  if (error || !std::filesystem::is_regular_file(status)) return FileRead::kFailed;
  std::FILE* file = std::fopen(host.c_str(), "rb");
  if (file == nullptr) return errno == ENOENT ? FileRead::kMissing : FileRead::kFailed;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content->append(buffer, got);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    content->clear();
    return FileRead::kFailed;
  }
  return FileRead::kOk;
}

void TouchFile(const std::string& program_path) {
  std::string host = HostFile(program_path);
  if (host.empty()) return;
  std::error_code error;
  if (std::filesystem::status(host, error).type() != std::filesystem::file_type::not_found) return;
  if (std::FILE* file = std::fopen(host.c_str(), "ab")) std::fclose(file);
}

std::string WriteTempFile(const std::string& dir_prefix, const std::string& content,
                          const std::function<int()>& next_digit) {
  for (int attempt = 0; attempt < kTempNameTries; ++attempt) {
    std::string name = dir_prefix;
    for (int i = 0; i < 8; ++i) name += static_cast<char>('0' + next_digit() % 10);
    name += ".tmp";
    std::string host = HostFile(name);
    if (host.empty()) return {};
    // "x": created only when no file of that name exists, so the existence
    // test and the creation are one step even with another writer around.
    std::FILE* file = std::fopen(host.c_str(), "wbx");
    if (file == nullptr) {
      if (errno == EEXIST) continue;
      return {};
    }
    bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    ok = FlushToDisk(file) && ok;
    ok = std::fclose(file) == 0 && ok;
    if (ok) return name;
    std::remove(host.c_str());
    return {};
  }
  return {};
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  std::string host_from = HostFile(from);
  std::string host_to = HostFile(to);
  if (host_from.empty() || host_to.empty()) return false;
  // The new file keeps the old one's permissions: a file readable by its
  // owner only stays so.
  std::error_code error;
  std::filesystem::file_status old_status = std::filesystem::status(host_to, error);
  if (!error && std::filesystem::is_regular_file(old_status)) {
    std::filesystem::permissions(host_from, old_status.permissions(), error);
    if (error) return false;
  }
  if (std::rename(host_from.c_str(), host_to.c_str()) != 0) return false;
  FlushDirectoryOf(host_to);
  return true;
}

void RemoveFile(const std::string& program_path) {
  std::string host = HostFile(program_path);
  if (!host.empty()) std::remove(host.c_str());
}

bool NextLine(std::string_view* rest, std::string_view* line) {
  if (rest->empty()) return false;
  // A plain scan: find_first_of would search the set once per byte.
  std::string_view::size_type end = 0;
  while (end < rest->size() && (*rest)[end] != '\r' && (*rest)[end] != '\n') ++end;
  *line = rest->substr(0, end);
  std::string_view::size_type next = end + 1;
  if (end < rest->size() && (*rest)[end] == '\r' && next < rest->size() && (*rest)[next] == '\n') {
    ++next;
  }
  rest->remove_prefix(std::min(next, rest->size()));
  return true;
}

}  // namespace env
