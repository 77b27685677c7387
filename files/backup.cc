#include "files/backup.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "env/file_error.h"
#include "env/language.h"
#include "env/session.h"
#include "files/backup_layout.h"
#include "files/drives.h"
#include "files/listing.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "platform/process/clock.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/numbers.h"

namespace files {

namespace {

namespace fs = platform::fs;

// Bytes read and written at once. Chunks end on multiples of it in the
// data file, whatever the parts before them: writes of whole pages cost
// the system a third less than the same bytes written across pages.
constexpr int64_t kLargestChunk = 32768;
// Offsets and lengths in the control file are 32 bits: no volume's data
// file grows past them.
constexpr int64_t kLargestDataFile = std::numeric_limits<uint32_t>::max();

// The backup's own texts, in the operator's language; they do not go
// through the language file.
struct Texts {
  std::string insert;
  std::string number;
  std::string preposition;
  std::string not_empty;
  std::string error_opening;
};

Texts LanguageTexts() {
  const std::string& code = env::session.LanguageCode;
  if (code == "SPA") {
    return {util::Cp850("INSERTE COPIA DE SEGURIDAD "), util::Cp850("NÚMERO "), util::Cp850(" EN "),
            util::Cp850(" NO ESTÁ VACÍO O NO ES EL DISCO "), util::Cp850("ERROR ABRIENDO ")};
  }
  if (code == "GLG") {
    return {util::Cp850("INSIRA CÓPIA DE SEGURIDADE "), util::Cp850("NÚMERO "), util::Cp850(" EM "),
            util::Cp850(" NOM ESTÁ VAZIO OU NOM É O DISCO "), util::Cp850("ERRO ABRINDO ")};
  }
  if (code == "OCI") {
    return {util::Cp850("ENSERITZ CÒPIA DE SEGURETAT "), util::Cp850("NUMÈRO "), util::Cp850(" A "),
            util::Cp850(" NON EI UET O NON EI ETH DISC "), util::Cp850("ERROR EN DAURIR ")};
  }
  return {util::Cp850("INSERIU CÒPIA DE SEGURETAT "), util::Cp850("NÚMERO "), util::Cp850(" A "),
          util::Cp850(" NO ÉS BUIT O NO ÉS EL DISC "), util::Cp850("ERROR EN OBRIR ")};
}

// The volume in the drive while it is written.
struct Volume {
  int number = 0;  // 0 before the first
  bool open = false;
  fs::File data;
  fs::File control;
  bool directory_written = false;
  int entries = 0;
  int64_t data_size = 0;     // bytes written to BACKUP.nnn
  int64_t control_size = 0;  // bytes written to CONTROL.nnn
  int64_t free_bytes = 0;    // of the volume when it was opened
  int64_t cluster = 1;
};

struct Run {
  std::string source;
  std::string target;
  std::string label;
  Texts texts;
  Volume volume;
  BackupEntry entry;         // the part being written
  int64_t entry_at = 0;      // its place in the control file
  bool volume_whole = true;  // every entry of the volume matches its data
  bool window = false;       // the progress window is open
  env::Status status;       // how it ended
};

bool Stop(Run& run, env::Status status) {
  run.status = std::move(status);
  return false;
}

// The operator pressed Escape at a prompt; the panel that asked was the telling.
bool Cancel(Run& run) { return Stop(run, env::Status(env::Code::kCancelled, {}, run.target)); }

// A failure of the copy, told in a panel; the text names the path.
bool Fail(Run& run, const std::string& text) {
  ui::TellOperator(text);
  return Stop(run, env::Status(env::Code::kFileError, text));
}

// The failure just noted by the file layer, in words with its path.
bool FailOnFile(Run& run) {
  env::Status status = env::LastFileStatus();
  ui::TellOperator(status.words());
  if (status.ok()) status = env::Status(env::Code::kFileError, {}, run.target);
  return Stop(run, std::move(status));
}

std::string VolumePath(const Run& run, std::string_view stem, int number) {
  return run.target + BackupVolumeFileName(stem, number);
}

std::string InsertText(const Run& run, int number) {
  return run.texts.insert + std::string(util::TrimLeft(run.label + " ")) + run.texts.number +
         std::to_string(number) + run.texts.preposition + run.target;
}

std::string NotEmptyText(const Run& run, int number) {
  std::string text = run.target + run.texts.not_empty + std::to_string(number);
  if (!run.label.empty()) text += " DE " + run.label;
  return text;
}

enum class VolumeState { kRefused, kAccepted };

// A volume is taken when it holds no file but its own earlier volume of a
// set with this label, which is removed. A control file that is not one of
// a backup set is somebody else's file: the volume is refused and the file
// kept.
// A volume file that cannot be opened is the failure platform/fs noted (its
// words empty when it noted none).
env::StatusOr<VolumeState> LookAtVolume(const Run& run, int number) {
  const std::string control_path = VolumePath(run, "CONTROL", number);
  const auto unreadable = [&control_path] {
    env::Status status = env::LastFileStatus();
    if (status.ok()) status = env::Status(env::Code::kFileError, {}, control_path);
    return status;
  };
  fs::File control;
  if (control.Open(fs::HostPath(control_path), fs::File::kReadWriteCreate, true) != 0) {
    return unreadable();
  }
  const bool had_content = control.Size() > 0;
  std::string header(kBackupHeaderSize, '\0');
  const int64_t got = control.ReadAt(0, header.data(), header.size());
  header.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  control.Close();
  if (had_content && (!IsBackupHeader(header) || BackupHeaderLabel(header) != run.label)) {
    return VolumeState::kRefused;
  }
  // The data file's name must hold a plain file of the set or nothing: a
  // folder, a pipe or a link there is no earlier volume to overwrite, and
  // the operator is told what it is (the open notes it).
  const std::string data_host = fs::HostPath(VolumePath(run, "BACKUP", number));
  fs::File data;
  const int data_error = data.Open(data_host, fs::File::kReadWrite, false);
  data.Close();
  if (data_error != 0 && data_error != fs::kErrorFileNotFound) return unreadable();
  fs::RemoveFile(fs::HostPath(control_path));
  fs::RemoveFile(data_host);
  return FileExists(run.target + "*.*") ? VolumeState::kRefused : VolumeState::kAccepted;
}

// Until the volume in the drive is one the set may take or the operator
// gives up; the prompt to insert it first when asked for.
bool CheckVolume(Run& run, int number, bool prompt) {
  for (;;) {
    if (prompt && ui::TellOperator(InsertText(run, number)) == ui::kKeyEscape) {
      return Cancel(run);
    }
    prompt = true;
    fs::ClearFileError();
    const env::StatusOr<VolumeState> state = LookAtVolume(run, number);
    if (state.ok() && *state == VolumeState::kAccepted) return true;
    // A volume file that cannot be opened (a folder, a pipe or a link in its
    // place, no right to write) is told with its reason, not asked for again
    // without a word.
    if (!state.ok() && !state.status().words().empty() &&
        ui::TellOperator(state.status().words()) == ui::kKeyEscape) {
      return Cancel(run);
    }
    if (state.ok() && *state == VolumeState::kRefused &&
        ui::TellOperator(NotEmptyText(run, number)) == ui::kKeyEscape) {
      return Cancel(run);
    }
  }
}

// Data bytes the volume still takes once its control file has
// control_size bytes: the free space less the data written, one byte and
// the control file's clusters with one more for its growth.
int64_t Room(const Volume& volume, int64_t control_size) {
  const int64_t clusters = control_size / volume.cluster + 1;
  const int64_t room = volume.free_bytes - volume.data_size - 1 - volume.cluster * clusters;
  return std::min(room, kLargestDataFile - volume.data_size);
}

bool WriteControl(Run& run, int64_t at, const std::string& bytes) {
  Volume& volume = run.volume;
  if (!volume.control.WriteAt(at, bytes.data(), bytes.size())) {
    run.volume_whole = false;
    return FailOnFile(run);
  }
  volume.control_size = std::max(volume.control_size, at + static_cast<int64_t>(bytes.size()));
  return true;
}

bool WriteEntry(Run& run) { return WriteControl(run, run.entry_at, BackupEntryBytes(run.entry)); }

bool WriteDirectoryBlock(Run& run) {
  return WriteControl(run, kBackupHeaderSize,
                      BackupDirectoryBlock(run.source, run.volume.entries));
}

// Opens the next volume, which the check has taken, with its header. A
// volume without room for the control file and the first byte of the part
// (need 0 for an empty file) is refused like a full one.
bool OpenVolume(Run& run, int64_t need) {
  Volume& volume = run.volume;
  const int number = volume.number + 1;
  const std::string data_path = VolumePath(run, "BACKUP", number);
  const std::string control_path = VolumePath(run, "CONTROL", number);
  for (;;) {
    // This text is the same in every language.
    if (volume.data.Open(fs::HostPath(data_path), fs::File::kReadWriteCreate, true) != 0 ||
        !volume.data.Truncate(0)) {
      volume.data.Close();
      return Fail(run, "ERROR ABRIENDO " + data_path);
    }
    if (volume.control.Open(fs::HostPath(control_path), fs::File::kReadWriteCreate, true) != 0 ||
        !volume.control.Truncate(0)) {
      volume.data.Close();
      volume.control.Close();
      return Fail(run, run.texts.error_opening + control_path);
    }
    volume.free_bytes = static_cast<int64_t>(DiskSpace(run.target, 0));
    volume.cluster = std::max<int64_t>(static_cast<int64_t>(DiskSpace(run.target, 1)), 1);
    volume.data_size = 0;
    volume.control_size = 0;
    const int64_t control = kBackupHeaderSize + kBackupDirectorySize + kBackupEntrySize;
    if (Room(volume, control) >= need) break;
    volume.data.Close();
    volume.control.Close();
    fs::RemoveFile(fs::HostPath(data_path));
    fs::RemoveFile(fs::HostPath(control_path));
    if (ui::TellOperator(NotEmptyText(run, number)) == ui::kKeyEscape) {
      return Cancel(run);
    }
    if (!CheckVolume(run, number, true)) return false;
  }
  volume.number = number;
  volume.open = true;
  volume.directory_written = false;
  volume.entries = 0;
  run.volume_whole = true;
  // Until the set is whole the header says that more volumes follow, so
  // that a set cut short never passes for a complete one.
  return WriteControl(run, 0, BackupHeader(number, run.label, kBackupMoreVolumes));
}

// The volume's directory block and header brought up to date, its files on
// the medium, then closed. The last-volume flag is written only after the
// rest has reached the medium.
bool CloseVolume(Run& run, uint8_t last_flag) {
  Volume& volume = run.volume;
  volume.open = false;
  const bool written =
      (volume.data.Sync() || FailOnFile(run)) &&
      (!volume.directory_written || WriteDirectoryBlock(run)) &&
      (volume.control.Sync() || FailOnFile(run)) &&
      WriteControl(run, 0, BackupHeader(volume.number, run.label, last_flag)) &&
      (volume.control.Sync() || FailOnFile(run));
  volume.data.Close();
  volume.control.Close();
  if (!written) run.volume_whole = false;
  return written;
}

// A volume whose last part was cut short by a failure, closed with what its
// control file can still be told: that part continues on a next volume,
// which does not exist, and the header says that one follows. A reader
// finds the set incomplete, never a file shorter than its entry. The
// operator has been told of the failure: these writes fail silently.
void AbandonVolume(Run& run) {
  Volume& volume = run.volume;
  volume.open = false;
  if (volume.control_size >= run.entry_at + static_cast<int64_t>(kBackupEntrySize)) {
    run.entry.flag = kBackupPartContinues;
    const std::string entry = BackupEntryBytes(run.entry);
    volume.control.WriteAt(run.entry_at, entry.data(), entry.size());
  }
  if (volume.directory_written) {
    const std::string block = BackupDirectoryBlock(run.source, volume.entries);
    volume.control.WriteAt(kBackupHeaderSize, block.data(), block.size());
  }
  volume.data.Sync();
  volume.control.Sync();
  volume.data.Close();
  volume.control.Close();
}

// Closes a full volume, saying that the set goes on, and has the next one
// checked.
bool NextVolume(Run& run) {
  if (!CloseVolume(run, kBackupMoreVolumes)) return false;
  return CheckVolume(run, run.volume.number + 1, true);
}

// The entry of a part of the file, on the volume open now when it has room
// for the entry and the part's first byte; else on the next volume.
bool StartPart(Run& run, const std::string& name, int64_t file_size, uint16_t part,
               int64_t remaining) {
  Volume& volume = run.volume;
  const int64_t need = remaining > 0 ? 1 : 0;
  if (volume.open) {
    const int64_t control = volume.control_size + kBackupEntrySize +
                            (volume.directory_written ? 0 : kBackupDirectorySize);
    if (Room(volume, control) < need && !NextVolume(run)) return false;
  }
  if (!volume.open && !OpenVolume(run, need)) return false;
  if (!volume.directory_written) {
    if (!WriteDirectoryBlock(run)) return false;
    volume.directory_written = true;
  }
  const platform::LocalTime now = platform::LocalNow();
  run.entry = BackupEntry{};
  run.entry.name = name;
  run.entry.flag = kBackupLastPart;
  run.entry.file_size = static_cast<uint32_t>(file_size);
  run.entry.part = part;
  run.entry.offset = static_cast<uint32_t>(volume.data_size);
  run.entry.time = DosTime(now.hour, now.minute, now.second);
  run.entry.date = DosDate(now.year, now.month, now.day);
  run.entry_at = volume.control_size;
  if (!WriteEntry(run)) return false;
  ++volume.entries;
  // Until its last byte is written the part does not match its entry.
  run.volume_whole = false;
  return true;
}

void ShowRemaining(int64_t remaining) {
  ui::PrintAt(1, 64, util::FormatNumber("Z,ZZZ,ZZZ,ZZ9", static_cast<double>(remaining)));
}

// The largest chunk to read at once: kLargestChunk, or half of the memory
// available when that is less (when it can be told at all).
int64_t ChunkLimit() {
  const int64_t half_memory = AvailableMemory("") / 2;
  return half_memory > 0 ? std::min(kLargestChunk, half_memory) : kLargestChunk;
}

bool BackUpFile(Run& run, const std::string& name, std::string& buffer) {
  const std::string path = run.source + name;
  fs::File source;
  if (source.Open(fs::HostPath(path), fs::File::kRead, true) != 0) {
    return Fail(run, run.texts.error_opening + path);
  }
  const int64_t file_size = source.Size();
  if (file_size < 0) return FailOnFile(run);
  int64_t remaining = file_size;
  int64_t read_at = 0;
  uint16_t part = 1;
  if (!StartPart(run, name, file_size, part, remaining)) return false;
  const int64_t limit = ChunkLimit();
  Volume& volume = run.volume;
  while (remaining > 0) {
    if (run.window) ShowRemaining(remaining);
    int64_t chunk = std::min({kLargestChunk - volume.data_size % kLargestChunk, limit, remaining});
    const int64_t room = Room(volume, volume.control_size);
    // The volume is full when this chunk takes its last byte and the file
    // has more.
    const bool full = room <= chunk && room < remaining;
    chunk = std::min(chunk, room);
    const int64_t got = source.ReadAt(read_at, buffer.data(), static_cast<size_t>(chunk));
    if (got < 0) return FailOnFile(run);
    if (got < chunk) {
      return Fail(run, env::TranslateText(util::Cp850("EL FITXER HA CANVIAT MENTRE ES COPIAVA: ")) +
                           path);
    }
    if (!volume.data.WriteAt(volume.data_size, buffer.data(), static_cast<size_t>(chunk))) {
      return FailOnFile(run);
    }
    volume.data_size += chunk;
    run.entry.length += static_cast<uint32_t>(chunk);
    remaining -= chunk;
    read_at += chunk;
    if (full) {
      run.entry.flag = kBackupPartContinues;
      if (!WriteEntry(run)) return false;
      run.volume_whole = true;
      if (!NextVolume(run)) return false;
      ++part;
      if (!StartPart(run, name, file_size, part, remaining)) return false;
    }
  }
  source.Close();
  if (!WriteEntry(run)) return false;
  run.volume_whole = true;
  return true;
}

// The window at the foot of the screen, with the source directory on its
// frame; false when it could not be opened (nothing is shown then).
bool OpenProgressWindow(const std::string& source) {
  ui::SetColour("+rn");
  const bool opened = ui::OpenWindow(23, 1, 25, 80);
  if (opened) ui::DrawFrame(1);
  ui::SetColour("-");
  if (!opened) return false;
  ui::SetColour("+rn");
  ui::LocateInWindow(0, 1);
  ui::Print(" " + source.substr(0, source.empty() ? 0 : source.size() - 1) + " ");
  ui::SetColour("-");
  return true;
}

void ShowName(const std::string& name) {
  std::string shown = name;
  if (shown.size() < 12) shown.resize(12, ' ');  // no rest of a longer name
  ui::PrintAt(1, 50, shown);
}

}  // namespace

BackupReport BackupToVolumes(std::string_view source_directory, std::string_view mask,
                             std::string_view target, std::string_view label) {
  Run run;
  run.source = std::string(source_directory);
  run.target = std::string(target);
  run.label = std::string(label.substr(0, kBackupLabelSize));
  run.texts = LanguageTexts();
  // A full disk or the file size limit makes a write fail, never the
  // process end.
  fs::FailWritesPastSizeLimit();
  // Only plain files are backed up, and only they make a volume not empty.
  const int16_t saved_attributes = listings.ListAttributes;
  listings.ListAttributes = 0x20;
  run.window = OpenProgressWindow(run.source);
  if (CheckVolume(run, 1, false)) {
    std::string buffer(static_cast<size_t>(kLargestChunk), '\0');
    fs::ClearFileError();
    const env::Status listed = StartListing(run.source + std::string(mask));
    std::string name;
    bool any = false;
    while (!NextListed(name)) {
      any = true;
      if (run.window) ShowName(name);
      if (!BackUpFile(run, name, buffer)) break;
    }
    EndListing();
    if (!any) {
      // Nothing to copy is no copy made: the operator is told where nothing
      // was found (or why the folder could not be read).
      if (!listed.ok() && !listed.words().empty()) {
        run.status = env::Status(env::Code::kNotFound, listed.words(), listed.subject());
      } else {
        const std::string where = run.source + std::string(mask);
        run.status = env::Status(
            env::Code::kNotFound,
            env::TranslateText(util::Cp850("NO HI HA CAP FITXER PER COPIAR A ")) + where, where);
      }
      ui::TellOperator(run.status.words());
    }
    if (run.volume.open) {
      if (run.volume_whole) {
        // A file that could not be opened ends the set with what it holds.
        // A volume that cannot be closed has been told by CloseVolume.
        if (!CloseVolume(run, kBackupLastVolume) && run.status.ok()) {
          run.status = env::Status(env::Code::kFileError, {}, run.target);
        }
      } else {
        AbandonVolume(run);
      }
    }
  }
  if (run.window) ui::CloseWindow();
  listings.ListAttributes = saved_attributes;
  return BackupReport{std::move(run.status), run.volume.number};
}

}  // namespace files
