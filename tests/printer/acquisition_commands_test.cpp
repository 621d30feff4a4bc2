// The acquisition commands end to end against the simulated ECF: the exact call
// the library received, the boxes the user saw, the job's arguments, the choosers
// and period dialogs, and what changes with the model group.
#include <gtest/gtest.h>

#include "cotepe/text.h"
#include "printer/acquisition_commands.h"
#include "printer_worker_fixture.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::ShownMessage;
using testing::kSuccess;
using F = PeriodField;
using Attempt = testing::ScriptedUserInterface::PeriodAttempt;

const ShownMessage kNoSelection{"Não há fabricante ou modelo selecionado."_cp, "Erro!", Icon::Error};
const ShownMessage kNoMfd{"Função não suportada pelo Software Básico do ECF selecionado – ECF não possui MFD"_cp,
                          "Erro!", Icon::Error};
const ShownMessage kDownloadTime{"Processo finalizado com sucesso!\n\r\n\rTempo de download: 01:02:05 (hh:mm:ss)",
                                 "Tavex!", Icon::Information};
const ShownMessage kWholeFile{"Seleção de parâmetros indisponível – Será gerado arquivo espelho contendo todo o "
                              "conteúdo gravado no arquivo binário da MF ou MFD."_cp,
                              "Aviso!", Icon::Warning};

class Acquisition : public testing::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    // Models of groups 3 and 6 (ZPM/3EF LOGGER is in both), 6 only (ELGIN K),
    // 4 and 5 (BEMATECH), served by copies of the simulator (which does not know
    // their names, so Open answers 4 and the calls after it -1).
    stageManufacturer("ZPM", {"ZPM/3EF LOGGER", "ZPM-200"});
    stageManufacturer("ELGIN", {"K"});
    stageManufacturer("BEMATECH", {"MP-2000 TH FI", "MP-20 FI II"});
  }
  void fillResults() {
    window.outputText = "00000001 - E01...";
    window.currentCotepePath = "/tmp/x.txt";
  }
  void expectResultsEmptied() {
    EXPECT_EQ(window.outputText, "");
    EXPECT_EQ(window.currentCotepePath, "");
  }
};

TEST_F(Acquisition, BasicSoftwareReadingRecordsTheDownloadTime) {
  select("DATAREGIS", "SIM-1000 FI", "COM2");
  readBasicSoftware(context);
  EXPECT_EQ(log(), "Open(\"COM2\", \"SIM-1000 FI\") = 0\r\nLeSoftwareBasico() = 0\r\nClose() = 0\r\n");
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kDownloadTime});
  EXPECT_EQ(readFile((folder() / "Arquivos de Trabalho" / "tempo_download.txt").string()),
            "Tempo de download: 01:02:05 (hh:mm:ss)");
  EXPECT_TRUE(job.arguments.empty());
  EXPECT_TRUE(fs::exists(folder() / "Arquivos SB" / "SI010100000000000001.sb"));

  // A result other than 0: its box, no time.
  fs::remove(folder() / "Arquivos de Trabalho" / "tempo_download.txt");
  select("DATAREGIS", "SIM-50 SEM MFD");
  readBasicSoftware(context);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Função não implementada."_cp, "Erro!", Icon::Error}}));
  EXPECT_FALSE(fs::exists(folder() / "Arquivos de Trabalho" / "tempo_download.txt"));
}

