#include "pg/pg_schema.h"

#include <gtest/gtest.h>

#include <thread>

#include "pg_server.h"

namespace tavex {
namespace {

using namespace testing;

TEST(PgSchema, AnEmptyDatabaseGetsTheCurrentSchemaOnceEvenWhenClientsRaceForIt) {
  const std::string uri = PgServer::instance().newDatabase();
  std::vector<PgSchemaResult::Status> outcomes(4);
  std::vector<std::thread> clients;
  for (std::size_t i = 0; i < outcomes.size(); ++i)
    clients.emplace_back([&, i] {
      PgConnection c;
      outcomes[i] = c.connect(uri) ? ensurePgSchema(c).status : PgSchemaResult::Status::Failed;
    });
  for (std::thread& t : clients) t.join();
  int created = 0;
  for (auto s : outcomes) {
    EXPECT_TRUE(s == PgSchemaResult::Status::Created || s == PgSchemaResult::Status::Ready);
    created += s == PgSchemaResult::Status::Created;
  }
  EXPECT_EQ(created, 1);
  EXPECT_EQ(pgRows(uri, "SELECT versao FROM tavex.versao"), std::vector<std::string>{std::to_string(kPgSchemaVersion)});
  EXPECT_EQ(pgRows(uri, "SELECT count(*) FROM pg_tables WHERE schemaname = 'tavex'"),
            std::vector<std::string>{"27"});  // versao, arquivo, 22 record tables, linha_desconhecida, achado, conciliacao
}

TEST(PgSchema, AnOlderSchemaIsMigratedInPlaceKeepingItsRows) {
  const std::string uri = PgServer::instance().newDatabase();
  PgConnection c;
  ASSERT_TRUE(c.connect(uri));
  ASSERT_TRUE(c.exec("BEGIN; CREATE SCHEMA tavex"));
  ASSERT_TRUE(applyPgSchemaSteps(c, 0, 1)) << c.error();
  ASSERT_TRUE(c.exec("INSERT INTO tavex.arquivo (sha256, nome, caminho, tipo, serie_ecf, cnpj) "
                     "VALUES ('ab', 'velho.txt', '/velho.txt', 'MF', 'X', '1'); COMMIT"));
  EXPECT_TRUE(pgRows(uri, "SELECT to_regclass('tavex.achado')") == std::vector<std::string>{"<null>"});

  const PgSchemaResult r = ensurePgSchema(c);
  EXPECT_EQ(r.status, PgSchemaResult::Status::Migrated);
  EXPECT_EQ(r.foundVersion, 1);
  EXPECT_EQ(pgRows(uri, "SELECT versao FROM tavex.versao"), std::vector<std::string>{"2"});
  EXPECT_EQ(pgRows(uri, "SELECT nome, validado, erros FROM tavex.arquivo"),
            std::vector<std::string>{"velho.txt|f|<null>"});
  EXPECT_EQ(pgRows(uri, "SELECT count(*) FROM tavex.achado, tavex.conciliacao"), std::vector<std::string>{"0"});
  EXPECT_EQ(ensurePgSchema(c).status, PgSchemaResult::Status::Ready);
}

TEST(PgSchema, ANewerSchemaIsRefusedAndLeftAlone) {
  const std::string uri = PgServer::instance().newDatabase();
  PgConnection c;
  ASSERT_TRUE(c.connect(uri));
  ASSERT_TRUE(ensurePgSchema(c).usable());
  ASSERT_TRUE(c.exec("UPDATE tavex.versao SET versao = 7"));
  const PgSchemaResult r = ensurePgSchema(c);
  EXPECT_EQ(r.status, PgSchemaResult::Status::Newer);
  EXPECT_EQ(r.foundVersion, 7);
  EXPECT_EQ(r.message,
            "O esquema tavex deste banco est\xE1 na vers\xE3o 7, mais nova que a vers\xE3o 2 que este programa "
            "conhece.\nAtualize o Tavex para carregar arquivos neste banco.");
  EXPECT_EQ(pgRows(uri, "SELECT versao FROM tavex.versao"), std::vector<std::string>{"7"});
}

TEST(PgSchema, AUserWhoMayNotCreateTheSchemaIsToldWhichGrantIsMissing) {
  std::string name;
  PgServer::instance().newDatabase(&name);
  PgConnection c;
  ASSERT_TRUE(c.connect(PgServer::instance().uri(name, "semcriar"))) << c.error();
  const PgSchemaResult r = ensurePgSchema(c);
  EXPECT_EQ(r.status, PgSchemaResult::Status::NoPermission);
  EXPECT_NE(r.message.find("GRANT CREATE ON DATABASE \"" + name + "\" TO \"semcriar\""), std::string::npos)
      << r.message;
  EXPECT_NE(r.message.find("CREATE SCHEMA tavex AUTHORIZATION \"semcriar\""), std::string::npos);
  EXPECT_EQ(pgRows(PgServer::instance().uri(name), "SELECT to_regnamespace('tavex')"),
            std::vector<std::string>{"<null>"});
}

}  // namespace
}  // namespace tavex
