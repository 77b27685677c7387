#include "remit/work_list.h"

#include "env/ini.h"
#include "env/session.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "util/basics.h"

namespace remit {

namespace {

constexpr char kSection[] = "Convertir";

std::string WorkListPath() { return env::session.WorkDir + "QXCONVRT.INI"; }

}  // namespace

env::Status StartWorkList(const std::string& return_menu) {
  // A list that is not there is no failure; one that cannot be removed is
  // told by the write that follows.
  (void)platform::fs::RemoveFile(platform::fs::HostPath(WorkListPath()));
  return env::WriteIniValue(WorkListPath(), kSection, "Tornar", return_menu);
}

env::Status AddToWorkList(const std::string& path, const std::string& return_menu) {
  const std::string list = WorkListPath();
  if (env::ReadIniValue(list, kSection, "Tornar").empty() && !return_menu.empty()) {
    if (env::Status written = env::WriteIniValue(list, kSection, "Tornar", return_menu); !written.ok()) {
      return written;
    }
  }
  const int32_t k = util::NumericValue32(env::ReadIniValue(list, kSection, "Maxim")) + 1;
  if (env::Status written = env::WriteIniValue(list, kSection, "Maxim", " " + std::to_string(k));
      !written.ok()) {
    return written;
  }
  return env::WriteIniValue(list, kSection, "Fitx" + std::to_string(k), path);
}

bool WorkListHolds(const std::string& path) {
  const std::string list = WorkListPath();
  const int32_t count = util::NumericValue32(env::ReadIniValue(list, kSection, "Maxim"));
  for (int32_t k = 1; k <= count; ++k) {
    if (env::ReadIniValue(list, kSection, "Fitx" + std::to_string(k)) == path) return true;
  }
  return false;
}

bool WorkListHasFiles() {
  return util::NumericValue32(env::ReadIniValue(WorkListPath(), kSection, "Maxim")) > 0;
}

}  // namespace remit
