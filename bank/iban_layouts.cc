#include <algorithm>

#include "bank/iban.h"

namespace bank {

const std::array<IbanLayout, 35> IbanLayoutTable = {{
    {"AT", "05n11n"},       {"BE", "03n07n02n"},    {"BG", "04a04n02n08x"},
    {"CH", "05n12x"},       {"CY", "03n05n16x"},    {"CZ", "04n06n10n"},
    {"DE", "08n10n"},       {"DK", "04n09n01n"},    {"EE", "02n14n"},
    {"ES", "04n04n02n10n"}, {"FI", "06n07n01n"},    {"FR", "05n05n11x02n"},
    {"GB", "04a06n08n"},    {"GI", "04a15x"},       {"GR", "03n04n16x"},
    {"HR", "07n10n"},       {"HU", "03n04n01n15n01n"}, {"IE", "04a06n08n"},
    {"IS", "04n02n06n10n"}, {"IT", "01a05n05n12x"}, {"LI", "05n12x"},
    {"LT", "05n11n"},       {"LU", "03n13x"},       {"LV", "04a13x"},
    {"MC", "05n05n11x02n"}, {"MT", "04a05n18x"},    {"NL", "04a10n"},
    {"NO", "04n06n01n"},    {"PL", "08n16n"},       {"PT", "04n04n11n02n"},
    {"RO", "04a16x"},       {"SE", "03n16n01n"},    {"SI", "05n08n02n"},
    {"SK", "04n06n10n"},    {"SM", "01a05n05n12x"},
}};

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool OfType(char c, char type) {
  switch (type) {
    case 'n':
      return IsDigit(c);
    case 'a':
      return IsLetter(c);
    default:
      return IsDigit(c) || IsLetter(c);
  }
}

int GroupCount(std::string_view group) { return (group[0] - '0') * 10 + (group[1] - '0'); }

}  // namespace

const IbanLayout* FindIbanLayout(std::string_view country) {
  auto it = std::find_if(IbanLayoutTable.begin(), IbanLayoutTable.end(),
                         [&](const IbanLayout& layout) { return layout.country == country; });
  return it == IbanLayoutTable.end() ? nullptr : &*it;
}

int LayoutLength(std::string_view layout) {
  int length = 0;
  for (size_t g = 0; g + 3 <= layout.size(); g += 3) length += GroupCount(layout.substr(g, 3));
  return length;
}

bool MatchesLayout(std::string_view layout, std::string_view bban) {
  size_t p = 0;
  for (size_t g = 0; g + 3 <= layout.size(); g += 3) {
    int count = GroupCount(layout.substr(g, 3));
    char type = layout[g + 2];
    for (int i = 0; i < count; ++i, ++p) {
      if (p >= bban.size() || !OfType(bban[p], type)) return false;
    }
  }
  return p == bban.size();
}

}  // namespace bank
