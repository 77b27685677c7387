#include "files/paths.h"

#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

#include "env/language.h"
#include "files/listing.h"
#include "files/random.h"
#include "platform/fs/drives.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace files {

namespace fs = platform::fs;

// Process-wide: what FileTimeStamp saw last, read by its callers after it.
FileStamp file_stamp;

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasDrive(std::string_view path) {
  if (path.size() < 2 || path[1] != ':') return false;
  char c = path[0];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string PathPart(std::string_view path, int16_t parts) {
  size_t drive_end = path.size() >= 2 && path[1] == ':' ? 2 : 0;
  size_t name_start = drive_end;
  size_t extension_start = path.size();
  bool dot_seen = false;
  for (size_t i = path.size(); i-- > 0;) {
    char c = path[i];
    if (c == ':' || IsSeparator(c)) {
      name_start = i + 1;
      break;
    }
    if (c == '.' && !dot_seen) {
      extension_start = i;
      dot_seen = true;
    }
  }
  if (name_start < drive_end) name_start = drive_end;
  if (extension_start < name_start) extension_start = name_start;
  std::string result;
  if (parts & 1) result += path.substr(0, drive_end);
  if (parts & 2) result += path.substr(drive_end, name_start - drive_end);
  if (parts & 4) result += path.substr(name_start, extension_start - name_start);
  if (parts & 8) result += path.substr(extension_start);
  return result;
}

void AbsolutePath(std::string& path) {
  std::string text(util::Trim(path));
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  char letter = 0;
  std::string rest;
  if (HasDrive(text)) {
    letter = util::UpperCaseChar(text[0]);
    rest = text.substr(2);
  } else {
    letter = fs::CurrentDriveLetter();
    rest = text;
  }
  if (!fs::FindDrive(letter)) {
    path.clear();
    return;
  }
  if (rest.empty() || rest[0] != '\\') rest = fs::CurrentDirectory(letter) + rest;
  // ".." at the root stays at the root: no path leaves its drive.
  std::vector<std::string> dirs;
  size_t start = 0;
  while (start < rest.size()) {
    size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    std::string part = rest.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!dirs.empty()) dirs.pop_back();
      continue;
    }
    dirs.push_back(std::move(part));
  }
  std::string result(1, letter);
  result += ":\\";
  for (const std::string& dir : dirs) result += dir + "\\";
  path = result;
}

env::Status MakePath(std::string_view path) {
  fs::ClearFileError();
  size_t start = HasDrive(path) ? 2 : 0;
  std::string prefix(path.substr(0, start));
  size_t i = start;
  while (i < path.size()) {
    size_t end = i;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (end > i) {
      prefix += path.substr(i, end - i);
      std::string host = fs::HostPath(prefix);
      if (!host.empty()) fs::MakeDirectory(host);
    }
    if (end < path.size()) prefix += path[end];
    i = end + 1;
  }
  // Made, or there already: a folder now. Otherwise the last failure noted
  // on the way says why (one that exists is no failure).
  const std::string host = fs::HostPath(prefix);
  fs::DirEntry entry;
  if (!host.empty() && fs::StatEntry(host, &entry) && (entry.attributes & fs::kDirectory) != 0) {
    return env::OkStatus();
  }
  env::Status failed = env::LastFileStatus();
  if (failed.ok()) {
    failed = env::Status(env::Code::kNotFound,
                         env::TranslateText(util::Cp850("NO ES POT CREAR LA CARPETA")) + " " +
                             std::string(path),
                         std::string(path));
  }
  return failed;
}

std::string UniqueFileName(std::string_view directory, std::string_view prefix,
                           std::string_view extension) {
  std::string dir(directory);
  if (!dir.empty() && dir.back() != ':' && !IsSeparator(dir.back())) dir += '\\';
  std::string base(prefix.substr(0, 3));
  if (!extension.empty() && extension[0] == '.') extension.remove_prefix(1);
  std::string suffix = extension.empty() ? "" : "." + std::string(extension.substr(0, 3));
  SeedFromClock();
  for (;;) {
    // One seed and then fresh draws: a name taken is not drawn again in the
    // same hundredth of a second.
    std::string name = base;
    while (name.size() < 8) {
      int k = static_cast<int>(Rnd() * 36) + 48;
      if (k >= 58) k += 7;
      name += static_cast<char>(k);
    }
    std::string candidate = dir + name + suffix;
    fs::DirEntry entry;
    // A directory of that name would block the file as much as a file would.
    if (!FileExists(candidate) && !fs::StatEntry(fs::HostPath(candidate), &entry)) {
      return candidate;
    }
  }
}

std::string FileTimeStamp(std::string_view path) {
  file_stamp.FileStampYear = 0;
  file_stamp.FileStampMonth = 0;
  fs::DirEntry entry;
  if (path.empty() || !fs::StatEntry(fs::HostPath(path), &entry)) return {};
  std::time_t seconds = static_cast<std::time_t>(entry.modified);
  std::tm utc{};
  if (gmtime_r(&seconds, &utc) == nullptr || utc.tm_year + 1900 > 9999 || utc.tm_year < -1899) {
    return {};
  }
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  file_stamp.FileStampYear = static_cast<int16_t>(utc.tm_year + 1900);
  file_stamp.FileStampMonth = static_cast<int16_t>(utc.tm_mon + 1);
  return stamp;
}

bool FileDatedBefore(std::string_view path, std::string_view yyyymmdd) {
  std::string stamp = FileTimeStamp(path);
  if (stamp.size() < 8 || yyyymmdd.size() < 8) return false;
  return stamp.compare(0, 8, yyyymmdd.substr(0, 8)) < 0;
}

}  // namespace files
