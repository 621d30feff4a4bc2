// The manufacturer library: the shared object, in the manufacturer's folder, through
// which every printer operation drives the printer. Its entry points take
// NUL-terminated cp1252 texts and return an integer, 0 meaning done.
//
// A loaded library is held through std::shared_ptr<const ManufacturerLibrary>: the
// entry points stay callable for as long as any copy lives, so a worker abandoned
// inside a call keeps the library mapped after the interface has released it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "printer/dynamic_library.h"
#include "port/user_interface.h"

namespace tavex {

// The twelve entry points, bound by their exported names. The first eight are
// required; leituraRz, geraEspelhos, geraEspelhoLmf and leBinarioMf may be null.
struct ManufacturerLibrary {
  using NoArgs = int (*)();
  using OpenFn = int (*)(const char* port, const char* model);
  // type "0" all, "1" COO, "2" date; start; end; reference date
  using FitaDetalheFn = int (*)(const char* type, const char* start, const char* end, const char* referenceDate);
  // mode "D" date, "C" CRZ ("d", "c" simplified); start; end
  using LeituraMfFn = int (*)(const char* mode, const char* start, const char* end);
  using LeituraRzFn = int (*)(const char* modelName);
  // kind "0" MF, "1" MFD, "2" TDM; period "0" date, "1" CRZ, "2" COO, "3" total; start; end
  using DownloadFn = int (*)(const char* kind, const char* period, const char* start, const char* end);
  // MFD file; period "0" date, "1" COO, "2" total; start; end; reference date
  using EspelhosFn = int (*)(const char* mfdFile, const char* period, const char* start, const char* end,
                             const char* referenceDate);
  // binary file; simplified "0"/"1"; period "0" date, "1" CRZ; start; end
  using EspelhoLmfFn = int (*)(const char* binaryFile, const char* simplified, const char* period, const char* start,
                               const char* end);
  // MF file; MFD or RZ file; kind; then period, start, end for model groups 2 and 3.
  // Bound in its six-argument form; the three-argument call passes "" for the last
  // three, which a three-argument library never reads (the C calling convention
  // leaves extra arguments to the caller).
  using RegistrosTipoEFn = int (*)(const char* mfFile, const char* mfdOrRzFile, const char* kind, const char* period,
                                   const char* start, const char* end);

  std::shared_ptr<DynamicLibrary> library;  // keeps the entry points mapped
  std::filesystem::path path;               // the file that was loaded

  OpenFn open = nullptr;
  NoArgs close = nullptr;
  NoArgs imprimeLeituraX = nullptr;
  NoArgs leSoftwareBasico = nullptr;
  FitaDetalheFn imprimeFitaDetalhe = nullptr;
  LeituraMfFn imprimeLeituraMemoriaFiscal = nullptr;
  RegistrosTipoEFn geraRegistrosTipoE = nullptr;
  DownloadFn downloadMemorias = nullptr;
  LeituraRzFn leituraRz = nullptr;            // optional
  EspelhosFn geraEspelhos = nullptr;          // optional
  EspelhoLmfFn geraEspelhoLmf = nullptr;      // optional
  NoArgs leBinarioMf = nullptr;               // optional
};

// The file loadManufacturerLibrary loads for `libraryPath`: the last component of
// `libraryPath` in the manufacturer's folder under `startDirectory` when it is
// there; otherwise, when `fallbackFolder` is given and holds a file of that name,
// that one (an installed program keeps its simulated ECF in the package's library
// folder, whatever folder it starts in); otherwise the manufacturer's folder's.
std::filesystem::path manufacturerLibraryFile(const std::filesystem::path& startDirectory,
                                              const std::string& libraryPath,
                                              const std::filesystem::path& fallbackFolder = {});

// Loads the library named by `libraryPath` ("MANUFACTURER/file", as the catalogue
// forms it) from the manufacturer's folder under `startDirectory` (or from
// `fallbackFolder`, see manufacturerLibraryFile):
//  - makes `startDirectory` current, then the manufacturer's folder (the first
//    component of `libraryPath`, where a backslash separates components as "/" does);
//  - `libraryPath` empty or ending in "/": "Selecione FABRICANTE e MODELO primeiro."
//    ("Tavex - Erro!"), nothing loaded;
//  - the file (the last component of `libraryPath`, in that folder) cannot be
//    loaded: "Erro! A biblioteca não foi localizada." ("Erro!"), `startDirectory`
//    made current again;
//  - a required entry point is missing: "Erro! A biblioteca não contém as funções
//    esperadas." ("Erro!"), `startDirectory` current again, the library released;
//  - success: the library, with the manufacturer's folder left current.
// All boxes carry the error icon.
std::shared_ptr<const ManufacturerLibrary> loadManufacturerLibrary(UserInterface& ui,
                                                                    const std::filesystem::path& startDirectory,
                                                                    const std::string& libraryPath,
                                                                    const std::filesystem::path& fallbackFolder = {});

// The text of a library result code ("" for 0 and for unknown codes).
std::string libraryResultText(int code);

// Shows the text of a non-zero result code ("Erro!", error icon); 0 shows nothing.
void showLibraryResult(UserInterface& ui, int code);

}  // namespace tavex
