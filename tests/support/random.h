// The random source of the tests: a fixed seed, so that every run draws the
// same numbers, and every failure while the source lives names its seed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <source_location>
#include <string>

namespace qdeb::testing {

class Random {
 public:
  using result_type = uint32_t;

  explicit Random(uint32_t seed, std::source_location where = std::source_location::current())
      : trace_(where.file_name(), static_cast<int>(where.line()),
               "random numbers drawn with seed " + std::to_string(seed)),
        engine_(seed) {}
  Random(const Random&) = delete;
  Random& operator=(const Random&) = delete;

  // The next number of the Mersenne twister of that seed.
  result_type operator()() { return static_cast<result_type>(engine_()); }
  // A number below n (n > 0).
  result_type Below(result_type n) { return (*this)() % n; }

  static constexpr result_type min() { return std::mt19937::min(); }
  static constexpr result_type max() { return std::mt19937::max(); }

 private:
  ::testing::ScopedTrace trace_;
  std::mt19937 engine_;
};

}  // namespace qdeb::testing
