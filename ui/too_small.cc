// The console's too-small message in the operator's language.
#include <string>

#include "env/language.h"
#include "platform/console/console.h"
#include "ui/screen.h"
#include "util/cp850.h"

namespace ui {

void InstallTooSmallMessage() {
  platform::console::SetTooSmallText([](int need_columns, int need_rows, int columns, int rows) {
    auto size = [](int c, int r) { return std::to_string(c) + " x " + std::to_string(r); };
    return env::TranslateText(util::Cp850("La finestra del terminal és massa petita: el programa necessita")) +
           " " + size(need_columns, need_rows) + " " +
           env::TranslateText(util::Cp850("caràcters i ara en té")) + " " + size(columns, rows) +
           ". " + env::TranslateText(util::Cp850("Feu-la més gran."));
  });
}

}  // namespace ui
