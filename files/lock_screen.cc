#include "files/lock_screen.h"

#include <string>

#include "files/locks.h"
#include "ui/keys.h"
#include "ui/screen.h"

namespace files {

namespace {

constexpr int16_t kEscape = 0x1B;
constexpr int16_t kMessageRow = 24;

bool panel_open = false;

void ShowPanel(const std::string& message) {
  panel_open = ui::ShowMessagePanel(kMessageRow, message);
}

void ClosePanel() {
  if (panel_open) ui::CloseWindow();
  panel_open = false;
}

bool EscapePressed() {
  int16_t key = 0;
  int16_t button = 0;
  int16_t row = 0;
  int16_t column = 0;
  ui::ReadKey(key, button, row, column);
  return key == kEscape;
}

}  // namespace

void ShowLockWaitsOnScreen() {
  LockWait.show_message = ShowPanel;
  LockWait.close_message = ClosePanel;
  LockWait.escape_pressed = EscapePressed;
}

}  // namespace files
