// tavex-cli exportar-pg in-process and as processes, and the README's queries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli/commands.h"
#include "cotepe/text.h"
#include "generator.h"
#include "pg/pg_schema.h"
#include "pg_server.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/generated_lines.h"
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
  EXPECT_EQ(o.out, "Esquema tavex criado (vers\xC3\xA3o 5).\n" + dir.file("mfd.txt") +
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

// With --pular-existentes a file already loaded is skipped before it is validated:
// no log is written for it and its findings do not count in the exit status.
TEST(CliExportarPg, AFileAlreadyLoadedIsSkippedBeforeItIsValidated) {
  TempDir dir;
  auto lines = sampleTdmFile();
  lines[1][50] = 'X';  // an error the validation finds
  writeFile(dir.file("ruim.txt"), joinLines(lines));
  const std::string uri = PgServer::instance().newDatabase();
  Outcome o = run({dir.file("ruim.txt"), "--validar", "--url", uri});
  ASSERT_EQ(o.status, cli::kFound) << o.err << o.out;
  std::filesystem::remove(dir.file("ruim.txt.log"));
  o = run({dir.file("ruim.txt"), "--validar", "--pular-existentes", "--url", uri});
  EXPECT_EQ(o.status, cli::kOk) << o.err << o.out;
  EXPECT_EQ(o.out, dir.file("ruim.txt") + ": j\xC3\xA1 carregado (arquivo 1), pulado\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("ruim.txt.log")));
}

// Bytes this process has read so far (read and pread calls, sockets included).
long long bytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return -1;
}

// With --validar the load takes its lines from the validation's own read: the file
// is read once, and what is loaded is what a load reading the file itself loads.
TEST(CliExportarPg, ValidarReadsTheFileOnceAndLoadsWhatAPlainLoadLoads) {
  TempDir dir;
  GeneratorOptions g;
  g.targetBytes = 2000000;
  {
    std::ofstream out(dir.file("tdm.txt"), std::ios::binary);
    generateCotepe(out, g);
  }
  const auto size = static_cast<long long>(std::filesystem::file_size(dir.file("tdm.txt")));
  const std::string plain = PgServer::instance().newDatabase(), validated = PgServer::instance().newDatabase();
  ASSERT_EQ(run({dir.file("tdm.txt"), "--url", plain}).status, cli::kOk);
  {
    PgConnection schema;  // the schema first, so that its creation is not counted
    ASSERT_TRUE(schema.connect(validated)) << schema.error();
    ASSERT_TRUE(ensurePgSchema(schema).usable());
  }
  const long long before = bytesReadSoFar();
  const Outcome o = run({dir.file("tdm.txt"), "--validar", "--url", validated});
  const long long read = bytesReadSoFar() - before;
  ASSERT_EQ(o.status, cli::kOk) << o.err << o.out;
  EXPECT_GT(read, size);
  EXPECT_LT(read, size + size / 4) << "read once, not " << static_cast<double>(read) / static_cast<double>(size) << " times";
  const std::string facts =
      "SELECT sha256, linhas, (SELECT count(*) FROM tavex.e15), (SELECT sum(linha) FROM tavex.e14), "
      "(SELECT count(*) FROM tavex.ead) FROM tavex.arquivo";
  EXPECT_EQ(pgRows(validated, facts), pgRows(plain, facts));
  EXPECT_EQ(pgRows(validated, "SELECT validado, erros, avisos FROM tavex.arquivo"), (std::vector<std::string>{"t|0|0"}));

  // A file whose structure fails stops the validation's read early: the load then
  // reads on from there, and still loads every line, the file read once.
  g.fault = GeneratorFault::RecordAfterEad;  // found at the very end
  {
    std::ofstream out(dir.file("fora_de_ordem.txt"), std::ios::binary);
    generateCotepe(out, g);
  }
  const std::string broken = PgServer::instance().newDatabase(), brokenPlain = PgServer::instance().newDatabase();
  ASSERT_EQ(run({dir.file("fora_de_ordem.txt"), "--url", brokenPlain}).status, cli::kOk);
  {
    PgConnection schema;
    ASSERT_TRUE(schema.connect(broken)) << schema.error();
    ASSERT_TRUE(ensurePgSchema(schema).usable());
  }
  const long long beforeBroken = bytesReadSoFar();
  EXPECT_EQ(run({dir.file("fora_de_ordem.txt"), "--validar", "--url", broken}).status, cli::kFound);
  const long long readBroken = bytesReadSoFar() - beforeBroken;
  EXPECT_LT(readBroken, size + size / 4) << static_cast<double>(readBroken) / static_cast<double>(size) << " times";
  EXPECT_EQ(pgRows(broken, facts), pgRows(brokenPlain, facts));
  EXPECT_EQ(pgRows(broken, "SELECT validado, erros > 0 FROM tavex.arquivo"), (std::vector<std::string>{"t|t"}));
}

// A totals finding names the field holding the declared total, in the database too.
TEST(CliExportarPg, ATotalsFindingKeepsTheFieldOfItsTotal) {
  TempDir dir;
  writeFile(dir.file("e13.txt"), readFile(std::string(TAVEX_SOURCE_DIR) + "/exemplos/tdm_total_e13_divergente.txt"));
  const std::string uri = PgServer::instance().newDatabase();
  const Outcome o = run({dir.file("e13.txt"), "--validar", "--url", uri});
  EXPECT_EQ(o.status, cli::kFound) << o.err << o.out;
  EXPECT_EQ(pgRows(uri, "SELECT registro, campo, linha FROM tavex.achado WHERE codigo = 'totais.e13'"),
            (std::vector<std::string>{"E13|8|14"}));
}

// The findings reach the database as they come, past what is held in memory;
// consecutive missing COO numbers are one row with the range while the log keeps a
// line for each, and an item's net total carries its field and both amounts.
TEST(CliExportarPg, ValidarStreamsTheFindingsWithMissingCooNumbersAsOneRange) {
  struct Case {
    std::string name;
    int items;  // extra items whose net total disagrees
    std::string query;
    std::vector<std::string> rows;
  };
  const std::vector<Case> cases = {
      {"faixa.txt", 0, "SELECT coo, coo_final, quantidade, count(*) OVER () FROM tavex.achado WHERE codigo = 'totais.coo_faltante'",
       {"4|49|46|1"}},
      {"itens.txt", 9000,
       "SELECT count(*), min(campo), min(valor_declarado), min(valor_calculado) FROM tavex.achado WHERE codigo = 'item.total_liquido'",
       {"9000|16|999|1000"}},
  };
  TempDir dir;
  const std::string uri = PgServer::instance().newDatabase();
  for (const Case& c : cases) {
    auto lines = sampleTdmFile();
    for (std::string& line : lines)
      if (c.items == 0 && line.starts_with("E16")) line = sampleRecord(16, {{"COO", "50"}, {"CRZ", "1"}, {"DENOMINACAO", "RZ"}, {"HORA_FINAL", "235000"}});
    const auto item = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("E15"); });
    lines.insert(item + 1, static_cast<std::size_t>(c.items),
                 sampleRecord(15, {{"COO", "1"}, {"CCF/CVC/CBP", "1"}, {"QTD", "1000"}, {"VL_UNIT", "1000"}, {"TOTAL_LIQUIDO", "999"}}));
    writeFile(dir.file(c.name), joinLines(lines));
    const Outcome o = run({dir.file(c.name), "--validar", "--url", uri});
    EXPECT_EQ(o.status, cli::kFound) << o.err << o.out;
    EXPECT_EQ(pgRows(uri, c.query + " AND arquivo_id = (SELECT id FROM tavex.arquivo WHERE nome = '" + c.name + "')"), c.rows);
  }
  const std::string log = readFile(dir.file("faixa.txt.log"));
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = log.find("COO faltante de numero", at)) != std::string::npos; ++at) ++lines;
  EXPECT_EQ(lines, 46u);
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

