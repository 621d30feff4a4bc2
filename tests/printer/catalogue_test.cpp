#include "printer/manufacturer_catalogue.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "cotepe/text.h"
#include "library_support.h"
#include "support/files.h"
#include "support/scripted_ui.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using testing::CurrentDirectoryGuard;
using testing::ScriptedUserInterface;
using testing::ShownMessage;
using testing::TempDir;
using testing::writeFile;

void writeManufacturer(const TempDir& start, const std::string& name, const std::string& xml) {
  fs::create_directories(start.path() / name);
  writeFile((start.path() / name / (name + ".xml")).string(), xml);
}

// A key text whose 128 bytes are all `byte`, and the bytes it decodes to.
std::string keyText(std::uint8_t byte) {
  std::string s;
  for (int i = 0; i < 128; ++i) s += cformat("%02X", byte);
  return s;
}
RsaBytes keyBytes(std::uint8_t byte) {
  RsaBytes k;
  k.fill(byte);
  return k;
}

std::string chave(std::uint8_t modulus, const char* exponent = "010001") {
  return "<chave><modulo>" + keyText(modulus) + "</modulo><expoente_publico>" + exponent + "</expoente_publico></chave>";
}

const ShownMessage kMissingModulus{"Módulo da chave não encontrado no arquivo XML!"_cp, "Erro!", Icon::Error};

TEST(CatalogueLoading, ListsOnlyFoldersWithAManufacturerFile) {
  TempDir start;
  writeManufacturer(start, "A", "<outro><dll><nome>a.so</nome><modelo>X</modelo></dll></outro>");
  writeManufacturer(start, "B", "<?xml version=\"1.0\"?><fabricante><dll><nome>b.so</nome><modelo>B1</modelo>"
                                "<modelo>B 2</modelo></dll></fabricante>");
  fs::create_directories(start.path() / "C");  // no C/C.xml
  writeFile(start.file("D"), "a file, not a folder");
  writeManufacturer(start, "E", "<fabricante><dll><nome>e.so</nome>");  // does not parse
  writeManufacturer(start, "F", "<fabricante><modelo>ignored outside dll</modelo></fabricante>");
  writeManufacturer(start, "G", "");  // empty file: no message
  fs::create_directories(start.path() / "H" / "H.xml");  // a folder where the file should be

  ScriptedUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, start.path());

  ASSERT_EQ(catalogue.entries().size(), 2u);
  EXPECT_EQ(catalogue.entries()[0].name, "B");
  ASSERT_EQ(catalogue.entries()[0].models.size(), 2u);
  EXPECT_EQ(catalogue.entries()[0].models[1].name, "B 2");
  EXPECT_EQ(catalogue.entries()[0].models[1].libraryFile, "b.so");
  EXPECT_EQ(catalogue.entries()[1].name, "F");
  EXPECT_TRUE(catalogue.entries()[1].models.empty());
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"End tag of dll element not found", "Tavex", Icon::Warning}}));

  // Working folders for manufacturers whose file names a library, and only those.
  for (const char* folder : kWorkingFolders) {
    EXPECT_TRUE(fs::is_directory(start.path() / "B" / folder)) << folder;
    EXPECT_FALSE(fs::exists(start.path() / "A" / folder)) << folder;
    EXPECT_FALSE(fs::exists(start.path() / "F" / folder)) << folder;
  }
  EXPECT_TRUE(fs::is_directory(start.path() / "B" / "Arquivos Binários"));
}

