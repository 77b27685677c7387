// The browse list: reads its record file only as far as the operator
// scrolls, appending each line to Browse.tmp, and pages, scrolls and picks
// over that file. Every way out puts the key set, the window, the colour and
// the file's lock mode back as they were and removes Browse.tmp.
#include "forms/browse_list.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "db/records.h"
#include "env/session.h"
#include "forms/editor_state.h"
#include "forms/forms.h"
#include "platform/console/console.h"
#include "platform/fs/files.h"
#include "platform/fs/paths.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/little_endian.h"

namespace ui::forms {


namespace {

// Left without a pick: Escape, a key the list does not use, nothing to pick.
env::Status NoPick(int16_t list) {
  return env::Status(env::Code::kCancelled, {}, "list " + std::to_string(list));
}

namespace fs = platform::fs;

constexpr int kEntryHeader = 10;
constexpr int16_t kHorizontalStep = 8;
// Positions are 32-bit: the work file stops growing before they overflow.
constexpr int64_t kLargestPosition = INT32_MAX - 0x10000 - kEntryHeader;

struct Entry {
  int32_t position = 0;  // 0: no entry
  int32_t previous = 0;
  int32_t record_position = 0;
  std::string text;
  int32_t Next() const {
    return static_cast<int32_t>(position + kEntryHeader + static_cast<int32_t>(text.size()));
  }
};

std::string WorkFilePath() {
  return fs::HostPath(env::session.WorkDir + std::string(kBrowseFileName));
}

// One list being shown.
class Browse {
 public:
  Browse(int16_t list, const ListDefinition& definition, std::string start_key,
         std::string prefix)
      : list_(list),
        file_(definition.attributes[kListFile]),
        key_(definition.attributes[kListKey]),
        rows_(static_cast<int16_t>(definition.attributes[kListBottom] -
                                   definition.attributes[kListTop] - 1)),
        width_(static_cast<int16_t>(definition.attributes[kListRight] -
                                    definition.attributes[kListLeft] - 1)),
        header_(definition.header),
        start_key_(std::move(start_key)),
        prefix_(std::move(prefix)),
        finished_(file_ == 0) {}

  // Opens Browse.tmp: emptied for a record file, as the program wrote it
  // otherwise. False when it cannot be opened.
  bool OpenWorkFile() {
    if (work_.Open(WorkFilePath(), fs::File::kReadWriteCreate, false) != 0) return false;
    if (file_ != 0 && !work_.Truncate(0)) return false;
    const int64_t size = work_.Size();
    end_ = static_cast<int32_t>(std::clamp<int64_t>(size, 0, kLargestPosition)) + 1;
    if (file_ == 0) FindLastEntry();
    return true;
  }

  // The loop of keys; the key the list was left with.
  int16_t Run(env::Status& status) {
    FillPage();
    for (;;) {
      ShowCurrent("u");
      int16_t key = 0;
      WaitKey(key);
      ShowCurrent("h");
      switch (key) {
        case kKeyLeft:
          if (offset_ > 1) Shift(-kHorizontalStep);
          break;
        case kKeyRight:
          if (offset_ <= widest_) Shift(kHorizontalStep);
          break;
        case kKeyUp:
          StepUp();
          break;
        case kKeyDown:
          StepDown();
          break;
        case kKeyPgUp:
          PageUp();
          break;
        case kKeyPgDn:
          PageDown();
          break;
        case kKeyEnter:
          status = Pick();
          return key;
        default:
          status = NoPick(list_);
          return key;
      }
    }
  }

  void CloseWorkFile() {
    work_.Close();
    fs::RemoveFile(WorkFilePath());
  }

 private:
  // A list without a record file: the entry appended last, so that Down
  // knows the last one. The chain is walked once from the start.
  void FindLastEntry() {
    Entry entry;
    for (int32_t at = 1; ReadEntry(at, &entry); at = entry.Next()) last_appended_ = at;
  }

