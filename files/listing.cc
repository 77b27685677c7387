#include "files/listing.h"

#include <optional>
#include <vector>

#include "files/random.h"
#include "platform/fs/drives.h"
#include "platform/fs/errors.h"
#include "platform/fs/files.h"
#include "platform/fs/names.h"
#include "platform/fs/paths.h"
#include "platform/process/environment.h"
#include "util/basics.h"
#include "util/little_endian.h"

namespace files {

namespace fs = platform::fs;

// Process-wide: the listings of the run outlive every call that writes them.
Listings listings;

namespace {

constexpr int16_t kKindBits = 0x38;
// Hidden and system entries are shown only to a caller who asks for them.
// Read-only is no such bit: a read-only file is a file like any other to a
// caller who asks for files, as it always was to a directory search.
constexpr int16_t kFlagBits = fs::kHidden | fs::kSystem;
constexpr int kListHeader = 4;

int16_t EffectiveAttributes() {
  if ((listings.ListAttributes & kKindBits) == 0)
    listings.ListAttributes = static_cast<int16_t>(listings.ListAttributes | 0x20);
  return listings.ListAttributes;
}

bool Selected(uint16_t attributes, int16_t wanted) {
  int kind = attributes & kKindBits;
  if (kind & fs::kVolumeLabel) {
    kind = fs::kVolumeLabel;
  } else if (kind & fs::kDirectory) {
    kind = fs::kDirectory;
  } else {
    kind = 0x20;
  }
  if ((wanted & kind) == 0) return false;
  int flags = attributes & kFlagBits;
  return flags == 0 || (flags & wanted) != 0;
}


struct Split {
  std::string dir;   // program path of the directory, with its separator (or "X:")
  std::string mask;  // the last component
};

Split SplitPath(std::string_view path) {
  size_t cut = path.find_last_of("\\/:");
  if (cut == std::string_view::npos) return {"", std::string(path)};
  return {std::string(path.substr(0, cut + 1)), std::string(path.substr(cut + 1))};
}

// The host directory of a program directory ("" is the current one).
std::string HostDirectory(const std::string& dir) {
  return fs::HostPath(dir.empty() ? std::string(".\\") : dir + ".");
}

// The drive of a program path, when its directory is that drive's root.
std::optional<fs::Drive> RootDrive(const std::string& dir) {
  std::string host = HostDirectory(dir);
  if (host.empty()) return std::nullopt;
  std::string rest;
  std::optional<fs::Drive> drive = fs::DriveOfHostPath(host, &rest);
  if (!drive || rest != "/") return std::nullopt;
  return drive;
}

// The file that holds a drive's volume label is the label, not a file of
// the drive: no listing shows it and no "*.*" removal takes it with it.
bool IsLabelFile(const std::string& host_name, const std::string& dir) {
  return host_name == ".label" && RootDrive(dir).has_value();
}

struct Found {
  std::string name;  // program form (code page 850)
  std::string host;  // host path
  uint16_t attributes = 0;
};

// The entries matching a path or mask, searched as the attributes say: only
// the volume label when they hold 0x08, else every kind. *readable (when
// given) is false when the directory of a mask cannot be read, its failure
// noted by platform/fs.
std::vector<Found> Search(std::string_view path, int16_t attributes, bool* readable = nullptr) {
  std::vector<Found> found;
  Split split = SplitPath(path);
  if (split.mask.empty()) return found;
  if (attributes & fs::kVolumeLabel) {
    std::optional<fs::Drive> drive = RootDrive(split.dir);
    if (!drive) return found;
    std::string label = fs::VolumeLabel(*drive);
    if (!label.empty() && fs::MatchesMask(label, split.mask)) {
      found.push_back({label, "", fs::kVolumeLabel});
    }
    return found;
  }
  if (!fs::HasWildcards(split.mask)) {
    if (split.mask == "." || split.mask == "..") return found;
    std::string host = fs::HostPath(path);
    fs::DirEntry entry;
    if (!host.empty() && fs::StatEntry(host, &entry) && !IsLabelFile(entry.name, split.dir)) {
      found.push_back({fs::ProgramFileName(entry.name), host, entry.attributes});
    }
    return found;
  }
  std::string host_dir = HostDirectory(split.dir);
  std::vector<fs::DirEntry> entries;
  if (host_dir.empty() || !fs::ListDirectory(host_dir, &entries)) {
    if (host_dir.empty()) fs::NoteFileFailure(fs::FileOperation::kList, host_dir, fs::FileFailure::kNotFound);
    if (readable != nullptr) *readable = false;
    return found;
  }
  if (host_dir.back() != '/') host_dir += '/';
  for (fs::DirEntry& entry : entries) {
    std::string name = fs::ProgramFileName(entry.name);
    if (!fs::MatchesMask(name, split.mask) || IsLabelFile(entry.name, split.dir)) continue;
    found.push_back({std::move(name), host_dir + entry.name, entry.attributes});
  }
  return found;
}

uint32_t ReadPosition(fs::File& file) {
  std::string bytes(kListHeader, '\0');
  if (file.ReadAt(0, bytes.data(), kListHeader) != kListHeader) return 0;
  return util::GetLe32(bytes);
}

bool WritePosition(fs::File& file, uint32_t position) {
  const std::string bytes = util::Le32(position);
  return file.WriteAt(0, bytes.data(), kListHeader);
}

std::string TopListing() {
  size_t bar = listings.ListingStack.find('|');
  return bar == std::string::npos ? std::string() : listings.ListingStack.substr(0, bar);
}

}  // namespace

std::string TempDirectory() {
  for (const char* variable : {"TEMP", "TMPDIR"}) {
    std::string dir = platform::GetEnvironment(variable);
    if (dir.empty() || dir[0] != '/' || dir.find('|') != std::string::npos) continue;
    fs::DirEntry entry;
    if (fs::StatEntry(dir, &entry) && (entry.attributes & fs::kDirectory)) {
      while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
      return dir;
    }
  }
  return "/tmp";
}

// Any matching entry counts, not only the first one the directory happens
// to hold: "*.Q19" exists when a plain .Q19 file does, even if a hidden one
// or a directory of that name comes first.
bool FileExists(std::string_view path) {
  int16_t wanted = EffectiveAttributes();
  int16_t search = (wanted & fs::kVolumeLabel) ? fs::kVolumeLabel : 0x37;
  for (const Found& entry : Search(path, search)) {
    if (Selected(entry.attributes, wanted)) return true;
  }
  return false;
}

namespace {

// The status of a removal that ended with the error number: the failure
// platform/fs noted for it, or one of its kind when it noted none.
env::Status RemovalStatus(int32_t error, const std::string& path) {
  if (error == 0) return env::OkStatus();
  const fs::FileError& noted = fs::LastFileError();
  if (noted.error_number == error) return env::FileStatus(noted);
  const bool missing = error == fs::kErrorFileNotFound || error == fs::kErrorPathNotFound;
  return env::Status(missing ? env::Code::kNotFound : env::Code::kFileError, {}, path);
}

// The failure of a listing, as platform/fs noted it with its path.
env::Status ListingFailure(std::string_view path) {
  env::Status status = env::LastFileStatus();
  if (status.ok()) status = env::Status(env::Code::kFileError, {}, std::string(path));
  return status;
}

}  // namespace

env::Status RemoveEntry(std::string_view path) {
  std::string text(util::Trim(path));
  // "C:\KIT\OLD\" names the directory OLD as "C:\KIT\OLD" does; only what
  // is left of a drive or its root after the separators are taken off is refused.
  while (!text.empty() && (text.back() == '\\' || text.back() == '/')) text.pop_back();
  Split split = SplitPath(text);
  // Emptying "", "C:" or "C:\" as a directory would wipe a whole drive's root.
  if (split.mask.empty() || split.mask == "." || split.mask == "..") {
    return env::Status(env::Code::kRefused, {}, text);
  }
  if (fs::HasWildcards(split.mask)) {
    int32_t error = fs::kErrorFileNotFound;
    for (const Found& entry : Search(text, 0x37)) {
      if (entry.attributes & fs::kDirectory) continue;
      error = fs::RemoveFile(entry.host);
    }
    return RemovalStatus(error, text);
  }
  std::string host = fs::HostPath(text);
  if (host.empty()) return RemovalStatus(fs::kErrorPathNotFound, text);
  int32_t error = fs::RemoveFile(host);
  if (error == 0) return env::OkStatus();
  std::vector<fs::DirEntry> entries;
  if (!fs::ListDirectory(host, &entries)) return RemovalStatus(error, text);
  for (const fs::DirEntry& entry : entries) {
    if (entry.attributes & fs::kDirectory) continue;
    error = fs::RemoveFile(host + "/" + entry.name);
    if (error != 0) return RemovalStatus(error, text);
  }
  return RemovalStatus(fs::RemoveDirectory(host), text);
}

env::Status StartListing(std::string_view path) {
  int16_t wanted = EffectiveAttributes();
  std::string temp = TempDirectory();
  SeedFromClock();
  fs::File file;
  std::string list_path;
  // A name another listing holds (a nested one started in the same hundredth
  // of a second, or another terminal's) is drawn again, never overwritten.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string candidate =
        temp + "/" + std::to_string(static_cast<long>(Rnd() * 100000000)) + ".dir";
    int error = file.Open(candidate, fs::File::kCreateNew, false);
    if (error == 0) {
      list_path = candidate;
      break;
    }
    if (error != fs::kErrorFileExists) break;
  }
  if (list_path.empty()) {
    // No list file could be made: an empty entry is pushed, so that the
    // listing gives no names and its EndListing still pairs with it.
    listings.ListingStack = "|" + listings.ListingStack;
    return ListingFailure(path);
  }
  listings.ListingStack = list_path + "|" + listings.ListingStack;
  std::string content(kListHeader, '\0');
  bool readable = true;
  for (const Found& entry : Search(path, wanted, &readable)) {
    if (!Selected(entry.attributes, wanted)) continue;
    content += util::UpperCase(entry.name);
    content += "\r\n";
  }
  if (!file.WriteAt(0, content.data(), content.size())) return ListingFailure(path);
  WritePosition(file, kListHeader + 1);
  return readable ? env::OkStatus() : ListingFailure(path);
}

