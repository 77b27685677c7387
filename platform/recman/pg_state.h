// The "pg:" record files this process has open and the position blocks on
// them: the same cursor and lock rules as the SQLite files (call.h), kept
// in a table of their own so that the two back ends never share a handle.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/recman/call.h"
#include "platform/recman/keyspec.h"

namespace platform::recman::pg {

// What names a record file on the server: its table and its advisory lock
// keys, all derived from the name.
struct ServerName {
  std::string name;    // as the caller gave it, after "pg:"
  std::string table;   // schema-qualified and quoted
  std::string bare;    // the table's name alone
  int64_t mode_key = 0;     // open modes: shared, or exclusive for -4
  int64_t writer_key = 0;   // writers: held by a transaction, or one write
  int32_t record_space = 0; // record locks are (record_space, position)
};
ServerName NameOf(const std::string& name);

// One row as read in key order.
struct Row {
  int64_t id = 0;
  std::string data;
  std::optional<std::string> sort_key;
};

// A page of rows in key order, read ahead for next or previous.
struct Page {
  int key = -1;
  bool forward = true;
  uint64_t writes = 0;       // the file's write count when it was read
  uint64_t reads_epoch = 0;  // the session's begin count then
  std::vector<Row> rows;
  size_t next = 0;  // the row next or previous returns
};

struct ServerFile {
  ServerName name;
  FileLayout layout;
  uint64_t epoch = 0;  // the connection it was opened on
  int handles = 0;
  int exclusive_opens = 0;
  bool mode_locked = false;
  bool mode_exclusive = false;
  bool in_transaction = false;  // holds the writer lock of the transaction
  uint64_t writes = 0;          // every change by this process
  std::map<int64_t, int> record_locks;  // position -> handle that holds it
  std::vector<std::vector<std::string>> key_sql;
};

struct ServerHandle {
  bool used = false;
  uint32_t generation = 0;
  std::shared_ptr<ServerFile> file;
  bool exclusive = false;
  bool read_only = false;
  ops::Cursor cursor;
  int64_t single_lock = 0;
  std::set<int64_t> multiple_locks;
  Page page;
};

// Process-wide: the handles and open files of the server back end.
struct ServerTable {
  std::vector<ServerHandle> handles;
  std::map<std::string, std::shared_ptr<ServerFile>> files;  // by name
};
ServerTable& Table();

// The first bytes of a position block opened on the server.
constexpr char kServerMagic[4] = {'Q', 'R', 'M', '\x02'};
ServerHandle* ServerHandleOf(void* block, int* index);

// The checks every call on an open block makes: 95 when the connection it
// was opened on was lost inside the transaction still open.
int16_t Alive(const ServerHandle& h);

// Record locks (pg_locks.cc), as in call.h.
void ReleaseLock(ops::Call& c, ServerHandle& h, int64_t id);
void ReleaseAllLocks(ops::Call& c, ServerHandle& h);
int16_t TakeLock(ops::Call& c, ServerHandle& h, int64_t id);
// Whether a record is free of others' locks (84 when it is not).
int16_t CheckUnlocked(ServerFile& f, int64_t id);

// Files on the server (pg_files.cc).
int16_t CreateServerFile(const std::string& name, const FileLayout& layout, bool overwrite);
int16_t ReadServerLayout(const ServerName& name, FileLayout* layout);
int16_t TakeModeLock(ServerFile& f, bool exclusive);
void DropModeLock(ServerFile& f);
// Puts a file opened on a connection since lost on the current one, its
// open-mode lock taken again and every record lock and page forgotten:
// 0, or the status of the mode lock refused. Never inside a transaction,
// whose work the lost connection took with it.
int16_t Rejoin(ServerFile& f);

// Record operations (pg_reads.cc, pg_writes.cc).
void SetServerCursor(ServerHandle& h, int key, int64_t id, std::string_view record,
                     const std::optional<std::string>* sort_key = nullptr);
int16_t ServerGetByKey(ops::Call& c, ServerHandle& h);
int16_t ServerGetDirect(ops::Call& c, ServerHandle& h);
int16_t ServerInsert(ops::Call& c, ServerHandle& h);
int16_t ServerUpdate(ops::Call& c, ServerHandle& h);
int16_t ServerDelete(ops::Call& c, ServerHandle& h);

// Transactions (pg_transactions.cc).
int16_t ServerBegin();
int16_t ServerEnd();
void ServerRollback();
// Joins a file opened inside a transaction to it.
int16_t JoinTransaction(ServerFile& f);

}  // namespace platform::recman::pg