TEST(CatalogueLoading, AnEmptyModeloEndsTheModelList) {
  TempDir start;
  writeManufacturer(start, "M",
                    "<fabricante>"
                    "<dll><nome>one.so</nome><modelo>M1</modelo><modelo/><modelo>after the end</modelo></dll>"
                    "<dll><nome>two.so</nome>" + chave(0x22) + "<modelo>M2</modelo></dll>"
                    "</fabricante>");
  writeManufacturer(start, "N", "<fabricante><dll><nome>n.so</nome><modelo></modelo><modelo>N1</modelo></dll></fabricante>");
  ScriptedUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, start.path());
  ASSERT_EQ(catalogue.entries().size(), 2u);
  const ManufacturerEntry& m = catalogue.entries()[0];
  ASSERT_EQ(m.models.size(), 1u) << "nothing after the empty model, in any dll";
  EXPECT_EQ(m.models[0].name, "M1");
  EXPECT_EQ(m.fileKey.modulus, keyBytes(0x22)) << "the key after the end is still the file's key";
  EXPECT_TRUE(catalogue.entries()[1].models.empty());
  EXPECT_EQ(catalogue.selectManufacturer("M"), std::vector<std::string>{"M1"});
}

TEST(CatalogueLoading, LibraryAndKeyCarryOverFromOneDllToTheNext) {
  TempDir start;
  writeManufacturer(start, "M",
                    "<fabricante>"
                    "<dll><nome>zero.so</nome><modelo>M0</modelo></dll>"
                    "<dll><modelo>before nome: not seen</modelo><nome>one.so</nome>" + chave(0x11) +
                        "<modelo>M1</modelo></dll>"
                        "<dll><modelo>M2</modelo></dll>"
                        "<dll><nome>three.so</nome><modelo>M3</modelo>" + chave(0x33) + "<modelo>M3b</modelo></dll>"
                    "</fabricante>");
  ScriptedUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, start.path());
  ASSERT_EQ(catalogue.entries().size(), 1u);
  const auto& models = catalogue.entries()[0].models;
  ASSERT_EQ(models.size(), 4u);

  EXPECT_EQ(models[0].name, "M0");
  EXPECT_EQ(models[0].libraryFile, "zero.so");
  EXPECT_FALSE(models[0].key.modulusPresent);
  EXPECT_FALSE(models[0].key.exponentPresent);

  EXPECT_EQ(models[1].name, "M1");
  EXPECT_EQ(models[1].libraryFile, "one.so");
  EXPECT_TRUE(models[1].key.modulusPresent);
  EXPECT_EQ(models[1].key.modulus, keyBytes(0x11));
  RsaBytes e{};
  e[125] = 0x01, e[126] = 0x00, e[127] = 0x01;
  EXPECT_EQ(models[1].key.exponent, e);

  EXPECT_EQ(models[2].name, "M2");
  EXPECT_EQ(models[2].libraryFile, "one.so");
  EXPECT_EQ(models[2].key.modulus, keyBytes(0x11));

  // A modelo before the chave of its dll is skipped: the search continues after the chave.
  EXPECT_EQ(models[3].name, "M3b");
  EXPECT_EQ(models[3].libraryFile, "three.so");
  EXPECT_EQ(models[3].key.modulus, keyBytes(0x33));
  EXPECT_TRUE(catalogue.entries()[0].hasSeveralKeys);
  EXPECT_TRUE(ui.messages.empty());
}

TEST(CatalogueKeys, SeveralKeysNeedTheModel) {
  TempDir start;
  writeManufacturer(start, "S",
                    "<fabricante><dll><nome>a.so</nome>" + chave(0xA1) + "<modelo>A</modelo></dll>"
                    "<dll><nome>b.so</nome>" + chave(0xB2) + "<modelo>B</modelo></dll>"
                    "<dll><nome>c.so</nome><modelo>C</modelo></dll></fabricante>");
  ScriptedUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, start.path());
  ASSERT_TRUE(catalogue.entries().at(0).hasSeveralKeys);

  EXPECT_FALSE(catalogue.keyOfSelection(ui, "S", ""));
  EXPECT_EQ(ui.messages.back(), (ShownMessage{"Favor selecionar o modelo de impressora!", "Erro!", Icon::Error}));

  auto key = catalogue.keyOfSelection(ui, "S", "B");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->modulus, keyBytes(0xB2));
  key = catalogue.keyOfSelection(ui, "S", "C");  // its dll has no chave: the one read before it
  ASSERT_TRUE(key);
  EXPECT_EQ(key->modulus, keyBytes(0xB2));
  key = catalogue.keyOfSelection(ui, "S", "A");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->modulus, keyBytes(0xA1));

  const std::size_t shown = ui.messages.size();
  EXPECT_FALSE(catalogue.keyOfSelection(ui, "S", "unknown"));
  ASSERT_EQ(ui.messages.size(), shown + 1);
  EXPECT_EQ(ui.messages.back(), kMissingModulus);
}