// The example made for the indicators: its indicators come from the validation
// that wrote its log, arrive in tavex.indicio, stay through a reload without
// --validar and go with the file.
TEST(CliExportarPg, ValidarLoadsTheIndicatorsAndAReloadKeepsThem) {
  TempDir dir;
  const std::string file = dir.file("tdm_indicios.txt");
  std::filesystem::copy_file(std::string(TAVEX_SOURCE_DIR) + "/exemplos/tdm_indicios.txt", file);
  const std::string uri = PgServer::instance().newDatabase();
  ASSERT_EQ(run({file, "--validar", "--url", uri}).status, cli::kOk);
  const std::string indicators =
      "SELECT nivel, codigo, linha, registro, crz, coo, esperado, encontrado FROM tavex.indicio "
      "ORDER BY nivel, linha, codigo";
  const auto loaded = pgRows(uri, indicators);
  EXPECT_EQ(loaded, (std::vector<std::string>{
                        "alerta|indicio.contadores.e11|12|E11|<null>|<null>|28 ou mais|25",
                        "informacao|indicio.data.reducao_tardia|14|E12|2|14|20120103|20120105",
                        "informacao|indicio.cro.intervencao|15|E12|3|21|1|2",
                        "informacao|indicio.cancelamentos|16|E12|4|28|at\xC3\xA9 10,00 %|20,00 %",
                    }));
  EXPECT_EQ(pgRows(uri, "SELECT count(*) FROM tavex.indicio WHERE mensagem LIKE "
                        "'%interven\xC3\xA7\xC3\xA3o t\xC3\xA9" "cnica no per\xC3\xADodo, em 04/01/2012 (E09)%'"),
            std::vector<std::string>{"1"})
      << "the sentence in UTF-8";

  ASSERT_EQ(run({file, "--url", uri}).status, cli::kOk);
  EXPECT_EQ(pgRows(uri, indicators), loaded);
  EXPECT_EQ(pgRows(uri, "SELECT count(DISTINCT arquivo_id) = 1, bool_and(arquivo_id = (SELECT id FROM tavex.arquivo)) "
                        "FROM tavex.indicio"),
            std::vector<std::string>{"t|t"});
  ASSERT_TRUE(pgRows(uri, "DELETE FROM tavex.arquivo").empty());
  EXPECT_EQ(pgRows(uri, "SELECT count(*) FROM tavex.indicio"), std::vector<std::string>{"0"});
}

