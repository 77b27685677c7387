#include "files/paths.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "files/listing.h"

#include "files/scratch_test.h"
#include "tests/support/random.h"

namespace files {
namespace {

TEST(PathPartTest, PartsJoinInDriveDirectoryBaseExtensionOrder) {
  const std::string path = "C:\\KIT\\DADES\\a.b.c";
  EXPECT_EQ(PathPart(path, 1), "C:");
  EXPECT_EQ(PathPart(path, 2), "\\KIT\\DADES\\");
  EXPECT_EQ(PathPart(path, 4), "a.b");
  EXPECT_EQ(PathPart(path, 8), ".c");
  EXPECT_EQ(PathPart(path, 4 + 8), "a.b.c");
  EXPECT_EQ(PathPart(path, 1 + 2), "C:\\KIT\\DADES\\");
  EXPECT_EQ(PathPart(path, 15), path);
  EXPECT_EQ(PathPart(path, 0), "");
}

TEST(PathPartTest, ShortAndOddPaths) {
  EXPECT_EQ(PathPart("A:BACKUP.001", 2), "");
  EXPECT_EQ(PathPart("A:BACKUP.001", 4), "BACKUP");
  EXPECT_EQ(PathPart("README", 4 + 8), "README");
  EXPECT_EQ(PathPart("README", 8), "");
  EXPECT_EQ(PathPart("dir.x/name", 8), "");  // a dot before the separator is no extension
  EXPECT_EQ(PathPart("dir.x/name", 2), "dir.x/");
  EXPECT_EQ(PathPart("\\KIT\\", 4 + 8), "");
  EXPECT_EQ(PathPart("", 15), "");
  EXPECT_EQ(PathPart("C:", 15), "C:");
  EXPECT_EQ(PathPart(":", 15), ":");
}

class PathsTest : public ScratchTest {};

TEST_F(PathsTest, AbsolutePathNormalises) {
  std::filesystem::create_directories(root_ + "/kit/dades");
  std::filesystem::current_path(root_ + "/kit");
  std::string path = "  dades/../dades/./x  ";
  AbsolutePath(path);
  EXPECT_EQ(path, Dos("kit\\dades\\x\\"));
  path = "c:\\A\\B\\";
  AbsolutePath(path);
  EXPECT_EQ(path, "C:\\A\\B\\");
  path = "";
  AbsolutePath(path);
  EXPECT_EQ(path, Dos("kit\\"));
}

TEST_F(PathsTest, AbsolutePathNeverClimbsAboveTheRoot) {
  std::string path = "C:\\..\\..\\KIT\\..\\..\\X";
  AbsolutePath(path);
  EXPECT_EQ(path, "C:\\X\\");
  path = "C:..\\..\\..\\..\\..\\..\\..\\..";
  std::filesystem::current_path(root_);
  AbsolutePath(path);
  EXPECT_EQ(path, "C:\\");
}

TEST_F(PathsTest, AbsolutePathOfAnAbsentDriveIsEmpty) {
  std::string path = "Q:\\KIT";
  AbsolutePath(path);
  EXPECT_EQ(path, "");
  SetEnv("KITDRIVES", "A=" + root_ + "/a:removable");
  path = "A:\\";
  AbsolutePath(path);
  EXPECT_EQ(path, "");  // its folder does not exist
  std::filesystem::create_directories(root_ + "/a");
  std::filesystem::current_path(root_);
  path = "a:x";  // another drive's current directory is its root
  AbsolutePath(path);
  EXPECT_EQ(path, "A:\\x\\");
}

TEST_F(PathsTest, MakePathCreatesEveryLevelReusingExistingCase) {
  std::filesystem::create_directories(root_ + "/Kit");
  EXPECT_TRUE(MakePath(Dos("KIT\\DADES\\2026")).ok());
  EXPECT_TRUE(std::filesystem::is_directory(root_ + "/Kit/DADES/2026"));
  EXPECT_FALSE(Exists("KIT"));
  // All there: nothing changes, no error.
  EXPECT_TRUE(MakePath(Dos("kit\\dades\\2026\\")).ok());
  EXPECT_TRUE(std::filesystem::is_directory(root_ + "/Kit/DADES/2026"));
  // An absent drive, and a file where a folder should be, are said.
  EXPECT_EQ(MakePath("Q:\\X").code(), env::Code::kNotFound);
  std::fclose(std::fopen((root_ + "/Kit/FILE").c_str(), "w"));
  const env::Status blocked = MakePath(Dos("KIT\\FILE\\SUB"));
  EXPECT_FALSE(blocked.ok());
  EXPECT_NE(blocked.Text().find("SUB"), std::string::npos) << blocked.Text();
  (void)MakePath("");
}

TEST_F(PathsTest, UniqueFileNameShapeAndFreshness) {
  std::string name = UniqueFileName(Dos("out"), "Q19XYZ", ".TXTX");
  std::string dir = Dos("out\\");
  ASSERT_EQ(name.size(), dir.size() + 12);
  EXPECT_EQ(name.substr(0, dir.size() + 3), dir + "Q19");
  EXPECT_EQ(name.substr(name.size() - 4), ".TXT");
  for (size_t i = dir.size() + 3; i < dir.size() + 8; ++i) {
    char c = name[i];
    EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) << name;
  }
  EXPECT_EQ(UniqueFileName("A:", "", "").size(), 10u);  // "A:" + 8, no extension
  // A name taken is not given again, even within the same hundredth of a second.
  std::filesystem::create_directories(root_ + "/out");
  for (int i = 0; i < 20; ++i) {
    std::string fresh = UniqueFileName(dir, "Q", "E19");
    ASSERT_FALSE(std::filesystem::exists(root_ + "/out/" + fresh.substr(dir.size())));
    Touch("out/" + fresh.substr(dir.size()));
  }
}

TEST_F(PathsTest, FileTimeStampIsTheStoredUtcTime) {
  Touch("f.q19");
  using namespace std::chrono;
  auto when = sys_days{year{2025} / 6 / 30} + hours{23} + minutes{59} + seconds{58};
  std::filesystem::last_write_time(root_ + "/f.q19", file_clock::from_sys(when));
  EXPECT_EQ(FileTimeStamp(Dos("F.Q19")), "20250630235958");
  EXPECT_EQ(file_stamp.FileStampYear, 2025);
  EXPECT_EQ(file_stamp.FileStampMonth, 6);
  EXPECT_TRUE(FileDatedBefore(Dos("f.q19"), "20250701"));
  EXPECT_FALSE(FileDatedBefore(Dos("f.q19"), "20250630"));
}

TEST_F(PathsTest, UnreadableDatesGiveAnEmptyStampAndKeepTheFile) {
  EXPECT_EQ(FileTimeStamp(Dos("missing.q19")), "");
  EXPECT_EQ(file_stamp.FileStampYear, 0);
  EXPECT_EQ(file_stamp.FileStampMonth, 0);
  EXPECT_EQ(FileTimeStamp(""), "");
  EXPECT_EQ(FileTimeStamp("Q:\\X"), "");
  // A purge asks whether a file is older than its limit: never for this one.
  EXPECT_FALSE(FileDatedBefore(Dos("missing.q19"), "99991231"));
  EXPECT_FALSE(FileDatedBefore(Dos("missing.q19"), ""));
}

TEST_F(PathsTest, GarbagePathsKeepTheirShape) {
  std::filesystem::current_path(root_);
  const std::string alphabet = std::string("\\/:.*?aZ ") + '\0' + "\x81\xff..";
  qdeb::testing::Random random(19);
  for (int round = 0; round < 3000; ++round) {
    std::string path;
    int size = static_cast<int>(random() % 12);
    for (int i = 0; i < size; ++i) path += alphabet[random() % alphabet.size()];
    // The four parts always put the path back together.
    ASSERT_EQ(PathPart(path, 15), path);
    std::string absolute = path;
    AbsolutePath(absolute);
    if (!absolute.empty()) {
      ASSERT_GE(absolute.size(), 3u);
      EXPECT_EQ(absolute.substr(1, 2), ":\\");
      EXPECT_EQ(absolute.back(), '\\');
      EXPECT_EQ(absolute.find("\\..\\"), std::string::npos) << absolute;
      EXPECT_EQ(absolute.find("\\.\\"), std::string::npos) << absolute;
    }
    FileExists(path);
    FileTimeStamp(path);
  }
}

}  // namespace
}  // namespace files