  bool ReadEntry(int32_t at, Entry* entry) {
    if (at < 1 || static_cast<int64_t>(at) + kEntryHeader > end_) return false;
    char head[kEntryHeader];
    if (work_.ReadAt(at - 1, head, sizeof head) != kEntryHeader) return false;
    const std::string_view bytes(head, sizeof head);
    const uint16_t length = util::GetLe16(bytes, 8);
    if (static_cast<int64_t>(at) + kEntryHeader + length > end_) return false;
    entry->text.assign(length, ' ');
    if (length > 0 && work_.ReadAt(at - 1 + kEntryHeader, entry->text.data(), length) != length) {
      return false;
    }
    entry->position = at;
    entry->previous = static_cast<int32_t>(util::GetLe32(bytes, 0));
    entry->record_position = static_cast<int32_t>(util::GetLe32(bytes, 4));
    return true;
  }

  // The entry at position `at`, reading records on when `at` is the end of
  // the work file. False when there is none.
  bool EntryAt(int32_t at, Entry* entry) {
    while (at == end_ && !finished_) ReadMore();
    return ReadEntry(at, entry);
  }

  // A key read that sorts after the prefix ends the list. The key is in
  // sort form already; cut to the prefix's length it goes through the sort
  // form once more, as the prefix did.
  bool PastPrefix() {
    std::string key;
    db::CurrentKeyValue(file_, key);
    key.resize(std::min(key.size(), sort_prefix_.size()));
    return db::KeySortForm(key, file_) > sort_prefix_;
  }

  // Reads records until one gives a line (appended) or the list ends.
  void ReadMore() {
    int16_t status = 0;
    if (!started_) {
      started_ = true;
      db::GetByKey(file_, key_, start_key_, 1, status);
      sort_prefix_ = db::KeySortForm(prefix_, file_);
      if (status != 0 || PastPrefix()) {
        finished_ = true;
        return;
      }
    }
    bool appended = false;
    while (!appended && !finished_) {
      appended = AppendCurrentRecord();
      db::MoveRecords(file_, 1, status);
      // Escape while a long list is being read stops the reading; what was
      // read stays on the list.
      if (status != 0 || PastPrefix() || platform::console::TakeEscapeKey()) finished_ = true;
    }
  }

  std::string CurrentLine() {
    if (Hooks.list_line) return Hooks.list_line(list_);
    const std::string* buffer = db::RecordBuffer(file_);
    return buffer == nullptr ? std::string() : *buffer;
  }

  // True when the current record's line was appended (an empty line is not).
  bool AppendCurrentRecord() {
    std::string line(util::TrimRight(CurrentLine()));
    if (line.empty()) return false;
    line.resize(std::min<size_t>(line.size(), UINT16_MAX));
    int32_t record_position = 0;
    db::PositionRecord(file_, record_position);
    std::string bytes = util::Le32(static_cast<uint32_t>(last_appended_)) +
                        util::Le32(static_cast<uint32_t>(record_position)) +
                        util::Le16(static_cast<uint16_t>(line.size())) + line;
    // A work file that cannot grow (a full disk) ends the list there.
    if (static_cast<int64_t>(end_) + static_cast<int64_t>(bytes.size()) > kLargestPosition ||
        !work_.WriteAt(end_ - 1, bytes.data(), bytes.size())) {
      finished_ = true;
      return false;
    }
    last_appended_ = end_;
    end_ = static_cast<int32_t>(end_ + static_cast<int32_t>(bytes.size()));
    return true;
  }

  // Header: the corner or "◄", the header from the offset with a blank as
  // the frame line and "_" as a blank, then the corner or "►".
  void DrawHeader() {
    static const std::string frame = util::Cp850("═");
    const size_t from = static_cast<size_t>(offset_ - 1);
    std::string shown = from < header_.size() ? header_.substr(from, width_) : std::string();
    shown.resize(static_cast<size_t>(width_), ' ');
    for (char& c : shown) {
      if (c == ' ') {
        c = frame[0];
      } else if (c == '_') {
        c = ' ';
      }
    }
    const bool more = offset_ <= widest_ || header_.size() > from + static_cast<size_t>(width_);
    SetColour("+n");
    PrintAt(0, 0, offset_ == 1 ? util::Cp850("╔") : util::Cp850("◄"));
    Print(shown);
    Print(more ? util::Cp850("►") : util::Cp850("╗"));
    SetColour("-");
  }

