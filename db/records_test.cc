#include "db/records.h"

#include <vector>

#include <gtest/gtest.h>

#include "db/test_files.h"
#include "platform/recman/btrcall.h"
#include "util/cp850.h"
#include "util/little_endian.h"

namespace db {
namespace {

using testing::ScratchRoot;
using testing::SpecBuffer;

// A 20-byte record: a 4-byte code (key 0, unique), a 2-byte little-endian
// number (key 1, binary, duplicates), then text.
std::string CodeSpec() {
  return SpecBuffer(20, {{1, 4, 0}, {5, 2, 0x04 | 0x01}});
}

std::string Record(const std::string& code, uint16_t number, const std::string& text = "") {
  std::string r(20, ' ');
  r.replace(0, 4, code.substr(0, 4));
  util::PutLe16(r, 4, number);
  r.replace(6, std::min<size_t>(text.size(), 14), text.substr(0, 14));
  return r;
}

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_.Dictionary("CODES", CodeSpec());
  }

  void OpenCodes(int16_t number = 7) {
    int16_t status = -1;
    OpenRecordFile(number, root_.Path("CODES"), &buffer_, status);
    ASSERT_EQ(status, 0);
  }
  void Insert(const std::string& record, int16_t number = 7) {
    buffer_ = record;
    int16_t status = -1;
    InsertRecord(number, status);
    ASSERT_EQ(status, 0);
  }

  ScratchRoot root_{"records"};
  // The words of every open that failed through OpenTold: what the program
  // tells the operator before it ends.
  std::vector<std::string> fatal_texts_;
  // Opens as the program does, for a Status.
  env::Code OpenTold(int16_t file_number, const std::string& path) {
    const env::Status opened = OpenRecordFile(file_number, path, &buffer_);
    if (!opened.ok()) fatal_texts_.push_back(opened.words());
    return opened.code();
  }
  std::string buffer_;
};

TEST_F(RecordsTest, MissingFileIsCreatedFromItsDictionaryAndOpened) {
  EXPECT_FALSE(root_.dir().Exists("CODES.dat"));
  buffer_ = "x";
  OpenCodes();
  EXPECT_TRUE(root_.dir().Exists("CODES.dat"));
  EXPECT_EQ(buffer_.size(), 20u);  // sized to the record length
  int16_t key_length = 0;
  int32_t record_length = 0;
  FileStatistics(7, 1, key_length, record_length);
  EXPECT_EQ(key_length, 2);
  EXPECT_EQ(record_length, 20);
  FileStatistics(7, 2, key_length, record_length);
  EXPECT_EQ(key_length, 0);
  std::string key;
  CurrentKeyValue(7, key);
  EXPECT_EQ(key, std::string(4, '\0'));  // zero bytes as long as key 0
  EXPECT_TRUE(fatal_texts_.empty());
}

TEST_F(RecordsTest, ExistingFileIsOpenedWithAnExtensionAndWithoutTheDictionary) {
  OpenCodes();
  Insert(Record("AAAA", 1));
  int16_t status = -1;
  CloseAllRecordFiles(status);
  ASSERT_EQ(status, 0);
  root_.dir().Remove("ddf/CODES.xdf");
  // Any case finds the file, and ".dat" is the extension given explicitly.
  OpenRecordFile(9, root_.Path("codes.DAT"), &buffer_, status);
  ASSERT_EQ(status, 0);
  GetByKey(9, 0, "AAAA", 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_, Record("AAAA", 1));
}

TEST_F(RecordsTest, FileThatCannotBeHadEndsTheProgramWithItsPathAndStatus) {
  env::session.LanguageCode = "CAT";
  int16_t status = 0;
  EXPECT_EQ(OpenTold(7, root_.Path("NODICT")), env::Code::kNotFound);
  ASSERT_EQ(fatal_texts_.size(), 1u);
  EXPECT_EQ(fatal_texts_[0], "NO ES POT ACCEDIR AL FITXER " + root_.Path("NODICT") + ".dat (12)");
  // The slot was given back: the number opens once the file can be had.
  root_.Dictionary("NODICT", CodeSpec());
  OpenRecordFile(7, root_.Path("NODICT"), &buffer_, status);
  EXPECT_EQ(status, 0);
}

