// tavex-cli validar, run in-process: its exit status, its output and the log it leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cotepe/text.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/generated_lines.h"
#include "support/resource_limits.h"
#include "support/sample_files.h"

namespace tavex::cli {
namespace {

using tavex::testing::TempDir;

using Outcome = tavex::testing::CliOutcome;

Outcome run(const Args& args) { return tavex::testing::runCaptured(runValidar, args); }

TEST(CliValidar, ACleanFileExitsZeroAndPrintsTheLogInUtf8) {
  TempDir dir;
  const std::string file = dir.file("ecf.txt");
  testing::writeFile(file, testing::joinLines(testing::sampleTdmFile()));
  const Outcome o = run({file, "--tolerancia", "0,05"});
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("Fim da validação do arquivo.\n"), std::string::npos);
  EXPECT_EQ(o.out.find('\r'), std::string::npos);
  EXPECT_TRUE(testing::readFile(file + ".log").find("Fim da valida\xE7\xE3o do arquivo.\r\n") != std::string::npos);
}

TEST(CliValidar, ToleranceDecidesWhetherATotalDisagrees) {
  TempDir dir;
  auto lines = testing::sampleTdmFile();
  lines[12] = testing::sampleRecord(13, {{"CRZ", "1"}, {"TOTALIZADOR", "01T1800"}, {"VALOR_ACUMULADO", "1005"}});
  const std::string file = dir.file("ecf.txt");
  testing::writeFile(file, testing::joinLines(lines));
  EXPECT_EQ(run({file, "--tolerancia", "0,05"}).status, 0);
  const Outcome strict = run({file});
  EXPECT_EQ(strict.status, 1);
  EXPECT_NE(strict.out.find("[ERR] Linha 13: E13 -> Erro no totalizador 01T1800"), std::string::npos);
}

// Every command that takes --tolerancia: an amount that could be read two ways
// stops it before any file is touched, and a run says on standard error which
// tolerance its findings rest on.
TEST(CliTolerance, AmbiguousAmountsAreRefusedAndTheToleranceUsedIsShown) {
  TempDir dir;
  const std::string file = dir.file("ecf.txt");
  testing::writeFile(file, testing::joinLines(testing::sampleTdmFile()));
  const std::string report = dir.file("relatorio.html");
  const std::vector<std::pair<int (*)(const Args&), Args>> commands = {
      {runValidar, {file}}, {runConciliar, {file}}, {runRelatorio, {file, "--saida", report}}};
  for (const auto& [command, args] : commands) {
    SCOPED_TRACE(args.back());
    for (const char* text : {"0,1", "1,5", "0,005", "0.05", "-1", "abc", ""}) {
      Args withTolerance = args;
      withTolerance.insert(withTolerance.end(), {"--tolerancia", text});
      const Outcome o = testing::runCaptured(command, withTolerance);
      EXPECT_EQ(o.status, 2) << text;
      EXPECT_EQ(o.out, "");
      EXPECT_TRUE(o.err.starts_with(std::string("tavex-cli: tolerância inválida: \"") + text + "\"")) << o.err;
      EXPECT_NE(o.err.find("(0,05, 10,00, 1.000,00)"), std::string::npos) << o.err;
      EXPECT_FALSE(std::filesystem::exists(file + ".log"));
      EXPECT_FALSE(std::filesystem::exists(report));
    }
    for (const auto& [text, shown] : {std::pair{"0", "0,00"}, {"0,10", "0,10"}, {"1.000", "1.000,00"}, {"2,50", "2,50"}}) {
      Args withTolerance = args;
      withTolerance.push_back(std::string("--tolerancia=") + text);
      const Outcome o = testing::runCaptured(command, withTolerance);
      EXPECT_EQ(o.status, 0) << o.err;
      EXPECT_EQ(o.err, std::string("Tolerância: R$ ") + shown + "\n");
    }
    EXPECT_EQ(testing::runCaptured(command, args).err, "Tolerância: R$ 0,00\n");
    std::filesystem::remove(file + ".log");
    std::filesystem::remove(report);
  }
  // The format-only run uses no tolerance and says none, yet refuses a bad one.
  EXPECT_EQ(run({file, "--formato"}).err, "");
  EXPECT_EQ(run({file, "--formato", "--tolerancia", "0,1"}).status, 2);
}

// A TDM file as real ECFs write it, without the record types they had nothing for.
// One COO changed leaves a long run of numbers missing: the log has a line for each
// (its count of errors too), JSON and the report one finding for the run.
TEST(CliValidar, ConsecutiveMissingCooNumbersAreOneFindingOutsideTheLog) {
  TempDir dir;
  auto lines = testing::sampleTdmFile();
  for (std::string& line : lines)
    if (line.starts_with("E16"))
      line = testing::sampleRecord(16, {{"COO", "50"}, {"CRZ", "1"}, {"DENOMINACAO", "RZ"}, {"HORA_FINAL", "235000"}});
  const std::string file = dir.file("ecf.txt");
  testing::writeFile(file, testing::joinLines(lines));
  const Outcome o = run({file, "--json"});
  const nlohmann::json document = nlohmann::json::parse(o.out);
  std::vector<nlohmann::json> missing;
  for (const nlohmann::json& f : document["achados"])
    if (f["codigo"] == "totais.coo_faltante") missing.push_back(f);
  ASSERT_EQ(missing.size(), 1u) << document["achados"];
  const int first = missing[0]["coo"], last = missing[0]["coo_final"], count = missing[0]["quantidade"];
  EXPECT_EQ(last, 49);
  EXPECT_EQ(count, last - first + 1);
  EXPECT_EQ(missing[0]["mensagem"], cformat("Erro -> COOs faltantes de números %06d a 000049 (%d números).", first, count));
  const std::string log = testing::readFile(file + ".log");
  int logged = 0;
  for (std::size_t at = 0; (at = log.find("COO faltante de numero", at)) != std::string::npos; ++at) ++logged;
  EXPECT_EQ(logged, count);
  EXPECT_GE(document["contagens"]["erros"].get<int>(), count);

  const std::string report = dir.file("relatorio.html");
  ASSERT_NE(tavex::testing::runCaptured(runRelatorio, {file, "--saida", report}).status, 2);
  const std::string html = testing::readFile(report);
  int shown = 0;
  for (std::size_t at = 0; (at = html.find("data-codigo=\"totais.coo_faltante\"", at)) != std::string::npos; ++at) ++shown;
  EXPECT_EQ(shown, 1);
  EXPECT_NE(html.find(cformat("<span class=\"onde\">COO %d a 49:</span>", first)), std::string::npos);
  EXPECT_NE(html.find(missing[0]["mensagem"].get<std::string>().substr(9)), std::string::npos);  // after "Erro -> "
}

TEST(CliValidar, ARealShapedFileExitsZeroOnlyWhenGoingOnPastMissingTypes) {
  TempDir dir;
  const std::string file = dir.file("ecf.txt");
  GeneratorOptions options;
  options.kind = FileKind::TDM;
  options.targetBytes = 60000;
  options.withoutUnusedRecords = true;
  testing::writeFile(file, testing::joinLines(testing::generatedLines(options)));
  const Outcome plain = run({file});
  EXPECT_EQ(plain.status, 1);
  EXPECT_NE(plain.out.find("[ERR]         : E04 -> Não existe nenhum Registro Tipo E04 no arquivo."), std::string::npos);
  const Outcome going = run({file, "--continuar"});
  EXPECT_EQ(going.status, 0) << going.out;
  EXPECT_NE(going.out.find("[AVISO]         : E19 -> Não existe nenhum Registro Tipo E19 no arquivo."), std::string::npos);
  EXPECT_NE(going.out.find("0 erro(s) encontrado(s).\n4 avisos(s) encontrado(s)."), std::string::npos) << going.out;
}

TEST(CliValidar, FormatOnlyAndItsFindings) {
  TempDir dir;
  auto lines = testing::sampleMfFile();
  lines[4] = testing::sampleRecord(5, {{"CNPJ", "ABC"}});
  const std::string file = dir.file("ecf.txt");
  testing::writeFile(file, testing::joinLines(lines));
  const Outcome o = run({"--formato", file});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("[ERR] Linha 5: Campo 5 do registro Tipo E05 com conteúdo inválido."), std::string::npos);
}

