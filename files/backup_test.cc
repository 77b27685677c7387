#include "files/backup.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "env/session.h"
#include "files/backup_layout.h"
#include "files/scratch_test.h"
#include "platform/console/console.h"
#include "tests/support/headless_screen.h"
#include "util/basics.h"
#include "util/cp850.h"
#include "util/little_endian.h"

namespace files {
namespace {

namespace console = platform::console;
using qdeb::testing::HeadlessScreen;

struct Part {
  std::string name;
  int flag = 0;
  uint32_t file_size = 0;
  int part = 0;
  uint32_t offset = 0;
  uint32_t length = 0;
};

// A control file read back field by field.
struct Control {
  int number = 0;
  std::string label;
  int last_flag = -1;
  std::string path;
  std::vector<Part> parts;
};

Control ReadControl(const std::string& bytes) {
  Control control;
  if (bytes.size() < kBackupHeaderSize + kBackupDirectorySize) {
    ADD_FAILURE() << "a control file of " << bytes.size() << " bytes";
    return control;
  }
  control.number = util::GetLe16(bytes, 9);
  control.label = BackupHeaderLabel(bytes);
  control.last_flag = static_cast<unsigned char>(bytes[kBackupLastFlagAt]);
  const std::string block = bytes.substr(kBackupHeaderSize, kBackupDirectorySize);
  control.path = std::string(block.substr(1, 63).c_str());
  const size_t count = util::GetLe16(block, 64);
  EXPECT_EQ(bytes.size(), kBackupHeaderSize + kBackupDirectorySize + count * kBackupEntrySize)
      << "the directory block counts every entry";
  for (size_t at = kBackupHeaderSize + kBackupDirectorySize; at + kBackupEntrySize <= bytes.size();
       at += kBackupEntrySize) {
    const std::string entry = bytes.substr(at, kBackupEntrySize);
    control.parts.push_back({std::string(entry.substr(1, 12).c_str()), entry[13],
                             util::GetLe32(entry, 14), util::GetLe16(entry, 18),
                             util::GetLe32(entry, 20), util::GetLe32(entry, 24)});
  }
  return control;
}

// Bytes of a made-up file that differ from one place to the next.
std::string Content(size_t size, int seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251 + seed) & 0xFF);
  return bytes;
}

class BackupTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    for (const char* dir : {"src", "a", "work", "store"}) scratch_.MakeDir(dir);
    env::session.WorkDir = root_ + "/work/";
    env::session.LanguageCode = "CAT";
    Capacity(1457664);
    // The operator: each wait for a key is a panel, answered by answer.
    console::SetHeadlessStarvedHandler([this](int) {
      panels_.push_back(PanelText());
      const std::string key = answer_ ? answer_(panels_.back()) : "Esc";
      if (!answer_) ADD_FAILURE() << "an unexpected panel: " << panels_.back();
      screen_.Feed(key);
      return true;
    });
  }

  // Drive A: a removable folder of that size; S: the source folder.
  void Capacity(int64_t bytes) {
    SetEnv("KITDRIVES", "A=" + root_ + "/a:removable:capacity=" + std::to_string(bytes) + ";S=" +
                            root_ + "/src");
  }

  // The text of the message panel placed around row 12, UTF-8.
  static std::string PanelText() {
    std::string row = HeadlessScreen::Row(10, 1, 80);
    for (char& c : row) {
      if (static_cast<unsigned char>(c) == 0xB3) c = ' ';  // the frame's sides
    }
    return util::Cp850ToUtf8(util::Trim(row));
  }

  // Takes volume number's files out of the drive, as the operator does.
  void TakeOut(int number) {
    for (const char* stem : {"CONTROL", "BACKUP"}) {
      const std::string name = BackupVolumeFileName(stem, number);
      std::filesystem::rename(root_ + "/a/" + name, root_ + "/store/" + name);
    }
  }

  Control Volume(int number, const std::string& where = "store") const {
    return ReadControl(scratch_.Get(where + "/" + BackupVolumeFileName("CONTROL", number)));
  }
  std::string Data(int number, const std::string& where = "store") const {
    return scratch_.Get(where + "/" + BackupVolumeFileName("BACKUP", number));
  }

  HeadlessScreen screen_;
  std::vector<std::string> panels_;
  std::function<std::string(const std::string&)> answer_;
};

