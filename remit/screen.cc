#include "remit/screen.h"

#include "platform/console/console.h"
#include "platform/process/clock.h"
#include "ui/screen.h"
#include "util/text.h"

namespace remit {

namespace {

constexpr int16_t kTop = 23;
constexpr int16_t kBottom = 25;
constexpr int16_t kRight = 80;
constexpr size_t kLineWidth = 76;
constexpr int64_t kRefreshMs = 100;

}  // namespace

void ProgressWindow::Open(std::string_view title, int16_t title_column) {
  if (open_ || !platform::console::IsOpen()) return;
  ui::SetColour("+rn");
  if (!ui::OpenWindow(kTop, 1, kBottom, kRight)) {
    ui::SetColour("-");
    return;
  }
  open_ = true;
  ui::DrawFrame(1);
  ui::PrintAt(0, title_column < 0 ? util::CentreOffset(title, kRight) : title_column, title);
  ui::SetColour("-");
  platform::console::Refresh();
  shown_at_ = platform::SteadyMilliseconds();
}

void ProgressWindow::Show(std::string_view line) {
  if (!open_) return;
  std::string text(line.substr(0, kLineWidth));
  text.resize(kLineWidth, ' ');
  ShowAt(2, text);
}

void ProgressWindow::ShowAt(int16_t column, std::string_view text) {
  if (!open_) return;
  ui::PrintAt(1, column, text);
  const int64_t now = platform::SteadyMilliseconds();
  if (now - shown_at_ >= kRefreshMs) {
    platform::console::Refresh();
    shown_at_ = now;
  }
}

void ProgressWindow::Close() {
  if (!open_) return;
  ui::CloseWindow();
  open_ = false;
}

}  // namespace remit
