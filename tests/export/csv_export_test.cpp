#include "export/csv_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "export_fixture.h"
#include "support/resource_limits.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using namespace testing;

TEST(CsvExport, HeadersAreTheFixedOnes) {
  const char* const expected[] = {
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;TIPO_ECF;MARCA;MODELO;VER_SB;DATA_GRAVACAO_SB;HORA_GRAVACAO_SB;NUM_SEQ_ECF;CNPJ_USUARIO;COMANDO_GERACAO;CRZ_INI;CRZ_FIM;DATA_INI;DATA_FIM;VER_DLL;VER_ATOCTP",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;CNPJ;IE;CONTRIBUINTE;ENDERECO;DATA_CADASTRO;HORA_CADASTRO;CRO;GT;NUM_USUARIO",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;NUM_PRESTADOR;DATA_CADASTRO;HORA_CADASTRO;CNPJ;IE;VENDA_BRURA_DIARIA",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;NUM_USUARIO;DATA_CADASTRO;HORA_CADASTRO;CNPJ;IE;CRO;GT",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;CNPJ;DATA_GRAVACAO;HORA_GRAVACAO;C0;C1;C2;C3;C4;C5;C6;C7;C8;C9",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;CNPJ;DATA_GRAVACAO;HORA_GRAVACAO;MOEDA",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;VERSAO_SB;DATA_GRAVACAO",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;CNPJ;NUM_SERIE_MFD",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;CRO;DATA_GRAVACAO;HORA_GRAVACAO;IND_PERDA_DADOS_MT",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;CFD;DATA_EMISSAO;COO_INI;COO_FINAL;CNPJ_USUARIO",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;CRZ;CRO;COO;GNF;CCF;CVC;CBP;GRG;CMV;CFD;GT;DATA_CAP;HORA_CAP",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;NUM_USUARIO;CRZ;COO;CRO;DATA_MOVIMENTO;DATA_EMISSAO;HORA_EMISSAO;VENDA_BRUTA_DIARIA;ISS_DISC",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;NUM_USUARIO;CRZ;TOTALIZADOR;VALOR_ACUMULADO",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;NUM_USUARIO;CCF/CVC/CBP;COO;DATA_INICIO;SUBTOTAL;DESC_SUBTOTAL;TIPO_DESC;ACRES_SUBTOTAL;TIPO_ACR;TOTAL_LIQUIDO;IND_CANCELAMENTO;CANC_ACRES;ORDEM_DESC/ACR;CLIENTE;CPF/CNPJ_CLI",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;NUM_USUARIO;COO;CCF/CVC/CBP;NUM_ITEM;COD_PRODUTO;DESCRICAO;QTD;UNIDADE;VL_UNIT;DESC_ITEM;ACRES_ITEM;TOTAL_LIQUIDO;TOTALIZADOR_PARCIAL;IND_CANC;QTD_CANC;VL_CANC;CANC_ACRES;REGRA_CALC;CASAS_QUANTIDADE;CASAS_VALOR",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;NUM_USUARIO;COO;GNF;GRG;CDC;CRZ;DENOMINACAO;DATA_FINAL;HORA_FINAL",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;NUM_USUARIO;CRZ;TOT_NF;VALOR_ACUM",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;NUM_USUARIO;CRZ;MEIO_PAG;VALOR_ACUM",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;NUM_USUARIO;COO;GNF;DATA_INICIO;SUBTOTAL;DESC_SUBTOTAL;TIPO_DESC;ACRES_SUBTOTAL;TIPO_ACR;TOTAL_LIQUIDO;IND_CANCELAMENTO;CANC_ACRES;ORDEM_DESC/ACR;CLIENTE;CPF/CNPJ_CLI",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;NUM_USUARIO;COO;GNF;NUM_ITEM;DENOMINACAO;VL_OPERACAO;DESC_ITEM;ACRES_ITEM;TOTAL_LIQUIDO;IND_CANC;CANC_ACRES",
      "TIPO_REG;NUM_FABR;MF_ADICIONAL;MODELO;NUM_USUARIO;COO;CCF;GNF;MEIO_PAG;VL_PAGO;IND_ESTORNO;VL_ESTORNO",
  };
  for (int type = 1; type <= 21; ++type) EXPECT_EQ(csvHeader(type), expected[type - 1]) << "E" << type;
}

