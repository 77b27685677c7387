// Opening and closing record files, and creating a missing one from its
// dictionary.
#include "db/records.h"
#include "db/server.h"
#include "db/table.h"
#include "env/session.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "platform/recman/btrcall.h"

namespace db {
namespace {

using internal::Slot;
namespace rm = platform::recman;

constexpr int kLockedFileWaitMs = 3000;

struct SplitPath {
  std::string directory;
  std::string base;
  std::string extension;
};

// Directory up to and including the last ":", "\" or "/"; the extension
// from the last "." after it, ".dat" when the name has none.
SplitPath Split(std::string_view path) {
  SplitPath s;
  size_t cut = path.find_last_of(":\\/");
  size_t name_at = cut == std::string_view::npos ? 0 : cut + 1;
  s.directory = std::string(path.substr(0, name_at));
  std::string_view name = path.substr(name_at);
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) {
    s.base = std::string(name);
    s.extension = ".dat";
  } else {
    s.base = std::string(name.substr(0, dot));
    s.extension = std::string(name.substr(dot));
  }
  return s;
}

// The owner name every open passes; put together here rather than kept as
// one literal in the program's image.
std::string OwnerName() {
  std::string owner;
  owner += 'Q';
  owner += 'D';
  owner += 'B';
  owner += 'K';
  owner += '\0';
  return owner;
}

// The record manager's path (a host path, or "pg:" and the server's name)
// as a key buffer: the path and a zero byte. Empty when it does not fit a
// key buffer.
std::string PathKey(const std::string& host_path) {
  if (host_path.empty() || host_path.size() + 1 > internal::kKeyBufferSize) return {};
  return host_path + std::string(1, '\0');
}

int16_t OpenCall(Slot& slot, const std::string& host_path) {
  std::string key = PathKey(host_path);
  if (key.empty()) return kFileNotFound;
  std::string data = OwnerName();
  uint32_t length = static_cast<uint32_t>(data.size());
  return internal::Call(rm::kOpen, slot.block.data(), data, length, key, 0);
}

// The creation buffer of a dictionary file: two bytes of
// little-endian length n, then n bytes. Empty when the file is missing or
// shorter than it says.
std::string ReadDictionary(const std::string& host_path) {
  std::string bytes;
  // Never more than the longest two-byte length can announce.
  if (platform::fs::ReadWholeFile(host_path, &bytes, 65537) != 0) return {};
  if (bytes.size() < 2) return {};
  size_t n = static_cast<unsigned char>(bytes[0]) | (static_cast<size_t>(static_cast<unsigned char>(bytes[1])) << 8);
  if (n == 0 || bytes.size() < n + 2) return {};
  return bytes.substr(2, n);
}

// Create with key number -1, so that a file made meanwhile by another
// terminal is not overwritten (59 then, and the open is simply repeated).
int16_t CreateFromDictionary(const SplitPath& parts, const std::string& host_path) {
  std::string create_buffer = ReadDictionary(
      platform::fs::HostPath(env::session.RootDir + "ddf\\" + parts.base + ".xdf"));
  if (create_buffer.empty()) return kFileNotFound;
  std::string key = PathKey(host_path);
  if (key.empty()) return kFileNotFound;
  uint32_t length = static_cast<uint32_t>(create_buffer.size());
  Slot& scratch = internal::Table()[0];
  int16_t st = internal::Call(rm::kCreate, scratch.block.data(), create_buffer, length, key, -1);
  return st == platform::recman::kFileExists ? 0 : st;
}

void ClearSlot(Slot& slot) { slot = Slot(); }

}  // namespace

env::Status OpenRecordFile(int16_t file_number, std::string_view path, std::string* record) {
  int16_t status = 0;
  OpenRecordFile(file_number, path, record, status);
  if (status == 0) return env::OkStatus();
  const SplitPath parts = Split(path);
  return RecordStatus(parts.directory + parts.base + parts.extension, status);
}

void OpenRecordFile(int16_t file_number, std::string_view path, std::string* record,
                    int16_t& status) {
  if (file_number == 0 || record == nullptr) {
    status = kNotInTable;
    return;
  }
  int found = internal::FindSlot(file_number);
  if (found > 0) {
    status = kAlreadyOpen;
    return;
  }
  if (found == 0) {
    status = kTableFull;
    return;
  }
  Slot& slot = internal::Table()[static_cast<size_t>(-found)];
  ClearSlot(slot);
  slot.file_number = file_number;
  slot.record = record;

  SplitPath parts = Split(path);
  std::string program_path = parts.directory + parts.base + parts.extension;
  // On the session's server when it has one and the file is under the
  // root; a file of this host otherwise.
  std::string host_path = RecordManagerPath(program_path);
  bool created = false;
  for (;;) {
    status = OpenCall(slot, host_path);
    if (status == kFileInUse) {
      // Another user holds the whole file: wait for it, unless the operator
      // gives up with Escape (then it is reported like any other failure).
      ui::OperatorWait wait(Hooks.wait, 0, std::string());
      if (wait.Pause(kLockedFileWaitMs)) continue;
    } else if (status == kFileNotFound && !created) {
      created = true;
      int16_t st = CreateFromDictionary(parts, host_path);
      if (st == 0) continue;
      status = st;
    }
    break;
  }
  if (status != 0) {
    ClearSlot(slot);
    return;
  }
  int16_t key_length = 0;
  int32_t record_length = 0;
  FileStatistics(file_number, 0, key_length, record_length);
  slot.record_length = record_length;
  slot.key_value.assign(static_cast<size_t>(key_length), '\0');
  record->resize(static_cast<size_t>(record_length), '\0');
}

void CloseRecordFile(int16_t file_number, int16_t& status) {
  Slot* slot = internal::OpenSlot(file_number);
  if (slot == nullptr) {
    status = kNotInTable;
    return;
  }
  std::string data;
  std::string key;
  uint32_t length = 0;
  status = internal::Call(rm::kClose, slot->block.data(), data, length, key, 0);
  // The slot is freed whatever the record manager says: the file is of no
  // more use to the caller, and the number may be opened again.
  ClearSlot(*slot);
}

void CloseAllRecordFiles(int16_t& status) {
  auto& table = internal::Table();
  std::string data;
  std::string key;
  uint32_t length = 0;
  status = internal::Call(rm::kReset, table[0].block.data(), data, length, key, 0);
  if (status == 0) {
    for (Slot& slot : table) ClearSlot(slot);
    LockModeStack.clear();
  }
}

}  // namespace db
