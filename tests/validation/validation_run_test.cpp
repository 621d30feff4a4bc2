// The frame of a validation run: its messages boxes, the log's header and summary,
// the line pass and the format-only run.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cotepe/br_format.h"
#include "cotepe/text.h"
#include "support/resource_limits.h"
#include "validation_fixture.h"

namespace tavex::testing {
namespace {

using Findings = std::vector<std::string>;
std::string cp(const std::string& utf8) { return utf8ToCp1252(utf8); }

TEST_F(ValidationTest, AValidFileGivesHeaderAndSummaryOnly) {
  const auto summary = validate(sampleMfFile());
  EXPECT_TRUE(summary.ran);
  EXPECT_EQ(findings(), Findings{});
  EXPECT_EQ(summary.errors, 0);
  EXPECT_EQ(summary.warnings, 0);
  EXPECT_TRUE(ui.messages.empty());
  expectMatchesGolden(log(), "validation/golden/valid_mf.log");
}

TEST_F(ValidationTest, AFirstLineThatIsNotE01GivesPlaceholdersAndOneError) {
  auto lines = sampleMfFile();
  lines[0] = "XYZ nothing to see";
  lines[1] = "E03 neither";
  const auto summary = validate(lines);
  EXPECT_EQ(summary.errors, 1);
  expectMatchesGolden(log(), "validation/golden/first_line_not_e01.log");
}

TEST_F(ValidationTest, TheLogIsCp1252WithCrLfLineEnds) {
  validate(sampleMfFile());
  const std::string text = readFile(path() + ".log");
  EXPECT_NE(text.find(cp("Fim da validação do arquivo.\r\n")), std::string::npos);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at byte " << i;
    }
  }
}

TEST_F(ValidationTest, TheHeaderPathIsConvertedToCp1252) {
  const std::string name = dir.file("relatório 中.txt");
  writeFile(name, joinLines(sampleMfFile()));
  validateCotepeFile(ui, name, 0, ValidationOptions{kSampleToday});
  const std::string text = readFile(name + ".log");
  EXPECT_NE(text.find(cp("Arquivo cotepe: ") + utf8ToCp1252(name) + "\r\n"), std::string::npos);
  EXPECT_NE(text.find("relat\xF3rio ?.txt"), std::string::npos);
}

TEST_F(ValidationTest, MessageBoxesWhenTheRunCannotStart) {
  validateCotepeFile(ui, "", 0);
  validateCotepeFile(ui, dir.file("missing.txt"), 0);
  validateCotepeFile(ui, dir.path().string(), 0);
  const std::vector<ShownMessage> expected = {
      {cp("Para validar um arquivo COTEPE aberto, primeiramente execute a Leitura de Registro Salvo."),
       "Tavex - Erro!", Icon::Error},
      {"Problemas ao abrir o arquivo COTEPE.", "Erro!", Icon::Error},
      {"Problemas ao abrir o arquivo COTEPE.", "Erro!", Icon::Error}};
  EXPECT_EQ(ui.messages, expected);
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.txt.log")));
}

TEST_F(ValidationTest, ALogThatCannotBeCreatedIsReported) {
  if (::geteuid() == 0) {
    // root writes anywhere; a log path under a regular file cannot be created by anyone.
    writeFile(path(), joinLines(sampleMfFile()));
    std::filesystem::create_directory(path() + ".log");
  } else {
    writeFile(path(), joinLines(sampleMfFile()));
    ::chmod(dir.path().c_str(), 0555);
  }
  const auto summary = validateCotepeFile(ui, path(), 0);
  EXPECT_FALSE(summary.ran);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, cp(::geteuid() == 0 ? "Problemas ao criar o arquivo de log.\nMotivo: é uma pasta, não um arquivo."
                                                     : "Problemas ao criar o arquivo de log.\nMotivo: sem permissão de gravação."));
}

// A log nobody may write (root included) is refused, and kept as it was.
TEST_F(ValidationTest, AReadOnlyLogIsKeptAndTheRefusalSaysWhy) {
  writeFile(path(), joinLines(sampleMfFile()));
  writeFile(path() + ".log", "guardado");
  std::filesystem::permissions(path() + ".log", std::filesystem::perms::owner_read);
  EXPECT_FALSE(validateCotepeFile(ui, path(), 0).ran);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{cp("Problemas ao criar o arquivo de log.\nMotivo: o arquivo de log é "
                                                        "somente leitura."),
                                                     "Erro!", Icon::Error}}));
  EXPECT_EQ(readFile(path() + ".log"), "guardado");
}

