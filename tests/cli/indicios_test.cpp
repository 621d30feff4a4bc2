// tavex-cli indicios: the table, the JSON and the CSV of one example file made for
// the indicators, the exit status, and the README's table of indicator codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cotepe/text.h"
#include "indicators/indicator.h"
#include "support/cli_capture.h"
#include "support/files.h"

namespace tavex::cli {
namespace {

namespace fs = std::filesystem;
using tavex::testing::TempDir;

tavex::testing::CliOutcome run(const Args& args) { return tavex::testing::runCaptured(runIndicios, args); }

class CliIndicios : public ::testing::Test {
 protected:
  // A copy of an example file: the validation writes its log beside it.
  std::string example(const std::string& name) {
    const std::string path = dir.file(name);
    fs::copy_file(fs::path(TAVEX_SOURCE_DIR) / "exemplos" / name, path);
    return path;
  }
  TempDir dir;
};

TEST_F(CliIndicios, TheExampleFileShowsItsIndicatorsAlertsFirst) {
  const std::string file = example("tdm_indicios.txt");
  const auto o = run({file});
  EXPECT_EQ(o.status, kFound) << o.err;
  const std::size_t alert = o.out.find("alerta     indicio.contadores.e11      12            28 ou mais  25");
  const std::size_t late = o.out.find("informação indicio.data.reducao_tardia 14    2   14  20120103    20120105");
  ASSERT_NE(alert, std::string::npos) << o.out;
  ASSERT_NE(late, std::string::npos) << o.out;
  EXPECT_LT(alert, late);
  EXPECT_NE(o.out.find("intervenção técnica no período, em 04/01/2012 (E09)"), std::string::npos);
  EXPECT_NE(o.out.find("4 indício(s): 1 alerta(s), 3 informação(ões)"), std::string::npos);
  // The share of cancelled coupons is the user's choice.
  EXPECT_EQ(run({file, "--limite-cancelamentos", "20"}).out.find("indicio.cancelamentos"), std::string::npos);
  EXPECT_NE(run({file, "--limite-cancelamentos=19,5"}).out.find("indicio.cancelamentos"), std::string::npos);
}

// The clean examples are one ECF's reads (and two other ECFs'): side by side they
// accuse each other of nothing, and the batch pairs the MF with the MFD without a
// total over the tolerance.
TEST_F(CliIndicios, TheCleanExamplesAccuseEachOtherOfNothing) {
  for (const char* name : {"mf_valido.txt", "mfd_valido.txt", "tdm_valido.txt", "rz_valido.txt"}) example(name);
  const auto o = run({dir.path().string(), "--json"});
  EXPECT_EQ(o.status, kOk) << o.out;
  const nlohmann::json doc = nlohmann::json::parse(o.out);
  for (const auto& ecf : doc["ecfs"])
    for (const auto& indicator : ecf["indicios"]) EXPECT_EQ(indicator["nivel"], "informacao") << indicator.dump();
  const auto batch = tavex::testing::runCaptured(runValidar, {dir.path().string()});
  EXPECT_EQ(batch.status, kOk) << batch.out;
  EXPECT_NE(batch.out.find("2 redução(ões) Z comparada(s), 0 total(is) acima da tolerância"), std::string::npos)
      << batch.out;
}

TEST_F(CliIndicios, JsonAndCsvCarryTheSameIndicators) {
  const std::string file = example("tdm_indicios.txt");
  const auto j = run({file, "--json"});
  EXPECT_EQ(j.status, kFound);
  const auto doc = nlohmann::json::parse(j.out);
  EXPECT_EQ(doc["arquivo"], file);
  ASSERT_EQ(doc["indicios"].size(), 4u);
  const auto& first = doc["indicios"][0];
  EXPECT_EQ(first["codigo"], "indicio.contadores.e11");
  EXPECT_EQ(first["nivel"], "alerta");
  EXPECT_EQ(first["linha"], 12);
  EXPECT_EQ(first["registro"], 11);
  EXPECT_TRUE(first["crz"].is_null());
  EXPECT_EQ(first["esperado"], "28 ou mais");
  EXPECT_EQ(first["encontrado"], "25");
  EXPECT_NE(first["mensagem"].get<std::string>().find("COO do E11 (25)"), std::string::npos);
  EXPECT_EQ(doc["indicios"][1]["nivel"], "informacao");

  const auto c = run({file, "--csv"});
  EXPECT_EQ(c.status, kFound);
  EXPECT_EQ(c.out.find(utf8ToCp1252("Arquivo;Nível;Código;Linha;Registro;CRZ;COO;Esperado;Encontrado;Frase\r\n")), 0u)
      << c.out;
  EXPECT_NE(c.out.find(file + ";alerta;indicio.contadores.e11;12;E11;;;28 ou mais;25;"), std::string::npos) << c.out;
  EXPECT_EQ(std::count(c.out.begin(), c.out.end(), '\n'), 5);
}

TEST_F(CliIndicios, ExitStatusAndSeveralFiles) {
  const std::string clean = example("tdm_valido.txt");
  EXPECT_EQ(run({clean}).status, kOk);
  EXPECT_NE(run({clean}).out.find("nenhum indício"), std::string::npos);
  example("tdm_indicios.txt");
  // A folder: both files and their ECFs in one JSON document, the alert decides.
  const auto both = run({dir.path().string(), "--json"});
  EXPECT_EQ(both.status, kFound);
  const auto doc = nlohmann::json::parse(both.out);
  ASSERT_EQ(doc["arquivos"].size(), 2u);
  ASSERT_TRUE(doc["ecfs"].is_array());
  // A file that cannot be read.
  const auto missing = run({clean, dir.file("nao_existe.txt"), "--json"});
  EXPECT_EQ(missing.status, kCannotRun);
  EXPECT_NE(missing.err.find("nao_existe.txt"), std::string::npos);
  EXPECT_TRUE(nlohmann::json::parse(missing.out)["arquivos"][1]["indicios"].is_null());
  EXPECT_EQ(run({clean, "--limite-cancelamentos", "abc"}).status, kCannotRun);
  EXPECT_EQ(run({clean, "--json", "--csv"}).status, kCannotRun);
  EXPECT_EQ(run({}).status, kCannotRun);
}

// A file whose structure check fails was never read for its indicators: it says
// "não verificado" with the finding it stopped at, in every form and in a batch,
// and the run exits 2 instead of reporting no indicator.
TEST_F(CliIndicios, AFileWhoseStructureFailsIsNotVerified) {
  const std::string clean = example("tdm_valido.txt");
  testing::writeFile(dir.file("e01.txt"), "E01");
  const std::pair<std::string, std::string> cases[] = {  // the file, its first structure finding
      {example("estrutura_com_erros.txt"), "Linha 3: E02 -> Foi encontrado mais de um registro tido E02 no arquivo."},
      {dir.file("e01.txt"), "O segundo registro do arquivo deve ser do tipo E02."}};
  for (const auto& [file, finding] : cases) {
    const std::string said = "não verificado: a verificação de estrutura falhou: " + finding;
    for (const Args& args : {Args{file}, Args{clean, file}}) {
      const auto text = run(args);
      EXPECT_EQ(text.status, kCannotRun) << file;
      EXPECT_NE(text.out.find(file + "\n  " + said + "\n"), std::string::npos) << text.out;
    }
    const auto js = run({clean, file, "--json"});
    EXPECT_EQ(js.status, kCannotRun);
    const auto doc = nlohmann::json::parse(js.out)["arquivos"];
    EXPECT_EQ(doc[0]["situacao"], "verificado");
    EXPECT_EQ(doc[1]["situacao"], "nao_verificado");
    EXPECT_EQ(doc[1]["problema"], said.substr(said.find(": ") + 2));
    EXPECT_TRUE(doc[1]["indicios"].is_null());
  }
}

// The README lists every indicator code with its level and what it looks at.
TEST(IndicatorCodesDocumentation, TheReadmeTableIsTheProgramsTable) {
  std::string expected = "| Código | Nível | O que confronta |\n|---|---|---|\n";
  for (const IndicatorCodeInfo& c : indicatorCodes())
    expected += "| `" + std::string(c.code) + "` | " + std::string(indicatorLevelName(c.level)) + " | " +
                std::string(c.what) + " |\n";
  const std::string readme = testing::readFile(std::string(TAVEX_SOURCE_DIR) + "/README.md");
  const std::string begin = "<!-- tabela de indícios: início -->\n", end = "<!-- tabela de indícios: fim -->";
  const std::size_t from = readme.find(begin), to = readme.find(end);
  ASSERT_NE(from, std::string::npos) << expected;
  ASSERT_NE(to, std::string::npos);
  EXPECT_EQ(readme.substr(from + begin.size(), to - from - begin.size()), expected) << expected;
}

}  // namespace
}  // namespace tavex::cli
