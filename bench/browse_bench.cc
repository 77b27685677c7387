// Browse list figures: a list over a record file of 10,000 records opened
// and paged to its end with PgDn on the headless console, then once more
// paged to the end, back to the top and down to the end again. Prints the
// time of each and how often each record's line was made: every record
// must be read exactly once per list, however the operator pages.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "db/records.h"
#include "env/session.h"
#include "forms/browse_list.h"
#include "forms/forms.h"
#include "platform/console/console.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "platform/recman/keyspec.h"
#include "util/little_endian.h"

namespace console = platform::console;

namespace {

constexpr int kRecords = 10000;
constexpr int16_t kFile = 7;
constexpr int kRecordLength = 60;
constexpr int kRows = 20;  // the list's window: rows 3..22 inside the frame

std::string root;  // host path of the scratch root
std::string buffer;
std::vector<int> reads(kRecords + 1, 0);  // by record number

void Fail(const char* what) {
  std::fprintf(stderr, "browse_bench: %s\n", what);
  std::exit(1);
}

void MakeRoot() {
  char pattern[] = "/tmp/browse_bench_XXXXXX";
  if (mkdtemp(pattern) == nullptr) Fail("no scratch directory");
  root = pattern;
  const std::string& host = root;
  env::session.RootDir = platform::fs::ProgramPath(host) + "\\";
  env::session.WorkDir = env::session.RootDir;
  env::session.ColourTable = {{{15, 0}, {7, 0}, {0, 7}, {14, 1}, {0, 3}}};
  platform::fs::MakeDirectory(host + "/ddf");
  platform::recman::FileDefinition definition;
  definition.record_length = kRecordLength;
  definition.segments = {{1, 6, 0}};
  const std::string create = platform::recman::EncodeCreationBuffer(definition);
  const std::string dictionary = util::Le16(static_cast<uint16_t>(create.size())) + create;
  std::FILE* out = std::fopen((host + "/ddf/CODES.xdf").c_str(), "wb");
  if (out == nullptr || std::fwrite(dictionary.data(), 1, dictionary.size(), out) != dictionary.size()) {
    Fail("cannot write the dictionary");
  }
  std::fclose(out);
}

void FillFile() {
  int16_t status = -1;
  db::OpenRecordFile(kFile, env::session.RootDir + "CODES", &buffer, status);
  if (status != 0) Fail("cannot open the record file");
  db::BeginTransaction(status);
  for (int i = 1; i <= kRecords; ++i) {
    std::string code = std::to_string(1000000 + i).substr(1);
    buffer = code + " remittance " + std::to_string(i) + " of the bench, wider than the list";
    buffer.resize(kRecordLength, ' ');
    db::InsertRecord(kFile, status);
    if (status != 0) Fail("an insert failed");
  }
  db::EndTransaction(status);
}

std::string Keys(const char* key, int count) {
  std::string script;
  for (int i = 0; i < count; ++i) script += std::string(key) + "\n";
  return script;
}

// One list with the keys fed; the milliseconds it took.
double ShowWith(const std::string& script) {
  std::fill(reads.begin(), reads.end(), 0);
  // Any key the list does not use leaves it; an Escape typed ahead would
  // stop the reading.
  console::HeadlessFeed(script + "x\n");
  int16_t list = 1;
  const auto start = std::chrono::steady_clock::now();
  // The "x" leaves without a pick: the time to get there is what is measured.
  static_cast<void>(ui::forms::ShowList(list));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  return std::chrono::duration<double, std::milli>(elapsed).count();
}

// The records read once, more than once and never.
void Report(const char* what, double ms) {
  int once = 0, again = 0, never = 0;
  for (int i = 1; i <= kRecords; ++i) {
    if (reads[static_cast<size_t>(i)] == 1) ++once;
    if (reads[static_cast<size_t>(i)] > 1) ++again;
    if (reads[static_cast<size_t>(i)] == 0) ++never;
  }
  std::printf("%s: %.1f ms; records read once %d, more than once %d, never %d %s\n", what, ms,
              once, again, never, once == kRecords ? "ok" : "WRONG");
}

// The scratch root and what the run left in it.
void RemoveTree(const std::string& host_dir) {
  std::vector<platform::fs::DirEntry> entries;
  if (platform::fs::ListDirectory(host_dir, &entries)) {
    for (const auto& entry : entries) {
      const std::string path = host_dir + "/" + entry.name;
      if ((entry.attributes & platform::fs::kDirectory) != 0) {
        RemoveTree(path);
      } else {
        platform::fs::RemoveFile(path);
      }
    }
  }
  platform::fs::RemoveDirectory(host_dir);
}

}  // namespace

int main() {
  MakeRoot();
  console::OpenHeadless({}, 80, 25);
  FillFile();
  ui::forms::ListDefinition list;
  list.attributes = {kFile, 0, 2, 10, 2 + kRows + 1, 51, 0, 0};
  list.header = " _Remittances_";
  ui::forms::form_tables.Lists = {list};
  ui::forms::Hooks.list_line = [](int16_t) {
    reads[static_cast<size_t>(std::atoi(buffer.substr(0, 6).c_str()))] += 1;
    return buffer;
  };
  const int pages = kRecords / kRows + 1;
  Report("10,000 records paged to the end (PgDn)", ShowWith(Keys("PgDn", pages)));
  Report("to the end, back to the top (PgUp) and to the end again",
         ShowWith(Keys("PgDn", pages) + Keys("PgUp", pages) + Keys("PgDn", pages)));
  int16_t status = 0;
  db::CloseAllRecordFiles(status);
  console::Close();
  RemoveTree(root);
  return 0;
}
