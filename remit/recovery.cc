#include "remit/recovery.h"

#include <algorithm>

#include "db/records.h"
#include "env/language.h"
#include "env/session.h"
#include "files/lock_liveness.h"
#include "files/random.h"
#include "platform/fs/files.h"
#include "platform/fs/names.h"
#include "platform/fs/paths.h"
#include "remit/journal.h"
#include "remit/marker.h"
#include "remit/settings.h"
#include "remit/work_list.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/sha256.h"

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
std::string FreeFinalName(const RecoveryRequest& request, const std::string& directory) {
  const std::function<std::string()> draw = FileNameDraw(request.file_name);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string path = directory + draw() + std::string(kFileExtension);
    if (!Exists(fs::HostPath(path)) && !Exists(fs::HostPath(path + std::string(kTemporarySuffix))) &&
        !Exists(fs::HostPath(path + std::string(kJournalSuffix)))) {
      return path;
    }
  }
  return {};
}

std::string Told(const char* text, const std::string& path) {
  return env::TranslateText(util::Cp850(text)) + path;
}

// Moves a file that claims a commit nobody can show out of the way of the
// converter, the catalogue, the purge and this recovery: "X.E19.bad"
// (".bad2" ... when taken), its journal beside it as "X.E19.bad.key". The
// new program path, empty when it could not be moved.
std::string SetAside(const std::string& directory, const std::string& base,
                     const std::string& temporary_host, const std::string& journal_host) {
  for (int n = 1; n < 10; ++n) {
    const std::string path = directory + base + std::string(kSetAsideSuffix) + (n == 1 ? "" : std::to_string(n));
    if (Exists(fs::HostPath(path))) continue;
    if (fs::ReplaceFile(temporary_host, fs::HostPath(path)) != 0) return {};
    // A journal left under its old name goes with no file: the next
    // recovery removes it.
    if (Exists(journal_host)) {
      (void)fs::ReplaceFile(journal_host, fs::HostPath(path + std::string(kJournalSuffix)));
    }
    return path;
  }
  return {};
}

// True when a committed file is in the work list; otherwise what failed is
// told and noted, and the file keeps its marker, so that the next recovery
// lists it.
bool Listed(const env::Status& listed, GenerationReport& result, std::vector<std::string>& tell) {
  if (listed.ok()) return true;
  tell.push_back(listed.Text());
  if (result.status.ok()) result.status = listed;
  return false;
}

// A marker that could not be removed: noted. Left behind, it names a file
// in place and listed, which the next recovery lists again at most.
bool MarkerRemoved(int16_t status, GenerationReport& result) {
  if (status != 0 && result.status.ok()) result.status = db::RecordStatus(MarkerFilePath(), status);
  return status == 0;
}

void Adopt(const RecoveryRequest& request, const std::string& directory, const std::string& base, int64_t debits,
           const std::string& temporary_host, const std::string& journal_host,
           GenerationReport& result, std::vector<std::string>& tell) {
  std::string final_path = directory + base;
  if (Exists(fs::HostPath(final_path))) final_path = FreeFinalName(request, directory);
  if (final_path.empty() || fs::ReplaceFile(temporary_host, fs::HostPath(final_path)) != 0) return;
  if (!Listed(ListCommitted(final_path, request.return_menu), result, tell)) return;
  // The journal outlives the marker (FinishGroup says why); one left
  // behind is removed by the next recovery.
  if (MarkerRemoved(RemoveMarker(base), result)) (void)fs::RemoveFile(journal_host);
  result.files.push_back(final_path);
  result.receipts += debits;
  tell.push_back(GeneratedFileText(final_path));
}

// The writer a journal names when it is another workstation (recovery.h:
// its files are left to it), else empty.
std::string Elsewhere(const std::string& writer) {
  return writer == files::ThisStation() ? std::string() : writer;
}

// The same for the journal at journal_host.
std::string WriterElsewhere(const std::string& journal_host) {
  std::string journal;
  std::vector<std::string> keys;
  std::string writer;
  if (fs::ReadWholeFile(journal_host, &journal, kJournalLimit) == 0) (void)ReadJournal(journal, &keys, &writer);
  return Elsewhere(writer);
}

