#include "tools/kitdb/commands.h"

#include <cstdio>

#include "db/server.h"
#include "env/session.h"
#include "files/locks.h"
#include "platform/recman/btrcall.h"
#include "platform/recman/status.h"
#include "tools/kitdb/description.h"
#include "tools/kitdb/dump.h"
#include "tools/kitdb/io.h"
#include "tools/kitdb/record_file.h"
#include "tools/kitdb/sequential.h"

namespace kitdb {
namespace {

namespace fs = platform::fs;
namespace rm = platform::recman;

constexpr int kUsageError = 2;
// A description is a page of text; anything longer is not one.
constexpr size_t kMaxDescriptionBytes = 1 << 20;

int Fail(const std::string& message) {
  std::fprintf(stderr, "kitdb: %s\n", message.c_str());
  return 1;
}

env::Status LoadDescription(const std::string& path, Description* d) {
  const env::StatusOr<std::string> text = ReadSmallInput(path, kMaxDescriptionBytes);
  if (!text.ok()) return text.status();
  const env::Status parsed = ParseDescription(*text, d);
  if (!parsed.ok()) return env::Status(parsed.code(), path + ": " + parsed.words(), path);
  return env::OkStatus();
}

// Fails with the words of a status that is not ok.
int FailWith(const env::Status& status) { return Fail(status.words()); }

bool KeyArgument(const std::vector<std::string>& args, size_t at, int* key) {
  *key = 0;
  if (args.size() <= at) return true;
  const std::string& a = args[at];
  if (a.empty() || a.size() > 3 || a.find_first_not_of("0123456789") != std::string::npos) return false;
  *key = std::stoi(a);
  return true;
}

constexpr std::string_view kServerPrefix = "pg:";

bool OnServer(const std::string& path) { return path.rfind(kServerPrefix, 0) == 0; }

// A record file named "pg:PATH" is the file PATH (a host path, or the
// program's) names, on the database server the program would use: KITDB,
// else [BaseDades] Servidor of the root's Vela.ini (KITROOT, else the
// current folder). It becomes "pg:" and its name there, as the program
// names it (db/server.h). Other paths are left as they are.
int ResolveRecordPath(std::string* path) {
  if (!OnServer(*path)) return 0;
  env::LoadSessionSettings();
  if (env::session.DatabaseServer.empty()) {
    return Fail(*path + ": no database server named (KITDB, or [BaseDades] Servidor in " +
                env::session.RootDir + "Vela.ini)");
  }
  const std::string name = db::ServerFileName(path->substr(kServerPrefix.size()));
  if (name.empty()) {
    return Fail(*path + ": not a file under the installation root " +
                (env::session.RootDir.empty() ? std::string("(the current folder)") : env::session.RootDir));
  }
  db::UseSessionServer();
  *path = std::string(kServerPrefix) + name;
  return 0;
}

// A record file's path that names a directory, pipe or device is refused
// before the record manager is asked to open it: a pipe would block it.
int CheckRecordPath(const std::string& path) {
  if (OnServer(path)) return 0;
  std::string why = NotPlainFile(path);
  return why.empty() ? 0 : Fail(path + ": " + why);
}

int OpenFile(RecordFile* file, const std::string& path, int8_t mode, FileInfo* info) {
  if (int rc = CheckRecordPath(path)) return rc;
  if (int16_t st = file->Open(path, mode)) return Fail(path + ": cannot open (" + StatusText(st) + ")");
  if (int16_t st = file->Stat(info)) return Fail(path + ": no statistics (" + StatusText(st) + ")");
  return 0;
}

// Every record in the order of key, to visit. *records: how many the file
// held when it was opened.
template <typename Visit>
int WalkByKey(const std::string& path, int key, Visit visit, uint32_t* records = nullptr) {
  RecordFile file;
  FileInfo info;
  if (int rc = OpenFile(&file, path, -2, &info)) return rc;
  if (records != nullptr) *records = info.records;
  if (key < 0 || static_cast<size_t>(key) >= info.keys.size()) {
    return Fail(path + ": has no key " + std::to_string(key));
  }
  std::string record;
  int16_t st = file.Get(rm::kGetFirst, static_cast<int8_t>(key), &record);
  while (st == 0) {
    visit(record);
    st = file.Get(rm::kGetNext, static_cast<int8_t>(key), &record);
  }
  if (st != platform::recman::kEndOfFile) return Fail(path + ": read stopped (" + StatusText(st) + ")");
  return 0;
}

int Create(std::vector<std::string> args) {
  if (int rc = ResolveRecordPath(&args[1])) return rc;
  Description d;
  if (const env::Status loaded = LoadDescription(args[2], &d); !loaded.ok()) return FailWith(loaded);
  if (int rc = CheckRecordPath(args[1])) return rc;
  int16_t st = CreateRecordFile(args[1], CreationSpec(d));
  if (st != 0) return Fail(args[1] + ": not created (" + StatusText(st) + ")");
  return 0;
}

std::string FlagNames(uint16_t flags) {
  static const char* const kNames[] = {"duplicates", "modifiable", "binary",    "null",
                                       "segmented",  "alternate",  "descending", "repeating",
                                       "extended",   "manual-null", "nocase"};
  std::string out;
  for (int bit = 0; bit < 11; ++bit) {
    if ((flags & (1u << bit)) != 0) out += std::string(" ") + kNames[bit];
  }
  return out;
}

int Stat(std::vector<std::string> args) {
  if (int rc = ResolveRecordPath(&args[1])) return rc;
  RecordFile file;
  FileInfo info;
  if (int rc = OpenFile(&file, args[1], -2, &info)) return rc;
  std::printf("record length: %u\npage size: %u\nrecords: %u\nfile flags: 0x%04X\nkeys: %zu\n",
              info.record_length, info.page_size, info.records, info.file_flags, info.keys.size());
  for (size_t k = 0; k < info.keys.size(); ++k) {
    const KeyInfo& key = info.keys[k];
    std::printf("key %zu: length %u, %s\n", k, key.length, key.duplicates ? "duplicates" : "unique");
    for (const KeyInfo::Segment& s : key.segments) {
      std::printf("  segment position %u length %u flags 0x%04X%s type %u\n", s.position, s.length,
                  s.flags, FlagNames(s.flags).c_str(), s.type);
    }
  }
  return 0;
}

// Every record of the sequential file inside one transaction, read as it
// goes: memory stays bounded however long the file is, and any failure
// aborts the transaction, so the file gets all the records or none.
int Load(std::vector<std::string> args) {
  if (int rc = ResolveRecordPath(&args[1])) return rc;
  const std::string& source = args[2];
  fs::File input;
  if (const env::Status opened = OpenInput(source, &input); !opened.ok()) return FailWith(opened);
  RecordFile file;
  FileInfo info;
  if (int rc = OpenFile(&file, args[1], 0, &info)) return rc;
  bool variable = (info.file_flags & rm::kFileVariableLength) != 0;
  if (int16_t st = Transaction(rm::kBeginTransaction)) {
    return Fail("no transaction (" + StatusText(st) + ")");
  }
  auto abort = [](const std::string& message) {
    Transaction(rm::kAbortTransaction);
    return Fail(message + "; nothing loaded");
  };
  int64_t offset = 0;
  SequentialReader reader([&](char* buffer, size_t size) {
    int64_t got = input.ReadAt(offset, buffer, size);
    if (got > 0) offset += got;
    return got;
  });
  std::string record;
  size_t count = 0;
  for (;;) {
    SequentialReader::Step step = reader.Next(&record);
    if (step == SequentialReader::Step::kEnd) break;
    if (step == SequentialReader::Step::kFailed) return abort(source + ": " + reader.error());
    ++count;
    size_t n = record.size();
    if (variable ? n < info.record_length : n != info.record_length) {
      return abort(source + ": record " + std::to_string(count) + " is " + std::to_string(n) +
                   " bytes long, the file's records " + std::to_string(info.record_length));
    }
    if (int16_t st = file.Insert(record)) {
      return abort(args[1] + ": record " + std::to_string(count) + " not inserted (" +
                   StatusText(st) + ")");
    }
  }
  if (int16_t st = Transaction(rm::kEndTransaction)) {
    return Fail(args[1] + ": not committed (" + StatusText(st) + "); nothing loaded");
  }
  std::printf("%zu records loaded\n", count);
  return 0;
}

int Save(std::vector<std::string> args) {
  if (int rc = ResolveRecordPath(&args[1])) return rc;
  int key = 0;
  if (!KeyArgument(args, 3, &key)) return Fail("bad key number \"" + args[3] + "\"");
  Output out;
  if (const env::Status opened = out.Open(args[2]); !opened.ok()) return FailWith(opened);
  std::string text;
  size_t count = 0;
  uint32_t held = 0;
  bool written = true;
  int rc = WalkByKey(
      args[1], key,
      [&](const std::string& record) {
        text.clear();
        AppendSequential(record, &text);
        written = out.Write(text) && written;
        ++count;
      },
      &held);
  if (rc != 0) return rc;
  // A key with null segments leaves records out of its order, and a file
  // changed by another user meanwhile is not one consistent copy: either
  // way the saved file would silently lack records.
  if (count != held) {
    return Fail(args[1] + ": key " + std::to_string(key) + " gave " + std::to_string(count) +
                " of the " + std::to_string(held) +
                " records (null keys, or the file changed meanwhile); nothing saved");
  }
  if (!written) return Fail(args[2] + ": not written (the disk refused the data); nothing saved");
  if (const env::Status committed = out.Commit(); !committed.ok()) {
    return Fail(committed.words() + "; nothing saved");
  }
  std::printf("%zu records saved\n", count);
  return 0;
}

// Every record of FROM, byte for byte and in the order of its key 0, into
// TO: a new file of FROM's layout, or an empty one of that layout. The
// inserts run in one transaction, so TO gets every record or none.
int Copy(std::vector<std::string> args) {
  if (int rc = ResolveRecordPath(&args[1])) return rc;
  if (int rc = ResolveRecordPath(&args[2])) return rc;
  const std::string& from = args[1];
  const std::string& to = args[2];
  RecordFile source;
  FileInfo info;
  if (int rc = OpenFile(&source, from, -2, &info)) return rc;
  if (info.keys.empty()) return Fail(from + ": has no key to copy the records in the order of");
  if (int rc = CheckRecordPath(to)) return rc;
  const int16_t created = CreateRecordFile(to, info.layout);
  if (created != 0 && created != rm::kFileExists) {
    return Fail(to + ": not created (" + StatusText(created) + "); nothing copied");
  }
  RecordFile target;
  FileInfo target_info;
  if (int rc = OpenFile(&target, to, 0, &target_info)) return rc;
  if (created == rm::kFileExists && target_info.layout != info.layout) {
    return Fail(to + ": exists with another layout; nothing copied");
  }
  if (target_info.records != 0) {
    return Fail(to + ": exists and holds " + std::to_string(target_info.records) +
                " records; nothing copied");
  }
  if (int16_t st = Transaction(rm::kBeginTransaction)) {
    return Fail("no transaction (" + StatusText(st) + "); nothing copied");
  }
  auto abort = [](const std::string& message) {
    Transaction(rm::kAbortTransaction);
    return Fail(message + "; nothing copied");
  };
  std::string record;
  uint32_t count = 0;
  int16_t st = source.Get(rm::kGetFirst, 0, &record);
  while (st == 0) {
    ++count;
    if (int16_t put = target.Insert(record)) {
      return abort(to + ": record " + std::to_string(count) + " not inserted (" + StatusText(put) + ")");
    }
    st = source.Get(rm::kGetNext, 0, &record);
  }
  if (st != rm::kEndOfFile) return abort(from + ": read stopped (" + StatusText(st) + ")");
  // As for save: null keys, or a file changed meanwhile, would copy fewer.
  if (count != info.records) {
    return abort(from + ": key 0 gave " + std::to_string(count) + " of the " +
                 std::to_string(info.records) + " records (null keys, or the file changed meanwhile)");
  }
  if (int16_t end = Transaction(rm::kEndTransaction)) {
    return Fail(to + ": not committed (" + StatusText(end) + "); nothing copied");
  }
  std::printf("%u records copied\n", count);
  return 0;
}

int Dump(const std::vector<std::string>& args) {
  std::vector<std::string> rest;
  std::string description_path;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "-d" && i + 1 < args.size()) {
      description_path = args[++i];
    } else {
      rest.push_back(args[i]);
    }
  }
  if (rest.empty() || rest.size() > 2) return Fail("dump wants FILE [KEY] [-d DESCRIPTION]");
  if (int rc = ResolveRecordPath(&rest[0])) return rc;
  Description d;
  if (!description_path.empty()) {
    if (const env::Status loaded = LoadDescription(description_path, &d); !loaded.ok()) {
      return FailWith(loaded);
    }
  }
  int key = 0;
  std::vector<std::string> key_args = {"", rest[0]};
  if (rest.size() == 2) key_args.push_back(rest[1]);
  if (!KeyArgument(key_args, 2, &key)) return Fail("bad key number \"" + rest[1] + "\"");
  const Description* shown = description_path.empty() ? nullptr : &d;
  return WalkByKey(rest[0], key, [&](const std::string& record) {
    std::printf("%s\n", DumpLine(shown, record).c_str());
  });
}