TEST(CsvExport, RecordTypeIsTheFirstThreeCharactersCaseSensitive) {
  EXPECT_EQ(csvRecordType("E01xyz"), 1);
  EXPECT_EQ(csvRecordType("E21"), 21);
  EXPECT_EQ(csvRecordType("e01"), 0);
  EXPECT_EQ(csvRecordType("X01"), 0);
  EXPECT_EQ(csvRecordType("E22"), 0);
  EXPECT_EQ(csvRecordType("E00"), 0);
  EXPECT_EQ(csvRecordType("EAD"), 0);
  EXPECT_EQ(csvRecordType("E1"), 0);
}

TEST(CsvExport, ARecordLineIsAppendedWhateverTheRecordLength) {
  // E13: TIPO_REG(3) NUM_FABR(20) MF_ADICIONAL(1) MODELO(20) NUM_USUARIO(2) CRZ(6, apostrophe)
  // TOTALIZADOR(7) VALOR_ACUM(13).
  const std::string full = "E13" + std::string(20, 'S') + "M" + std::string(20, 'D') + "01" + "000007" + "T01    " +
                           "0000000001234";
  std::string out = "kept";
  appendCsvRecord(out, 13, full);
  EXPECT_EQ(out, "keptE13;" + std::string(20, 'S') + ";M;" + std::string(20, 'D') + ";01;'000007;T01    ;0000000001234\r\n");
  out.clear();
  appendCsvRecord(out, 13, full + "XYZ");  // characters past the layout are left out
  EXPECT_EQ(out.substr(out.size() - 16), ";0000000001234\r\n");
  out.clear();
  appendCsvRecord(out, 13, full.substr(0, 50));  // a short record: its missing fields empty, cut ones short
  EXPECT_EQ(out, "E13;" + std::string(20, 'S') + ";M;" + std::string(20, 'D') + ";01;'0000;;\r\n");
  out.clear();
  appendCsvRecord(out, 13, "E13");
  EXPECT_EQ(out, "E13;;;;;';;\r\n");
}

// Every type, every record length from empty to a few characters past the
// layout: each field is the record's slice at its place (cut short or empty when
// the record ends early), never a byte from beyond the record. The record's
// bytes include NUL and accented characters; it is cut both from a longer text
// and from an allocation of exactly its size.
TEST(CsvExport, EveryTypeAndRecordLengthCutsFieldsAtTheirPlaces) {
  const std::string alphabet = std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 \xC9\xE7\x80\xFF") + '\0';
  for (int type = 1; type <= 21; ++type) {
    const RecordLayout& layout = *layoutOf(type);
    const FieldLayout& last = layout.fields.back();
    const std::size_t length = static_cast<std::size_t>(last.start - 1 + last.width);
    std::string memory;
    for (std::size_t i = 0; i < length + 3; ++i) memory += alphabet[(i * 7 + static_cast<std::size_t>(type)) % alphabet.size()];
    memory += std::string(64, ';');  // what lies after the record in the reader's buffer

    // Which fields carry an apostrophe, from the line of the whole record (its
    // bytes hold no separator nor apostrophe of their own).
    std::string whole;
    appendCsvRecord(whole, type, std::string_view(memory.data(), length));
    std::vector<bool> apostrophe;
    for (std::size_t at = 0;; ++at) {
      apostrophe.push_back(whole[at] == '\'');
      at = whole.find(';', at);
      if (at == std::string::npos) break;
    }
    ASSERT_EQ(apostrophe.size(), layout.fields.size()) << "E" << type;

    for (std::size_t n = 0; n <= length + 3; ++n) {
      const std::string_view record(memory.data(), n);
      std::string expected = "kept";
      for (std::size_t i = 0; i < layout.fields.size(); ++i) {
        if (i > 0) expected += ';';
        if (apostrophe[i]) expected += '\'';
        expected += sliceField(record, layout.fields[i].start, layout.fields[i].width);
      }
      expected += "\r\n";
      std::string out = "kept";
      appendCsvRecord(out, type, record);
      ASSERT_EQ(out, expected) << "E" << type << ", " << n << " characters";
      // Alone in an allocation of its size: the sanitizer build sees any read past it.
      const auto alone = std::make_unique<char[]>(n);
      std::copy(record.begin(), record.end(), alone.get());
      out = "kept";
      appendCsvRecord(out, type, std::string_view(alone.get(), n));
      ASSERT_EQ(out, expected) << "E" << type << ", " << n << " characters, alone";
    }
  }
}

