#include "platform/fs/drives.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>
#include <system_error>

#include "platform/fs/dir_cache.h"
#include "platform/fs/names.h"
#include "platform/fs/reset.h"
#include "platform/process/environment.h"

namespace platform::fs {

namespace {

// Clusters of an emulated volume: the 512 bytes of a 1.44 MB diskette.
constexpr int64_t kEmulatedCluster = 512;

std::string NormaliseDir(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

bool IsDirectory(const std::string& path) {
  struct stat st{};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Takes one ":option" off the end of a drive entry when it is one.
bool TakeOption(std::string& value, Drive& drive) {
  size_t colon = value.rfind(':');
  if (colon == std::string::npos) return false;
  std::string_view option = std::string_view(value).substr(colon + 1);
  if (option == "fixed") {
    drive.kind = DriveKind::kFixed;
  } else if (option == "removable") {
    drive.kind = DriveKind::kRemovable;
  } else if (option == "network") {
    drive.kind = DriveKind::kNetwork;
  } else if (option == "cdrom") {
    drive.kind = DriveKind::kCdrom;
  } else if (option == "ramdisk") {
    drive.kind = DriveKind::kRamdisk;
  } else if (option == "subst") {
    drive.kind = DriveKind::kSubst;
  } else if (option.starts_with("capacity=")) {
    std::string_view digits = option.substr(9);
    int64_t bytes = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), bytes);
    if (ec != std::errc() || end != digits.data() + digits.size() || bytes < 0) return false;
    drive.capacity = bytes;
  } else {
    return false;
  }
  value.resize(colon);
  return true;
}

std::vector<Drive> DriveTable() {
  std::vector<Drive> table;
  std::string drives_text = GetEnvironment("KITDRIVES");
  size_t start = 0;
  while (start <= drives_text.size()) {
    size_t end = drives_text.find(';', start);
    if (end == std::string::npos) end = drives_text.size();
    std::string entry = drives_text.substr(start, end - start);
    start = end + 1;
    if (entry.size() < 3 || entry[1] != '=') continue;
    char letter = entry[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') continue;
    Drive drive;
    drive.letter = letter;
    std::string value = entry.substr(2);
    while (TakeOption(value, drive)) {
    }
    if (value.empty() || value[0] != '/') continue;
    drive.host_dir = NormaliseDir(value);
    table.erase(std::remove_if(table.begin(), table.end(),
                               [&](const Drive& d) { return d.letter == letter; }),
                table.end());
    table.push_back(drive);
  }
  if (std::none_of(table.begin(), table.end(), [](const Drive& d) { return d.letter == 'C'; })) {
    Drive c;
    c.host_dir = "/";
    table.push_back(c);
  }
  std::sort(table.begin(), table.end(),
            [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
  return table;
}

std::string WorkingDirectory() {
  std::error_code ec;
  std::filesystem::path cwd = std::filesystem::current_path(ec);
  if (ec) return "/";
  return cwd.string();
}

// The part of path under dir, or nullopt when dir does not hold it.
std::optional<std::string> Under(const std::string& dir, const std::string& path) {
  if (dir == "/") return path.empty() ? std::string("/") : path;
  if (path.compare(0, dir.size(), dir) != 0) return std::nullopt;
  if (path.size() == dir.size()) return std::string("/");
  if (path[dir.size()] != '/') return std::nullopt;
  return path.substr(dir.size());
}

}  // namespace

std::vector<Drive> PresentDrives() {
  std::vector<Drive> present;
  for (Drive& drive : DriveTable()) {
    if (IsDirectory(drive.host_dir)) present.push_back(std::move(drive));
  }
  return present;
}

std::optional<Drive> FindDrive(char letter) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  for (Drive& drive : DriveTable()) {
    if (drive.letter == letter) {
      if (!IsDirectory(drive.host_dir)) return std::nullopt;
      return std::move(drive);
    }
  }
  return std::nullopt;
}

namespace {

// A drive's directory as the working directory reports it, symbolic links
// resolved.
const std::string& CanonicalDir(const std::string& dir) {
  std::map<std::string, std::string>& known = internal::dir_cache.canonical_dirs;
  auto found = known.find(dir);
  if (found != known.end()) return found->second;
  std::error_code ec;
  std::string canonical = std::filesystem::canonical(dir, ec).string();
  if (ec || canonical.empty()) canonical = dir;
  return known.emplace(dir, canonical).first->second;
}

}  // namespace

namespace internal {
// Process-wide: see dir_cache.h.
DirCache dir_cache;

void ForgetCanonicalDirs() { dir_cache.canonical_dirs.clear(); }
}  // namespace internal

std::optional<Drive> DriveOfHostPath(const std::string& host_path, std::string* rest) {
  std::optional<Drive> best;
  std::string best_rest;
  for (Drive& drive : PresentDrives()) {
    std::optional<std::string> under = Under(drive.host_dir, host_path);
    if (!under) under = Under(CanonicalDir(drive.host_dir), host_path);
    if (!under) continue;
    if (!best || drive.host_dir.size() > best->host_dir.size()) {
      best_rest = *under;
      best = std::move(drive);
    }
  }
  if (best && rest != nullptr) *rest = best_rest;
  return best;
}

std::optional<Drive> CurrentDrive() { return DriveOfHostPath(WorkingDirectory(), nullptr); }

char CurrentDriveLetter() {
  std::optional<Drive> drive = CurrentDrive();
  return drive ? drive->letter : 'C';
}

std::string CurrentDirectory(char letter) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  std::string rest;
  std::optional<Drive> drive = DriveOfHostPath(WorkingDirectory(), &rest);
  if (!drive || drive->letter != letter) return "\\";
  std::string dir = ProgramFileName(rest);
  std::replace(dir.begin(), dir.end(), '/', '\\');
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  return dir;
}

std::string VolumeLabel(const Drive& drive) {
  std::ifstream in(drive.host_dir + (drive.host_dir == "/" ? "" : "/") + ".label",
                   std::ios::binary);
  if (!in) return {};
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  return ProgramFileName(line);
}

namespace {

// Mount fields escape blanks and the like as "\040".
std::string UnescapeMountField(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      int value = 0;
      bool octal = true;
      for (size_t k = 1; k <= 3; ++k) {
        char c = field[i + k];
        if (c < '0' || c > '7') octal = false;
        value = value * 8 + (c - '0');
      }
      if (octal && value < 256) {
        out += static_cast<char>(value);
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

}  // namespace

std::string RemoteName(const Drive& drive) {
  std::error_code ec;
  std::string dir = std::filesystem::canonical(drive.host_dir, ec).string();
  if (ec) return {};
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  std::string best_point;
  std::string best_source;
  bool found = false;
  while (std::getline(in, line)) {
    // id parent major:minor root mount-point options [optional...] - type source super
    std::vector<std::string_view> fields;
    std::string_view rest(line);
    while (!rest.empty()) {
      size_t blank = rest.find(' ');
      fields.push_back(rest.substr(0, blank));
      if (blank == std::string_view::npos) break;
      rest.remove_prefix(blank + 1);
    }
    if (fields.size() < 5) continue;
    auto dash = std::find(fields.begin() + 5, fields.end(), std::string_view("-"));
    if (dash == fields.end() || fields.end() - dash < 3) continue;
    std::string point = UnescapeMountField(fields[4]);
    if (!Under(NormaliseDir(point), dir)) continue;
    // Later lines of an equal mount point are mounts over the earlier ones.
    if (!found || point.size() >= best_point.size()) {
      best_point = point;
      best_source = UnescapeMountField(*(dash + 2));
      found = true;
    }
  }
  return ProgramFileName(best_source);
}

std::string SubstTarget(const Drive& drive) {
  // The folder as another drive names it: C: need not be "/", and a folder
  // on a drive of its own (D=/srv/data, S=/srv/data/kit) is "D:\kit".
  char letter = 'C';
  std::string rest = drive.host_dir;
  size_t best = 0;
  for (const Drive& other : PresentDrives()) {
    if (other.letter == drive.letter) continue;
    std::optional<std::string> under = Under(other.host_dir, drive.host_dir);
    if (!under || (best != 0 && other.host_dir.size() <= best)) continue;
    letter = other.letter;
    rest = *under;
    best = other.host_dir.size();
  }
  std::string target = std::string(1, letter) + ":" + ProgramFileName(rest);
  std::replace(target.begin(), target.end(), '/', '\\');
  if (target.size() > 3 && target.back() == '\\') target.pop_back();
  return target;
}

namespace {

int64_t SpaceTaken(const std::string& dir) {
  int64_t taken = 0;
  std::error_code ec;
  auto options = std::filesystem::directory_options::skip_permission_denied;
  for (auto it = std::filesystem::recursive_directory_iterator(dir, options, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code size_ec;
    if (!it->is_regular_file(size_ec) || it->is_symlink(size_ec)) continue;
    uintmax_t size = it->file_size(size_ec);
    if (size_ec) continue;
    int64_t clusters = (static_cast<int64_t>(size) + kEmulatedCluster - 1) / kEmulatedCluster;
    taken += clusters * kEmulatedCluster;
  }
  return taken;
}

}  // namespace

bool DriveSpace(const Drive& drive, SpaceInfo* info, const std::string& host_dir) {
  if (drive.capacity >= 0) {
    int64_t free_bytes = drive.capacity - SpaceTaken(drive.host_dir);
    info->free_bytes = static_cast<double>(std::max<int64_t>(free_bytes, 0));
    info->cluster_bytes = static_cast<double>(kEmulatedCluster);
    return true;
  }
  struct statvfs vfs{};
  if ((host_dir.empty() || statvfs(host_dir.c_str(), &vfs) != 0) &&
      statvfs(drive.host_dir.c_str(), &vfs) != 0) {
    return false;
  }
  double fragment = static_cast<double>(vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize);
  info->free_bytes = fragment * static_cast<double>(vfs.f_bavail);
  info->cluster_bytes = fragment;
  return true;
}

}  // namespace platform::fs