// Preconditions, in order, before anything is asked or called.
TEST_F(Acquisition, PreconditionsRefuseWithTheirMessagesBeforeAnythingElse) {
  struct Command {
    const char* name;
    void (*run)(PrinterCommandContext&);
    bool refusesGroup5;
    bool emptiesResults;
    int files = 0, periods = 0;  // what a command that goes on asks for
  };
  const Command commands[] = {
      {"readBasicSoftware", readBasicSoftware, true, false},
      {"readFiscalMemoryBinary", readFiscalMemoryBinary, false, false},
      {"readReductionBitmap", readReductionBitmap, true, false},
      {"generateBinaryFiles", generateBinaryFiles, false, true, 0, 1},
      {"generateTextFile", generateTextFile, false, true, 1, 0},
      {"generateLmfMirror", generateLmfMirror, false, true, 1, 1},
      {"generateMfdMirror", generateMfdMirror, true, true},
  };
  for (const Command& c : commands) {
    // No model.
    window = WindowState{};
    window.manufacturerName = "DATAREGIS";
    fillResults();
    ui.messages.clear();
    c.run(context);
    EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kNoSelection}) << c.name;
    if (c.emptiesResults) {
      expectResultsEmptied();
    } else {
      EXPECT_EQ(window.outputText, "00000001 - E01...") << c.name;
    }

    // A model but no manufacturer; a model the catalogue did not select (another
    // manufacturer chosen since): every command needs the whole selection.
    select("BEMATECH", "MP-20 FI II");
    window.manufacturerName.clear();
    c.run(context);
    EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kNoSelection}) << c.name;
    select("BEMATECH", "MP-20 FI II");
    catalogue.selectManufacturer("DATAREGIS");
    window.manufacturerName = "DATAREGIS";
    c.run(context);
    EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kNoSelection}) << c.name;

    // A model without detail-tape memory.
    select("BEMATECH", "MP-20 FI II");
    if (!c.refusesGroup5) {
      for (int i = 0; i < c.files; ++i) ui.answer("/nenhum/arquivo");
      for (int i = 0; i < c.periods; ++i)
        ui.answerPeriod({{.typed = {{F::DateStart, "01102012"}, {F::DateEnd, "05102012"}}}});
    }
    c.run(context);
    if (c.refusesGroup5) {
      EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kNoMfd}) << c.name;
      EXPECT_TRUE(ui.openRequests.empty()) << c.name;
    } else {
      EXPECT_EQ(ui.openRequests.size(), static_cast<std::size_t>(c.files)) << c.name;
      EXPECT_EQ(ui.periodDialogs.size(), static_cast<std::size_t>(c.periods)) << c.name;
      ASSERT_EQ(ui.messages.size(), 1u) << c.name;
      EXPECT_EQ(ui.messages[0].title, "Erro!") << "the simulator's answer: " << c.name;
    }
    ui.openRequests.clear();
    ui.periodDialogs.clear();
  }
  EXPECT_EQ(log("BEMATECH").find("LeSoftwareBasico"), std::string::npos);
  EXPECT_EQ(log("BEMATECH").find("LeituraRZ"), std::string::npos);
  EXPECT_EQ(log("BEMATECH").find("GeraEspelhos("), std::string::npos);
  EXPECT_NE(log("BEMATECH").find("LeBinarioMF"), std::string::npos) << "group 5 still reads the MF binary";
  EXPECT_NE(log("BEMATECH").find("GeraEspelhoLMF"), std::string::npos) << "and makes the LMF mirror";
  EXPECT_EQ(log(), "") << "DATAREGIS was never called";
}

TEST_F(Acquisition, FiscalMemoryBinaryReportsSuccessAndEveryResultCode) {
  select("DATAREGIS", "SIM-1000 FI", "USB");
  readFiscalMemoryBinary(context);
  EXPECT_EQ(log(), "Open(\"USB\", \"SIM-1000 FI\") = 0\r\nLeBinarioMF() = 0\r\nClose() = 0\r\n");
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kSuccess});

  // "RET<n>" makes the simulated printer answer n; codes outside the table give an empty box.
  const std::vector<std::pair<int, std::string>> codes = {
      {-1, "Erro de comunicação com a impressora."_cp},  {1, "Erro na abertura da porta serial."},
      {2, "Erro de timeout na comunicação serial."_cp},  {3, "Erro comando não executado."_cp},
      {4, "Erro modelo desconhecido."},                  {5, "Erro na abertura do arquivo."},
      {6, "Erro arquivo inválido."_cp},                  {7, "Função não implementada."_cp},
      {8, "Função não disponível neste modelo."_cp},     {9, ""},
      {-2, ""},                                          {2147483647, ""},
  };
  for (const auto& [code, text] : codes) {
    select("DATAREGIS", "SIM-1000 FI", "RET" + std::to_string(code));
    readFiscalMemoryBinary(context);
    EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{text, "Erro!", Icon::Error}})) << code;
  }
}

