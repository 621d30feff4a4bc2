// The window on Qt's offscreen platform: its controls, and each button reaching
// its command (the commands talk to a scripted user interface).
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>

#include "app/about_dialog.h"
#include "app/file_view.h"
#include "app/main_window.h"
#include "app/paf_dialog.h"
#include "app/progress_dialog.h"
#include "app/qt_text.h"
#include "app/qt_user_interface.h"
#include "app_fixture.h"
#include "cotepe/text.h"
#include "jobs/worker_job.h"
#include "support/files.h"
#include "support/sample_files.h"
#include "support/scripted_ui.h"

namespace tavex::testing {
namespace {

using app::MainWindow;

class MainWindowTest : public WindowTest {
 protected:
  std::unique_ptr<MainWindow> open(const std::string& start) { return std::make_unique<MainWindow>(ui, start); }
  TempDir dir;
  ScriptedUserInterface ui;
};

void writeManufacturer(const TempDir& dir, const std::string& name, const std::vector<std::string>& models) {
  std::filesystem::create_directories(dir.path() / name);
  std::string xml = "<fabricante><dll><nome>lib" + name + ".so</nome>";
  for (const std::string& m : models) xml += "<modelo>" + m + "</modelo>";
  writeFile((dir.path() / name / (name + ".xml")).string(), xml + "</dll></fabricante>");
}

TEST_F(MainWindowTest, StartsWithTheDesktopProgramsControls) {
  writeManufacturer(dir, "ZETA", {"Z1"});
  writeManufacturer(dir, "ALFA", {"A1"});
  auto window = open(dir.path().string());
  EXPECT_EQ(window->windowTitle(), QString("Tavex v3.28            09/10/2012"));
  EXPECT_EQ(window->manufacturers()->count(), 2);
  EXPECT_EQ(window->manufacturers()->itemText(0), "ALFA");
  EXPECT_EQ(window->manufacturers()->currentIndex(), -1);
  EXPECT_EQ(window->ports()->count(), 9);
  EXPECT_EQ(window->ports()->currentText(), "COM1");
  EXPECT_EQ(window->tolerance()->text(), "0,00");
  EXPECT_TRUE(window->kindChoice(0)->isChecked());
  EXPECT_TRUE(window->button("ajuda")->isDefault());
  EXPECT_EQ(window->button("separarArquivo")->text(), "Separar Arquivo ");
  window->show();
  EXPECT_FALSE(window->button("validarFormato")->isVisible());
  EXPECT_TRUE(window->results()->isReadOnly());
  EXPECT_EQ(window->results()->font().pixelSize(), 14);
  for (const char* name : {"leituraX", "leituraMF", "impressaoFitaDetalhe", "validarAssinaturaPaf", "gerarArquivosBinarios",
                           "gerarArquivoTexto", "lerRegistroSalvo", "validarArquivoTexto", "exportarCsv", "exportarMdb",
                           "leituraSoftwareBasico", "leituraBinarioMF", "lerBitmapRZ", "gerarEspelhosLMF",
                           "gerarEspelhosMFD", "validarAssinaturaDigital", "sobre", "sair"})
    EXPECT_NE(window->button(name), nullptr) << name;
}

TEST_F(MainWindowTest, AStartDirectoryWithoutManufacturersStillOpens) {
  auto window = open(dir.path().string());
  EXPECT_EQ(window->manufacturers()->count(), 0);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MainWindowTest, ReadAndValidateAFileFromTheButtons) {
  const std::string file = dir.file("ecf.txt");
  writeFile(file, joinLines(sampleTdmFile()));
  auto window = open(dir.path().string());
  ui.answer(file);
  window->button("lerRegistroSalvo")->click();
  EXPECT_EQ(window->output()->currentWidget(), window->fileView());
  EXPECT_TRUE(window->fileView()->text(0, 0).startsWith("00000001 - E01"));
  window->tolerance()->setText("0,05");
  window->button("validarArquivoTexto")->click();
  EXPECT_EQ(window->model().state.toleranceText, "0,05");
  EXPECT_TRUE(window->results()->toPlainText().contains("Fim da validação do arquivo."));
  window->button("validarFormato")->click();
  EXPECT_TRUE(window->results()->toPlainText().contains("avisos(s) encontrado(s)."));
}

TEST_F(MainWindowTest, ConversionAndSignatureButtonsReachTheirCommands) {
  auto window = open(dir.path().string());
  window->button("exportarCsv")->click();  // the chooser is cancelled
  window->button("exportarMdb")->click();
  window->button("separarArquivo")->click();
  EXPECT_EQ(ui.openRequests.size(), 3u);
  window->button("validarAssinaturaDigital")->click();
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_EQ(ui.messages.back().text, "Não há fabricante selecionado."_cp);
}

TEST_F(MainWindowTest, ChoosingAModelWithoutDetailTapeGreysTheOtherKinds) {
  writeManufacturer(dir, "BEMATECH", {"MP-20 FI II", "MP-2100 TH FI"});
  auto window = open(dir.path().string());
  window->manufacturers()->setCurrentIndex(0);
  emit window->manufacturers()->textActivated("BEMATECH");
  ASSERT_EQ(window->models()->count(), 2);
  window->models()->setCurrentText("MP-20 FI II");
  emit window->models()->textActivated("MP-20 FI II");
  EXPECT_FALSE(window->kindChoice(1)->isEnabled());
  EXPECT_FALSE(window->kindChoice(3)->isEnabled());
  EXPECT_TRUE(window->kindChoice(0)->isEnabled());
  window->models()->setCurrentText("MP-2100 TH FI");
  emit window->models()->textActivated("MP-2100 TH FI");
  EXPECT_TRUE(window->kindChoice(2)->isEnabled());
}

TEST_F(MainWindowTest, EnterOpensTheManualAndEscapeEndsTheProgram) {
  writeFile(dir.file("Manual_Tavex.pdf"), "%PDF-1.4\n");
  auto window = open(dir.path().string());
  QString opened;
  window->openDocument = [&](const QString& path) {
    opened = path;
    return true;
  };
  window->show();
  window->tolerance()->setFocus();
  QTest::keyClick(window.get(), Qt::Key_Return);
  EXPECT_EQ(opened, app::fromPath(dir.file("Manual_Tavex.pdf")));
  EXPECT_TRUE(ui.messages.empty());
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
}

const ShownMessage kManualNotOpened{
    "Não foi possível abrir o manual do Tavex (Manual_Tavex.pdf, na pasta em que o programa foi iniciado)."_cp,
    "Erro!", Icon::Error};

// The manual and the software houses' keys lie in the start directory, wherever
// the commands have moved the current one since.
TEST_F(MainWindowTest, ManualAndSoftwareHousesAreFoundInTheStartDirectory) {
  writeFile(dir.file("Manual_Tavex.pdf"), "%PDF-1.4\n");
  std::filesystem::create_directories(dir.path() / "SHouse");
  writeFile(dir.file("SHouse/ACME.xml"), "<empresa_desenvolvedora><nome>ACME</nome></empresa_desenvolvedora>");
  std::filesystem::create_directories(dir.path() / "outra");
  auto window = open(dir.path().string());
  std::filesystem::current_path(dir.path() / "outra");
  QString opened;
  window->openDocument = [&](const QString& path) {
    opened = path;
    return true;
  };
  window->button("ajuda")->click();
  EXPECT_EQ(opened, app::fromPath(dir.file("Manual_Tavex.pdf")));
  int houses = -1;
  whenModalOpens([&](QWidget* modal) {
    houses = modal->findChild<QComboBox*>("softwareHouse")->count();
    modal->findChild<QPushButton*>("sair")->click();
  });
  window->button("validarAssinaturaPaf")->click();
  EXPECT_EQ(houses, 1);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MainWindowTest, AManualThatCannotBeOpenedIsReported) {
  auto window = open(dir.path().string());
  int attempts = 0;
  window->openDocument = [&](const QString&) { return ++attempts, false; };
  window->button("ajuda")->click();  // no manual at all: the viewer is not even tried
  EXPECT_EQ(attempts, 0);
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kManualNotOpened});
  writeFile(dir.file("Manual_Tavex.pdf"), "%PDF-1.4\n");
  window->button("ajuda")->click();  // no viewer for it
  EXPECT_EQ(attempts, 1);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{kManualNotOpened, kManualNotOpened}));
}

