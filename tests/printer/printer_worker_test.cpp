// The printer worker: load, Open, entry point, status, finished, Close, release on
// the worker thread; a library that cannot be loaded still ends the wait; a
// cancelled worker is abandoned without any further step anyone can see.
#include <gtest/gtest.h>

#include "cotepe/text.h"
#include "printer/acquisition_commands.h"
#include "printer/print_commands.h"
#include "printer/printer_worker.h"
#include "printer_worker_fixture.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using testing::ShownMessage;
using testing::writeFile;

class PrinterWorker : public testing::PrinterTest {};

PrinterCall downloadCall(bool closeOnCancel = true) {
  PrinterCall call;
  call.arguments = {"0", "3", "", ""};
  call.entryPoint = [](const ManufacturerLibrary& lib, const std::vector<std::string>& a) {
    return lib.downloadMemorias(a[0].c_str(), a[1].c_str(), a[2].c_str(), a[3].c_str());
  };
  call.openAndClose = true;
  call.closeOnCancel = closeOnCancel;
  return call;
}

TEST_F(PrinterWorker, RunsOpenTheEntryPointAndCloseAndReleasesTheLibrary) {
  select("DATAREGIS", "SIM-1000 FI", "COM2");
  catalogue.loadManufacturerLibrary(ui);  // left loaded by an earlier operation
  const PrinterResult r = runPrinterWorker(context, downloadCall());
  EXPECT_EQ(r.outcome, PrinterOutcome::Finished);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(progressOutcome, WorkerOutcome::Finished);
  EXPECT_FALSE(progressShownWithPercentage) << "animated bar";
  EXPECT_EQ(job.arguments, (std::vector<std::string>{"0", "3", "", ""}));
  EXPECT_EQ(catalogue.loadedLibrary(), nullptr);
  EXPECT_EQ(log(),
            "Open(\"COM2\", \"SIM-1000 FI\") = 0\r\n"
            "DownloadMemorias(\"0\", \"3\", \"\", \"\") = 0\r\n"
            "Close() = 0\r\n")
      << "Close has run when the command sees the outcome";
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(fs::current_path(), folder()) << "the loader leaves the manufacturer's folder current";
}

TEST_F(PrinterWorker, AThreadThatCannotStartIsReported) {
  select("DATAREGIS", "SIM-1000 FI");
  ui.progressHandler = nullptr;  // the scripted display reports NotStarted
  EXPECT_EQ(runPrinterWorker(context, downloadCall()).outcome, PrinterOutcome::NotStarted);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Erro de inicialização da thread!"_cp, "Erro!", Icon::Error}}));
  EXPECT_EQ(log(), "");
}

// The worker gives up on a library it cannot load, yet still finishes: the
// progress display closes and only the loader's message is shown.
TEST_F(PrinterWorker, ALibraryThatCannotBeLoadedEndsTheWaitWithTheLoadersMessage) {
  struct Case {
    const char* manufacturer;
    const char* model;
    std::string message;
  };
  for (const Case& c : {Case{"FALSO", "F-1", "Erro! A biblioteca não foi localizada."_cp},
                        Case{"INCOMPLETO", "I-1", "Erro! A biblioteca não contém as funções esperadas."_cp}}) {
    select(c.manufacturer, c.model);
    const PrinterResult r = runPrinterWorker(context, downloadCall());
    EXPECT_EQ(r.outcome, PrinterOutcome::NotLoaded) << c.manufacturer;
    EXPECT_EQ(progressOutcome, WorkerOutcome::Finished) << "the display closed by itself";
    EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{c.message, "Erro!", Icon::Error}})) << c.manufacturer;
    EXPECT_EQ(fs::current_path(), start);
  }
  // No model chosen yet: the loader's own refusal.
  testing::TempDir empty;
  ManufacturerCatalogue fresh;
  fresh.loadCatalogue(ui, fs::absolute(empty.path()));
  ui.messages.clear();
  PrinterCommandContext freshContext{window, fresh, ui, job};
  EXPECT_EQ(runPrinterWorker(freshContext, downloadCall()).outcome, PrinterOutcome::NotLoaded);
  EXPECT_EQ(ui.messages,
            (std::vector<ShownMessage>{{"Selecione FABRICANTE e MODELO primeiro.", "Tavex - Erro!", Icon::Error}}));
}

