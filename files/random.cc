#include "files/random.h"

#include <random>

#include "files/run_state.h"
#include "platform/process/clock.h"

namespace files {

namespace {

std::minstd_rand& Generator() { return internal::files_run.generator; }

}  // namespace

void SeedFromClock() {
  SeedRandom(static_cast<unsigned>(platform::SecondsSinceMidnight() * 100));
}

void SeedRandom(unsigned seed) { Generator().seed(seed == 0 ? 1u : seed); }

double Rnd() {
  std::minstd_rand& generator = Generator();
  double value = static_cast<double>(generator() - std::minstd_rand::min()) /
                 (static_cast<double>(std::minstd_rand::max() - std::minstd_rand::min()) + 1.0);
  return value;
}

}  // namespace files
