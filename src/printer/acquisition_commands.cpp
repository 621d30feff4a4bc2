#include "printer/acquisition_commands.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cotepe/text.h"
#include "printer/download_time.h"
#include "printer/period_dialogs.h"

namespace tavex {

namespace {

using Args = std::vector<std::string>;
using F = PeriodField;

const char* arg(const Args& a, std::size_t i) { return i < a.size() ? a[i].c_str() : ""; }

void show(PrinterCommandContext& c) {
  if (c.show) c.show();
}

// The four commands that start on a blank results box and no current COTEPE file.
void emptyResults(PrinterCommandContext& c) {
  c.window.outputText.clear();
  c.window.currentCotepePath.clear();
  show(c);
}

// After the worker finished: the result's box, then the success box for 0.
void report(PrinterCommandContext& c, const PrinterResult& r) {
  if (r.outcome != PrinterOutcome::Finished) return;
  showLibraryResult(c.ui, r.status);
  if (r.status == 0) c.ui.showMessage("Processo finalizado com sucesso!", "Tavex!", Icon::Information);
}

// The downloads close with their time instead of the plain success box.
void reportDownload(PrinterCommandContext& c, const PrinterResult& r, std::int64_t startedMs) {
  if (r.outcome != PrinterOutcome::Finished) return;
  showLibraryResult(c.ui, r.status);
  // The time ends when the entry point returned: Close is not part of the download.
  if (r.status == 0) recordDownloadTime(c.ui, r.endedAtMs - startedMs);
}

std::optional<std::string> chooseFile(UserInterface& ui, const char* extension, const char* initialName,
                                      const char* filter) {
  OpenFileRequest request;
  request.defaultExtension = extension;
  request.initialName = initialName;
  request.filter = filter;
  request.mustExist = true;
  return ui.chooseOpenFile(request);
}

// The bounds of the chosen period: for each choice in order, the two boxes holding
// its start and end, or none ("Total": empty texts).
using BoundFields = std::optional<std::pair<F, F>>;
const BoundFields kDates{{F::DateStart, F::DateEnd}};
const BoundFields kCrz{{F::CrzStart, F::CrzEnd}};
const BoundFields kCoo{{F::CooStart, F::CooEnd}};
const BoundFields kNone{};

std::pair<std::string, std::string> boundsOf(const PeriodAnswer& a, std::initializer_list<BoundFields> byChoice) {
  int i = 0;
  for (const BoundFields& f : byChoice)
    if (i++ == a.choice && f) return {a.text(f->first), a.text(f->second)};
  return {};
}

std::string digit(int n) { return std::to_string(n); }

ModelGroupTest groupsOf(const ManufacturerCatalogue& catalogue) {
  return [&catalogue](int n) { return catalogue.modelInGroup(n); };
}

const char* const kWholeFileMirror =
    "Seleção de parâmetros indisponível – Será gerado arquivo espelho contendo todo o conteúdo gravado no arquivo "
    "binário da MF ou MFD."_cp;

}  // namespace

void readBasicSoftware(PrinterCommandContext& c) {
  if (!checkPrinterSelection(c, true)) return;
  const std::int64_t started = c.clockMs();
  PrinterCall call;
  call.entryPoint = [](const ManufacturerLibrary& lib, const Args&) { return lib.leSoftwareBasico(); };
  call.openAndClose = true;
  call.closeOnCancel = true;
  reportDownload(c, runPrinterWorker(c, std::move(call)), started);
}

void readFiscalMemoryBinary(PrinterCommandContext& c) {
  if (!checkPrinterSelection(c, false)) return;
  PrinterCall call;
  call.available = [](const ManufacturerLibrary& lib) { return lib.leBinarioMf != nullptr; };
  call.entryPoint = [](const ManufacturerLibrary& lib, const Args&) { return lib.leBinarioMf(); };
  call.openAndClose = true;
  call.closeOnCancel = true;
  report(c, runPrinterWorker(c, std::move(call)));
}

void readReductionBitmap(PrinterCommandContext& c) {
  if (!checkPrinterSelection(c, true)) return;
  c.window.readBitmapEnabled = false;
  show(c);
  PrinterCall call;
  call.arguments = {c.window.modelName};
  call.available = [](const ManufacturerLibrary& lib) { return lib.leituraRz != nullptr; };
  call.entryPoint = [](const ManufacturerLibrary& lib, const Args& a) { return lib.leituraRz(arg(a, 0)); };
  call.openAndClose = true;
  call.closeOnCancel = true;
  const PrinterResult r = runPrinterWorker(c, std::move(call));
  if (r.outcome == PrinterOutcome::Finished) showLibraryResult(c.ui, r.status);
  c.window.readBitmapEnabled = true;
  show(c);
}

void generateBinaryFiles(PrinterCommandContext& c) {
  emptyResults(c);
  if (!checkPrinterSelection(c, false)) return;
  const AcquisitionKind kind = c.window.acquisitionKind;
  if (kind == AcquisitionKind::Rz) {
    c.ui.showMessage("Selecione MF, MFD ou TDM.", "Erro!", Icon::Error);
    return;
  }
  const bool mfd = kind == AcquisitionKind::Mfd;
  const auto period = c.ui.askPeriod(mfd ? cotepeMfdDialog(groupsOf(c.catalogue))
                                         : cotepeMfDialog(kind == AcquisitionKind::Tdm, groupsOf(c.catalogue)));
  if (!period) return;
  const auto [start, end] = mfd ? boundsOf(*period, {kDates, kCrz, kCoo, kNone}) : boundsOf(*period, {kDates, kCrz});

  PrinterCall call;
  call.arguments = {digit(acquisitionKindId(kind)), digit(period->choice), start, end};
  call.entryPoint = [](const ManufacturerLibrary& lib, const Args& a) {
    return lib.downloadMemorias(arg(a, 0), arg(a, 1), arg(a, 2), arg(a, 3));
  };
  call.openAndClose = true;
  call.closeOnCancel = true;
  const std::int64_t started = c.clockMs();
  reportDownload(c, runPrinterWorker(c, std::move(call)), started);
}

void generateTextFile(PrinterCommandContext& c) {
  emptyResults(c);
  if (!checkPrinterSelection(c, false)) return;
  const AcquisitionKind kind = c.window.acquisitionKind;
  std::string mfFile, mfdFile, rzFile;
  // A model of groups 2 and 3 hands a period to the library even when none was
  // asked: then everything ("3"), without bounds.
  std::string periodType = "3", start, end;
  if (kind == AcquisitionKind::Rz) {
    auto chosen = chooseFile(c.ui, "*.rz", "Arquivo Redução Z de entrada"_cp, "Arquivos de Redução Z (*.rz)|*.rz||"_cp);
    if (!chosen) return;
    rzFile = *chosen;
  } else {
    if (kind == AcquisitionKind::Mf || kind == AcquisitionKind::Tdm) {
      auto chosen =
          chooseFile(c.ui, "*.mf", "Arquivo MF de entrada", "Arquivos de Memória Fiscal (*.mf)|*.mf||"_cp);
      if (!chosen) return;
      mfFile = *chosen;
    }
    if (kind == AcquisitionKind::Mfd || kind == AcquisitionKind::Tdm) {
      auto chosen = chooseFile(c.ui, "*.mfd", "Arquivo MFD de entrada", "Arquivos de MFD (*.mfd)|*.mfd||");
      if (!chosen) return;
      mfdFile = *chosen;
    }
    if (c.catalogue.modelInGroup(3) || c.catalogue.modelInGroup(6)) {
      const auto period = c.ui.askPeriod(generateCotepeDialog());
      if (!period) return;
      periodType = digit(period->choice);
      std::tie(start, end) = boundsOf(*period, {kDates, kCrz, kCoo, kNone});
    }
  }

  PrinterCall call;
  call.arguments = {mfFile, kind == AcquisitionKind::Rz ? rzFile : mfdFile, digit(acquisitionKindId(kind))};
  if (c.catalogue.modelInGroup(2) || c.catalogue.modelInGroup(3)) {
    call.arguments.push_back(periodType);
    call.arguments.push_back(start);
    call.arguments.push_back(end);
  }
  // The three-argument form leaves the last three empty (see ManufacturerLibrary).
  call.entryPoint = [](const ManufacturerLibrary& lib, const Args& a) {
    return lib.geraRegistrosTipoE(arg(a, 0), arg(a, 1), arg(a, 2), arg(a, 3), arg(a, 4), arg(a, 5));
  };
  call.closeOnCancel = true;
  report(c, runPrinterWorker(c, std::move(call)));
}

void generateLmfMirror(PrinterCommandContext& c) {
  emptyResults(c);
  if (!checkPrinterSelection(c, false)) return;
  auto file = chooseFile(c.ui, "*.bin", "Arquivo binário da Memória Fiscal"_cp,
                         "Arquivos binários de MF (*.bin)|*.bin||"_cp);
  if (!file) return;
  std::string periodType = "0", simplified = "0", start = "0", end = "0";
  if (c.catalogue.modelInGroup(2)) {
    c.ui.showMessage(kWholeFileMirror, "Aviso!", Icon::Warning);
  } else {
    const auto period = c.ui.askPeriod(readMfdDialog());
    if (!period) return;
    periodType = digit(period->choice);
    simplified = std::string(1, period->simplified ? '1' : '0');  // a literal here trips GCC 12's false -Wrestrict in Release
    std::tie(start, end) = boundsOf(*period, {kDates, kCrz});
  }
  PrinterCall call;
  call.arguments = {*file, simplified, periodType, start, end};
  call.available = [](const ManufacturerLibrary& lib) { return lib.geraEspelhoLmf != nullptr; };
  call.entryPoint = [](const ManufacturerLibrary& lib, const Args& a) {
    return lib.geraEspelhoLmf(arg(a, 0), arg(a, 1), arg(a, 2), arg(a, 3), arg(a, 4));
  };
  report(c, runPrinterWorker(c, std::move(call)));
}

void generateMfdMirror(PrinterCommandContext& c) {
  emptyResults(c);
  if (!checkPrinterSelection(c, true)) return;
  auto file = chooseFile(c.ui, "*.mfd", "Arquivo MFD", "Arquivos de MFD (*.mfd)|*.mfd||");
  if (!file) return;
  const bool group2 = c.catalogue.modelInGroup(2);
  std::string periodType = "0", start = "0", end = "0", referenceDate = "0";
  if (group2) {
    c.ui.showMessage(kWholeFileMirror, "Aviso!", Icon::Warning);
  } else {
    const auto period = c.ui.askPeriod(espDialog());
    if (!period) return;
    periodType = digit(period->choice);
    std::tie(start, end) = boundsOf(*period, {kDates, kCoo, kNone});
    referenceDate = period->referenceDate;
  }
  PrinterCall call;
  call.arguments = {*file, periodType, start, end, referenceDate};
  call.available = [](const ManufacturerLibrary& lib) { return lib.geraEspelhos != nullptr; };
  call.entryPoint = [](const ManufacturerLibrary& lib, const Args& a) {
    return lib.geraEspelhos(arg(a, 0), arg(a, 1), arg(a, 2), arg(a, 3), arg(a, 4));
  };
  call.openAndClose = group2;
  report(c, runPrinterWorker(c, std::move(call)));
}

}  // namespace tavex
