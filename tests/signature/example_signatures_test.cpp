// The shipped examples carry real signatures: every COTEPE example verifies with the
// simulated ECF's catalogue key, the tampered copy does not, the PAF-ECF example
// verifies with the example software house's key, and the example private keys are
// the pairs of those public keys.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/commands.h"
#include "printer/library_support.h"
#include "signature/file_signing.h"
#include "signature/paf_signature.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/scripted_ui.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using testing::runCaptured;

const fs::path kExamples = fs::path(TAVEX_SOURCE_DIR) / "exemplos";
constexpr const char* kTampered = "tdm_assinatura_adulterada.txt";

// A start folder as the package's: the examples, the DATAREGIS catalogue, SHouse.
struct ExampleFolder {
  testing::TempDir dir;
  testing::CurrentDirectoryGuard cwd;
  ExampleFolder() {
    fs::copy(kExamples, dir.path(), fs::copy_options::recursive);
    fs::create_directories(dir.path() / "DATAREGIS");
    fs::copy_file(fs::path(TAVEX_SOURCE_DIR) / "simulator/DATAREGIS/DATAREGIS.xml", dir.path() / "DATAREGIS/DATAREGIS.xml");
    fs::current_path(dir.path());
  }
};

TEST(ExampleSignatures, EveryCotepeExampleVerifiesWithTheSimulatedEcfsKeyButTheTamperedCopy) {
  ExampleFolder folder;
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(kExamples)) {
    if (entry.path().extension() != ".txt") continue;
    const std::string name = entry.path().filename().string();
    const testing::CliOutcome r = runCaptured(cli::runAssinatura, {name, "--fabricante", "DATAREGIS"});
    if (name == kTampered) {
      EXPECT_EQ(r.status, cli::kFound);
      EXPECT_EQ(r.err, "Erro!: Assinatura Inválida!\n");
    } else {
      EXPECT_EQ(r.status, cli::kOk) << name << ": " << r.err;
      EXPECT_EQ(r.out, "Assinatura válida!\n") << name;
    }
    ++checked;
  }
  EXPECT_GE(checked, 9);
}

TEST(ExampleSignatures, TheTamperedCopyDiffersFromTheValidExampleInOneByte) {
  const std::string valid = testing::readFile((kExamples / "tdm_valido.txt").string());
  const std::string tampered = testing::readFile((kExamples / kTampered).string());
  ASSERT_EQ(valid.size(), tampered.size());
  int differences = 0;
  for (std::size_t i = 0; i < valid.size(); ++i) differences += valid[i] != tampered[i];
  EXPECT_EQ(differences, 1);
}

TEST(ExampleSignatures, ThePafExampleVerifiesWithTheSoftwareHousesKey) {
  ExampleFolder folder;
  const testing::CliOutcome r = runCaptured(cli::runPaf, {"paf/mercadorias.txt", "--software-house", "TAVEXSOFT"});
  EXPECT_EQ(r.status, cli::kOk) << r.err;
  EXPECT_EQ(r.out, "Assinatura válida!\n");
}

TEST(ExampleSignatures, TheExamplePrivateKeysPairWithTheCataloguesPublicKeys) {
  ExampleFolder folder;
  testing::ScriptedUserInterface ui;
  const std::optional<RsaPublicKey> house = softwareHouseKey(ui, "TAVEXSOFT");
  ASSERT_TRUE(house);
  const PrivateKeyFile houseKey = readPrivateKeyFile("chaves/tavexsoft_privada.pem");
  ASSERT_EQ(houseKey.reading.error, PrivateKeyError::None);
  EXPECT_EQ(houseKey.reading.key.modulus, house->modulus);
  EXPECT_EQ(houseKey.reading.key.publicExponent, house->exponent);

  const PrivateKeyFile ecfKey = readPrivateKeyFile("chaves/dataregis_privada.pem");
  ASSERT_EQ(ecfKey.reading.error, PrivateKeyError::None);
  const std::string catalogue = testing::readFile("DATAREGIS/DATAREGIS.xml");
  const std::size_t from = catalogue.find("<modulo>") + 8;
  EXPECT_EQ(ecfKey.reading.key.modulus, *rsaBytesFromKeyText(catalogue.substr(from, catalogue.find("</modulo>") - from)));
  EXPECT_NE(house->modulus, ecfKey.reading.key.modulus) << "two key pairs, not one";
}

// The report checks with the key of E01's brand; the examples' brand (TAVEX) has no
// catalogue folder, a file of the simulated ECF's brand signed with its example key does.
TEST(ExampleSignatures, AFileSignedWithTheSimulatedEcfsExampleKeyIsValidInTheReport) {
  ExampleFolder folder;
  std::string content = testing::readFile("tdm_valido.txt");
  const std::size_t brandAt = content.find("TAVEX      ");
  ASSERT_EQ(brandAt, 31u);
  content.replace(brandAt, 9, "DATAREGIS");
  testing::writeFile("dataregis.txt", content);
  ASSERT_EQ(runCaptured(cli::runAssinar, {"dataregis.txt", "--chave-privada", "chaves/dataregis_privada.pem", "--substituir"})
                .status,
            cli::kOk);
  ASSERT_NE(runCaptured(cli::runRelatorio, {"dataregis.txt", "--tolerancia", "0,05", "--saida", "relatorio.html"}).status,
            cli::kCannotRun);
  const std::string html = testing::readFile("relatorio.html");
  EXPECT_NE(html.find("data-assinatura=\"valida\""), std::string::npos);
  EXPECT_NE(html.find("válida (chave de DATAREGIS)"), std::string::npos);
}

}  // namespace
}  // namespace tavex
