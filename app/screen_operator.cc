#include "app/screen_operator.h"

#include "platform/console/console.h"
#include "platform/process/clock.h"
#include "ui/screen.h"
#include "util/text.h"

namespace app {

namespace {

constexpr int16_t kTop = 23;
constexpr int16_t kBottom = 25;
constexpr int16_t kRight = 80;
constexpr int16_t kEscape = 27;
constexpr int64_t kRefreshMs = 100;

}  // namespace

ScreenOperator::ScreenOperator() : wait_(ui::ScreenWaitHooks()) {}

void ScreenOperator::Tell(const std::string& text) { ui::TellOperator(text); }

bool ScreenOperator::Ask(const std::string& question) { return ui::TellOperator(question) != kEscape; }

void ScreenOperator::OpenProgress(std::string_view title, int16_t title_column) {
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
  pending_ = false;
}

void ScreenOperator::Progress(int16_t column, std::string_view text) {
  if (!platform::console::IsOpen()) return;
  ui::PrintAt(1, column, text);
  pending_ = true;
  const int64_t now = platform::SteadyMilliseconds();
  if (now - shown_at_ >= kRefreshMs) {
    platform::console::Refresh();
    shown_at_ = now;
    pending_ = false;
  }
}

void ScreenOperator::CloseProgress() {
  if (pending_ && platform::console::IsOpen()) platform::console::Refresh();
  pending_ = false;
  if (!open_) return;
  ui::CloseWindow();
  open_ = false;
}

}  // namespace app