TEST_F(Acquisition, ReductionBitmapDisablesItsButtonMeanwhileAndShowsOnlyErrors) {
  std::vector<bool> shown;
  context.show = [&] { shown.push_back(window.readBitmapEnabled); };
  select("DATAREGIS", "3202DT", "COM2");
  readReductionBitmap(context);
  EXPECT_EQ(log(), "Open(\"COM2\", \"3202DT\") = 0\r\nLeituraRZ(\"3202DT\") = 0\r\nClose() = 0\r\n");
  EXPECT_TRUE(ui.messages.empty()) << "no success box";
  EXPECT_EQ(shown, (std::vector<bool>{false, true}));
  EXPECT_TRUE(window.readBitmapEnabled);
  EXPECT_EQ(catalogue.loadedLibrary(), nullptr);

  select("DATAREGIS", "SIM-50 SEM MFD");
  readReductionBitmap(context);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Função não disponível neste modelo."_cp, "Erro!", Icon::Error}}));
  EXPECT_TRUE(window.readBitmapEnabled);
}

const ShownMessage kUnsupported{"Erro! Esta função não é suportada pela DLL do fabricante."_cp, "Tavex - Erro!",
                                Icon::Error};

TEST_F(Acquisition, ReductionBitmapWithALibraryLackingLeituraRz) {
  stageManufacturer("SEMRZ", {"SIM-1000 FI"}, testing::kSimulatorWithoutOptionals);
  select("SEMRZ", "SIM-1000 FI");
  EXPECT_TRUE(ui.messages.empty()) << "LeituraRZ is optional";
  readReductionBitmap(context);
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kUnsupported}) << "and no box for the result 0";
  EXPECT_EQ(log("SEMRZ"), "") << "not even Open";
  EXPECT_TRUE(window.readBitmapEnabled);
}

// The other optional entry points: the same message from the worker, nothing called.
TEST_F(Acquisition, CommandsOfOtherMissingOptionalEntryPoints) {
  stageManufacturer("SEMRZ", {"SIM-1000 FI"}, testing::kSimulatorWithoutOptionals);
  select("SEMRZ", "SIM-1000 FI");
  readFiscalMemoryBinary(context);
  EXPECT_EQ(progressOutcome, WorkerOutcome::Finished);
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kUnsupported});
  ui.messages.clear();
  ui.answer("/a/b.bin");
  ui.answerPeriod({{.typed = {{F::CrzStart, "1"}, {F::CrzEnd, "2"}}}});
  generateLmfMirror(context);
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kUnsupported});
  ui.messages.clear();
  ui.answer("/a/b.mfd");
  ui.answerPeriod({{.click = 2}});
  generateMfdMirror(context);
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kUnsupported});
  EXPECT_EQ(log("SEMRZ"), "");
}