// A start folder without the manual (a copy of the installed examples) opens the
// installed one; the folder's own copy comes first.
TEST_F(MainWindowTest, AStartFolderWithoutTheManualOpensTheInstalledOne) {
  TempDir installed;
  writeFile(installed.file("Manual_Tavex.pdf"), "%PDF-1.4\n");
  auto window = open(dir.path().string());
  window->useInstalledFiles({}, installed.file("Manual_Tavex.pdf"));
  QStringList opened;
  window->openDocument = [&](const QString& path) { return opened << path, true; };
  window->show();
  QTest::mouseClick(window->button("ajuda"), Qt::LeftButton);
  writeFile(dir.file("Manual_Tavex.pdf"), "%PDF-1.4\n");
  QTest::mouseClick(window->button("ajuda"), Qt::LeftButton);
  EXPECT_EQ(opened, (QStringList{app::fromPath(installed.file("Manual_Tavex.pdf")),
                                 app::fromPath(dir.file("Manual_Tavex.pdf"))}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MainWindowTest, AModelGroupThatGreysTheCheckedKindMovesTheCheckToMf) {
  writeManufacturer(dir, "BEMATECH", {"MP-20 FI II"});
  auto window = open(dir.path().string());
  window->kindChoice(2)->click();
  EXPECT_EQ(window->model().state.acquisitionKind, AcquisitionKind::Tdm);
  window->manufacturers()->setCurrentIndex(0);
  emit window->manufacturers()->textActivated("BEMATECH");
  window->models()->setCurrentText("MP-20 FI II");
  emit window->models()->textActivated("MP-20 FI II");
  EXPECT_FALSE(window->kindChoice(2)->isEnabled());
  EXPECT_TRUE(window->kindChoice(0)->isChecked());
  EXPECT_EQ(window->model().state.acquisitionKind, AcquisitionKind::Mf);
}

// Manufacturer folders are file-system names (UTF-8), shown and selected as such.
TEST_F(MainWindowTest, AccentedManufacturerFoldersAreShownAndSelectedRight) {
  writeManufacturer(dir, "ÓTICA", {"O-1"});
  auto window = open(dir.path().string());
  ASSERT_EQ(window->manufacturers()->count(), 1);
  EXPECT_EQ(window->manufacturers()->itemText(0), QString::fromUtf8("ÓTICA"));
  window->manufacturers()->setCurrentIndex(0);
  emit window->manufacturers()->textActivated(window->manufacturers()->itemText(0));
  EXPECT_EQ(window->models()->count(), 1);
  EXPECT_EQ(window->catalogue().mdbDirectory(), (dir.path() / "ÓTICA" / "MDB").string() + "/");
}

TEST_F(MainWindowTest, AboutAndPafDialogsOpenAndClose) {
  auto window = open(dir.path().string());
  bool sawAbout = false, sawPaf = false;
  whenModalOpens([&](QWidget* modal) {
    sawAbout = qobject_cast<app::AboutDialog*>(modal) != nullptr;
    modal->findChild<QPushButton*>("fechar")->click();
  });
  window->button("sobre")->click();
  EXPECT_TRUE(sawAbout);
  whenModalOpens([&](QWidget* modal) {
    auto* paf = qobject_cast<app::PAF_Dlg*>(modal);
    sawPaf = paf != nullptr;
    if (paf) {
      paf->houses()->setEditText("");
      paf->findChild<QPushButton*>("selecionarArquivo")->click();  // nothing chosen: its message
      paf->findChild<QPushButton*>("sair")->click();
    }
  });
  window->button("validarAssinaturaPaf")->click();
  EXPECT_TRUE(sawPaf);
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_EQ(ui.messages.back().text, "Não há Software House selecionada."_cp);
}

TEST_F(MainWindowTest, ProgressDialogAnimatesAcrossDialogsAndClosesWhenFinished) {
  WorkerJob job;
  std::atomic<bool> release{false};
  job.prepare([&](WorkerContext& context) {
    while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    context.finish(0);
  }, CancelMode::Cooperative);
  ASSERT_TRUE(job.start());
  app::CProgressDlg::animationPosition = 90;
  {
    app::CProgressDlg first(job, false);
    first.tick();
    EXPECT_EQ(first.bar()->value(), 95);
    first.tick();
    EXPECT_EQ(first.bar()->value(), 100);
  }
  app::CProgressDlg second(job, false);
  second.tick();
  EXPECT_EQ(second.bar()->value(), 0);  // 105 is never shown
  EXPECT_FALSE(second.bar()->isTextVisible()) << "an animation measures nothing";
  EXPECT_TRUE(app::CProgressDlg(job, true).bar()->isTextVisible());
  release = true;
  while (!job.isFinished()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  second.tick();
  EXPECT_EQ(second.result(), QDialog::Accepted);
  job.waitForThread();
}

}  // namespace
}  // namespace tavex::testing

namespace tavex::testing {
namespace {

class QtText : public WindowTest {};

TEST_F(QtText, Cp1252BytesBecomeTheirUnicodeCharacters) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const QString text = app::fromCp1252(all);
  EXPECT_EQ(text.size(), 255);
  EXPECT_EQ(text.at(0x80 - 1), QChar(0x20AC));  // €
  EXPECT_EQ(text.at(0xE3 - 1), QChar(0x00E3));  // ã
  EXPECT_EQ(app::toCp1252(text), all);
}

}  // namespace
}  // namespace tavex::testing

