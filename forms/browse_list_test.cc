#include "forms/browse_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/records.h"
#include "env/session.h"
#include "forms/forms.h"
#include "forms/test_forms.h"
#include "platform/console/console.h"
#include "platform/fs/paths.h"
#include "platform/recman/test_support.h"
#include "tests/support/scoped.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "ui/ui_test_support.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/little_endian.h"

namespace ui::forms {
namespace {

namespace console = platform::console;

constexpr int16_t kFile = 7;
constexpr int kRecordLength = 40;
// The list's window: rows 6..10 and columns 11..30 inside the frame.
constexpr int kTop = 5, kLeft = 10, kRows = 5, kWidth = 20;

struct Entry {
  uint32_t previous = 0;
  uint32_t record_position = 0;
  std::string text;
};

// Browse.tmp read as its layout says, following each entry's length; an
// entry cut short fails the test.
std::vector<Entry> ReadWorkFile(const std::string& bytes) {
  std::vector<Entry> entries;
  for (size_t at = 0; at < bytes.size();) {
    if (at + 10 > bytes.size()) {
      ADD_FAILURE() << "an entry header cut short at " << at;
      break;
    }
    Entry entry;
    entry.previous = util::GetLe32(bytes, at);
    entry.record_position = util::GetLe32(bytes, at + 4);
    const size_t length = util::GetLe16(bytes, at + 8);
    if (at + 10 + length > bytes.size()) {
      ADD_FAILURE() << "an entry text cut short at " << at;
      break;
    }
    entry.text = bytes.substr(at + 10, length);
    entries.push_back(entry);
    at += 10 + length;
  }
  return entries;
}

// The bytes of entries as a program writes them for a list without a file.
std::string WorkFileBytes(const std::vector<std::pair<uint32_t, std::string>>& entries) {
  std::string bytes;
  uint32_t previous = 0;
  for (const auto& [value, text] : entries) {
    const auto position = static_cast<uint32_t>(bytes.size() + 1);
    bytes += util::Le32(previous) + util::Le32(value) +
             util::Le16(static_cast<uint16_t>(text.size())) + text;
    previous = position;
  }
  return bytes;
}

// What the list showed when it waited for a key the script did not have.
struct Snapshot {
  bool taken = false;
  std::string header;              // the top frame line, code page 850
  std::vector<std::string> lines;  // the rows inside, trailing blanks cut
  int highlighted = 0;             // the row in the highlight colour; 0 none
  std::string work_file;           // Browse.tmp's bytes
};

class BrowseListTest : public ui::testing::UiTest {
 protected:
  void SetUp() override {
    dir_.MakeDir("ddf");
    env::session.RootDir = platform::fs::ProgramPath(dir_.path()) + "\\";
    const std::string creation_buffer =
        platform::recman::testing::SpecBuffer(kRecordLength, {{1, 4, 0}});
    dir_.Put("ddf/CODES.xdf", util::Le16(static_cast<uint16_t>(creation_buffer.size())) + creation_buffer);
    int16_t status = -1;
    db::OpenRecordFile(kFile, env::session.RootDir + "CODES", &buffer_, status);
    ASSERT_EQ(status, 0);
    // List 1 reads the file by key 0; list 2 is the program's own.
    form_tables.Lists = {Definition(kFile, 0, ""), Definition(0, 0, "")};
    Hooks.list_line = [this](int16_t list) {
      ++reads_;
      EXPECT_EQ(list, 1);
      // A record marked "-" after its code has no line.
      if (buffer_[4] == '-') return std::string();
      return buffer_;
    };
    console::SetHeadlessRanOutHandler([this] { Snap(); });
  }
  void TearDown() override { console::SetHeadlessRanOutHandler(nullptr); }

  static ListDefinition Definition(int16_t file, int16_t nested, const std::string& header) {
    ListDefinition list;
    list.attributes = {file, 0, kTop, kLeft, kTop + kRows + 1, kLeft + kWidth + 1, 0, nested};
    list.header = header;
    return list;
  }

  void Insert(const std::string& line) {
    buffer_ = line;
    buffer_.resize(kRecordLength, ' ');
    int16_t status = -1;
    db::InsertRecord(kFile, status);
    ASSERT_EQ(status, 0);
  }
  void EmptyFile() {
    int16_t status = 0;
    for (db::GetByKey(kFile, 0, "", 1, status); status == 0; db::GetByKey(kFile, 0, "", 1, status)) {
      db::DeleteCurrent(kFile, status);
      ASSERT_EQ(status, 0);
    }
  }
  // Records "A001 line 1" ... in key order.
  void InsertNumbered(int count) {
    for (int i = 1; i <= count; ++i) {
      std::string code = std::to_string(1000 + i);
      code[0] = 'A';
      Insert(code + " line " + std::to_string(i));
    }
  }

