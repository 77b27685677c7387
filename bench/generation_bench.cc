// The Cuaderno 19.14 generation over 100,000 receipts in 100 remittances of
// 3 creditor suffixes, against a floor measured in the same run: the same
// rows deleted from a copy of TrasBanc through SQLite itself, one
// transaction per suffix, and the same bytes written to files flushed to
// the disk, without the program's layers (record layer, lock tables,
// record builders). Target: at most 1.3 times the floor. Then the same
// generation with the record files on the PostgreSQL server QDEB_TEST_PG
// names (in a database of its own, dropped at the end), against the SQLite
// generation's time of the same run: target at most 3 times. The absolute
// times are printed with the machine's load averages, as they depend on it.
// Runs in the current directory (bench/run gives it a fresh one).
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "db/records.h"
#include "db/server.h"
#include "env/installation.h"
#include "env/session.h"
#include "platform/fs/paths.h"
#include "platform/recman/server.h"
#include "remit/test_helpers/recording_operator.h"
#include "remit/generation.h"
#include "remit/test_helpers/receipt_fixture.h"
#include "util/dates.h"

namespace {

namespace fsys = std::filesystem;
using remit::testing::Shape;

constexpr Shape kShape{100000, 100, 3};
constexpr double kTargetRatio = 1.3;
constexpr double kServerTargetRatio = 3.0;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
    std::fclose(f);
  }
  return bytes;
}

bool Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK) return true;
  std::printf("sqlite: %s\n", error ? error : "?");
  sqlite3_free(error);
  return false;
}

// The floor: per suffix, one transaction that walks key 1 of each
// remittance of the suffix and deletes every row, and one file written in
// runs and flushed, holding the bytes the generation wrote for it.
double Floor(const std::string& db_path, const std::vector<std::string>& files, int64_t* deleted) {
  sqlite3* db = nullptr;
  if (sqlite3_open(db_path.c_str(), &db) != SQLITE_OK) return -1;
  Exec(db, "PRAGMA synchronous=FULL");
  Exec(db, "PRAGMA cache_size=-16384");
  sqlite3_stmt* scan = nullptr;
  sqlite3_stmt* remove = nullptr;
  sqlite3_prepare_v2(db, "SELECT id, data FROM rec WHERE k1 >= ?1 AND k1 < ?2 ORDER BY k1", -1,
                     &scan, nullptr);
  sqlite3_prepare_v2(db, "DELETE FROM rec WHERE id = ?1", -1, &remove, nullptr);
  const double start = Now();
  *deleted = 0;
  for (int suffix = 0; suffix < kShape.suffixes; ++suffix) {
    Exec(db, "BEGIN IMMEDIATE");
    std::string out;
    for (int i = 1; i <= kShape.remittances; ++i) {
      if (i % kShape.suffixes != suffix) continue;
      const std::string low = remit::testing::BulkRemittance(kShape, i).Record().substr(0, 1);
      const std::string from = std::string(1, i / 100 == 1 ? 'C' : 'B') + low;
      std::string to = from;
      to.back() = static_cast<char>(to.back() + 1);
      sqlite3_bind_blob(scan, 1, from.data(), static_cast<int>(from.size()), SQLITE_STATIC);
      sqlite3_bind_blob(scan, 2, to.data(), static_cast<int>(to.size()), SQLITE_STATIC);
      std::vector<int64_t> ids;
      while (sqlite3_step(scan) == SQLITE_ROW) ids.push_back(sqlite3_column_int64(scan, 0));
      sqlite3_reset(scan);
      for (int64_t id : ids) {
        sqlite3_bind_int64(remove, 1, id);
        sqlite3_step(remove);
        sqlite3_reset(remove);
        ++*deleted;
      }
    }
    // The bytes of the suffix's file, written in the generation's runs.
    const std::string bytes = suffix < static_cast<int>(files.size()) ? ReadFile(files[static_cast<size_t>(suffix)]) : "";
    const std::string path = "floor" + std::to_string(suffix) + ".E19";
    FILE* f = std::fopen(path.c_str(), "wb");
    for (size_t at = 0; at < bytes.size(); at += 256 * 1024) {
      std::fwrite(bytes.data() + at, 1, std::min<size_t>(256 * 1024, bytes.size() - at), f);
    }
    std::fflush(f);
    fsync(fileno(f));
    std::fclose(f);
    Exec(db, "COMMIT");
  }
  const double spent = Now() - start;
  sqlite3_finalize(scan);
  sqlite3_finalize(remove);
  sqlite3_close(db);
  return spent;
}

// An installation root under here/NAME with the dictionaries and the
// presenter's data, and a work directory beside it, made the session's;
// record files on server when it is not empty.
void UseRoot(const std::string& here, const std::string& name, const std::string& server) {
  const std::string root = here + "/" + name;
  fsys::create_directories(root + "/ddf");
  fsys::create_directories(root + "/DADES");
  fsys::create_directories(root + "-work");
  for (const char* file : {"TrasBanc.xdf", "TRemeses.xdf", "TGenerat.xdf"}) {
    fsys::copy_file(std::string(QDEB_SOURCE_DIR) + "/install/ddf/" + file, root + "/ddf/" + file,
                    fsys::copy_options::overwrite_existing);
  }
  std::ofstream(root + "/Vela.ini") << "[Installacio]\r\nDada1=OFICINA DE COBRAMENTS\r\n"
                                       "Dada7=B12345678\r\n";
  env::session.RootDir = platform::fs::ProgramPath(root + "/");
  env::session.WorkDir = platform::fs::ProgramPath(root + "-work/");
  env::session.DatabaseServer = server;
  db::UseSessionServer();
  env::LoadInstallationData();
}

