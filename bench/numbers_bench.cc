// How fast amounts, record fields and dates are formatted. A verification
// report or a generated remittance formats a few amounts and dates per
// receipt; a remittance of 100,000 receipts must not wait on them.
// Target: each operation at least 1,000,000 calls a second.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "util/dates.h"
#include "util/numbers.h"

namespace {

constexpr int kCalls = 1'000'000;
constexpr double kTargetPerSecond = 1'000'000;

bool Measure(const char* name, const std::function<size_t(int)>& call) {
  size_t sink = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kCalls; ++i) sink += call(i);
  const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  const double per_second = kCalls / spent.count();
  const bool ok = per_second >= kTargetPerSecond;
  std::printf("%-34s %12.0f calls/s  target %.0f  %s  (%zu)\n", name, per_second, kTargetPerSecond,
              ok ? "OK" : "SLOW", sink);
  return ok;
}

}  // namespace

int main() {
  util::number_format.DecimalChar = '\'';
  util::number_format.ThousandsChar = '.';
  util::SelectCurrency("a,E");
  const std::string date = util::PackDigits("20240131");
  bool ok = true;
  ok &= Measure("FormatAmount Z,ZZZ,ZZZ,ZZ9", [](int i) {
    return util::FormatAmount("Z,ZZZ,ZZZ,ZZ9", i * 37.0).size();
  });
  ok &= Measure("FormatNumber ZZZ,ZZ9.99-", [](int i) {
    return util::FormatNumber("ZZZ,ZZ9.99-", i * -0.37).size();
  });
  ok &= Measure("FormatField 9.2V", [](int i) { return util::FormatField(i * 0.01, "9.2V").size(); });
  ok &= Measure("ZeroPad 8", [](int i) { return util::ZeroPad(i, 8).size(); });
  ok &= Measure("DateAdd days", [&](int i) { return util::DateAdd(date, i % 4000, "D").size(); });
  ok &= Measure("DateDiff days", [&](int i) {
    return static_cast<size_t>(util::DateDiff(date, util::PackDate(1900 + i % 200, 1 + i % 12, 1), "D"));
  });
  ok &= Measure("Weekday", [&](int i) {
    return static_cast<size_t>(util::Weekday(util::PackDate(1900 + i % 200, 1 + i % 12, 1 + i % 28)));
  });
  return ok ? 0 : 1;
}