  void Snap() {
    snapshot_.taken = true;
    snapshot_.header = Row(kTop, kLeft, kWidth + 2);
    snapshot_.lines.clear();
    snapshot_.highlighted = 0;
    for (int row = 1; row <= kRows; ++row) {
      snapshot_.lines.emplace_back(util::TrimRight(Row(kTop + row, kLeft + 1, kWidth)));
      if (console::GetCell(kTop + row - 1, kLeft).attr == PairAttribute(4)) {
        snapshot_.highlighted = row;
      }
    }
    snapshot_.work_file = dir_.Exists(kBrowseFileName) ? dir_.Get(kBrowseFileName) : "";
  }

  // Shows the list with the keys fed; whatever way it ends, everything it
  // took is given back and the work file is gone.
  env::Status Show(int16_t list, std::string_view keys) {
    snapshot_ = {};
    reads_ = 0;
    const std::string codes = keyboard.KeySetCodes, locks = db::LockModeStack;
    const int16_t lock_mode = db::FileLockMode(kFile), colour = window_stack.ColourIndex;
    Feed(keys);
    const env::Status status = ShowList(list);
    EXPECT_EQ(keyboard.KeySetCodes, codes);
    EXPECT_FALSE(keyboard.KeySetSaved);
    EXPECT_EQ(window_stack.WindowDepth, 0);
    EXPECT_EQ(window_stack.ColourIndex, colour);
    EXPECT_TRUE(window_stack.ColourStack.empty());
    EXPECT_EQ(db::LockModeStack, locks);
    EXPECT_EQ(db::FileLockMode(kFile), lock_mode);
    EXPECT_FALSE(dir_.Exists(kBrowseFileName)) << "the work file outlived the list";
    return status;
  }

  // The code of the record in the buffer.
  std::string Current() const { return buffer_.substr(0, 4); }

  std::string buffer_;
  int reads_ = 0;
  Snapshot snapshot_;
  // Inserts leave their db.log line in the working directory.
  qdeb::testing::ScopedWorkingDirectory cwd_{dir_.path()};
};

struct MoveCase {
  const char* name;
  int records;
  const char* keys;        // before the wait
  const char* top;         // the code on the first row at the wait
  int highlighted;         // the row of the current entry
  int shown;               // rows with a line
  int reads;               // records read by then
};

const MoveCase kMoves[] = {
    {"The first page, the first entry current", 12, "", "A001", 1, 5, 5},
    {"Fewer entries than rows: blank rows, PgDn does nothing", 3, "PgDn", "A001", 1, 3, 3},
    {"Up on the first entry does nothing", 3, "Up", "A001", 1, 3, 3},
    {"Down on the last entry does nothing", 3, "Down\nDown\nDown\nDown", "A001", 3, 3, 3},
    {"Down on the last row scrolls by one", 12, "Down\nDown\nDown\nDown\nDown", "A002", 5, 5, 6},
    {"Up on the first row scrolls back", 12,
     "Down\nDown\nDown\nDown\nDown\nUp\nUp\nUp\nUp\nUp", "A001", 1, 5, 6},
    {"PgDn pages by rows", 12, "PgDn", "A006", 1, 5, 10},
    {"PgDn onto a short last page stops at the last entry", 12,
     "Down\nDown\nDown\nPgDn\nPgDn", "A011", 2, 2, 12},
    {"PgDn on the last page does nothing", 12, "PgDn\nPgDn\nPgDn", "A011", 1, 2, 12},
    {"PgUp a whole page", 12, "PgDn\nPgDn\nPgUp", "A006", 1, 5, 12},
    {"PgUp near the start keeps the highlight on the current entry", 12,
     "Down\nDown\nDown\nDown\nDown\nDown\nPgUp", "A001", 2, 5, 7},
};

// Each case twice: the screen at the wait, then the same keys and Enter,
// which must pick the highlighted entry's record.
TEST_F(BrowseListTest, MovesShowAndPickTheCurrentEntry) {
  for (const MoveCase& c : kMoves) {
    SCOPED_TRACE(c.name);
    EmptyFile();
    InsertNumbered(c.records);
    EXPECT_EQ(Show(1, c.keys).code(), env::Code::kCancelled);  // the wait gets Escape
    ASSERT_TRUE(snapshot_.taken);
    EXPECT_EQ(snapshot_.lines[0].substr(0, 4), c.top);
    EXPECT_EQ(snapshot_.highlighted, c.highlighted);
    for (int row = 1; row <= kRows; ++row) {
      EXPECT_EQ(snapshot_.lines[static_cast<size_t>(row - 1)].empty(), row > c.shown) << row;
    }
    EXPECT_EQ(reads_, c.reads);
    const std::string expected =
        snapshot_.lines[static_cast<size_t>(c.highlighted - 1)].substr(0, 4);
    buffer_.assign(kRecordLength, ' ');
    EXPECT_EQ(Show(1, std::string(c.keys) + (c.keys[0] ? "\nEnter" : "Enter")).code(), env::Code::kOk);
    EXPECT_EQ(Current(), expected);
  }
}

// The work file as laid out: each entry links to the one before, holds the
// position of its record and its line; records without a line are left out.
TEST_F(BrowseListTest, WorkFileHoldsTheLinesReadAsLaidOut) {
  Insert("A001 first");
  Insert("A002-no line");
  Insert("A003 third");
  EXPECT_EQ(Show(1, "").code(), env::Code::kCancelled);
  const std::vector<Entry> entries = ReadWorkFile(snapshot_.work_file);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].previous, 0u);
  EXPECT_EQ(entries[1].previous, 1u);  // positions are 1-based
  const std::vector<std::string> texts = {"A001 first", "A003 third"};
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].text, texts[i]);  // trailing blanks cut
    auto position = static_cast<int32_t>(entries[i].record_position);
    ASSERT_EQ(db::PositionRecord(kFile, position), 0);
    EXPECT_EQ(buffer_.substr(0, 4), texts[i].substr(0, 4));
  }
  EXPECT_EQ(snapshot_.lines[1], "A003 third");
  EXPECT_EQ(snapshot_.lines[2], "");
}