  void PrintLine(int16_t row, const std::string& text) {
    const size_t from = static_cast<size_t>(offset_ - 1);
    std::string shown = from < text.size() ? text.substr(from, width_) : std::string();
    shown.resize(static_cast<size_t>(width_), ' ');
    PrintAt(row, 1, shown);
  }

  // The page from its top, and the header; the entries are read as far as
  // the page reaches.
  void FillPage() {
    Entry entry;
    int32_t at = page_top_;
    for (int16_t row = 1; row <= rows_; ++row) {
      if (EntryAt(at, &entry)) {
        widest_ = std::max(widest_, static_cast<int32_t>(entry.text.size()) - width_);
        PrintLine(row, entry.text);
        at = entry.Next();
        if (current_ == 0 && row == row_) current_ = entry.position;
      } else {
        PrintLine(row, std::string());
      }
    }
    // After the page: its lines may have widened the overflow the header's
    // "►" tells of.
    DrawHeader();
  }

  void ShowCurrent(std::string_view colour) {
    SetColour(colour);
    Entry entry;
    if (current_ != 0 && ReadEntry(current_, &entry)) PrintLine(row_, entry.text);
  }

  void Shift(int16_t step) {
    offset_ += step;
    FillPage();
  }

  void StepUp() {
    Entry entry;
    if (current_ == 0 || !ReadEntry(current_, &entry) || entry.previous == 0) return;
    current_ = entry.previous;
    if (row_ > 1) {
      --row_;
      return;
    }
    page_top_ = current_;
    FillPage();
  }

  void StepDown() {
    Entry entry, next;
    if (current_ == 0 || !ReadEntry(current_, &entry) || !EntryAt(entry.Next(), &next)) return;
    current_ = next.position;
    if (row_ < rows_) {
      ++row_;
      return;
    }
    Entry top;
    if (ReadEntry(page_top_, &top)) page_top_ = top.Next();
    FillPage();
  }

  // Steps back up to count entries from `at`; how many it stepped.
  int StepBack(int32_t* at, int count) {
    Entry entry;
    int steps = 0;
    while (steps < count && ReadEntry(*at, &entry) && entry.previous != 0) {
      *at = entry.previous;
      ++steps;
    }
    return steps;
  }

  void PageUp() {
    Entry top;
    if (!ReadEntry(page_top_, &top) || top.previous == 0) return;
    const int top_steps = StepBack(&page_top_, rows_);
    const int current_steps = StepBack(&current_, rows_);
    // Near the start the page moves less than the entry: the highlight
    // goes up by the difference.
    row_ = static_cast<int16_t>(row_ + top_steps - current_steps);
    FillPage();
  }

  void PageDown() {
    // The entry after the page's last one starts the next page.
    Entry entry;
    int32_t next_top = page_top_;
    for (int16_t row = 1; row <= rows_; ++row) {
      if (!ReadEntry(next_top, &entry)) return;
      next_top = entry.Next();
    }
    if (!EntryAt(next_top, &entry)) return;
    page_top_ = next_top;
    // The current entry steps on by a page, or stops at the last entry.
    Entry next;
    for (int16_t step = 0; step < rows_ && ReadEntry(current_, &entry) &&
                           EntryAt(entry.Next(), &next);
         ++step) {
      current_ = next.position;
    }
    FillPage();
    row_ = 1;
    for (int32_t at = page_top_; at != current_ && ReadEntry(at, &entry); at = entry.Next()) {
      ++row_;
    }
  }

  // Enter: the current entry as the pick; the status.
  env::Status Pick() {
    Entry entry;
    if (current_ == 0 || !ReadEntry(current_, &entry)) return NoPick(list_);
    if (file_ == 0) {
      form_state.PickedPosition = entry.record_position;
      form_state.PickedText = entry.text;
      return env::OkStatus();
    }
    if (entry.record_position == 0) return NoPick(list_);
    int32_t position = entry.record_position;
    // The file is known here by its number only.
    return db::RecordStatus(std::to_string(file_), db::PositionRecord(file_, position));
  }