// `values` limited to the fields the record type has.
Overrides fieldsOf(int type, const Overrides& values) {
  Overrides kept;
  for (const FieldValue& v : values)
    for (const FieldLayout& f : layoutOf(type)->fields)
      if (f.name == v.first) kept.push_back(v);
  return kept;
}

// One record of every type (two E14 under one header), plus lines that are not
// exported, CR LF line ends and a last line without a line end.
std::string everyTypeFile() {
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02({{"CONTRIBUINTE", "JOSÉ & FILHOS"_cp}})};
  for (int type = 3; type <= 21; ++type) {
    lines.push_back(sampleRecord(type, fieldsOf(type, {{"COO", "000123"}, {"CRZ", "7"}})));
    if (type == 14) lines.push_back(sampleRecord(14, {{"COO", "124"}, {"CLIENTE", "   BLANKS AROUND   "}}));
    if (type == 5) lines.push_back(sampleRecord(5, {{"C3", "\""}}));
  }
  lines.push_back("");                     // blank line
  lines.push_back("X01 not a record");     // wrong first character
  lines.push_back("e02 lower case");       // case-sensitive
  lines.push_back(sampleEad());            // never exported
  std::string text = joinLines(lines);
  text += sampleRecord(13, {{"CRZ", "8"}});  // last line, no line end: keeps its last character
  return text;
}

TEST(CsvExport, EveryRecordTypeMatchesTheGoldenFiles) {
  TempDir dir;
  fs::create_directory(dir.path() / "out");
  writeFile(dir.file("in.txt"), everyTypeFile());
  DirectWorkerControl control;
  EXPECT_EQ(convertToCsv(dir.file("in.txt"), dir.file("out"), control), kCsvDone);
  EXPECT_EQ(control.progress, 100);
  const std::string listing = folderListing(dir.path() / "out");
  expectMatchesGolden(listing, "export/golden/every_type.csv.txt");
}

TEST(CsvExport, LfAndCrLfInputsGiveTheSameBytes) {
  TempDir dir;
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02(), sampleRecord(15), sampleEad()};
  writeFile(dir.file("crlf.txt"), joinLines(lines, "\r\n"));
  writeFile(dir.file("lf.txt"), joinLines(lines, "\n"));
  fs::create_directory(dir.path() / "a");
  fs::create_directory(dir.path() / "b");
  DirectWorkerControl control;
  ASSERT_EQ(convertToCsv(dir.file("crlf.txt"), dir.file("a"), control), kCsvDone);
  ASSERT_EQ(convertToCsv(dir.file("lf.txt"), dir.file("b"), control), kCsvDone);
  EXPECT_EQ(folderListing(dir.path() / "a"), folderListing(dir.path() / "b"));
  // Only E01 and E02 and E15 files: EAD gives none.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "a"), fs::directory_iterator()), 3);
}

