#include "tools/qxconvrt/files_to_convert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "env/session.h"
#include "tests/support/reset.h"
#include "tests/support/scratch_dir.h"

namespace qxconvrt {
namespace {

class WorkListTest : public qdeb::testing::FreshStateTest {
 protected:
  WorkListTest() { env::session.WorkDir = dir_.Dos() + "\\"; }

  // The shown names of the list's files, or "why: ..." when it names none.
  std::vector<std::string> Read(const std::string& list) {
    dir_.Put("QXCONVRT.INI", list);
    const env::StatusOr<std::vector<FileToConvert>> files = ReadWorkList();
    if (!files.ok()) {
      const std::string& why = files.status().words();
      return {"why: " + why.substr(0, why.find(' '))};
    }
    std::vector<std::string> shown;
    for (const FileToConvert& file : *files) shown.push_back(file.shown);
    return shown;
  }

  qdeb::testing::ScratchDir dir_;
};

// The entries the list holds are its files, in their order; the count can
// only leave some out, and an absurd one costs nothing.
TEST_F(WorkListTest, TheEntriesPresentAreTheFiles) {
  const struct {
    const char* list;
    std::vector<std::string> shown;
  } cases[] = {
      {"[Convertir]\r\nMaxim=2\r\nFitx1=C:\\A.E19\r\nFitx2=C:\\B.E19\r\n", {"C:\\A.E19", "C:\\B.E19"}},
      {"[Convertir]\r\nMaxim=2147483647\r\nFitx2=C:\\B.E19\r\nfitx1= C:\\A.E19 \r\n",
       {"C:\\A.E19", "C:\\B.E19"}},
      {"[Convertir]\r\nMaxim=1\r\nFitx1=C:\\A.E19\r\nFitx2=C:\\B.E19\r\n", {"C:\\A.E19"}},
      {"[Convertir]\r\nMaxim=3\r\nFitx1=\r\nFitx3=\"C:\\C.E19\"\r\n[Altre]\r\nFitx2=C:\\X\r\n",
       {"Fitx1", "C:\\C.E19"}},
      {"[Convertir]\r\nMaxim=99999999\r\nFitx1=C:\\A.E19\r\nFitx1=C:\\X\r\nFitxer=C:\\Y\r\n",
       {"C:\\A.E19"}},
      {"[Convertir]\r\nMaxim=0\r\nFitx1=C:\\A.E19\r\n", {"why: la"}},
      {"[Convertir]\r\nMaxim=2147483647\r\n", {"why: la"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.list);
    EXPECT_EQ(Read(c.list), c.shown);
  }
}

}  // namespace
}  // namespace qxconvrt
