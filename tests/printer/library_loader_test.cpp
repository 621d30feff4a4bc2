#include "printer/library_loader.h"

#include <gtest/gtest.h>

#include "cotepe/text.h"
#include "library_support.h"
#include "printer/manufacturer_catalogue.h"
#include "support/scripted_ui.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using testing::CurrentDirectoryGuard;
using testing::ScriptedUserInterface;
using testing::ShownMessage;
using testing::TempDir;

const ShownMessage kNotFound{"Erro! A biblioteca não foi localizada."_cp, "Erro!", Icon::Error};
const ShownMessage kIncomplete{"Erro! A biblioteca não contém as funções esperadas."_cp, "Erro!", Icon::Error};
const ShownMessage kNoSelection{"Selecione FABRICANTE e MODELO primeiro.", "Tavex - Erro!", Icon::Error};

class LibraryLoading : public ::testing::Test {
 protected:
  void SetUp() override { testing::stageLibraries(start); }
  fs::path startPath() const { return fs::absolute(start.path()); }

  CurrentDirectoryGuard cwd;
  TempDir start;
  ScriptedUserInterface ui;
};

TEST_F(LibraryLoading, BindsEveryEntryPointAndLeavesTheManufacturerFolderCurrent) {
  auto lib = loadManufacturerLibrary(ui, startPath(), testing::kSimulatorLibrary);
  ASSERT_TRUE(lib);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(fs::current_path(), startPath() / "DATAREGIS");
  EXPECT_EQ(lib->path, startPath() / "DATAREGIS" / "libecf_simulado.so");
  for (const void* entry : {(const void*)lib->open, (const void*)lib->close, (const void*)lib->imprimeLeituraX,
                            (const void*)lib->leSoftwareBasico, (const void*)lib->imprimeFitaDetalhe,
                            (const void*)lib->imprimeLeituraMemoriaFiscal, (const void*)lib->geraRegistrosTipoE,
                            (const void*)lib->downloadMemorias, (const void*)lib->leituraRz,
                            (const void*)lib->geraEspelhos, (const void*)lib->geraEspelhoLmf,
                            (const void*)lib->leBinarioMf})
    EXPECT_NE(entry, nullptr);
  EXPECT_EQ(lib->open("COM1", "SIM-1000 FI"), 0);
  EXPECT_EQ(lib->close(), 0);
}

TEST_F(LibraryLoading, RefusesMissingIncompleteAndFakeLibraries) {
  EXPECT_FALSE(loadManufacturerLibrary(ui, startPath(), "INCOMPLETO/libecf_incompleto.so"));
  EXPECT_EQ(fs::current_path(), startPath());
  EXPECT_FALSE(loadManufacturerLibrary(ui, startPath(), "FALSO/falso.so"));
  EXPECT_EQ(fs::current_path(), startPath());
  EXPECT_FALSE(loadManufacturerLibrary(ui, startPath(), "DATAREGIS/missing.so"));
  EXPECT_FALSE(loadManufacturerLibrary(ui, startPath(), "NOWHERE/libecf_simulado.so"));
  // Only the manufacturer's folder is looked at: never the system's library path.
  EXPECT_FALSE(loadManufacturerLibrary(ui, startPath(), "DATAREGIS/libm.so.6"));
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{kIncomplete, kNotFound, kNotFound, kNotFound, kNotFound}));
  EXPECT_EQ(fs::current_path(), startPath());
}

TEST_F(LibraryLoading, FileNameIsTakenFromTheLastComponentInsideTheFolder) {
  auto lib = loadManufacturerLibrary(ui, startPath(), "DATAREGIS/../../elsewhere/libecf_simulado.so");
  ASSERT_TRUE(lib);
  EXPECT_EQ(lib->path, startPath() / "DATAREGIS" / "libecf_simulado.so");
  lib = loadManufacturerLibrary(ui, startPath(), "DATAREGIS/dlls\\libecf_simulado.so");
  ASSERT_TRUE(lib);
  EXPECT_EQ(lib->path, startPath() / "DATAREGIS" / "libecf_simulado.so");
  EXPECT_FALSE(loadManufacturerLibrary(ui, startPath(), "DATAREGIS\\"));
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{kNoSelection}));
}

