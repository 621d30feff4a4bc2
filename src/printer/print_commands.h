// The print commands of the "Impressões" group: the fiscal printer prints the X
// reading, the fiscal-memory reading or the detail tape. Each first needs a
// manufacturer and model ("Não há fabricante ou modelo selecionado.", so nothing
// is printed on a printer the user did not choose); then the selected library is
// loaded afresh (the loader reports a missing library), opened with the selected
// port and model, called, closed and released on the worker behind the progress
// display (animated bar), like the acquisition commands: a printer that does not
// answer never freezes the window, and "Cancelar" breaks the call off with Close.
// A non-zero result shows its error box; success shows nothing.
#pragma once

#include "printer/printer_worker.h"

namespace tavex {

// "Leitura X": ImprimeLeituraX().
void printXReading(PrinterCommandContext& c);

// "Leitura da MF": asks CPrintMFDlg, then ImprimeLeituraMemoriaFiscal(mode, start,
// end) with mode "D"/"C" for dates/CRZ ("d"/"c" with "Simplificada").
void printFiscalMemoryReading(PrinterCommandContext& c);

// "Impressão da Fita-Detalhe": refuses group 5; asks
// CPrintMFDDlg, then ImprimeFitaDetalhe("0", "", "", "") for "Total", ("1", COO
// bounds, reference date) or ("2", dates, reference date).
void printDetailTape(PrinterCommandContext& c);

}  // namespace tavex
