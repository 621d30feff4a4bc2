// The simulated ECF as the program sees it: through the loader, with the files it
// writes into the manufacturer's working folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>

#include "cotepe/text.h"
#include "library_support.h"
#include "printer/library_loader.h"
#include "printer/manufacturer_catalogue.h"
#include "support/scripted_ui.h"
#include "validation/validate.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using testing::CurrentDirectoryGuard;
using testing::readFile;
using testing::ScriptedUserInterface;
using testing::TempDir;

class Simulator : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::stageLibraries(start);
    lib = loadManufacturerLibrary(ui, fs::absolute(start.path()), testing::kSimulatorLibrary);
    ASSERT_TRUE(lib);
  }
  fs::path folder() const { return fs::absolute(start.path()) / "DATAREGIS"; }
  std::string log() const { return readFile((folder() / "simulador.log").string()); }

  CurrentDirectoryGuard cwd;
  TempDir start;
  ScriptedUserInterface ui;
  std::shared_ptr<const ManufacturerLibrary> lib;
};

TEST_F(Simulator, DownloadAndTextFileMakeAValidCotepeFile) {
  ASSERT_EQ(lib->open("COM1", "SIM-1000 FI"), 0);
  ASSERT_EQ(lib->downloadMemorias("0", "3", "", ""), 0);
  ASSERT_EQ(lib->close(), 0);
  const fs::path mf = folder() / "Arquivos MF" / "SI010100000000000001.mf";
  ASSERT_TRUE(fs::exists(mf));

  ASSERT_EQ(lib->geraRegistrosTipoE(mf.c_str(), "", "0", "", "", ""), 0);
  const fs::path cotepe = folder() / "Arquivos TXT Formatados" / "SI010100000000000001_MF.txt";
  ASSERT_TRUE(fs::exists(cotepe));
  const ValidationSummary summary = validateCotepeFile(ui, cotepe.string(), 0);
  EXPECT_TRUE(summary.ran);
  EXPECT_EQ(summary.errors, 0) << readFile(cotepe.string() + ".log");
  EXPECT_TRUE(ui.messages.empty());
  const std::string text = readFile(cotepe.string());
  EXPECT_TRUE(text.starts_with("E01SI010100000000000001 ECF-IF DATAREGIS")) << text.substr(0, 80);
  EXPECT_NE(text.find("\r\nEAD"), std::string::npos);

  EXPECT_EQ(log(),
            "Open(\"COM1\", \"SIM-1000 FI\") = 0\r\n"
            "DownloadMemorias(\"0\", \"3\", \"\", \"\") = 0\r\n"
            "Close() = 0\r\n"
            "GeraRegistrosTipoE(\"" + mf.string() + "\", \"\", \"0\", \"\", \"\", \"\") = 0\r\n");
}

TEST_F(Simulator, TextFilesOfEveryKindValidate) {
  ASSERT_EQ(lib->open("COM1", "3202DT"), 0);
  ASSERT_EQ(lib->downloadMemorias("2", "3", "", ""), 0);
  ASSERT_EQ(lib->leituraRz("3202DT"), 0);
  ASSERT_EQ(lib->close(), 0);
  const std::string mf = (folder() / "Arquivos MF" / "SI010100000000000001.mf").string();
  const std::string mfd = (folder() / "Arquivos Binários" / "SI010100000000000001.mfd").string();
  const std::string rz = (folder() / "Arquivos Binários" / "SI010100000000000001.rz").string();
  struct Kind {
    const char* digit;
    std::string mf, other;
    const char* file;
  };
  for (const Kind& k : {Kind{"1", "", mfd, "MFD"}, Kind{"2", mf, mfd, "TDM"}, Kind{"3", "", rz, "RZ"}}) {
    ASSERT_EQ(lib->geraRegistrosTipoE(k.mf.c_str(), k.other.c_str(), k.digit, "0", "", ""), 0) << k.file;
    const fs::path cotepe = folder() / "Arquivos TXT Formatados" / (std::string("SI010100000000000001_") + k.file + ".txt");
    const ValidationSummary summary = validateCotepeFile(ui, cotepe.string(), 0);
    EXPECT_TRUE(summary.ran) << k.file;
    EXPECT_EQ(summary.errors, 0) << readFile(cotepe.string() + ".log");
  }
}

TEST_F(Simulator, TdmDownloadWritesBothMemoriesAndMirrorsReadThem) {
  ASSERT_EQ(lib->open("USB", "3202DT"), 0);
  ASSERT_EQ(lib->downloadMemorias("2", "0", "01102012", "05102012"), 0);
  const fs::path mfd = folder() / "Arquivos Binários" / "SI010100000000000001.mfd";
  ASSERT_TRUE(fs::exists(folder() / "Arquivos MF" / "SI010100000000000001.mf"));
  ASSERT_TRUE(fs::exists(mfd));
  EXPECT_EQ(lib->geraEspelhos(mfd.c_str(), "0", "0", "0", "0"), 0);
  EXPECT_EQ(lib->close(), 0);
  EXPECT_TRUE(fs::exists(folder() / "Arquivos TXT Espelho" / "SI010100000000000001_espelho_mfd.txt"));
  EXPECT_EQ(lib->geraRegistrosTipoE("", mfd.c_str(), "1", "0", "", ""), 0);
  EXPECT_TRUE(fs::exists(folder() / "Arquivos TXT Formatados" / "SI010100000000000001_MFD.txt"));
}

