// tavex-cli exportar-pg in-process and as processes, and the README's queries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "cli/commands.h"
#include "cotepe/text.h"
#include "generator.h"
#include "pg_server.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/sample_files.h"

namespace tavex {
namespace {

using namespace testing;

using Outcome = tavex::testing::CliOutcome;

Outcome run(const cli::Args& args) { return tavex::testing::runCaptured(cli::runExportarPg, args); }

TEST(CliExportarPg, LoadsFilesAndFoldersFoundByContentAndReportsEach) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "pasta/sub");
  writeFile(dir.file("pasta/sub/tdm.dat"), joinLines(sampleTdmFile()));
  writeFile(dir.file("pasta/leiame.txt"), "nada\n");
  writeFile(dir.file("mfd.txt"), joinLines(sampleMfdFile()));
  const std::string uri = PgServer::instance().newDatabase();

  Outcome o = run({dir.file("mfd.txt"), dir.file("pasta"), "--url", uri});
  EXPECT_EQ(o.status, cli::kOk) << o.err;
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "Esquema tavex criado (vers\xC3\xA3o 2).\n" + dir.file("mfd.txt") +
                       ": carregado (12 linhas, 12 registros, arquivo 1)\n" + dir.file("pasta/sub/tdm.dat") +
                       ": carregado (23 linhas, 23 registros, arquivo 2)\n");
  o = run({"--pular-existentes", dir.file("pasta"), "--url", uri});
  EXPECT_EQ(o.status, cli::kOk);
  EXPECT_EQ(o.out, dir.file("pasta/sub/tdm.dat") + ": j\xC3\xA1 carregado (arquivo 2), pulado\n");

  o = run({dir.file("pasta/leiame.txt"), dir.file("mfd.txt"), "--url", uri});
  EXPECT_EQ(o.status, cli::kCannotRun);  // one argument was no COTEPE file; the other still loads
  EXPECT_NE(o.err.find("leiame.txt: n\xC3\xA3o \xC3\xA9 um arquivo COTEPE"), std::string::npos) << o.err;
  EXPECT_NE(o.out.find("mfd.txt: substitu\xC3\xAD" "do (12 linhas"), std::string::npos);
}

TEST(CliExportarPg, ValidarKeepsTheValidationCountsWithTheFile) {
  TempDir dir;
  auto lines = sampleTdmFile();
  writeFile(dir.file("ok.txt"), joinLines(lines));
  lines[1][50] = 'X';  // E02 CNPJ no longer a number
  writeFile(dir.file("ruim.txt"), joinLines(lines));
  const std::string uri = PgServer::instance().newDatabase();
  const Outcome o = run({dir.file("ok.txt"), dir.file("ruim.txt"), "--validar", "--url", uri});
  EXPECT_EQ(o.status, cli::kFound) << o.err << o.out;
  EXPECT_TRUE(o.err.starts_with("Toler\xC3\xA2ncia: R$ 0,00\n")) << o.err;  // the validation's tolerance
  EXPECT_TRUE(std::filesystem::exists(dir.file("ruim.txt.log")));
  const auto rows = pgRows(uri, "SELECT nome, validado, erros > 0 FROM tavex.arquivo ORDER BY nome");
  EXPECT_EQ(rows, (std::vector<std::string>{"ok.txt|t|f", "ruim.txt|t|t"}));
  // The findings and the reconciliation come with their file.
  EXPECT_EQ(pgRows(uri, "SELECT a.registro, a.campo, a.codigo, a.linha FROM tavex.achado a JOIN tavex.arquivo f ON "
                        "f.id = a.arquivo_id WHERE f.nome = 'ruim.txt' AND a.codigo = 'campo.formato_numerico'"),
            (std::vector<std::string>{"E02|5|campo.formato_numerico|2"}));
  EXPECT_EQ(pgRows(uri, "SELECT c.tipo, c.declarado, c.calculado, c.dentro_tolerancia FROM tavex.conciliacao c "
                        "JOIN tavex.arquivo f ON f.id = c.arquivo_id WHERE f.nome = 'ok.txt' ORDER BY c.tipo"),
            (std::vector<std::string>{"E12|1000|1000|t", "E13|1000|1000|t", "E17|500|500|t", "E18|1500|1500|t"}));
}

