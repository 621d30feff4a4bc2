#include "printer/library_loader.h"

#include <algorithm>
#include <system_error>

#include "cotepe/text.h"

namespace tavex {

namespace fs = std::filesystem;

namespace {

template <typename Fn>
bool bind(const DynamicLibrary& library, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(library.symbol(name));
  return slot != nullptr;
}

void makeCurrent(const fs::path& folder) {
  std::error_code ec;
  fs::current_path(folder, ec);  // a folder that cannot be entered leaves the current one
}

struct ResultText {
  int code;
  const char* text;
};

const ResultText kResultTexts[] = {
    {-1, "Erro de comunicação com a impressora."_cp},
    {1, "Erro na abertura da porta serial."_cp},
    {2, "Erro de timeout na comunicação serial."_cp},
    {3, "Erro comando não executado."_cp},
    {4, "Erro modelo desconhecido."_cp},
    {5, "Erro na abertura do arquivo."_cp},
    {6, "Erro arquivo inválido."_cp},
    {7, "Função não implementada."_cp},
    {8, "Função não disponível neste modelo."_cp},
};

}  // namespace

std::shared_ptr<const ManufacturerLibrary> loadManufacturerLibrary(UserInterface& ui, const fs::path& startDirectory,
                                                                    const std::string& libraryPathText) {
  // Manufacturer files written for Windows may separate folders with "\".
  std::string libraryPath = libraryPathText;
  std::replace(libraryPath.begin(), libraryPath.end(), '\\', '/');
  const fs::path path(libraryPath);
  makeCurrent(startDirectory);
  if (!libraryPath.empty()) makeCurrent(*path.begin());  // the manufacturer's folder

  if (libraryPath.empty() || libraryPath.back() == '/') {
    ui.showMessage("Selecione FABRICANTE e MODELO primeiro.", "Tavex - Erro!", Icon::Error);
    return nullptr;
  }

  // The file itself, in the manufacturer's folder: never a search of the system's paths.
  const fs::path file = startDirectory / *path.begin() / path.filename();
  auto library = DynamicLibrary::load(file);
  if (library == nullptr) {
    ui.showMessage("Erro! A biblioteca não foi localizada."_cp, "Erro!", Icon::Error);
    makeCurrent(startDirectory);
    return nullptr;
  }

  auto bound = std::make_shared<ManufacturerLibrary>();
  bound->library = library;
  bound->path = file;
  const DynamicLibrary& lib = *library;
  bool complete = bind(lib, "Open", bound->open);
  complete &= bind(lib, "Close", bound->close);
  complete &= bind(lib, "ImprimeLeituraX", bound->imprimeLeituraX);
  complete &= bind(lib, "LeSoftwareBasico", bound->leSoftwareBasico);
  complete &= bind(lib, "ImprimeFitaDetalhe", bound->imprimeFitaDetalhe);
  complete &= bind(lib, "ImprimeLeituraMemoriaFiscal", bound->imprimeLeituraMemoriaFiscal);
  complete &= bind(lib, "GeraRegistrosTipoE", bound->geraRegistrosTipoE);
  complete &= bind(lib, "DownloadMemorias", bound->downloadMemorias);
  bind(lib, "LeituraRZ", bound->leituraRz);
  bind(lib, "GeraEspelhos", bound->geraEspelhos);
  bind(lib, "GeraEspelhoLMF", bound->geraEspelhoLmf);
  bind(lib, "LeBinarioMF", bound->leBinarioMf);
  if (!complete) {
    ui.showMessage("Erro! A biblioteca não contém as funções esperadas."_cp, "Erro!", Icon::Error);
    makeCurrent(startDirectory);
    return nullptr;  // the last handle goes: the library is released
  }
  return bound;
}

std::string libraryResultText(int code) {
  for (const ResultText& r : kResultTexts)
    if (r.code == code) return r.text;
  return {};
}

void showLibraryResult(UserInterface& ui, int code) {
  if (code == 0) return;
  ui.showMessage(libraryResultText(code), "Erro!", Icon::Error);
}

}  // namespace tavex