// A start folder that lacks a manufacturer's library (a copy of the installed
// examples) takes it from the fallback folder; its own copy always comes first.
TEST_F(LibraryLoading, ALibraryMissingFromItsFolderIsTakenFromTheFallbackFolder) {
  TempDir copy;
  fs::create_directories(copy.path() / "DATAREGIS");
  const fs::path copyPath = fs::absolute(copy.path()), installed = testing::kStagedSimulator;
  struct Case {
    fs::path start, fallback;
    std::string library;
    fs::path loaded;  // empty: "not found"
  } cases[] = {
      {startPath(), installed, testing::kSimulatorLibrary, startPath() / testing::kSimulatorLibrary},
      {copyPath, installed, testing::kSimulatorLibrary, installed / "libecf_simulado.so"},
      {copyPath, installed, "DATAREGIS\\libecf_simulado.so", installed / "libecf_simulado.so"},
      {copyPath, installed, "DATAREGIS/libm.so.6", {}},
      {copyPath, {}, testing::kSimulatorLibrary, {}},
  };
  for (const Case& c : cases) {
    ui.messages.clear();
    const auto lib = loadManufacturerLibrary(ui, c.start, c.library, c.fallback);
    EXPECT_EQ(lib ? lib->path : fs::path(), c.loaded) << c.start << " " << c.library;
    EXPECT_EQ(ui.messages, lib ? std::vector<ShownMessage>{} : std::vector<ShownMessage>{kNotFound}) << c.library;
    EXPECT_EQ(fs::current_path(), lib ? c.start / "DATAREGIS" : c.start);
  }
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, copyPath);
  catalogue.setLibraryFallback(installed);
  EXPECT_EQ(catalogue.libraryFileOf("DATAREGIS", "libecf_simulado.so"), installed / "libecf_simulado.so");
}

TEST_F(LibraryLoading, NoSelectionAsksForManufacturerAndModel) {
  EXPECT_FALSE(loadManufacturerLibrary(ui, startPath(), ""));
  EXPECT_FALSE(loadManufacturerLibrary(ui, startPath(), "DATAREGIS/"));
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{kNoSelection, kNoSelection}));
}

TEST_F(LibraryLoading, ChoosingModelsReportsLibraryProblemsThroughTheCatalogue) {
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, start.path());
  ASSERT_EQ(catalogue.entries().size(), 3u);
  catalogue.selectModel(ui, "DATAREGIS", "3202DT", "COM1");
  catalogue.selectModel(ui, "INCOMPLETO", "I-1", "COM1");
  catalogue.selectModel(ui, "FALSO", "F-1", "COM1");
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{kIncomplete, kNotFound}));
  EXPECT_FALSE(catalogue.loadedLibrary()) << "the model choice releases what it loaded";
}

TEST_F(LibraryLoading, AWorkersHandleKeepsTheLibraryAfterTheCatalogueReleasesIt) {
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, start.path());
  catalogue.selectModel(ui, "DATAREGIS", "SIM-1000 FI", "COM1");
  auto workerCopy = catalogue.loadManufacturerLibrary(ui);
  ASSERT_TRUE(workerCopy);
  catalogue.unloadManufacturerLibrary();
  EXPECT_FALSE(catalogue.loadedLibrary());
  EXPECT_EQ(workerCopy->open("COM1", "SIM-1000 FI"), 0);  // still mapped
  EXPECT_EQ(workerCopy->imprimeLeituraX(), 0);
  EXPECT_EQ(workerCopy->close(), 0);
}

TEST(LibraryResult, EachCodeHasItsText) {
  const std::pair<int, const char*> texts[] = {
      {-1, "Erro de comunicação com a impressora."_cp},  {1, "Erro na abertura da porta serial."_cp},
      {2, "Erro de timeout na comunicação serial."_cp},  {3, "Erro comando não executado."_cp},
      {4, "Erro modelo desconhecido."_cp},               {5, "Erro na abertura do arquivo."_cp},
      {6, "Erro arquivo inválido."_cp},                  {7, "Função não implementada."_cp},
      {8, "Função não disponível neste modelo."_cp},     {9, ""},
      {-2, ""},
  };
  ScriptedUserInterface ui;
  showLibraryResult(ui, 0);
  EXPECT_TRUE(ui.messages.empty());
  for (const auto& [code, text] : texts) {
    showLibraryResult(ui, code);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back(), (ShownMessage{text, "Erro!", Icon::Error})) << code;
  }
  EXPECT_EQ(ui.messages.size(), std::size(texts));
}

}  // namespace
}  // namespace tavex