TEST_F(Acquisition, BinaryFilesAskThePeriodOfTheKindAndDownloadIt) {
  select("DATAREGIS", "SIM-1000 FI");
  // MF, "Total": the dialog opens on it.
  fillResults();
  ui.answerPeriod({{}});
  generateBinaryFiles(context);
  expectResultsEmptied();
  ASSERT_EQ(ui.periodDialogs.size(), 1u);
  EXPECT_EQ(ui.periodDialogs[0].name, "CCotepeMF_Dlg");
  EXPECT_EQ(job.arguments, (std::vector<std::string>{"0", "3", "", ""}));
  EXPECT_EQ(log(), "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\nDownloadMemorias(\"0\", \"3\", \"\", \"\") = 0\r\nClose() = 0\r\n");
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kDownloadTime});
  EXPECT_EQ(readFile((folder() / "Arquivos de Trabalho" / "tempo_download.txt").string()),
            "Tempo de download: 01:02:05 (hh:mm:ss)");

  // MFD by COO, typed as the user typed it.
  fs::remove(folder() / "simulador.log");
  ui.messages.clear();
  window.acquisitionKind = AcquisitionKind::Mfd;
  ui.answerPeriod({{.typed = {{F::CooStart, "000010"}, {F::CooEnd, "20"}}}});
  generateBinaryFiles(context);
  EXPECT_EQ(ui.periodDialogs.back().name, "CCotepeMFD_Dlg");
  EXPECT_EQ(job.arguments, (std::vector<std::string>{"1", "2", "000010", "20"}));
  EXPECT_NE(log().find("DownloadMemorias(\"1\", \"2\", \"000010\", \"20\") = 0"), std::string::npos) << log();

  // TDM by dates; the CRZ boxes' texts stay out.
  window.acquisitionKind = AcquisitionKind::Tdm;
  ui.answerPeriod({{.typed = {{F::CrzStart, "1"}, {F::CrzEnd, "2"}, {F::DateStart, "01102012"}, {F::DateEnd, "05102012"}}}});
  generateBinaryFiles(context);
  EXPECT_EQ(ui.periodDialogs.back().name, "CCotepeMF_Dlg");
  EXPECT_EQ(job.arguments, (std::vector<std::string>{"2", "0", "01102012", "05102012"}));

  // RZ is refused before the dialog; a cancelled dialog ends silently.
  ui.messages.clear();
  const std::size_t dialogs = ui.periodDialogs.size();
  fs::remove(folder() / "simulador.log");
  window.acquisitionKind = AcquisitionKind::Rz;
  generateBinaryFiles(context);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Selecione MF, MFD ou TDM.", "Erro!", Icon::Error}}));
  window.acquisitionKind = AcquisitionKind::Mf;
  ui.messages.clear();
  generateBinaryFiles(context);  // no script: the user cancels
  EXPECT_EQ(ui.periodDialogs.size(), dialogs + 1);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(log(), "");
}

TEST_F(Acquisition, BinaryFileDialogsFollowTheModelGroup) {
  // Group 4 with TDM: no CRZ in CCotepeMF_Dlg; clicking it changes nothing.
  select("BEMATECH", "MP-2000 TH FI");
  window.acquisitionKind = AcquisitionKind::Tdm;
  ui.answerPeriod({{.click = 1, .typed = {{F::CrzStart, "1"}, {F::CrzEnd, "2"}}}});
  generateBinaryFiles(context);
  EXPECT_FALSE(ui.periodDialogs.back().choices[1].enabled);
  EXPECT_EQ(job.arguments, (std::vector<std::string>{"2", "3", "", ""}));
  EXPECT_EQ(log("BEMATECH"),
            "Open(\"COM1\", \"MP-2000 TH FI\") = 4\r\nDownloadMemorias(\"2\", \"3\", \"\", \"\") = -1\r\nClose() = 0\r\n");
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Erro de comunicação com a impressora."_cp, "Erro!", Icon::Error}}));

  // Group 3: only "Total" in both dialogs.
  select("ZPM", "ZPM/3EF LOGGER");
  window.acquisitionKind = AcquisitionKind::Mf;
  generateBinaryFiles(context);
  window.acquisitionKind = AcquisitionKind::Mfd;
  generateBinaryFiles(context);
  // Group 6 only: MFD only "Total".
  select("ZPM", "ZPM-200");
  generateBinaryFiles(context);
  // Group 2: MFD without COO.
  select("DATAREGIS", "3202DT");
  generateBinaryFiles(context);
  const auto& d = ui.periodDialogs;
  ASSERT_EQ(d.size(), 5u);
  auto enabled = [](const PeriodDialogDescription& x) {
    std::vector<int> out;
    for (std::size_t i = 0; i < x.choices.size(); ++i)
      if (x.choices[i].enabled && x.choices[i].visible) out.push_back(static_cast<int>(i));
    return out;
  };
  EXPECT_EQ(enabled(d[1]), (std::vector<int>{3}));
  EXPECT_EQ(enabled(d[2]), (std::vector<int>{3}));
  EXPECT_EQ(enabled(d[3]), (std::vector<int>{3}));
  EXPECT_EQ(enabled(d[4]), (std::vector<int>{0, 1, 3}));
}

