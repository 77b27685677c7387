#include "ui/choice.h"

#include "util/basics.h"
#include "util/text.h"

namespace ui {

std::vector<ChoiceOption> ParseChoiceList(std::string_view list) {
  std::vector<ChoiceOption> options;
  size_t bar = list.find('|');
  while (bar != std::string_view::npos) {
    const size_t next = list.find('|', bar + 1);
    const std::string_view item = list.substr(
        bar + 1, next == std::string_view::npos ? std::string_view::npos : next - bar - 1);
    const size_t comma = item.find(',');
    ChoiceOption option;
    option.code = std::string(item.substr(0, comma));
    option.display = comma == std::string_view::npos
                         ? option.code
                         : std::string(item.substr(comma + 1));
    options.push_back(std::move(option));
    bar = next;
  }
  return options;
}

size_t CurrentChoice(const std::vector<ChoiceOption>& options,
                     std::string_view text) {
  const std::string_view wanted = util::TrimRight(text);
  for (size_t i = 0; i < options.size(); ++i) {
    if (util::TrimRight(options[i].code) == wanted) return i;
  }
  return 0;
}

size_t NextChoiceStartingWith(const std::vector<ChoiceOption>& options,
                              size_t current, char typed) {
  if (options.empty()) return current;
  util::text_state.FoldPlain = -1;
  const std::string letter = util::FoldText(std::string(1, typed));
  size_t found = current;
  for (size_t step = 1; step <= options.size(); ++step) {
    const size_t i = (current + step) % options.size();
    const std::string& display = options[i].display;
    if (!display.empty() && util::FoldText(display.substr(0, 1)) == letter) {
      found = i;
      break;
    }
  }
  util::text_state.FoldPlain = 0;
  return found;
}

}  // namespace ui
