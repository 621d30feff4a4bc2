// The files tavex-cli writes on request (--resumo, --saida): never one of the
// files being audited nor a log of the same run, never through a planted link or
// into a pipe, whole or not at all.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "cli/commands.h"
#include "cotepe/text.h"
#include "support/cli_capture.h"
#include "support/files.h"
#include "support/resource_limits.h"
#include "support/sample_files.h"

namespace tavex::cli {
namespace {

namespace fs = std::filesystem;
using tavex::testing::CliOutcome;
using tavex::testing::TempDir;

CliOutcome validar(const Args& args) { return tavex::testing::runCaptured(runValidar, args); }
CliOutcome relatorio(const Args& args) { return tavex::testing::runCaptured(runRelatorio, args); }

std::string cleanTdm() { return testing::joinLines(testing::sampleTdmFile()); }

TEST(CliOutputs, AnOutputThatIsAnInputOrALogOfTheRunIsRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  const std::string a = dir.file("a.txt"), log = a + ".log";
  testing::writeFile(a, cleanTdm());
  fs::create_hard_link(a, dir.file("outro_nome.txt"));
  const auto refused = [&](int (*command)(const Args&), const Args& args) {
    const CliOutcome o = tavex::testing::runCaptured(command, args);
    EXPECT_EQ(o.status, 2) << args.back();
    EXPECT_NE(o.err.find("são o mesmo arquivo"), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(testing::readFile(a), cleanTdm()) << args.back();
  };
  // Before any run: the input by its name, by another name, found in a folder, and
  // the log the run is about to write.
  for (const std::string& output : {a, dir.file("outro_nome.txt"), dir.path().string() + "/./a.txt", log}) {
    refused(runValidar, {a, "--resumo", output});
    refused(runRelatorio, {a, "--saida", output});
    EXPECT_FALSE(fs::exists(log)) << output;
  }
  refused(runValidar, {dir.path().string(), "--resumo", a});
  // The log a previous run left, which this run writes again.
  ASSERT_EQ(validar({a}).status, 0);
  const std::string written = testing::readFile(log);
  refused(runValidar, {a, "--resumo", log});
  refused(runRelatorio, {a, "--saida", log});
  EXPECT_EQ(testing::readFile(log), written);
  // Any other name is written.
  EXPECT_EQ(validar({a, "--resumo", dir.file("resumo.csv")}).status, 0);
  EXPECT_EQ(relatorio({a, "--saida", dir.file("relatorio.html")}).status, 0);
}

TEST(CliOutputs, TheSummaryIsNeverWrittenThroughALinkNorIntoAPipe) {
  TempDir dir;
  const std::string a = dir.file("a.txt");
  testing::writeFile(a, cleanTdm());
  testing::writeFile(dir.file("alvo.txt"), "alvo");
  fs::create_symlink(dir.file("alvo.txt"), dir.file("resumo.csv"));
  CliOutcome o = validar({a, "--resumo", dir.file("resumo.csv")});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("link simbólico"), std::string::npos) << o.err;
  EXPECT_EQ(testing::readFile(dir.file("alvo.txt")), "alvo");
  EXPECT_TRUE(fs::is_symlink(dir.file("resumo.csv")));

  const std::string fifo = dir.file("resumo.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::future<CliOutcome> pending = std::async(std::launch::async, [&] { return validar({a, "--resumo", fifo}); });
  if (pending.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    ADD_FAILURE() << "blocked on the pipe";
    ::close(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK));  // a reader lets the blocked open go on
  }
  o = pending.get();
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("não é um arquivo regular"), std::string::npos) << o.err;
}

// A summary that cannot be written whole (a full disk) leaves the previous one as it
// was and nothing else beside it.
TEST(CliOutputs, ASummaryThatCannotBeWrittenWholeLeavesThePreviousOne) {
  TempDir dir;
  Args args;
  for (int i = 0; i < 40; ++i) {
    args.push_back(dir.file(cformat("arquivo_com_nome_longo_%02d.txt", i)));
    testing::writeFile(args.back(), cleanTdm());
  }
  const std::string summary = dir.file("resumo.csv");
  args.insert(args.end(), {"--resumo", summary});
  ASSERT_EQ(validar(args).status, 0);
  const auto summarySize = fs::file_size(summary);
  const auto logSize = fs::file_size(args[0] + ".log");
  ASSERT_LT(logSize * 2, summarySize);
  testing::writeFile(summary, "anterior");
  CliOutcome o;
  {
    const testing::FileSizeLimit limit(static_cast<rlim_t>((logSize + summarySize) / 2));
    o = validar(args);
  }
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("resumo.csv"), std::string::npos) << o.err;
  EXPECT_EQ(testing::readFile(summary), "anterior");
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
}

}  // namespace
}  // namespace tavex::cli
