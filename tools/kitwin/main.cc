// kitwin: a small demonstration of the window stack. It fills the screen with
// text, box-drawing characters and accented letters, then on keys opens two
// nested windows and a message panel and closes them again, so that a test
// (or a person) can see that the screen comes back exactly as it was.
//
// Keys: 1 opens the first window, 2 the second one inside it, m the message
// panel, c closes the innermost window, q or Esc ends.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "env/session.h"
#include "platform/console/console.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/cp850.h"

namespace {

void DrawBackground() {
  const std::string sample = util::Cp850("Núñez ÇÀ ╔═╗ àèéíòóú ─│┼ ");
  const int rows = ui::ScreenRows();
  const int columns = ui::ScreenColumns();
  for (int row = 1; row <= rows; ++row) {
    std::string line;
    for (int column = 0; column < columns; ++column) {
      line += sample[static_cast<size_t>(row * 3 + column) % sample.size()];
    }
    ui::SetColour(row % 3 == 0 ? "n" : row % 3 == 1 ? "h" : "rh");
    ui::PrintAt(static_cast<int16_t>(row), 1, line);
  }
  ui::SetColour("h");
  ui::LocateInWindow(3, 5);
}

void OpenFirst() {
  ui::SetColour("+n");
  ui::OpenWindow(4, 8, 16, 60);
  ui::DrawFrame(2);
  ui::PrintAt(2, 3, util::Cp850("Primera finestra: Núñez, Çà"));
  ui::SetColour("-");
}

void OpenSecond() {
  ui::SetColour("+rh");
  ui::OpenWindow(8, 20, 13, 70);
  ui::DrawFrame(1);
  ui::PrintAt(2, 3, util::Cp850("Segona finestra ╔═╗"));
  ui::SetColour("-");
}

}  // namespace

int main() {
  // A scripted run whose keys run out ends with status 3 (the screen is
  // dumped when the console closes at exit).
  platform::console::SetHeadlessRanOutHandler([] {
    std::fputs("kitwin: the key script ran out while the program waited for input\n", stderr);
    std::exit(3);
  });
  std::string error;
  env::LoadSessionSettings();
  ui::InstallTooSmallMessage();
  if (!platform::console::Open(&error)) {
    std::fprintf(stderr, "kitwin: %s\n", error.c_str());
    return 1;
  }
  DrawBackground();
  for (;;) {
    int16_t key = 0;
    ui::WaitKey(key);
    if (key == 'q' || key == ui::kKeyEscape) break;
    switch (key) {
      case '1': OpenFirst(); break;
      case '2': OpenSecond(); break;
      case 'm': ui::ShowMessagePanel(24, util::Cp850("PREMEU UNA TECLA PER CONTINUAR")); break;
      case 'c':
        if (ui::window_stack.WindowDepth > 0) ui::CloseWindow();
        break;
      default: break;
    }
  }
  platform::console::Close();
  return 0;
}
