// The record files of the program, over the record manager's single entry
// point: a table of up to 40 open files addressed by the caller's own file
// number (36 TrasBanc, 146 USort, 502 TRemeses ...), one record buffer per
// file owned by the caller, creation of a missing file from its dictionary
// "ddf\" + name + ".xdf" under env::session.RootDir, lock modes with waiting and
// retry, and one "db.log" line per insert.
//
// Every operation returns its status through its last argument (0 success,
// the record manager's codes, or the layer's own below); callers test it.
// Paths are the program's DOS paths in code page 850 ("C:\KIT\DADES\TrasBanc").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "env/status.h"
#include "platform/recman/status.h"
#include "ui/operator_wait.h"

namespace db {

// The record manager's statuses (platform/recman/status.h) pass through
// unchanged; these are the ones the layer itself looks at.
using platform::recman::kDataBufferTooShort;
using platform::recman::kFileInUse;
using platform::recman::kFileNotFound;
using platform::recman::kRecordInUse;

// The layer's own statuses: no file under that number in the table (the
// record manager's "file not open"), the number taken, the table full, a
// key the file does not have.
inline constexpr int16_t kNotInTable = platform::recman::kFileNotOpen;
inline constexpr int16_t kAlreadyOpen = 1002;
inline constexpr int16_t kTableFull = 1003;
inline constexpr int16_t kNoSuchKey = 1004;

inline constexpr int kMaxOpenFiles = 40;

// Lock modes of a file (SetFileOptions "D", "A", "B").
inline constexpr int16_t kNoLocking = 0;
inline constexpr int16_t kLockAndWait = 1;
inline constexpr int16_t kLockNoWait = 2;

// The lock modes saved by "+" and popped by "-", one byte each, the top at
// the end.
extern std::string LockModeStack;

// Opens the file under file_number (creating it from its dictionary when it
// does not exist) and registers record as its record buffer: every record
// read lands there, inserts take it from there. The buffer is sized to the
// file's record length; it must outlive the open. A file locked by another
// user is waited for in steps of 3 seconds (Escape gives up). A failure
// leaves the number's slot free; nothing is shown.
void OpenRecordFile(int16_t file_number, std::string_view path,
                    std::string* record, int16_t& status);
// The same for the layers above db/: ok, or the failure as RecordStatus
// words it with the file's path ("cannot access" the file, its status).
env::Status OpenRecordFile(int16_t file_number, std::string_view path, std::string* record);
// Closes one file and frees its slot (3 when it is not in the table).
void CloseRecordFile(int16_t file_number, int16_t& status);
// Record manager reset: every file of the process is closed, every lock and
// transaction dropped; on success the table is emptied.
void CloseAllRecordFiles(int16_t& status);

// direction 0 get equal, > 0 greater or equal, < 0 less or equal. The key
// value is padded with zero bytes, or cut, to the key's length.
void GetByKey(int16_t file_number, int16_t key_number, std::string_view key_value,
              int16_t direction, int16_t& status);
// count > 0 moves forward, < 0 backward, |count| records on the current key.
void MoveRecords(int16_t file_number, int32_t count, int16_t& status);
void InsertRecord(int16_t file_number, int16_t& status);
void DeleteCurrent(int16_t file_number, int16_t& status);
// Deletes the current record and reads the next one on the current key
// into the record buffer, in one call of the record manager: 0, or 9 when
// the delete left nothing after it. The delete's refusals (84, 80 ...)
// delete nothing and leave the buffer as it was; any other status may come
// after the delete, which then stands or falls with the caller's
// transaction.
void DeleteAndNext(int16_t file_number, int16_t& status);

// The key value of the current record in sort form; empty when the file is
// not open.
void CurrentKeyValue(int16_t file_number, std::string& result);
// key_text rearranged, segment by segment of the key last used on the file,
// into the order the record manager sorts by, so that such texts compare as
// plain byte strings. Unchanged when the file is not in the table.
std::string KeySortForm(std::string_view key_text, int16_t file_number);

// Letters, any case, applied in order: "D" lock mode 0, "A" lock mode 1 (lock
// and wait), "B" lock mode 2 (lock, do not wait), "+" push the lock mode,
// "-" pop it. Other letters are ignored.
void SetFileOptions(int16_t file_number, std::string_view options, int16_t& status);

// position 0: the current record's position is returned in position.
// Otherwise the record at that position becomes current and is copied into
// the record buffer. Returns the status.
int16_t PositionRecord(int16_t file_number, int32_t& position);

// Key length of key_number (0 when the file has no such key or is not open)
// and the file's record length.
void FileStatistics(int16_t file_number, int16_t key_number, int16_t& key_length,
                    int32_t& record_length);

// The record manager's transaction over every open file: changes made inside
// become visible to the other terminals together at EndTransaction, or not at
// all after AbortTransaction.
void BeginTransaction(int16_t& status);
void EndTransaction(int16_t& status);
void AbortTransaction(int16_t& status);

// The record buffer registered for an open file (nullptr when the number is
// not in the table): the program's parts that share a file read its
// records there.
std::string* RecordBuffer(int16_t file_number);

// The lock mode of an open file (0 when it is not in the table).
int16_t FileLockMode(int16_t file_number);

// How the layer meets the operator, filled once at start-up by the program;
// every member may be left empty (tests, tools without a screen).
struct LayerHooks {
  // The waits for a record or a file locked by another terminal: the
  // locked-file message, sleeps, Escape to give up. Empty: silent waits
  // that cannot be given up.
  ui::WaitHooks wait;
};
extern LayerHooks Hooks;

// The layer's messages in env::session.LanguageCode's language, each completed with
// the path and status where it has them.
std::string CannotAccessMessage(std::string_view path, int16_t status);
std::string FileLockedMessage();
// A numbered status of the record manager leaving db/: the words of
// CannotAccessMessage, the path as subject, a code by its kind (a file not
// there, the disk full, held by another terminal, not a record file; the
// rest kDatabase). Ok for status 0.
env::Status RecordStatus(std::string_view path, int16_t status);

// One db.log line: the file number, the operation and the status, each as
// decimal text led by a blank when 0 or more ("-" otherwise), the first two
// padded to the next multiple of 14 columns, ended by CR LF.
std::string LogLine(int16_t file_number, int16_t operation, int16_t status);

}  // namespace db
