// The window's own commands, without the window: "Ler Registro Salvo" and the
// validation buttons.
#include "window/main_dialog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/files.h"
#include "support/findings.h"
#include "support/sample_files.h"
#include "support/scripted_ui.h"

namespace tavex {
namespace {

using testing::ScriptedUserInterface;
using testing::TempDir;

// Every test leaves the process's current directory as it found it.
class MainDialogTest : public ::testing::Test {
 protected:
  MainDialogTest() : savedDirectory_(std::filesystem::current_path()) {}
  ~MainDialogTest() override {
    std::error_code ec;
    std::filesystem::current_path(savedDirectory_, ec);
  }

 private:
  std::filesystem::path savedDirectory_;
};

TEST(NumberedPieces, NumbersEveryLineAndCutsLongOnes) {
  EXPECT_EQ(numberedPieces("um\r\ndois\ntres", true), "00000001 - um\r\n00000002 - dois\r\n00000003 - tres\r\n");
  const std::string longLine(1600, 'x');
  EXPECT_EQ(numberedPieces(longLine + "\n", true),
            "00000001 - " + std::string(1499, 'x') + "\r\n00000002 - " + std::string(101, 'x') + "\r\n");
  // A piece that fills the limit right before its line feed leaves the line feed as an empty piece.
  EXPECT_EQ(numberedPieces(std::string(1499, 'y') + "\n", true),
            "00000001 - " + std::string(1499, 'y') + "\r\n00000002 - \r\n");
  EXPECT_EQ(numberedPieces("a\n\nb\n", false), "a\r\n\r\nb\r\n");
  EXPECT_EQ(numberedPieces("", true), "");
}

TEST_F(MainDialogTest, StartsAsTheWindowShowsIt) {
  ScriptedUserInterface ui;
  MainDialog dialog(ui, "/inicio");
  EXPECT_EQ(dialog.state.portName, "COM1");
  EXPECT_EQ(dialog.state.toleranceText, "0,00");
  EXPECT_EQ(dialog.state.acquisitionKind, AcquisitionKind::Mf);
  EXPECT_EQ(MainDialog::portNames().size(), 9u);
  EXPECT_EQ(MainDialog::portNames().back(), "USB");
}

TEST_F(MainDialogTest, OpenSavedFileShowsItNumberedAndMakesItCurrent) {
  TempDir dir;
  ScriptedUserInterface ui;
  MainDialog dialog(ui, dir.path().string());
  testing::writeFile(dir.file("a.txt"), "E01\r\nE02\r\nEAD");
  ui.answer(dir.file("a.txt"));
  dialog.openSavedCotepeFile();
  EXPECT_EQ(dialog.state.outputText, "00000001 - E01\r\n00000002 - E02\r\n00000003 - EAD\r\n");
  EXPECT_EQ(dialog.state.currentCotepePath, dir.file("a.txt"));
  ASSERT_EQ(ui.openRequests.size(), 1u);
  EXPECT_EQ(ui.openRequests[0].filter, "Arquivos Texto (*.txt)|*.txt||");
  EXPECT_EQ(ui.openRequests[0].defaultExtension, "*.txt");

  ui.answer(std::nullopt);  // cancelled: the file open stays, and what it shows
  EXPECT_FALSE(dialog.openSavedCotepeFile());
  EXPECT_EQ(dialog.state.outputText, "00000001 - E01\r\n00000002 - E02\r\n00000003 - EAD\r\n");
  EXPECT_EQ(dialog.state.currentCotepePath, dir.file("a.txt"));
}

TEST_F(MainDialogTest, TheOpenedFileIsKeptIndexedForAFileView) {
  TempDir dir;
  ScriptedUserInterface ui;
  MainDialog dialog(ui, dir.path().string());
  dialog.numberedTextInOutput = false;
  const std::string bytes = "E01\r\n" + std::string(1500, 'x') + "\nEAD";
  testing::writeFile(dir.file("a.txt"), bytes);
  ui.answer(dir.file("a.txt"));
  dialog.openSavedCotepeFile();
  EXPECT_EQ(dialog.state.outputText, "");
  EXPECT_EQ(dialog.state.currentCotepePath, dir.file("a.txt"));
  ASSERT_EQ(dialog.shownFile.pieces.size(), 4u);  // the long line in two pieces
  EXPECT_EQ(dialog.shownFile.piece(0), "E01");
  EXPECT_EQ(dialog.shownFile.piece(1).size(), 1499u);
  EXPECT_EQ(dialog.shownFile.piece(2), "x");
  EXPECT_EQ(dialog.shownFile.piece(3), "EAD");
  ui.answer(std::nullopt);
  dialog.openSavedCotepeFile();
  EXPECT_EQ(dialog.shownFile.pieces.size(), 4u);  // cancelled: still shown
}

TEST_F(MainDialogTest, RefusesFilesAboveThirtyMillionBytes) {
  TempDir dir;
  ScriptedUserInterface ui;
  MainDialog dialog(ui, dir.path().string());
  testing::writeFile(dir.file("exato.txt"), std::string(30000000, 'x'));
  testing::writeFile(dir.file("grande.txt"), std::string(30000001, 'x'));
  ui.answer(dir.file("exato.txt"));
  dialog.openSavedCotepeFile();
  EXPECT_EQ(dialog.state.currentCotepePath, dir.file("exato.txt"));
  ui.answer(dir.file("grande.txt"));
  dialog.openSavedCotepeFile();
  EXPECT_EQ(dialog.state.currentCotepePath, dir.file("exato.txt"));  // refused: the open file stays
  EXPECT_EQ(dialog.state.outputText.rfind("00000001 - x", 0), 0u);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], (testing::ShownMessage{"Arquivo com tamanho maior que o limite (30 MB).", "Erro!", Icon::Error}));
  ui.answer(dir.file("sumiu.txt"));  // removed between choosing and reading: nothing, no message
  dialog.openSavedCotepeFile();
  EXPECT_EQ(dialog.state.currentCotepePath, dir.file("exato.txt"));
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(MainDialogTest, ValidationShowsTheLogInTheResults) {
  TempDir dir;
  ScriptedUserInterface ui;
  MainDialog dialog(ui, dir.path().string());
  testing::writeFile(dir.file("ecf.txt"), testing::joinLines(testing::sampleTdmFile()));
  ui.answer(dir.file("ecf.txt"));
  dialog.openSavedCotepeFile();
  dialog.state.toleranceText = "0,05";
  dialog.runValidation(false, ValidationOptions{testing::kSampleToday});
  EXPECT_NE(dialog.state.outputText.find("0 erro(s) encontrado(s).\r\n"), std::string::npos);
  EXPECT_EQ(dialog.state.outputText.find("00000001"), std::string::npos);

  MainDialog empty(ui, dir.path().string());
  empty.runValidation(false);
  EXPECT_EQ(ui.messages.back().title, "Tavex - Erro!");
  EXPECT_FALSE(empty.showLogInOutput());
}

TEST_F(MainDialogTest, ValidationKeepsItsFindingsAndReconciliationForTheWindow) {
  TempDir dir;
  ScriptedUserInterface ui;
  MainDialog dialog(ui, dir.path().string());
  std::vector<std::string> lines = testing::sampleTdmFile();
  lines[1].replace(246, 6, "ABCDEF");  // E02's CRO (field 11) is not a number
  testing::writeFile(dir.file("ecf.txt"), testing::joinLines(lines));
  dialog.state.currentCotepePath = dir.file("ecf.txt");
  dialog.runValidation(false, ValidationOptions{testing::kSampleToday});
  ASSERT_FALSE(dialog.lastFindings.empty());
  EXPECT_EQ(dialog.lastFindings.front().place.line, 2);
  EXPECT_EQ(dialog.lastFindings.front().place.field, 11);
  EXPECT_EQ(dialog.lastValidatedPath, dialog.state.currentCotepePath);

  testing::writeFile(dir.file("ok.txt"), testing::joinLines(testing::sampleTdmFile()));
  dialog.state.currentCotepePath = dir.file("ok.txt");
  dialog.runValidation(false, ValidationOptions{testing::kSampleToday});
  EXPECT_TRUE(dialog.lastFindings.empty());  // the previous run's findings are gone
  ASSERT_TRUE(dialog.lastReconciliation.has_value());
  EXPECT_FALSE(dialog.lastReconciliation->reductions.empty());
  dialog.runValidation(true, ValidationOptions{testing::kSampleToday});
  EXPECT_FALSE(dialog.lastReconciliation.has_value());  // format only: no totals
}

TEST_F(MainDialogTest, AFullValidationKeepsItsIndicatorsAndWritesTheSameLog) {
  TempDir dir;
  ScriptedUserInterface ui;
  const std::string file = dir.file("indicios.txt");
  testing::writeFile(file, testing::readFile(std::string(TAVEX_SOURCE_DIR) + "/exemplos/tdm_indicios.txt"));
  // The log of the validation alone, before the window's run replaces it.
  validateCotepeFile(ui, file, 0, ValidationOptions{testing::kSampleToday});
  const std::string alone = testing::readFile(file + ".log");

  MainDialog dialog(ui, dir.path().string());
  dialog.state.currentCotepePath = file;
  dialog.state.toleranceText = "0,00";
  dialog.runValidation(false, ValidationOptions{testing::kSampleToday});
  EXPECT_EQ(testing::readFile(file + ".log"), alone);
  ASSERT_EQ(dialog.lastIndicators.size(), 4u);
  EXPECT_EQ(dialog.lastIndicators.front().code, "indicio.contadores.e11");
  EXPECT_EQ(dialog.lastIndicators.front().line, 12);
  EXPECT_EQ(dialog.lastIndicators.back().code, "indicio.cancelamentos");

  dialog.runValidation(true, ValidationOptions{testing::kSampleToday});
  EXPECT_TRUE(dialog.lastIndicators.empty());  // format only: no counters read
}

// A validation that looks long runs on the worker behind the progress display: the
// same findings, reconciliation, indicators and log as on the interface thread, and
// its messages shown once it ends; cancelled, the previous results stay.
TEST_F(MainDialogTest, AValidationThatLooksLongRunsOnTheWorkerWithTheSameOutcome) {
  TempDir dir;
  ScriptedUserInterface ui;
  std::vector<std::string> lines = testing::sampleTdmFile();
  lines[13] = testing::sampleRecord(14, {{"CCF/CVC/CBP", "1"}, {"COO", "1"}, {"SUBTOTAL", "1000"},
                                         {"TOTAL_LIQUIDO", "900"}});
  const std::string file = dir.file("ecf.txt");
  testing::writeFile(file, testing::joinLines(lines));
  WorkerJob job;
  MainDialog direct(ui, dir.path().string());
  direct.state.currentCotepePath = file;
  EXPECT_FALSE(direct.validationLooksLong());  // a few kilobytes, before any measure
  ASSERT_EQ(direct.runValidationFromWindow(job, false, ValidationOptions{testing::kSampleToday}), WindowValidation::Shown);
  const std::string log = testing::readFile(file + ".log");

  int shown = 0;
  ui.progressHandler = [&](WorkerJob& j, bool percentage) {
    ++shown;
    EXPECT_FALSE(percentage);
    if (!j.start()) return WorkerOutcome::NotStarted;
    while (!j.waitUntilFinished(std::chrono::milliseconds(50))) {}
    return WorkerOutcome::Finished;
  };
  MainDialog worker(ui, dir.path().string());
  worker.state.currentCotepePath = file;
  worker.validationBytesPerSecond = 4;  // as if it had read 4 bytes a second: everything looks long
  ASSERT_TRUE(worker.validationLooksLong());
  ASSERT_EQ(worker.runValidationFromWindow(job, false, ValidationOptions{testing::kSampleToday}), WindowValidation::Shown);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(testing::asLogLines(worker.lastFindings), testing::asLogLines(direct.lastFindings));
  EXPECT_FALSE(worker.lastFindings.empty());
  ASSERT_TRUE(worker.lastReconciliation.has_value());
  EXPECT_EQ(worker.lastReconciliation->reductions.size(), direct.lastReconciliation->reductions.size());
  EXPECT_EQ(worker.lastIndicators.size(), direct.lastIndicators.size());
  EXPECT_EQ(worker.state.outputText, direct.state.outputText);
  EXPECT_EQ(testing::readFile(file + ".log"), log);
  EXPECT_EQ(worker.lastValidatedPath, file);

  // A log that cannot be written: the message is raised on the worker and shown after it.
  const std::string other = dir.file("outro.txt");
  testing::writeFile(other, testing::joinLines(lines));
  std::filesystem::create_directory(other + ".log");
  worker.state.currentCotepePath = other;
  const std::size_t before = ui.messages.size();
  EXPECT_EQ(worker.runValidationFromWindow(job, false, ValidationOptions{testing::kSampleToday}), WindowValidation::NotRun);
  EXPECT_EQ(shown, 2);
  ASSERT_EQ(ui.messages.size(), before + 1);
  EXPECT_EQ(ui.messages.back().title, "Erro!");
  EXPECT_EQ(worker.lastValidatedPath, file);  // the results of the run before stay

  // Cancelled: nothing new is taken in.
  worker.state.currentCotepePath = file;
  worker.validationBytesPerSecond = 4;
  worker.lastFindings.clear();
  ui.progressHandler = [](WorkerJob& j, bool) {
    if (!j.start()) return WorkerOutcome::NotStarted;
    j.cancel();
    return WorkerOutcome::Cancelled;
  };
  EXPECT_EQ(worker.runValidationFromWindow(job, false, ValidationOptions{testing::kSampleToday}), WindowValidation::Cancelled);
  EXPECT_TRUE(worker.lastFindings.empty());
}

}  // namespace
}  // namespace tavex
