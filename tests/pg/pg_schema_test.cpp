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
            std::vector<std::string>{"28"});  // versao, arquivo, 22 record tables, linha_desconhecida, achado,
                                              // conciliacao, indicio
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
  EXPECT_EQ(pgRows(uri, "SELECT versao FROM tavex.versao"), std::vector<std::string>{std::to_string(kPgSchemaVersion)});
  EXPECT_EQ(pgRows(uri, "SELECT nome, validado, erros FROM tavex.arquivo"),
            std::vector<std::string>{"velho.txt|f|<null>"});
  EXPECT_EQ(pgRows(uri, "SELECT count(*) FROM tavex.achado, tavex.conciliacao"), std::vector<std::string>{"0"});
  EXPECT_EQ(ensurePgSchema(c).status, PgSchemaResult::Status::Ready);
}

// A schema of the version before the indicators: its findings stay, and the
// indicators' table arrives, tied to the files like the findings.
TEST(PgSchema, ASchemaWithoutIndicatorsGetsTheirTableKeepingItsFindings) {
  const std::string uri = PgServer::instance().newDatabase();
  PgConnection c;
  ASSERT_TRUE(c.connect(uri));
  ASSERT_TRUE(c.exec("BEGIN; CREATE SCHEMA tavex"));
  ASSERT_TRUE(applyPgSchemaSteps(c, 0, 2)) << c.error();
  ASSERT_TRUE(c.exec("INSERT INTO tavex.arquivo (id, sha256, nome, caminho, tipo, serie_ecf, cnpj, validado) "
                     "VALUES (5, 'ab', 'velho.txt', '/velho.txt', 'MF', 'X', '1', true); "
                     "INSERT INTO tavex.achado (arquivo_id, linha, registro, codigo, severidade, mensagem) "
                     "VALUES (5, 3, 'E12', 'x', 'erro', 'm'); COMMIT"))
      << c.error();
  EXPECT_EQ(pgRows(uri, "SELECT to_regclass('tavex.indicio')"), std::vector<std::string>{"<null>"});

  const PgSchemaResult r = ensurePgSchema(c);
  EXPECT_EQ(r.status, PgSchemaResult::Status::Migrated);
  EXPECT_EQ(r.foundVersion, 2);
  EXPECT_EQ(pgRows(uri, "SELECT versao FROM tavex.versao"), std::vector<std::string>{std::to_string(kPgSchemaVersion)});
  EXPECT_EQ(pgRows(uri, "SELECT arquivo_id, codigo FROM tavex.achado"), std::vector<std::string>{"5|x"});
  ASSERT_TRUE(pgRows(uri, "INSERT INTO tavex.indicio (arquivo_id, codigo, nivel, mensagem, esperado, encontrado) "
                          "VALUES (5, 'indicio.crz.sequencia', 'alerta', 'm', '2', '4')")
                  .empty());
  PgConnection other;
  ASSERT_TRUE(other.connect(uri));
  EXPECT_FALSE(other.exec("INSERT INTO tavex.indicio (arquivo_id, codigo, nivel, mensagem, esperado, encontrado) "
                          "VALUES (6, 'c', 'alerta', 'm', '', '')"))
      << "no file 6";
  EXPECT_FALSE(other.exec("INSERT INTO tavex.indicio (arquivo_id, codigo, nivel, mensagem, esperado, encontrado) "
                          "VALUES (5, 'c', 'aviso', 'm', '', '')"))
      << "no such level";
  ASSERT_TRUE(pgRows(uri, "DELETE FROM tavex.arquivo").empty());
  EXPECT_EQ(pgRows(uri, "SELECT count(*) FROM tavex.indicio, tavex.achado"), std::vector<std::string>{"0"});
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
            "O esquema tavex deste banco est\xE1 na vers\xE3o 7, mais nova que a vers\xE3o 5 que este programa "
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
