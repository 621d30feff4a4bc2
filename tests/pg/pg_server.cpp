#include "pg_server.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "cotepe/text.h"
#include "support/files.h"

namespace tavex::testing {

namespace {

const char* const kBin = "/usr/lib/postgresql/15/bin";

class Environment : public ::testing::Environment {
 public:
  void SetUp() override { PgServer::instance().setUp(); }
  void TearDown() override { PgServer::instance().tearDown(); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

}  // namespace

PgServer& PgServer::instance() {
  static PgServer server;
  return server;
}

int PgServer::run(const std::string& command) const {
  const std::string as = geteuid() == 0 ? "runuser -u nobody -- " : "";
  const int rc = std::system((as + command).c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : 255;
}

std::string PgServer::uri(const std::string& database, const std::string& user) const {
  return "postgresql:///" + database + "?host=" + folder_ + "&user=" + user;
}

void PgServer::setUp() {
  char pattern[] = "/tmp/tavex-pg-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
  folder_ = pattern;
  if (geteuid() == 0 && std::system(("chown nobody:nogroup " + folder_).c_str()) != 0)
    throw std::runtime_error("chown");
  if (run(cformat("%s/initdb -D %s/data -U tavex -A trust --no-sync -E UTF8 --locale=C.UTF-8 >%s/initdb.log 2>&1",
                  kBin, folder_.c_str(), folder_.c_str())) != 0) {
    ADD_FAILURE() << "initdb failed: " << readFile(folder_ + "/initdb.log");
    throw std::runtime_error("initdb");
  }
  writeFile(folder_ + "/data/pg_hba.conf", "local all senha scram-sha-256\nlocal all all trust\n");
  start();
  PgConnection admin;
  if (!admin.connect(uri("postgres")) ||
      !admin.exec("CREATE ROLE senha LOGIN PASSWORD 'certa'; CREATE ROLE semcriar LOGIN"))
    ADD_FAILURE() << admin.error();
}

void PgServer::start() {
  const std::string options =
      "-c listen_addresses='' -k " + folder_ + " -c fsync=off -c full_page_writes=off -c max_connections=60";
  if (run(cformat("%s/pg_ctl -D %s/data -l %s/server.log -w -o \"%s\" start >/dev/null", kBin, folder_.c_str(),
                  folder_.c_str(), options.c_str())) != 0) {
    ADD_FAILURE() << "the server did not start: " << readFile(folder_ + "/server.log");
    throw std::runtime_error("pg_ctl start");
  }
  running_ = true;
}

void PgServer::stopImmediately() {
  run(cformat("%s/pg_ctl -D %s/data -m immediate -w stop >/dev/null", kBin, folder_.c_str()));
  running_ = false;
}

void PgServer::tearDown() {
  if (folder_.empty()) return;
  if (running_) run(cformat("%s/pg_ctl -D %s/data -m fast -w stop >/dev/null", kBin, folder_.c_str()));
  running_ = false;
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

std::string PgServer::newDatabase(std::string* name) {
  const std::string db = cformat("teste%d", ++databases_);
  PgConnection admin;
  if (!admin.connect(uri("postgres")) || !admin.exec("CREATE DATABASE " + db)) ADD_FAILURE() << admin.error();
  if (name != nullptr) *name = db;
  return uri(db);
}

std::vector<std::string> pgRows(PgConnection& connection, const std::string& sql) {
  const auto rows = connection.query(sql, {}, "<null>");
  if (!rows) {
    ADD_FAILURE() << sql << ": " << connection.error();
    return {};
  }
  std::vector<std::string> out;
  for (const auto& row : *rows) {
    std::string joined;
    for (std::size_t i = 0; i < row.size(); ++i) joined += (i > 0 ? "|" : "") + row[i];
    out.push_back(joined);
  }
  return out;
}

std::vector<std::string> pgRows(const std::string& uri, const std::string& sql) {
  PgConnection c;
  if (!c.connect(uri)) {
    ADD_FAILURE() << c.error();
    return {};
  }
  return pgRows(c, sql);
}

}  // namespace tavex::testing