int Xdf(const std::vector<std::string>& args) {
  Description d;
  if (const env::Status loaded = LoadDescription(args[1], &d); !loaded.ok()) return FailWith(loaded);
  Output out;
  env::Status written = out.Open(args[2]);
  if (written.ok() && !out.Write(DictionaryBytes(d))) {
    written = env::Status(env::Code::kFileError, args[2] + ": not written", args[2]);
  }
  if (written.ok()) written = out.Commit();
  return written.ok() ? 0 : FailWith(written);
}

}  // namespace

const char* UsageText() {
  return R"(usage: kitdb COMMAND ...   (FILE: a host path, DADES/TrasBanc.dat; pg:FILE on the server)

  kitdb create FILE DESCRIPTION     create an empty record file (never overwrites)
  kitdb stat FILE                   record length, page size, records, keys
  kitdb load FILE SEQFILE           insert every record of SEQFILE, all or none
  kitdb save FILE SEQFILE [KEY]     write every record in the order of KEY (0)
  kitdb dump FILE [KEY] [-d DESCRIPTION]
                                    one readable line per record
  kitdb copy FROM TO                every record in the order of key 0, all or none
  kitdb locks NAME                  the slots of record file NAME's lock table
  kitdb xdf DESCRIPTION OUT.xdf     write the dictionary the program creates
                                    missing files from
  kitdb --help                      this, and the formats of the files
)";
}