// Months of one ECF's fiscal memory and of its detail memory, February missing:
// the view answers which CRZ ranges of the ECF the database holds, and from which files.
TEST(CliExportarPg, TheCoverageViewGivesTheCrzRangesHeldOfEachEcf) {
  TempDir dir;
  GeneratorOptions options;
  options.reductions = 9;
  options.couponsPerReduction = 2;
  const std::vector<std::string> all = generatedLines(options);
  std::ostringstream mf, mfd;
  splitMemories(joinLines(reductionsOf(all, 7, 9)), mf, mfd);
  writeFile(dir.file("m1.txt"), joinLines(reductionsOf(all, 1, 3)));
  writeFile(dir.file("m3_mf.txt"), mf.str());
  writeFile(dir.file("m3_mfd.txt"), mfd.str());
  std::vector<std::string> other = reductionsOf(all, 4, 5);
  other[0].replace(3, 20, "XY000000000000000099");
  writeFile(dir.file("outra.txt"), joinLines(other));
  const std::string uri = PgServer::instance().newDatabase();
  ASSERT_EQ(run({dir.path().string(), "--url", uri}).status, cli::kOk);
  EXPECT_EQ(pgRows(uri, "SELECT serie_ecf, mf_adicional, modelo, crz_inicial, crz_final, reducoes, arquivos "
                        "FROM tavex.cobertura_ecf ORDER BY serie_ecf, crz_inicial"),
            (std::vector<std::string>{"TX000000000000000001| |TAVEX SIM 1|1|3|3|{m1.txt}",
                                      "TX000000000000000001| |TAVEX SIM 1|7|9|3|{m3_mf.txt,m3_mfd.txt}",
                                      "XY000000000000000099| |TAVEX SIM 1|4|5|2|{outra.txt}"}));
}

// A database of the version before the view gets it, and it answers at once from
// the files already loaded.
TEST(CliExportarPg, AnOlderDatabaseGetsTheCoverageView) {
  TempDir dir;
  writeFile(dir.file("ecf.txt"), joinLines(sampleTdmFile()));
  const std::string uri = PgServer::instance().newDatabase();
  {
    PgConnection c;
    ASSERT_TRUE(c.connect(uri));
    ASSERT_TRUE(c.exec("BEGIN; CREATE SCHEMA tavex"));
    ASSERT_TRUE(applyPgSchemaSteps(c, 0, 3)) << c.error();
    ASSERT_TRUE(c.exec("COMMIT"));
  }
  EXPECT_EQ(pgRows(uri, "SELECT to_regclass('tavex.cobertura_ecf')"), std::vector<std::string>{"<null>"});
  ASSERT_EQ(run({dir.file("ecf.txt"), "--url", uri}).status, cli::kOk);
  EXPECT_EQ(pgRows(uri, "SELECT versao FROM tavex.versao"), std::vector<std::string>{std::to_string(kPgSchemaVersion)});
  EXPECT_EQ(pgRows(uri, "SELECT crz_inicial, crz_final FROM tavex.cobertura_ecf"), std::vector<std::string>{"1|1"});
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

// The ```sql blocks of a document's section (from its heading to the next of its level).
std::vector<std::string> sqlBlocks(const char* document, const std::string& heading) {
  const std::string readme = readFile(std::string(TAVEX_SOURCE_DIR) + "/" + document);
  const std::size_t section = readme.find(heading);
  const std::size_t next = readme.find("\n## ", section + 1);
  const std::string text = readme.substr(section, next == std::string::npos ? std::string::npos : next - section);
  std::vector<std::string> queries;
  const std::regex block("```sql\n([^`]*)```");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), block); it != std::sregex_iterator(); ++it)
    queries.push_back((*it)[1]);
  return queries;
}

