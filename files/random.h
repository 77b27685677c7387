// The classic random number generator of the file services: seeded from the
// clock, drawing numbers in [0, 1).
#pragma once

namespace files {

// Seeds with the seconds since midnight times 100.
void SeedFromClock();
void SeedRandom(unsigned seed);
double Rnd();

}  // namespace files
