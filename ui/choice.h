// The options of a choice field, parsed from ui::keyboard.ChoiceList.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct ChoiceOption {
  std::string code;     // what the field's text holds
  std::string display;  // what the screen shows
};

// "|S,Si|N,No" gives {S, Si}, {N, No}; an option without "," shows its code.
std::vector<ChoiceOption> ParseChoiceList(std::string_view list);

// The index of the option whose code is text (trailing blanks aside), or 0.
size_t CurrentChoice(const std::vector<ChoiceOption>& options,
                     std::string_view text);

// The next option after current, going round once, whose display text
// starts with the letter of typed, both folded to plain capitals; current
// itself when none does.
size_t NextChoiceStartingWith(const std::vector<ChoiceOption>& options,
                              size_t current, char typed);

}  // namespace ui
