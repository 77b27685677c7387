#include "db/server.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "env/session.h"
#include "platform/fs/paths.h"
#include "platform/recman/server.h"
#include "platform/recman/status.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace db {
namespace {

constexpr std::string_view kServerPrefix = "pg:";
constexpr std::string_view kDefaultExtension = ".DAT";

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

void UseSessionServer() {
  if (env::session.DatabaseServer.empty()) return;
  platform::recman::SetServer(env::session.DatabaseServer);
}

std::string ServerFileName(std::string_view program_path) {
  // Both through the host's spelling of what exists, so that any case and
  // either separator reach the same prefix.
  const std::string root = WithSlash(
      platform::fs::HostPath(env::session.RootDir.empty() ? std::string(".") : env::session.RootDir));
  const std::string file = platform::fs::HostPath(program_path);
  if (root.empty() || file.size() <= root.size() || file.compare(0, root.size(), root) != 0) return {};
  std::string name = util::UpperCase(util::Utf8ToCp850(file.substr(root.size())));
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  if (name.back() == '\\') return {};
  if (name.size() > kDefaultExtension.size() &&
      name.compare(name.size() - kDefaultExtension.size(), kDefaultExtension.size(), kDefaultExtension) == 0) {
    name.resize(name.size() - kDefaultExtension.size());
  }
  return name;
}

std::string RecordManagerPath(std::string_view program_path) {
  if (!env::session.DatabaseServer.empty()) {
    const std::string name = ServerFileName(program_path);
    if (!name.empty()) return std::string(kServerPrefix) + name;
  }
  return platform::fs::HostPath(program_path);
}

bool IsServerStatus(int16_t status) {
  return status == platform::recman::kServerUnavailable || status == platform::recman::kSessionLost;
}

}  // namespace db