  const int16_t list_;
  const int16_t file_;
  const int16_t key_;
  const int16_t rows_;
  const int16_t width_;
  const std::string header_;
  const std::string start_key_;
  const std::string prefix_;
  std::string sort_prefix_;
  fs::File work_;
  int32_t end_ = 1;            // the position after the last entry
  int32_t last_appended_ = 0;  // the last entry's position; 0 none
  bool started_ = false;
  bool finished_;
  int32_t page_top_ = 1;
  int32_t current_ = 0;  // the highlighted entry; 0 while there is none
  int16_t row_ = 1;
  int32_t offset_ = 1;  // the first character shown, 1-based
  int32_t widest_ = 0;  // the longest line read minus the width
};

const ListDefinition* Definition(int16_t list) {
  if (list < 1 || static_cast<size_t>(list) > form_tables.Lists.size()) return nullptr;
  const ListDefinition& definition = form_tables.Lists[static_cast<size_t>(list - 1)];
  const auto& a = definition.attributes;
  if (a[kListBottom] - a[kListTop] < 2 || a[kListRight] - a[kListLeft] < 2) return nullptr;
  return &definition;
}

// The window and the loop, once the data is ready; the key it was left with.
int16_t ShowReadyList(int16_t list, const ListDefinition& definition, std::string start_key,
                      std::string prefix, env::Status& status) {
  const auto& a = definition.attributes;
  Browse browse(list, definition, std::move(start_key), std::move(prefix));
  SetColour("+n");
  const bool window = OpenWindow(a[kListTop], a[kListLeft], a[kListBottom], a[kListRight]);
  int16_t key = kKeyEscape;
  if (window) {
    DrawFrame(2);
    SetColour("h");
    if (browse.OpenWorkFile()) {
      key = browse.Run(status);
    } else {
      platform::console::Beep();
    }
  } else {
    platform::console::Beep();
  }
  browse.CloseWorkFile();
  if (key == kKeyF4 && a[kListNested] != 0) {
    int16_t nested = a[kListNested];
    status = ShowList(nested);
    if (status.ok() && Hooks.on_list_pick) {
      int16_t form = 0, field = 0;
      Hooks.on_list_pick(nested, form, field);
    }
  }
  if (window) CloseWindow();
  SetColour("-");
  return key;
}

}  // namespace

env::Status ShowList(int16_t& list) {
  env::Status status = NoPick(list);
  const ListDefinition* found = Definition(list);
  if (found == nullptr) return status;
  // A copy: the hooks may reload the tables while the list is shown.
  const ListDefinition definition = *found;
  const auto& a = definition.attributes;
  if (a[kListFilterForm] != 0) {
    int16_t form = a[kListFilterForm], first_page = 0, last_page = 0, key = 0;
    ShowForm(form, first_page, last_page, key);
    if (key == kKeyEscape) return status;
  }
  std::string start_key, prefix;
  if (Hooks.fill_catalogue_level) {
    env::Status filled = Hooks.fill_catalogue_level(list, start_key, prefix);
    if (!filled.ok()) {
      fs::RemoveFile(WorkFilePath());
      return filled;
    }
  }
  const int16_t file = a[kListFile];
  // Reading a list locks nothing. A file that is not open pushes nothing,
  // and then nothing is popped of what others pushed.
  int16_t options_status = -1;
  if (file != 0) db::SetFileOptions(file, "+d", options_status);
  const bool pushed = options_status == 0;
  const EditorState before = TakeEditorState();
  SetKeySet("+ea", "d,1b,4800,5000,4900,5100,4b00,4d00");
  if (a[kListNested] != 0) SetKeySet("a", "3e00");
  ShowReadyList(list, definition, std::move(start_key), std::move(prefix), status);
  SetKeySet("-", "");
  PutEditorState(before);
  if (pushed) db::SetFileOptions(file, "-", options_status);
  return status;
}

void ResetBrowseList() {
  form_state.PickedPosition = 0;
  form_state.PickedText.clear();
}

}  // namespace ui::forms
