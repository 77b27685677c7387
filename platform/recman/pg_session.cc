#include "platform/recman/pg_session.h"

#include <unistd.h>

#include <cstring>

#include "platform/recman/server.h"
#include "platform/recman/status.h"
#include "platform/recman/store.h"

namespace platform::recman {

void SetServer(std::string conninfo) { pg::Session().conninfo = std::move(conninfo); }

std::string LastServerError() { return pg::Session().last_error; }

namespace pg {

ServerSession& Session() {
  // Process-wide: the record manager's one connection to the server.
  static ServerSession session;
  return session;
}

namespace {

std::string BigEndian(uint64_t v, int bytes) {
  std::string out(static_cast<size_t>(bytes), '\0');
  for (int i = bytes - 1; i >= 0; --i) {
    out[static_cast<size_t>(i)] = static_cast<char>(v & 0xFF);
    v >>= 8;
  }
  return out;
}

// The password of the connection string, to be kept out of every message.
std::string PasswordOf(const std::string& conninfo) {
  std::string password;
  PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), nullptr);
  if (options == nullptr) return password;
  for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
    if (std::strcmp(o->keyword, "password") == 0 && o->val != nullptr) password = o->val;
  }
  PQconninfoFree(options);
  return password;
}

// The server's notices (a warning, a hint) are not for the operator's
// screen: libpq would print them on standard error.
void IgnoreNotice(void*, const char*) {}

PGconn* Open(const std::string& conninfo, std::string* error) {
  // The process id in the application name lets the server's administrator
  // tell the terminals apart.
  std::string application = "qdebconv " + std::to_string(getpid());
  const char* keys[] = {"dbname", "fallback_application_name", nullptr};
  const char* values[] = {conninfo.c_str(), application.c_str(), nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 1);
  if (conn != nullptr) PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
  if (conn != nullptr && PQstatus(conn) == CONNECTION_OK) {
    // Record bytes are compared byte by byte and sent as they are.
    PQclear(PQexec(conn, "SET client_min_messages = warning"));
    return conn;
  }
  *error = conn != nullptr ? PQerrorMessage(conn) : "out of memory";
  if (conn != nullptr) PQfinish(conn);
  return nullptr;
}

}  // namespace

Params& Params::Bytes(std::string_view v) {
  values_.emplace_back(v);
  nulls_.push_back(false);
  formats_.push_back(1);
  return *this;
}
Params& Params::Null() {
  values_.emplace_back();
  nulls_.push_back(true);
  formats_.push_back(1);
  return *this;
}
Params& Params::Int64(int64_t v) {
  values_.push_back(BigEndian(static_cast<uint64_t>(v), 8));
  nulls_.push_back(false);
  formats_.push_back(1);
  return *this;
}
Params& Params::Int32(int32_t v) {
  values_.push_back(BigEndian(static_cast<uint32_t>(v), 4));
  nulls_.push_back(false);
  formats_.push_back(1);
  return *this;
}
Params& Params::Text(std::string_view v) {
  values_.emplace_back(v);
  nulls_.push_back(false);
  formats_.push_back(0);
  return *this;
}

void Params::Arrays(std::vector<const char*>* values, std::vector<int>* lengths,
                    std::vector<int>* formats) const {
  for (size_t i = 0; i < values_.size(); ++i) {
    values->push_back(nulls_[i] ? nullptr : values_[i].data());
    lengths->push_back(static_cast<int>(values_[i].size()));
  }
  *formats = formats_;
}

Result::~Result() {
  if (r_ != nullptr) PQclear(r_);
}
Result& Result::operator=(Result&& other) noexcept {
  if (this != &other) {
    if (r_ != nullptr) PQclear(r_);
    r_ = other.r_;
    other.r_ = nullptr;
  }
  return *this;
}
bool Result::ok() const {
  if (r_ == nullptr) return false;
  ExecStatusType s = PQresultStatus(r_);
  return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
}
int Result::rows() const { return r_ != nullptr ? PQntuples(r_) : 0; }
bool Result::IsNull(int row, int column) const { return PQgetisnull(r_, row, column) != 0; }
std::string_view Result::Bytes(int row, int column) const {
  return std::string_view(PQgetvalue(r_, row, column),
                          static_cast<size_t>(PQgetlength(r_, row, column)));
}
int64_t Result::Int64(int row, int column) const {
  std::string_view b = Bytes(row, column);
  uint64_t v = 0;
  for (char ch : b) v = v << 8 | static_cast<unsigned char>(ch);
  return static_cast<int64_t>(v);
}
bool Result::Bool(int row, int column) const {
  std::string_view b = Bytes(row, column);
  return !b.empty() && b[0] != 0;
}
std::string Result::SqlState() const {
  const char* s = r_ != nullptr ? PQresultErrorField(r_, PG_DIAG_SQLSTATE) : nullptr;
  return s != nullptr ? s : "";
}
std::string Result::Message() const {
  const char* s = r_ != nullptr ? PQresultErrorMessage(r_) : nullptr;
  return s != nullptr ? s : "";
}

