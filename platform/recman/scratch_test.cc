// A scratch file is created, opened and written without a single sync,
// while a file without the flag keeps full sync. The syncs are counted by
// a VFS laid over SQLite's default one for the length of the test.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/recman/btrcall.h"
#include "platform/recman/store.h"
#include "platform/recman/test_support.h"

namespace platform::recman {
namespace {

using testing::Rec;
using testing::SpecBuffer;

// The counting VFS: every file it opens is the default VFS's file, placed
// right after ours, and every method but xSync only passes the call on.
struct CountingFile {
  sqlite3_file base;
  sqlite3_file* real;
};
struct SyncCounter {
  sqlite3_vfs* real = nullptr;
  sqlite3_vfs vfs{};
  int syncs = 0;
};
SyncCounter counter;

sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<CountingFile*>(f)->real; }
const sqlite3_io_methods* M(sqlite3_file* f) { return Real(f)->pMethods; }

const sqlite3_io_methods kCountingMethods = {
    3,
    [](sqlite3_file* f) { return M(f)->xClose(Real(f)); },
    [](sqlite3_file* f, void* p, int n, sqlite3_int64 at) { return M(f)->xRead(Real(f), p, n, at); },
    [](sqlite3_file* f, const void* p, int n, sqlite3_int64 at) { return M(f)->xWrite(Real(f), p, n, at); },
    [](sqlite3_file* f, sqlite3_int64 size) { return M(f)->xTruncate(Real(f), size); },
    [](sqlite3_file* f, int flags) {
      ++counter.syncs;
      return M(f)->xSync(Real(f), flags);
    },
    [](sqlite3_file* f, sqlite3_int64* size) { return M(f)->xFileSize(Real(f), size); },
    [](sqlite3_file* f, int lock) { return M(f)->xLock(Real(f), lock); },
    [](sqlite3_file* f, int lock) { return M(f)->xUnlock(Real(f), lock); },
    [](sqlite3_file* f, int* out) { return M(f)->xCheckReservedLock(Real(f), out); },
    [](sqlite3_file* f, int op, void* arg) { return M(f)->xFileControl(Real(f), op, arg); },
    [](sqlite3_file* f) { return M(f)->xSectorSize(Real(f)); },
    [](sqlite3_file* f) { return M(f)->xDeviceCharacteristics(Real(f)); },
    [](sqlite3_file* f, int page, int size, int extend, void volatile** out) {
      return M(f)->xShmMap(Real(f), page, size, extend, out);
    },
    [](sqlite3_file* f, int offset, int n, int flags) { return M(f)->xShmLock(Real(f), offset, n, flags); },
    [](sqlite3_file* f) { M(f)->xShmBarrier(Real(f)); },
    [](sqlite3_file* f, int remove) { return M(f)->xShmUnmap(Real(f), remove); },
    [](sqlite3_file* f, sqlite3_int64 at, int n, void** out) { return M(f)->xFetch(Real(f), at, n, out); },
    [](sqlite3_file* f, sqlite3_int64 at, void* p) { return M(f)->xUnfetch(Real(f), at, p); },
};

int CountingOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* out_flags) {
  auto* mine = reinterpret_cast<CountingFile*>(f);
  mine->real = reinterpret_cast<sqlite3_file*>(mine + 1);
  mine->base.pMethods = nullptr;
  const int rc = counter.real->xOpen(counter.real, name, mine->real, flags, out_flags);
  if (mine->real->pMethods != nullptr) mine->base.pMethods = &kCountingMethods;
  return rc;
}

class ScratchTest : public testing::RecmanTest {
 protected:
  void SetUp() override {
    counter.real = sqlite3_vfs_find(nullptr);
    ASSERT_NE(counter.real, nullptr);
    ASSERT_EQ(counter.real->iVersion, 3);
    counter.vfs = *counter.real;
    counter.vfs.szOsFile = static_cast<int>(sizeof(CountingFile)) + counter.real->szOsFile;
    counter.vfs.zName = "counting";
    counter.vfs.xOpen = CountingOpen;
    ASSERT_EQ(SQLITE_OK, sqlite3_vfs_register(&counter.vfs, 1));
  }
  void TearDown() override {
    ResetRecordManager();
    sqlite3_vfs_unregister(&counter.vfs);
    sqlite3_vfs_register(counter.real, 1);
  }
};

// The connection's synchronous setting (0 OFF ... 2 FULL) of the only file open.
int Synchronous() {
  if (OpenFiles().size() != 1) return -1;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(OpenFiles().begin()->second->db, "PRAGMA synchronous", -1, &st, nullptr);
  const int value = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
  sqlite3_finalize(st);
  return value;
}

TEST_F(ScratchTest, OnlyAScratchFileGoesWithoutSyncs) {
  struct Case {
    const char* name;
    uint16_t flags;
    bool syncs;
    int synchronous;
  };
  for (const Case& c : {Case{"plain", 0, true, 2}, Case{"variable", kFileVariableLength, true, 2},
                        Case{"scratch", kFileScratch, false, 0}}) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_ + "/" + c.name + ".dat";
    const std::string layout = SpecBuffer(20, {{1, 8, kKeyDuplicates}}, c.flags);
    counter.syncs = 0;
    Rec rec;
    // Created twice, as a work file is at every start: once new, once over
    // the old one.
    ASSERT_EQ(0, rec.Create(path, layout, -1));
    ASSERT_EQ(0, rec.Create(path, layout, 0));
    ASSERT_EQ(0, rec.Open(path));
    EXPECT_EQ(c.synchronous, Synchronous());
    ASSERT_EQ(0, rec.Insert("KEY00001 the record."));
    ASSERT_EQ(0, rec.Close());
    EXPECT_EQ(c.syncs, counter.syncs > 0) << counter.syncs << " syncs";
    // Whatever its syncs, the file is a WAL record file that keeps what was
    // written.
    ASSERT_EQ(0, rec.Open(path));
    ASSERT_EQ(0, rec.Get(kGetFirst));
    EXPECT_EQ("KEY00001 the record.", rec.Record());
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(OpenFiles().begin()->second->db, "PRAGMA journal_mode", -1, &st, nullptr);
    ASSERT_EQ(SQLITE_ROW, sqlite3_step(st));
    EXPECT_STREQ("wal", reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    ASSERT_EQ(0, rec.Close());
  }
}

}  // namespace
}  // namespace platform::recman