namespace tavex::testing {
namespace {

class PrinterButtonsTest : public WindowTest {
 protected:
  // The simulated printer as DATAREGIS, "SIM-1000 FI" chosen.
  void chooseSimulatedPrinter(app::MainWindow& window) {
    ASSERT_EQ(window.manufacturers()->count(), 1);
    window.manufacturers()->setCurrentIndex(0);
    emit window.manufacturers()->textActivated("DATAREGIS");
    window.models()->setCurrentText("SIM-1000 FI");
    emit window.models()->textActivated("SIM-1000 FI");
  }
  void stageSimulator() {
    const auto simulator = std::filesystem::path(TAVEX_BINARY_DIR) / "exemplos" / "DATAREGIS";
    std::filesystem::copy(simulator, dir.path() / "DATAREGIS", std::filesystem::copy_options::recursive);
  }
  std::string calls() const {
    const auto log = dir.path() / "DATAREGIS" / "simulador.log";
    return std::filesystem::exists(log) ? readFile(log.string()) : std::string();
  }
  TempDir dir;
  ScriptedUserInterface ui;
};

const ShownMessage kNoSelection{"Não há fabricante ou modelo selecionado."_cp, "Erro!", Icon::Error};
constexpr const char* kPrinterButtons[] = {"leituraX",         "leituraMF",          "impressaoFitaDetalhe",
                                           "gerarArquivosBinarios", "gerarArquivoTexto", "leituraSoftwareBasico",
                                           "leituraBinarioMF", "lerBitmapRZ",        "gerarEspelhosLMF",
                                           "gerarEspelhosMFD"};

TEST_F(PrinterButtonsTest, PrinterButtonsWithoutASelection) {
  app::MainWindow window(ui, dir.path().string());
  // The acquisition commands test the selection first.
  for (const char* name : kPrinterButtons) {
    ui.messages.clear();
    window.button(name)->click();
    EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kNoSelection}) << name;
  }
  EXPECT_TRUE(window.button("lerBitmapRZ")->isEnabled());
}

