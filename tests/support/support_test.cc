// The shared test support itself: the whole-state reset leaves nothing of a
// busy run behind and closes what was open, the headless screen fails a test
// whose keys run out, the scratch directory goes with what it held, and the
// random source names its seed.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "db/records.h"
#include "env/installation.h"
#include "env/session.h"
#include "files/listing.h"
#include "files/locks.h"
#include "forms/forms.h"
#include "platform/console/console.h"
#include "platform/fs/errors.h"
#include "platform/fs/paths.h"
#include "platform/recman/btrcall.h"
#include "platform/recman/keyspec.h"
#include "platform/recman/store.h"
#include "tests/support/headless_screen.h"
#include "tests/support/random.h"
#include "tests/support/reset.h"
#include "tests/support/scoped.h"
#include "tests/support/scratch_dir.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "util/little_endian.h"
#include "util/numbers.h"
#include "util/text.h"

namespace qdeb::testing {
namespace {

namespace rm = platform::recman;

// A run in full swing: settings loaded, windows, key sets and hooks set, a
// record file open through the layer, a listing and a record manager block
// open, the console open with keys queued.
class BusyRun : public FreshStateTest {
 protected:
  BusyRun() {
    env_.Set("TEMP", dir_.Host("temp"));
    dir_.MakeDir("temp");
    dir_.Put("Vela.ini", "[Installacio]\r\nDada1=Gestoria Roca\r\n");
    rm::FileDefinition definition;
    definition.record_length = 8;
    definition.segments = {{1, 4, 0}};
    const std::string buffer = rm::EncodeCreationBuffer(definition);
    dir_.Put("ddf/CODES.xdf", util::Le16(static_cast<uint16_t>(buffer.size())) + buffer);
    env_.Set("KITROOT", platform::fs::ProgramPath(dir_.path()) + "\\");
  }
  ScratchDir dir_{"qdeb_support"};
  ScopedEnvironment env_;
};

TEST_F(BusyRun, ResetAllStateLeavesNothingBehindAndClosesWhatWasOpen) {
  env::LoadSessionSettings();
  ASSERT_EQ(env::InstallationText(1).substr(0, 14), "Gestoria Roca ");
  env::session.LanguageCode = "SPA";
  util::number_format.DecimalChar = ',';
  util::text_state.FoldPlain = -1;
  util::PushText("x");
  ui::window_stack.WindowDepth = 2;
  ui::window_stack.ColourStack = "\x01";
  ui::keyboard.KeySetCodes = "\x1b";
  ui::keyboard.Mouse = ui::MouseState::kOn;
  ui::Hooks.calculator = [] { return std::string("1"); };
  ASSERT_TRUE(ui::forms::ParseFormFile("1, 0\n\"d\", 0, 0, 0, 0, 0, 0\n0\n").ok());
  ui::forms::form_state.ResumeForm = 1;
  ui::forms::Hooks.show_help = [](const std::string&) {};
  std::string record;
  int16_t status = -1;
  db::OpenRecordFile(7, env::session.RootDir + "CODES", &record, status);
  ASSERT_EQ(status, 0);
  db::LockModeStack = "\x01";
  db::Hooks.wait.show_message = [](int16_t, const std::string&) { return true; };
  files::Hooks.wait.pause = [](int) {};
  platform::fs::NoteFileError(platform::fs::FileOperation::kWrite, "/x", 28);
  files::lock_identity.LockHolder = 5;
  ASSERT_TRUE(files::StartListing(dir_.Dos("*.*")).ok());
  ASSERT_EQ(dir_.Names("temp").size(), 1u);
  rm::BusyTimeoutMs = 1;
  char block[rm::kPositionBlockSize] = {};
  std::string path = dir_.Host("CODES.dat") + std::string(1, '\0');
  std::string owner(5, '\0');
  uint32_t length = 5;
  ASSERT_EQ(BTRCALL(rm::kOpen, block, owner.data(), &length, path.data(), 255, 0), 0);
  ASSERT_TRUE(platform::console::OpenHeadless("a\nb"));

  ResetAllState();

  EXPECT_EQ(env::session.RootDir, "");
  EXPECT_EQ(env::session.LanguageCode, "");
  EXPECT_EQ(env::InstallationText(1), std::string(35, ' '));
  EXPECT_EQ(util::number_format.DecimalChar, '\0');
  EXPECT_EQ(util::text_state.FoldPlain, 0);
  EXPECT_EQ(util::text_state.TextStack, "");
  EXPECT_EQ(util::number_format.MainCurrency, "");
  EXPECT_EQ(ui::window_stack.WindowDepth, 0);
  EXPECT_EQ(ui::window_stack.ColourStack, "");
  EXPECT_EQ(ui::keyboard.KeySetCodes, "");
  EXPECT_EQ(ui::keyboard.Mouse, ui::MouseState::kNotInitialised);
  EXPECT_FALSE(ui::Hooks.calculator);
  EXPECT_TRUE(ui::forms::form_tables.Forms.empty());
  EXPECT_EQ(ui::forms::form_state.ResumeForm, 0);
  EXPECT_FALSE(ui::forms::Hooks.show_help);
  EXPECT_EQ(db::LockModeStack, "");
  EXPECT_FALSE(db::Hooks.wait.show_message);
  EXPECT_FALSE(files::Hooks.wait.pause);
  EXPECT_EQ(platform::fs::LastFileError().operation, platform::fs::FileOperation::kNone);
  db::CloseRecordFile(7, status);
  EXPECT_EQ(status, db::kNotInTable);
  EXPECT_EQ(files::lock_identity.LockHolder, 0);
  EXPECT_EQ(files::listings.ListingStack, "");
  EXPECT_TRUE(dir_.Names("temp").empty());  // the list file is gone with its listing
  EXPECT_EQ(rm::BusyTimeoutMs, rm::kDefaultBusyTimeoutMs);
  EXPECT_TRUE(rm::OpenFiles().empty());
  EXPECT_EQ(BTRCALL(rm::kGetFirst, block, record.data(), &length, path.data(), 255, 0), 3);
  EXPECT_FALSE(platform::console::IsOpen());
  EXPECT_EQ(platform::console::HeadlessPending(), 0u);

  // A fresh start loads the installation data again, from the file as it is now.
  dir_.Put("Vela.ini", "[Installacio]\r\nDada1=Roca i Fills\r\n");
  env::LoadSessionSettings();
  EXPECT_EQ(env::InstallationText(1).substr(0, 14), "Roca i Fills  ");
  // Nothing of the reset file stays open: it can be opened exclusively.
  ASSERT_EQ(BTRCALL(rm::kOpen, block, owner.data(), &length, path.data(), 255, -4), 0);
}

TEST(HeadlessScreen, KeysThatRunOutFailTheTestAndGiveEscape) {
  HeadlessScreen screen("a");
  int16_t key = 0;
  ui::WaitKey(key);
  EXPECT_EQ(key, 'a');
  EXPECT_NONFATAL_FAILURE(ui::WaitKey(key), "the key script ran out");
  EXPECT_EQ(key, 27);
  screen.Feed("b");
  ui::WaitKey(key);
  EXPECT_EQ(key, 'b');
}

TEST(ScratchDir, MadeUnderTmpdirAndRemovedWithEverythingInIt) {
  ScratchDir outer("outer");
  std::string inner_name;
  {
    ScopedEnvironment env("TMPDIR", outer.path());
    ScratchDir inner("inner");
    ASSERT_EQ(inner.path().rfind(outer.path() + "/inner_", 0), 0u) << inner.path();
    inner_name = inner.path().substr(outer.path().size() + 1);
    inner.Put("locked/deep/file", "x");
    EXPECT_EQ(inner.Get("locked/deep/file"), "x");
    chmod(inner.Host("locked").c_str(), 0500);
  }
  EXPECT_FALSE(outer.Exists(inner_name));
}

TEST(Random, FailuresNameTheSeed) {
  EXPECT_NONFATAL_FAILURE(
      {
        Random random(4242);
        ADD_FAILURE() << random();
      },
      "seed 4242");
}

}  // namespace
}  // namespace qdeb::testing
