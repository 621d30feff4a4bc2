// The simulated ECF signs its COTEPE files: a file it generates verifies with the key
// of its catalogue folder, and fails once changed.
#include <gtest/gtest.h>

#include "cotepe/text.h"
#include "printer/library_loader.h"
#include "printer/library_support.h"
#include "printer/manufacturer_catalogue.h"
#include "signature/ead_verification.h"
#include "support/scripted_ui.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;

TEST(SimulatorSignature, GeneratedCotepeFileVerifiesWithTheCatalogueKey) {
  if (!fs::exists(testing::kStagedSimulator / "libecf_simulado.so")) GTEST_SKIP() << "simulator not built";
  testing::CurrentDirectoryGuard cwd;
  testing::TempDir start;
  testing::stageLibraries(start);
  testing::ScriptedUserInterface ui;
  const fs::path startDir = fs::absolute(start.path());
  {
    const auto lib = loadManufacturerLibrary(ui, startDir, testing::kSimulatorLibrary);
    ASSERT_TRUE(lib);
    ASSERT_EQ(lib->open("COM1", "SIM-1000 FI"), 0);
    ASSERT_EQ(lib->downloadMemorias("0", "3", "", ""), 0);
    ASSERT_EQ(lib->close(), 0);
    const fs::path mf = startDir / "DATAREGIS" / "Arquivos MF" / "SI010100000000000001.mf";
    ASSERT_EQ(lib->geraRegistrosTipoE(mf.c_str(), "", "0", "", "", ""), 0);
  }
  const std::string cotepe = (startDir / "DATAREGIS" / "Arquivos TXT Formatados" / "SI010100000000000001_MF.txt").string();
  ASSERT_TRUE(fs::exists(cotepe));

  ManufacturerCatalogue catalogue;
  catalogue.loadCatalogue(ui, startDir);
  auto keyOfSelection = [&]() -> std::optional<RsaPublicKey> {
    const auto key = catalogue.keyOfSelection(ui, "DATAREGIS", "3202DT");
    if (!key) return std::nullopt;
    return RsaPublicKey{key->modulus, key->exponent, true};
  };
  ui.answer(cotepe);
  EXPECT_EQ(verifyEadSignature(ui, keyOfSelection), SignatureVerdict::Valid);

  std::string bytes = testing::readFile(cotepe);
  bytes[5] = static_cast<char>(bytes[5] ^ 1);
  testing::writeFile(cotepe, bytes);
  ui.answer(cotepe);
  EXPECT_EQ(verifyEadSignature(ui, keyOfSelection), SignatureVerdict::Invalid);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, "Assinatura válida!"_cp);
  EXPECT_EQ(ui.messages[1].text, "Assinatura Inválida!"_cp);
}

}  // namespace
}  // namespace tavex
