// The generation as a program of its own, for the tests that kill it, run
// two of it at once or starve it of disk. The installation comes from the
// environment (KITROOT, KITTMP ...) as for the program; there is no screen,
// so no panel waits. With a database server in the session the record files
// under the root are on it, as for the program.
//
//   generate_driver fill RECEIPTS REMITTANCES SUFFIXES
//       creates TrasBanc and TRemeses and fills them with the bulk fixture
//   generate_driver recover
//       settles what an interrupted generation left
//   generate_driver generate FROM TO
//       recovery, then the generation of remittances FROM..TO; prints each
//       file made and each message, then "receipts N"
//   generate_driver check RECEIPTS REMITTANCES SUFFIXES
//       every receipt of the bulk fixture is either in TrasBanc or in
//       exactly one 03 record of the ".E19" files, never both, never
//       neither; no temporary file or journal is left; every file is whole and its
//       totals are those of its 03 records. Prints "in-trasbanc N
//       in-files M files F" and exits 1 on any fault, naming it.
//   generate_driver listed
//       every ".E19" file is in the work list exactly once and no marker
//       of a committed group is left; exits 1 naming the first fault.
//
// With REMIT_KILL_AT=STEP:N in the environment, the process kills itself
// with SIGKILL the N-th time the generation reaches STEP ("created",
// "sealed", "committed", "renamed", "published", "listed").
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "db/records.h"
#include "db/server.h"
#include "env/session.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "remit/c19_records.h"
#include "remit/test_helpers/recording_operator.h"
#include "remit/generation.h"
#include "remit/journal.h"
#include "remit/layouts.h"
#include "remit/marker.h"
#include "remit/work_list.h"
#include "env/ini.h"
#include "remit/settings.h"
#include "remit/test_helpers/receipt_fixture.h"
#include "util/dates.h"
#include "util/numbers.h"