bool NextListed(std::string& name) {
  name.clear();
  std::string list_path = TopListing();
  if (list_path.empty()) return true;
  fs::File file;
  if (file.Open(list_path, fs::File::kReadWrite, false) != 0) return true;
  int64_t size = file.Size();
  int64_t position = static_cast<int64_t>(ReadPosition(file)) - 1;
  if (position < kListHeader || position >= size) return true;
  std::string line;
  char buffer[256];
  int64_t offset = position;
  bool ended = false;
  while (!ended) {
    int64_t got = file.ReadAt(offset, buffer, sizeof buffer);
    if (got <= 0) break;
    for (int64_t i = 0; i < got; ++i) {
      if (buffer[i] == '\n') {
        offset += i + 1;
        ended = true;
        break;
      }
      line += buffer[i];
    }
    if (!ended) offset += got;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  WritePosition(file, static_cast<uint32_t>(offset + 1));
  name = line;
  return name.empty();
}

void EndListing() {
  std::string list_path = TopListing();
  if (listings.ListingStack.empty()) return;
  size_t bar = listings.ListingStack.find('|');
  listings.ListingStack.erase(0, bar == std::string::npos ? listings.ListingStack.size() : bar + 1);
  if (!list_path.empty()) fs::RemoveFile(list_path);
}

}  // namespace files
