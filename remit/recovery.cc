#include "remit/recovery.h"

#include "db/records.h"
#include "env/language.h"
#include "env/session.h"
#include "files/random.h"
#include "platform/fs/files.h"
#include "platform/fs/names.h"
#include "platform/fs/paths.h"
#include "remit/journal.h"
#include "remit/settings.h"
#include "remit/work_list.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace remit {

namespace fs = platform::fs;

namespace {

// A journal of 100,000 receipts is 2.4 MB; nothing sound is this long.
constexpr size_t kJournalLimit = 256u * 1024 * 1024;
constexpr int kNameAttempts = 1000;

bool Exists(const std::string& host_path) {
  fs::DirEntry entry;
  return fs::StatEntry(host_path, &entry);
}

// The whole of an open file; false when it cannot be read.
bool ReadOpenFile(fs::File& file, std::string* bytes) {
  const int64_t size = file.Size();
  if (size < 0) return false;
  bytes->assign(static_cast<size_t>(size), '\0');
  return file.ReadAt(0, bytes->data(), bytes->size()) == size;
}

// A final name in directory nobody has, when the one a file was meant for
// is taken; empty when none is found.
std::string FreeFinalName(const std::string& directory) {
  const std::function<std::string()> draw = FileNameDraw();
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string path = directory + draw() + std::string(kFileExtension);
    if (!Exists(fs::HostPath(path)) && !Exists(fs::HostPath(path + std::string(kTemporarySuffix))) &&
        !Exists(fs::HostPath(path + std::string(kJournalSuffix)))) {
      return path;
    }
  }
  return {};
}

// One temporary file: finished when its group committed, removed when it
// did not, left alone while a live process holds it or TrasBanc cannot say.
void Settle(const std::string& directory, const std::string& temporary_name,
            GenerationResult& result, std::vector<std::string>& tell) {
  const std::string base = temporary_name.substr(0, temporary_name.size() - kTemporarySuffix.size());
  const std::string temporary_host = fs::HostPath(directory + temporary_name);
  const std::string journal_host = fs::HostPath(directory + base + std::string(kJournalSuffix));
  fs::File file;
  // A live generation holds its file: this fails and the file is its own.
  if (file.Open(temporary_host, fs::File::kReadWrite, true) != 0) return;
  if (!file.IsAt(temporary_host)) return;  // put in place or removed meanwhile

  std::string bytes;
  std::string journal;
  std::vector<std::string> keys;
  int64_t debits = -1;
  const bool whole = ReadOpenFile(file, &bytes) && WholeFile(bytes, &debits) &&
                     fs::ReadWholeFile(journal_host, &journal, kJournalLimit) == 0 &&
                     ReadJournal(journal, &keys) && debits == static_cast<int64_t>(keys.size());
  const Presence presence = whole ? ReceiptsInTrasBanc(keys) : Presence::kAll;
  if (presence == Presence::kUnknown) return;
  if (presence != Presence::kNone) {
    // The group never committed: its receipts are still in TrasBanc.
    fs::RemoveFile(temporary_host);
    fs::RemoveFile(journal_host);
    return;
  }
  std::string final_path = directory + base;
  if (Exists(fs::HostPath(final_path))) final_path = FreeFinalName(directory);
  if (final_path.empty() || fs::ReplaceFile(temporary_host, fs::HostPath(final_path)) != 0) return;
  fs::RemoveFile(journal_host);
  AddToWorkList(final_path, ReturnMenu.empty() ? env::MenuName : ReturnMenu);
  result.files.push_back(final_path);
  result.receipts += debits;
  tell.push_back(GeneratedFileText(final_path));
}

bool EndsWith(const std::string& name, std::string_view suffix) {
  return util::UpperCase(name).ends_with(util::UpperCase(suffix));
}

}  // namespace

Presence ReceiptsInTrasBanc(const std::vector<std::string>& keys) {
  if (db::RecordBuffer(kTrasBancFile) == nullptr) return Presence::kUnknown;
  size_t present = 0;
  for (const std::string& key : keys) {
    int16_t status = 0;
    db::GetByKey(kTrasBancFile, 0, key, 0, status);
    if (status == 0) {
      ++present;
    } else if (status != platform::recman::kKeyNotFound) {
      return Presence::kUnknown;
    }
  }
  if (present == 0) return Presence::kNone;
  return present == keys.size() ? Presence::kAll : Presence::kSome;
}

void SettleLeftovers(GenerationResult& result, std::vector<std::string>& tell) {
  if (db::RecordBuffer(kTrasBancFile) == nullptr) return;
  const std::string directory = OutputDirectory();
  std::vector<fs::DirEntry> entries;
  if (directory.empty() || !fs::ListDirectory(fs::HostPath(directory), &entries)) return;
  const std::string temporary_suffix = std::string(kFileExtension) + std::string(kTemporarySuffix);
  const std::string journal_suffix = std::string(kFileExtension) + std::string(kJournalSuffix);
  for (const fs::DirEntry& entry : entries) {
    if ((entry.attributes & fs::kDirectory) != 0) continue;
    const std::string name = fs::ProgramFileName(entry.name);
    if (EndsWith(name, temporary_suffix)) Settle(directory, name, result, tell);
  }
  // A journal whose file is gone belongs to a group that was put in place
  // (or removed) by a process that stopped before removing the journal.
  for (const fs::DirEntry& entry : entries) {
    const std::string name = fs::ProgramFileName(entry.name);
    if ((entry.attributes & fs::kDirectory) != 0 || !EndsWith(name, journal_suffix)) continue;
    const std::string base = name.substr(0, name.size() - kJournalSuffix.size());
    if (!Exists(fs::HostPath(directory + base + std::string(kTemporarySuffix)))) {
      fs::RemoveFile(fs::HostPath(directory + name));
    }
  }
}

std::function<std::string()> FileNameDraw() {
  if (Hooks.file_name) return Hooks.file_name;
  files::SeedFromClock();
  return [] {
    std::string name;
    while (name.size() < 8) {
      int k = static_cast<int>(files::Rnd() * 36) + '0';
      if (k > '9') k += 'A' - '9' - 1;
      name += static_cast<char>(k);
    }
    return name;
  };
}

std::string GeneratedFileText(const std::string& path) {
  return env::TranslateText(util::Cp850("GENERAT FITXER ")) + path;
}

}  // namespace remit
