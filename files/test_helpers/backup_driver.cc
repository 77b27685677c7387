// The backup to volumes as a program of its own, for the test that reads
// its sets back with a reader of the DOS format (tests/backup_reader_test.py)
// and for trying the backup by hand. No operator: the screen is headless,
// and each prompt for a further volume is answered as an operator would,
// by taking the volume in the drive out (its files are moved to the store
// folder) and pressing Enter. Any other panel is printed and answered with
// Escape.
//
//   backup_driver SOURCE MASK DRIVE CAPACITY STORE WORK
//
// SOURCE, DRIVE, STORE and WORK are host folders; DRIVE becomes the
// removable drive A: of CAPACITY bytes, WORK the work directory. The files
// of SOURCE matching MASK are backed up to A:\; every volume ends in STORE.
// Prints "completed", "nothing" (no file matched), "cancelled" or "failed"
// and the number of volumes;
// the exit status is 0 only for a completed backup.
#include <cstdio>
#include <filesystem>
#include <string>

#include "env/session.h"
#include "files/backup.h"
#include "platform/console/console.h"
#include "platform/fs/paths.h"

namespace {

namespace console = platform::console;

std::string drive_dir;
std::string store_dir;
int volumes = 0;

// Moves the volume files in the drive to the store, as the operator takes
// a diskette out.
void TakeOutVolumes() {
  for (const auto& entry : std::filesystem::directory_iterator(drive_dir)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("CONTROL.", 0) == 0) ++volumes;
    if (name.rfind("CONTROL.", 0) == 0 || name.rfind("BACKUP.", 0) == 0) {
      std::filesystem::rename(entry.path(), store_dir + "/" + name);
    }
  }
}

bool Answer(int) {
  const std::string screen = console::DumpText();
  if (screen.find("INSERIU CÒPIA DE SEGURETAT") != std::string::npos) {
    TakeOutVolumes();
    return console::HeadlessFeed("Enter");
  }
  std::printf("panel:\n%s\n", screen.c_str());
  return console::HeadlessFeed("Esc");
}

const char* ResultWord(const env::Status& status) {
  if (status.ok()) return "completed";
  if (status.code() == env::Code::kNotFound) return "nothing";
  if (status.code() == env::Code::kCancelled) return "cancelled";
  return "failed";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: backup_driver SOURCE MASK DRIVE CAPACITY STORE WORK\n");
    return 2;
  }
  const std::string source = argv[1];
  drive_dir = argv[3];
  store_dir = argv[5];
  setenv("KITDRIVES", ("A=" + drive_dir + ":removable:capacity=" + argv[4]).c_str(), 1);
  env::session.WorkDir = std::string(argv[6]) + "/";
  env::session.LanguageCode = "CAT";
  std::string error;
  if (!console::OpenHeadless("", 80, 25, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  console::SetHeadlessStarvedHandler(Answer);
  const std::string source_dir = platform::fs::ProgramPath(source) + "\\";
  const files::BackupReport report = files::BackupToVolumes(source_dir, argv[2], "A:\\", "");
  console::Close();
  TakeOutVolumes();
  std::printf("%s %d\n", ResultWord(report.status), volumes);
  return report.status.ok() ? 0 : 1;
}