// The same bytes loaded again without --validar: the validation they got before
// still describes them, and stays with them (counts, findings, reconciliation).
TEST(CliExportarPg, AReloadWithoutValidationKeepsTheEarlierValidation) {
  TempDir dir;
  auto lines = sampleTdmFile();
  lines[14].replace(175, 3, "X00");  // a quantity that is no number: a load finding and a validation one
  writeFile(dir.file("ruim.txt"), joinLines(lines));
  writeFile(dir.file("so_e01.txt"), joinLines({lines[0]}));
  const std::string uri = PgServer::instance().newDatabase();
  ASSERT_EQ(run({dir.file("ruim.txt"), "--validar", "--url", uri}).status, cli::kFound);
  const std::string findings = "SELECT codigo, linha FROM tavex.achado ORDER BY codigo, linha";
  const auto before = pgRows(uri, findings);
  const auto counts = pgRows(uri, "SELECT validado, erros, avisos FROM tavex.arquivo");
  const auto reconciliation = pgRows(uri, "SELECT crz, tipo, declarado, calculado FROM tavex.conciliacao ORDER BY 1, 2");
  ASSERT_GT(before.size(), 1u);
  ASSERT_FALSE(reconciliation.empty());

  const Outcome o = run({dir.file("ruim.txt"), dir.file("so_e01.txt"), "--url", uri});
  EXPECT_EQ(o.status, cli::kOk) << o.err;
  EXPECT_NE(o.out.find("ruim.txt: substitu\xC3\xAD" "do ("), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("; 1 campo fora do formato gravado como NULL; valida\xC3\xA7\xC3\xA3o anterior mantida: "),
            std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("so_e01.txt: carregado (1 linha, 1 registro, arquivo "), std::string::npos) << o.out;
  EXPECT_EQ(pgRows(uri, findings), before) << "the findings, the load's own ones once";
  EXPECT_EQ(pgRows(uri, "SELECT validado, erros, avisos FROM tavex.arquivo WHERE nome = 'ruim.txt'"), counts);
  EXPECT_EQ(pgRows(uri, "SELECT crz, tipo, declarado, calculado FROM tavex.conciliacao ORDER BY 1, 2"), reconciliation);
  EXPECT_EQ(pgRows(uri, "SELECT count(*) FROM tavex.e15"), std::vector<std::string>{"1"}) << "the old rows are gone";
}

TEST(CliExportarPg, ConnectionProblemsAreToldAndNothingRuns) {
  TempDir dir;
  writeFile(dir.file("a.txt"), joinLines(sampleMfdFile()));
  std::string name;
  PgServer::instance().newDatabase(&name);
  const PgServer& server = PgServer::instance();

  Outcome o = run({dir.file("a.txt"), "--url", "postgresql://[quebrada"});
  EXPECT_EQ(o.status, cli::kCannotRun);
  EXPECT_TRUE(o.err.starts_with("Erro!: N\xC3\xA3o foi poss\xC3\xADvel conectar ao PostgreSQL: ")) << o.err;

  o = run({dir.file("a.txt"), "--url", server.uri(name, "senha") + "&password=errada"});
  EXPECT_EQ(o.status, cli::kCannotRun);
  EXPECT_NE(o.err.find("password authentication failed for user \"senha\""), std::string::npos) << o.err;

  o = run({dir.file("a.txt"), "--url", "postgresql:///" + name + "?host=" + dir.path().string()});  // no server there
  EXPECT_EQ(o.status, cli::kCannotRun);
  EXPECT_NE(o.err.find("conectar ao PostgreSQL"), std::string::npos);

  o = run({dir.file("a.txt"), "--url", server.uri(name, "semcriar")});
  EXPECT_EQ(o.status, cli::kCannotRun);
  EXPECT_NE(o.err.find("GRANT CREATE ON DATABASE"), std::string::npos) << o.err;

  // The right password works, here through the PG* variables alone.
  setenv("PGHOST", server.folder().c_str(), 1);
  setenv("PGDATABASE", name.c_str(), 1);
  setenv("PGUSER", "senha", 1);
  setenv("PGPASSWORD", "certa", 1);
  ASSERT_TRUE(pgRows(server.uri(name), "GRANT CREATE ON DATABASE " + name + " TO senha").empty());
  o = run({dir.file("a.txt")});
  unsetenv("PGHOST");
  unsetenv("PGDATABASE");
  unsetenv("PGUSER");
  unsetenv("PGPASSWORD");
  EXPECT_EQ(o.status, cli::kOk) << o.err;
  EXPECT_EQ(pgRows(server.uri(name), "SELECT importado_por FROM tavex.arquivo"), std::vector<std::string>{"senha"});
}