TEST(CatalogueKeys, OneKeyServesEveryModelAndAbsentPartsAreReported) {
  TempDir start;
  // The first model's dll has no chave; the file's one key comes later.
  writeManufacturer(start, "ONE",
                    "<fabricante><dll><nome>a.so</nome><modelo>first</modelo></dll>"
                    "<dll><nome>b.so</nome>" + chave(0x5A) + "<modelo>second</modelo></dll></fabricante>");
  writeManufacturer(start, "NOEXP",
                    "<fabricante><dll><nome>a.so</nome><chave><modulo>AB</modulo></chave><modelo>m</modelo></dll>"
                    "</fabricante>");
  writeManufacturer(start, "BADHEX",
                    "<fabricante><dll><nome>a.so</nome><chave><modulo>XYZ</modulo><expoente_publico>3"
                    "</expoente_publico></chave><modelo>m</modelo></dll></fabricante>");
  writeManufacturer(start, "NOKEY", "<fabricante><dll><nome>a.so</nome><modelo>m</modelo></dll></fabricante>");
  ScriptedUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, start.path());

  for (const char* model : {"first", "second", "", "no such model"}) {
    auto key = catalogue.keyOfSelection(ui, "ONE", model);
    ASSERT_TRUE(key) << model;
    EXPECT_EQ(key->modulus, keyBytes(0x5A));
  }
  EXPECT_TRUE(ui.messages.empty());

  EXPECT_FALSE(catalogue.keyOfSelection(ui, "NOEXP", "m"));
  EXPECT_EQ(ui.messages.back(),
            (ShownMessage{"Expoente Público da chave não encontrado no arquivo XML!"_cp, "Erro!", Icon::Error}));
  // A key with other than hexadecimal digits is there, but every signature is invalid with it.
  const std::size_t shown = ui.messages.size();
  const auto badHex = catalogue.keyOfSelection(ui, "BADHEX", "m");
  ASSERT_TRUE(badHex);
  EXPECT_FALSE(badHex->wellFormed);
  EXPECT_EQ(ui.messages.size(), shown);
  EXPECT_FALSE(catalogue.keyOfSelection(ui, "NOKEY", "m"));
  EXPECT_EQ(ui.messages.back(), kMissingModulus);
  EXPECT_FALSE(catalogue.keyOfSelection(ui, "nobody", "m"));
  EXPECT_EQ(ui.messages.back(), kMissingModulus);
  EXPECT_FALSE(catalogue.keyOfSelection(ui, "", "m"));
  EXPECT_EQ(ui.messages.back(), (ShownMessage{"Não há fabricante selecionado."_cp, "Erro!", Icon::Error}));
  EXPECT_EQ(ui.messages.size(), 4u);
  EXPECT_EQ(catalogue.mdbDirectory(), (fs::absolute(start.path()) / "nobody" / "MDB").string() + "/");
}