TEST_F(Acquisition, TextFileAsksForTheFilesOfTheKindAndPassesThemInOrder) {
  select("DATAREGIS", "SIM-1000 FI");
  const std::string mf = download(AcquisitionKind::Mf);
  const std::string mfd = download(AcquisitionKind::Mfd);

  // TDM: the MF file first, the MFD file second.
  window.acquisitionKind = AcquisitionKind::Tdm;
  fillResults();
  ui.answer(mf);
  ui.answer(mfd);
  generateTextFile(context);
  expectResultsEmptied();
  ASSERT_EQ(ui.openRequests.size(), 2u);
  EXPECT_EQ(ui.openRequests[0].defaultExtension, "*.mf");
  EXPECT_EQ(ui.openRequests[0].initialName, "Arquivo MF de entrada");
  EXPECT_EQ(ui.openRequests[0].filter, "Arquivos de Memória Fiscal (*.mf)|*.mf||"_cp);
  EXPECT_EQ(ui.openRequests[1].defaultExtension, "*.mfd");
  EXPECT_EQ(ui.openRequests[1].initialName, "Arquivo MFD de entrada");
  EXPECT_EQ(ui.openRequests[1].filter, "Arquivos de MFD (*.mfd)|*.mfd||");
  EXPECT_TRUE(ui.openRequests[0].mustExist && ui.openRequests[1].mustExist);
  EXPECT_TRUE(ui.periodDialogs.empty()) << "no period outside groups 3 and 6";
  EXPECT_EQ(job.arguments, (std::vector<std::string>{mf, mfd, "2"}));
  EXPECT_EQ(log(), "GeraRegistrosTipoE(\"" + mf + "\", \"" + mfd + "\", \"2\", \"\", \"\", \"\") = 0\r\n")
      << "no Open, no Close";
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kSuccess});
  EXPECT_TRUE(fs::exists(folder() / "Arquivos TXT Formatados" / "SI010100000000000001_TDM.txt"));

  // RZ: only the RZ file, passed second, with an empty MF file.
  ui.openRequests.clear();
  ui.messages.clear();
  window.acquisitionKind = AcquisitionKind::Rz;
  ui.answer("/sem/arquivo.rz");
  generateTextFile(context);
  ASSERT_EQ(ui.openRequests.size(), 1u);
  EXPECT_EQ(ui.openRequests[0].defaultExtension, "*.rz");
  EXPECT_EQ(ui.openRequests[0].initialName, "Arquivo Redução Z de entrada"_cp);
  EXPECT_EQ(ui.openRequests[0].filter, "Arquivos de Redução Z (*.rz)|*.rz||"_cp);
  EXPECT_EQ(job.arguments, (std::vector<std::string>{"", "/sem/arquivo.rz", "3"}));
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Erro na abertura do arquivo.", "Erro!", Icon::Error}}));

  // A file the simulator did not write; a cancelled chooser ends silently.
  ui.messages.clear();
  window.acquisitionKind = AcquisitionKind::Mfd;
  ui.answer((folder() / "DATAREGIS.xml").string());
  generateTextFile(context);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Erro arquivo inválido."_cp, "Erro!", Icon::Error}}));
  ui.messages.clear();
  fs::remove(folder() / "simulador.log");
  window.acquisitionKind = AcquisitionKind::Tdm;
  ui.answer(mf);  // then the MFD chooser is cancelled
  generateTextFile(context);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(log(), "");
}