// A file another user holds exclusively is waited for in steps of three
// seconds; Escape gives up, and the failure is then told like any other.
TEST_F(RecordsTest, FileHeldExclusivelyIsWaitedForUntilItIsFree) {
  OpenCodes();
  int16_t status = -1;
  CloseRecordFile(7, status);
  ASSERT_EQ(status, 0);
  char block[platform::recman::kPositionBlockSize] = {};
  std::string key = root_.host() + "/CODES.dat" + std::string(1, '\0');
  std::string owner("QDBK\0", 5);
  uint32_t length = 5;
  ASSERT_EQ(0, BTRCALL(platform::recman::kOpen, block, owner.data(), &length, key.data(),
                       static_cast<uint8_t>(key.size()), -4));
  // Slept in short steps, so that Escape is seen within a moment.
  int slept = 0;
  int longest = 0;
  Hooks.wait.pause = [&](int ms) {
    slept += ms;
    longest = std::max(longest, ms);
    if (slept == 6000) {
      uint32_t none = 0;
      BTRCALL(platform::recman::kClose, block, nullptr, &none, nullptr, 0, 0);
    }
  };
  Hooks.wait.escape_pressed = [] { return false; };
  OpenRecordFile(7, root_.Path("CODES"), &buffer_, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(slept, 6000);  // two waits of three seconds
  EXPECT_LE(longest, 50);
  EXPECT_TRUE(fatal_texts_.empty());
  CloseRecordFile(7, status);

  ASSERT_EQ(0, BTRCALL(platform::recman::kOpen, block, owner.data(), &length, key.data(),
                       static_cast<uint8_t>(key.size()), -4));
  slept = 0;
  Hooks.wait.pause = [&](int ms) { slept += ms; };
  Hooks.wait.escape_pressed = [&] { return slept == 7000; };
  env::session.LanguageCode = "CAT";
  EXPECT_EQ(OpenTold(7, root_.Path("CODES")), env::Code::kInUse);
  EXPECT_EQ(slept, 7000);  // given up in the middle of the third wait
  ASSERT_EQ(fatal_texts_.size(), 1u);
  EXPECT_EQ(fatal_texts_[0], "NO ES POT ACCEDIR AL FITXER " + root_.Path("CODES") + ".dat (85)");
  GetByKey(7, 0, "AAAA", 0, status);
  EXPECT_EQ(status, kNotInTable);  // the slot was given back
  uint32_t none = 0;
  BTRCALL(platform::recman::kClose, block, nullptr, &none, nullptr, 0, 0);
}

TEST_F(RecordsTest, TruncatedOrCorruptDictionaryIsNotHandedToCreate) {
  root_.dir().Put("ddf/SHORT.xdf", std::string("\x40\x00\x14\x00", 4));
  EXPECT_NE(OpenTold(7, root_.Path("SHORT")), env::Code::kOk);
  EXPECT_FALSE(root_.dir().Exists("SHORT.dat"));
  // A complete dictionary whose creation buffer the record manager refuses.
  root_.Dictionary("BAD", std::string(16, '\0'));
  EXPECT_NE(OpenTold(7, root_.Path("BAD")), env::Code::kOk);
  EXPECT_EQ(fatal_texts_.size(), 2u);
}

TEST_F(RecordsTest, TableRefusesASecondOpenOfANumberAndA41stFile) {
  OpenCodes(7);
  Insert(Record("AAAA", 1), 7);
  std::string other;
  int16_t status = 0;
  OpenRecordFile(7, root_.Path("CODES"), &other, status);
  EXPECT_EQ(status, kAlreadyOpen);
  // The first open is intact: its buffer and position still work.
  GetByKey(7, 0, "AAAA", 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_, Record("AAAA", 1));

  std::vector<std::string> buffers(41);
  for (int16_t n = 100; n < 139; ++n) {  // 39 more: all 40 slots in use
    OpenRecordFile(n, root_.Path("CODES"), &buffers[static_cast<size_t>(n - 100)], status);
    ASSERT_EQ(status, 0) << n;
  }
  OpenRecordFile(200, root_.Path("CODES"), &buffers[40], status);
  EXPECT_EQ(status, kTableFull);
  CloseRecordFile(100, status);
  EXPECT_EQ(status, 0);
  OpenRecordFile(200, root_.Path("CODES"), &buffers[40], status);
  EXPECT_EQ(status, 0);
  CloseAllRecordFiles(status);
  EXPECT_EQ(status, 0);
  GetByKey(7, 0, "AAAA", 0, status);
  EXPECT_EQ(status, kNotInTable);  // the table was emptied
}

TEST_F(RecordsTest, OperationsOnANumberNotInTheTableDoNothing) {
  int16_t status = 0;
  GetByKey(5, 0, "A", 0, status);
  EXPECT_EQ(status, 3);
  status = 0;
  MoveRecords(5, 1, status);
  EXPECT_EQ(status, 3);
  status = 0;
  InsertRecord(5, status);
  EXPECT_EQ(status, 3);
  status = 0;
  DeleteCurrent(5, status);
  EXPECT_EQ(status, 3);
  status = 0;
  SetFileOptions(5, "A", status);
  EXPECT_EQ(status, 3);
  int32_t position = 0;
  EXPECT_EQ(PositionRecord(5, position), 3);
  std::string key = "junk";
  CurrentKeyValue(5, key);
  EXPECT_EQ(key, "");
  EXPECT_EQ(KeySortForm("\x01\x02", 5), "\x01\x02");
  EXPECT_FALSE(root_.dir().Exists("db.log"));
  // 0 marks a free slot: a file under it would be lost in the table.
  OpenRecordFile(0, root_.Path("CODES"), &buffer_, status);
  EXPECT_EQ(status, 3);
  EXPECT_FALSE(root_.dir().Exists("CODES.dat"));
}

TEST_F(RecordsTest, MovesGoByTheCountOnTheCurrentKey) {
  OpenCodes();
  for (const char* code : {"AAAA", "BBBB", "CCCC", "DDDD", "EEEE"}) Insert(Record(code, 1));
  int16_t status = -1;
  GetByKey(7, 0, "AAAA", 0, status);
  ASSERT_EQ(status, 0);
  MoveRecords(7, 3, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_.substr(0, 4), "DDDD");
  std::string key;
  CurrentKeyValue(7, key);
  EXPECT_EQ(key, "DDDD");
  MoveRecords(7, -1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_.substr(0, 4), "CCCC");
  // Running off the end stops early with end of file; the buffer keeps
  // the last record handed over.
  MoveRecords(7, 5, status);
  EXPECT_EQ(status, 9);
  EXPECT_EQ(buffer_.substr(0, 4), "CCCC");
  // Nor is any record current: a delete that ignored the 9 removes nothing.
  DeleteCurrent(7, status);
  EXPECT_EQ(status, 8);
  GetByKey(7, 0, "", 1, status);
  MoveRecords(7, 4, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_.substr(0, 4), "EEEE");
  MoveRecords(7, -4, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_.substr(0, 4), "AAAA");
  MoveRecords(7, 0, status);
  EXPECT_EQ(status, 0);
}

TEST_F(RecordsTest, GetByKeyPadsShortKeysWithZeroBytesAndCutsLongOnes) {
  OpenCodes();
  for (const char* code : {"AB\x01\x00", "AB\x02\x00", "AC  "}) Insert(Record(std::string(code, 4), 1));
  int16_t status = -1;
  // "AB" becomes "AB\0\0": greater-or-equal finds the first AB record.
  GetByKey(7, 0, "AB", 1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_.substr(0, 4), std::string("AB\x01\x00", 4));
  GetByKey(7, 0, "AB", 0, status);
  EXPECT_EQ(status, 4);  // no record is exactly "AB\0\0"
  GetByKey(7, 0, "AB", -1, status);
  EXPECT_EQ(status, 9);  // nothing at or before it
  GetByKey(7, 0, "AC  and more", 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_.substr(0, 4), "AC  ");
  GetByKey(7, 0, "AZ", -1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_.substr(0, 4), "AC  ");
  GetByKey(7, 2, "AB", 0, status);
  EXPECT_EQ(status, kNoSuchKey);
  GetByKey(7, -1, "AB", 0, status);
  EXPECT_EQ(status, kNoSuchKey);
}

TEST_F(RecordsTest, InsertLogsOneLinePerInsertAndDeleteKeepsTheSuccessor) {
  env::session.LanguageCode = "CAT";
  OpenCodes(36);
  Insert(Record("AAAA", 1), 36);
  Insert(Record("BBBB", 2), 36);
  Insert(Record("CCCC", 3), 36);
  buffer_ = Record("BBBB", 9);
  int16_t status = 0;
  InsertRecord(36, status);
  EXPECT_EQ(status, 5);  // duplicate key 0
  std::string key;
  CurrentKeyValue(36, key);
  EXPECT_EQ(key, std::string(4, '\0'));
  std::string expected = LogLine(36, 2, 0) + LogLine(36, 2, 0) + LogLine(36, 2, 0) + LogLine(36, 2, 5);
  EXPECT_EQ(root_.dir().Get("db.log"), expected);

  GetByKey(36, 0, "BBBB", 0, status);
  ASSERT_EQ(status, 0);
  DeleteCurrent(36, status);
  EXPECT_EQ(status, 0);
  MoveRecords(36, 1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_.substr(0, 4), "CCCC");
  GetByKey(36, 0, "BBBB", 0, status);
  EXPECT_EQ(status, 4);
}

TEST(LogLineTest, NumbersSitInZonesOf14Columns) {
  EXPECT_EQ(LogLine(36, 2, 0), " 36" + std::string(11, ' ') + " 2" + std::string(12, ' ') + " 0\r\n");
  EXPECT_EQ(LogLine(502, 2, -1), " 502" + std::string(10, ' ') + " 2" + std::string(12, ' ') + "-1\r\n");
  EXPECT_EQ(LogLine(-32768, 2, 32767).substr(0, 16), "-32768         2");
}

TEST_F(RecordsTest, BinarySegmentsAreReversedIntoSortForm) {
  OpenCodes();
  Insert(Record("AAAA", 0x0102));
  Insert(Record("BBBB", 0x0201));
  int16_t status = -1;
  GetByKey(7, 1, "", 1, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(buffer_.substr(0, 4), "AAAA");  // 0x0102 sorts before 0x0201
  std::string key;
  CurrentKeyValue(7, key);
  EXPECT_EQ(key, "\x01\x02");
  EXPECT_EQ(KeySortForm("\x05", 7), std::string("\x00\x05", 2));  // padded first
  GetByKey(7, 0, "AAAA", 0, status);
  EXPECT_EQ(KeySortForm("AB", 7), "AB");  // string key: unchanged
}

TEST_F(RecordsTest, AlternateCollatingSegmentsGoThroughTheTable) {
  platform::recman::FileDefinition definition;
  definition.record_length = 10;
  definition.segments = {{1, 3, 0x20 | 0x10}, {4, 2, 0x04}};
  definition.alternate_name = "UPPER";
  for (int c = 0; c < 256; ++c) definition.alternate_table += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  root_.Dictionary("NAMES", platform::recman::EncodeCreationBuffer(definition));
  int16_t status = -1;
  OpenRecordFile(8, root_.Path("NAMES"), &buffer_, status);
  ASSERT_EQ(status, 0);
  GetByKey(8, 0, "", 1, status);  // the key of the last get decides the segments
  EXPECT_EQ(KeySortForm(std::string("abc\x01\x02", 5), 8), std::string("ABC\x02\x01", 5));
  EXPECT_EQ(KeySortForm("ab", 8), std::string("AB\0\0\0", 5));  // no bytes added by the table
}

TEST_F(RecordsTest, PositionsFindTheSameRecordAgain) {
  OpenCodes();
  Insert(Record("AAAA", 1, "first"));
  Insert(Record("BBBB", 2, "second"));
  int16_t status = -1;
  GetByKey(7, 0, "BBBB", 0, status);
  int32_t position = 0;
  ASSERT_EQ(PositionRecord(7, position), 0);
  EXPECT_NE(position, 0);
  GetByKey(7, 0, "AAAA", 0, status);
  EXPECT_EQ(buffer_, Record("AAAA", 1, "first"));
  EXPECT_EQ(PositionRecord(7, position), 0);
  EXPECT_EQ(buffer_, Record("BBBB", 2, "second"));
  MoveRecords(7, -1, status);  // the record found by position is current
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer_.substr(0, 4), "AAAA");
  int32_t nowhere = 999999;
  EXPECT_NE(PositionRecord(7, nowhere), 0);
}

TEST_F(RecordsTest, OptionLettersSetAndStackLockModes) {
  OpenCodes();
  int16_t status = -1;
  SetFileOptions(7, "a", status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(FileLockMode(7), kLockAndWait);
  SetFileOptions(7, "+bx", status);
  EXPECT_EQ(FileLockMode(7), kLockNoWait);
  SetFileOptions(7, "+D", status);
  EXPECT_EQ(FileLockMode(7), kNoLocking);
  SetFileOptions(7, "-", status);
  EXPECT_EQ(FileLockMode(7), kLockNoWait);
  SetFileOptions(7, "-", status);
  EXPECT_EQ(FileLockMode(7), kLockAndWait);
  SetFileOptions(7, "B-", status);  // nothing saved: the mode stays
  EXPECT_EQ(FileLockMode(7), kLockNoWait);
  EXPECT_TRUE(LockModeStack.empty());
}

TEST_F(RecordsTest, AbortedTransactionLeavesNoInsertOrDelete) {
  OpenCodes();
  Insert(Record("AAAA", 1));
  int16_t status = -1;
  BeginTransaction(status);
  ASSERT_EQ(status, 0);
  Insert(Record("BBBB", 2));
  GetByKey(7, 0, "AAAA", 0, status);
  DeleteCurrent(7, status);
  EXPECT_EQ(status, 0);
  AbortTransaction(status);
  EXPECT_EQ(status, 0);
  GetByKey(7, 0, "AAAA", 0, status);
  EXPECT_EQ(status, 0);
  GetByKey(7, 0, "BBBB", 0, status);
  EXPECT_EQ(status, 4);
  BeginTransaction(status);
  Insert(Record("CCCC", 3));
  EndTransaction(status);
  EXPECT_EQ(status, 0);
  GetByKey(7, 0, "CCCC", 0, status);
  EXPECT_EQ(status, 0);
  EndTransaction(status);
  EXPECT_NE(status, 0);  // none active
}

using MessagesTest = qdeb::testing::FreshStateTest;

TEST_F(MessagesTest, EachLanguageHasItsOwnTexts) {
  env::session.LanguageCode = "SPA";
  EXPECT_EQ(CannotAccessMessage("C:\\X.dat", 46), "NO SE PUEDE ACCEDER AL FICHERO C:\\X.dat (46)");
  EXPECT_EQ(FileLockedMessage(), "FICHERO BLOQUEADO. ESPERE UN MOMENTO.");
  env::session.LanguageCode = "GLG";
  EXPECT_EQ(CannotAccessMessage("X", -1), "NOM SE PODE ACEDER AO FICHEIRO X (-1)");
  EXPECT_EQ(FileLockedMessage(), "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO.");
  env::session.LanguageCode = "OCI";
  EXPECT_EQ(CannotAccessMessage("X", 12), util::Cp850("NON SE PÊT ACCEDIR ATH FICH╚R X (12)"));
  EXPECT_EQ(FileLockedMessage(), util::Cp850("FICH╚R BLOQUEJAT. ESPERATZ UN MOMENT."));
  env::session.LanguageCode = "";
  EXPECT_EQ(CannotAccessMessage("X", 12), "NO ES POT ACCEDIR AL FITXER X (12)");
  EXPECT_EQ(FileLockedMessage(), "FITXER BLOQUEJAT. ESPEREU UN MOMENT.");
}

}  // namespace
}  // namespace db
