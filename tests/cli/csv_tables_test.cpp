// The CSV tables of tavex-cli (conciliar, alone and MF × MFD; indicios; validar
// --resumo): one golden file each, byte for byte, so all keep one convention.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "cli/commands.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/sample_files.h"

namespace tavex::cli {
namespace {

TEST(CliCsvTables, EveryTableMatchesItsGoldenFile) {
  testing::TempDir dir;
  const auto example = [&dir](const std::string& name, const std::string& as) {
    std::filesystem::copy_file(std::string(TAVEX_SOURCE_DIR) + "/exemplos/" + name, dir.file(as));
    return dir.file(as);
  };
  const std::string divergent = example("tdm_total_e13_divergente.txt", "tdm_total_e13_divergente.txt"),
                    broken = example("estrutura_com_erros.txt", "estrutura_com_erros.txt"),
                    quoted = example("tdm_indicios.txt", "com;ponto e \"aspas\".txt");
  testing::writeSampleMemoriesWithPaymentOff(dir.file("mf.txt"), dir.file("mfd.txt"));
  const struct {
    int (*command)(const Args&);
    Args args;
    const char* golden;
  } tables[] = {
      {runConciliar, {divergent, "--csv", "--tolerancia", "0,05"}, "conciliar.csv"},
      {runConciliar, {dir.file("mf.txt"), dir.file("mfd.txt"), "--csv"}, "conciliar_mf_mfd.csv"},
      {runIndicios, {example("tdm_indicios.txt", "tdm_indicios.txt"), broken, quoted, "--csv"}, "indicios.csv"},
      {runValidar, {divergent, broken, quoted, "--jobs", "1", "--resumo", dir.file("r.csv")}, "resumo.csv"},
  };
  for (const auto& t : tables) {
    std::string csv = testing::runCaptured(t.command, t.args).out;
    if (t.command == runValidar)  // the file, its times masked
      csv = std::regex_replace(testing::readFile(dir.file("r.csv")), std::regex(";[0-9]+,[0-9]{3};"), ";(tempo);");
    for (std::size_t at; (at = csv.find(dir.file(""))) != std::string::npos;) csv.replace(at, dir.file("").size(), "exemplos/");
    testing::expectMatchesGolden(csv, std::string("cli/golden/") + t.golden);
  }
}

}  // namespace
}  // namespace tavex::cli
