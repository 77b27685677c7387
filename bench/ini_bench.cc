// Settings files: the look-up of the last key of a 30 KB file, and the
// rewrite of one key in a 100 KB and in a 1 MB file. The rewrite must cost
// time in proportion to the file's size: 1 MB / 100 KB should be about 10.
// Runs in the current directory (bench/run gives it a fresh one).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "env/ini.h"

namespace {

// A settings file of about `bytes` bytes: sections of ten entries with a
// blank line and a comment between sections; the last key is "last".
std::string SettingsText(size_t bytes) {
  std::string text;
  for (int section = 0; text.size() < bytes; ++section) {
    text += "[Section" + std::to_string(section) + "]\r\n";
    for (int key = 0; key < 10; ++key) {
      text += "Key" + std::to_string(key) + "=C:\\KIT\\DADES\\FILE" + std::to_string(key) +
              ".DAT ; where it lives\r\n";
    }
    text += "\r\n; next\r\n";
  }
  text += "[End]\r\nlast=found\r\n";
  return text;
}

void Put(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

// The best of five rounds of calls, so that other work on the machine
// weighs as little as possible.
template <typename Call>
double MicrosecondsPerCall(int calls, Call call) {
  double best = 0;
  for (int round = 0; round < 5; ++round) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) call(round * calls + i);
    std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    double per_call = spent.count() / calls;
    if (round == 0 || per_call < best) best = per_call;
  }
  return best;
}

// Rewrites a key in an early section, so the whole file is copied. The
// file is flushed to disk on every call, so the disk's latency is part of
// the figure.
double WriteMicroseconds(const std::string& name, size_t bytes, int calls) {
  Put(name, SettingsText(bytes));
  return MicrosecondsPerCall(calls, [&](int i) {
    if (!env::WriteIniValue(name, "Section5", "Key3", "value" + std::to_string(i)).ok()) std::abort();
  });
}

// The same rewrite in memory only: the part that grows with the size.
double RewriteMicroseconds(size_t bytes, int calls) {
  std::string text = SettingsText(bytes);
  size_t total = 0;
  double us = MicrosecondsPerCall(calls, [&](int i) {
    total += env::RewriteIniText(text, "Section5", "Key3", "value" + std::to_string(i)).size();
  });
  if (total * 2 < text.size() * calls) std::printf("RewriteIniText lost text\n");
  return us;
}

}  // namespace

int main() {
  Put("read30k.ini", SettingsText(30 * 1024));
  std::string value;
  double read_us = MicrosecondsPerCall(500, [&](int) {
    value = env::ReadIniValue("read30k.ini", "End", "last");
  });
  if (value != "found") {
    std::printf("ReadIniValue failed: \"%s\"\n", value.c_str());
    return 1;
  }
  double write_100k = WriteMicroseconds("write100k.ini", 100 * 1024, 20);
  double write_1m = WriteMicroseconds("write1m.ini", 1024 * 1024, 8);
  double rewrite_100k = RewriteMicroseconds(100 * 1024, 100);
  double rewrite_1m = RewriteMicroseconds(1024 * 1024, 20);
  if (env::ReadIniValue("write1m.ini", "Section5", "Key3") != "value39") {
    std::printf("WriteIniValue failed\n");
    return 1;
  }
  std::remove("read30k.ini");
  std::remove("write100k.ini");
  std::remove("write1m.ini");

  std::printf("ReadIniValue, last key of a 30 KB file:  %10.1f us per call\n", read_us);
  std::printf("WriteIniValue, one key of a 100 KB file: %10.1f us per call\n", write_100k);
  std::printf("WriteIniValue, one key of a 1 MB file:   %10.1f us per call\n", write_1m);
  std::printf("1 MB / 100 KB WriteIniValue: %.1f (the flush to disk is a fixed cost)\n",
              write_1m / write_100k);
  std::printf("rewrite in memory, 100 KB:               %10.1f us per call\n", rewrite_100k);
  std::printf("rewrite in memory, 1 MB:                 %10.1f us per call\n", rewrite_1m);
  std::printf("1 MB / 100 KB rewrite: %.1f (target: about 10, linear in the size)\n",
              rewrite_1m / rewrite_100k);
  return 0;
}
