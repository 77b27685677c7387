#include "remit/sepa_message_ids.h"

#include <string_view>

#include "env/ini.h"
#include "env/ini_file.h"
#include "env/language.h"
#include "env/session.h"
#include "util/cp850.h"

namespace remit {

namespace {

using env::TranslateText;

constexpr char kRecordName[] = "QXCONVRT.IDS";

// The four fields of a line; false for a line that has not them.
bool Fields(std::string_view line, MessageIdUse* use) {
  std::string* fields[] = {&use->day, &use->creditor, &use->id, &use->message};
  for (size_t i = 0; i < 4; ++i) {
    const size_t tab = i < 3 ? line.find('\t') : line.size();
    if (tab == std::string_view::npos) return false;
    fields[i]->assign(line.substr(0, tab));
    line.remove_prefix(i < 3 ? tab + 1 : tab);
  }
  return true;
}

std::vector<MessageIdUse> Lines(const std::string& text) {
  std::vector<MessageIdUse> uses;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    MessageIdUse use;
    if (Fields(line, &use)) uses.push_back(std::move(use));
    at = end + 1;
  }
  return uses;
}

env::StatusOr<std::vector<MessageIdUse>> Read(const std::string& record_path) {
  std::string text;
  if (env::ReadWholeFile(record_path, &text) == env::FileRead::kFailed) {
    return env::Status(
        env::Code::kFileError,
        TranslateText(util::Cp850("no es pot llegir el registre dels identificadors de missatge")),
        record_path);
  }
  return Lines(text);
}

}  // namespace

std::string MessageIdRecordPath() { return env::session.RootDir + kRecordName; }

env::StatusOr<std::string> MessageIdUsedBy(const std::string& record_path,
                                           const std::vector<MessageIdUse>& uses) {
  env::StatusOr<std::vector<MessageIdUse>> kept = Read(record_path);
  if (!kept.ok()) return kept.status();
  for (const MessageIdUse& old : *kept) {
    for (const MessageIdUse& use : uses) {
      if (old.day == use.day && old.creditor == use.creditor && old.id == use.id &&
          old.message != use.message) {
        return old.message;
      }
    }
  }
  return std::string();
}

env::Status RecordMessageIds(const std::string& record_path,
                             const std::vector<MessageIdUse>& uses) {
  env::StatusOr<std::vector<MessageIdUse>> kept = Read(record_path);
  if (!kept.ok()) return kept.status();
  const std::string& today = uses.empty() ? std::string() : uses.front().day;
  std::string text;
  auto add = [&](const MessageIdUse& use) {
    text += use.day + '\t' + use.creditor + '\t' + use.id + '\t' + use.message + "\r\n";
  };
  for (const MessageIdUse& old : *kept) {
    const bool replaced = !uses.empty() && old.message == uses.front().message;
    if (old.day >= today && !replaced) add(old);
  }
  for (const MessageIdUse& use : uses) add(use);
  if (!env::WriteWholeFile(record_path, text)) {
    return env::Status(
        env::Code::kFileError,
        TranslateText(util::Cp850("no es pot desar el registre dels identificadors de missatge")),
        record_path);
  }
  return env::OkStatus();
}

}  // namespace remit
