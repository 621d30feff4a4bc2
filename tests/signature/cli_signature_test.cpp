// tavex-cli assinatura and paf, run in-process in a folder holding a manufacturer
// catalogue and a software-house key folder: exit status and messages.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/commands.h"
#include "printer/library_support.h"
#include "signing_helpers.h"
#include "support/files.h"

namespace tavex {
namespace {

using testing::TempDir;

struct CliRun {
  int status;
  std::string out, err;
};

// Runs "tavex-cli COMMAND ARGS..." (arguments split at blanks) in `dir`.
CliRun runCli(const TempDir& dir, const std::string& commandLine) {
  testing::CurrentDirectoryGuard cwd;
  std::filesystem::current_path(dir.path());
  cli::Args args;
  std::istringstream words(commandLine);
  for (std::string w; words >> w;) args.push_back(w);
  const std::string command = args.front();
  args.erase(args.begin());
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int status = command == "paf" ? cli::runPaf(args) : cli::runAssinatura(args);
  std::fflush(stdout);
  std::fflush(stderr);
  return {status, ::testing::internal::GetCapturedStdout(), ::testing::internal::GetCapturedStderr()};
}

TEST(SignatureCli, ExitStatusFollowsTheVerdict) {
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
  EXPECT_EQ(runCli(dir, "assinatura bom.txt").status, 2);
}

TEST(SignatureCli, AnUnknownManufacturerIsNotFoundRatherThanKeyless) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "ACME");
  testing::writeFile(dir.file("ACME/ACME.xml"), "<fabricante><dll><nome>libacme.so</nome><modelo>M1</modelo></dll></fabricante>");
  testing::writeFile(dir.file("a.txt"), testing::sampleSignedContent());
  CliRun r = runCli(dir, "assinatura a.txt --fabricante NINGUEM");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tavex-cli: fabricante não encontrado na pasta atual: NINGUEM\n");
  r = runCli(dir, "assinatura a.txt --fabricante ACME");  // known, but its file has no key
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Erro!: Módulo da chave não encontrado no arquivo XML!\n");
}

TEST(SignatureCli, DoubleDashEndsTheOptions) {
  const testing::TestKey* key = testing::sharedKey(65537);
  if (key == nullptr) GTEST_SKIP() << "openssl is not available";
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "SHouse");
  testing::writeFile(dir.file("SHouse/Casa.xml"), "<empresa_desenvolvedora><nome>Casa</nome><chave><modulo>" +
                                                      key->modulusHex + "</modulo><expoente_publico>" +
                                                      key->exponentHex + "</expoente_publico></chave></empresa_desenvolvedora>");
  const std::string content = testing::sampleSignedContent();
  const std::string signedText = testing::withEad(content, testing::hexText(testing::opensslMd5Signature(*key, content)));
  testing::writeFile(dir.file("-h"), signedText);
  testing::writeFile(dir.file("--x.txt"), signedText);
  CliRun r = runCli(dir, "paf --software-house Casa -- -h");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Assinatura válida!\n");
  EXPECT_EQ(runCli(dir, "paf --software-house=Casa -- --x.txt").status, 0);
  r = runCli(dir, "paf --x.txt --software-house Casa");  // without "--" it is an option
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("opção desconhecida: --x.txt"), std::string::npos);
  EXPECT_EQ(runCli(dir, "paf --software-house").status, 2);  // an option without its value
}

}  // namespace
}  // namespace tavex