TEST(CsvExport, AppendsToAnExistingFileWithoutAHeaderAndEmptyInputWritesNothing) {
  TempDir dir;
  writeFile(dir.file("E14.csv"), "linha anterior\r\n");
  writeFile(dir.file("in.txt"), joinLines({sampleRecord(14, {{"COO", "5"}})}));
  DirectWorkerControl control;
  ASSERT_EQ(convertToCsv(dir.file("in.txt"), dir.path().string(), control), kCsvDone);
  std::string expected = "linha anterior\r\n";
  appendCsvRecord(expected, 14, sampleRecord(14, {{"COO", "5"}}));
  EXPECT_EQ(readFile(dir.file("E14.csv")), expected);

  TempDir empty;
  writeFile(empty.file("vazio.txt"), "");
  EXPECT_EQ(convertToCsv(empty.file("vazio.txt"), empty.path().string(), control), kCsvDone);
  EXPECT_EQ(folderListing(empty.path()), "### vazio.txt\n");
}

TEST(CsvExport, ShortAndHugeLinesKeepEverySeparator) {
  std::string shortLine;
  appendCsvRecord(shortLine, 6, "E06ABC");
  EXPECT_EQ(shortLine, "E06;ABC;;;';;';\r\n");

  TempDir dir;
  std::string huge = sampleRecord(15) + std::string(100000, 'Z');
  writeFile(dir.file("in.txt"), huge + "\r\n");
  DirectWorkerControl control;
  ASSERT_EQ(convertToCsv(dir.file("in.txt"), dir.path().string(), control), kCsvDone);
  std::string expected = csvHeader(15) + "\r\n";
  appendCsvRecord(expected, 15, sampleRecord(15));
  EXPECT_EQ(readFile(dir.file("E15.csv")), expected);
}

TEST(CsvExport, CancellationAtAChosenRecordLeavesWholeLines) {
  TempDir dir;
  std::vector<std::string> lines = {sampleE01("TDM")};
  for (int i = 1; i <= 50; ++i) lines.push_back(sampleRecord(15, {{"COO", std::to_string(i)}}));
  writeFile(dir.file("in.txt"), joinLines(lines));
  CancelAtCheck control(12);  // stops before line 12: E01 and ten E15
  EXPECT_EQ(convertToCsv(dir.file("in.txt"), dir.path().string(), control), kConversionCancelled);
  std::string expected = csvHeader(15) + "\r\n";
  for (int i = 1; i <= 10; ++i) appendCsvRecord(expected, 15, lines[static_cast<std::size_t>(i)]);
  EXPECT_EQ(readFile(dir.file("E15.csv")), expected);
  EXPECT_TRUE(allLinesWhole(readFile(dir.file("E01.csv"))));
}

// A failed run takes back the files it created, so the retry is not refused as a
// folder that already holds COTEPE files.
TEST(CsvExport, FullDiskStopsWithStatus2AndRemovesTheFilesItCreated) {
  TempDir dir;
  fs::create_directory(dir.path() / "out");
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02()};
  for (int i = 1; i <= 3000; ++i) lines.push_back(sampleRecord(15, {{"COO", std::to_string(i)}}));
  writeFile(dir.file("in.txt"), joinLines(lines));
  writeFile(dir.file("out/outro.txt"), "de antes");
  // A file-size limit stands in for a full disk: writes beyond it fail.
  DirectWorkerControl control;
  int status;
  std::string reason;
  {
    FileSizeLimit limit(200000);
    status = convertToCsv(dir.file("in.txt"), dir.file("out"), control, &reason);
  }
  EXPECT_EQ(status, kCsvOutputFailed);
  EXPECT_EQ(reason, "Motivo: o arquivo passou do tamanho máximo permitido."_cp);
  EXPECT_EQ(folderListing(dir.file("out")), "### outro.txt\nde antes") << "only what was there before";
  EXPECT_EQ(convertToCsv(dir.file("in.txt"), dir.file("out"), control), kCsvDone) << "the retry runs";
}