std::string Scrub(std::string text) {
  // One line, without the trailing newline libpq leaves.
  for (char& ch : text) {
    if (ch == '\n' || ch == '\r') ch = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  std::string password = PasswordOf(Session().conninfo);
  if (password.size() >= 1) {
    for (size_t at = text.find(password); at != std::string::npos; at = text.find(password, at)) {
      text.replace(at, password.size(), "***");
    }
  }
  // "password=..." however it came in.
  for (size_t at = text.find("password="); at != std::string::npos;
       at = text.find("password=", at + 1)) {
    size_t end = text.find_first_of(" \t'\"", at + 9);
    text.replace(at + 9, (end == std::string::npos ? text.size() : end) - (at + 9), "***");
  }
  return text;
}

void Note(std::string reason) { Session().last_error = Scrub(std::move(reason)); }

int16_t Connect() {
  ServerSession& s = Session();
  if (s.conn != nullptr && PQstatus(s.conn) == CONNECTION_OK) return 0;
  Disconnect();
  std::string error;
  s.conn = Open(s.conninfo, &error);
  if (s.conn == nullptr) {
    Note("the server cannot be reached: " + error);
    return kServerUnavailable;
  }
  s.epoch++;
  s.begun = false;
  s.lock_timeout_ms = -1;
  if (s.in_transaction && !s.lost_in_transaction) {
    // A transaction begun before the first file on the server was opened.
    Result r = RunPlain(s.conn, "BEGIN");
    if (!r.ok()) return Failure(r);
    s.begun = true;
  }
  return 0;
}

PGconn* ConnectApart(int16_t* status) {
  std::string error;
  PGconn* conn = Open(Session().conninfo, &error);
  if (conn == nullptr) {
    Note("the server cannot be reached: " + error);
    *status = kServerUnavailable;
  }
  return conn;
}

void Disconnect() {
  ServerSession& s = Session();
  if (s.conn != nullptr) PQfinish(s.conn);
  s.conn = nullptr;
  s.prepared.clear();
  s.begun = false;
}

void ForgetInheritedSession() {
  ServerSession& s = Session();
  // The socket is the parent's too: PQfinish would end the parent's session.
  // The child closes its copy of the descriptor and leaves the rest alone.
  if (s.conn != nullptr && PQsocket(s.conn) >= 0) close(PQsocket(s.conn));
  s.conn = nullptr;
  s.prepared.clear();
  s.begun = false;
  s.in_transaction = false;
  s.lost_in_transaction = false;
}

Result RunPlain(PGconn* conn, const char* sql) { return Result(PQexec(conn, sql)); }

namespace {

// The arrays libpq takes for params, valid while both live.
struct ParamArrays {
  explicit ParamArrays(const Params& params) : count(params.count()) {
    params.Arrays(&values, &lengths, &formats);
  }
  int count;
  std::vector<const char*> values;
  std::vector<int> lengths;
  std::vector<int> formats;
};

}  // namespace

Result RunOn(PGconn* conn, const std::string& sql, const Params& params) {
  const ParamArrays a(params);
  return Result(PQexecParams(conn, sql.c_str(), a.count, nullptr, a.values.data(), a.lengths.data(),
                             a.formats.data(), 1));
}

std::string PrepareOnce(PGconn* conn, std::map<std::string, std::string>* prepared, char prefix,
                        const std::string& sql, int params, Result* failure) {
  auto it = prepared->find(sql);
  if (it != prepared->end()) return it->second;
  const std::string name = prefix + std::to_string(prepared->size() + 1);
  Result made(PQprepare(conn, name.c_str(), sql.c_str(), params, nullptr));
  if (!made.ok()) {
    *failure = std::move(made);
    return {};
  }
  prepared->emplace(sql, name);
  return name;
}

Result RunPrepared(PGconn* conn, const std::string& name, const Params& params) {
  const ParamArrays a(params);
  return Result(PQexecPrepared(conn, name.c_str(), a.count, a.values.data(), a.lengths.data(),
                               a.formats.data(), 1));
}

bool SendPrepared(PGconn* conn, const std::string& name, const Params& params) {
  const ParamArrays a(params);
  return PQsendQueryPrepared(conn, name.c_str(), a.count, a.values.data(), a.lengths.data(),
                             a.formats.data(), 1) != 0;
}

Result Run(const std::string& sql, const Params& params) {
  ServerSession& s = Session();
  if (s.conn == nullptr) return Result();
  Result failure;
  const std::string name = PrepareOnce(s.conn, &s.prepared, 'q', sql, params.count(), &failure);
  if (name.empty()) return failure;
  return RunPrepared(s.conn, name, params);
}

int16_t Failure(const Result& r, PGconn* conn) {
  ServerSession& s = Session();
  if (conn == nullptr) conn = s.conn;
  std::string state = r.SqlState();
  std::string message = r.Message();
  if (message.empty() && conn != nullptr) message = PQerrorMessage(conn);
  if (message.empty()) message = "no connection to the server";
  Note(message);
  if (conn == nullptr || PQstatus(conn) != CONNECTION_OK || state.rfind("08", 0) == 0 ||
      state == "57P01" || state == "57P02" || state == "57P03") {
    if (conn == s.conn) {
      // The server has rolled back whatever was open and freed every lock.
      if (s.in_transaction) s.lost_in_transaction = true;
      Disconnect();
    }
    return kSessionLost;
  }
  if (state == "23505") return kDuplicateKey;
  if (state == "55P03" || state == "40P01" || state == "40001") return kFileInUse;
  if (state == "53100") return kDiskFull;
  if (state == "42501" || state == "25006") return kAccessDenied;
  if (state == "25P02") return kTransactionError;
  return kIoError;
}

int16_t SyncLockTimeout() {
  ServerSession& s = Session();
  if (s.lock_timeout_ms == BusyTimeoutMs) return 0;
  Params p;
  p.Text(std::to_string(BusyTimeoutMs));
  Result r = Run("SELECT set_config('lock_timeout', $1, false)", p);
  if (!r.ok()) return Failure(r);
  s.lock_timeout_ms = BusyTimeoutMs;
  return 0;
}

}  // namespace pg
}  // namespace platform::recman
