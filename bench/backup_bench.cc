// The backup to volumes: the throughput of BackupToVolumes on a 64 MB file
// against a plain copy of the same file in the same run, through the same
// File type with 32 KB buffers and flushed to the disk at the end as the
// backup flushes its volumes (target: at least 70 % of the plain copy).
// Best of three runs each, taken in turns. Runs in the current directory
// (bench/run gives it a fresh one).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "env/session.h"
#include "files/backup.h"
#include "platform/console/console.h"
#include "platform/fs/files.h"

namespace {

namespace fs = platform::fs;

constexpr size_t kFileBytes = 64u << 20;
constexpr size_t kBuffer = 32u << 10;

double Seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool PlainCopy(const std::string& from, const std::string& to) {
  fs::File in;
  fs::File out;
  if (in.Open(from, fs::File::kRead, true) != 0) return false;
  if (out.Open(to, fs::File::kReadWriteCreate, true) != 0 || !out.Truncate(0)) return false;
  std::vector<char> buffer(kBuffer);
  for (int64_t at = 0;;) {
    const int64_t got = in.ReadAt(at, buffer.data(), buffer.size());
    if (got < 0) return false;
    if (got == 0) break;
    if (!out.WriteAt(at, buffer.data(), static_cast<size_t>(got))) return false;
    at += got;
  }
  return out.Sync();
}

}  // namespace

int main() {
  const std::string here = std::filesystem::current_path().string();
  for (const char* dir : {"/source", "/drive", "/copy", "/work"}) {
    std::filesystem::create_directories(here + dir);
  }
  {
    std::ofstream out(here + "/source/REMESA.E19", std::ios::binary);
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('0' + i % 43);
    for (size_t written = 0; written < kFileBytes; written += block.size()) out << block;
  }
  setenv("KITDRIVES", ("A=" + here + "/drive:removable").c_str(), 1);
  env::session.WorkDir = here + "/work/";
  if (!platform::console::OpenHeadless("", 80, 25)) return 1;
  // A volume too small for the file would ask for another: none is given.
  platform::console::SetHeadlessStarvedHandler([](int) { return false; });

  const std::string source_dos = "C:" + std::string(here) + "/source/";
  double best_copy = 1e9;
  double best_backup = 1e9;
  bool failed = false;
  for (int round = 0; round < 3; ++round) {
    auto start = std::chrono::steady_clock::now();
    failed |= !PlainCopy(here + "/source/REMESA.E19", here + "/copy/REMESA.E19");
    best_copy = std::min(best_copy, Seconds(start));
    std::filesystem::remove(here + "/copy/REMESA.E19");

    start = std::chrono::steady_clock::now();
    failed |= !files::BackupToVolumes(source_dos, "*.E19", "A:\\", "").status.ok();
    best_backup = std::min(best_backup, Seconds(start));
    failed |= std::filesystem::file_size(here + "/drive/BACKUP.001") != kFileBytes;
    std::filesystem::remove(here + "/drive/BACKUP.001");
    std::filesystem::remove(here + "/drive/CONTROL.001");
  }
  platform::console::Close();
  const double mb = static_cast<double>(kFileBytes) / (1 << 20);
  std::printf("backup of a 64 MB file: %.0f MB/s; plain copy with 32 KB buffers: %.0f MB/s; "
              "backup at %.0f %% of the copy (target at least 70 %%)%s\n",
              mb / best_backup, mb / best_copy, 100 * best_copy / best_backup,
              failed ? " FAILED" : "");
  return failed ? 1 : 0;
}