// Choosing another manufacturer empties the model box: no command may then run on
// the printer chosen before.
TEST_F(PrinterButtonsTest, ANewManufacturerWithoutAModelRunsNothingOnThePreviousPrinter) {
  stageSimulator();
  writeManufacturer(dir, "OUTRO", {"O-1"});
  app::MainWindow window(ui, dir.path().string());
  ASSERT_EQ(window.manufacturers()->count(), 2);
  window.manufacturers()->setCurrentText("DATAREGIS");
  emit window.manufacturers()->textActivated("DATAREGIS");
  window.models()->setCurrentText("SIM-1000 FI");
  emit window.models()->textActivated("SIM-1000 FI");
  window.manufacturers()->setCurrentText("OUTRO");
  emit window.manufacturers()->textActivated("OUTRO");
  EXPECT_EQ(window.models()->currentText(), "");
  ui.progressHandler = runJobToEnd();
  for (const char* name : kPrinterButtons) {
    ui.messages.clear();
    window.button(name)->click();
    EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kNoSelection}) << name;
  }
  EXPECT_EQ(calls(), "");
}

// Every text of a printer command's chooser reaches the user as written: no UTF-8
// bytes read as cp1252 ("binÃ¡rios").
TEST_F(PrinterButtonsTest, ChooserTextsReachTheUserAsWritten) {
  stageSimulator();
  app::MainWindow window(ui, dir.path().string());
  chooseSimulatedPrinter(window);
  for (int kind = 0; kind < 4; ++kind) {
    window.kindChoice(kind)->click();
    window.button("gerarArquivoTexto")->click();  // choosers cancelled
  }
  window.button("gerarEspelhosLMF")->click();
  window.button("gerarEspelhosMFD")->click();
  ASSERT_EQ(ui.openRequests.size(), 6u);
  QStringList filters;
  for (const OpenFileRequest& r : ui.openRequests) {
    filters << app::qtFilterOf(r.filter);
    for (const QString& text : {app::fromCp1252(r.filter), app::fromCp1252(r.initialName)})
      EXPECT_FALSE(text.contains(QChar(0xC3)) || text.contains(QChar(0xC2))) << text.toStdString();
  }
  EXPECT_EQ(filters, (QStringList{QString::fromUtf8("Arquivos de Memória Fiscal (*.mf)"), "Arquivos de MFD (*.mfd)",
                                  QString::fromUtf8("Arquivos de Memória Fiscal (*.mf)"),
                                  QString::fromUtf8("Arquivos de Redução Z (*.rz)"),
                                  QString::fromUtf8("Arquivos binários de MF (*.bin)"), "Arquivos de MFD (*.mfd)"}));
  EXPECT_EQ(app::fromCp1252(ui.openRequests[3].initialName), QString::fromUtf8("Arquivo Redução Z de entrada"));
}