TEST_F(Acquisition, TextFileByModelGroup) {
  // Group 2: six arguments; no period is asked, so everything ("3") without bounds.
  select("DATAREGIS", "3202DT");
  const std::string mf = download(AcquisitionKind::Mf);
  ui.answer(mf);
  generateTextFile(context);
  EXPECT_TRUE(ui.periodDialogs.empty());
  EXPECT_EQ(job.arguments, (std::vector<std::string>{mf, "", "0", "3", "", ""}));
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kSuccess});

  // Groups 3 and 6: CGenerateCotepe_Dlg, and the six-argument form with its
  // choice; non-digit CRZ texts go as typed.
  select("ZPM", "ZPM/3EF LOGGER");
  ui.answer("/a/b.mf");
  ui.answerPeriod({{.click = 1, .typed = {{F::CrzStart, "abc"}, {F::CrzEnd, "x1"}}}});
  generateTextFile(context);
  ASSERT_EQ(ui.periodDialogs.size(), 1u);
  EXPECT_EQ(ui.periodDialogs[0].name, "CGenerateCotepe_Dlg");
  EXPECT_EQ(job.arguments, (std::vector<std::string>{"/a/b.mf", "", "0", "1", "abc", "x1"}));
  EXPECT_EQ(log("ZPM"), "GeraRegistrosTipoE(\"/a/b.mf\", \"\", \"0\", \"1\", \"abc\", \"x1\") = 5\r\n");

  // Group 3 with the kind RZ: no period asked, "3" and empty bounds.
  window.acquisitionKind = AcquisitionKind::Rz;
  ui.answer("/a/b.rz");
  generateTextFile(context);
  EXPECT_EQ(ui.periodDialogs.size(), 1u);
  EXPECT_EQ(job.arguments, (std::vector<std::string>{"", "/a/b.rz", "3", "3", "", ""}));

  // Group 6 only: the period is asked but the call has three arguments.
  select("ELGIN", "K");
  window.acquisitionKind = AcquisitionKind::Mfd;
  ui.answer("/a/b.mfd");
  ui.answerPeriod({{.click = 0, .typed = {{F::DateStart, "01102012"}, {F::DateEnd, "05102012"}}}});
  generateTextFile(context);
  EXPECT_EQ(ui.periodDialogs.size(), 2u);
  EXPECT_EQ(job.arguments, (std::vector<std::string>{"", "/a/b.mfd", "1"}));

  // A cancelled period dialog ends the command.
  ui.messages.clear();
  fs::remove(folder("ELGIN") / "simulador.log");
  ui.answer("/a/b.mfd");
  generateTextFile(context);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(log("ELGIN"), "");
}

TEST_F(Acquisition, LmfMirror) {
  select("DATAREGIS", "SIM-1000 FI");
  readFiscalMemoryBinary(context);
  const std::string bin = (folder() / "Arquivos Binários" / "SI010100000000000001.bin").string();
  fs::remove(folder() / "simulador.log");
  ui.messages.clear();

  fillResults();
  ui.answer(bin);
  ui.answerPeriod({{.typed = {{F::CrzStart, "1"}, {F::CrzEnd, "2"}}, .simplified = true}});
  generateLmfMirror(context);
  expectResultsEmptied();
  ASSERT_EQ(ui.openRequests.size(), 1u);
  EXPECT_EQ(ui.openRequests[0].defaultExtension, "*.bin");
  EXPECT_EQ(ui.openRequests[0].initialName, "Arquivo binário da Memória Fiscal"_cp);
  EXPECT_EQ(ui.openRequests[0].filter, "Arquivos binários de MF (*.bin)|*.bin||"_cp);
  EXPECT_EQ(ui.periodDialogs.back().name, "CReadMFDDlg");
  EXPECT_EQ(job.arguments, (std::vector<std::string>{bin, "1", "1", "1", "2"}));
  EXPECT_EQ(log(), "GeraEspelhoLMF(\"" + bin + "\", \"1\", \"1\", \"1\", \"2\") = 0\r\n");
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kSuccess});

  // Dates, not simplified; then group 2: the warning and "0" everywhere.
  ui.answer(bin);
  ui.answerPeriod({{.typed = {{F::DateStart, "01102012"}, {F::DateEnd, "05102012"}}}});
  generateLmfMirror(context);
  EXPECT_EQ(job.arguments, (std::vector<std::string>{bin, "0", "0", "01102012", "05102012"}));
  select("DATAREGIS", "3202DT");
  const std::size_t dialogs = ui.periodDialogs.size();
  ui.answer(bin);
  generateLmfMirror(context);
  EXPECT_EQ(ui.periodDialogs.size(), dialogs);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{kWholeFile, kSuccess}));
  EXPECT_EQ(job.arguments, (std::vector<std::string>{bin, "0", "0", "0", "0"}));
}

