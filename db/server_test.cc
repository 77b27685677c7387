#include "db/server.h"

#include <gtest/gtest.h>

#include <string>

#include "db/records.h"
#include "db/test_files.h"
#include "platform/recman/server.h"

namespace db {
namespace {

using testing::ScratchRoot;

// One file, one name: the program's path, any case or separator, with or
// without the ".dat" the layer adds, or the host's path; nothing outside
// the root.
TEST(ServerFileNameTest, NamesAFileByItsPathUnderTheRootWhicheverWayItIsReached) {
  ScratchRoot root("server_name");
  root.dir().MakeDir("DADES");
  root.dir().Put("DADES/TrasBanc.dat", "");
  const struct {
    std::string path;
    std::string name;
  } cases[] = {
      {root.Path("DADES\\TrasBanc"), "DADES\\TRASBANC"},
      {root.Path("dades/trasbanc.DAT"), "DADES\\TRASBANC"},
      {root.host() + "/DADES/TrasBanc.dat", "DADES\\TRASBANC"},
      {"DADES\\TrasBanc", "DADES\\TRASBANC"},  // relative to the root, the current folder
      {root.Path("NOU\\Fitxer.idx"), "NOU\\FITXER.IDX"},
      {root.Path("..\\ALTRE"), ""},
      {"C:\\ELSEWHERE\\X", ""},
      {root.Path(""), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ServerFileName(c.path), c.name) << c.path;

  EXPECT_EQ(RecordManagerPath(root.Path("DADES\\TrasBanc")), root.host() + "/DADES/TrasBanc");
  env::session.DatabaseServer = "host=/nowhere";
  EXPECT_EQ(RecordManagerPath(root.Path("DADES\\TrasBanc")), "pg:DADES\\TRASBANC");
  // A work file outside the root stays a file of this host.
  EXPECT_EQ(RecordManagerPath("C:\\ELSEWHERE\\USort"), "/ELSEWHERE/USort");
}

// A server that cannot be reached: the operator reads the file's path and
// the server's reason, never the password of the connection string.
TEST(ServerFileNameTest, UnreachableServerIsToldWithTheFileAndTheReasonWithoutThePassword) {
  ScratchRoot root("server_down");
  env::session.DatabaseServer = "host=127.0.0.1 port=1 dbname=kit user=u password=secret-x9";
  UseSessionServer();
  std::string record;
  const env::Status opened = OpenRecordFile(5, root.Path("DADES\\TrasBanc"), &record);
  ASSERT_FALSE(opened.ok());
  EXPECT_NE(opened.words().find(root.Path("DADES\\TrasBanc.dat") + " (20)"), std::string::npos)
      << opened.words();
  EXPECT_NE(opened.words().find("refused"), std::string::npos) << opened.words();
  EXPECT_EQ(opened.words().find("secret"), std::string::npos) << opened.words();
  platform::recman::SetServer("");
}

}  // namespace
}  // namespace db