// The log is written beside its name and takes it only when whole: a previous
// log stays as it was, and a run that made none leaves none.
TEST_F(ValidationTest, AFullDiskIsToldOnceWithItsCauseAndLeavesThePreviousLogWhole) {
  auto lines = sampleMfFile();
  lines[2] = sampleRecord(3, {{"NUM_FABR", "OTHER"}});
  writeFile(path(), joinLines(lines));
  for (const std::string previous : {"", "[AVISO] um log inteiro\r\n"}) {
    if (!previous.empty()) writeFile(path() + ".log", previous);
    ui.messages.clear();
    ValidationSummary summary;
    {
      FileSizeLimit limit(1000);  // the header fits, the rest does not
      summary = validateCotepeFile(ui, path(), 0, ValidationOptions{kSampleToday});
    }
    EXPECT_FALSE(summary.ran);
    EXPECT_EQ(summary.warnings, 1);  // counted although its line was lost
    EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{cp("Problemas ao adicionar dados no arquivo de log.\nMotivo: o "
                                                          "arquivo passou do tamanho máximo permitido."),
                                                       "Erro!", Icon::Error}}));
    EXPECT_EQ(std::filesystem::exists(path() + ".log") ? readFile(path() + ".log") : "", previous);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, previous.empty() ? 1u : 2u) << "no temporary file left";
  }
}

TEST_F(ValidationTest, AFailedReadEndsTheRunWithoutFalseFindings) {
  std::filesystem::create_symlink("/proc/self/mem", path());  // opens; every read fails
  EXPECT_FALSE(validateCotepeFile(ui, path(), 0, ValidationOptions{kSampleToday}).ran);
  EXPECT_FALSE(validateCotepeFileQuick(ui, path(), ValidationOptions{kSampleToday}).ran);
  const ShownMessage cannotRead{"Problemas ao abrir o arquivo COTEPE.", "Erro!", Icon::Error};
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{cannotRead, cannotRead}));
  EXPECT_EQ(readFile(path() + ".log").find("[ERR]"), std::string::npos);
}

TEST_F(ValidationTest, APipeIsRefusedBeforeAnyLogIsMade) {
  ASSERT_EQ(::mkfifo(path().c_str(), 0600), 0);
  EXPECT_FALSE(validateCotepeFile(ui, path(), 0).ran);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{
                             {cp("O arquivo selecionado não é um arquivo regular e não pode ser lido."), "Erro!",
                              Icon::Error}}));
  EXPECT_FALSE(std::filesystem::exists(path() + ".log"));
}

TEST_F(ValidationTest, ALogPlantedAsASymbolicLinkIsRefusedAndItsTargetKept) {
  writeFile(path(), joinLines(sampleMfFile()));
  writeFile(dir.file("victim"), "precious");
  std::filesystem::create_symlink(dir.file("victim"), path() + ".log");
  EXPECT_FALSE(validateCotepeFile(ui, path(), 0).ran);
  EXPECT_EQ(readFile(dir.file("victim")), "precious");
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{
                             {cp("O arquivo " + path() + ".log é um link simbólico. Por segurança, ele não foi gravado."),
                              "Erro!", Icon::Error}}));
  // A link among the folders on the way is no concern.
  std::filesystem::create_directory(dir.path() / "real");
  std::filesystem::create_directory_symlink(dir.path() / "real", dir.path() / "link");
  writeFile(dir.file("real/ecf.txt"), joinLines(sampleMfFile()));
  EXPECT_TRUE(validateCotepeFile(ui, dir.file("link/ecf.txt"), 0).ran);
  EXPECT_NE(readFile(dir.file("real/ecf.txt.log")).find("Fim da valida"), std::string::npos);
}

TEST_F(ValidationTest, ALogInUseByAnotherRunIsLeftAlone) {
  writeFile(path(), joinLines(sampleMfFile()));
  writeFile(path() + ".log", "another run's lines\r\n");
  const int other = ::open((path() + ".log").c_str(), O_RDONLY | O_CLOEXEC);  // the other run's lock
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(validateCotepeFile(ui, path(), 0).ran);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{
                             {cp("O arquivo " + path() + ".log está em uso por outro processo."), "Erro!", Icon::Error}}));
  EXPECT_EQ(readFile(path() + ".log"), "another run's lines\r\n");
  ::close(other);
  EXPECT_TRUE(validateCotepeFile(ui, path(), 0).ran);  // free again
}

TEST_F(ValidationTest, AnExistingLogIsReplaced) {
  writeFile(path() + ".log", std::string(100000, '#'));
  validate(sampleMfFile());
  EXPECT_EQ(readFile(path() + ".log").find('#'), std::string::npos);
}

TEST_F(ValidationTest, UnknownRecordTypesAreReportedWithTheirLine) {
  auto lines = sampleMfFile();
  validateQuick({lines[0], lines[1], "E22 too far", "ABC", lines.back()});
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 3: Tipo de registro desconhecido."),
                                  cp("[ERR] Linha 4: Tipo de registro desconhecido.")}));
}

