#include "tools/spool/tell.h"

#include <algorithm>
#include <string>

#include "env/language.h"
#include "platform/console/console.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/cp850.h"

namespace spool {

void TellAndWait(std::string_view text) {
  const std::string message =
      std::string(text) + ". " + env::TranslateText(util::Cp850("PREMEU UNA TECLA PER SORTIR"));
  const bool panel = ui::ShowMessagePanel(12, message);
  if (!panel) {
    const size_t width = static_cast<size_t>(ui::ScreenColumns() - 2);
    int16_t row = 10;
    ui::SetColour("n");
    std::string_view rest = message;
    while (!rest.empty() && row <= ui::ScreenRows()) {
      // Lines end at a blank where one falls inside the width.
      size_t cut = std::min(width, rest.size());
      const size_t blank = rest.substr(0, cut + 1).rfind(' ');
      if (cut < rest.size() && blank != std::string_view::npos && blank > 0) cut = blank;
      ui::PrintAt(row++, 2, rest.substr(0, cut));
      rest.remove_prefix(cut);
      while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    }
  }
  platform::console::Beep();
  ui::FlushKeyboard();
  int16_t key = 0;
  ui::WaitKey(key);
  if (panel) ui::CloseWindow();
}

}  // namespace spool