// The start key and the prefix of the filling hook bound the reading.
TEST_F(BrowseListTest, ReadingStartsAtTheStartKeyAndStopsAfterThePrefix) {
  InsertNumbered(12);
  Hooks.fill_catalogue_level = [](int16_t list, std::string& start_key, std::string& prefix) {
    EXPECT_EQ(list, 1);
    start_key = "A003";
    prefix = "A00";
    return env::OkStatus();
  };
  EXPECT_EQ(Show(1, "PgDn\nDown\nDown\nDown").code(), env::Code::kCancelled);
  EXPECT_EQ(snapshot_.lines[0].substr(0, 4), "A008");
  EXPECT_EQ(snapshot_.lines[1].substr(0, 4), "A009");
  EXPECT_EQ(snapshot_.lines[2], "");
  EXPECT_EQ(snapshot_.highlighted, 2);
}

TEST_F(BrowseListTest, HorizontalScrollingStopsPastTheWidestLine) {
  Insert("A001 short");
  Insert("A002 a line ten wider than it");  // 30 characters: 10 over the width
  form_tables.Lists[0].header = " _Codes_ x_y";
  const std::string frame = util::Cp850("═");
  auto frames = [&](int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += frame;
    return out;
  };
  EXPECT_EQ(Show(1, "").code(), env::Code::kCancelled);
  EXPECT_EQ(snapshot_.header,
            util::Cp850("╔") + frame + " Codes " + frame + "x y" + frames(8) + util::Cp850("►"));
  EXPECT_EQ(Show(1, "Right").code(), env::Code::kCancelled);
  EXPECT_EQ(snapshot_.header, util::Cp850("◄") + frame + "x y" + frames(16) + util::Cp850("►"));
  EXPECT_EQ(snapshot_.lines[1], "ine ten wider than i");
  // Offset 17 is past the overflow of 10: the third Right is refused.
  EXPECT_EQ(Show(1, "Right\nRight\nRight").code(), env::Code::kCancelled);
  EXPECT_EQ(snapshot_.header, util::Cp850("◄") + frames(20) + util::Cp850("╗"));
  EXPECT_EQ(snapshot_.lines[1], "wider than it");
  EXPECT_EQ(snapshot_.lines[0], "");
  EXPECT_EQ(Show(1, "Right\nRight\nRight\nLeft\nLeft\nLeft").code(), env::Code::kCancelled);
  EXPECT_EQ(snapshot_.lines[1], "A002 a line ten wide");
}

// A list without a record file shows what the filling hook wrote; the pick
// gives the entry's value and line.
TEST_F(BrowseListTest, ProgramsListPicksTheEntryWritten) {
  const std::string bytes = WorkFileBytes({{70000, "C:"}, {2, util::Cp850("D: ñ")}, {3, "E:"}});
  Hooks.fill_catalogue_level = [&](int16_t list, std::string&, std::string&) {
    EXPECT_EQ(list, 2);
    dir_.Put(kBrowseFileName, bytes);
    return env::OkStatus();
  };
  EXPECT_EQ(Show(2, "Down\nDown\nDown\nUp").code(), env::Code::kCancelled);
  EXPECT_EQ(snapshot_.highlighted, 2);
  EXPECT_EQ(snapshot_.lines[2], "E:");
  EXPECT_EQ(Show(2, "Down\nDown\nDown\nEnter").code(), env::Code::kOk);
  EXPECT_EQ(form_state.PickedPosition, 3);
  EXPECT_EQ(form_state.PickedText, "E:");
  EXPECT_EQ(Show(2, "Enter").code(), env::Code::kOk);
  EXPECT_EQ(form_state.PickedPosition, 70000);
  EXPECT_EQ(reads_, 0);
}

