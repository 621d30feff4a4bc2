// tavex-cli as a process under the limits a shell can set, and stopped by the
// signals a session or a service manager sends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cotepe/text.h"
#include "generator.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/sample_files.h"

extern char** environ;

namespace tavex::testing {
namespace {

// Past the file-size limit the log cannot be written whole: the run says so and
// exits 2, instead of being killed by the signal such a write raises.
TEST(CliProcess, AFileSizeLimitOnTheLogIsAFailureNotACrash) {
  TempDir dir;
  auto lines = sampleTdmFile();
  for (std::string& l : lines) l[60] = 'X';  // many findings: a long log
  writeFile(dir.file("ecf.txt"), joinLines(lines));
  EXPECT_EQ(shellStatus("ulimit -f 1; '" + cliBinary() + "' validar '" + dir.file("ecf.txt") + "' >/dev/null 2>&1"), 2);
}

// Standard output is the product of these commands: when it cannot be written (a
// full disk) the command says so and exits 2, whatever it found in the file.
TEST(CliProcess, StandardOutputThatCannotBeWrittenIsAFailure) {
  TempDir dir;
  writeFile(dir.file("a.txt"), joinLines(sampleTdmFile()));
  writeFile(dir.file("b.txt"), joinLines(sampleTdmFile()));
  const std::string a = "'" + dir.file("a.txt") + "'", b = "'" + dir.file("b.txt") + "'";
  for (const std::string& args : {"conciliar " + a, "conciliar " + a + " --csv", "conciliar " + a + " --json",
                                  "validar " + a, "validar " + a + " --json", "validar " + a + " " + b,
                                  "validar " + a + " " + b + " --json", std::string("--version")}) {
    const std::string command = "'" + cliBinary() + "' " + args;
    EXPECT_EQ(shellStatus(command + " >/dev/null 2>/dev/null"), 0) << args;  // the same run, written
    const std::string err = dir.file("err.txt");
    EXPECT_EQ(shellStatus(command + " >/dev/full 2>'" + err + "'"), 2) << args;
    EXPECT_NE(readFile(err).find("não foi possível escrever na saída padrão"), std::string::npos) << args << readFile(err);
  }
}

// Big files, each taking a while to validate.
std::vector<std::string> bigFiles(const TempDir& dir, int count) {
  GeneratorOptions options;
  options.targetBytes = 1500000;
  std::ostringstream generated;
  generateCotepe(generated, options);
  std::vector<std::string> files;
  for (int i = 0; i < count; ++i) {
    files.push_back(dir.file(cformat("f%02d.txt", i)));
    writeFile(files.back(), generated.str());
  }
  return files;
}

// Starts "tavex-cli COMMAND... FILES" with its output thrown away and answers once
// it runs with a log half written.
pid_t startRun(const std::vector<std::string>& command, const std::vector<std::string>& files) {
  for (const std::string& f : files) std::filesystem::remove(f + ".log");
  std::vector<std::string> args = {cliBinary()};
  args.insert(args.end(), command.begin(), command.end());
  args.insert(args.end(), files.begin(), files.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return 0;
  // Until some log is in the making: its temporary file beside it has its header.
  const auto halfWritten = [&] {
    for (const std::string& f : files) {
      const std::filesystem::path log(f + ".log");
      std::error_code ec;
      if (std::filesystem::file_size(log.parent_path() / ("." + log.filename().string() + ".tavex-0.tmp"), ec) > 0 &&
          !ec)
        return true;
    }
    return false;
  };
  for (int i = 0; i < 20000 && !halfWritten(); ++i) std::this_thread::sleep_for(std::chrono::microseconds(200));
  return pid;
}

// "tavex-cli validar --jobs 2 FILES", as startRun.
pid_t startBatch(const std::vector<std::string>& files) { return startRun({"validar", "--jobs", "2"}, files); }

// Every log of the batch is whole (ends with the summary) or absent (or, when
// `emptyAllowed`, empty); answers how many are not whole.
int expectLogsWholeOrAbsent(const std::vector<std::string>& files, bool emptyAllowed = false) {
  int absent = 0;
  for (const std::string& f : files) {
    const std::string log = std::filesystem::exists(f + ".log") ? readFile(f + ".log") : std::string();
    if (log.empty() && (emptyAllowed || !std::filesystem::exists(f + ".log"))) {
      ++absent;
      continue;
    }
    EXPECT_TRUE(log.ends_with("Fim da validação do arquivo.\r\n\r\n\r\n\r\n"_cp)) << f << ": " << log.size() << " bytes";
  }
  return absent;
}

// SIGTERM and SIGHUP stop a batch as Ctrl-C does: the files in flight finish, no
// other starts, the exit status is 2; a log is whole or was never begun.
TEST(CliProcess, SigtermOrSighupInABatchLeavesEveryLogWholeOrAbsent) {
  TempDir dir;
  const std::vector<std::string> files = bigFiles(dir, 32);
  for (const int signal : {SIGTERM, SIGHUP}) {
    const pid_t pid = startBatch(files);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, signal), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_GE(expectLogsWholeOrAbsent(files), 1) << "the batch was stopped";
  }
}

// A second signal ends the program at once; the logs it was writing are removed,
// not left cut short. (A log created in the instant of the end may stay empty.)
TEST(CliProcess, ASecondSignalEndsTheBatchAtOnceWithoutCutLogs) {
  TempDir dir;
  const std::vector<std::string> files = bigFiles(dir, 32);
  const pid_t pid = startBatch(files);
  ASSERT_GT(pid, 0);
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  ASSERT_EQ(::kill(pid, SIGINT), 0);  // another signal: both are delivered
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(WTERMSIG(status) == SIGTERM || WTERMSIG(status) == SIGINT) << WTERMSIG(status);
  EXPECT_GE(expectLogsWholeOrAbsent(files, true), 1);
}

// One file, or the report's files: a signal lets the logs being written be
// finished; the report is not written from an interrupted run.
TEST(CliProcess, SigtermDuringOneFileOrAReportLeavesItsLogWhole) {
  TempDir dir;
  const std::vector<std::string> files = bigFiles(dir, 4);
  const std::vector<std::vector<std::string>> commands = {
      {"validar"}, {"validar", "--json"}, {"conciliar", "--tolerancia", "0,05"}};
  for (const auto& command : commands) {
    const pid_t pid = startRun(command, {files[0]});
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << command[0] << ": ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(expectLogsWholeOrAbsent({files[0]}), 0) << command[0];
  }
  const std::string page = dir.file("relatorio.html");
  const pid_t pid = startRun({"relatorio", "--saida", page}, files);
  ASSERT_GT(pid, 0);
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 2);
  expectLogsWholeOrAbsent(files);
  EXPECT_FALSE(std::filesystem::exists(page));
}

}  // namespace
}  // namespace tavex::testing