// A read-only file is a file to copy like any other; a mask that matches
// nothing writes nothing and is told with the folder and the mask.
TEST_F(BackupTest, ReadOnlyFilesAreCopiedAndNoMatchIsTold) {
  Touch("src/NOTES.TXT", "x");
  answer_ = [](const std::string&) { return "Enter"; };
  EXPECT_EQ(BackupToVolumes("S:\\", "*.E19", "A:\\", "").status.code(), env::Code::kNotFound);
  EXPECT_TRUE(scratch_.Names("a").empty());
  EXPECT_EQ(panels_, std::vector<std::string>{"NO HI HA CAP FITXER PER COPIAR A S:\\*.E19"});

  panels_.clear();
  Touch("src/FIXA.E19", "abc");
  std::filesystem::permissions(root_ + "/src/FIXA.E19", std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::group_read |
                                                            std::filesystem::perms::others_read);
  EXPECT_EQ(BackupToVolumes("S:\\", "*.E19", "A:\\", "").status.code(), env::Code::kOk);
  EXPECT_TRUE(panels_.empty());
  const Control one = Volume(1, "a");
  ASSERT_EQ(one.parts.size(), 1u);
  EXPECT_EQ(one.parts[0].name, "FIXA.E19");
  EXPECT_EQ(Data(1, "a"), "abc");
}

