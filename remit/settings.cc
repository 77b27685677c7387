#include "remit/settings.h"

#include "env/ini.h"
#include "env/session.h"
#include "files/paths.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "util/basics.h"

namespace remit {

namespace {

// The map holds one byte per entity code, 0 to 9999.
constexpr size_t kMapLimit = 10000;

std::string FtpSetting(const std::string& key) {
  return env::ReadIniValue(env::session.RootDir + "Ftp.ini", "Publicar", key);
}

}  // namespace

std::string OutputDirectory() {
  std::string path = env::session.RootDir + "CSB\\";
  files::AbsolutePath(path);
  return path;
}

bool PublishLinks() { return util::Trim(FtpSetting("Rebuts")) != "N"; }

std::string LinkPrefix() {
  std::string prefix(util::Trim(FtpSetting("Enllac")));
  return prefix.empty() ? std::string(kDefaultLinkPrefix) : prefix;
}

void XmlVersionMap::Load() {
  bytes_.clear();
  const std::string host = platform::fs::HostPath(env::session.RootDir + "VERXML.MAP");
  if (platform::fs::ReadWholeFile(host, &bytes_, kMapLimit) != 0) bytes_.clear();
}

char XmlVersionMap::VersionOf(int entity) const {
  if (entity < 0 || static_cast<size_t>(entity) >= bytes_.size()) return '4';
  const char c = bytes_[static_cast<size_t>(entity)];
  return c == '2' || c == '3' ? c : '4';
}

}  // namespace remit
