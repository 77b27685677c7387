// The worker and the checker of tests/pg_kill_e2e.sh, through the record
// layer on a record file of the database server (KITROOT, KITDB).
//
//   pg_kill_driver work LOG WORKER   transactions for ever: inserts of new
//       records, deletes of the worker's own, a locked read of another
//       worker's record held for a moment; each transaction is written to
//       LOG ("T n +id -id ...") before its end and acknowledged ("C n")
//       once the end has returned 0.
//   pg_kill_driver check LOG...      the file holds every acknowledged
//       change, and nothing else (a last unacknowledged transaction of a
//       worker either whole or not at all); every record can be locked
//       within a second.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "db/records.h"
#include "db/server.h"
#include "env/session.h"

namespace {

constexpr int16_t kFile = 1;
constexpr size_t kIdWidth = 10;

std::string IdText(long id) {
  std::string text = std::to_string(id);
  return std::string(kIdWidth - text.size(), '0') + text;
}

int Open(std::string* record) {
  int16_t status = 0;
  db::OpenRecordFile(kFile, env::session.RootDir + "DADES\\KILL", record, status);
  if (status != 0) std::fprintf(stderr, "open: %s\n", db::CannotAccessMessage("DADES\\KILL", status).c_str());
  return status;
}

int Work(const std::string& log_path, long worker) {
  // The log first, so that a worker killed while it opens has one.
  const int log = ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (log < 0) return 1;
  std::string record;
  if (Open(&record) != 0) return 1;
  std::mt19937 random(static_cast<unsigned>(worker));
  std::vector<long> mine;
  long next = worker * 1000000;
  for (long n = 1;; ++n) {
    int16_t st = 0;
    db::BeginTransaction(st);
    if (st != 0) return std::fprintf(stderr, "begin %d\n", st), 1;
    std::string line = "T " + std::to_string(n);
    std::vector<long> inserted;
    for (int i = 0, count = 1 + static_cast<int>(random() % 3); i < count; ++i) {
      record = IdText(++next) + std::string(22, 'w');
      db::InsertRecord(kFile, st);
      if (st != 0) return std::fprintf(stderr, "insert %d\n", st), 1;
      line += " +" + std::to_string(next);
      inserted.push_back(next);
    }
    if (!mine.empty() && random() % 2 == 0) {
      const size_t at = random() % mine.size();
      db::GetByKey(kFile, 0, IdText(mine[at]), 0, st);
      if (st == 0) db::DeleteCurrent(kFile, st);
      // Another worker's locked read may hold it: then it stays.
      if (st != 0 && st != db::kRecordInUse) return std::fprintf(stderr, "delete %d\n", st), 1;
      if (st == 0) {
        line += " -" + std::to_string(mine[at]);
        mine.erase(mine.begin() + static_cast<long>(at));
      }
    }
    // A record of anyone, read with a lock held to the transaction's end.
    db::SetFileOptions(kFile, "B", st);
    db::GetByKey(kFile, 0, IdText(static_cast<long>(random() % 40) * 1000000), 1, st);
    db::SetFileOptions(kFile, "D", st);
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 8));
    line += "\n";
    if (::write(log, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 1;
    db::EndTransaction(st);
    if (st != 0) return std::fprintf(stderr, "end %d\n", st), 1;
    const std::string ack = "C " + std::to_string(n) + "\n";
    if (::write(log, ack.data(), ack.size()) != static_cast<ssize_t>(ack.size())) return 1;
    mine.insert(mine.end(), inserted.begin(), inserted.end());
  }
}

struct Change {
  std::set<long> added, removed;
};

// The records a worker's log says are there; *pending: its last
// transaction when it was not acknowledged.
std::set<long> Acknowledged(const std::string& path, Change* pending) {
  std::ifstream in(path);
  std::set<long> live;
  std::string line;
  Change open;
  bool have_open = false;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind, n;
    words >> kind >> n;
    if (kind == "T") {
      open = Change();
      have_open = true;
      std::string item;
      while (words >> item) (item[0] == '+' ? open.added : open.removed).insert(std::stol(item.substr(1)));
    } else if (kind == "C" && have_open) {
      for (long id : open.removed) live.erase(id);
      live.insert(open.added.begin(), open.added.end());
      have_open = false;
    }
  }
  *pending = have_open ? open : Change();
  return live;
}

int Check(const std::vector<std::string>& logs) {
  std::string record;
  const auto started = std::chrono::steady_clock::now();
  if (Open(&record) != 0) return 1;
  std::set<long> found;
  int16_t st = 0;
  db::GetByKey(kFile, 0, "", 1, st);
  while (st == 0) {
    found.insert(std::stol(record.substr(0, kIdWidth)));
    db::MoveRecords(kFile, 1, st);
  }
  if (st != platform::recman::kEndOfFile) return std::fprintf(stderr, "scan %d\n", st), 1;
  for (const std::string& log : logs) {
    Change pending;
    std::set<long> live = Acknowledged(log, &pending);
    const long worker = std::stol(log.substr(log.rfind('.') + 1));
    std::set<long> here;
    for (long id : found) {
      if (id / 1000000 == worker) here.insert(id);
    }
    std::set<long> with_pending = live;
    for (long id : pending.removed) with_pending.erase(id);
    with_pending.insert(pending.added.begin(), pending.added.end());
    if (here != live && here != with_pending) {
      std::fprintf(stderr, "%s: %zu records of worker %ld, the log acknowledges %zu (%zu with its last)\n",
                   log.c_str(), here.size(), worker, live.size(), with_pending.size());
      return 1;
    }
  }
  // Every record can be locked: the dead hold none, at the latest a second
  // after the check began.
  db::SetFileOptions(kFile, "B", st);
  for (long id : found) {
    for (;;) {
      db::GetByKey(kFile, 0, IdText(id), 0, st);
      if (st != db::kRecordInUse) break;
      if (std::chrono::steady_clock::now() - started > std::chrono::seconds(1)) {
        std::fprintf(stderr, "record %ld still locked a second after the kill\n", id);
        return 1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (st != 0) return std::fprintf(stderr, "lock %ld: %d\n", id, st), 1;
  }
  std::printf("ok %zu records\n", found.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  env::LoadSessionSettings();
  db::UseSessionServer();
  const std::vector<std::string> args(argv + 1, argv + argc);
  int rc = 2;
  if (args.size() == 3 && args[0] == "work") rc = Work(args[1], std::stol(args[2]));
  if (args.size() >= 1 && args[0] == "check") rc = Check({args.begin() + 1, args.end()});
  int16_t closed = 0;
  db::CloseAllRecordFiles(closed);
  return rc;
}
