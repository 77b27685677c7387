#include "files/drives.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "platform/fs/drives.h"
#include "platform/fs/host.h"
#include "platform/fs/paths.h"

namespace files {

namespace fs = platform::fs;

bool DrivePresent(std::string_view drive) {
  if (drive.empty() || drive[0] < 'A' || drive[0] > 'Z') return false;
  return fs::FindDrive(drive[0]).has_value();
}

std::string DescribeDrive(char letter, std::string& text) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  text.clear();
  std::optional<fs::Drive> drive = fs::FindDrive(letter);
  if (!drive) return {};
  std::string head(1, letter);
  head += ':';
  switch (drive->kind) {
    case fs::DriveKind::kRemovable:
      if (letter < 'C') {
        text = head + " 3.5\" 1.44MB";
        return "4";
      }
      text = head;
      return "R";
    case fs::DriveKind::kRamdisk:
      text = head;
      return "R";
    case fs::DriveKind::kSubst:
      text = head + " " + fs::SubstTarget(*drive);
      return "S";
    case fs::DriveKind::kFixed: {
      std::string label = fs::VolumeLabel(*drive);
      text = label.empty() ? head : head + " " + label;
      return "H";
    }
    case fs::DriveKind::kNetwork: {
      // The remote name arrives in an 80-byte buffer with its zero byte.
      std::string remote = fs::RemoteName(*drive).substr(0, 79);
      text = head + " " + remote;
      return "N";
    }
    case fs::DriveKind::kCdrom:
      text = head + " cd-rom";
      return "C";
  }
  return {};
}

double DiskSpace(std::string_view path, int16_t mode) {
  char letter = path.size() >= 2 && path[1] == ':' ? path[0] : fs::CurrentDriveLetter();
  std::optional<fs::Drive> drive = fs::FindDrive(letter);
  if (!drive || (mode != 0 && mode != 1)) return 0;
  fs::SpaceInfo space;
  std::string dir(path);
  if (dir.empty() || (dir.back() != '\\' && dir.back() != '/')) dir += '\\';
  if (!fs::DriveSpace(*drive, &space, fs::HostPath(dir))) return 0;
  return mode == 0 ? space.free_bytes : space.cluster_bytes;
}

int32_t AvailableMemory(std::string_view /*unused*/) {
  int64_t bytes = fs::AvailableMemoryBytes();
  return static_cast<int32_t>(std::clamp<int64_t>(bytes, 0, std::numeric_limits<int32_t>::max()));
}

char CurrentDrive() { return fs::CurrentDriveLetter(); }

}  // namespace files