TEST(CliValidar, CannotRunGivesExitTwoAndTheMessage) {
  TempDir dir;
  Outcome o = run({dir.file("nao_existe.txt")});
  EXPECT_EQ(o.status, 2);
  // The specified box, then the file and the cause on the next line.
  EXPECT_EQ(o.err, "Tolerância: R$ 0,00\n" "Erro!: Problemas ao abrir o arquivo COTEPE.\n" + dir.file("nao_existe.txt") +
                       ": arquivo não encontrado\n");
  o = run({dir.file("nao_existe.txt"), "--json"});
  EXPECT_NE(o.err.find("COTEPE.\n" + dir.file("nao_existe.txt") + ": arquivo não encontrado\n"), std::string::npos)
      << o.err;
  EXPECT_EQ(run({}).status, 2);
  EXPECT_EQ(run({"a.txt", "b.txt"}).status, 2);
  EXPECT_EQ(run({"a.txt", "--tolerancia"}).status, 2);
  EXPECT_EQ(run({"a.txt", "--desconhecida"}).status, 2);
  o = run({"--help"});
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("Uso: tavex-cli validar"), std::string::npos);
}

TEST(CliValidar, ALogThatCouldNotBeWrittenWholeExitsTwoAndShowsOnlyWhatWasWritten) {
  TempDir dir;
  const std::string file = dir.file("ecf.txt");
  auto lines = testing::sampleMfFile();
  lines[2] = testing::sampleRecord(3, {{"NUM_FABR", "OTHER"}});
  testing::writeFile(file, testing::joinLines(lines));
  Outcome o;
  {
    testing::FileSizeLimit limit(1000);
    o = run({file});
  }
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "Tolerância: R$ 0,00\n"
                   "Erro!: Problemas ao adicionar dados no arquivo de log.\n"
                   "Motivo: o arquivo passou do tamanho máximo permitido.\n");
  // What reached the log in the making was shown; the cut log never took the name.
  EXPECT_FALSE(std::filesystem::exists(file + ".log"));
  EXPECT_NE(o.out.find("[AVISO] Linha 3: E03"), std::string::npos);
  EXPECT_EQ(o.out.find("Fim da valida"), std::string::npos);
}

