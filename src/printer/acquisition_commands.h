// The acquisition commands: the buttons that have the manufacturer library read
// the printer or turn files it wrote earlier into other files. Each checks the
// selection, asks for input files and a period where needed, hands texts to one
// entry point and reports its result. All run the entry point on the worker
// behind the progress display (printer_worker.h).
//
// "Report" means: when the worker finished, the result's error box
// (showLibraryResult) and, for 0, "Processo finalizado com sucesso!" ("Tavex!",
// information icon); the two downloads show the download time instead. A
// cancelled progress display, a cancelled chooser or period dialog and a library
// that could not be loaded (its message shown) end a command silently.
//
// Refusals, in the order tested, all "Erro!" with the error icon:
//   "Não há fabricante ou modelo selecionado." (no manufacturer and model chosen);
//   "Função não suportada pelo Software Básico do ECF selecionado – ECF não possui
//   MFD" (model group 5, where refused); "Selecione MF, MFD ou TDM." (binary files, RZ).
#pragma once

#include "printer/printer_worker.h"

namespace tavex {

// "Leitura do Software Básico": Open, LeSoftwareBasico, Close; the download time.
// Refused for group 5.
void readBasicSoftware(PrinterCommandContext& c);

// "Leitura do Binário da MF": Open, LeBinarioMF, Close; report.
void readFiscalMemoryBinary(PrinterCommandContext& c);

// "Ler Bitmap RZ": the button is disabled meanwhile; Open, LeituraRZ(model
// name), Close; the result's error box only. A library without LeituraRZ: "Erro!
// Esta função não é suportada pela DLL do fabricante." ("Tavex - Erro!").
// Refused for group 5.
void readReductionBitmap(PrinterCommandContext& c);

// "Gerar Arquivos Binários": empties the results and the COTEPE path; asks the
// period (CCotepeMFD_Dlg for MFD, CCotepeMF_Dlg for MF and TDM); Open,
// DownloadMemorias(kind, period, start, end), Close; the download time.
void generateBinaryFiles(PrinterCommandContext& c);

// "Gerar Arquivo Texto": empties the results and the COTEPE path; asks for the
// RZ file, or the MF and/or MFD files and, for groups 3 and 6, the period
// (CGenerateCotepe_Dlg); GeraRegistrosTipoE(MF, MFD or RZ, kind), with period,
// start and end for groups 2 and 3 (period "3" and empty bounds when none was
// asked); report.
void generateTextFile(PrinterCommandContext& c);

// "Gerar Espelhos da LMF": empties the results and the COTEPE path; asks for the
// binary MF file and the period (CReadMFDDlg; group 2: a warning and "0"
// everywhere); GeraEspelhoLMF(file, simplified, period, start, end); report.
void generateLmfMirror(PrinterCommandContext& c);

// "Gerar Espelhos da MFD": as the LMF mirror with the MFD file and CESP_Dlg;
// GeraEspelhos(file, period, start, end, reference date), inside Open and Close
// for group 2; refused for group 5.
void generateMfdMirror(PrinterCommandContext& c);

}  // namespace tavex
