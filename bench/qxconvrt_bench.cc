// The converter over a Cuaderno 19.14 file of 100,000 debits in 10 creditor
// blocks, as pain.008.001.08: the file read twice record by record, the
// message written through libxml2's writer and held to the banks' usage
// rules (its id kept in a record of ids), then once more with the check
// against the schema of its version. Each conversion runs in a child
// process, so that its peak memory is its own. Targets: under 1.5 s and
// under 50 MB each.
// Runs in the current directory (bench/run gives it a fresh one).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/fs/paths.h"
#include "remit/c19_records.h"
#include "remit/sepa_conversion.h"

namespace {

constexpr int kDebits = 100000;
constexpr int kBlocks = 10;
constexpr double kTargetSeconds = 1.5;
constexpr double kTargetMegabytes = 50.0;

constexpr char kCreditorId[] = "ES07000B60000003";
constexpr char kCreditorIban[] = "ES9121000418450200051332";
constexpr char kDebtorIban[] = "ES8700491500070004711001";

// The file written record by record, as the generation writes it.
void WriteFixture(const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  auto put = [&](const std::string& record) { out << record << "\r\n"; };
  put(remit::Record01({"ES97000B12345678", "OFICINA DE COBRAMENTS", "20261208", "12345678000", '4',
                       "2100", "0418"}));
  int64_t lines = 1, total = 0;
  for (int b = 0; b < kBlocks; ++b) {
    put(remit::Record02({kCreditorId, "20261215", "CLUB ESPORTIU SANT FELIU", kCreditorIban}));
    int64_t block_total = 0;
    const int per_block = kDebits / kBlocks;
    for (int i = 0; i < per_block; ++i) {
      const std::string code = std::to_string(100000000000 + b * per_block + i).substr(0, 12);
      const int64_t cents = 100 + (i % 1000) * 37;
      put(remit::Record03({code + "R" + code.substr(4), code, cents, "JOAN GARCIA I PUJOL",
                           kDebtorIban, "QUOTA DE SOCI - FEBRER, NUM " + code}));
      block_total += cents;
    }
    put(remit::Record04(kCreditorId, "20261215", block_total, per_block, per_block + 2));
    put(remit::Record05(kCreditorId, block_total, per_block, per_block + 3));
    lines += per_block + 3;
    total += block_total;
  }
  put(remit::Record99(total, kDebits, lines + 1));
}

struct Run {
  bool ok = false;
  double seconds = 0;
  double megabytes = 0;
  double cpu_seconds = 0;  // user and system: what a shared machine's load leaves alone
};

// One conversion in a child process: its time and its peak memory.
Run Convert(const std::string& path, const remit::ConversionSettings& settings) {
  Run run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const remit::ConversionReport report = remit::ConvertToSepaXml({path, settings, "2026-12-08T10:00:00", {}});
    if (report.status != remit::ConversionStatus::kConverted) {
      std::printf("conversion failed at record %lld: %s\n", static_cast<long long>(report.record),
                  report.reason.c_str());
    }
    _exit(report.status == remit::ConversionStatus::kConverted &&
                  (settings.schema_folder.empty() || report.checked)
              ? 0
              : 1);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.megabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  run.cpu_seconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

void Print(const char* what, const Run& run) {
  std::printf("%-34s %6.2f s (target < %.1f s, cpu %.2f s)  peak %6.1f MB (target < %.0f MB)  %s\n",
              what, run.seconds, kTargetSeconds, run.cpu_seconds, run.megabytes, kTargetMegabytes,
              run.ok && run.seconds < kTargetSeconds && run.megabytes < kTargetMegabytes ? "ok"
                                                                                          : "MISSED");
}

}  // namespace

int main() {
  const std::string path = std::filesystem::absolute("BENCH.E19").string();
  WriteFixture(path);
  std::printf("%d debits in %d creditor blocks, %.1f MB of records\n", kDebits, kBlocks,
              static_cast<double>(std::filesystem::file_size(path)) / 1e6);
  remit::ConversionSettings settings;
  settings.version_4 = "pain.008.001.08";
  settings.id_record = platform::fs::ProgramPath(std::filesystem::absolute("QXCONVRT.IDS").string());
  const Run plain = Convert(path, settings);
  Print("convert, no schema check", plain);
  std::printf("message: %.1f MB\n",
              static_cast<double>(std::filesystem::file_size(remit::XmlPathFor(path))) / 1e6);
  const std::string schemas = std::filesystem::absolute("schemas").string() + "/";
  const std::string fetch = "bash " QDEB_SOURCE_DIR "/scripts/fetch-sepa-schemas " + schemas;
  if (std::system(fetch.c_str()) != 0 || !std::filesystem::exists(schemas + "pain.008.001.08.xsd")) {
    std::printf("the schema of pain.008.001.08 cannot be had; the check is not measured\n");
    return plain.ok ? 0 : 1;
  }
  settings.schema_folder = schemas;
  const Run checked = Convert(path, settings);
  Print("convert and check with the schema", checked);
  return plain.ok && checked.ok ? 0 : 1;
}
