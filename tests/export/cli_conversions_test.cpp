// tavex-cli exportar-csv, exportar-mdb and separar, run in-process: exit status and
// the messages printed (UTF-8; errors on standard error as "Título: texto").
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/commands.h"
#include "export_fixture.h"

namespace tavex::cli {
namespace {

namespace fs = std::filesystem;
using namespace tavex::testing;

struct Outcome {
  int status;
  std::string out, err;
};

Outcome run(int (*command)(const Args&), const Args& args) {
  KeepCurrentDirectory keep;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int status = command(args);
  std::fflush(stdout);
  std::fflush(stderr);
  return {status, ::testing::internal::GetCapturedStdout(), ::testing::internal::GetCapturedStderr()};
}

TEST(CliConversions, ExportarCsvConvertsOnceAndRefusesAFolderWithE01) {
  TempDir dir;
  writeFile(dir.file("in.txt"), joinLines({sampleE01("TDM"), sampleE02(), sampleEad()}));
  Outcome o = run(runExportarCsv, {dir.file("in.txt"), dir.path().string()});
  EXPECT_EQ(o.status, kOk);
  EXPECT_EQ(o.out, "Processo de conversão finalizado.\nArquivos salvos no caminho:\n" + dir.path().string() + "\n");
  EXPECT_TRUE(fs::exists(dir.path() / "E02.csv"));
  o = run(runExportarCsv, {dir.file("in.txt"), dir.path().string()});
  EXPECT_EQ(o.status, kCannotRun);
  EXPECT_EQ(o.err, "Erro!: Este diretório já contém arquivos COTEPE! Selecione outro diretório.\n");
  EXPECT_EQ(run(runExportarCsv, {dir.file("in.txt")}).status, kCannotRun);
  EXPECT_EQ(run(runExportarCsv, {"--help"}).status, kOk);
}

TEST(CliConversions, ExportarMdbWritesTheDatabaseOrSaysWhyNot) {
  TempDir dir;
  writeFile(dir.file("in.txt"), joinLines({sampleE01("TDM"), sampleE02(), sampleEad()}));
  Outcome o = run(runExportarMdb, {dir.file("in.txt"), dir.path().string()});
  EXPECT_EQ(o.status, kOk) << o.err;
  EXPECT_NE(o.out.find("Arquivo salvo no caminho:\n" + dir.path().string() + "/" + kSampleSerial + "_"), std::string::npos);
  o = run(runExportarMdb, {dir.file("nada.txt"), dir.path().string()});
  EXPECT_EQ(o.status, kCannotRun);
  EXPECT_EQ(o.err, "Erro!: Problemas ao abrir o arquivo COTEPE.\n");
  o = run(runExportarMdb, {dir.file("in.txt"), dir.path().string(), "--fabricante", "NINGUEM"});
  EXPECT_EQ(o.status, kCannotRun);
  EXPECT_NE(o.err.find("NINGUEM"), std::string::npos);
  EXPECT_EQ(run(runExportarMdb, {dir.file("in.txt"), dir.path().string(), "--fabricante"}).status, kCannotRun);
}

TEST(CliConversions, SepararSplitsAndRefusesMfFiles) {
  TempDir dir;
  writeFile(dir.file("mf.txt"), joinLines(sampleMfFile()));
  Outcome o = run(runSeparar, {dir.file("mf.txt")});
  EXPECT_EQ(o.status, kCannotRun);
  EXPECT_EQ(o.err,
            "Erro!: O arquivo selecionado é um Ato/COTEPE 17/04 da MF. Não é possível separar este tipo de arquivo.\n");
  EXPECT_EQ(o.out, "Processo finalizado!\n");

  std::vector<std::string> lines = sampleMfFile();
  lines[0] = sampleE01("TDM");
  writeFile(dir.file("tdm.txt"), joinLines(lines));
  o = run(runSeparar, {dir.file("tdm.txt")});
  EXPECT_EQ(o.status, kOk) << o.err;
  EXPECT_TRUE(fs::exists(dir.path() / "tdm_0001.txt"));
  EXPECT_TRUE(fs::exists(dir.path() / "tdm_0002.txt"));
  EXPECT_EQ(run(runSeparar, {}).status, kCannotRun);
  EXPECT_EQ(run(runSeparar, {dir.file("nada.txt")}).err, "Erro!: Arquivo não encontrado!\n");
}

}  // namespace
}  // namespace tavex::cli