TEST(CliValidar, AFileThatCannotBeReadExitsTwo) {
  TempDir dir;
  std::filesystem::create_symlink("/proc/self/mem", dir.file("mem.txt"));
  Outcome o = run({dir.file("mem.txt")});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "Tolerância: R$ 0,00\n" "Erro!: Problemas ao abrir o arquivo COTEPE.\n" + dir.file("mem.txt") +
                       ": erro de leitura ou gravação no dispositivo\n");
  EXPECT_EQ(o.out.find("[ERR]"), std::string::npos);
  ASSERT_EQ(::mkfifo(dir.file("fifo.txt").c_str(), 0600), 0);
  o = run({dir.file("fifo.txt")});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "Tolerância: R$ 0,00\n" "Erro!: O arquivo selecionado não é um arquivo regular e não pode ser lido.\n");
}

TEST(CliValidar, ASecondRunOnTheSameFileStopsAsInUse) {
  TempDir dir;
  const std::string file = dir.file("ecf.txt");
  testing::writeFile(file, testing::joinLines(testing::sampleTdmFile()));
  testing::writeFile(file + ".log", "");
  const int first = ::open((file + ".log").c_str(), O_RDONLY | O_CLOEXEC);  // the first run's lock
  ASSERT_EQ(::flock(first, LOCK_EX | LOCK_NB), 0);
  const Outcome o = run({file});
  ::close(first);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "Tolerância: R$ 0,00\n" "Erro!: O arquivo " + file + ".log está em uso por outro processo.\n");
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(testing::readFile(file + ".log"), "");
}

}  // namespace
}  // namespace tavex::cli