// Records of several types interleaved, whole and short, enough for each file to
// be written in many blocks: every file holds its records' lines in input order.
TEST(CsvExport, InterleavedRecordsOverManyWritesKeepTheirOrder) {
  TempDir dir;
  std::vector<std::string> lines = {sampleE01("TDM")};
  std::string e14 = csvHeader(14) + "\r\n", e15 = csvHeader(15) + "\r\n", e21 = csvHeader(21) + "\r\n";
  for (int doc = 1; doc <= 400; ++doc) {
    const std::string coo = std::to_string(doc);
    lines.push_back(sampleRecord(14, {{"COO", coo}}));
    for (int item = 1; item <= 4; ++item)
      lines.push_back(sampleRecord(15, {{"COO", coo}, {"NUM_ITEM", std::to_string(item)}}));
    if (doc % 7 == 0) lines.push_back(sampleRecord(15, {{"COO", coo}}).substr(0, 20 + static_cast<std::size_t>(doc % 50)));
    lines.push_back(sampleRecord(21, {{"COO", coo}}));
  }
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    appendCsvRecord(line[2] == '4' ? e14 : line[2] == '5' ? e15 : e21, csvRecordType(line), line);
  }
  ASSERT_GT(e15.size(), 5u * 65536);
  writeFile(dir.file("in.txt"), joinLines(lines));
  DirectWorkerControl control;
  ASSERT_EQ(convertToCsv(dir.file("in.txt"), dir.path().string(), control), kCsvDone);
  EXPECT_EQ(readFile(dir.file("E14.csv")), e14);
  EXPECT_EQ(readFile(dir.file("E15.csv")), e15);
  EXPECT_EQ(readFile(dir.file("E21.csv")), e21);
}

// The lines still gathered at the end are written then: a failure there is the
// run's failure, and a file the run appended to is cut back to what it held.
TEST(CsvExport, AFailedLastWriteGivesStatus2AndLeavesAnAppendedFileAsItWas) {
  TempDir dir;
  std::vector<std::string> lines;
  for (int i = 1; i <= 300; ++i) lines.push_back(sampleRecord(15, {{"COO", std::to_string(i)}}));
  writeFile(dir.file("in.txt"), joinLines(lines));
  std::string before = csvHeader(15) + "\r\n";
  appendCsvRecord(before, 15, sampleRecord(15, {{"COO", "9"}}));
  writeFile(dir.file("E15.csv"), before);
  std::string appended;
  for (const std::string& line : lines) appendCsvRecord(appended, 15, line);
  ASSERT_GT(appended.size(), 70000u);
  ASSERT_LT(appended.size(), 131072u);  // one write during the run, the rest at its end

  DirectWorkerControl control;
  int status;
  {
    FileSizeLimit limit(before.size() + appended.size() - 1);
    status = convertToCsv(dir.file("in.txt"), dir.path().string(), control);
  }
  EXPECT_EQ(status, kCsvOutputFailed);
  EXPECT_EQ(readFile(dir.file("E15.csv")), before);
}

// --- the command ---

class CsvCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir.path() / "saida");
    writeFile(dir.file("in.txt"), joinLines({sampleE01("TDM"), sampleE02(), sampleEad()}));
    ui.progressHandler = [this](WorkerJob& job, bool showPercentage) {
      percentageShown = showPercentage;
      directoryDuringRun = fs::current_path().string();
      return runJobUntil(job, {});
    };
  }
  KeepCurrentDirectory keep;
  TempDir dir;
  ScriptedUserInterface ui;
  SessionFixture s;
  bool percentageShown = false;
  std::string directoryDuringRun;
};

