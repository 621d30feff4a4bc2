// The print commands end to end against the simulated ECF, on the worker: the
// selection they need, the call the printer received, the mode and period texts,
// the boxes, cancelling a stuck printing.
#include <gtest/gtest.h>

#include "cotepe/text.h"
#include "printer/print_commands.h"
#include "printer_worker_fixture.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::writeFile;
using testing::ShownMessage;
using F = PeriodField;

class Printing : public testing::PrinterTest {};

TEST_F(Printing, XReadingRunsOnTheWorkerAndShowsOnlyAnErrorResult) {
  select("DATAREGIS", "SIM-1000 FI", "COM2");
  printXReading(context);
  EXPECT_EQ(log(), "Open(\"COM2\", \"SIM-1000 FI\") = 0\r\nImprimeLeituraX() = 0\r\nClose() = 0\r\n");
  EXPECT_TRUE(ui.messages.empty()) << "no success box";
  EXPECT_NE(readFile((folder() / "impressora.txt").string()).find("LEITURA X\r\n"), std::string::npos);
  EXPECT_EQ(catalogue.loadedLibrary(), nullptr);
  EXPECT_EQ(progressOutcome, WorkerOutcome::Finished);
  EXPECT_FALSE(progressShownWithPercentage) << "animated bar";

  fs::remove(folder() / "simulador.log");
  select("DATAREGIS", "SIM-1000 FI", "COM4");
  printXReading(context);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Erro comando não executado."_cp, "Erro!", Icon::Error}}));
  EXPECT_EQ(log(), "Open(\"COM4\", \"SIM-1000 FI\") = 0\r\nImprimeLeituraX() = 3\r\nClose() = 0\r\n");
}

// A printer that does not answer keeps only the progress display up: "Cancelar"
// closes the port, the stuck call returns and nothing more is shown.
TEST_F(Printing, APrintingStuckOnThePrinterIsCancelled) {
  select("DATAREGIS", "SIM-1000 FI");
  writeFile((folder() / "bloquear").string(), "");
  cancelWhen = [this](const WorkerJob&) { return fs::exists(folder() / "em_espera"); };
  for (void (*command)(PrinterCommandContext&) : {printXReading, printFiscalMemoryReading, printDetailTape}) {
    fs::remove(folder() / "simulador.log");
    fs::remove(folder() / "em_espera");
    ui.answerPeriod({{.typed = {{F::CrzStart, "1"}, {F::CrzEnd, "2"}}}});
    command(context);
    EXPECT_EQ(progressOutcome, WorkerOutcome::Cancelled);
    ASSERT_TRUE(waitForLog(") = -1")) << log();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(sortedLines(log()).size(), 3u) << "Open, Close from the interface, the call broken off: " << log();
  }
}

// Nothing is printed on a printer the user did not choose: with no model, or
// after another manufacturer was chosen (the model box is then empty while the
// catalogue still holds the previous model's library).
TEST_F(Printing, EveryPrintCommandNeedsAManufacturerAndModel) {
  const ShownMessage noSelection{"Não há fabricante ou modelo selecionado."_cp, "Erro!", Icon::Error};
  const auto expectRefused = [&](const char* when) {
    for (void (*command)(PrinterCommandContext&) : {printXReading, printFiscalMemoryReading, printDetailTape}) {
      ui.messages.clear();
      ui.answerPeriod({{.typed = {{F::CrzStart, "1"}, {F::CrzEnd, "2"}}}});
      command(context);
      EXPECT_EQ(ui.messages, std::vector<ShownMessage>{noSelection}) << when;
    }
    EXPECT_TRUE(ui.periodDialogs.empty()) << when;
    EXPECT_EQ(log(), "") << when;
  };
  catalogue.loadCatalogue(ui, start);
  expectRefused("nothing chosen");

  select("DATAREGIS", "SIM-1000 FI");
  catalogue.selectManufacturer("FALSO");
  window.manufacturerName = "FALSO";
  window.modelName.clear();
  expectRefused("another manufacturer chosen, no model yet");

  ui.messages.clear();
  select("FALSO", "F-1");
  printXReading(context);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Erro! A biblioteca não foi localizada."_cp, "Erro!", Icon::Error}}));
}