TEST_F(Simulator, PrintingAppendsToThePrinterFile) {
  ASSERT_EQ(lib->open("COM2", "SIM-1000 FI"), 0);
  EXPECT_EQ(lib->imprimeLeituraX(), 0);
  EXPECT_EQ(lib->imprimeLeituraMemoriaFiscal("c", "1", "2"), 0);
  EXPECT_EQ(lib->imprimeFitaDetalhe("1", "1", "20", ""), 0);
  EXPECT_EQ(lib->close(), 0);
  const std::string printed = readFile((folder() / "impressora.txt").string());
  EXPECT_NE(printed.find("LEITURA X\r\n"), std::string::npos);
  EXPECT_NE(printed.find("LEITURA DA MEMORIA FISCAL SIMPLIFICADA\r\nECF SI010100000000000001 MODELO SIM-1000 FI\r\n"
                         "CRZ DE 1 A 2\r\n"),
            std::string::npos);
  EXPECT_NE(printed.find("FITA DETALHE\r\n"), std::string::npos);
}

TEST_F(Simulator, PortsModelsAndFilesGiveEveryResultCode) {
  EXPECT_EQ(lib->open("COM5", "SIM-1000 FI"), -1);
  EXPECT_EQ(lib->open("COM6", "SIM-1000 FI"), 1);
  EXPECT_EQ(lib->open("COM7", "SIM-1000 FI"), 2);
  EXPECT_EQ(lib->open("COM1", "UNKNOWN"), 4);
  EXPECT_EQ(lib->imprimeLeituraX(), -1) << "not opened";

  ASSERT_EQ(lib->open("COM4", "SIM-1000 FI"), 0);
  EXPECT_EQ(lib->imprimeLeituraX(), 3);
  ASSERT_EQ(lib->open("COM1", "SIM-1000 FI"), 0);
  EXPECT_EQ(lib->imprimeFitaDetalhe("9", "", "", ""), 3);
  EXPECT_EQ(lib->downloadMemorias("0", "7", "", ""), 3);

  EXPECT_EQ(lib->geraRegistrosTipoE((folder() / "nothing.mf").c_str(), "", "0", "", "", ""), 5);
  EXPECT_EQ(lib->geraRegistrosTipoE((folder() / "DATAREGIS.xml").c_str(), "", "0", "", "", ""), 6);
  EXPECT_EQ(lib->geraEspelhoLmf(nullptr, "0", "0", "", ""), 5);

  ASSERT_EQ(lib->open("COM1", "SIM-50 SEM MFD"), 0);
  EXPECT_EQ(lib->leSoftwareBasico(), 7);
  EXPECT_EQ(lib->imprimeFitaDetalhe("0", "", "", ""), 8);
  EXPECT_EQ(lib->downloadMemorias("1", "3", "", ""), 8);
  EXPECT_EQ(lib->leituraRz("SIM-50 SEM MFD"), 8);
  EXPECT_EQ(lib->downloadMemorias("0", "3", "", ""), 0);
  EXPECT_EQ(lib->leBinarioMf(), 0);
  EXPECT_TRUE(fs::exists(folder() / "Arquivos Binários" / "SI010100000000000001.bin"));
  EXPECT_EQ(lib->close(), 0);
}

TEST_F(Simulator, AStuckDownloadEndsWhenCloseIsCalled) {
  ASSERT_EQ(lib->open("COM3", "SIM-1000 FI"), 0);
  auto worker = std::async(std::launch::async, [l = lib] { return l->downloadMemorias("1", "3", "", ""); });
  EXPECT_EQ(worker.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout) << "the download waits";
  EXPECT_EQ(lib->close(), 0);
  ASSERT_EQ(worker.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(worker.get(), -1);
}

TEST_F(Simulator, MirrorOfTheFiscalMemoryReading) {
  ASSERT_EQ(lib->open("COM1", "SIM-1000 FI"), 0);
  ASSERT_EQ(lib->leBinarioMf(), 0);
  ASSERT_EQ(lib->close(), 0);
  const fs::path bin = folder() / "Arquivos Binários" / "SI010100000000000001.bin";
  EXPECT_EQ(lib->geraEspelhoLmf(bin.c_str(), "1", "1", "1", "2"), 0);
  const std::string mirror = readFile((folder() / "Arquivos TXT Espelho" / "SI010100000000000001_espelho_lmf.txt").string());
  EXPECT_TRUE(mirror.starts_with("ESPELHO DA LEITURA DA MEMORIA FISCAL SI010100000000000001 SIMPLIFICADA\r\n")) << mirror;
}

TEST(SimulatorCatalogue, StagedStartDirectoryListsTheSimulatorWithItsKey) {
  CurrentDirectoryGuard cwd;
  ScriptedUserInterface ui;
  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, fs::path(TAVEX_BINARY_DIR) / "exemplos");
  const auto& entries = catalogue.entries();
  const auto found = std::find_if(entries.begin(), entries.end(), [](const auto& e) { return e.name == "DATAREGIS"; });
  ASSERT_NE(found, entries.end());
  const ManufacturerEntry& e = *found;
  ASSERT_EQ(e.models.size(), 3u);
  EXPECT_EQ(e.models[0].name, "SIM-1000 FI");
  EXPECT_EQ(e.models[0].libraryFile, "libecf_simulado.so");
  EXPECT_FALSE(e.hasSeveralKeys);
  EXPECT_TRUE(isModelInGroup(2, e.name, e.models[1].name));
  EXPECT_FALSE(isModelInGroup(2, e.name, e.models[0].name));

  auto key = catalogue.keyOfSelection(ui, "DATAREGIS", "SIM-1000 FI");
  ASSERT_TRUE(key);
  EXPECT_GE(key->modulus[0], 0x80) << "a full 1024-bit modulus";
  RsaBytes f4{};
  f4[125] = 0x01, f4[127] = 0x01;
  EXPECT_EQ(key->exponent, f4);

  catalogue.selectModel(ui, "DATAREGIS", "3202DT", "COM1");
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(catalogue.modelInGroup(2));
}

}  // namespace
}  // namespace tavex