namespace {

namespace fs = platform::fs;
using remit::testing::Shape;

std::string trasbanc;
std::string remeses;

int Fault(const std::string& what) {
  std::printf("FAULT %s\n", what.c_str());
  return 1;
}

// The step of REMIT_KILL_AT ("committed" or "committed:2") at which the
// process kills itself; nothing without it.
std::function<void(std::string_view)> KillStep() {
  const char* at = std::getenv("REMIT_KILL_AT");
  if (at == nullptr) return {};
  const std::string kill_at = at;
  const size_t colon = kill_at.find(':');
  const std::string step = kill_at.substr(0, colon);
  const int count = colon == std::string::npos ? 1 : std::atoi(kill_at.c_str() + colon + 1);
  return [step, count, seen = 0](std::string_view reached) mutable {
    if (reached == step && ++seen == count) kill(getpid(), SIGKILL);
  };
}

Shape ShapeOf(char** argv) {
  return Shape{std::atoi(argv[0]), std::atoi(argv[1]), std::atoi(argv[2])};
}

// The receipts still in TrasBanc, by key 0.
std::set<std::string> ReceiptsLeft() {
  std::set<std::string> keys;
  int16_t status = 0;
  db::GetByKey(remit::kTrasBancFile, 0, std::string(), 1, status);
  while (status == 0) {
    keys.insert(remit::ReceiptKey0(remit::ReadReceipt(trasbanc)));
    db::MoveRecords(remit::kTrasBancFile, 1, status);
  }
  return keys;
}

// Checks one file's structure and totals; adds its debit references.
int CheckFile(const std::string& name, const std::string& bytes,
              std::map<std::string, int>& references) {
  int64_t debits = 0;
  if (!remit::WholeFile(bytes, &debits)) return Fault(name + " is not a whole file");
  const size_t records = bytes.size() / remit::kRecordLineLength;
  int64_t total = 0;
  int64_t block_total = 0;
  int64_t block_debits = 0;
  int64_t counted = 0;
  for (size_t i = 0; i < records; ++i) {
    const std::string r = bytes.substr(i * remit::kRecordLineLength, remit::kRecordLength);
    const std::string code = r.substr(0, 2);
    if (code == "03") {
      const int64_t amount = std::atoll(r.substr(88, 11).c_str());
      total += amount;
      block_total += amount;
      ++block_debits;
      ++counted;
      ++references[r.substr(10, 35)];
    } else if (code == "04") {
      if (std::atoll(r.substr(45, 17).c_str()) != block_total ||
          std::atoll(r.substr(62, 8).c_str()) != block_debits) {
        return Fault(name + ": an 04 record's totals are not its block's");
      }
    } else if (code == "05") {
      block_total = 0;
      block_debits = 0;
    } else if (code == "99") {
      if (std::atoll(r.substr(2, 17).c_str()) != total || debits != counted ||
          std::atoll(r.substr(27, 10).c_str()) != static_cast<int64_t>(records)) {
        return Fault(name + ": the 99 record's totals are not the file's");
      }
    } else if (code != "01" && code != "02") {
      return Fault(name + ": a record of code " + code);
    }
  }
  return 0;
}

int Check(const Shape& shape) {
  const std::string directory = fs::HostPath(remit::OutputDirectory());
  std::vector<fs::DirEntry> entries;
  fs::ListDirectory(directory, &entries);
  std::map<std::string, int> references;
  int files = 0;
  for (const fs::DirEntry& entry : entries) {
    if (entry.name.ends_with(".tmp") || entry.name.ends_with(".key")) {
      return Fault("a file of an unfinished group is left: " + entry.name);
    }
    if (!entry.name.ends_with(".E19")) continue;
    std::string bytes;
    fs::ReadWholeFile(directory + entry.name, &bytes);
    if (CheckFile(entry.name, bytes, references) != 0) return 1;
    ++files;
  }
  const std::set<std::string> left = ReceiptsLeft();
  int in_files = 0;
  for (int j = 0; j < shape.receipts; ++j) {
    const remit::Receipt r = remit::ReadReceipt(remit::testing::BulkReceipt(shape, j).Record());
    const std::string reference = remit::UnpackTrimmed(r.debtor_code) + r.kind + remit::UnpackTrimmed(r.number);
    std::string padded = reference;
    padded.resize(35, ' ');
    const int written = references.count(padded) ? references[padded] : 0;
    const bool kept = left.count(remit::testing::BulkReceiptKey(j)) != 0;
    if (written > 1) return Fault("receipt " + std::to_string(j) + " is in " + std::to_string(written) + " debits");
    if (written == 1 && kept) return Fault("receipt " + std::to_string(j) + " is both in a file and in TrasBanc");
    if (written == 0 && !kept) return Fault("receipt " + std::to_string(j) + " is lost");
    in_files += written;
  }
  std::printf("in-trasbanc %zu in-files %d files %d\n", left.size(), in_files, files);
  return 0;
}

int Listed() {
  const std::string directory = remit::OutputDirectory();
  std::vector<fs::DirEntry> entries;
  fs::ListDirectory(fs::HostPath(directory), &entries);
  const std::string list = env::session.WorkDir + "QXCONVRT.INI";
  std::map<std::string, int> listed;
  const int count = std::atoi(env::ReadIniValue(list, "Convertir", "Maxim").c_str());
  for (int k = 1; k <= count; ++k) ++listed[env::ReadIniValue(list, "Convertir", "Fitx" + std::to_string(k))];
  for (const fs::DirEntry& entry : entries) {
    if (!entry.name.ends_with(".E19")) continue;
    const int times = listed[directory + entry.name];
    if (times != 1) return Fault(entry.name + " is in the work list " + std::to_string(times) + " times");
  }
  std::vector<remit::Marker> markers;
  if (!remit::ReadMarkers(&markers)) return Fault("the markers cannot be read");
  if (!markers.empty()) return Fault("a marker is left: " + markers.front().name);
  std::printf("listed %d\n", count);
  return 0;
}

void Print(const remit::GenerationReport& result) {
  for (const std::string& file : result.files) std::printf("file %s\n", file.c_str());
  for (const std::string& text : result.messages) std::printf("message %s\n", text.c_str());
  std::printf("receipts %lld\n", static_cast<long long>(result.receipts));
}

std::string PackedRemittance(int number) {
  return util::PackDigits(util::ZeroPad(number, 4));
}

int Run(const std::string& mode, int argc, char** argv) {
  if (mode == "fill" && argc == 5) {
    if (remit::testing::OpenGenerationFiles(&trasbanc, &remeses) != 0) return Fault("cannot open");
    const int16_t status = remit::testing::InsertBulk(ShapeOf(argv + 2));
    return status == 0 ? 0 : Fault("insert status " + std::to_string(status));
  }
  if (remit::testing::OpenGenerationFiles(&trasbanc, &remeses) != 0) return Fault("cannot open");
  remit::testing::RecordingOperator op;
  if (mode == "recover") {
    Print(remit::RecoverInterruptedGeneration(
        {.return_menu = env::session.MenuName, .file_name = {}}, op));
    return 0;
  }
  if (mode == "generate" && argc == 4) {
    Print(remit::RecoverInterruptedGeneration(
        {.return_menu = env::session.MenuName, .file_name = {}}, op));
    remit::GenerationRequest request;
    request.collection_date = util::PackDigits("20260115");
    request.range_from = PackedRemittance(std::atoi(argv[2]));
    request.range_to = PackedRemittance(std::atoi(argv[3]));
    request.return_menu = "MENU1";
    request.step = KillStep();
    const remit::GenerationReport result = remit::GenerateCuaderno19(request, op);
    Print(result);
    return result.failed_groups == 0 ? 0 : 4;
  }
  if (mode == "check" && argc == 5) return Check(ShapeOf(argv + 2));
  if (mode == "listed") return Listed();
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  env::LoadSessionSettings();
  // With a server in the session (KITDB, Vela.ini), the files under the
  // root are its tables, as for the program.
  db::UseSessionServer();
  const int status = Run(argv[1], argc, argv);
  int16_t closed = 0;
  db::CloseAllRecordFiles(closed);
  return status;
}
