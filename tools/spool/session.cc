#include "tools/spool/session.h"

#include "env/file_error.h"
#include "env/language.h"
#include "env/session.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "util/cp850.h"

namespace spool {

void StartSession() {
  env::LoadSessionSettings();
  env::session.LanguageFileId = "QDEBCONV";
}

std::string SpoolPath() { return env::session.WorkDir + std::string(kSpoolFileName); }

env::StatusOr<Report> ReadReport() {
  const std::string path = SpoolPath();
  const std::string host_path = platform::fs::HostPath(path);
  if (host_path.empty()) {
    // A work directory on a drive that is not there.
    return env::Status(env::Code::kNotFound,
                       env::TranslateText(util::Cp850("NO ES POT OBRIR")) + " " + path + ": " +
                           env::TranslateText(util::Cp850("NO EXISTEIX")),
                       path);
  }
  std::string content;
  platform::fs::ClearFileError();
  if (platform::fs::ReadWholeFile(host_path, &content) != 0) {
    // In the words of the failure the file layer noted (none when it noted none).
    env::Status status = env::LastFileStatus();
    if (status.ok()) status = env::Status(env::Code::kFileError, {}, path);
    return status;
  }
  return LayOut(content);
}

}  // namespace spool
