// The window stack: the cells a pop-up covers are pushed onto "WinPush.tmp"
// in session.WorkDir and painted back when it closes. The file starts with the
// 32-bit little-endian position (1-based) of its first free byte; each block
// holds the cursor, the enclosing window and the saved rectangle as 2-digit
// numbers, the cells as character and attribute bytes, and its own length
// as 5 digits at its end, so the top block can be found from the stack top.
// Nothing stays in memory between calls.
#include <algorithm>
#include <cstdint>
#include <string>

#include "env/session.h"
#include "platform/console/console.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "ui/screen.h"
#include "util/little_endian.h"

namespace ui {

namespace console = platform::console;
namespace fs = platform::fs;

namespace {

constexpr int64_t kEmptyTop = 5;   // 1-based position right after the header
constexpr int64_t kFieldsSize = 20;
constexpr int64_t kLengthSize = 5;

std::string WindowFilePath() {
  return fs::HostPath(env::session.WorkDir + std::string(kWindowFileName));
}

// Zero-padded decimal digits, keeping only the last ones of a longer value.
void AppendDigits(std::string& out, int64_t value, int width) {
  std::string digits(static_cast<size_t>(width), '0');
  int64_t v = value < 0 ? -value : value;
  for (int i = width - 1; i >= 0 && v > 0; --i) {
    digits[static_cast<size_t>(i)] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  out += digits;
}

// -1 unless every byte is a digit.
int64_t ParseDigits(const std::string& text, size_t offset, size_t width) {
  if (offset + width > text.size()) return -1;
  int64_t value = 0;
  for (size_t i = offset; i < offset + width; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool ReadTop(fs::File& file, int64_t* top) {
  std::string bytes(4, '\0');
  if (file.ReadAt(0, bytes.data(), 4) != 4) return false;
  *top = static_cast<int32_t>(util::GetLe32(bytes));
  return true;
}

bool WriteTop(fs::File& file, int64_t top) {
  const std::string bytes = util::Le32(static_cast<uint32_t>(top));
  return file.WriteAt(0, bytes.data(), 4);
}

bool Inside(int value, int limit) { return value >= 1 && value <= limit; }

}  // namespace

bool OpenWindow(int16_t top, int16_t left, int16_t bottom, int16_t right) {
  const int rows = ScreenRows();
  const int columns = ScreenColumns();
  if (!Inside(top, rows) || !Inside(bottom, rows) || !Inside(left, columns) ||
      !Inside(right, columns)) {
    return false;
  }
  const std::string path = WindowFilePath();
  fs::File file;
  if (path.empty() || file.Open(path, fs::File::kReadWriteCreate, false) != 0) {
    return false;  // no session.WorkDir to save in: the window cannot be opened
  }
  const int64_t size = file.Size();
  int64_t stack_top = kEmptyTop;
  if (size > 3 && !ReadTop(file, &stack_top)) return false;
  // A header that points outside the file is not a stack we can add to;
  // start afresh rather than write at a wild position.
  if (stack_top < kEmptyTop || stack_top - 1 > size) stack_top = kEmptyTop;

  std::string block;
  const size_t cells = static_cast<size_t>((bottom - top + 1 > 0 ? bottom - top + 1 : 0) *
                                           (right - left + 1 > 0 ? right - left + 1 : 0));
  block.reserve(static_cast<size_t>(kFieldsSize + kLengthSize) + 2 * cells);
  AppendDigits(block, console::CursorRow() + 1, 2);
  AppendDigits(block, console::CursorColumn() + 1, 2);
  AppendDigits(block, window_stack.WindowTop, 2);
  AppendDigits(block, window_stack.WindowLeft, 2);
  AppendDigits(block, window_stack.WindowBottom, 2);
  AppendDigits(block, window_stack.WindowRight, 2);
  AppendDigits(block, top, 2);
  AppendDigits(block, left, 2);
  AppendDigits(block, bottom, 2);
  AppendDigits(block, right, 2);
  for (int row = top; row <= bottom; ++row) {
    for (int column = left; column <= right; ++column) {
      const console::Cell cell = console::GetCell(row - 1, column - 1);
      block += cell.ch;
      block += static_cast<char>(cell.attr);
    }
  }
  AppendDigits(block, static_cast<int64_t>(block.size()) + kLengthSize, 5);

  if (!file.WriteAt(stack_top - 1, block.data(), block.size())) return false;
  if (!WriteTop(file, stack_top + static_cast<int64_t>(block.size()))) return false;
  file.Close();

  window_stack.WindowTop = top;
  window_stack.WindowLeft = left;
  window_stack.WindowBottom = bottom;
  window_stack.WindowRight = right;
  ++window_stack.WindowDepth;
  return true;
}

namespace {

// Reads the block that ends at the stack top; false when the file does not
// hold a sound one (then nothing may be painted from it).
bool ReadTopBlock(fs::File& file, int64_t stack_top, int64_t* start,
                  std::string* block) {
  const int64_t size = file.Size();
  if (stack_top - 1 > size || stack_top < kEmptyTop + kFieldsSize + kLengthSize) {
    return false;
  }
  std::string length_text(kLengthSize, '\0');
  if (file.ReadAt(stack_top - 1 - kLengthSize, length_text.data(), kLengthSize) !=
      kLengthSize) {
    return false;
  }
  const int64_t length = ParseDigits(length_text, 0, kLengthSize);
  if (length < kFieldsSize + kLengthSize) return false;
  *start = stack_top - length;
  if (*start < kEmptyTop) return false;
  block->assign(static_cast<size_t>(length), '\0');
  return file.ReadAt(*start - 1, block->data(), block->size()) == length;
}

}  // namespace

void CloseWindow() {
  const std::string path = WindowFilePath();
  if (path.empty()) return;
  fs::File file;
  if (file.Open(path, fs::File::kReadWrite, false) != 0) return;  // no file
  int64_t stack_top = 0;
  if (file.Size() <= 3 || !ReadTop(file, &stack_top) || stack_top <= kEmptyTop) {
    file.Close();
    fs::RemoveFile(path);
    return;
  }
  int64_t start = 0;
  std::string block;
  if (!ReadTopBlock(file, stack_top, &start, &block)) {
    // A damaged stack cannot be painted back; drop it rather than paint
    // garbage or read past its end.
    file.Close();
    fs::RemoveFile(path);
    return;
  }
  int64_t fields[10];
  for (size_t i = 0; i < 10; ++i) {
    fields[i] = ParseDigits(block, 2 * i, 2);
    if (fields[i] < 0) {
      file.Close();
      fs::RemoveFile(path);
      return;
    }
  }
  const int64_t top = fields[6], left = fields[7], bottom = fields[8], right = fields[9];
  // An inverted rectangle saved no cells, but its block still holds the
  // enclosing window and the cursor: it is popped like any other, so that
  // the windows below it keep their blocks.
  const int64_t cells = std::max<int64_t>(0, bottom - top + 1) *
                        std::max<int64_t>(0, right - left + 1);
  if (kFieldsSize + 2 * cells + kLengthSize != static_cast<int64_t>(block.size())) {
    file.Close();
    fs::RemoveFile(path);
    return;
  }

  if (window_stack.WindowDepth > 0) --window_stack.WindowDepth;
  window_stack.WindowTop = static_cast<int16_t>(fields[2]);
  window_stack.WindowLeft = static_cast<int16_t>(fields[3]);
  window_stack.WindowBottom = static_cast<int16_t>(fields[4]);
  window_stack.WindowRight = static_cast<int16_t>(fields[5]);

  size_t at = static_cast<size_t>(kFieldsSize);
  uint8_t attr = console::CurrentAttribute();
  for (int64_t row = top; row <= bottom; ++row) {
    for (int64_t column = left; column <= right; ++column) {
      const char ch = block[at];
      attr = static_cast<uint8_t>(block[at + 1]);
      at += 2;
      console::PutCell(static_cast<int>(row - 1), static_cast<int>(column - 1),
                       console::Cell{ch, attr});
    }
  }
  console::SetCurrentAttribute(attr);
  console::SetCursor(static_cast<int>(fields[0] - 1), static_cast<int>(fields[1] - 1));

  WriteTop(file, start);
  file.Close();
  if (start < kEmptyTop + 1) fs::RemoveFile(path);
}

}  // namespace ui