TEST_F(ValidationTest, AWrongLengthSkipsTheRecord) {
  auto lines = sampleMfFile();
  lines[2] = lines[2].substr(0, 105);  // E03
  validateQuick(lines);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 3: E03 -> Tamanho de registro inválido. Esperado 106 caracteres e o "
                                     "registro apresenta 105 caracteres.")}));
}

TEST_F(ValidationTest, FormatOnlyCountsBlankLinesAndIgnoresOrder) {
  auto lines = sampleMfFile();
  std::swap(lines[3], lines[4]);                  // out of order: not the format run's business
  lines.insert(lines.begin() + 5, "");            // a blank line moves every later line number
  lines[7] = sampleRecord(7, {{"DATA_GRAVACAO", "2010AB01"}});
  validateQuick(lines);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 8: Campo 6 do registro Tipo E07 com conteúdo inválido. Campo Data - "
                                     "informação com formato incompatível.")}));
}

TEST_F(ValidationTest, FormatOnlyRunHasNoContentChecks) {
  auto lines = sampleMfFile();
  lines[2] = sampleRecord(3, {{"NUM_FABR", "OTHER SERIAL"}});
  lines.back() = "EAD" + std::string(256, '0');
  validateQuick(lines);
  EXPECT_EQ(findings(), Findings{});
  expectMatchesGolden(log(), "validation/golden/format_only_clean.log");
}

TEST_F(ValidationTest, TheFirstFormatErrorSwitchesOffLaterContentChecks) {
  auto lines = sampleMfFile();
  lines[4] = sampleRecord(5, {{"CNPJ", "1122233300018X"}});            // format error, line 5
  lines[9] = sampleRecord(10, {{"NUM_FABR", "SOMEONE ELSE"}});         // content problem, line 10
  validate(lines);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 5: Campo 5 do registro Tipo E05 com conteúdo inválido. Campo "
                                     "numérico - informação com formato incompatível.")}));
  lines[4] = sampleRecord(5);
  validate(lines);
  EXPECT_EQ(findings(), (Findings{cp("[AVISO] Linha 10: E10 -> Número de fabricação informado em Registro Tipo E10 "
                                     "não é válido.")}));
}

TEST_F(ValidationTest, BadInputNeverStopsTheRun) {
  std::string garbage;
  for (int i = 0; i < 20000; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
  for (const std::string& bytes : {std::string(), std::string(5000, '\0'), garbage,
                                   "E01" + std::string(100000, '9') + "\n" + std::string(100000, 'E'),
                                   std::string("\n\n\n\n"), std::string("E01")}) {
    const auto summary = validateBytes(bytes);
    EXPECT_TRUE(summary.ran);
    EXPECT_GE(summary.errors, 1);
    writeFile(path(), bytes);
    EXPECT_TRUE(validateCotepeFileQuick(ui, path()).ran);
  }
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace tavex::testing

namespace tavex::testing {
namespace {

// The run tells whether the file ends in an EAD record as reading the file's end
// does (the batch no longer reads it again): line ends and blanks after the last
// record are passed over; a run whose structure check stopped the read says nothing.
TEST_F(ValidationTest, TheRunKnowsWhetherTheFileEndsInEadAsItsEndSays) {
  const std::string clean = joinLines(sampleMfFile());
  std::string noEad = clean.substr(0, clean.rfind("EAD"));
  const std::string variants[] = {clean, clean + "\r\n\r\n", clean + "   \r\n \r\n", clean.substr(0, clean.size() - 2),
                                  clean.substr(0, clean.size() - 2) + "\n", noEad, noEad + "\r\n  \r\n", noEad + "\t\r\n"};
  for (const std::string& bytes : variants) {
    const ValidationSummary summary = validateBytes(bytes);
    const bool byItsEnd = eadRecordStart(bytes, true).has_value();
    if (summary.endsInEad) {
      EXPECT_EQ(*summary.endsInEad, byItsEnd) << bytes.substr(bytes.size() - 40);
    } else {
      EXPECT_FALSE(byItsEnd && summary.errors == 0) << "a clean read must know";
    }
  }
  const ValidationSummary clean_ = validateBytes(clean);
  ASSERT_TRUE(clean_.endsInEad.has_value());
  EXPECT_TRUE(*clean_.endsInEad);
  const std::string damaged = "X" + clean.substr(1);
  const ValidationSummary stopped = validateBytes(damaged);
  if (stopped.endsInEad) {
    EXPECT_EQ(*stopped.endsInEad, eadRecordStart(damaged, true).has_value());
  }
}

}  // namespace
}  // namespace tavex::testing
