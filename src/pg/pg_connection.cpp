#include "pg/pg_connection.h"

#include <dlfcn.h>
#include <libpq-fe.h>

#include <memory>
#include <utility>

namespace tavex {

namespace {

// libpq is loaded when the first connection is opened, not with the program:
// linked in, it and the libraries it pulls (Kerberos, LDAP, TLS) would cost every
// run of tavex-cli, whatever its command, several milliseconds of dynamic loading,
// a sizeable share of validating a file of tens of megabytes.
constexpr const char* kLibpqName = "libpq.so.5";

struct Libpq {
  decltype(&::PQclear) PQclear = nullptr;
  decltype(&::PQconnectdb) PQconnectdb = nullptr;
  decltype(&::PQdb) PQdb = nullptr;
  decltype(&::PQerrorMessage) PQerrorMessage = nullptr;
  decltype(&::PQexec) PQexec = nullptr;
  decltype(&::PQexecParams) PQexecParams = nullptr;
  decltype(&::PQfinish) PQfinish = nullptr;
  decltype(&::PQgetResult) PQgetResult = nullptr;
  decltype(&::PQgetisnull) PQgetisnull = nullptr;
  decltype(&::PQgetlength) PQgetlength = nullptr;
  decltype(&::PQgetvalue) PQgetvalue = nullptr;
  decltype(&::PQnfields) PQnfields = nullptr;
  decltype(&::PQntuples) PQntuples = nullptr;
  decltype(&::PQputCopyData) PQputCopyData = nullptr;
  decltype(&::PQputCopyEnd) PQputCopyEnd = nullptr;
  decltype(&::PQresultErrorField) PQresultErrorField = nullptr;
  decltype(&::PQresultErrorMessage) PQresultErrorMessage = nullptr;
  decltype(&::PQresultStatus) PQresultStatus = nullptr;
  decltype(&::PQsetClientEncoding) PQsetClientEncoding = nullptr;
  decltype(&::PQsetNoticeProcessor) PQsetNoticeProcessor = nullptr;
  decltype(&::PQstatus) PQstatus = nullptr;
  decltype(&::PQtransactionStatus) PQtransactionStatus = nullptr;
  decltype(&::PQuser) PQuser = nullptr;
};

template <typename Fn>
void bind(void* handle, const char* name, Fn& slot, std::string& error) {
  slot = reinterpret_cast<Fn>(::dlsym(handle, name));
  if (slot == nullptr && error.empty()) error = std::string(kLibpqName) + ": " + name + " ausente";
}

struct LoadedLibpq {
  Libpq functions;
  std::string error;  // why it could not be loaded; empty when it was
};

const LoadedLibpq& loadLibpq() {
  static const LoadedLibpq loaded = [] {
    LoadedLibpq result;
    void* handle = ::dlopen(kLibpqName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = ::dlerror();
      result.error = why != nullptr ? why : kLibpqName;
      return result;
    }
    Libpq& lib = result.functions;
    bind(handle, "PQclear", lib.PQclear, result.error);
    bind(handle, "PQconnectdb", lib.PQconnectdb, result.error);
    bind(handle, "PQdb", lib.PQdb, result.error);
    bind(handle, "PQerrorMessage", lib.PQerrorMessage, result.error);
    bind(handle, "PQexec", lib.PQexec, result.error);
    bind(handle, "PQexecParams", lib.PQexecParams, result.error);
    bind(handle, "PQfinish", lib.PQfinish, result.error);
    bind(handle, "PQgetResult", lib.PQgetResult, result.error);
    bind(handle, "PQgetisnull", lib.PQgetisnull, result.error);
    bind(handle, "PQgetlength", lib.PQgetlength, result.error);
    bind(handle, "PQgetvalue", lib.PQgetvalue, result.error);
    bind(handle, "PQnfields", lib.PQnfields, result.error);
    bind(handle, "PQntuples", lib.PQntuples, result.error);
    bind(handle, "PQputCopyData", lib.PQputCopyData, result.error);
    bind(handle, "PQputCopyEnd", lib.PQputCopyEnd, result.error);
    bind(handle, "PQresultErrorField", lib.PQresultErrorField, result.error);
    bind(handle, "PQresultErrorMessage", lib.PQresultErrorMessage, result.error);
    bind(handle, "PQresultStatus", lib.PQresultStatus, result.error);
    bind(handle, "PQsetClientEncoding", lib.PQsetClientEncoding, result.error);
    bind(handle, "PQsetNoticeProcessor", lib.PQsetNoticeProcessor, result.error);
    bind(handle, "PQstatus", lib.PQstatus, result.error);
    bind(handle, "PQtransactionStatus", lib.PQtransactionStatus, result.error);
    bind(handle, "PQuser", lib.PQuser, result.error);
    return result;  // the library stays loaded for the life of the program
  }();
  return loaded;
}

// The functions; called only once a connection exists, so the library is loaded.
const Libpq& pq() { return loadLibpq().functions; }

struct ResultDeleter {
  void operator()(PGresult* r) const { pq().PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

std::string trimmed(const char* text) {
  std::string s = text != nullptr ? text : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

void ignoreNotice(void*, const char*) {}  // "already exists, skipping" and the like are not for the user

}  // namespace

PgConnection::~PgConnection() {
  if (conn_ != nullptr) pq().PQfinish(conn_);
}

bool PgConnection::fail(const std::string& message, const std::string& state) {
  error_ = message;
  sqlState_ = state;
  return false;
}

bool PgConnection::connect(const std::string& conninfo) {
  if (conn_ != nullptr) pq().PQfinish(conn_);
  conn_ = nullptr;
  conninfo_ = conninfo;
  if (const std::string& loadError = loadLibpq().error; !loadError.empty())
    return fail("a biblioteca do PostgreSQL não pôde ser carregada (" + loadError + ")");
  conn_ = pq().PQconnectdb(conninfo.c_str());
  if (conn_ == nullptr) return fail("out of memory");
  if (pq().PQstatus(conn_) != CONNECTION_OK) return fail(trimmed(pq().PQerrorMessage(conn_)));
  pq().PQsetNoticeProcessor(conn_, ignoreNotice, nullptr);
  pq().PQsetClientEncoding(conn_, "UTF8");
  error_.clear();
  sqlState_.clear();
  return true;
}

bool PgConnection::connected() const { return conn_ != nullptr && pq().PQstatus(conn_) == CONNECTION_OK; }

bool PgConnection::reconnect() { return connect(conninfo_); }

namespace {

// The outcome of a finished command: true when it succeeded.
bool resultOk(PGresult* r) {
  const ExecStatusType s = pq().PQresultStatus(r);
  return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK || s == PGRES_COPY_IN;
}

}  // namespace

bool PgConnection::exec(const std::string& sql) {
  if (conn_ == nullptr) return fail("not connected");
  Result r(pq().PQexec(conn_, sql.c_str()));
  if (r == nullptr || !resultOk(r.get())) {
    const char* state = r != nullptr ? pq().PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : nullptr;
    return fail(trimmed(r != nullptr ? pq().PQresultErrorMessage(r.get()) : pq().PQerrorMessage(conn_)),
                state != nullptr ? state : "");
  }
  return true;
}

std::optional<PgConnection::Rows> PgConnection::query(const std::string& sql,
                                                      const std::vector<std::optional<std::string>>& params,
                                                      const std::string& nullText) {
  if (conn_ == nullptr) {
    fail("not connected");
    return std::nullopt;
  }
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
  Result r(pq().PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                        nullptr, 0));
  if (r == nullptr || !resultOk(r.get())) {
    const char* state = r != nullptr ? pq().PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : nullptr;
    fail(trimmed(r != nullptr ? pq().PQresultErrorMessage(r.get()) : pq().PQerrorMessage(conn_)), state != nullptr ? state : "");
    return std::nullopt;
  }
  Rows rows(static_cast<std::size_t>(pq().PQntuples(r.get())));
  const int columns = pq().PQnfields(r.get());
  for (int i = 0; i < pq().PQntuples(r.get()); ++i) {
    auto& row = rows[static_cast<std::size_t>(i)];
    for (int c = 0; c < columns; ++c)
      row.push_back(pq().PQgetisnull(r.get(), i, c)
                        ? nullText
                        : std::string(pq().PQgetvalue(r.get(), i, c), static_cast<std::size_t>(pq().PQgetlength(r.get(), i, c))));
  }
  return rows;
}

bool PgConnection::copyIn(const std::string& copyStatement, std::string_view data) {
  bool given = false;
  return copyPieces(copyStatement, [&](std::string_view& piece) {
    piece = data;
    return !std::exchange(given, true);
  });
}

bool PgConnection::copyIn(const std::string& copyStatement, const std::function<bool(std::string& piece)>& next) {
  std::string buffer;
  return copyPieces(copyStatement, [&](std::string_view& piece) {
    buffer.clear();
    if (!next(buffer)) return false;
    piece = buffer;
    return true;
  });
}

bool PgConnection::copyPieces(const std::string& copyStatement, const std::function<bool(std::string_view&)>& next) {
  if (conn_ == nullptr) return fail("not connected");
  {
    Result start(pq().PQexec(conn_, copyStatement.c_str()));
    if (start == nullptr || pq().PQresultStatus(start.get()) != PGRES_COPY_IN) {
      const char* state = start != nullptr ? pq().PQresultErrorField(start.get(), PG_DIAG_SQLSTATE) : nullptr;
      return fail(trimmed(start != nullptr ? pq().PQresultErrorMessage(start.get()) : pq().PQerrorMessage(conn_)),
                  state != nullptr ? state : "");
    }
  }
  // Sent in pieces so no single message grows with the batch.
  constexpr std::size_t kPiece = 1 << 20;
  bool sent = true;
  std::string_view data;
  while (sent && next(data))
    for (std::size_t at = 0; sent && at < data.size(); at += kPiece) {
      const std::size_t n = std::min(kPiece, data.size() - at);
      sent = pq().PQputCopyData(conn_, data.data() + at, static_cast<int>(n)) == 1;
    }
  const std::string sendError = sent ? "" : trimmed(pq().PQerrorMessage(conn_));
  if (pq().PQputCopyEnd(conn_, sent ? nullptr : "envio interrompido") != 1 && sent)
    return fail(trimmed(pq().PQerrorMessage(conn_)));
  bool ok = sent;
  std::string state;
  std::string message = sendError;
  while (PGresult* raw = pq().PQgetResult(conn_)) {
    Result r(raw);
    if (pq().PQresultStatus(raw) != PGRES_COMMAND_OK) {
      if (ok || message.empty()) message = trimmed(pq().PQresultErrorMessage(raw));
      const char* s = pq().PQresultErrorField(raw, PG_DIAG_SQLSTATE);
      if (s != nullptr) state = s;
      ok = false;
    }
    if (pq().PQstatus(conn_) == CONNECTION_BAD) break;
  }
  if (!ok) return fail(message.empty() ? trimmed(pq().PQerrorMessage(conn_)) : message, state);
  return true;
}

void PgConnection::rollbackQuietly() {
  if (!connected() || pq().PQtransactionStatus(conn_) == PQTRANS_IDLE) return;
  const std::string keepError = error_;
  const std::string keepState = sqlState_;
  Result r(pq().PQexec(conn_, "ROLLBACK"));
  error_ = keepError;
  sqlState_ = keepState;
}

std::string PgConnection::database() const { return conn_ != nullptr ? trimmed(pq().PQdb(conn_)) : ""; }
std::string PgConnection::user() const { return conn_ != nullptr ? trimmed(pq().PQuser(conn_)) : ""; }

void appendCopyText(std::string& row, std::string_view text) {
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char* escape = c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
    if (escape == nullptr) continue;
    row.append(text.data() + plain, i - plain);
    row.append(escape);
    plain = i + 1;
  }
  row.append(text.data() + plain, text.size() - plain);
}

}  // namespace tavex
