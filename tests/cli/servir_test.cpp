// tavex-cli servir refuses what it cannot serve before it listens (the serving
// itself is tested in tests/server and, as a process, in tests/browser).
#include <gtest/gtest.h>

#include "cli/commands.h"
#include "support/cli_capture.h"
#include "support/files.h"

namespace tavex::cli {
namespace {

TEST(Servir, RefusesBadArgumentsAndMissingFoldersWithStatusTwo) {
  testing::TempDir dir;
  const struct {
    Args args;
    const char* says;
  } cases[] = {
      {{dir.file("nao-existe")}, "não existe ou não é uma pasta"},
      {{dir.path().string(), "--porta", "0"}, "--porta espera um número de 1 a 65535"},
      {{dir.path().string(), "--porta", "80a"}, "--porta espera"},
      {{dir.path().string(), dir.path().string()}, "uma só pasta"},
      {{"--endereco", "0.0.0.0"}, "--endereco"},
  };
  for (const auto& c : cases) {
    const testing::CliOutcome o = testing::runCaptured(runServir, c.args);
    EXPECT_EQ(o.status, kCannotRun) << c.says;
    EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
  }
  EXPECT_NE(testing::runCaptured(runServir, {"--help"}).out.find("Ctrl-C"), std::string::npos);
}

}  // namespace
}  // namespace tavex::cli
