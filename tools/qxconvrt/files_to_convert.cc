#include "tools/qxconvrt/files_to_convert.h"

#include <algorithm>
#include <map>
#include <string_view>

#include "env/ini_file.h"
#include "env/session.h"
#include "platform/fs/paths.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace qxconvrt {

namespace {

constexpr std::string_view kSection = "CONVERTIR";
constexpr std::string_view kEntry = "FITX";

// The number of an entry "Fitx<digits>" (any case), 0 for any other name.
int32_t EntryNumber(std::string_view name) {
  const std::string key = util::UpperCase(util::Trim(name));
  if (key.size() <= kEntry.size() || !key.starts_with(kEntry)) return 0;
  int64_t number = 0;
  for (char c : std::string_view(key).substr(kEntry.size())) {
    if (c < '0' || c > '9') return 0;
    number = std::min<int64_t>(number * 10 + (c - '0'), INT32_MAX);
  }
  return static_cast<int32_t>(number);
}

// The list's section read the way the settings reader reads it (its first
// header, the first entry of a name, ";" a comment, quotes taken off): the
// value of "Maxim" and the entries "Fitx<n>" present, by number. Only
// what the file holds is kept, so that a list claiming two thousand
// million files costs no more than its own size.
struct Section {
  std::string maximum;
  std::map<int32_t, std::string> entries;
};

Section ReadSection(std::string_view text) {
  Section section;
  bool inside = false;
  std::string_view raw;
  while (env::NextLine(&text, &raw)) {
    std::string_view line = util::TrimLeft(raw.substr(0, raw.find(';')));
    if (line.empty()) continue;
    if (line.front() == '[') {
      if (inside) break;
      std::string_view name = line.substr(1);
      inside = util::UpperCase(util::Trim(name.substr(0, name.find(']')))) == kSection;
      continue;
    }
    const size_t equals = line.find('=');
    if (!inside || equals == std::string_view::npos) continue;
    std::string value(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    const std::string_view name = line.substr(0, equals);
    if (util::UpperCase(util::Trim(name)) == "MAXIM") {
      if (section.maximum.empty()) section.maximum = value.empty() ? " " : value;
    } else if (const int32_t number = EntryNumber(name); number > 0) {
      section.entries.emplace(number, value);  // the first entry of a name counts
    }
  }
  return section;
}

}  // namespace

env::StatusOr<std::vector<FileToConvert>> ReadWorkList() {
  const std::string list = env::session.WorkDir + "QXCONVRT.INI";
  std::string content;
  if (env::ReadWholeFile(list, &content) != env::FileRead::kOk) {
    return env::Status(env::Code::kNotFound,
                       util::Cp850("no es pot llegir la llista de fitxers ") + list, list);
  }
  const Section section = ReadSection(content);
  const int32_t count = util::NumericValue32(section.maximum);
  if (count <= 0) {
    return env::Status(env::Code::kBadData,
                       util::Cp850("la llista ") + list + util::Cp850(" no té cap fitxer (Maxim)"),
                       list);
  }
  std::vector<FileToConvert> files;
  // "Maxim" says how far the list goes; the entries are what it holds.
  for (const auto& [number, value] : section.entries) {
    if (number > count) break;
    const std::string key = "Fitx" + std::to_string(number);
    const std::string path(util::Trim(value));
    FileToConvert file;
    file.shown = path.empty() ? key : path;
    if (!path.empty()) file.host_path = platform::fs::HostPath(path);
    files.push_back(std::move(file));
  }
  if (files.empty()) {
    return env::Status(env::Code::kBadData,
                       util::Cp850("la llista ") + list + util::Cp850(" no té cap fitxer (Fitx1...)"),
                       list);
  }
  return files;
}

std::vector<FileToConvert> FromArguments(const std::vector<std::string>& arguments) {
  std::vector<FileToConvert> files;
  for (const std::string& argument : arguments) {
    files.push_back({util::Utf8ToCp850(argument), argument});
  }
  return files;
}

}  // namespace qxconvrt
