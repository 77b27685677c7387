#include "tools/qxconvrt/files_to_convert.h"

#include "env/ini.h"
#include "env/ini_file.h"
#include "env/session.h"
#include "platform/fs/paths.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace qxconvrt {

namespace {

constexpr char kSection[] = "Convertir";

}  // namespace

bool ReadWorkList(std::vector<FileToConvert>* files, std::string* why) {
  const std::string list = env::WorkDir + "QXCONVRT.INI";
  std::string content;
  if (env::ReadWholeFile(list, &content) != env::FileRead::kOk) {
    *why = util::Cp850("no es pot llegir la llista de fitxers ") + list;
    return false;
  }
  const int32_t count = util::NumericValue32(env::ReadIniValue(list, kSection, "Maxim"));
  if (count <= 0) {
    *why = util::Cp850("la llista ") + list + util::Cp850(" no té cap fitxer (Maxim)");
    return false;
  }
  for (int32_t k = 1; k <= count; ++k) {
    const std::string key = "Fitx" + std::to_string(k);
    const std::string path(util::Trim(env::ReadIniValue(list, kSection, key)));
    FileToConvert file;
    file.shown = path.empty() ? key : path;
    if (!path.empty()) file.host_path = platform::fs::HostPath(path);
    files->push_back(std::move(file));
  }
  return true;
}

std::vector<FileToConvert> FromArguments(const std::vector<std::string>& arguments) {
  std::vector<FileToConvert> files;
  for (const std::string& argument : arguments) {
    files.push_back({util::Utf8ToCp850(argument), argument});
  }
  return files;
}

}  // namespace qxconvrt
