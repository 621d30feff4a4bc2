// PAF-ECF signature validation: listing of the key folder, the key file rules and the
// command's messages, with keys and signatures made by openssl where they matter.
#include <gtest/gtest.h>

#include <filesystem>

#include "cotepe/text.h"
#include "signature/paf_signature.h"
#include "signing_helpers.h"
#include "support/files.h"
#include "support/scripted_ui.h"

namespace tavex {
namespace {

using testing::ScriptedUserInterface;
using testing::ShownMessage;
using testing::TempDir;

ShownMessage error(const char* text) { return {text, "Erro!", Icon::Error}; }

std::string keyXml(const std::string& name, const std::string& modulus, const std::string& exponent) {
  return "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<!-- chave publica -->\r\n"
         "<empresa_desenvolvedora>\r\n  <nome>" + name + "</nome>\r\n  <chave>\r\n    <modulo>\r\n      " + modulus +
         "\r\n    </modulo>\r\n    <expoente_publico> " + exponent +
         " </expoente_publico>\r\n  </chave>\r\n</empresa_desenvolvedora>\r\n";
}

class PafSignature : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(folder()); }
  std::filesystem::path folder() const { return dir_.path() / "SHouse"; }
  void putKeyFile(const std::string& fileName, const std::string& xml) {
    testing::writeFile((folder() / fileName).string(), xml);
  }
  // Runs the command for `house`, answering the chooser with `signedFile` (written
  // to disk first when not empty).
  std::vector<ShownMessage> validate(const std::string& house, const std::string& signedFile = "") {
    ScriptedUserInterface ui;
    if (!signedFile.empty()) {
      const std::string path = dir_.file("arquivo_paf.txt");
      testing::writeFile(path, signedFile);
      ui.answer(path);
    }
    validatePafSignature(ui, house, folder());
    return ui.messages;
  }

  TempDir dir_;
};

TEST_F(PafSignature, ListsHousesWhoseFileIsNamedAfterThem) {
  putKeyFile("ACME.xml", keyXml("ACME", "01", "03"));
  putKeyFile("ACME_old.xml", keyXml("ACME", "01", "03"));  // 8 characters longer: not listed
  putKeyFile("Beta.xml", keyXml("Beta", "01", "03"));
  putKeyFile("Zeta.xml", keyXml("Outra", "01", "03"));
  putKeyFile("quebrado.xml", "<empresa_desenvolvedora><nome>quebrado</nome>");
  std::filesystem::create_directories(folder() / "pasta.xml");
  ScriptedUserInterface ui;
  EXPECT_EQ(listSoftwareHouses(ui, folder()), (std::vector<std::string>{"ACME", "Beta"}));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], (ShownMessage{"End tag of empresa_desenvolvedora element not found", "", Icon::None}));

  ScriptedUserInterface none;
  EXPECT_TRUE(listSoftwareHouses(none, dir_.path() / "nao_existe").empty());
  EXPECT_TRUE(none.messages.empty());
}

TEST_F(PafSignature, ValidSignatureAndWrongKey) {
  const testing::TestKey* key = testing::sharedKey(65537);
  const testing::TestKey* other = testing::sharedKey(3);
  if (key == nullptr || other == nullptr) GTEST_SKIP() << "openssl is not available";
  putKeyFile("Software Certo.xml", keyXml("Software Certo", key->modulusHex, key->exponentHex));
  putKeyFile("Outra.xml", keyXml("Outra", other->modulusHex, other->exponentHex));
  // A short modulus text is padded on the left: write the key without leading zeros.
  std::string unpadded = key->modulusHex;
  unpadded.erase(0, unpadded.find_first_not_of('0'));
  putKeyFile("Curta.xml", keyXml("Curta", unpadded, "1\r\n0001"));

  const std::string content = testing::sampleSignedContent();
  const std::string hex = testing::hexText(testing::opensslMd5Signature(*key, content));
  const ShownMessage valid{"Assinatura válida!"_cp, "Sucesso!", Icon::Information};
  EXPECT_EQ(validate("Software Certo", testing::withEad(content, hex)), std::vector<ShownMessage>{valid});
  EXPECT_EQ(validate("Software Certo", testing::withEad(content, hex, "")), std::vector<ShownMessage>{valid});
  EXPECT_EQ(validate("Outra", testing::withEad(content, hex)),
            std::vector<ShownMessage>{error("Assinatura Inválida!"_cp)});
  EXPECT_EQ(validate("Software Certo", testing::withEad(content, hex, "\n")),
            std::vector<ShownMessage>{error("Registro de assinatura inválido!"_cp)});
  // "1\r\n0001" is not a key text: trimming keeps the inner line break, which is not hexadecimal.
  EXPECT_EQ(validate("Curta", testing::withEad(content, hex)),
            std::vector<ShownMessage>{error("Assinatura Inválida!"_cp)});
  putKeyFile("Curta.xml", keyXml("Curta", unpadded, "\r\n  10001\r\n"));
  EXPECT_EQ(validate("Curta", testing::withEad(content, hex)), std::vector<ShownMessage>{valid});
}