// The bulk receipts made in the session's root; the time it took, or < 0.
double Fill() {
  static std::string trasbanc;
  static std::string remeses;
  const double start = Now();
  if (remit::testing::OpenGenerationFiles(&trasbanc, &remeses) != 0 ||
      remit::testing::InsertBulk(kShape) != 0) {
    std::printf("the receipts could not be made\n");
    return -1;
  }
  return Now() - start;
}

remit::GenerationReport Generate(double* spent) {
  remit::GenerationRequest request;
  request.collection_date = util::PackDigits("20260115");
  request.range_from = util::PackDigits("0001");
  request.range_to = util::PackDigits("0100");
  request.return_menu = env::session.MenuName;
  remit::testing::RecordingOperator op;
  const double start = Now();
  remit::GenerationReport result = remit::GenerateCuaderno19(request, op);
  *spent = Now() - start;
  return result;
}

bool Command(PGconn* db, const std::string& sql) {
  PGresult* r = PQexec(db, sql.c_str());
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  if (!ok) std::printf("server: %s", PQerrorMessage(db));
  PQclear(r);
  return ok;
}

// The same generation with the record files on the server, in a database
// made for it; its time against the SQLite generation's.
void OnServer(const std::string& here, double sqlite_spent) {
  const char* conninfo = std::getenv("QDEB_TEST_PG");
  if (conninfo == nullptr || *conninfo == '\0') {
    std::printf("on the server: not measured, QDEB_TEST_PG is empty (bench/run starts a server)\n");
    return;
  }
  PGconn* admin = PQconnectdb(conninfo);
  const std::string database = "qdeb_genbench_" + std::to_string(getpid());
  if (PQstatus(admin) != CONNECTION_OK || !Command(admin, "CREATE DATABASE " + database)) {
    std::printf("on the server: not measured, %s", PQerrorMessage(admin));
    PQfinish(admin);
    return;
  }
  int16_t status = 0;
  db::CloseAllRecordFiles(status);
  // libpq takes the last of a repeated keyword.
  UseRoot(here, "pgroot", std::string(conninfo) + " dbname=" + database);
  const double fill = Fill();
  if (fill >= 0) {
    double spent = 0;
    const remit::GenerationReport result = Generate(&spent);
    std::printf("fill on the server: %d receipts in %.2f s\n", kShape.receipts, fill);
    std::printf("generation on the server: %lld receipts in %zu files in %.2f s, %.0f receipts/s%s\n",
                static_cast<long long>(result.receipts), result.files.size(), spent,
                static_cast<double>(result.receipts) / spent,
                result.receipts == kShape.receipts ? "" : " RECEIPTS MISSING");
    if (result.receipts != kShape.receipts) {
      // Why: what the operator was told, and the server's last words.
      for (const std::string& told : result.messages) std::printf("  told: %s\n", told.c_str());
      std::printf("  the server's last error: %s\n", platform::recman::LastServerError().c_str());
    }
    std::printf("server against SQLite's %.2f s: ratio %.2f (target <= %.1f) %s\n", sqlite_spent,
                spent / sqlite_spent, kServerTargetRatio, spent / sqlite_spent <= kServerTargetRatio ? "ok" : "OVER");
  }
  db::CloseAllRecordFiles(status);
  Command(admin, "DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
  PQfinish(admin);
}

}  // namespace

int main() {
  const std::string here = fsys::current_path().string();
  UseRoot(here, "root", "");
  const double fill = Fill();
  if (fill < 0) return 1;
  // The floor's copy, taken before the generation empties TrasBanc.
  {
    sqlite3* db = nullptr;
    sqlite3_open((here + "/root/DADES/TrasBanc.dat").c_str(), &db);
    Exec(db, ("VACUUM INTO '" + here + "/floor.db'").c_str());
    sqlite3_close(db);
  }

  double spent = 0;
  const remit::GenerationReport result = Generate(&spent);
  std::vector<std::string> hosts;
  for (const std::string& file : result.files) hosts.push_back(platform::fs::HostPath(file));

  int64_t deleted = 0;
  const double floor = Floor(here + "/floor.db", hosts, &deleted);
  std::printf("fill: %d receipts inserted through the record layer in %.2f s\n", kShape.receipts, fill);
  std::printf("generation: %lld receipts in %zu files in %.2f s, %.0f receipts/s%s\n",
              static_cast<long long>(result.receipts), result.files.size(), spent,
              static_cast<double>(result.receipts) / spent,
              result.receipts == kShape.receipts ? "" : " RECEIPTS MISSING");
  std::printf("floor (SQLite and plain writes): %lld rows in %.2f s; ratio %.2f (target <= %.1f)\n",
              static_cast<long long>(deleted), floor, spent / floor, kTargetRatio);
  OnServer(here, spent);
  std::string load;
  std::getline(std::ifstream("/proc/loadavg"), load);
  std::printf("load averages (1, 5, 15 min, runnable/all): %s\n", load.c_str());
  return 0;
}
