#include "env/installation.h"

#include <algorithm>
#include <array>
#include <string>

#include "env/ini.h"
#include "env/reset.h"
#include "env/run_facts.h"
#include "env/session.h"
#include "util/basics.h"

namespace env {

namespace {

constexpr int16_t kNumberAbsent = internal::kInstallationNumberAbsent;
constexpr int16_t kNumberMax = 999;

using internal::Installation;

Installation& Data() { return internal::run_facts.installation; }

std::string FixedText(std::string text) {
  text.resize(kInstallationTextLength, ' ');
  return text;
}

// The presenter identifier keeps capitals, digits and blanks only and is
// "ES" + the tax number, in the item's fixed width.
std::string PresenterIdentifier(std::string item) {
  for (char& c : item) {
    bool kept = c == ' ' || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!kept) c = ' ';
  }
  return ("ES" + item).substr(0, item.size());
}

int16_t SmallNumber(const std::string& text) {
  if (text.empty()) return kNumberAbsent;
  int32_t value = util::NumericValue32(text);
  return static_cast<int16_t>(std::clamp<int32_t>(value, 0, kNumberMax));
}

}  // namespace

void LoadInstallationData() {
  // One reading of the file for all its items.
  const IniSnapshot file(session.RootDir + "Vela.ini");
  Installation& data = Data();
  for (int i = 0; i < kInstallationTexts; ++i) {
    data.texts[i] = FixedText(file.Value("Installacio", "Dada" + std::to_string(i + 1)));
  }
  data.texts[6] = PresenterIdentifier(data.texts[6]);
  for (int i = 0; i < kInstallationNumbers; ++i) {
    data.numbers[i] = SmallNumber(file.Value("Installacio", "Num" + std::to_string(i + 1)));
  }
}

const std::string& InstallationText(int n) {
  static const std::string kNone;
  if (n < 1 || n > kInstallationTexts) return kNone;
  return Data().texts[n - 1];
}

int16_t InstallationNumber(int n) {
  if (n < 1 || n > kInstallationNumbers) return kNumberAbsent;
  return Data().numbers[n - 1];
}

namespace internal {
void ForgetInstallationData() { Data() = Installation(); }
}  // namespace internal

}  // namespace env
