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

// Manufacturer files written for Windows may separate folders with "\".
fs::path slashed(std::string libraryPath) {
  std::replace(libraryPath.begin(), libraryPath.end(), '\\', '/');
  return libraryPath;
}

}  // namespace

fs::path manufacturerLibraryFile(const fs::path& startDirectory, const std::string& libraryPath,
                                 const fs::path& fallbackFolder) {
  const fs::path path = slashed(libraryPath);
  if (path.empty()) return {};
  const fs::path own = startDirectory / *path.begin() / path.filename();
  std::error_code ec;
  if (fallbackFolder.empty() || fs::exists(own, ec)) return own;
  const fs::path installed = fallbackFolder / path.filename();
  return fs::is_regular_file(installed, ec) ? installed : own;
}

std::shared_ptr<const ManufacturerLibrary> loadManufacturerLibrary(UserInterface& ui, const fs::path& startDirectory,
                                                                    const std::string& libraryPathText,
                                                                    const fs::path& fallbackFolder) {
  const fs::path path = slashed(libraryPathText);
  const std::string libraryPath = path.string();
  makeCurrent(startDirectory);
  if (!libraryPath.empty()) makeCurrent(*path.begin());  // the manufacturer's folder

  if (libraryPath.empty() || libraryPath.back() == '/') {
    ui.showMessage("Selecione FABRICANTE e MODELO primeiro.", "Tavex - Erro!", Icon::Error);
    return nullptr;
  }

  // The file itself, by its full name: never a search of the system's paths.
  const fs::path file = manufacturerLibraryFile(startDirectory, libraryPathText, fallbackFolder);
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
