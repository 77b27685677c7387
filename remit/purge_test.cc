#include "remit/purge.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <string>

#include "remit/remit_test_support.h"
#include "remit/settings.h"

namespace remit {
namespace {

class PurgeTest : public testing::GenerationTest {
 protected:
  // A file of the output directory dated at noon UTC of the day given.
  void Dated(const std::string& name, int year, int month, int day) {
    dir_.MakeDir("root/CSB");
    Put(Csb(name), "x");
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = 12;
    const timespec when{timegm(&t), 0};
    const timespec times[2] = {when, when};
    ASSERT_EQ(utimensat(AT_FDCWD, Host(Csb(name)).c_str(), times, 0), 0);
  }
};

TEST_F(PurgeTest, OldRemittanceFilesGoAndFilesOfUnreadableDateStay) {
  // Work date 2026-01-15: files dated before 2025-07-15 are old.
  for (const char* name : {"OLD.E19", "CSB19001.TXT", "Q19X.DAT", "R.Q19", "A.XML", "OTHER.TXT",
                           "OLDER.E19.tmp", "OLDER.E19.key"}) {
    Dated(name, 2025, 7, 14);
  }
  Dated("EDGE.E19", 2025, 7, 15);
  Dated("NEW.XML", 2025, 12, 1);
  // A date past the year 9999 cannot be read as one: the file stays.
  Dated("FAR.E19", 12000, 1, 1);

  env::session.WorkDate.clear();
  PurgeOldFiles(OutputDirectory(), env::session.WorkDate);
  EXPECT_EQ(OutputNames().size(), 11u);  // no work date, nothing goes

  env::session.WorkDate = util::PackDigits("20260115");
  PurgeOldFiles(OutputDirectory(), env::session.WorkDate);
  EXPECT_EQ(OutputNames(), (std::set<std::string>{"OTHER.TXT", "OLDER.E19.tmp", "OLDER.E19.key",
                                                  "EDGE.E19", "NEW.XML", "FAR.E19"}));
}

}  // namespace
}  // namespace remit