// A committed file another workstation has still to list: its receipts
// are gone from TrasBanc, so until that workstation starts again nobody
// collects them. Told at every recovery until then, so that a workstation
// that never comes back is noticed.
std::string AwaitedText(const std::string& writer, const std::string& path) {
  return Told("FITXER QUE HA DE LLISTAR L'ESTACIÓ ", std::string(util::TrimRight(writer)) + ": " + path);
}

// One temporary file no live process holds, settled as DecideLeftover says.
void Settle(const RecoveryRequest& request, const std::string& directory, const std::string& temporary_name,
            GenerationReport& result, std::vector<std::string>& tell) {
  const std::string base = temporary_name.substr(0, temporary_name.size() - kTemporarySuffix.size());
  const std::string temporary_host = fs::HostPath(directory + temporary_name);
  const std::string journal_host = fs::HostPath(directory + base + std::string(kJournalSuffix));
  fs::File file;
  // A live generation holds its file: this fails and the file is its own.
  if (file.Open(temporary_host, fs::File::kReadWrite, true) != 0) return;
  if (!file.IsAt(temporary_host)) return;  // put in place or removed meanwhile

  Marker marker;
  int16_t status = 0;
  LeftoverFacts facts;
  facts.marked = FindMarker(base, &marker, &status);
  if (status != 0) return;  // the markers cannot be read: nothing can be told
  std::string bytes;
  std::string journal;
  std::vector<std::string> keys;
  int64_t debits = -1;
  std::string writer;  // named by a journal cut short too, once its first line is whole
  const bool journal_whole = fs::ReadWholeFile(journal_host, &journal, kJournalLimit) == 0 &&
                             ReadJournal(journal, &keys, &writer);
  facts.whole = journal_whole && ReadOpenFile(file, &bytes) && WholeFile(bytes, &debits) &&
                debits == static_cast<int64_t>(keys.size());
  facts.elsewhere = !Elsewhere(writer).empty();
  facts.digest = facts.marked && util::Sha256Hex(bytes) == marker.digest;
  if (facts.whole) facts.receipts = ReceiptsInTrasBanc(keys);
  switch (DecideLeftover(facts)) {
    case LeftoverAction::kLeave:
      if (facts.elsewhere && facts.whole && facts.digest && facts.receipts == Presence::kNone) {
        tell.push_back(AwaitedText(writer, directory + temporary_name));
      }
      return;
    case LeftoverAction::kDiscardMarked:
      if (RemoveMarker(base) != 0) return;
      [[fallthrough]];
    case LeftoverAction::kDiscard:
      // The group never committed: its receipts are still in TrasBanc.
      // What cannot be removed now is met again by the next recovery.
      (void)fs::RemoveFile(temporary_host);
      (void)fs::RemoveFile(journal_host);
      return;
    case LeftoverAction::kAdopt:
      return Adopt(request, directory, base, debits, temporary_host, journal_host, result, tell);
    case LeftoverAction::kSetAside: {
      const std::string path = SetAside(directory, base, temporary_host, journal_host);
      if (path.empty()) return;
      MarkerRemoved(RemoveMarker(base), result);
      result.set_aside.push_back(path);
      tell.push_back(Told("FITXER APARTAT, NO S'ENVIA AL BANC: ", path));
      return;
    }
  }
}

