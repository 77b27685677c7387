// The currency letters amounts are shown in, chosen at start-up and by the
// reports that show pesetas.
#include <string>
#include <string_view>

#include "util/basics.h"
#include "util/numbers.h"

namespace util {


namespace {

std::string CurrencyLetter(std::string_view text) {
  std::string_view trimmed = Trim(text);
  if (trimmed.empty()) return std::string();
  return std::string(1, UpperCaseChar(trimmed[0]));
}

bool StartsWith(std::string_view text, char upper) {
  return !text.empty() && UpperCaseChar(text[0]) == upper;
}

}  // namespace

void SelectCurrency(std::string_view selection) {
  size_t comma = selection.find(',');
  if (comma != std::string_view::npos) {
    std::string letter = CurrencyLetter(selection.substr(comma + 1));
    if (StartsWith(selection, 'A')) {
      number_format.MainCurrency = letter;
      number_format.DisplayCurrency = number_format.MainCurrency;
    } else {
      number_format.AltCurrency = letter;
    }
  } else if (StartsWith(selection, 'P')) {
    number_format.DisplayCurrency =
        number_format.AltCurrency.empty() ? number_format.MainCurrency : number_format.AltCurrency;
  } else {
    number_format.DisplayCurrency = number_format.MainCurrency;
  }
}

std::string CurrencyFor(std::string_view selection) {
  if (StartsWith(Trim(selection), 'A')) return number_format.MainCurrency;
  return number_format.AltCurrency.empty() ? number_format.MainCurrency : number_format.AltCurrency;
}

}  // namespace util
