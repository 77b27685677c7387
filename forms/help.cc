// The help window: rows 4 to ScreenRows - 3 of the whole width, the page's
// lines inside a double frame, read one record at a time from the file.
#include "forms/help.h"

#include <algorithm>
#include <string>

#include "env/session.h"
#include "platform/console/console.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "platform/process/environment.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/basics.h"
#include "util/cp850.h"

namespace ui::forms {

namespace {

namespace console = platform::console;

constexpr int16_t kTop = 4;

// The page: its file and the number of whole records it holds.
class Page {
 public:
  Page(const std::string& topic, int record_length) : record_length_(record_length) {
    const std::string host = platform::fs::HostPath("AJUDA\\" + topic + ".HLP");
    if (host.empty() || record_length <= 0 ||
        file_.Open(host, platform::fs::File::kRead, false) != 0) {
      return;
    }
    lines_ = static_cast<int>(std::min<int64_t>(file_.Size() / record_length, 1 << 30));
  }

  int lines() const { return lines_; }

  // Line n (1-based) as the file holds it; a record that cannot be read
  // shows blank.
  std::string Line(int n) {
    std::string record(static_cast<size_t>(record_length_), ' ');
    if (n < 1 || n > lines_) return record;
    const int64_t read = file_.ReadAt(static_cast<int64_t>(n - 1) * record_length_,
                                      record.data(), record.size());
    if (read < static_cast<int64_t>(record.size())) record.assign(record.size(), ' ');
    return record;
  }

 private:
  platform::fs::File file_;
  int record_length_ = 0;
  int lines_ = 0;
};

struct View {
  Page* page;
  int16_t bottom;
  int visible;  // lines inside the window
  int first;    // the page's line on the window's first row
  int width;    // characters shown of a line
};

// Line n of the page on the window's row: the style characters switch the
// colour of what follows and take no cell.
void ShowLine(View& v, int row, int n) {
  SetColour("n");
  PrintAt(static_cast<int16_t>(row), 1, std::string(static_cast<size_t>(v.width + 2), ' '));
  LocateInWindow(static_cast<int16_t>(row), 2);
  const std::string line = n <= v.page->lines() ? v.page->Line(n) : std::string();
  bool highlight = false, underline = false, reverse = false;
  int shown = 0;
  for (char c : line) {
    if (shown >= v.width) break;
    if (c == kHighlightStyle) {
      highlight = !highlight;
      if (!underline) SetColour(highlight ? "h" : "n");
    } else if (c == kUnderlineStyle) {
      underline = !underline;
      SetColour(underline ? "u" : "n");
    } else if (c == kReverseStyle) {
      reverse = !reverse;
      SetColour(reverse ? "r" : "n");
    } else {
      Print(std::string(1, c));
      ++shown;
    }
  }
}

void ShowFrom(View& v, int first) {
  v.first = first;
  for (int row = 1; row <= v.visible; ++row) ShowLine(v, row, first + row - 1);
}

int LastFirst(const View& v) { return std::max(1, v.page->lines() - v.visible + 1); }

// Scrolls the inside of the window by one line (1 up, -1 down).
void ScrollOne(View& v, int16_t count) {
  SetColour("n");
  ScrollRegion(kTop, 1, static_cast<int16_t>(v.bottom - 2),
               static_cast<int16_t>(ScreenColumns() - 2), count);
}

bool IsGeneralTopic(const std::string& topic) {
  return util::UpperCase(util::Trim(topic)) == kGeneralHelpTopic;
}

void OpenDocument(const std::string& topic) {
  const std::string comspec = platform::GetEnvironment("COMSPEC");
  if (comspec.empty()) return;
  const std::string page = util::Cp850ToUtf8("AJUDA\\" + topic + ".HTM");
  // Not reported when it fails: the page is a convenience.
  console::RunInTerminal(platform::fs::HostPath(util::Utf8ToCp850(comspec)),
                         {"/C", "QOPENR", page});
}

void Browse(View& v, const std::string& topic) {
  for (;;) {
    int16_t key = 0;
    WaitKey(key);
    const bool below = v.first + v.visible - 1 < v.page->lines();
    switch (key) {
      case kKeyEscape:
        return;
      case kKeyF1:
        if (!IsGeneralTopic(topic)) ShowHelp(std::string(kGeneralHelpTopic));
        break;
      case kKeyDown:
        if (below) {
          ScrollOne(v, 1);
          ++v.first;
          ShowLine(v, v.visible, v.first + v.visible - 1);
        }
        break;
      case kKeyUp:
        if (v.first > 1) {
          ScrollOne(v, -1);
          --v.first;
          ShowLine(v, 1, v.first);
        }
        break;
      case kKeyPgDn:
        if (below) ShowFrom(v, std::min(v.first + v.visible, LastFirst(v)));
        break;
      case kKeyPgUp:
        if (v.first > 1) ShowFrom(v, std::max(1, v.first - v.visible));
        break;
      case kKeyHome:
        ShowFrom(v, 1);
        break;
      case kKeyEnd:
        ShowFrom(v, LastFirst(v));
        break;
      default:
        break;
    }
  }
}

}  // namespace

void ShowHelp(const std::string& topic) {
  if (env::session.HostMode == "WIN") {
    OpenDocument(topic);
    return;
  }
  const int16_t bottom = static_cast<int16_t>(ScreenRows() - 3);
  Page page(topic, ScreenColumns());
  SetColour("+h");
  if (!OpenWindow(kTop, 1, bottom, ScreenColumns())) {
    SetColour("-");
    console::Beep();
    return;
  }
  DrawFrame(2);
  // Inside the frame a blank column on either side of the text.
  View view{&page, bottom, bottom - kTop - 1, 1, ScreenColumns() - 4};
  ShowFrom(view, 1);
  Browse(view, topic);
  CloseWindow();
  SetColour("-");
}

}  // namespace ui::forms
