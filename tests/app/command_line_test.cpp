// tavex started from a shell: its own options, and a mistyped one.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace tavex {
namespace {

struct TavexRun {
  std::string output;  // standard output and error
  int status;
};

// A window that opens anyway would wait for its user: the timeout ends it (124).
TavexRun runTavex(const std::string& arguments) {
  const std::string command =
      "QT_QPA_PLATFORM=offscreen timeout 20 " + std::string(TAVEX_BINARY_DIR) + "/bin/tavex " + arguments + " 2>&1";
  TavexRun r{{}, -1};
  std::FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return r;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) r.output.append(buffer, n);
  const int raw = ::pclose(p);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

TEST(CommandLine, AnUnknownOptionIsAUsageErrorAndOpensNoWindow) {
  const TavexRun r = runTavex("--opção-desconhecida");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.output.starts_with("tavex: opção desconhecida: --opção-desconhecida\n\nUso: tavex")) << r.output;
  const TavexRun help = runTavex("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.output.starts_with("Uso: tavex")) << help.output;
}

}  // namespace
}  // namespace tavex
