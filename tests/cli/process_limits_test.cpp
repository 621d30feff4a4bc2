// tavex-cli as a process under the limits a shell can set.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/files.h"
#include "support/sample_files.h"

namespace tavex::testing {
namespace {

int shellStatus(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

// Past the file-size limit the log cannot be written whole: the run says so and
// exits 2, instead of being killed by the signal such a write raises.
TEST(CliProcess, AFileSizeLimitOnTheLogIsAFailureNotACrash) {
  TempDir dir;
  auto lines = sampleTdmFile();
  for (std::string& l : lines) l[60] = 'X';  // many findings: a long log
  writeFile(dir.file("ecf.txt"), joinLines(lines));
  const std::string cli = std::string(TAVEX_BINARY_DIR) + "/bin/tavex-cli";
  EXPECT_EQ(shellStatus("ulimit -f 1; '" + cli + "' validar '" + dir.file("ecf.txt") + "' >/dev/null 2>&1"), 2);
}

}  // namespace
}  // namespace tavex::testing