// A printer stuck in a download: the interface calls Close, which breaks the call
// off; the worker then returns from the library but takes no further step: no
// status, no second Close, no message, no download time.
TEST_F(PrinterWorker, CancellingABlockedDownloadClosesFromTheInterfaceAndAbandonsTheWorker) {
  select("DATAREGIS", "SIM-1000 FI", "COM3");
  cancelWhen = [this](const WorkerJob&) { return fs::exists(folder() / "em_espera"); };
  ui.answerPeriod({{}});
  generateBinaryFiles(context);
  EXPECT_EQ(progressOutcome, WorkerOutcome::Cancelled);
  ASSERT_TRUE(waitForLog("DownloadMemorias(")) << log();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(log().starts_with("Open(\"COM3\", \"SIM-1000 FI\") = 0\r\n")) << log();
  EXPECT_EQ(sortedLines(log()), sortedLines("Open(\"COM3\", \"SIM-1000 FI\") = 0\r\n"
                                            "Close() = 0\r\n"
                                            "DownloadMemorias(\"0\", \"3\", \"\", \"\") = -1\r\n"));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(fs::exists(folder() / "Arquivos de Trabalho" / "tempo_download.txt"));

  // The next command loads the library again and runs normally.
  fs::remove(folder() / "simulador.log");
  select("DATAREGIS", "SIM-1000 FI", "COM1");
  cancelWhen = nullptr;
  ui.answerPeriod({{}});
  generateBinaryFiles(context);
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(log(),
            "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\n"
            "DownloadMemorias(\"0\", \"3\", \"\", \"\") = 0\r\n"
            "Close() = 0\r\n");
}

// The four commands that break off the communication on cancel, each stuck in its
// entry point ("bloquear"): Close from the interface, then the worker's return.
TEST_F(PrinterWorker, TheFourBreakableCommandsCallCloseOnCancel) {
  select("DATAREGIS", "SIM-1000 FI", "COM1");
  const std::string mf = download(AcquisitionKind::Mf);
  struct Case {
    const char* name;
    std::function<void()> run;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"readBasicSoftware", [&] { readBasicSoftware(context); },
       "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\nClose() = 0\r\nLeSoftwareBasico() = -1\r\n"},
      {"readFiscalMemoryBinary", [&] { readFiscalMemoryBinary(context); },
       "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\nClose() = 0\r\nLeBinarioMF() = -1\r\n"},
      {"generateBinaryFiles", [&] { ui.answerPeriod({{}}); generateBinaryFiles(context); },
       "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\nClose() = 0\r\nDownloadMemorias(\"0\", \"3\", \"\", \"\") = -1\r\n"},
      {"generateTextFile", [&] { ui.answer(mf); generateTextFile(context); },
       "Close() = 0\r\nGeraRegistrosTipoE(\"" + mf + "\", \"\", \"0\", \"\", \"\", \"\") = -1\r\n"},
  };
  writeFile((folder() / "bloquear").string(), "");
  cancelWhen = [this](const WorkerJob&) { return fs::exists(folder() / "em_espera"); };
  for (const Case& c : cases) {
    fs::remove(folder() / "simulador.log");
    fs::remove(folder() / "em_espera");
    c.run();
    EXPECT_EQ(progressOutcome, WorkerOutcome::Cancelled) << c.name;
    ASSERT_TRUE(waitForLog(") = -1")) << c.name << "\n" << log();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(sortedLines(log()), sortedLines(c.expected)) << c.name;
    EXPECT_TRUE(ui.messages.empty()) << c.name;
  }
}

// The mirrors are abandoned without Close: the stuck call goes on until the
// printer answers, and whatever it returns is never seen.
TEST_F(PrinterWorker, CancelledMirrorsAreAbandonedWithoutClose) {
  select("DATAREGIS", "3202DT", "COM1");  // group 2: the MFD mirror runs inside Open and Close
  const std::string mfd = download(AcquisitionKind::Mfd);
  writeFile((folder() / "bloquear").string(), "");
  cancelWhen = [this](const WorkerJob&) { return fs::exists(folder() / "em_espera"); };
  ui.answer(mfd);
  generateMfdMirror(context);
  EXPECT_EQ(progressOutcome, WorkerOutcome::Cancelled);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(log(), "Open(\"COM1\", \"3202DT\") = 0\r\n") << "no Close from the interface";
  fs::remove(folder() / "bloquear");  // the printer answers at last
  ASSERT_TRUE(waitForLog("GeraEspelhos("));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(log(), "Open(\"COM1\", \"3202DT\") = 0\r\nGeraEspelhos(\"" + mfd + "\", \"0\", \"0\", \"0\", \"0\") = 0\r\n")
      << "the abandoned worker does not close";
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].title, "Aviso!") << "only the warning shown before the worker started";
}