// The signature check's key is the selection's key, read as every key file is
// read (trimmed, padded, first 256 digits); the same boxes when there is none.
TEST(CatalogueKeys, TheSignatureKeyIsTheSelectionsKey) {
  TempDir start;
  writeManufacturer(start, "ONE",
                    "<fabricante><dll><nome>a.so</nome><chave><modulo>\n  " + keyText(0x5A) + "ZZ \n</modulo>"
                    "<expoente_publico> 10001 </expoente_publico></chave><modelo>m</modelo></dll></fabricante>");
  writeManufacturer(start, "BADHEX",
                    "<fabricante><dll><nome>a.so</nome><chave><modulo>AB</modulo><expoente_publico>1 0001"
                    "</expoente_publico></chave><modelo>m</modelo></dll></fabricante>");
  ScriptedUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, start.path());

  const std::optional<RsaPublicKey> key = catalogue.rsaKeyOfSelection(ui, "ONE", "m");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->modulus, keyBytes(0x5A));
  RsaBytes f4{};
  f4[125] = 0x01;
  f4[127] = 0x01;
  EXPECT_EQ(key->exponent, f4);
  EXPECT_TRUE(key->wellFormed);

  const std::optional<RsaPublicKey> badHex = catalogue.rsaKeyOfSelection(ui, "BADHEX", "m");
  ASSERT_TRUE(badHex);
  EXPECT_FALSE(badHex->wellFormed);
  EXPECT_EQ(badHex->modulus[127], 0xAB);
  EXPECT_TRUE(ui.messages.empty());

  EXPECT_FALSE(catalogue.rsaKeyOfSelection(ui, "nobody", "m"));
  EXPECT_EQ(ui.messages, std::vector<ShownMessage>{kMissingModulus});
}

TEST(ModelGroups, WholeNamesWithoutRegardToCaseBlanksCount) {
  EXPECT_TRUE(isModelInGroup(3, "ZPM", "ZPM/3EF LOGGER"));
  EXPECT_TRUE(isModelInGroup(6, "ZPM", "ZPM/3EF LOGGER"));
  EXPECT_TRUE(isModelInGroup(3, "zpm", "zpm/3ef logger"));
  EXPECT_TRUE(isModelInGroup(6, "Zpm", "zPM/3eF LOGGER"));
  EXPECT_TRUE(isModelInGroup(3, "PERCEPTION", "P01"));
  EXPECT_FALSE(isModelInGroup(6, "PERCEPTION", "P01"));
  EXPECT_TRUE(isModelInGroup(6, "PERCEPTION", "P01 "));
  EXPECT_TRUE(isModelInGroup(6, "PERTO", "PERTOPAY  2023"));
  EXPECT_FALSE(isModelInGroup(6, "PERTO", "PERTOPAY 2023"));
  EXPECT_TRUE(isModelInGroup(3, "PERTO", "PERTOPAY 2023"));
  EXPECT_TRUE(isModelInGroup(2, "DATAREGIS", "3202DT"));
  EXPECT_TRUE(isModelInGroup(4, "BEMATECH", "MP-2100 TH FI"));
  EXPECT_TRUE(isModelInGroup(5, "BEMATECH", "MP-20 FI II"));
  EXPECT_FALSE(isModelInGroup(4, "BEMATECH", "MP-20 FI II"));
  EXPECT_FALSE(isModelInGroup(5, "DARUMA", "FS2000 "));
  EXPECT_FALSE(isModelInGroup(5, "DARUMA", "FS200"));
  EXPECT_FALSE(isModelInGroup(5, "IBM", "MP-20 FI II")) << "the pair counts, not the model alone";
  for (int n : {-1, 0, 1, 7, 100}) EXPECT_FALSE(isModelInGroup(n, "DATAREGIS", "3202DT")) << n;
}

