// The window on Qt's offscreen platform: its controls, and each button reaching
// its command (the commands talk to a scripted user interface).
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/about_dialog.h"
#include "app/main_window.h"
#include "app/paf_dialog.h"
#include "app/progress_dialog.h"
#include "app/qt_text.h"
#include "app/qt_user_interface.h"
#include "app_fixture.h"
#include "printer/worker_job.h"
#include "support/files.h"
#include "support/sample_files.h"
#include "support/scripted_ui.h"

namespace tavex::testing {
namespace {

using app::MainWindow;

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() { qtApplication(); }
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
  EXPECT_TRUE(window->results()->toPlainText().startsWith("00000001 - E01"));
  window->tolerance()->setText("0,05");
  window->button("validarArquivoTexto")->click();
  EXPECT_EQ(window->model().toleranceText, "0,05");
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
  EXPECT_EQ(ui.messages.back().text, "N\xE3o h\xE1 fabricante selecionado.");
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
  auto window = open(dir.path().string());
  QString opened;
  window->openDocument = [&](const QString& path) { opened = path; };
  window->show();
  window->tolerance()->setFocus();
  QTest::keyClick(window.get(), Qt::Key_Return);
  EXPECT_TRUE(opened.endsWith("/Manual_Tavex.pdf"));
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
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
  EXPECT_EQ(ui.messages.back().text, "N\xE3o h\xE1 Software House selecionada.");
}

TEST_F(MainWindowTest, ProgressDialogAnimatesAcrossDialogsAndClosesWhenFinished) {
  qtApplication();
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

TEST(QtText, Cp1252BytesBecomeTheirUnicodeCharacters) {
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

class PrinterButtonsTest : public ::testing::Test {
 protected:
  PrinterButtonsTest() : cwd(std::filesystem::current_path()) { qtApplication(); }
  ~PrinterButtonsTest() override { std::filesystem::current_path(cwd); }
  std::filesystem::path cwd;
  TempDir dir;
  ScriptedUserInterface ui;
};

TEST_F(PrinterButtonsTest, PrinterButtonsWithoutASelection) {
  app::MainWindow window(ui, dir.path().string());
  // The acquisition commands test the selection first.
  for (const char* name : {"gerarArquivosBinarios", "gerarArquivoTexto", "leituraSoftwareBasico", "leituraBinarioMF",
                           "lerBitmapRZ", "gerarEspelhosLMF", "gerarEspelhosMFD"}) {
    ui.messages.clear();
    window.button(name)->click();
    ASSERT_EQ(ui.messages.size(), 1u) << name;
    EXPECT_EQ(ui.messages[0], (ShownMessage{"N\xE3o h\xE1 fabricante ou modelo selecionado.", "Erro!", Icon::Error})) << name;
  }
  EXPECT_TRUE(window.button("lerBitmapRZ")->isEnabled());
  // "Leitura X" checks nothing first: the library loader finds no model chosen.
  ui.messages.clear();
  window.button("leituraX")->click();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], (ShownMessage{"Selecione FABRICANTE e MODELO primeiro.", "Tavex - Erro!", Icon::Error}));
}

TEST_F(PrinterButtonsTest, LeituraXReachesTheSimulatedPrinter) {
  const auto simulator = std::filesystem::path(TAVEX_BINARY_DIR) / "exemplos" / "DATAREGIS";
  std::filesystem::copy(simulator, dir.path() / "DATAREGIS", std::filesystem::copy_options::recursive);
  app::MainWindow window(ui, dir.path().string());
  ASSERT_EQ(window.manufacturers()->count(), 1);
  window.manufacturers()->setCurrentIndex(0);
  emit window.manufacturers()->textActivated("DATAREGIS");
  window.models()->setCurrentText("SIM-1000 FI");
  emit window.models()->textActivated("SIM-1000 FI");
  ui.progressHandler = runJobToEnd();
  ui.messages.clear();
  window.button("leituraX")->click();
  const std::string calls = readFile((dir.path() / "DATAREGIS" / "simulador.log").string());
  EXPECT_NE(calls.find("ImprimeLeituraX"), std::string::npos) << calls;
  EXPECT_TRUE(ui.messages.empty());  // a printed reading has no success message
}

}  // namespace
}  // namespace tavex::testing

namespace tavex::testing {
namespace {

TEST(ProgressWindow, CancelStopsACooperativeWorker) {
  qtApplication();
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

TEST(ProgressWindow, AFinishedWorkerClosesTheDialog) {
  qtApplication();
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