// Something else than a volume file at a volume file's name (a link to
// another file, a pipe, a folder) is told with what it is and kept as it
// is, the file a link points to untouched; the volume is asked for again
// until the operator gives up.
TEST_F(BackupTest, AVolumeNameHoldingNoFileIsToldAndLeftAlone) {
  Touch("src/R.E19", "abc");
  Touch("victim", "kept");
  const std::string control = root_ + "/a/CONTROL.001";
  const std::string data = root_ + "/a/BACKUP.001";
  const struct {
    std::string path;
    std::function<void(const std::string&)> plant;
    std::string told;
  } cases[] = {
      {control, [&](const std::string& p) { std::filesystem::create_symlink(root_ + "/victim", p); },
       "NO ES POT CREAR A:\\CONTROL.001: ÉS UN ENLLAÇ A UN ALTRE LLOC"},
      {data, [&](const std::string& p) { std::filesystem::create_symlink(root_ + "/victim", p); },
       "NO ES POT OBRIR A:\\BACKUP.001: ÉS UN ENLLAÇ A UN ALTRE LLOC"},
      {control, [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
       "NO ES POT CREAR A:\\CONTROL.001: NO ÉS UN FITXER"},
      {data, [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
       "NO ES POT OBRIR A:\\BACKUP.001: NO ÉS UN FITXER"},
      {control, [](const std::string& p) { std::filesystem::create_directory(p); },
       "NO ES POT CREAR A:\\CONTROL.001: ÉS UNA CARPETA"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.told);
    scratch_.Remove("a");
    scratch_.MakeDir("a");
    c.plant(c.path);
    panels_.clear();
    answer_ = [&](const std::string&) { return panels_.size() < 3 ? "Enter" : "Esc"; };
    EXPECT_EQ(BackupToVolumes("S:\\", "*.E19", "A:\\", "").status.code(), env::Code::kCancelled);
    ASSERT_EQ(panels_.size(), 3u);
    EXPECT_EQ(util::Utf8ToCp850(panels_[0]), util::Cp850(c.told));
    EXPECT_EQ(panels_[1], "INSERIU CÒPIA DE SEGURETAT NÚMERO 1 A A:\\");
    EXPECT_TRUE(std::filesystem::symlink_status(c.path).type() != std::filesystem::file_type::regular);
    EXPECT_EQ(scratch_.Get("victim"), "kept");
  }
}

// A root source, an empty file, and a file larger than the room of volume
// 1 (2048 bytes less its control file's cluster and one byte: 1535); the
// operator gives volume 2 or leaves at its prompt.
TEST_F(BackupTest, FileLargerThanVolumeOneGoesOnOnVolumeTwo) {
  const std::string big = Content(3000, 1);
  Touch("src/A.E19", "");
  Touch("src/B.E19", big);
  Capacity(2048);
  for (const char* key : {"Enter", "Esc"}) {
    SCOPED_TRACE(key);
    scratch_.Remove("store");
    scratch_.MakeDir("store");
    panels_.clear();
    answer_ = [&](const std::string&) {
      TakeOut(1);
      return std::string(key);
    };
    const bool go_on = std::string(key) == "Enter";
    EXPECT_EQ(BackupToVolumes("S:\\", "*.E19", "A:\\", "").status.code(),
              go_on ? env::Code::kOk : env::Code::kCancelled);
    EXPECT_EQ(panels_, std::vector<std::string>{"INSERIU CÒPIA DE SEGURETAT NÚMERO 2 A A:\\"});
    const Control one = Volume(1);
    EXPECT_EQ(one.number, 1);
    EXPECT_EQ(one.last_flag, 0x00);  // volume 2 follows
    EXPECT_EQ(one.path, "");         // the root of the drive
    ASSERT_EQ(one.parts.size(), 2u);
    EXPECT_EQ(one.parts[0].name, "A.E19");
    EXPECT_EQ(one.parts[0].flag, 3);
    EXPECT_EQ(one.parts[0].length, 0u);
    EXPECT_EQ(one.parts[0].file_size, 0u);
    EXPECT_EQ(one.parts[1].name, "B.E19");
    EXPECT_EQ(one.parts[1].flag, 2);
    EXPECT_EQ(one.parts[1].file_size, 3000u);
    EXPECT_EQ(one.parts[1].part, 1);
    EXPECT_EQ(one.parts[1].offset, 0u);
    EXPECT_EQ(one.parts[1].length, 1535u);
    EXPECT_EQ(Data(1), big.substr(0, 1535));
    if (!go_on) {
      // Nothing is written on the volume in the drive.
      EXPECT_TRUE(scratch_.Names("a").empty());
      continue;
    }
    TakeOut(2);
    const Control two = Volume(2);
    EXPECT_EQ(two.number, 2);
    EXPECT_EQ(two.last_flag, 0xFF);
    ASSERT_EQ(two.parts.size(), 1u);
    EXPECT_EQ(two.parts[0].name, "B.E19");
    EXPECT_EQ(two.parts[0].flag, 3);
    EXPECT_EQ(two.parts[0].file_size, 3000u);  // the whole file's, in every part
    EXPECT_EQ(two.parts[0].part, 2);
    EXPECT_EQ(two.parts[0].offset, 0u);
    EXPECT_EQ(two.parts[0].length, 3000u - 1535u);
    EXPECT_EQ(Data(1) + Data(2), big);
  }
}

// What the drive holds when the backup starts, and what becomes of it.
TEST_F(BackupTest, AVolumeIsTakenWhenEmptyOrOfTheSameSet) {
  const std::string other_set = BackupHeader(1, "ALTRE", kBackupLastVolume);
  const std::string same_set = BackupHeader(1, "COPIA", kBackupLastVolume);
  struct Case {
    const char* what;
    std::string control;  // CONTROL.001 in the drive
    std::vector<std::string> panels;
    env::Code result;
  } cases[] = {
      // Refused, then taken once the operator has emptied it.
      {"another set", other_set,
       {"A:\\ NO ÉS BUIT O NO ÉS EL DISC 1 DE COPIA",
        "INSERIU CÒPIA DE SEGURETAT COPIA NÚMERO 1 A A:\\"},
       env::Code::kOk},
      // Its own earlier volume 1 is overwritten without a word.
      {"the same set", same_set, {}, env::Code::kOk},
      // A file of that name that is no backup's is somebody's: kept.
      {"a foreign file", "hello", {"A:\\ NO ÉS BUIT O NO ÉS EL DISC 1 DE COPIA"},
       env::Code::kCancelled},
  };
  const std::string content = Content(700, 2);
  Touch("src/R.E19", content);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    panels_.clear();
    Touch("a/CONTROL.001", c.control);
    Touch("a/BACKUP.001", "old data");
    answer_ = [&](const std::string& panel) {
      if (panel.find("NO ÉS BUIT") == std::string::npos) return "Enter";
      if (c.result == env::Code::kCancelled) return "Esc";
      scratch_.Remove("a/CONTROL.001");
      scratch_.Remove("a/BACKUP.001");
      return "Enter";
    };
    EXPECT_EQ(BackupToVolumes("S:\\", "*.E19", "A:\\", "COPIA").status.code(), c.result);
    EXPECT_EQ(panels_, c.panels);
    if (c.result == env::Code::kCancelled) {
      EXPECT_EQ(scratch_.Get("a/CONTROL.001"), c.control);
      EXPECT_EQ(scratch_.Get("a/BACKUP.001"), "old data");
      continue;
    }
    const Control one = Volume(1, "a");
    EXPECT_EQ(one.label, "COPIA");
    EXPECT_EQ(one.last_flag, 0xFF);
    ASSERT_EQ(one.parts.size(), 1u);
    EXPECT_EQ(one.parts[0].length, 700u);
    EXPECT_EQ(Data(1, "a"), content);
  }

  // A folder named as a volume file is not one: never emptied, it keeps
  // the volume from being taken, and the operator is told what it is.
  scratch_.Remove("a/CONTROL.001");
  scratch_.Remove("a/BACKUP.001");
  Touch("a/BACKUP.001/KEEP.TXT", "keep");
  panels_.clear();
  answer_ = [](const std::string&) { return "Esc"; };
  EXPECT_EQ(BackupToVolumes("S:\\", "*.E19", "A:\\", "COPIA").status.code(), env::Code::kCancelled);
  EXPECT_EQ(panels_, std::vector<std::string>{"NO ES POT OBRIR A:\\BACKUP.001: ÉS UNA CARPETA"});
  EXPECT_EQ(scratch_.Get("a/BACKUP.001/KEEP.TXT"), "keep");
}

// Eight files leave volume 1 a little room, but the ninth's entry takes the
// control file into a second cluster: that room is gone. The ninth file
// goes whole onto volume 2 rather than a part of no bytes (or less) on 1.
TEST_F(BackupTest, AVolumeWithNoRoomForTheNextPartIsFullAtOnce) {
  Capacity(4096);
  for (int i = 1; i <= 8; ++i) Touch("src/F" + std::to_string(i) + ".E19", Content(400, i));
  Touch("src/F9.E19", Content(100, 9));
  answer_ = [&](const std::string&) {
    TakeOut(1);
    return "Enter";
  };
  EXPECT_EQ(BackupToVolumes("S:\\", "*.E19", "A:\\", "").status.code(), env::Code::kOk);
  TakeOut(2);
  const Control one = Volume(1);
  ASSERT_EQ(one.parts.size(), 8u);
  EXPECT_EQ(one.last_flag, 0x00);
  for (const Part& part : one.parts) {
    EXPECT_EQ(part.flag, 3);
    EXPECT_EQ(part.length, 400u);
  }
  const Control two = Volume(2);
  ASSERT_EQ(two.parts.size(), 1u);
  EXPECT_EQ(two.last_flag, 0xFF);
  EXPECT_EQ(two.parts[0].name, "F9.E19");
  EXPECT_EQ(two.parts[0].part, 1);
  EXPECT_EQ(two.parts[0].offset, 0u);
  EXPECT_EQ(two.parts[0].length, 100u);
  EXPECT_EQ(Data(2), Content(100, 9));

  // A volume too small for a control file and one byte is refused as one
  // that cannot take the set, and left empty.
  Capacity(512);
  panels_.clear();
  answer_ = [](const std::string&) { return "Esc"; };
  EXPECT_EQ(BackupToVolumes("S:\\", "*.E19", "A:\\", "").status.code(), env::Code::kCancelled);
  EXPECT_EQ(panels_, std::vector<std::string>{"A:\\ NO ÉS BUIT O NO ÉS EL DISC 1"});
  EXPECT_TRUE(scratch_.Names("a").empty());
}

// A write past the file size limit fails as a full disk or a medium taken
// out does; the set must not pass for a complete one.
TEST_F(BackupTest, AFailedWriteEndsTheBackupWithoutALastVolume) {
  Touch("src/R.E19", Content(10000, 3));
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  answer_ = [](const std::string&) { return "Enter"; };
  const BackupReport report = BackupToVolumes("S:\\", "*.E19", "A:\\", "");
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(report.status.code(), env::Code::kDiskFull);
  EXPECT_EQ(panels_, std::vector<std::string>{"NO ES POT ESCRIURE A:\\BACKUP.001: FITXER MASSA GRAN"});
  // The part written is said to go on, on a volume that never came.
  const Control one = Volume(1, "a");
  EXPECT_EQ(one.last_flag, 0x00);
  ASSERT_EQ(one.parts.size(), 1u);
  EXPECT_EQ(one.parts[0].flag, 2);
}

// The source file loses its end while the operator changes volumes: the
// backup fails rather than leave a set whose parts do not add up.
TEST_F(BackupTest, ASourceThatShrinksFailsTheBackup) {
  Touch("src/R.E19", Content(3000, 4));
  Capacity(2048);
  answer_ = [&](const std::string& panel) {
    if (panel.find("INSERIU") != std::string::npos) {
      TakeOut(1);
      std::filesystem::resize_file(root_ + "/src/R.E19", 2000);
    }
    return "Enter";
  };
  EXPECT_EQ(BackupToVolumes("S:\\", "*.E19", "A:\\", "").status.code(), env::Code::kFileError);
  ASSERT_EQ(panels_.size(), 2u);
  EXPECT_EQ(panels_[1], "EL FITXER HA CANVIAT MENTRE ES COPIAVA: S:\\R.E19");
  EXPECT_EQ(Volume(2, "a").last_flag, 0x00);
}

}  // namespace
}  // namespace files
