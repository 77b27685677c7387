#include "files/listing.h"

#include <filesystem>
#include <vector>

#include "files/scratch_test.h"

namespace files {
namespace {

class ListingTest : public ScratchTest {
 protected:
  std::vector<std::string> ListAll(const std::string& path) {
    std::vector<std::string> names;
    static_cast<void>(StartListing(path));
    std::string name;
    while (!NextListed(name)) names.push_back(name);
    EndListing();
    return names;
  }
};

TEST_F(ListingTest, FileExistsFollowsTheAttributeMask) {
  Touch("dades/Remesa.q19");
  Touch("dades/.ocult");
  std::filesystem::create_directories(root_ + "/dades/AAA");
  EXPECT_TRUE(FileExists(Dos("DADES\\REMESA.Q19")));
  EXPECT_TRUE(FileExists(Dos("dades\\*.Q19")));
  EXPECT_FALSE(FileExists(Dos("dades\\*.E19")));
  // A directory that sorts first does not hide the files after it.
  EXPECT_TRUE(FileExists(Dos("dades\\*.*")));
  EXPECT_FALSE(FileExists(Dos("dades\\AAA")));
  EXPECT_FALSE(FileExists(Dos("dades\\.ocult")));
  listings.ListAttributes = 0x10;
  EXPECT_TRUE(FileExists(Dos("dades\\aaa")));
  EXPECT_FALSE(FileExists(Dos("dades\\remesa.q19")));
  listings.ListAttributes = 0x02;  // no kind given: plain files are added, and kept
  EXPECT_TRUE(FileExists(Dos("dades\\.ocult")));
  EXPECT_EQ(listings.ListAttributes, 0x22);
  listings.ListAttributes = 0;
  EXPECT_TRUE(FileExists(Dos("dades\\remesa.q19")));
  EXPECT_EQ(listings.ListAttributes, 0x20);
}

TEST_F(ListingTest, FileExistsOnBadPathsIsFalse) {
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists("Q:\\X"));
  EXPECT_FALSE(FileExists(Dos("")));
  EXPECT_FALSE(FileExists(Dos("none\\*.*")));
  EXPECT_FALSE(FileExists(Dos(".")));
  EXPECT_FALSE(FileExists(Dos("..")));
  EXPECT_FALSE(FileExists(std::string("C:\\\0x", 5)));
}

TEST_F(ListingTest, VolumeLabelsAreFoundOnlyAtTheDriveRoot) {
  std::filesystem::create_directories(root_ + "/a/sub");
  SetEnv("KITDRIVES", "A=" + root_ + "/a:removable");
  listings.ListAttributes = 0x08;
  EXPECT_FALSE(FileExists("A:\\*.*"));
  Touch("a/.label", "VOL001");
  EXPECT_TRUE(FileExists("A:\\*.*"));
  EXPECT_TRUE(FileExists("A:\\VOL*"));
  EXPECT_FALSE(FileExists("A:\\sub\\*.*"));
  EXPECT_EQ(ListAll("A:\\*.*"), std::vector<std::string>{"VOL001"});
}

TEST_F(ListingTest, TheLabelFileOfADriveIsNoFileOfIt) {
  std::filesystem::create_directories(root_ + "/a/sub");
  SetEnv("KITDRIVES", "A=" + root_ + "/a:removable");
  Touch("a/.label", "VOL001");
  Touch("a/BACKUP.001");
  Touch("a/sub/.label");
  listings.ListAttributes = 0x22;  // hidden files too
  EXPECT_EQ(ListAll("A:\\*.*"), std::vector<std::string>{"BACKUP.001"});
  EXPECT_FALSE(FileExists("A:\\.LABEL"));
  // Elsewhere a file of that name is an ordinary hidden file.
  EXPECT_TRUE(FileExists("A:\\SUB\\.label"));
  listings.ListAttributes = 0x20;
  // Clearing a diskette keeps its label.
  EXPECT_EQ(RemoveEntry("A:\\*.*").code(), env::Code::kOk);
  EXPECT_FALSE(Exists("a/BACKUP.001"));
  EXPECT_TRUE(Exists("a/.label"));
  listings.ListAttributes = 0x08;
  EXPECT_TRUE(FileExists("A:\\*.*"));
}

TEST_F(ListingTest, ListingsAreUpperCasedAndSelected) {
  Touch("d/b.txt");
  Touch("d/a.TXT");
  Touch("d/.hidden.txt");
  Touch("d/c.dat");
  Touch("d/caf\xff.txt");
  // Read-only is no reason to leave a file out, as it never was for a
  // directory search; hidden is.
  Touch("d/fixa.txt");
  std::filesystem::permissions(root_ + "/d/fixa.txt", std::filesystem::perms::owner_read);
  std::filesystem::create_directories(root_ + "/d/sub.txt");
  EXPECT_EQ(ListAll(Dos("d\\*.txt")),
            (std::vector<std::string>{"A.TXT", "B.TXT", "CAF?.TXT", "FIXA.TXT"}));
  EXPECT_TRUE(FileExists(Dos("d\\FIXA.TXT")));
  listings.ListAttributes = 0x21;
  EXPECT_EQ(ListAll(Dos("d\\*.txt")),
            (std::vector<std::string>{"A.TXT", "B.TXT", "CAF?.TXT", "FIXA.TXT"}));
  listings.ListAttributes = 0x10;
  EXPECT_EQ(ListAll(Dos("d\\*.*")), std::vector<std::string>{"SUB.TXT"});
  EXPECT_TRUE(listings.ListingStack.empty());
}

TEST_F(ListingTest, EmptyListingsEndAtOnce) {
  std::string name = "old";
  // A folder that cannot be read gives an empty listing, and says so.
  EXPECT_FALSE(StartListing(Dos("nothing\\*.*")).ok());
  EXPECT_TRUE(NextListed(name));
  EXPECT_EQ(name, "");
  EXPECT_TRUE(NextListed(name));
  EndListing();
  EXPECT_TRUE(NextListed(name));  // no listing at all
  EndListing();                   // nor anything to end
}

TEST_F(ListingTest, AfterTheLastNameAnEmptyName) {
  Touch("d/one");
  static_cast<void>(StartListing(Dos("d\\*.*")));
  std::string name;
  EXPECT_FALSE(NextListed(name));
  EXPECT_EQ(name, "ONE");
  EXPECT_TRUE(NextListed(name));
  EXPECT_EQ(name, "");
  EndListing();
}

TEST_F(ListingTest, NestedListingsEndInnerFirst) {
  Touch("outer/o1");
  Touch("outer/o2");
  Touch("inner/i1");
  static_cast<void>(StartListing(Dos("outer\\*.*")));
  std::string outer_file = listings.ListingStack.substr(0, listings.ListingStack.find('|'));
  std::string name;
  ASSERT_FALSE(NextListed(name));
  EXPECT_EQ(name, "O1");
  // Started at once, in the same hundredth of a second: a list file of its own.
  static_cast<void>(StartListing(Dos("inner\\*.*")));
  std::string inner_file = listings.ListingStack.substr(0, listings.ListingStack.find('|'));
  EXPECT_NE(inner_file, outer_file);
  EXPECT_EQ(listings.ListingStack, inner_file + "|" + outer_file + "|");
  ASSERT_FALSE(NextListed(name));
  EXPECT_EQ(name, "I1");
  EndListing();
  EXPECT_FALSE(std::filesystem::exists(inner_file));
  EXPECT_TRUE(std::filesystem::exists(outer_file));
  ASSERT_FALSE(NextListed(name));
  EXPECT_EQ(name, "O2");  // the outer one goes on where it was
  EndListing();
  EXPECT_FALSE(std::filesystem::exists(outer_file));
  EXPECT_EQ(listings.ListingStack, "");
}

TEST_F(ListingTest, ListFileLayout) {
  Touch("d/x1");
  Touch("d/y2");
  static_cast<void>(StartListing(Dos("d\\*.*")));
  std::string file = listings.ListingStack.substr(0, listings.ListingStack.find('|'));
  EXPECT_EQ(std::filesystem::path(file).parent_path(), root_ + "/temp");
  EXPECT_EQ(std::filesystem::path(file).extension(), ".dir");
  std::string content = ReadAll(file);
  EXPECT_EQ(content, std::string("\x05\0\0\0X1\r\nY2\r\n", 12));
}

TEST_F(ListingTest, MissingTempDirectoriesFallBack) {
  SetEnv("TEMP", root_ + "/gone");
  SetEnv("TMPDIR", root_ + "/temp");
  EXPECT_EQ(TempDirectory(), root_ + "/temp");
  unsetenv("TMPDIR");
  EXPECT_EQ(TempDirectory(), "/tmp");
  SetEnv("TMPDIR", root_ + "/gone2");
  Touch("d/x1");
  EXPECT_EQ(ListAll(Dos("d\\*.*")), std::vector<std::string>{"X1"});
}

TEST_F(ListingTest, RemoveEntryFilesAndDirectories) {
  Touch("d/a.q19");
  Touch("d/b.q19");
  Touch("d/keep.xml");
  EXPECT_EQ(RemoveEntry(Dos("D\\A.Q19")).code(), env::Code::kOk);
  EXPECT_FALSE(Exists("d/a.q19"));
  EXPECT_EQ(RemoveEntry(Dos("d\\a.q19")).code(), env::Code::kNotFound);
  EXPECT_EQ(RemoveEntry(Dos("d\\*.Q19")).code(), env::Code::kOk);
  EXPECT_FALSE(Exists("d/b.q19"));
  EXPECT_TRUE(Exists("d/keep.xml"));
  EXPECT_EQ(RemoveEntry(Dos("d\\*.Q19")).code(), env::Code::kNotFound);
  // A directory: its files go, then the directory itself.
  EXPECT_EQ(RemoveEntry(Dos("d")).code(), env::Code::kOk);
  EXPECT_FALSE(Exists("d"));
  // One with a directory inside stays, with the error of the failed removal.
  Touch("e/f");
  Touch("e/sub/g");
  EXPECT_EQ(RemoveEntry(Dos("e")).code(), env::Code::kFileError);
  EXPECT_TRUE(Exists("e/sub/g"));
  // Named with its closing separator, a directory goes just the same.
  Touch("old/x.q19");
  Touch("old/.y");
  EXPECT_EQ(RemoveEntry(Dos("OLD\\")).code(), env::Code::kOk);
  EXPECT_FALSE(Exists("old"));
}

TEST_F(ListingTest, RemoveEntryNeverEmptiesADriveRoot) {
  std::filesystem::create_directories(root_ + "/a");
  Touch("a/BACKUP.001");
  SetEnv("KITDRIVES", "A=" + root_ + "/a:removable");
  std::filesystem::current_path(root_ + "/a");
  for (const char* path : {"", "   ", "A:", "A:\\", "\\", "A:.", "A:\\..", "Q:\\X", "A:\\\\",
                           "\\/", "A:\\..\\", "A:\\.\\", "BACKUP.001\\..\\"}) {
    EXPECT_NE(RemoveEntry(path).code(), env::Code::kOk) << path;
    EXPECT_TRUE(Exists("a/BACKUP.001")) << path;
  }
}

}  // namespace
}  // namespace files
