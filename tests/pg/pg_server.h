// A real PostgreSQL 15 server for the tests of this folder: one per run of the
// test binary (a GoogleTest global environment), initialised into a temporary
// folder, listening only on a Unix socket there, stopped and removed at the end.
// When the tests run as root the server runs as "nobody". There is no skipping:
// a server that cannot start fails the run.
//
// Roles: "tavex" (superuser, trust), "senha" (password "certa", scram), and
// "semcriar" (may connect, may not create schemas).
#pragma once

#include <string>
#include <vector>

#include "pg/pg_connection.h"

namespace tavex::testing {

class PgServer {
 public:
  static PgServer& instance();

  // The connection URI of `database` as `user` (extra "&key=value" may follow).
  std::string uri(const std::string& database, const std::string& user = "tavex") const;
  // A new, empty database; its URI as tavex.
  std::string newDatabase(std::string* name = nullptr);

  // Stops the server at once, as a crash would (no clean shutdown), and starts it again.
  void stopImmediately();
  void start();
  bool running() const { return running_; }

  const std::string& folder() const { return folder_; }

  void setUp();
  void tearDown();

 private:
  int run(const std::string& command) const;  // as the server's user; the exit status
  std::string folder_;
  bool running_ = false;
  int databases_ = 0;
};

// Rows of `sql` on `uri`, each as its values joined by "|" (NULL as "<null>");
// a failed query fails the test and answers nothing.
std::vector<std::string> pgRows(const std::string& uri, const std::string& sql);
std::vector<std::string> pgRows(PgConnection& connection, const std::string& sql);

}  // namespace tavex::testing
