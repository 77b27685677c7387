// The verification of a CSB 19 remittance of 100,000 records held as a
// backup set of twelve 1.44 MB volumes, read on the headless console, with
// its report spooled. Target: under 0.3 seconds. Runs in the current
// directory (bench/run gives it a fresh one).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "env/session.h"
#include "forms/print_spool.h"
#include "platform/console/console.h"
#include "remit/test_helpers/recording_operator.h"
#include "remit/verification.h"

namespace {

std::string Record(const std::string& code, int position, const std::string& field) {
  std::string record(162, ' ');
  record.replace(0, code.size(), code);
  record.replace(static_cast<size_t>(position - 1), field.size(), field);
  return record + "\r\n";
}

std::string Digits(long long value, int width) {
  std::string text = std::to_string(value);
  return std::string(static_cast<size_t>(width) - text.size(), '0') + text;
}

// 5180, 100 parties of 5380, 998 receipts and 5880, 5980: 100,002 records.
std::string Remittance() {
  std::string set = Record("5180", 17, "011226");
  long long total = 0;
  for (int p = 0; p < 100; ++p) {
    set += Record("5380", 5, "B12345678" + Digits(p, 3));
    for (int r = 0; r < 998; ++r) set += Record("5680", 89, Digits(1000 + r, 10));
    const long long sum = 998LL * 1000 + 998LL * 997 / 2;
    total += sum;
    set += Record("5880", 89, Digits(sum, 10) + "      " + Digits(998, 10) + Digits(1000, 10));
  }
  return set + Record("5980", 69, "0100" + std::string(16, ' ') + Digits(total, 10) + "      " +
                                      Digits(99800, 10) + Digits(100002, 10));
}

}  // namespace

int main() {
  namespace fsys = std::filesystem;
  const std::string here = fsys::current_path().string();
  fsys::create_directories(here + "/a");
  const std::string set = Remittance();
  const size_t volume = 1457664;
  int volumes = 0;
  for (size_t from = 0; from < set.size(); from += volume) {
    std::ofstream(here + "/a/BACKUP." + Digits(++volumes, 3), std::ios::binary)
        << set.substr(from, volume);
  }
  setenv("KITDRIVES", ("C=/;A=" + here + "/a:removable").c_str(), 1);
  env::session.WorkDir = "C:" + here + "/";
  std::string script;
  for (int v = 0; v < volumes; ++v) script += "Enter\n";
  std::string error;
  if (!platform::console::OpenHeadless(script, 80, 25, &error)) {
    std::fprintf(stderr, "headless console: %s\n", error.c_str());
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  if (!ui::forms::OpenPrintSpool("P").ok()) return 1;
  remit::testing::RecordingOperator op(std::deque<bool>(static_cast<size_t>(volumes), true));
  const remit::VerificationEnd end = remit::VerifyReceiptDiskette({.drive = "A:"}, op).end;
  static_cast<void>(ui::forms::ClosePrintSpool());  // the timing is what is measured
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::ifstream spool(here + "/kitprint.tmp", std::ios::binary);
  std::ostringstream read;
  read << spool.rdbuf();
  const std::string report = read.str();
  const bool clean = end == remit::VerificationEnd::kRead &&
                     report.find("error") == std::string::npos &&
                     report.find("100.002") != std::string::npos;
  std::printf("verification of %zu records on %d volumes: %.3f s (target: under 0.3 s)%s\n",
              set.size() / 164, volumes, seconds,
              clean ? "" : "  [THE REPORT IS WRONG]");
  return clean ? 0 : 1;
}