const char* FormatsText() {
  return R"(
SEQFILE: each record as its length in decimal, a comma, the bytes, CR LF.

DESCRIPTION (one statement a line, "#" starts a comment, words any case):
  record LENGTH                     first; the record length in bytes
  page SIZE                         512, 1024 ... 4096 (default 1024)
  flags WORD...                     variable truncate preallocate compress
                                    keyonly balanced free10 free20
  alternate NAME                    a collating sequence (the program's
                                    upper-casing) for "alternate" segments
  field NAME POSITION LENGTH [KIND] POSITION 1-based; KIND text (default),
                                    packed (digits two a byte, as 128 + n),
                                    integer (1, 2, 4 or 8 bytes, little
                                    endian, signed), hex, or skip (named
                                    for segments, not shown by dump)
  key [N] [unique|duplicates] [modifiable]
                                    the next key, numbered from 0
  segment FIELD|POSITION LENGTH [OPTION...]
                                    the next part of the last key; options
                                    binary descending nocase alternate
                                    null=BYTE type=NAME (string integer float
                                    date time logical lstring zstring
                                    unsigned autoincrement)
)";
}

// The slots of the lock table of the record file NAME, as the table file's
// bytes read: from the root's LOCKS folder, or from the database server
// when the office has one.
int Locks(const std::vector<std::string>& args) {
  env::LoadSessionSettings();
  const env::StatusOr<std::string> slots = files::LockTableSlots(args[1]);
  if (!slots.ok()) return Fail(slots.status().Text());
  std::fwrite(slots->data(), 1, slots->size(), stdout);
  return 0;
}

int RunCommand(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fprintf(stderr, "kitdb: no command given\n%s", UsageText());
    return kUsageError;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::printf("%s%s", UsageText(), FormatsText());
    return 0;
  }
  const std::string& command = args[0];
  size_t n = args.size();
  if (command == "create" && n == 3) return Create(args);
  if (command == "stat" && n == 2) return Stat(args);
  if (command == "load" && n == 3) return Load(args);
  if (command == "save" && (n == 3 || n == 4)) return Save(args);
  if (command == "dump" && n >= 2) return Dump(args);
  if (command == "xdf" && n == 3) return Xdf(args);
  if (command == "copy" && n == 3) return Copy(args);
  if (command == "locks" && n == 2) return Locks(args);
  std::fprintf(stderr, "kitdb: bad command line; see kitdb --help\n");
  return kUsageError;
}

}  // namespace kitdb