// Every example loaded together (and validated), as an auditor loads the MF, MFD
// and TDM files of one ECF: the README's queries count each reduction once.
TEST(CliExportarPg, TheReadmeQueriesAnswerOnAllTheExamplesLoadedTogether) {
  TempDir dir;
  std::filesystem::copy(std::string(TAVEX_SOURCE_DIR) + "/exemplos", dir.file("exemplos"),
                        std::filesystem::copy_options::recursive);
  const std::string uri = PgServer::instance().newDatabase();
  const Outcome o = run({dir.file("exemplos"), "--validar", "--url", uri});
  ASSERT_EQ(o.status, cli::kFound) << o.err;
  ASSERT_EQ(pgRows(uri, "SELECT count(*) FROM tavex.arquivo"), std::vector<std::string>{"14"}) << o.out << o.err;

  const std::vector<std::string> queries = sqlBlocks("README.md", "## Shared database: PostgreSQL");
  ASSERT_EQ(queries.size(), 7u);
  EXPECT_EQ(sqlBlocks("docs/manual.md", "## Banco compartilhado: PostgreSQL"), queries);  // the guide shows them too
  // Sales per day: the first ECF's reductions 1 and 2 once (not once per TDM file), 3 to 5
  // from its MF file; tdm_indicios.txt is a second ECF (reductions 1 to 4), the pair of
  // exemplos/uma_ecf a third (reductions 1 to 3), exemplos/efd/ecf.txt a fourth (reductions 1 to 8).
  EXPECT_EQ(pgRows(uri, queries[0]),
            (std::vector<std::string>{"2012-01-02|4|12402.450000000000", "2012-01-03|4|11898.120000000000",
                                      "2012-01-04|4|14080.720000000000", "2012-01-05|3|10280.330000000000",
                                      "2012-01-06|2|4215.5200000000000000", "2012-01-07|1|3623.9400000000000000",
                                      "2012-01-08|1|2886.0800000000000000", "2012-01-09|1|4096.0500000000000000"}));
  // Only the damaged item; the cancelled coupons of the clean files are left out.
  EXPECT_EQ(pgRows(uri, queries[1]), std::vector<std::string>{"tdm_item_divergente.txt|1|106806|106807"});
  std::vector<std::string> files;
  for (const std::string& row : pgRows(uri, queries[2])) {
    const std::size_t name = row.find('|') + 1, kind = row.find('|', name) + 1;
    files.push_back(row.substr(name, row.find('|', kind) - name));
  }
  EXPECT_EQ(files, (std::vector<std::string>{
                       "estrutura_com_erros.txt|TDM", "formato_com_erros.txt|TDM", "mfd_valido.txt|MFD",
                       "tdm_assinatura_adulterada.txt|TDM", "tdm_coo_faltante.txt|TDM",
                       "tdm_item_divergente.txt|TDM", "tdm_total_e13_divergente.txt|TDM", "tdm_valido.txt|TDM",
                       "mf_valido.txt|MF"}));
  EXPECT_EQ(pgRows(uri, queries[3]),
            (std::vector<std::string>{
                "carga.formato|erro|4|1", "totais.e13|erro|4|3", "campo.formato_numerico|erro|2|1",
                "totais.coo_faltante|erro|2|2",
                "campo.formato_data|erro|1|1", "campo.formato_hora|erro|1|1", "cupom.bruto_itens|erro|1|1",
                "cupom.liquido_itens|erro|1|1", "estrutura.e02_repetido|erro|1|1", "estrutura.ordem|erro|1|1",
                "item.total_liquido|erro|1|1", "totais.e12|erro|1|1",
                "totais.e18|erro|1|1"}));
  // Payment means: each ECF's reductions once, the pair's (MF + MFD: E12 and E18 in two
  // files) included.
  EXPECT_EQ(pgRows(uri, queries[4]),
            (std::vector<std::string>{"2012-01-01|DINHEIRO|43163.250000000000",
                                      "2012-01-01|CARTAO CREDITO|14748.450000000000"}));
  EXPECT_EQ(pgRows(uri, queries[5]),
            (std::vector<std::string>{
                "mfd_sem_cupom.txt|alerta|indicio.ccf.sequencia|9|2|10|7|8",
                "tdm_coo_faltante.txt|alerta|indicio.ccf.sequencia|31|1|3|2|3",
                "tdm_indicios.txt|alerta|indicio.contadores.e11|12|<null>|<null>|28 ou mais|25",
                "ecf.txt|informacao|indicio.cancelamentos|13|2|12|at\xC3\xA9 10,00 %|25,00 %",
                "ecf.txt|informacao|indicio.cancelamentos|16|5|30|at\xC3\xA9 10,00 %|25,00 %",
                "mfd_sem_cupom.txt|informacao|indicio.cancelamentos|38|1|6|at\xC3\xA9 10,00 %|25,00 %",
                "rz_valido.txt|informacao|indicio.cancelamentos|38|2|10|at\xC3\xA9 10,00 %|25,00 %",
                "tdm_indicios.txt|informacao|indicio.data.reducao_tardia|14|2|14|20120103|20120105",
                "tdm_indicios.txt|informacao|indicio.cro.intervencao|15|3|21|1|2",
                "tdm_indicios.txt|informacao|indicio.cancelamentos|16|4|28|at\xC3\xA9 10,00 %|20,00 %"}));
  // The pair's ECF: reductions 1 to 3, held by both its files.
  EXPECT_EQ(pgRows(uri, queries[6]),
            std::vector<std::string>{"TX000000000000000028| |TAVEX SIM 1|1|3|3|{mf.txt,mfd_sem_cupom.txt}"});
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
  std::filesystem::copy_file(std::string(TAVEX_SOURCE_DIR) + "/exemplos/tdm_indicios.txt", dir.file("c.txt"));
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
                         "; REVOKE INSERT ON tavex.achado FROM " + partial + "; REVOKE SELECT ON tavex.indicio FROM " +
                         partial))
      << admin.error();
  const PgServer& server = PgServer::instance();

  // Exactly the script's rights: a new file, the same bytes again (replaced), with findings.
  Outcome o = run({dir.file("a.txt"), "--url", server.uri(name, full)});
  EXPECT_EQ(o.status, cli::kOk) << o.err;
  o = run({dir.file("a.txt"), dir.file("b.txt"), "--validar", "--url", server.uri(name, full)});
  EXPECT_EQ(o.status, cli::kOk) << o.err;
  EXPECT_NE(o.out.find("a.txt: substitu"), std::string::npos) << o.out;
  // With indicators, and again without --validar (the indicators move to the new row).
  EXPECT_EQ(run({dir.file("c.txt"), "--validar", "--url", server.uri(name, full)}).status, cli::kOk);
  o = run({dir.file("c.txt"), "--url", server.uri(name, full)});
  EXPECT_EQ(o.status, cli::kOk) << o.err;
  EXPECT_EQ(pgRows(uri, "SELECT nome, importado_por, validado FROM tavex.arquivo ORDER BY nome"),
            (std::vector<std::string>{"a.txt|" + full + "|t", "b.txt|" + full + "|t", "c.txt|" + full + "|t"}));
  EXPECT_EQ(pgRows(uri, "SELECT count(*) FROM tavex.indicio i JOIN tavex.arquivo a ON a.id = i.arquivo_id "
                        "WHERE a.nome = 'c.txt'"),
            std::vector<std::string>{"4"});

  // Every missing right named at once, in Portuguese, before anything is loaded.
  o = run({dir.file("a.txt"), "--url", server.uri(name, partial)});
  EXPECT_EQ(o.status, cli::kCannotRun);
  EXPECT_NE(o.err.find("n\xC3\xA3o tem todos os direitos"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("  tabela tavex.arquivo: UPDATE, DELETE\n"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("  sequ\xC3\xAAncia tavex.arquivo_id_seq: USAGE\n"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("  tabela tavex.achado: INSERT\n"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("  tabela tavex.indicio: SELECT\n"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("-v papel=\"" + partial + "\" -f tavex_pg_direitos.sql"), std::string::npos) << o.err;
  EXPECT_EQ(o.err.find("CREATE ON DATABASE"), std::string::npos) << "the schema exists: no CREATE asked for";
  EXPECT_EQ(o.err.find("permission denied"), std::string::npos) << "no server text one right at a time";

  o = run({dir.file("a.txt"), "--url", server.uri(name, none)});
  EXPECT_EQ(o.status, cli::kCannotRun);
  EXPECT_NE(o.err.find("  esquema tavex: USAGE\n"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("  tabela tavex.e15: SELECT, INSERT, DELETE\n"), std::string::npos) << o.err;
  EXPECT_EQ(pgRows(uri, "SELECT count(*) FROM tavex.arquivo"), std::vector<std::string>{"3"});
}

}  // namespace
}  // namespace tavex
