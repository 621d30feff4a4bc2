#include "pg/pg_connection.h"

#include <libpq-fe.h>

#include <memory>

namespace tavex {

namespace {

struct ResultDeleter {
  void operator()(PGresult* r) const { PQclear(r); }
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
  if (conn_ != nullptr) PQfinish(conn_);
}

bool PgConnection::fail(const std::string& message, const std::string& state) {
  error_ = message;
  sqlState_ = state;
  return false;
}

bool PgConnection::connect(const std::string& conninfo) {
  if (conn_ != nullptr) PQfinish(conn_);
  conninfo_ = conninfo;
  conn_ = PQconnectdb(conninfo.c_str());
  if (conn_ == nullptr) return fail("out of memory");
  if (PQstatus(conn_) != CONNECTION_OK) return fail(trimmed(PQerrorMessage(conn_)));
  PQsetNoticeProcessor(conn_, ignoreNotice, nullptr);
  PQsetClientEncoding(conn_, "UTF8");
  error_.clear();
  sqlState_.clear();
  return true;
}

bool PgConnection::connected() const { return conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK; }

bool PgConnection::reconnect() { return connect(conninfo_); }

namespace {

// The outcome of a finished command: true when it succeeded.
bool resultOk(PGresult* r) {
  const ExecStatusType s = PQresultStatus(r);
  return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK || s == PGRES_COPY_IN;
}

}  // namespace

bool PgConnection::exec(const std::string& sql) {
  if (conn_ == nullptr) return fail("not connected");
  Result r(PQexec(conn_, sql.c_str()));
  if (r == nullptr || !resultOk(r.get())) {
    const char* state = r != nullptr ? PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : nullptr;
    return fail(trimmed(r != nullptr ? PQresultErrorMessage(r.get()) : PQerrorMessage(conn_)),
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
  Result r(PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                        nullptr, 0));
  if (r == nullptr || !resultOk(r.get())) {
    const char* state = r != nullptr ? PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : nullptr;
    fail(trimmed(r != nullptr ? PQresultErrorMessage(r.get()) : PQerrorMessage(conn_)), state != nullptr ? state : "");
    return std::nullopt;
  }
  Rows rows(static_cast<std::size_t>(PQntuples(r.get())));
  const int columns = PQnfields(r.get());
  for (int i = 0; i < PQntuples(r.get()); ++i) {
    auto& row = rows[static_cast<std::size_t>(i)];
    for (int c = 0; c < columns; ++c)
      row.push_back(PQgetisnull(r.get(), i, c)
                        ? nullText
                        : std::string(PQgetvalue(r.get(), i, c), static_cast<std::size_t>(PQgetlength(r.get(), i, c))));
  }
  return rows;
}

bool PgConnection::copyIn(const std::string& copyStatement, std::string_view data) {
  if (conn_ == nullptr) return fail("not connected");
  {
    Result start(PQexec(conn_, copyStatement.c_str()));
    if (start == nullptr || PQresultStatus(start.get()) != PGRES_COPY_IN) {
      const char* state = start != nullptr ? PQresultErrorField(start.get(), PG_DIAG_SQLSTATE) : nullptr;
      return fail(trimmed(start != nullptr ? PQresultErrorMessage(start.get()) : PQerrorMessage(conn_)),
                  state != nullptr ? state : "");
    }
  }
  // Sent in pieces so no single message grows with the batch.
  constexpr std::size_t kPiece = 1 << 20;
  bool sent = true;
  for (std::size_t at = 0; sent && at < data.size(); at += kPiece) {
    const std::size_t n = std::min(kPiece, data.size() - at);
    sent = PQputCopyData(conn_, data.data() + at, static_cast<int>(n)) == 1;
  }
  const std::string sendError = sent ? "" : trimmed(PQerrorMessage(conn_));
  if (PQputCopyEnd(conn_, sent ? nullptr : "envio interrompido") != 1 && sent)
    return fail(trimmed(PQerrorMessage(conn_)));
  bool ok = sent;
  std::string state;
  std::string message = sendError;
  while (PGresult* raw = PQgetResult(conn_)) {
    Result r(raw);
    if (PQresultStatus(raw) != PGRES_COMMAND_OK) {
      if (ok || message.empty()) message = trimmed(PQresultErrorMessage(raw));
      const char* s = PQresultErrorField(raw, PG_DIAG_SQLSTATE);
      if (s != nullptr) state = s;
      ok = false;
    }
    if (PQstatus(conn_) == CONNECTION_BAD) break;
  }
  if (!ok) return fail(message.empty() ? trimmed(PQerrorMessage(conn_)) : message, state);
  return true;
}

void PgConnection::rollbackQuietly() {
  if (!connected() || PQtransactionStatus(conn_) == PQTRANS_IDLE) return;
  const std::string keepError = error_;
  const std::string keepState = sqlState_;
  Result r(PQexec(conn_, "ROLLBACK"));
  error_ = keepError;
  sqlState_ = keepState;
}

std::string PgConnection::database() const { return conn_ != nullptr ? trimmed(PQdb(conn_)) : ""; }
std::string PgConnection::user() const { return conn_ != nullptr ? trimmed(PQuser(conn_)) : ""; }

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
