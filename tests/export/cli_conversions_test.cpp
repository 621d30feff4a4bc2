// tavex-cli exportar-csv, exportar-mdb and separar, run in-process: exit status and
// the messages printed (UTF-8; errors on standard error as "Título: texto").
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

#include "cli/commands.h"
#include "export_fixture.h"
#include "support/cli_capture.h"
#include "support/resource_limits.h"

namespace tavex::cli {
namespace {

namespace fs = std::filesystem;
using namespace tavex::testing;

using Outcome = tavex::testing::CliOutcome;

Outcome run(int (*command)(const Args&), const Args& args) {
  KeepCurrentDirectory keep;
  return tavex::testing::runCaptured(command, args);
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

// The man page's examples name folders that need not exist yet.
TEST(CliConversions, AMissingOutputFolderIsCreatedOrItsFailureSaid) {
  TempDir dir;
  writeFile(dir.file("tdm.txt"), joinLines({sampleE01("TDM"), sampleE02(), sampleEad()}));
  Outcome o = run(runExportarCsv, {dir.file("tdm.txt"), dir.file("planilhas/2012/")});
  EXPECT_EQ(o.status, kOk) << o.err;
  EXPECT_TRUE(fs::exists(dir.path() / "planilhas" / "2012" / "E02.csv"));
  o = run(runExportarMdb, {dir.file("tdm.txt"), dir.file("bancos/")});
  EXPECT_EQ(o.status, kOk) << o.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "bancos"), fs::directory_iterator()), 1);

  writeFile(dir.file("arquivo"), "");
  o = run(runExportarCsv, {dir.file("tdm.txt"), dir.file("arquivo/planilhas")});
  EXPECT_EQ(o.status, kCannotRun);
  EXPECT_EQ(o.err, "Erro!: Não foi possível criar a pasta de saída " + dir.file("arquivo/planilhas") +
                       ".\nMotivo: um nome do caminho não é uma pasta.\n");

  // A run that fails leaves no folder of its own behind.
  o = run(runExportarCsv, {dir.file("nada.txt"), dir.file("vazia/sub")});
  EXPECT_EQ(o.status, kCannotRun);
  EXPECT_FALSE(fs::exists(dir.path() / "vazia"));
}

// With a manufacturer the database goes to its MDB folder: no other folder is needed.
TEST(CliConversions, ExportarMdbWithAManufacturerNeedsNoFolder) {
  TempDir dir;
  writeFile(dir.file("tdm.txt"), joinLines({sampleE01("TDM"), sampleE02(), sampleEad()}));
  fs::create_directories(dir.path() / "ACME");
  writeFile(dir.file("ACME/ACME.xml"), "<fabricante><dll><nome>acme.so</nome><modelo>A1</modelo></dll></fabricante>");
  KeepCurrentDirectory keep;
  fs::current_path(dir.path());
  const Outcome o = run(runExportarMdb, {"tdm.txt", "--fabricante", "ACME"});
  EXPECT_EQ(o.status, kOk) << o.err;
  EXPECT_NE(o.out.find(dir.file("ACME/MDB/") + kSampleSerial + "_"), std::string::npos) << o.out;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "ACME" / "MDB"), fs::directory_iterator()), 1);
  EXPECT_EQ(run(runExportarMdb, {"tdm.txt"}).status, kCannotRun) << "no manufacturer: the folder is needed";
}

TEST(CliConversions, SepararSplitsAndRefusesMfFiles) {
  TempDir dir;
  writeFile(dir.file("mf.txt"), joinLines(sampleMfFile()));
  Outcome o = run(runSeparar, {dir.file("mf.txt")});
  EXPECT_EQ(o.status, kFound);
  EXPECT_EQ(o.err,
            "Erro!: O arquivo selecionado é um Ato/COTEPE 17/04 da MF. Não é possível separar este tipo de arquivo.\n");
  EXPECT_EQ(o.out, "");

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

TEST(CliConversions, SepararSaysWhenNoReductionWasFound) {
  TempDir dir;
  writeFile(dir.file("rz.txt"), joinLines({sampleE01("RZ "), sampleE02(), sampleEad()}));
  const Outcome o = run(runSeparar, {dir.file("rz.txt")});
  EXPECT_EQ(o.status, kFound);
  EXPECT_EQ(o.err, "Aviso!: Nenhuma redução Z foi encontrada no arquivo. Nenhum arquivo foi gerado.\n");
  EXPECT_EQ(o.out, "");
}

TEST(CliConversions, EngineErrorsGoToStandardErrorUnderTheirTitle) {
  TempDir dir;
  writeFile(dir.file("in.txt"), joinLines({sampleE01("TDM"), sampleE02(), sampleEad()}));
  Outcome o;
  {
    FileSizeLimit limit(20000);  // room for the messages, none for the database's pages
    o = run(runExportarMdb, {dir.file("in.txt"), dir.path().string()});
  }
  EXPECT_EQ(o.status, kCannotRun);
  EXPECT_EQ(o.out, "");
  EXPECT_TRUE(o.err.starts_with("Erro na Criação do Banco de Dados: O SQLite recusou um comando ao gravar o banco de "
                                 "dados.\nSQLite: "))
      << o.err;
  EXPECT_TRUE(o.err.ends_with("Erro!: Problemas ao criar o arquivo MDB de saída.\n")) << o.err;
}

TEST(CliConversions, ASecondExportIntoAFolderInUseStops) {
  TempDir dir;
  writeFile(dir.file("in.txt"), joinLines({sampleE01("TDM"), sampleE02(), sampleEad()}));
  const int other = ::open(dir.path().c_str(), O_RDONLY | O_CLOEXEC);  // the first run's lock
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  const Outcome csv = run(runExportarCsv, {dir.file("in.txt"), dir.path().string()});
  const Outcome split = run(runSeparar, {dir.file("in.txt")});
  ::close(other);
  const std::string inUse = "Erro!: A pasta " + dir.path().string() + " está em uso por outro processo.\n";
  EXPECT_EQ(csv.status, kCannotRun);
  EXPECT_EQ(csv.err, inUse);
  EXPECT_EQ(split.status, kCannotRun);
  EXPECT_EQ(split.err, inUse);
}

}  // namespace
}  // namespace tavex::cli
