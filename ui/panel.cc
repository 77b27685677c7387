// The message panel: a text laid out in lines of 76 characters inside a
// single-line frame, centred on column 41 around the caller's row; and a
// notice in it that waits for the operator and says so.
#include <string>

#include "env/language.h"
#include "platform/console/console.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/text.h"

namespace ui {

namespace {

constexpr int kLineWidth = 76;
constexpr int kCentreColumn = 41;

// The text laid out in lines of kLineWidth characters, each padded.
std::string LaidOut(std::string_view text) {
  std::string laid_out(text);
  util::WrapText(laid_out, 0, kLineWidth, "i");
  return laid_out;
}

// The panel of lines already laid out.
bool ShowLaidOutPanel(int16_t row, const std::string& laid_out) {
  SetColour("+rh");
  const int lines = static_cast<int>(laid_out.size()) / kLineWidth;

  int top = std::max(1, row - (lines + 1) / 2 - 2);
  int bottom = top + lines + 1;
  if (bottom > ScreenRows()) {
    bottom = ScreenRows();
    top = bottom - lines - 1;
  }
  if (top < 1) {
    SetColour("-");
    return false;
  }

  // The widest line decides; an empty text still gets a small panel, so
  // that the caller's CloseWindow has a window to close.
  int left = 0;
  int right = 0;
  for (int i = 0; i < std::max(lines, 1); ++i) {
    const std::string_view line =
        i < lines ? std::string_view(laid_out).substr(
                        static_cast<size_t>(i * kLineWidth), kLineWidth)
                  : std::string_view();
    const int width = static_cast<int>(util::TrimRight(line).size());
    if (right - left < width + 4) {
      left = kCentreColumn - (width + 1) / 2 - 2;
      right = width / 2 + kCentreColumn + 1;
    }
  }

  if (!OpenWindow(static_cast<int16_t>(top), static_cast<int16_t>(left),
                  static_cast<int16_t>(bottom), static_cast<int16_t>(right))) {
    // Refused (a console narrower than the panel, no window file): drawing
    // a frame now would wipe the enclosing window instead.
    SetColour("-");
    return false;
  }
  DrawFrame(1);
  for (int i = 0; i < lines; ++i) {
    const std::string_view line = util::TrimRight(std::string_view(laid_out).substr(
        static_cast<size_t>(i * kLineWidth), kLineWidth));
    PrintAt(static_cast<int16_t>(i + 1), 2, line);
  }
  SetColour("-");
  return true;
}

}  // namespace

bool ShowMessagePanel(int16_t row, std::string_view text) {
  return ShowLaidOutPanel(row, LaidOut(text));
}

int16_t TellOperator(std::string_view text) {
  if (!platform::console::IsOpen()) return 27;
  // The operator is told that a key is awaited, on a line of its own.
  const bool shown = ShowLaidOutPanel(
      12, LaidOut(text) + LaidOut(env::TranslateText(util::Cp850("PREMEU UNA TECLA PER CONTINUAR"))));
  platform::console::Beep();
  FlushKeyboard();
  int16_t key = 0;
  WaitKey(key);
  if (shown) CloseWindow();
  return key;
}

}  // namespace ui