TEST(CliExportarPg, TwoProcessesLoadingTheSameFolderAtOnceLeaveEachFileOnce) {
  TempDir dir;
  for (int i = 0; i < 6; ++i) {
    GeneratorOptions g;
    g.seed = static_cast<std::uint64_t>(100 + i);
    g.targetBytes = 80000;
    std::ofstream out(dir.file(cformat("f%d.txt", i)), std::ios::binary);
    generateCotepe(out, g);
  }
  const std::string uri = PgServer::instance().newDatabase();
  const std::string cli = std::string(TAVEX_BINARY_DIR) + "/bin/tavex-cli exportar-pg " + dir.path().string() +
                          " --url '" + uri + "' >/dev/null";
  const std::string three =
      cli + " & a=$!; " + cli + " & b=$!; " + cli + "; r=$?; wait $a || r=1; wait $b || r=1; exit $r";
  EXPECT_EQ(std::system(three.c_str()), 0);
  EXPECT_EQ(pgRows(uri, "SELECT count(*), count(DISTINCT sha256) FROM tavex.arquivo"),
            std::vector<std::string>{"6|6"});
  EXPECT_EQ(pgRows(uri, "SELECT count(*) = (SELECT count(DISTINCT (arquivo_id, linha)) FROM tavex.e15), "
                        "bool_and(arquivo_id IN (SELECT id FROM tavex.arquivo)) FROM tavex.e15"),
            std::vector<std::string>{"t|t"});
}

// The ```sql blocks of the README's PostgreSQL section.
std::vector<std::string> readmeQueries() {
  const std::string readme = readFile(std::string(TAVEX_SOURCE_DIR) + "/README.md");
  const std::size_t section = readme.find("## Shared database: PostgreSQL");
  const std::size_t next = readme.find("\n## ", section + 1);
  const std::string text = readme.substr(section, next == std::string::npos ? std::string::npos : next - section);
  std::vector<std::string> queries;
  const std::regex block("```sql\n([^`]*)```");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), block); it != std::sregex_iterator(); ++it)
    queries.push_back((*it)[1]);
  return queries;
}

TEST(CliExportarPg, TheReadmeQueriesAnswerOnLoadedFiles) {
  TempDir dir;
  auto lines = sampleTdmFile();
  writeFile(dir.file("tdm.txt"), joinLines(lines));
  lines[14].replace(209, 14, "00000000000990");  // the item's net total no longer adds up to the coupon
  lines[14].replace(175, 3, "X00");              // and its quantity is no number: a finding
  writeFile(dir.file("torto.txt"), joinLines(lines));
  const std::string uri = PgServer::instance().newDatabase();
  ASSERT_EQ(run({dir.file("tdm.txt"), dir.file("torto.txt"), "--url", uri}).status, cli::kOk);

  const std::vector<std::string> queries = readmeQueries();
  ASSERT_EQ(queries.size(), 5u);
  const std::string day = pgRows(uri, "SELECT min(data_movimento) FROM tavex.e12")[0];
  EXPECT_EQ(pgRows(uri, queries[0]), std::vector<std::string>{day + "|1|20.0000000000000000"});
  EXPECT_EQ(pgRows(uri, queries[1]), std::vector<std::string>{"torto.txt|1|1000|990"});
  EXPECT_EQ(pgRows(uri, queries[2]).size(), 2u);
  EXPECT_EQ(pgRows(uri, queries[3]), std::vector<std::string>{"carga.formato|erro|1|1"});
  EXPECT_EQ(pgRows(uri, queries[4]), std::vector<std::string>{day.substr(0, 8) + "01|DINHEIRO|30.0000000000000000"});
}

