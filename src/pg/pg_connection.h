// One connection to a PostgreSQL server through libpq, with the few calls the
// load needs: commands, queries with text parameters, and COPY FROM STDIN.
//
// Connection text: a libpq URI ("postgresql://user@host/db") or key=value string;
// what it leaves out comes from the PG* environment variables and ~/.pgpass, as
// in every libpq client. Texts cross this class in UTF-8. Errors never throw:
// each call answers false (or nothing) and error() / sqlState() tell why. One
// owner, one thread at a time.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct pg_conn;

namespace tavex {

class PgConnection {
 public:
  PgConnection() = default;
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Opens the connection. False when the server cannot be reached or refuses it.
  bool connect(const std::string& conninfo);
  // True while the connection is usable (it breaks when the server goes away).
  bool connected() const;
  // Tries once to connect again with the same text (after the server went away).
  bool reconnect();

  // Runs statements that return no rows (several may be given, separated by ";").
  bool exec(const std::string& sql);

  // Runs one statement with $1.. text parameters (nullopt is NULL); its rows with
  // each value as text (NULL as `nullText`), or nothing on failure.
  using Rows = std::vector<std::vector<std::string>>;
  std::optional<Rows> query(const std::string& sql, const std::vector<std::optional<std::string>>& params = {},
                            const std::string& nullText = "");

  // COPY ... FROM STDIN with `data` already in COPY text format.
  bool copyIn(const std::string& copyStatement, std::string_view data);
  // The same with the data given piece by piece: `next` fills its argument (cleared
  // before each call) and answers false once there is no more; a piece may end
  // anywhere. For data larger than one wants to hold at once.
  bool copyIn(const std::string& copyStatement, const std::function<bool(std::string& piece)>& next);

  // Rolls back an open transaction when the connection still works; keeps error().
  void rollbackQuietly();

  // The last failure's message (libpq's text, trimmed) and SQLSTATE ("" when none).
  const std::string& error() const { return error_; }
  const std::string& sqlState() const { return sqlState_; }

  // The database, user and server version of the open connection.
  std::string database() const;
  std::string user() const;

 private:
  bool fail(const std::string& message, const std::string& state = "");
  bool copyPieces(const std::string& copyStatement, const std::function<bool(std::string_view& piece)>& next);

  pg_conn* conn_ = nullptr;
  std::string conninfo_;
  std::string error_;
  std::string sqlState_;
};

// Appends `text` to a COPY text-format row, escaping backslash, tab, CR and LF.
void appendCopyText(std::string& row, std::string_view text);

}  // namespace tavex
