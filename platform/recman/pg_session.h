// The process's one connection to the server behind the "pg:" record
// files: statements prepared once per connection and run with binary
// parameters, and the classic status of a server error.
#pragma once

#include <libpq-fe.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform::recman::pg {

// The parameters of one statement: bytea and integers travel in binary,
// arrays as text.
class Params {
 public:
  Params& Bytes(std::string_view v);
  Params& Null();
  Params& Int64(int64_t v);
  Params& Int32(int32_t v);
  Params& Text(std::string_view v);
  int count() const { return static_cast<int>(values_.size()); }
  // The arrays libpq takes, valid while this object lives unchanged.
  void Arrays(std::vector<const char*>* values, std::vector<int>* lengths,
              std::vector<int>* formats) const;

 private:
  std::vector<std::string> values_;
  std::vector<bool> nulls_;
  std::vector<int> formats_;
};

// The result of one statement (binary columns), cleared when it goes.
class Result {
 public:
  Result() = default;
  explicit Result(PGresult* r) : r_(r) {}
  ~Result();
  Result(Result&& other) noexcept : r_(other.r_) { other.r_ = nullptr; }
  Result& operator=(Result&& other) noexcept;
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  bool ok() const;
  int rows() const;
  bool IsNull(int row, int column) const;
  std::string_view Bytes(int row, int column) const;
  int64_t Int64(int row, int column) const;  // a bigint column
  bool Bool(int row, int column) const;
  std::string SqlState() const;
  std::string Message() const;

 private:
  PGresult* r_ = nullptr;
};

// Process-wide: the connection of the process and what hangs on it.
struct ServerSession {
  std::string conninfo;
  PGconn* conn = nullptr;
  uint64_t epoch = 0;  // one more at every new connection
  std::map<std::string, std::string> prepared;  // SQL -> statement name
  int32_t lock_timeout_ms = -1;  // as last set on the connection
  std::string last_error;
  bool in_transaction = false;  // the caller's transaction
  bool begun = false;           // BEGIN sent on this connection
  bool lost_in_transaction = false;
  uint64_t reads_epoch = 0;     // one more at every begin: pages read before are stale
};
ServerSession& Session();

// Connects when there is no connection (or it was lost). 0, or 20 with the
// reason in LastServerError.
int16_t Connect();
// A new connection of its own for work that must not join the caller's
// transaction (create, drop). Null and the reason on failure.
PGconn* ConnectApart(int16_t* status);

// Runs a statement on the connection (prepared the first time).
Result Run(const std::string& sql, const Params& params);
// Runs SQL without parameters (BEGIN, COMMIT ...).
Result RunPlain(PGconn* conn, const char* sql);
// Runs a statement with parameters on another connection, unprepared.
Result RunOn(PGconn* conn, const std::string& sql, const Params& params);
// The name of sql among the statements prepared on conn (SQL -> name),
// prepared now under prefix and a number when it is not there yet. Empty,
// with the server's answer in *failure, when it cannot be prepared.
std::string PrepareOnce(PGconn* conn, std::map<std::string, std::string>* prepared, char prefix,
                        const std::string& sql, int params, Result* failure);
// A statement prepared on conn as name, with binary results.
Result RunPrepared(PGconn* conn, const std::string& name, const Params& params);
// The same sent without waiting for its answer (pipeline mode): false when
// it could not be sent.
bool SendPrepared(PGconn* conn, const std::string& name, const Params& params);

// The status of a failed result, with its reason kept for LastServerError:
// 95 when the connection is gone (the process's handles on the server then
// give 95 until they are opened again), 5 duplicate key, 85 a wait that
// timed out or a deadlock, 18 disk full, 46 no permission or a read-only
// server, 36 a statement refused because the transaction already failed,
// 2 anything else.
int16_t Failure(const Result& r, PGconn* conn = nullptr);
// Keeps a reason of ours (no server error) for LastServerError.
void Note(std::string reason);
// Text the server or libpq gave, without any password in it.
std::string Scrub(std::string text);

// Keeps the connection's lock_timeout equal to the record manager's wait.
int16_t SyncLockTimeout();

// After fork: the child forgets the parent's connection without touching it.
void ForgetInheritedSession();
// Drops the connection (the server frees its locks and rolls back).
void Disconnect();

}  // namespace platform::recman::pg