// A library whose Close hangs (a driver that never lets go of the port): the
// interface waits for it a moment at most, every time.
class HangingClose : public PrinterWorker {
 protected:
  void SetUp() override {
    PrinterWorker::SetUp();
    context.libraryMoment = std::chrono::milliseconds(50);
    select("DATAREGIS", "SIM-1000 FI");
    writeFile((folder() / "bloquear_close").string(), "");
  }
  void TearDown() override {
    // Let the stuck calls return before the folder goes.
    fs::remove(folder() / "bloquear_close");
    EXPECT_TRUE(job.waitForEarlierWorker(std::chrono::seconds(20)));
  }
  static std::int64_t msSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
  }
};

TEST_F(HangingClose, TheOutcomeIsShownAtOnceAndTheDownloadTimeExcludesClose) {
  // A clock that jumps by a day once Close is hanging: a time taken after it shows.
  context.clockMs = [this, t = std::int64_t{0}]() mutable {
    if (fs::exists(folder() / "close_em_espera")) return std::int64_t{86400000};
    const std::int64_t now = t;
    t += 3725000;
    return now;
  };
  const auto began = std::chrono::steady_clock::now();
  ui.answerPeriod({{}});
  generateBinaryFiles(context);
  EXPECT_LT(msSince(began), 5000);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{
                             {"Processo finalizado com sucesso!\n\r\n\rTempo de download: 01:02:05 (hh:mm:ss)", "Tavex!",
                              Icon::Information}}));
  EXPECT_TRUE(job.earlierWorkerRunning()) << "Close still hangs on the worker";
  EXPECT_TRUE(ui.questions.empty());
}

TEST_F(HangingClose, TheNextCommandSaysSoAndLetsTheUserCancelOrGoOn) {
  readFiscalMemoryBinary(context);
  ASSERT_TRUE(waitForLog("LeBinarioMF() = 0"));
  ui.messages.clear();

  // Cancel: nothing is called, nothing else is shown.
  const std::string before = log();
  const auto began = std::chrono::steady_clock::now();
  readFiscalMemoryBinary(context);
  EXPECT_LT(msSince(began), 5000);
  const ShownMessage question{kEarlierCallStillRunning, "Aviso!", Icon::Warning};
  EXPECT_EQ(ui.questions, std::vector<ShownMessage>{question});
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(log(), before);

  // The print commands ask too.
  printXReading(context);
  EXPECT_EQ(ui.questions.size(), 2u);
  EXPECT_EQ(log(), before);

  // Go on: the command runs beside the stuck worker.
  ui.continueAnswers.push_back(true);
  readFiscalMemoryBinary(context);
  EXPECT_EQ(ui.questions.size(), 3u);
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{testing::kSuccess});
  EXPECT_EQ(log(), before + "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\nLeBinarioMF() = 0\r\n");

  // Once the stuck Close returns, commands run without a question.
  fs::remove(folder() / "bloquear_close");
  ASSERT_TRUE(job.waitForEarlierWorker(std::chrono::seconds(20)));
  ui.messages.clear();
  readFiscalMemoryBinary(context);
  EXPECT_EQ(ui.questions.size(), 3u);
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{testing::kSuccess});
}

TEST_F(HangingClose, CancellingWhileCloseHangsReturnsAtOnce) {
  writeFile((folder() / "bloquear").string(), "");
  cancelWhen = [this](const WorkerJob&) { return fs::exists(folder() / "em_espera"); };
  const auto began = std::chrono::steady_clock::now();
  readFiscalMemoryBinary(context);
  EXPECT_EQ(progressOutcome, WorkerOutcome::Cancelled);
  EXPECT_LT(msSince(began), 5000);
  EXPECT_TRUE(ui.messages.empty());
  fs::remove(folder() / "bloquear");
  fs::remove(folder() / "bloquear_close");
  EXPECT_TRUE(waitForLog("Close() = 0")) << "the interface's Close returns in the end";
}

}  // namespace
}  // namespace tavex
