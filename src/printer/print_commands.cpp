#include "printer/print_commands.h"

#include <string>
#include <utility>
#include <vector>

#include "printer/period_dialogs.h"

namespace tavex {

namespace {

using Args = std::vector<std::string>;

const char* arg(const Args& a, std::size_t i) { return i < a.size() ? a[i].c_str() : ""; }

void show(PrinterCommandContext& c) {
  if (c.show) c.show();
}

// A printing between Open and Close, on the worker: a printer that does not
// answer keeps the progress display up (and "Cancelar" closes the port), never
// the window itself. Only an error result is shown.
void print(PrinterCommandContext& c, Args arguments,
           int (*entryPoint)(const ManufacturerLibrary&, const Args&)) {
  PrinterCall call;
  call.arguments = std::move(arguments);
  call.entryPoint = entryPoint;
  call.openAndClose = true;
  call.closeOnCancel = true;
  const PrinterResult r = runPrinterWorker(c, std::move(call));
  show(c);
  if (r.outcome == PrinterOutcome::Finished) showLibraryResult(c.ui, r.status);
}

}  // namespace

void printXReading(PrinterCommandContext& c) {
  if (!checkPrinterSelection(c, false)) return;
  print(c, {}, [](const ManufacturerLibrary& lib, const Args&) { return lib.imprimeLeituraX(); });
}

void printFiscalMemoryReading(PrinterCommandContext& c) {
  if (!checkPrinterSelection(c, false)) return;
  const auto period = c.ui.askPeriod(printMfDialog());
  if (!period) return;
  const bool byDate = period->choice == 0;
  std::string mode = byDate ? "d" : "c";
  if (!period->simplified) mode = byDate ? "D" : "C";
  const std::string& start = byDate ? period->dateStart : period->crzStart;
  const std::string& end = byDate ? period->dateEnd : period->crzEnd;
  print(c, {mode, start, end}, [](const ManufacturerLibrary& lib, const Args& a) {
    return lib.imprimeLeituraMemoriaFiscal(arg(a, 0), arg(a, 1), arg(a, 2));
  });
}

void printDetailTape(PrinterCommandContext& c) {
  if (!checkPrinterSelection(c, true)) return;
  const auto period = c.ui.askPeriod(printMfdDialog());
  if (!period) return;
  // "Total" prints everything, whatever the boxes hold.
  std::string type = "0", start, end, referenceDate;
  if (period->choice == 1) {
    type = "1", start = period->cooStart, end = period->cooEnd, referenceDate = period->referenceDate;
  } else if (period->choice == 2) {
    type = "2", start = period->dateStart, end = period->dateEnd, referenceDate = period->referenceDate;
  }
  print(c, {type, start, end, referenceDate}, [](const ManufacturerLibrary& lib, const Args& a) {
    return lib.imprimeFitaDetalhe(arg(a, 0), arg(a, 1), arg(a, 2), arg(a, 3));
  });
}

}  // namespace tavex