// A marker whose group is committed and was not listed: its file, when it
// is the one marked, goes in the work list; one that changed or is gone is
// told. A file still held by the process that wrote it is that process's.
void SettleMarker(const RecoveryRequest& request, const std::string& directory, const Marker& marker, GenerationReport& result,
                  std::vector<std::string>& tell) {
  const std::string path = directory + marker.name;
  const std::string host = fs::HostPath(path);
  if (Exists(fs::HostPath(path + std::string(kTemporarySuffix)))) return;  // not settled above
  // In place, not yet listed by the workstation its journal names.
  const std::string writer = WriterElsewhere(fs::HostPath(path + std::string(kJournalSuffix)));
  if (!writer.empty()) {
    if (Exists(host)) tell.push_back(AwaitedText(writer, path));
    return;
  }
  if (!Exists(host)) {
    if (!Exists(fs::HostPath(path + std::string(kSetAsideSuffix)))) {
      tell.push_back(Told("NO ES TROBA EL FITXER GENERAT: ", path));
    }
    MarkerRemoved(RemoveMarker(marker.name), result);
    return;
  }
  fs::File file;
  if (file.Open(host, fs::File::kReadWrite, true) != 0) return;
  std::string bytes;
  if (!ReadOpenFile(file, &bytes)) return;
  if (util::Sha256Hex(bytes) != marker.digest) {
    tell.push_back(Told("EL FITXER GENERAT HA CANVIAT, NO ES CONVERTEIX: ", path));
    MarkerRemoved(RemoveMarker(marker.name), result);
    return;
  }
  int64_t debits = 0;
  WholeFile(bytes, &debits);
  if (!Listed(ListCommitted(path, request.return_menu), result, tell)) return;
  MarkerRemoved(RemoveMarker(marker.name), result);
  result.files.push_back(path);
  result.receipts += std::max<int64_t>(debits, 0);
  tell.push_back(GeneratedFileText(path));
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

LeftoverAction DecideLeftover(const LeftoverFacts& facts) {
  if (facts.elsewhere) return LeftoverAction::kLeave;
  if (!facts.marked) {
    // Never committed, or not by this program.
    if (!facts.whole || facts.receipts == Presence::kAll) return LeftoverAction::kDiscard;
    if (facts.receipts == Presence::kUnknown) return LeftoverAction::kLeave;
    return LeftoverAction::kSetAside;
  }
  if (!facts.whole || !facts.digest) return LeftoverAction::kSetAside;
  switch (facts.receipts) {
    case Presence::kNone:
      return LeftoverAction::kAdopt;
    case Presence::kAll:
      // The marker committed and the deletion did not: a stale marker.
      return LeftoverAction::kDiscardMarked;
    case Presence::kSome:
      return LeftoverAction::kSetAside;
    case Presence::kUnknown:
      break;
  }
  return LeftoverAction::kLeave;
}

void SettleLeftovers(const RecoveryRequest& request, GenerationReport& result, std::vector<std::string>& tell) {
  if (db::RecordBuffer(kTrasBancFile) == nullptr || !MarkersOpen()) return;
  const std::string directory = OutputDirectory();
  std::vector<fs::DirEntry> entries;
  if (directory.empty() || !fs::ListDirectory(fs::HostPath(directory), &entries)) return;
  const std::string temporary_suffix = std::string(kFileExtension) + std::string(kTemporarySuffix);
  const std::string journal_suffix = std::string(kFileExtension) + std::string(kJournalSuffix);
  for (const fs::DirEntry& entry : entries) {
    if ((entry.attributes & fs::kDirectory) != 0) continue;
    const std::string name = fs::ProgramFileName(entry.name);
    if (EndsWith(name, temporary_suffix)) Settle(request, directory, name, result, tell);
  }
  std::vector<Marker> markers;
  if (!ReadMarkers(&markers)) return;
  for (const Marker& marker : markers) SettleMarker(request, directory, marker, result, tell);
  // A journal whose file is gone and whose marker is gone belongs to a
  // group that was put in place and listed (or removed) by a process that
  // stopped before removing the journal. While the marker stays, the
  // journal keeps other workstations from settling the file; another
  // workstation's stays until that workstation has listed its file.
  for (const fs::DirEntry& entry : entries) {
    const std::string name = fs::ProgramFileName(entry.name);
    if ((entry.attributes & fs::kDirectory) != 0 || !EndsWith(name, journal_suffix)) continue;
    const std::string base = name.substr(0, name.size() - kJournalSuffix.size());
    const std::string journal_host = fs::HostPath(directory + name);
    Marker marker;
    int16_t status = 0;
    const bool marked = FindMarker(base, &marker, &status);
    if (status == 0 && !marked && !Exists(fs::HostPath(directory + base + std::string(kTemporarySuffix))) &&
        WriterElsewhere(journal_host).empty()) {
      (void)fs::RemoveFile(journal_host);  // else met again next time
    }
  }
}

env::Status ListCommitted(const std::string& path, const std::string& return_menu) {
  if (WorkListHolds(path)) return env::OkStatus();
  return AddToWorkList(path, return_menu);
}

std::function<std::string()> FileNameDraw(const std::function<std::string()>& chosen) {
  if (chosen) return chosen;
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