TEST_F(Printing, FiscalMemoryReadingModeFollowsThePeriodAndSimplified) {
  select("DATAREGIS", "SIM-1000 FI");
  ui.answerPeriod({{.typed = {{F::CrzStart, "1"}, {F::CrzEnd, "2"}}, .simplified = true}});
  ui.answerPeriod({{.typed = {{F::CrzStart, "1"}, {F::CrzEnd, "2"}}}});
  ui.answerPeriod({{.typed = {{F::DateStart, "01102012"}, {F::DateEnd, "05102012"}}, .simplified = true}});
  ui.answerPeriod({{.typed = {{F::DateStart, "01102012"}}},  // refused: the final date is missing
                   {.typed = {{F::DateEnd, "05102012"}}}});
  for (int i = 0; i < 4; ++i) printFiscalMemoryReading(context);
  EXPECT_EQ(ui.periodDialogs.size(), 4u);
  EXPECT_EQ(ui.periodDialogs[0].name, "CPrintMFDlg");
  EXPECT_EQ(log(),
            "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\nImprimeLeituraMemoriaFiscal(\"c\", \"1\", \"2\") = 0\r\nClose() = 0\r\n"
            "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\nImprimeLeituraMemoriaFiscal(\"C\", \"1\", \"2\") = 0\r\nClose() = 0\r\n"
            "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\nImprimeLeituraMemoriaFiscal(\"d\", \"01102012\", \"05102012\") = 0\r\nClose() = 0\r\n"
            "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\nImprimeLeituraMemoriaFiscal(\"D\", \"01102012\", \"05102012\") = 0\r\nClose() = 0\r\n");
  EXPECT_EQ(ui.messages,
            (std::vector<ShownMessage>{{"Os campos de data de inicio e data de final devem ser preenchidos no formato ddmmaaaa.",
                                        "Erro!", Icon::Error}}));
}

TEST_F(Printing, FiscalMemoryReadingCancelledLongAndFailing) {
  select("DATAREGIS", "SIM-1000 FI");
  printFiscalMemoryReading(context);  // cancelled: nothing at all
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(log(), "");

  // 10,000 characters and non-digits reach the printer as typed.
  const std::string longText(10000, '9');
  ui.answerPeriod({{.typed = {{F::CrzStart, longText}, {F::CrzEnd, "abc"}}}});
  printFiscalMemoryReading(context);
  EXPECT_NE(log().find("ImprimeLeituraMemoriaFiscal(\"C\", \"" + longText + "\", \"abc\") = 0"), std::string::npos);

  select("DATAREGIS", "SIM-1000 FI", "RET77");
  ui.answerPeriod({{.typed = {{F::CrzStart, "1"}, {F::CrzEnd, "2"}}}});
  printFiscalMemoryReading(context);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"", "Erro!", Icon::Error}})) << "a code outside the table";
}

TEST_F(Printing, DetailTapeByTotalCooAndDate) {
  select("DATAREGIS", "SIM-1000 FI");
  // "Total" passes "0" and three empty texts whatever the boxes hold.
  ui.answerPeriod({{.click = 0, .typed = {{F::CooStart, "1"}, {F::CooEnd, "20"}, {F::ReferenceDate, "01102012"}}}});
  printDetailTape(context);
  EXPECT_EQ(ui.periodDialogs.at(0).name, "CPrintMFDDlg");
  ui.answerPeriod({{.typed = {{F::CooStart, "1"}, {F::CooEnd, "20"}, {F::ReferenceDate, "01102012"}}}});
  printDetailTape(context);
  ui.answerPeriod({{.typed = {{F::ReferenceDate, "01102012"}, {F::DateStart, "01102012"}, {F::DateEnd, "051020121"}}}});
  printDetailTape(context);
  EXPECT_EQ(log(),
            "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\nImprimeFitaDetalhe(\"0\", \"\", \"\", \"\") = 0\r\nClose() = 0\r\n"
            "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\nImprimeFitaDetalhe(\"1\", \"1\", \"20\", \"01102012\") = 0\r\nClose() = 0\r\n"
            "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\nImprimeFitaDetalhe(\"2\", \"01102012\", \"051020121\", \"01102012\") = 0\r\n"
            "Close() = 0\r\n");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Printing, DetailTapePreconditionsAndResults) {
  printDetailTape(context);
  EXPECT_EQ(ui.messages,
            (std::vector<ShownMessage>{{"Não há fabricante ou modelo selecionado."_cp, "Erro!", Icon::Error}}));
  stageManufacturer("DARUMA", {"FS318"});
  select("DARUMA", "FS318");
  printDetailTape(context);
  EXPECT_EQ(ui.messages,
            (std::vector<ShownMessage>{{"Função não suportada pelo Software Básico do ECF selecionado – ECF não possui MFD"_cp,
                                        "Erro!", Icon::Error}}));
  EXPECT_TRUE(ui.periodDialogs.empty());
  EXPECT_EQ(log("DARUMA"), "");

  select("DATAREGIS", "SIM-50 SEM MFD");
  ui.answerPeriod({{}});
  printDetailTape(context);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Função não disponível neste modelo."_cp, "Erro!", Icon::Error}}));

  // A reference date of five characters is refused; the dialog stays open for the fix.
  ui.messages.clear();
  select("DATAREGIS", "SIM-1000 FI");
  ui.answerPeriod({{.typed = {{F::CooStart, "1"}, {F::CooEnd, "2"}, {F::ReferenceDate, "01102"}}},
                   {.typed = {{F::ReferenceDate, ""}}}});
  printDetailTape(context);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"O campo de data de referência deve ser preenchido no formato ddmmaaaa."_cp,
                                                     "Erro!", Icon::Error}}));
  EXPECT_TRUE(log().ends_with("ImprimeFitaDetalhe(\"1\", \"1\", \"2\", \"\") = 0\r\nClose() = 0\r\n")) << log();
}

}  // namespace
}  // namespace tavex
