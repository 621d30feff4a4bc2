#include "printer/print_commands.h"

#include <string>

#include "printer/period_dialogs.h"

namespace tavex {

namespace {

void show(PrinterWindowState& w) {
  if (w.show) w.show();
}

void openPrinter(const ManufacturerLibrary& lib, const ManufacturerCatalogue& catalogue) {
  lib.open(catalogue.connectionPort().c_str(), catalogue.connectionModel().c_str());
}

}  // namespace

void printXReading(PrinterCommandContext& c) {
  if (!checkPrinterSelection(c, false) || !confirmNoEarlierWorker(c)) return;
  c.catalogue.unloadManufacturerLibrary();
  if (auto lib = c.catalogue.loadManufacturerLibrary(c.ui)) {
    openPrinter(*lib, c.catalogue);
    showLibraryResult(c.ui, lib->imprimeLeituraX());
    lib->close();
  }
  c.catalogue.unloadManufacturerLibrary();
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

  int result = 0;
  if (!confirmNoEarlierWorker(c)) return;
  c.catalogue.unloadManufacturerLibrary();
  if (auto lib = c.catalogue.loadManufacturerLibrary(c.ui)) {
    openPrinter(*lib, c.catalogue);
    result = lib->imprimeLeituraMemoriaFiscal(mode.c_str(), start.c_str(), end.c_str());
    lib->close();
  }
  c.catalogue.unloadManufacturerLibrary();
  show(c.window);
  showLibraryResult(c.ui, result);
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

  int result = 0;
  if (!confirmNoEarlierWorker(c)) return;
  c.catalogue.unloadManufacturerLibrary();
  if (auto lib = c.catalogue.loadManufacturerLibrary(c.ui)) {
    openPrinter(*lib, c.catalogue);
    result = lib->imprimeFitaDetalhe(type.c_str(), start.c_str(), end.c_str(), referenceDate.c_str());
    lib->close();
  }
  c.catalogue.unloadManufacturerLibrary();
  showLibraryResult(c.ui, result);
}

}  // namespace tavex
