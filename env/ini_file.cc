#include "env/ini_file.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/fs/files.h"
#include "platform/fs/names.h"
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

std::string WriteTempFile(const std::string& name_prefix, const std::string& content,
                          const std::function<int()>& next_digit, platform::fs::File* held) {
  for (int attempt = 0; attempt < kTempNameTries; ++attempt) {
    std::string name = name_prefix;
    for (int i = 0; i < 8; ++i) name += static_cast<char>('0' + next_digit() % 10);
    name += ".tmp";
    std::string host = HostFile(name);
    if (host.empty()) return {};
    // Created only when no file of that name exists, so the existence test
    // and the creation are one step even with another writer around.
    platform::fs::File file;
    int error = file.Open(host, platform::fs::File::kCreateNew, held != nullptr);
    if (error == platform::fs::kErrorFileExists) continue;
    if (error != 0) return {};
    bool ok = file.WriteAt(0, content.data(), content.size()) && file.Sync();
    if (ok) {
      if (held != nullptr) *held = std::move(file);
      return name;
    }
    file.Close();
    platform::fs::RemoveFile(host);
    return {};
  }
  return {};
}

platform::fs::File TakeWriterTurn(const std::string& program_path) {
  platform::fs::File turn;
  std::string host = HostFile(program_path);
  if (host.empty() ||
      turn.Open(host + ".lck", platform::fs::File::kReadWriteCreate, false) != 0 ||
      turn.WaitForExclusive() != 0) {
    turn.Close();
  }
  return turn;
}

namespace {

// Whether a host name is the file's name + "." + eight digits + ".tmp",
// compared whatever the case, as the program finds names.
bool IsTempNameOf(const std::string& name, const std::string& file_key) {
  std::string key = platform::fs::NameKey(name);
  if (key.size() != file_key.size() + 13 || key.compare(0, file_key.size(), file_key) != 0) {
    return false;
  }
  std::string_view rest = std::string_view(key).substr(file_key.size());
  return rest.front() == '.' && rest.substr(9) == ".TMP" &&
         rest.substr(1, 8).find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

void RemoveStaleTempFiles(const std::string& program_path) {
  std::string host = HostFile(program_path);
  std::string::size_type slash = host.rfind('/');
  if (host.empty() || slash == std::string::npos) return;
  std::string dir = host.substr(0, slash + 1);
  std::string file_key = platform::fs::NameKey(host.substr(slash + 1));
  std::vector<platform::fs::DirEntry> entries;
  if (!platform::fs::ListDirectory(dir, &entries)) return;
  for (const platform::fs::DirEntry& entry : entries) {
    if ((entry.attributes & platform::fs::kDirectory) != 0 || !IsTempNameOf(entry.name, file_key)) {
      continue;
    }
    // A live writer holds its temporary file until it is in place: such a
    // file cannot be opened with no sharing and is left alone.
    platform::fs::File stale;
    if (stale.Open(dir + entry.name, platform::fs::File::kReadWrite, true) == 0) {
      platform::fs::RemoveFile(dir + entry.name);
    }
  }
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