TEST(CatalogueSelection, ManufacturerModelAndPortChoices) {
  CurrentDirectoryGuard cwd;
  TempDir start;
  writeManufacturer(start, "DARUMA", "<fabricante><dll><nome>daruma.so</nome><modelo>FS2000</modelo>"
                                     "<modelo>FS700</modelo></dll></fabricante>");
  writeManufacturer(start, "daruma", "<fabricante><dll><nome>x.so</nome><modelo>lower</modelo></dll></fabricante>");
  ScriptedUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, start.path());

  EXPECT_EQ(catalogue.selectManufacturer("DARUMA"), (std::vector<std::string>{"FS2000", "FS700"}));
  EXPECT_EQ(catalogue.mdbDirectory(), (fs::absolute(start.path()) / "DARUMA" / "MDB").string() + "/");
  EXPECT_TRUE(catalogue.libraryPath().empty());

  // The library does not exist: reported when the model is chosen; the choice still counts.
  catalogue.selectModel(ui, "DARUMA", "FS2000", "COM2");
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Erro! A biblioteca não foi localizada."_cp, "Erro!", Icon::Error}}));
  EXPECT_EQ(catalogue.libraryPath(), "DARUMA/daruma.so");
  EXPECT_EQ(catalogue.manufacturerDirectory(), "DARUMA");
  EXPECT_EQ(catalogue.connectionPort(), "COM2");
  EXPECT_EQ(catalogue.connectionModel(), "FS2000");
  EXPECT_TRUE(catalogue.modelInGroup(5));
  EXPECT_FALSE(catalogue.loadedLibrary());
  EXPECT_EQ(fs::current_path(), fs::absolute(start.path()));

  catalogue.selectPort("USB", "FS700");
  EXPECT_EQ(catalogue.connectionPort(), "USB");
  EXPECT_EQ(catalogue.connectionModel(), "FS700");

  // A new manufacturer clears the selected pair but keeps the last library path.
  EXPECT_EQ(catalogue.selectManufacturer("daruma"), (std::vector<std::string>{"lower"}));
  EXPECT_FALSE(catalogue.modelInGroup(5));
  EXPECT_EQ(catalogue.libraryPath(), "DARUMA/daruma.so");

  // A model that no entry has: nothing is loaded, nothing shown.
  catalogue.selectModel(ui, "DARUMA", "FS9999", "COM1");
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(catalogue.selectedModel(), "FS9999");
}

TEST(CatalogueRobustness, UnreadableFoldersLoopsAndLargeCatalogues) {
  TempDir start;
  // 60 manufacturers, one with 40 models of long names: no limits.
  for (int i = 0; i < 60; ++i) {
    std::string models;
    for (int m = 0; m < (i == 7 ? 40 : 1); ++m) models += "<modelo>" + std::string(150, 'M') + std::to_string(m) + "</modelo>";
    writeManufacturer(start, cformat("FAB%02d", i), "<fabricante><dll><nome>" + std::string(300, 'n') +
                                                         ".so</nome>" + models + "</dll></fabricante>");
  }
  writeManufacturer(start, "LOCKED", "<fabricante><dll><nome>l.so</nome><modelo>L</modelo></dll></fabricante>");
  fs::permissions(start.path() / "LOCKED", fs::perms::none);
  fs::create_directory_symlink("LOOP2", start.path() / "LOOP1");
  fs::create_directory_symlink("LOOP1", start.path() / "LOOP2");
  fs::create_directory_symlink(".", start.path() / "SELF");
  writeManufacturer(start, "BIG", "<fabricante><dll><nome>big.so</nome>" + std::string(10'000'000, ' ') +
                                      "<modelo>Z</modelo></dll></fabricante>");

  ScriptedUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, start.path());
  const bool lockedReadable = ::access((start.path() / "LOCKED" / "LOCKED.xml").c_str(), R_OK) == 0;  // root reads all
  ASSERT_EQ(catalogue.entries().size(), 61u + (lockedReadable ? 1 : 0));
  EXPECT_EQ(catalogue.entries()[0].name, "BIG");
  EXPECT_EQ(catalogue.entries()[8].name, "FAB07");
  EXPECT_EQ(catalogue.entries()[8].models.size(), 40u);
  EXPECT_EQ(catalogue.entries()[8].models[39].name, std::string(150, 'M') + "39");
  EXPECT_EQ(catalogue.entries()[8].models[0].libraryFile.size(), 303u);
  EXPECT_TRUE(ui.messages.empty());

  // A start directory that does not exist gives an empty catalogue.
  catalogue.loadCatalogue(ui, start.path() / "nothing here");
  EXPECT_TRUE(catalogue.entries().empty());
}

}  // namespace
}  // namespace tavex
