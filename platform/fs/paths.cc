#include "platform/fs/paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <list>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/fs/dir_cache.h"
#include "platform/fs/drives.h"
#include "platform/fs/names.h"
#include "platform/fs/reset.h"
#include "util/basics.h"

namespace platform::fs {

namespace {

bool Exists(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& dir, const std::string& name) {
  return dir == "/" ? "/" + name : dir + "/" + name;
}

// Directories scanned lately (dir_cache.h). Only hits are taken from them,
// and each hit is checked against the disk, so a stale map can cost a
// rescan but never give a wrong answer.
using internal::DirNames;
constexpr size_t kCachedDirs = 8;

std::list<DirNames>& Cache() { return internal::dir_cache.scanned_dirs; }

std::optional<DirNames> ScanDir(const std::string& dir) {
  DIR* handle = opendir(dir.c_str());
  if (handle == nullptr) return std::nullopt;
  DirNames names;
  names.dir = dir;
  std::vector<std::string> all;
  while (dirent* entry = readdir(handle)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    all.push_back(std::move(name));
  }
  closedir(handle);
  // Of names differing only in case, the first in byte order is taken, so the
  // answer does not depend on the order the directory keeps.
  std::sort(all.begin(), all.end());
  for (std::string& name : all) names.by_key.try_emplace(NameKey(name), std::move(name));
  return names;
}

std::optional<std::string> CachedName(const std::string& dir, const std::string& key) {
  std::list<DirNames>& cache = Cache();
  for (auto it = cache.begin(); it != cache.end(); ++it) {
    if (it->dir != dir) continue;
    auto found = it->by_key.find(key);
    if (found == it->by_key.end()) return std::nullopt;
    if (!Exists(Join(dir, found->second))) return std::nullopt;
    cache.splice(cache.begin(), cache, it);
    return found->second;
  }
  return std::nullopt;
}

// The host name of an existing entry of dir matching a program name
// (code page 850) whatever its case.
std::optional<std::string> FindCaseless(const std::string& dir, const std::string& name) {
  std::string key = util::UpperCase(name);
  if (std::optional<std::string> hit = CachedName(dir, key)) return hit;
  std::optional<DirNames> scanned = ScanDir(dir);
  if (!scanned) return std::nullopt;
  std::list<DirNames>& cache = Cache();
  cache.remove_if([&](const DirNames& d) { return d.dir == dir; });
  cache.push_front(std::move(*scanned));
  if (cache.size() > kCachedDirs) cache.pop_back();
  auto found = cache.front().by_key.find(key);
  if (found == cache.front().by_key.end()) return std::nullopt;
  return found->second;
}

// The components of a program path without its drive, "." and ".." applied.
std::vector<std::string> Components(std::string_view rest) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = rest.size();
    std::string_view part = rest.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.emplace_back(part);
  }
  return parts;
}

}  // namespace

std::string HostPath(std::string_view program_path) {
  if (program_path.empty() || program_path.find('\0') != std::string_view::npos) return {};
  std::string_view rest = program_path;
  std::optional<Drive> drive;
  if (rest.size() >= 2 && rest[1] == ':') {
    drive = FindDrive(rest[0]);
    rest.remove_prefix(2);
  } else {
    drive = CurrentDrive();
  }
  if (!drive) return {};
  std::string full;
  if (rest.empty() || (rest[0] != '\\' && rest[0] != '/')) {
    full = CurrentDirectory(drive->letter);
  }
  full += rest;
  bool trailing = !full.empty() && (full.back() == '\\' || full.back() == '/');

  std::vector<std::string> parts = Components(full);
  std::string path = drive->host_dir;
  // Most names are given in the case they have on disk: one look settles them.
  std::string exact = path;
  for (const std::string& part : parts) exact = Join(exact, HostFileName(part));
  if (Exists(exact)) {
    if (trailing && exact.back() != '/') exact += '/';
    return exact;
  }
  // Usually only the last name differs in case: when its directory exists as
  // given, the search starts there.
  size_t first = 0;
  if (parts.size() > 1) {
    std::string parent = path;
    for (size_t i = 0; i + 1 < parts.size(); ++i) parent = Join(parent, HostFileName(parts[i]));
    if (Exists(parent)) {
      path = parent;
      first = parts.size() - 1;
    }
  }
  bool resolving = true;
  for (size_t i = first; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    std::string host = HostFileName(part);
    if (resolving && !Exists(Join(path, host))) {
      if (std::optional<std::string> found = FindCaseless(path, part)) {
        host = *found;
      } else {
        resolving = false;  // nothing below a missing directory exists either
      }
    }
    path = Join(path, host);
  }
  if (trailing && path.back() != '/') path += '/';
  return path;
}

std::string ProgramPath(std::string_view host_path) {
  std::string rest;
  std::optional<Drive> drive = DriveOfHostPath(std::string(host_path), &rest);
  if (!drive) return {};
  std::string path = std::string(1, drive->letter) + ":" + ProgramFileName(rest);
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

namespace internal {
void ForgetScannedDirs() { dir_cache.scanned_dirs.clear(); }
}  // namespace internal

}  // namespace platform::fs