// The shipped grant script for `role`, as psql runs it with -v papel=ROLE.
std::string rightsScriptFor(const std::string& role) {
  std::string sql = readFile(std::string(TAVEX_SOURCE_DIR) + "/docs/tavex_pg_direitos.sql");
  for (std::size_t at = sql.find(":\"papel\""); at != std::string::npos; at = sql.find(":\"papel\"", at))
    sql.replace(at, 8, "\"" + role + "\"");
  return sql;
}

TEST(CliExportarPg, ARoleWithTheDocumentedRightsLoadsAndOneWithoutSomeIsToldEveryMissingRight) {
  TempDir dir;
  writeFile(dir.file("a.txt"), joinLines(sampleTdmFile()));
  writeFile(dir.file("b.txt"), joinLines(sampleMfdFile()));
  std::string name;
  const std::string uri = PgServer::instance().newDatabase(&name);
  ASSERT_EQ(run({dir.file("b.txt"), "--url", uri}).status, cli::kOk);  // the schema's owner creates it
  PgConnection admin;
  ASSERT_TRUE(admin.connect(uri));
  const std::string full = name + "_carga", partial = name + "_parcial", none = name + "_nada";
  ASSERT_TRUE(admin.exec("CREATE ROLE " + full + " LOGIN; CREATE ROLE " + partial + " LOGIN; CREATE ROLE " + none +
                         " LOGIN"))
      << admin.error();
  ASSERT_TRUE(admin.exec(rightsScriptFor(full))) << admin.error();
  ASSERT_TRUE(admin.exec(rightsScriptFor(partial) + "; REVOKE USAGE ON SEQUENCE tavex.arquivo_id_seq FROM " +
                         partial + "; REVOKE UPDATE, DELETE ON tavex.arquivo FROM " + partial +
                         "; REVOKE INSERT ON tavex.achado FROM " + partial))
      << admin.error();
  const PgServer& server = PgServer::instance();

  // Exactly the script's rights: a new file, the same bytes again (replaced), with findings.
  Outcome o = run({dir.file("a.txt"), "--url", server.uri(name, full)});
  EXPECT_EQ(o.status, cli::kOk) << o.err;
  o = run({dir.file("a.txt"), dir.file("b.txt"), "--validar", "--url", server.uri(name, full)});
  EXPECT_EQ(o.status, cli::kOk) << o.err;
  EXPECT_NE(o.out.find("a.txt: substitu"), std::string::npos) << o.out;
  EXPECT_EQ(pgRows(uri, "SELECT nome, importado_por, validado FROM tavex.arquivo ORDER BY nome"),
            (std::vector<std::string>{"a.txt|" + full + "|t", "b.txt|" + full + "|t"}));

  // Every missing right named at once, in Portuguese, before anything is loaded.
  o = run({dir.file("a.txt"), "--url", server.uri(name, partial)});
  EXPECT_EQ(o.status, cli::kCannotRun);
  EXPECT_NE(o.err.find("n\xC3\xA3o tem todos os direitos"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("  tabela tavex.arquivo: UPDATE, DELETE\n"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("  sequ\xC3\xAAncia tavex.arquivo_id_seq: USAGE\n"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("  tabela tavex.achado: INSERT\n"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("-v papel=\"" + partial + "\" -f tavex_pg_direitos.sql"), std::string::npos) << o.err;
  EXPECT_EQ(o.err.find("CREATE ON DATABASE"), std::string::npos) << "the schema exists: no CREATE asked for";
  EXPECT_EQ(o.err.find("permission denied"), std::string::npos) << "no server text one right at a time";

  o = run({dir.file("a.txt"), "--url", server.uri(name, none)});
  EXPECT_EQ(o.status, cli::kCannotRun);
  EXPECT_NE(o.err.find("  esquema tavex: USAGE\n"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("  tabela tavex.e15: SELECT, INSERT, DELETE\n"), std::string::npos) << o.err;
  EXPECT_EQ(pgRows(uri, "SELECT count(*) FROM tavex.arquivo"), std::vector<std::string>{"2"});
}

}  // namespace
}  // namespace tavex