// F4 leaves the list for its nested list; a pick there goes to the hook.
// Without a nested list F4 is any other key.
TEST_F(BrowseListTest, F4OpensTheNestedList) {
  InsertNumbered(3);
  form_tables.Lists[0].attributes[kListNested] = 2;
  Hooks.fill_catalogue_level = [&](int16_t list, std::string&, std::string&) {
    if (list == 2) dir_.Put(kBrowseFileName, WorkFileBytes({{5, "nested"}}));
    return env::OkStatus();
  };
  std::vector<int16_t> picks;
  Hooks.on_list_pick = [&](int16_t& list, int16_t& form, int16_t& field) {
    picks.push_back(list);
    EXPECT_EQ(form, 0);
    EXPECT_EQ(field, 0);
  };
  EXPECT_EQ(Show(1, "Down\nF4\nEnter").code(), env::Code::kOk);
  EXPECT_EQ(form_state.PickedText, "nested");
  EXPECT_EQ(picks, std::vector<int16_t>{2});
  EXPECT_EQ(Show(1, "F4\nEsc").code(), env::Code::kCancelled);
  EXPECT_EQ(picks.size(), 1u);
  form_tables.Lists[0].attributes[kListNested] = 0;
  form_state.PickedText.clear();
  EXPECT_EQ(Show(1, "F4").code(), env::Code::kCancelled);
  EXPECT_EQ(form_state.PickedText, "");
}

// The ways out before the list is shown, and the keys that leave it.
TEST_F(BrowseListTest, ListsLeftWithoutAPick) {
  InsertNumbered(3);
  EXPECT_EQ(Show(1, "Esc").code(), env::Code::kCancelled);
  EXPECT_EQ(Show(1, "x").code(), env::Code::kCancelled);
  EXPECT_EQ(Show(3, "").code(), env::Code::kCancelled);  // no such list
  // A cancelling filling hook gives its status; what it wrote goes.
  const env::Status cancelled(env::Code::kNotFound, "no such level", "U");
  Hooks.fill_catalogue_level = [&](int16_t, std::string&, std::string&) {
    dir_.Put(kBrowseFileName, WorkFileBytes({{1, "half"}}));
    return cancelled;
  };
  EXPECT_EQ(Show(2, ""), cancelled);
  Hooks.fill_catalogue_level = nullptr;
  // Escape on the filter form leaves before anything is read.
  const std::vector<ListDefinition> lists = form_tables.Lists;
  const env::Status parsed = ParseFormFile(testing::kTestForms);
  ASSERT_TRUE(parsed.ok()) << parsed.words();
  form_tables.Lists = lists;
  form_tables.Lists[0].attributes[kListFilterForm] = 1;
  EXPECT_EQ(Show(1, "Esc").code(), env::Code::kCancelled);
  EXPECT_EQ(reads_, 0);
  EXPECT_EQ(Show(1, "Enter\nEnter\nEnter\nDown\nEnter").code(), env::Code::kOk);
  EXPECT_EQ(Current(), "A002");
  // A file that is not open gives an empty list.
  form_tables.Lists[0].attributes[kListFilterForm] = 0;
  form_tables.Lists[0].attributes[kListFile] = 9;
  EXPECT_EQ(Show(1, "Enter").code(), env::Code::kCancelled);
  EXPECT_EQ(reads_, 0);
  form_tables.Lists[0].attributes[kListFile] = kFile;
  // A window that does not fit on the screen.
  form_tables.Lists[0].attributes[kListFilterForm] = 0;
  form_tables.Lists[0].attributes[kListBottom] = 40;
  EXPECT_EQ(Show(1, "").code(), env::Code::kCancelled);
}

// Escape typed while the records are read stops the reading; the lines read
// so far stay on the list and the Escape does not leave it.
TEST_F(BrowseListTest, EscapeWaitingStopsTheReading) {
  InsertNumbered(12);
  EXPECT_EQ(Show(1, "Esc\nDown\nEnter").code(), env::Code::kOk);
  EXPECT_EQ(reads_, 1);
  EXPECT_EQ(Current(), "A001");
}

}  // namespace
}  // namespace ui::forms
