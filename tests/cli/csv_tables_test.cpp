// The tables tavex-cli writes as CSV (conciliar --csv, alone and for an MF with its
// MFD, indicios --csv, validar --resumo): one golden file per table, byte for byte,
// so each keeps the one convention of them all (cp1252, ';', CR LF, quoting).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "cli/commands.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/sample_files.h"

namespace tavex::cli {
namespace {

namespace fs = std::filesystem;
using tavex::testing::TempDir;

TEST(CliCsvTables, EveryTableMatchesItsGoldenFile) {
  TempDir dir;
  const auto example = [&dir](const std::string& name, const std::string& as) {
    fs::copy_file(fs::path(TAVEX_SOURCE_DIR) / "exemplos" / name, dir.path() / as);
    return dir.file(as);
  };
  const std::string divergent = example("tdm_total_e13_divergente.txt", "tdm_total_e13_divergente.txt");
  const std::string indicators = example("tdm_indicios.txt", "tdm_indicios.txt");
  const std::string broken = example("estrutura_com_erros.txt", "estrutura_com_erros.txt");
  const std::string quoted = example("tdm_valido.txt", "com;ponto e \"aspas\".txt");
  testing::writeSampleMemoriesWithPaymentOff(dir.file("mf.txt"), dir.file("mfd.txt"));
  const std::string summary = dir.file("resumo.csv");

  const struct {
    int (*command)(const Args&);
    Args args;
    const char* golden;
  } tables[] = {
      {runConciliar, {divergent, "--csv", "--tolerancia", "0,05"}, "conciliar.csv"},
      {runConciliar, {dir.file("mf.txt"), dir.file("mfd.txt"), "--csv"}, "conciliar_mf_mfd.csv"},
      {runIndicios, {indicators, broken, quoted, "--csv"}, "indicios.csv"},
      {runValidar, {divergent, broken, quoted, "--jobs", "1", "--resumo", summary}, "resumo.csv"},
  };
  for (const auto& t : tables) {
    const testing::CliOutcome o = testing::runCaptured(t.command, t.args);
    std::string csv = t.command == runValidar ? testing::readFile(summary) : o.out;
    const std::string prefix = dir.path().string() + "/";
    for (std::size_t at; (at = csv.find(prefix)) != std::string::npos;) csv.replace(at, prefix.size(), "exemplos/");
    if (t.command == runValidar) csv = std::regex_replace(csv, std::regex(";[0-9]+,[0-9]{3};"), ";(tempo);");
    testing::expectMatchesGolden(csv, std::string("cli/golden/") + t.golden);
  }
}

}  // namespace
}  // namespace tavex::cli
