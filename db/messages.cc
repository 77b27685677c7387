// The layer's own messages, in the four languages the layer carries itself,
// and the db.log line.
#include "db/records.h"
#include "db/server.h"
#include "platform/recman/server.h"
#include "env/session.h"
#include "util/cp850.h"

namespace db {
namespace {

std::string DecimalText(int value) {
  return value >= 0 ? " " + std::to_string(value) : std::to_string(value);
}

}  // namespace

std::string CannotAccessMessage(std::string_view path, int16_t status) {
  const std::string& lang = env::session.LanguageCode;
  std::string text;
  if (lang == "SPA") {
    text = util::Cp850("NO SE PUEDE ACCEDER AL FICHERO ");
  } else if (lang == "GLG") {
    text = util::Cp850("NOM SE PODE ACEDER AO FICHEIRO ");
  } else if (lang == "OCI") {
    text = util::Cp850("NON SE PÊT ACCEDIR ATH FICH╚R ");
  } else {
    text = util::Cp850("NO ES POT ACCEDIR AL FITXER ");
  }
  text += std::string(path) + " (" + std::to_string(status) + ")";
  // The server's own words say why it could not be reached (down, the
  // password refused, the connection lost); they never hold the password.
  if (IsServerStatus(status)) {
    const std::string reason = platform::recman::LastServerError();
    if (!reason.empty()) text += ": " + util::Utf8ToCp850(reason);
  }
  return text;
}

std::string FileLockedMessage() {
  const std::string& lang = env::session.LanguageCode;
  if (lang == "SPA") return util::Cp850("FICHERO BLOQUEADO. ESPERE UN MOMENTO.");
  if (lang == "GLG") return util::Cp850("FICHEIRO BLOQUEADO. ESPERE UM MOMENTO.");
  if (lang == "OCI") return util::Cp850("FICH╚R BLOQUEJAT. ESPERATZ UN MOMENT.");
  return util::Cp850("FITXER BLOQUEJAT. ESPEREU UN MOMENT.");
}

std::string LogLine(int16_t file_number, int16_t operation, int16_t status) {
  constexpr size_t kZone = 14;
  std::string line = DecimalText(file_number);
  line.resize((line.size() / kZone + 1) * kZone, ' ');
  line += DecimalText(operation);
  line.resize((line.size() / kZone + 1) * kZone, ' ');
  line += DecimalText(status);
  line += "\r\n";
  return line;
}

env::Status RecordStatus(std::string_view path, int16_t status) {
  namespace rm = platform::recman;
  if (status == 0) return env::OkStatus();
  env::Code code = env::Code::kDatabase;
  switch (status) {
    case rm::kFileNotFound: code = env::Code::kNotFound; break;
    case rm::kDiskFull: code = env::Code::kDiskFull; break;
    case rm::kFileInUse:
    case rm::kRecordInUse:
    case rm::kConflict: code = env::Code::kInUse; break;
    case rm::kNotARecordFile: code = env::Code::kBadData; break;
    default: break;
  }
  return env::Status(code, CannotAccessMessage(path, status), std::string(path));
}

}  // namespace db