TEST_F(PafSignature, KeyFileProblemsGiveTheirMessages) {
  EXPECT_EQ(validate(""), std::vector<ShownMessage>{error("Não há Software House selecionada."_cp)});
  const ShownMessage notFound = error("Não encontrado arquivo XML da Software House selecionada."_cp);
  EXPECT_EQ(validate("Ninguem"), std::vector<ShownMessage>{notFound});

  // A name is a file name: never a path out of the folder, even to a real key file.
  testing::writeFile(dir_.file("Fora.xml"), keyXml("../Fora", "01", "03"));
  putKeyFile("sub.xml", keyXml("sub", "01", "03"));
  EXPECT_EQ(validate("../Fora"), std::vector<ShownMessage>{notFound});
  EXPECT_EQ(validate("./sub"), std::vector<ShownMessage>{notFound});
  EXPECT_EQ(validate(".."), std::vector<ShownMessage>{notFound});

  putKeyFile("Acme.xml", keyXml("ACME", "01", "03"));
  EXPECT_EQ(validate("Acme"), std::vector<ShownMessage>{error("Arquivo XML não é da Software House selecionada."_cp)});

  const ShownMessage noModulus = error("Módulo da chave não encontrado no arquivo XML!"_cp);
  const ShownMessage noExponent = error("Expoente Público da chave não encontrado no arquivo XML!"_cp);
  putKeyFile("SemChave.xml", "<empresa_desenvolvedora><nome>SemChave</nome></empresa_desenvolvedora>");
  EXPECT_EQ(validate("SemChave"), std::vector<ShownMessage>{noModulus});
  putKeyFile("OutraRaiz.xml", "<empresa><chave><modulo>01</modulo><expoente_publico>3</expoente_publico></chave></empresa>");
  EXPECT_EQ(validate("OutraRaiz"), std::vector<ShownMessage>{noModulus});
  putKeyFile("SemNome.xml",
             "<empresa_desenvolvedora><chave><modulo>01</modulo></chave></empresa_desenvolvedora>");
  EXPECT_EQ(validate("SemNome"), std::vector<ShownMessage>{noExponent});  // no nome: the name check is skipped
  putKeyFile("Invertida.xml",
             "<empresa_desenvolvedora><nome>Invertida</nome><chave><expoente_publico>3</expoente_publico>"
             "<modulo>01</modulo></chave></empresa_desenvolvedora>");
  EXPECT_EQ(validate("Invertida"), std::vector<ShownMessage>{noExponent});
  putKeyFile("Quebrado.xml", "<empresa_desenvolvedora><nome>Quebrado</nome><chave>");
  const std::vector<ShownMessage> broken = validate("Quebrado");
  ASSERT_EQ(broken.size(), 2u);
  EXPECT_EQ(broken[0].title, "");
  EXPECT_EQ(broken[1], noModulus);
}

TEST_F(PafSignature, BadKeysAndCancelNeverCrash) {
  const std::string file = testing::withEad(testing::sampleSignedContent(), std::string(256, '7'));
  const std::vector<ShownMessage> invalid{error("Assinatura Inválida!"_cp)};
  putKeyFile("Zero.xml", keyXml("Zero", "0", "03"));
  EXPECT_EQ(validate("Zero", file), invalid);
  putKeyFile("Um.xml", keyXml("Um", "1", "03"));
  EXPECT_EQ(validate("Um", file), invalid);
  putKeyFile("ExpZero.xml", keyXml("ExpZero", std::string(256, 'F'), "0"));
  EXPECT_EQ(validate("ExpZero", file), invalid);
  putKeyFile("Longa.xml", keyXml("Longa", std::string(300, 'E'), "010001"));
  EXPECT_EQ(validate("Longa", file), invalid);
  putKeyFile("NaoHex.xml", keyXml("NaoHex", "C0FFEE-XYZ", "010001"));
  EXPECT_EQ(validate("NaoHex", file), invalid);
  EXPECT_TRUE(validate("NaoHex").empty());  // chooser cancelled: no message
}

}  // namespace
}  // namespace tavex