TEST_F(CsvCommand, SuccessShowsTheFolderAndRestoresTheCurrentDirectory) {
  const fs::path before = fs::current_path();
  ui.answer(dir.file("in.txt"));
  ui.answer(dir.file("saida"));
  EXPECT_EQ(exportCsv(ui, s.session), kCsvDone);
  EXPECT_EQ(s.currentFile, dir.file("in.txt"));
  ASSERT_EQ(ui.openRequests.size(), 1u);
  EXPECT_EQ(ui.openRequests[0].initialName, "Arquivo TXT Formatado");
  EXPECT_EQ(ui.openRequests[0].defaultExtension, "*.*");
  EXPECT_EQ(ui.openRequests[0].filter, "Arquivos TXT Formatados (*.txt)|*.txt|");
  EXPECT_EQ(ui.folderTitles, std::vector<std::string>{"Selecione o diretório de saída dos arquivos CSV:"_cp});
  EXPECT_TRUE(percentageShown);
  EXPECT_EQ(fs::path(directoryDuringRun), fs::canonical(dir.path() / "saida"));
  EXPECT_EQ(fs::current_path(), before);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], (ShownMessage{"Processo de conversão finalizado.\nArquivos salvos no caminho:\n"_cp +
                                              dir.file("saida"),
                                          "Aviso", Icon::Information}));
  EXPECT_TRUE(fs::exists(dir.path() / "saida" / "E01.csv"));
  EXPECT_TRUE(fs::exists(dir.path() / "saida" / "E02.csv"));
}

TEST_F(CsvCommand, FolderWithE01AsksAgainAndCancelledChoosersSayNothing) {
  writeFile(dir.file("saida/E01.csv"), "x");
  ui.answer(dir.file("in.txt"));
  ui.answer(dir.file("saida"));
  ui.answer(std::nullopt);
  EXPECT_EQ(exportCsv(ui, s.session), std::nullopt);
  EXPECT_EQ(ui.folderTitles.size(), 2u);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], (ShownMessage{"Este diretório já contém arquivos COTEPE! Selecione outro diretório."_cp,
                                          "Erro!", Icon::Error}));

  ScriptedUserInterface cancelled;
  EXPECT_EQ(exportCsv(cancelled, s.session), std::nullopt);
  EXPECT_TRUE(cancelled.messages.empty());
  EXPECT_TRUE(cancelled.folderTitles.empty());
}

TEST_F(CsvCommand, UnreadableInputAndUnwritableFolderGiveTheirMessages) {
  ui.answer(dir.file("nao-existe.txt"));
  ui.answer(dir.file("saida"));
  EXPECT_EQ(exportCsv(ui, s.session), kCsvInputUnreadable);
  ui.answer(dir.file("in.txt"));
  writeFile(dir.file("arquivo"), "");
  ui.answer(dir.file("arquivo/sub"));  // a "folder" below a plain file: nothing can be created there
  EXPECT_EQ(exportCsv(ui, s.session), kCsvOutputFailed);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0], (ShownMessage{"Problemas ao abrir o arquivo COTEPE.", "Erro!", Icon::Error}));
  EXPECT_EQ(ui.messages[1], (ShownMessage{"Problemas ao abrir o arquivo CSV de saída.\n"
                                          "Motivo: um nome do caminho não é uma pasta."_cp,
                                          "Erro!", Icon::Error}));
}

TEST_F(CsvCommand, CancelledRunShowsNothingAndLeavesWholeFiles) {
  std::vector<std::string> lines = {sampleE01("TDM")};
  for (int i = 1; i <= 20000; ++i) lines.push_back(sampleRecord(15, {{"COO", std::to_string(i)}}));
  writeFile(dir.file("grande.txt"), joinLines(lines));
  ui.progressHandler = cancelJobWhen([](const WorkerJob& j) { return j.progress() >= 10; });
  ui.answer(dir.file("grande.txt"));
  ui.answer(dir.file("saida"));
  EXPECT_EQ(exportCsv(ui, s.session), std::nullopt);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(allLinesWhole(readFile(dir.file("saida/E15.csv"))));
}

TEST_F(CsvCommand, InputPathOfMoreThan1024CharactersIsRead) {
  fs::path deep = dir.path();
  while (deep.string().size() < 1100) deep /= std::string(100, 'p');
  fs::create_directories(deep);
  const std::string input = (deep / "in.txt").string();
  writeFile(input, joinLines({sampleE01("TDM")}));
  ui.answer(input);
  ui.answer(dir.file("saida"));
  EXPECT_EQ(exportCsv(ui, s.session), kCsvDone);
  EXPECT_TRUE(fs::exists(dir.path() / "saida" / "E01.csv"));
}

}  // namespace
}  // namespace tavex
