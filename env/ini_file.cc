#include "env/ini_file.h"

#include <algorithm>

#include "platform/fs/files.h"
#include "platform/fs/paths.h"

namespace env {

namespace {

constexpr int kTempNameTries = 50;

// Program path to host path, for every settings and language file.
std::string HostFile(std::string_view program_path) {
  return platform::fs::HostPath(program_path);
}

}  // namespace

FileRead ReadWholeFile(const std::string& program_path, std::string* content) {
  content->clear();
  std::string host = HostFile(program_path);
  if (host.empty()) return FileRead::kFailed;
  const int error = platform::fs::ReadWholeFile(host, content);
  if (error == platform::fs::kErrorFileNotFound) return FileRead::kMissing;
  return error == 0 ? FileRead::kOk : FileRead::kFailed;
}

void TouchFile(const std::string& program_path) {
  std::string host = HostFile(program_path);
  if (host.empty()) return;
  // Created only when no entry of that name exists: an existing file, or a
  // pipe, is left alone.
  platform::fs::File file;
  file.Open(host, platform::fs::File::kCreateNew, false);
}

std::string WriteTempFile(const std::string& dir_prefix, const std::string& content,
                          const std::function<int()>& next_digit) {
  for (int attempt = 0; attempt < kTempNameTries; ++attempt) {
    std::string name = dir_prefix;
    for (int i = 0; i < 8; ++i) name += static_cast<char>('0' + next_digit() % 10);
    name += ".tmp";
    std::string host = HostFile(name);
    if (host.empty()) return {};
    // Created only when no file of that name exists, so the existence test
    // and the creation are one step even with another writer around.
    platform::fs::File file;
    int error = file.Open(host, platform::fs::File::kCreateNew, false);
    if (error == platform::fs::kErrorFileExists) continue;
    if (error != 0) return {};
    bool ok = file.WriteAt(0, content.data(), content.size()) && file.Sync();
    file.Close();
    if (ok) return name;
    platform::fs::RemoveFile(host);
    return {};
  }
  return {};
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  return platform::fs::ReplaceFile(HostFile(from), HostFile(to)) == 0;
}

void RemoveFile(const std::string& program_path) {
  std::string host = HostFile(program_path);
  if (!host.empty()) platform::fs::RemoveFile(host);
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
