// Colour selection by role, with its own small stack of saved indexes.
#include <algorithm>
#include <string>

#include "env/session.h"
#include "platform/console/console.h"
#include "ui/screen.h"
#include "util/basics.h"

namespace ui {


uint8_t PairAttribute(int16_t index) {
  const auto& pair =
      env::session.ColourTable[static_cast<size_t>(std::clamp<int16_t>(index, 0, 4))];
  return static_cast<uint8_t>((pair.foreground & 0x0F) |
                              ((pair.background & 0x0F) << 4));
}

void SetColour(std::string& colour_code) {
  colour_code = util::UpperCase(colour_code);
  if (util::Trim(colour_code).empty()) return;
  if (colour_code.find('+') != std::string::npos) {
    window_stack.ColourStack += static_cast<char>(window_stack.ColourIndex);
  }
  int16_t index = 0;
  if (colour_code.find('-') != std::string::npos) {
    if (!window_stack.ColourStack.empty()) {
      index = static_cast<unsigned char>(window_stack.ColourStack.back());
      window_stack.ColourStack.pop_back();
    }
  } else if (colour_code.find('U') != std::string::npos) {
    index = 4;
  } else {
    if (colour_code.find('R') != std::string::npos) index = 2;
    if (colour_code.find('N') != std::string::npos) index += 1;
  }
  // A stack byte can only hold what was pushed, but keep the index a pair.
  index = std::clamp<int16_t>(index, 0, 4);
  platform::console::SetCurrentAttribute(PairAttribute(index));
  window_stack.ColourIndex = index;
}

void SetColour(std::string_view colour_code) {
  std::string copy(colour_code);
  SetColour(copy);
}

}  // namespace ui
