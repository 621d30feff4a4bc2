// tavex-cli fabricantes, run as a user would run it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <sys/wait.h>

#include "support/files.h"

namespace tavex {
namespace {

struct CliRun {
  std::string out;
  int status;
};

CliRun runCli(const std::string& arguments) {
  const std::string command = std::string(TAVEX_BINARY_DIR) + "/bin/tavex-cli " + arguments + " 2>&1";
  CliRun r{{}, -1};
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int raw = ::pclose(p);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

TEST(FabricantesCommand, ListsManufacturersModelsLibrariesAndKeys) {
  testing::TempDir start;
  std::filesystem::create_directories(start.path() / "ACME");
  testing::writeFile(start.file("ACME/ACME.xml"),
                     "<fabricante><dll><nome>acme.so</nome><modelo>A1</modelo></dll>"
                     "<dll><nome>acme2.so</nome><chave><modulo>C1</modulo></chave><modelo>A2</modelo></dll>"
                     "<dll><chave><modulo>C2</modulo><expoente_publico>3</expoente_publico></chave>"
                     "<modelo>A3</modelo></dll></fabricante>");
  std::filesystem::create_directories(start.path() / "QUEBRADO");
  testing::writeFile(start.file("QUEBRADO/QUEBRADO.xml"), "<fabricante><dll>");

  const CliRun r = runCli("fabricantes '" + start.path().string() + "'");
  EXPECT_EQ(r.out,
            "Tavex: End tag of dll element not found\n"
            "Fabricante: ACME (várias chaves)\n"
            "  Modelo: A1 | biblioteca: acme.so | chave: não\n"
            "  Modelo: A2 | biblioteca: acme2.so | chave: incompleta\n"
            "  Modelo: A3 | biblioteca: acme2.so | chave: sim\n");
  EXPECT_EQ(r.status, 1) << "a manufacturer file with an XML error";

  EXPECT_EQ(runCli("fabricantes '" + (start.path() / "none").string() + "'").status, 2);
  EXPECT_EQ(runCli("fabricantes --help").status, 0);
}

}  // namespace
}  // namespace tavex
