// The browser workbench end to end: tavex-cli servir started as a process, driven
// in headless Chromium by Playwright (tests/browser/workbench.mjs, playwright-core
// installed from npm by tools/dependencies.sh): the list, a file's findings page by
// page, a finding's record, its deep link, the keys, indicators, reconciliation,
// report download, upload with progress, hostile texts; then SIGTERM stops it.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "generator.h"
#include "support/files.h"
#include "support/sample_files.h"

extern char** environ;

namespace tavex::testing {
namespace {

namespace fs = std::filesystem;

// A month of a TDM whose every coupon has letters in its customer's CNPJ: a few
// hundred findings, so the list has pages.
std::string tdmFullOfFindings() {
  std::ostringstream out;
  GeneratorOptions options;
  options.reductions = 10;
  generateCotepe(out, options);
  std::string text = out.str(), result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("E14") && line.size() >= 191) line.replace(177, 3, "ABC");
    result += line + "\n";
  }
  return result;
}

std::string hostileTdm() {
  std::vector<std::string> lines = sampleTdmFile();
  lines[1] = sampleE02({{"CONTRIBUINTE", "<img src=x onerror=window.invadido=1>"}});
  for (std::string& line : lines)
    if (line.starts_with("E15")) {
      std::string description = "<script>window.invadido=1</script>";
      description.resize(100, ' ');
      line.replace(75, 100, description);
    }
  return joinLines(lines);
}

TEST(Workbench, AnAuditorWorksThroughAFileInTheBrowser) {
  ASSERT_EQ(std::system("command -v chromium >/dev/null && command -v node >/dev/null"), 0)
      << "chromium and node are needed (tools/dependencies.sh installs them)";
  const std::string scripts = std::string(TAVEX_SOURCE_DIR) + "/tests/browser";
  ASSERT_TRUE(fs::exists(scripts + "/node_modules/playwright-core")) << "run tools/dependencies.sh (npm ci)";
  TempDir dir, outside;
  fs::create_directory(dir.path() / "lote");
  writeFile(dir.file("lote/tdm.txt"), tdmFullOfFindings());
  writeFile(dir.file("<img src=x onerror=window.invadido=1>.txt"), hostileTdm());
  writeFile(outside.file("enviar.txt"), joinLines(sampleMfFile()));

  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string cli = std::string(TAVEX_BINARY_DIR) + "/bin/tavex-cli", folder = dir.path().string();
  const char* argv[] = {cli.c_str(), "servir", folder.c_str(), "--sem-navegador", nullptr};
  pid_t server = 0;
  ASSERT_EQ(posix_spawn(&server, cli.c_str(), &actions, nullptr, const_cast<char**>(argv), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::FILE* printed = ::fdopen(out[0], "r");
  char first[512] = {};
  ASSERT_NE(std::fgets(first, sizeof first, printed), nullptr);
  const std::string line(first);
  const std::size_t at = line.find("http://127.0.0.1:");
  ASSERT_NE(at, std::string::npos) << line;
  const std::string address = line.substr(at, line.find_first_of("\r\n", at) - at);

  const std::string shots = std::getenv("TAVEX_SCREENSHOTS") ? std::getenv("TAVEX_SCREENSHOTS") : "";
  const std::string command = "cd '" + scripts + "' && timeout 240 node workbench.mjs '" + address + "' '" +
                              outside.file("enviar.txt") + "' '" + shots + "' 2>&1";
  std::string report;
  std::FILE* node = ::popen(command.c_str(), "r");
  ASSERT_NE(node, nullptr);
  for (char buffer[4096]; std::fgets(buffer, sizeof buffer, node) != nullptr;) report += buffer;
  EXPECT_EQ(::pclose(node), 0) << report;
  EXPECT_NE(report.find("tudo certo"), std::string::npos) << report;
  EXPECT_TRUE(fs::exists(dir.file("enviar.txt"))) << "the upload reached the folder";

  ::kill(server, SIGTERM);
  int status = -1;
  ASSERT_EQ(::waitpid(server, &status, 0), server);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "SIGTERM stops the server cleanly";
  std::fclose(printed);
}

}  // namespace
}  // namespace tavex::testing
