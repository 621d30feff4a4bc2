// tavex-cli assinatura and paf: exit status and messages of the built program, run in
// a folder holding a manufacturer catalogue and a software-house key folder.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>

#include "signing_helpers.h"
#include "support/files.h"

namespace tavex {
namespace {

using testing::TempDir;

struct CliRun {
  int status;
  std::string out, err;
};

CliRun runCli(const TempDir& dir, const std::string& arguments) {
  const std::string cli = std::string(TAVEX_BINARY_DIR) + "/bin/tavex-cli";
  const std::string command = "cd '" + dir.path().string() + "' && '" + cli + "' " + arguments + " >out.txt 2>err.txt";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testing::readFile(dir.file("out.txt")),
          testing::readFile(dir.file("err.txt"))};
}

TEST(SignatureCli, ExitStatusFollowsTheVerdict) {
  if (!std::filesystem::exists(std::string(TAVEX_BINARY_DIR) + "/bin/tavex-cli")) GTEST_SKIP() << "tavex-cli not built";
  const testing::TestKey* key = testing::sharedKey(65537);
  if (key == nullptr) GTEST_SKIP() << "openssl is not available";
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "SHouse");
  std::filesystem::create_directories(dir.path() / "ACME");
  const std::string chave = "<chave><modulo>" + key->modulusHex + "</modulo><expoente_publico>" + key->exponentHex +
                            "</expoente_publico></chave>";
  testing::writeFile(dir.file("SHouse/Casa.xml"),
                     "<empresa_desenvolvedora><nome>Casa</nome>" + chave + "</empresa_desenvolvedora>");
  testing::writeFile(dir.file("ACME/ACME.xml"),
                     "<fabricante><dll><nome>libacme.so</nome>" + chave + "<modelo>M1</modelo></dll></fabricante>");
  const std::string content = testing::sampleSignedContent();
  const std::string hex = testing::hexText(testing::opensslMd5Signature(*key, content));
  testing::writeFile(dir.file("bom.txt"), testing::withEad(content, hex));
  testing::writeFile(dir.file("ruim.txt"), testing::withEad(content + "x", hex));
  testing::writeFile(dir.file("sem_ead.txt"), content);

  CliRun r = runCli(dir, "paf bom.txt --software-house Casa");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Assinatura válida!\n");
  r = runCli(dir, "paf ruim.txt --software-house Casa");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Erro!: Assinatura Inválida!\n");
  EXPECT_EQ(runCli(dir, "paf sem_ead.txt --software-house Casa").status, 1);
  EXPECT_EQ(runCli(dir, "paf bom.txt --software-house Outra").status, 2);
  EXPECT_EQ(runCli(dir, "paf nao_existe.txt --software-house Casa").status, 2);
  EXPECT_EQ(runCli(dir, "paf bom.txt").status, 2);
  r = runCli(dir, "paf --listar");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Casa\n");

  EXPECT_EQ(runCli(dir, "assinatura bom.txt --fabricante ACME").status, 0);
  EXPECT_EQ(runCli(dir, "assinatura bom.txt --fabricante ACME --modelo OUTRO").status, 0);  // one key for all
  EXPECT_EQ(runCli(dir, "assinatura ruim.txt --fabricante ACME").status, 1);
  r = runCli(dir, "assinatura bom.txt --fabricante NINGUEM");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Erro!: Módulo da chave não encontrado no arquivo XML!\n");
  EXPECT_EQ(runCli(dir, "assinatura bom.txt").status, 2);
}

}  // namespace
}  // namespace tavex