TEST_F(Acquisition, MfdMirror) {
  select("DATAREGIS", "SIM-1000 FI");
  const std::string mfd = download(AcquisitionKind::Mfd);
  ui.answer(mfd);
  ui.answerPeriod({{.typed = {{F::DateStart, "01102012"}, {F::DateEnd, "05102012"}, {F::ReferenceDate, "03102012"}}}});
  generateMfdMirror(context);
  ASSERT_EQ(ui.openRequests.size(), 1u);
  EXPECT_EQ(ui.openRequests[0].defaultExtension, "*.mfd");
  EXPECT_EQ(ui.openRequests[0].initialName, "Arquivo MFD");
  EXPECT_EQ(ui.openRequests[0].filter, "Arquivos de MFD (*.mfd)|*.mfd||");
  EXPECT_EQ(ui.periodDialogs.back().name, "CESP_Dlg");
  EXPECT_EQ(log(), "GeraEspelhos(\"" + mfd + "\", \"0\", \"01102012\", \"05102012\", \"03102012\") = 0\r\n")
      << "no Open or Close outside group 2";
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kSuccess});

  // "Total" passes empty bounds whatever the boxes hold, and the movement date.
  ui.answer(mfd);
  ui.answerPeriod({{.click = 2, .typed = {{F::ReferenceDate, "x"}}}});
  generateMfdMirror(context);
  EXPECT_EQ(job.arguments, (std::vector<std::string>{mfd, "2", "", "", "x"}));

  // Group 2: the warning, then Open, GeraEspelhos with "0" everywhere, Close.
  select("DATAREGIS", "3202DT", "COM2");
  fs::remove(folder() / "simulador.log");
  ui.answer(mfd);
  generateMfdMirror(context);
  EXPECT_EQ(log(), "Open(\"COM2\", \"3202DT\") = 0\r\nGeraEspelhos(\"" + mfd +
                       "\", \"0\", \"0\", \"0\", \"0\") = 0\r\nClose() = 0\r\n");
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{kWholeFile, kSuccess}));
}

// Bad inputs: no crash, the loader's messages, nothing further.
TEST_F(Acquisition, BadLibrariesAndAManufacturerFolderRemovedAfterStartUp) {
  select("FALSO", "F-1");
  ui.answerPeriod({{}});
  generateBinaryFiles(context);
  EXPECT_EQ(progressOutcome, WorkerOutcome::Finished);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Erro! A biblioteca não foi localizada."_cp, "Erro!", Icon::Error}}));

  select("DATAREGIS", "SIM-1000 FI");
  fs::remove_all(folder());
  readBasicSoftware(context);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Erro! A biblioteca não foi localizada."_cp, "Erro!", Icon::Error}}));
  ui.messages.clear();
  readReductionBitmap(context);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Erro! A biblioteca não foi localizada."_cp, "Erro!", Icon::Error}}))
      << "the result 0 shows nothing more";
  EXPECT_TRUE(window.readBitmapEnabled);
  EXPECT_EQ(fs::current_path(), start);
}

// Period texts of 10,000 characters reach the library as typed where the dialog
// lets them through.
TEST_F(Acquisition, LongPeriodTextsAreRefusedOrPassedWhole) {
  select("DATAREGIS", "SIM-1000 FI");
  const std::string longText(10000, '7');
  const std::string mfd = download(AcquisitionKind::Mfd);
  ui.answer(mfd);
  ui.answerPeriod({{.typed = {{F::CooStart, longText}, {F::CooEnd, "1"}}},
                   {.typed = {{F::CooStart, "1"}, {F::ReferenceDate, longText}}}});
  generateMfdMirror(context);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Campos com COO excedem o numero de caracteres.", "Erro!", Icon::Error},
                                                    kSuccess}));
  EXPECT_EQ(job.arguments, (std::vector<std::string>{mfd, "1", "1", "1", longText}));
  EXPECT_NE(log().find(longText), std::string::npos);
}

}  // namespace
}  // namespace tavex
