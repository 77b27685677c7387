// The facts of env/ that belong to the whole run rather than to one load of
// the session's settings. Internal to env/.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "env/installation.h"

namespace env::internal {

inline constexpr int16_t kInstallationNumberAbsent = 255;

// Before loading: texts of blanks, numbers absent.
struct Installation {
  Installation() {
    texts.fill(std::string(kInstallationTextLength, ' '));
    numbers.fill(kInstallationNumberAbsent);
  }
  std::array<std::string, kInstallationTexts> texts;
  std::array<int16_t, kInstallationNumbers> numbers;
};

struct RunFacts {
  std::string program_id;            // set once at start-up, names the language file
  bool installation_loaded = false;  // the first load of the run reads the data
  Installation installation;
};

// Process-wide: one program runs per process, and its installation data is
// read once per run, however often the session's settings are loaded again.
// ResetSession puts it back as at start-up.
extern RunFacts run_facts;

}  // namespace env::internal