// After a model is chosen the current directory is the manufacturer's folder; the
// manual is still found in the start directory.
TEST_F(PrinterButtonsTest, HelpFindsTheManualAfterAModelWasChosen) {
  stageSimulator();
  writeFile(dir.file("Manual_Tavex.pdf"), "%PDF-1.4\n");
  app::MainWindow window(ui, dir.path().string());
  chooseSimulatedPrinter(window);
  ui.progressHandler = runJobToEnd();
  window.button("leituraX")->click();
  QString opened;
  window.openDocument = [&](const QString& path) {
    opened = path;
    return true;
  };
  window.button("ajuda")->click();
  EXPECT_EQ(opened, app::fromPath(dir.file("Manual_Tavex.pdf")));
  EXPECT_TRUE(ui.messages.empty());
}

// A printer command works on the window's own values: the kind chosen in the window
// is the one it reads, and the results and the current file it empties are gone
// from the window (its results box, its status bar) once it returns.
TEST_F(PrinterButtonsTest, APrinterCommandReadsAndWritesTheWindowsOwnValues) {
  stageSimulator();
  writeFile(dir.file("ecf.txt"), joinLines(sampleTdmFile()));
  app::MainWindow window(ui, dir.path().string());
  chooseSimulatedPrinter(window);
  ui.answer(dir.file("ecf.txt"));
  window.button("lerRegistroSalvo")->click();
  window.button("validarArquivoTexto")->click();
  ASSERT_FALSE(window.model().state.outputText.empty());
  ASSERT_EQ(window.model().state.currentCotepePath, dir.file("ecf.txt"));

  window.kindChoice(3)->click();
  ui.openRequests.clear();
  window.button("gerarArquivoTexto")->click();  // the RZ file's chooser, cancelled
  ASSERT_EQ(ui.openRequests.size(), 1u);
  EXPECT_EQ(app::qtFilterOf(ui.openRequests[0].filter), QString::fromUtf8("Arquivos de Redução Z (*.rz)"));
  EXPECT_EQ(window.model().state.acquisitionKind, AcquisitionKind::Rz);
  EXPECT_EQ(window.model().state.outputText, "");
  EXPECT_EQ(window.model().state.currentCotepePath, "");
  EXPECT_EQ(window.output()->currentWidget(), window.results());
  EXPECT_TRUE(window.results()->toPlainText().isEmpty());
  EXPECT_EQ(window.findChild<QLabel*>("estadoArquivo")->text(), "Arquivo: nenhum");
  EXPECT_TRUE(window.button("lerBitmapRZ")->isEnabled());
}

TEST_F(PrinterButtonsTest, LeituraXReachesTheSimulatedPrinter) {
  stageSimulator();
  app::MainWindow window(ui, dir.path().string());
  chooseSimulatedPrinter(window);
  ui.progressHandler = runJobToEnd();
  ui.messages.clear();
  window.button("leituraX")->click();
  EXPECT_NE(calls().find("ImprimeLeituraX"), std::string::npos) << calls();
  EXPECT_TRUE(ui.messages.empty());  // a printed reading has no success message
}

}  // namespace
}  // namespace tavex::testing

namespace tavex::testing {
namespace {

class ProgressWindow : public WindowTest {};

TEST_F(ProgressWindow, CancelStopsACooperativeWorker) {
  app::QtUserInterface ui;
  WorkerJob job;
  std::atomic<bool> stopped{false};
  job.prepare([&](WorkerContext& context) {
    while (!context.cancelRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stopped = true;
  }, CancelMode::Cooperative);
  whenModalOpens([](QWidget* modal) { modal->findChild<QPushButton*>("cancelar")->click(); });
  EXPECT_EQ(ui.runWithProgress(job, true), WorkerOutcome::Cancelled);
  EXPECT_TRUE(stopped.load());  // cancel() waited for it
  EXPECT_FALSE(job.isFinished());
}

TEST_F(ProgressWindow, AFinishedWorkerClosesTheDialog) {
  app::QtUserInterface ui;
  WorkerJob job;
  job.prepare([](WorkerContext& context) {
    context.setProgress(100);
    context.finish(7);
  }, CancelMode::Cooperative);
  EXPECT_EQ(ui.runWithProgress(job, true), WorkerOutcome::Finished);
  EXPECT_EQ(job.status(), 7);
  job.waitForThread();
}

}  // namespace
}  // namespace tavex::testing
