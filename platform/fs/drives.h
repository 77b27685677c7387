// The drive letters of the program on this host.
//
// KITDRIVES="C=/;A=/media/floppy:removable;N=/srv/share:network" gives each
// letter a host directory and optionally a kind (fixed, removable, network,
// cdrom, ramdisk, subst) and ":capacity=BYTES", which makes the drive report
// that size, less what its files take, as its free space (a folder standing
// in for a diskette). C: is "/", fixed, when not given. A drive whose
// directory does not exist is absent. The table is read from the environment
// at each query, so a change of KITDRIVES is seen at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::fs {

enum class DriveKind { kFixed, kRemovable, kNetwork, kCdrom, kRamdisk, kSubst };

struct Drive {
  char letter = 'C';       // upper case
  std::string host_dir;    // UTF-8, no trailing "/" except for "/" itself
  DriveKind kind = DriveKind::kFixed;
  int64_t capacity = -1;   // emulated size in bytes; -1 when the real volume counts
};

// Every drive of the table whose directory exists, in letter order.
std::vector<Drive> PresentDrives();
// The drive of a letter (either case), when present.
std::optional<Drive> FindDrive(char letter);

// The drive holding a host path: the present drive whose directory is the
// longest prefix of it (C: when nothing longer fits). The path rest is put
// in *rest (UTF-8, starting with "/", or "/" for the drive's root).
std::optional<Drive> DriveOfHostPath(const std::string& host_path, std::string* rest);

// The current drive and its current directory, from the working directory.
std::optional<Drive> CurrentDrive();
char CurrentDriveLetter();
// The current directory of a drive as the program writes it, code page 850,
// with a leading and a trailing "\" ("\KIT\DADES\"; "\" for the root). A
// drive that is not the current one is at its root.
std::string CurrentDirectory(char letter);

// The drive directory's ".label" file (first line, code page 850); empty when absent.
std::string VolumeLabel(const Drive& drive);
// For a network drive: the source of the mount holding its directory
// (e.g. "//server/share"), code page 850; empty when it cannot be told.
std::string RemoteName(const Drive& drive);
// The subst target of a drive as the path of its folder on another drive
// ("C:\srv\kit"; on the drive whose folder is the longest prefix of it),
// code page 850.
std::string SubstTarget(const Drive& drive);

struct SpaceInfo {
  double free_bytes = 0;
  double cluster_bytes = 0;
};
// Free space and cluster size of the volume of a drive; for a drive with a
// capacity, that capacity less the clusters its files take. A directory of
// the drive may be given, for volumes mounted below the drive's root. False
// when the volume cannot be read.
bool DriveSpace(const Drive& drive, SpaceInfo* info, const std::string& host_dir = {});

}  // namespace platform::fs
