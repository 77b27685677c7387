// The installation's dictionaries create files with the layouts and keys
// the generation and the catalogue read them by.
#include <gtest/gtest.h>

#include "db/records.h"
#include "db/test_files.h"
#include "platform/recman/btrcall.h"

namespace db {
namespace {

class DictionariesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"TrasBanc", "TRemeses", "USort"}) {
      const std::string xdf = std::string(name) + ".xdf";
      root_.dir().Put("ddf/" + xdf,
                      qdeb::testing::ReadHostFile(std::string(QDEB_SOURCE_DIR) + "/install/ddf/" + xdf));
    }
  }
  void Open(int16_t number, const char* name, std::string* buffer) {
    int16_t status = -1;
    OpenRecordFile(number, root_.Path(name), buffer, status);
    ASSERT_EQ(status, 0) << name;
  }
  void Insert(int16_t number) {
    int16_t status = -1;
    InsertRecord(number, status);
    ASSERT_EQ(status, 0);
  }

  testing::ScratchRoot root_{"dictionaries"};
};

TEST_F(DictionariesTest, FilesGetTheirRecordAndKeyLengths) {
  std::string receipts, remittances, catalogue;
  Open(36, "TrasBanc", &receipts);
  Open(502, "TRemeses", &remittances);
  Open(146, "USort", &catalogue);
  struct Expect {
    int16_t file, key, key_length;
    int32_t record_length;
  };
  for (Expect e : {Expect{36, 0, 11, 773}, Expect{36, 1, 13, 773}, Expect{36, 2, 0, 773},
                   Expect{502, 0, 2, 76}, Expect{502, 1, 0, 76}, Expect{146, 0, 80, 160}}) {
    int16_t key_length = -1;
    int32_t record_length = -1;
    FileStatistics(e.file, e.key, key_length, record_length);
    EXPECT_EQ(key_length, e.key_length) << e.file << " key " << e.key;
    EXPECT_EQ(record_length, e.record_length) << e.file;
  }
  EXPECT_EQ(receipts.size(), 773u);
  EXPECT_EQ(remittances.size(), 76u);
  EXPECT_EQ(catalogue.size(), 160u);
}

// Only the catalogue, thrown away at every start, is created as a scratch
// file (no syncs); the office's data keeps full sync.
TEST(Dictionaries, OnlyTheCatalogueIsAScratchFile) {
  for (const char* name : {"TrasBanc", "TRemeses", "TGenerat", "USort"}) {
    const std::string xdf =
        qdeb::testing::ReadHostFile(std::string(QDEB_SOURCE_DIR) + "/install/ddf/" + name + ".xdf");
    ASSERT_GE(xdf.size(), 14u) << name;
    // Two bytes of length, then the file block: its flags at offset 10.
    const unsigned flags = static_cast<unsigned char>(xdf[12]) | static_cast<unsigned char>(xdf[13]) << 8;
    EXPECT_EQ((flags & platform::recman::kFileScratch) != 0, std::string(name) == "USort") << name;
  }
}

TEST_F(DictionariesTest, RemittancesSortByHighThenLowByte) {
  std::string r;
  Open(502, "TRemeses", &r);
  r.assign(76, ' ');
  r[0] = '\x80';   // low 00
  r[75] = '\x81';  // high 01: remittance 0100
  Insert(502);
  r[0] = '\xE3';   // low 99
  r[75] = '\x80';  // remittance 0099
  Insert(502);
  int16_t status = -1;
  GetByKey(502, 0, "", 1, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(r[0], '\xE3');
  std::string key;
  CurrentKeyValue(502, key);
  EXPECT_EQ(key, "\x80\xE3");
  MoveRecords(502, 1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(r[75], '\x81');
}

TEST_F(DictionariesTest, ReceiptsOfARemittanceComeTogetherByKey1) {
  std::string r;
  Open(36, "TrasBanc", &r);
  auto receipt = [&r](char kind, char debtor, const char* remittance) {
    r.assign(773, ' ');
    r[0] = kind;
    r.replace(1, 6, 6, debtor);
    r.replace(7, 4, 4, '\x81');
    r.replace(11, 2, remittance);
  };
  receipt('A', '\x82', "B\x85");
  Insert(36);
  receipt('A', '\x81', "C\x85");
  Insert(36);
  receipt('B', '\x81', "B\x85");
  Insert(36);
  receipt('C', '\x81', "B\x86");
  Insert(36);
  receipt('A', '\x82', "B\x85");  // the same receipt again
  int16_t status = -1;
  InsertRecord(36, status);
  EXPECT_EQ(status, 5);

  std::vector<std::string> seen;
  GetByKey(36, 1, "B\x85", 1, status);
  while (status == 0 && r.substr(11, 2) == "B\x85") {
    seen.push_back(r.substr(0, 2));
    MoveRecords(36, 1, status);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"A\x82", "B\x81"}));
}

// The generation's loop over one remittance: each receipt read by key 1 is
// deleted and the next one read from there; the other remittances' receipts
// stay, and running the loop again finds nothing.
TEST_F(DictionariesTest, DeletingEachReceiptOfARemittanceWalksOnToTheNext) {
  std::string r;
  Open(36, "TrasBanc", &r);
  auto receipt = [&r](char kind, char number, const char* remittance) {
    r.assign(773, ' ');
    r[0] = kind;
    r.replace(1, 6, 6, '\x81');
    r.replace(7, 4, 4, number);
    r.replace(11, 2, remittance);
    int16_t status = -1;
    InsertRecord(36, status);
    ASSERT_EQ(status, 0);
  };
  receipt('A', '\x81', "B\x85");
  receipt('A', '\x82', "B\x85");
  receipt('B', '\x81', "B\x85");
  receipt('A', '\x83', "B\x84");
  receipt('A', '\x84', "B\x86");
  auto collect = [&r]() {
    std::vector<std::string> written;
    int16_t status = -1;
    GetByKey(36, 1, "B\x85", 1, status);
    while (status == 0 && r.substr(11, 2) == "B\x85") {
      written.push_back(r.substr(0, 1) + r.substr(7, 1));
      DeleteCurrent(36, status);
      EXPECT_EQ(status, 0);
      MoveRecords(36, 1, status);
    }
    return written;
  };
  EXPECT_EQ(collect(), (std::vector<std::string>{"A\x81", "A\x82", "B\x81"}));
  EXPECT_TRUE(collect().empty());
  std::vector<std::string> left;
  int16_t status = -1;
  GetByKey(36, 0, "", 1, status);
  while (status == 0) {
    left.push_back(r.substr(7, 1) + r.substr(11, 2));
    MoveRecords(36, 1, status);
  }
  EXPECT_EQ(status, 9);
  EXPECT_EQ(left, (std::vector<std::string>{"\x83" "B\x84", "\x84" "B\x86"}));
}

TEST_F(DictionariesTest, CatalogueKeepsTwoRecordsWithOneKey) {
  std::string r;
  Open(146, "USort", &r);
  r = std::string(80, ' ') + "first";
  r[0] = 'F';
  r.resize(160, ' ');
  Insert(146);
  r.replace(80, 6, "second");
  Insert(146);
  int16_t status = -1;
  GetByKey(146, 0, "F", 1, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(r.substr(80, 5), "first");
  MoveRecords(146, 1, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(r.substr(80, 6), "second");
}

}  // namespace
}  // namespace db
