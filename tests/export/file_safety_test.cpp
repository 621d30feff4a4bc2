// The files the conversions read and create, under hostile conditions: reads
// that fail, pipes, links planted where an output goes, two runs at once, a
// database whose commit fails.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <thread>

#include "cotepe/text.h"
#include "export/csv_export.h"
#include "export/file_split.h"
#include "export/mdb_export.h"
#include "export_fixture.h"
#include "support/resource_limits.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using namespace testing;

std::vector<std::string> twoReductions() {
  return {sampleE01("TDM"),
          sampleE02(),
          sampleRecord(12, {{"CRZ", "1"}, {"COO", "10"}, {"DATA_MOVIMENTO", "20121001"}}),
          sampleRecord(12, {{"CRZ", "2"}, {"COO", "20"}, {"DATA_MOVIMENTO", "20121002"}}),
          sampleRecord(14, {{"COO", "5"}}),
          sampleRecord(14, {{"COO", "15"}}),
          sampleEad()};
}

std::set<std::string> fileNames(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

std::set<std::string> temporaryNames(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().starts_with("ctp_file")) names.insert(e.path().filename().string());
  return names;
}

// Holds the lock another run would hold on `path` (a file or a folder).
class OtherRunLock {
 public:
  explicit OtherRunLock(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    EXPECT_EQ(::flock(fd_, LOCK_EX | LOCK_NB), 0);
  }
  ~OtherRunLock() { ::close(fd_); }

 private:
  int fd_;
};

std::tm exportMoment() {
  std::tm when{};
  when.tm_year = 112;
  when.tm_mon = 9;
  when.tm_mday = 9;
  return when;
}

std::string refusedLink(const std::string& path) {
  return utf8ToCp1252("O arquivo " + path + " é um link simbólico. Por segurança, ele não foi gravado.");
}

// Records the temporary files present at the `at`-th cancellation check.
class LookAtTheFolder : public DirectWorkerControl {
 public:
  LookAtTheFolder(fs::path folder, int at) : folder_(std::move(folder)), at_(at) {}
  bool cancelRequested() const override {
    if (++checks_ == at_) seen = temporaryNames(folder_);
    return false;
  }
  mutable std::set<std::string> seen;

 private:
  fs::path folder_;
  int at_;
  mutable int checks_ = 0;
};

TEST(SplitTemporaryFile, HasANameOfItsOwnAndNeverFollowsAPlantedLink) {
  TempDir dir;
  writeFile(dir.file("t.txt"), joinLines(twoReductions()));
  writeFile(dir.file("victim"), "precious");
  fs::create_symlink(dir.file("victim"), dir.path() / "ctp_file.tmp");  // the old fixed name
  LookAtTheFolder control(dir.path(), 3);
  EXPECT_EQ(splitWorker(dir.file("t.txt"), control), kSplitDone);
  EXPECT_EQ(readFile(dir.file("victim")), "precious");
  ASSERT_EQ(control.seen.erase("ctp_file.tmp"), 1u);
  ASSERT_EQ(control.seen.size(), 1u);  // the split's own file beside the planted link
  EXPECT_TRUE(control.seen.begin()->ends_with(".tmp"));
  EXPECT_EQ(temporaryNames(dir.path()), (std::set<std::string>{"ctp_file.tmp"}));  // its own is gone
  EXPECT_NE(readFile(dir.file("t_0002.txt")).find(sampleE02()), std::string::npos);
}

TEST(SplitTemporaryFile, IsRemovedHoweverTheSplitEnds) {
  TempDir dir;
  DirectWorkerControl control;
  writeFile(dir.file("e22.txt"), joinLines({sampleE01("TDM"), sampleE02(), "E22"}));
  EXPECT_EQ(splitWorker(dir.file("e22.txt"), control), kSplitUnknownRecord);
  writeFile(dir.file("mf.txt"), joinLines(sampleMfFile()));
  EXPECT_EQ(splitWorker(dir.file("mf.txt"), control), kSplitRefusedMf);
  writeFile(dir.file("rz.txt"), joinLines({sampleE01("RZ "), sampleE02(), sampleEad()}));
  EXPECT_EQ(splitWorker(dir.file("rz.txt"), control), kSplitNoReduction);
  writeFile(dir.file("c.txt"), joinLines(twoReductions()));
  CancelAtCheck cancel(4);
  EXPECT_EQ(splitWorker(dir.file("c.txt"), cancel), kConversionCancelled);
  EXPECT_TRUE(temporaryNames(dir.path()).empty());
}

TEST(OutputLinks, CsvRefusesAPlantedLinkAndKeepsItsTarget) {
  TempDir dir;
  writeFile(dir.file("in.txt"), joinLines(twoReductions()));
  fs::create_directory(dir.path() / "out");
  writeFile(dir.file("victim"), "precious");
  fs::create_symlink(dir.file("victim"), dir.path() / "out" / "E02.csv");
  DirectWorkerControl control;
  EXPECT_EQ(convertToCsv(dir.file("in.txt"), dir.file("out"), control), kCsvOutputRefused);
  EXPECT_EQ(readFile(dir.file("victim")), "precious");
  ASSERT_EQ(control.notices.size(), 1u);
  EXPECT_EQ(control.notices[0].text, refusedLink(dir.file("out/E02.csv")));

  // A dangling link is refused as well: its target is never created.
  fs::create_directory(dir.path() / "out2");
  fs::create_symlink(dir.file("made"), dir.path() / "out2" / "E01.csv");
  EXPECT_EQ(convertToCsv(dir.file("in.txt"), dir.file("out2"), control), kCsvOutputRefused);
  EXPECT_FALSE(fs::exists(dir.file("made")));
}

TEST(OutputLinks, SplitAndDatabaseRefuseAPlantedLinkAndKeepItsTarget) {
  TempDir dir;
  writeFile(dir.file("t.txt"), joinLines(twoReductions()));
  writeFile(dir.file("victim"), "precious");
  fs::create_symlink(dir.file("victim"), dir.path() / "t_0001.txt");
  DirectWorkerControl control;
  writeFile(dir.file("t_0003.txt"), "de antes");  // a file the run did not create stays
  EXPECT_EQ(splitWorker(dir.file("t.txt"), control), kSplitOutputRefused);
  EXPECT_EQ(readFile(dir.file("victim")), "precious");
  ASSERT_EQ(control.notices.size(), 1u);
  EXPECT_EQ(control.notices[0].text, refusedLink(dir.file("t_0001.txt")));
  EXPECT_FALSE(fs::exists(dir.file("t_0002.txt"))) << "nothing written beside a refused output";
  EXPECT_EQ(readFile(dir.file("t_0003.txt")), "de antes");
  fs::remove(dir.file("t_0003.txt"));

  const std::string name = cp1252ToUtf8(mdbFileName(kSampleSerial, exportMoment()));
  fs::create_symlink(dir.file("victim"), dir.path() / name);
  DirectWorkerControl mdb;
  EXPECT_EQ(convertToMdb(dir.file("t.txt"), dir.path().string(), exportMoment(), mdb).status, kMdbDatabaseFailed);
  EXPECT_EQ(readFile(dir.file("victim")), "precious");
  ASSERT_EQ(mdb.notices.size(), 1u);
  EXPECT_EQ(mdb.notices[0].text, refusedLink(dir.file(name)));
}

// Replaces `output` by a link to `target` once it exists; never cancels.
class PlantLinkOnceWritten : public DirectWorkerControl {
 public:
  PlantLinkOnceWritten(fs::path output, fs::path target) : output_(std::move(output)), target_(std::move(target)) {}
  bool cancelRequested() const override {
    if (!planted_ && fs::exists(output_)) {
      fs::remove(output_);
      fs::create_symlink(target_, output_);
      planted_ = true;
    }
    return false;
  }

 private:
  fs::path output_, target_;
  mutable bool planted_ = false;
};

TEST(OutputLinks, SplitRefusesALinkPlantedBetweenTwoWritesOfAnOutput) {
  // An input larger than what the split holds in memory: its output is written,
  // then appended to; the link planted in between is refused, its target kept.
  TempDir dir;
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02(),
                                    sampleRecord(12, {{"CRZ", "1"}, {"COO", "100"}, {"DATA_MOVIMENTO", "20121001"}})};
  for (int coo = 1; coo <= 20; ++coo) {
    const std::string c = std::to_string(coo);
    lines.push_back(sampleRecord(15, {{"COO", c}}) + std::string(1u << 20, 'L'));
  }
  writeFile(dir.file("t.txt"), joinLines(lines));
  writeFile(dir.file("victim"), "precious");
  PlantLinkOnceWritten control(dir.path() / "t_0001.txt", dir.path() / "victim");
  EXPECT_EQ(splitWorker(dir.file("t.txt"), control), kSplitOutputRefused);
  EXPECT_EQ(readFile(dir.file("victim")), "precious");
  ASSERT_EQ(control.notices.size(), 1u);
  EXPECT_EQ(control.notices[0].text, refusedLink(dir.file("t_0001.txt")));
}

// Outputs of one reduction too large for the disk: the split names the cause,
// not the folder's permissions, and leaves none of the outputs it created.
TEST(SplitWriteFailures, AFullDiskIsNamedAndTheSplitsOutputsAreRemoved) {
  TempDir dir;
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02(),
                                    sampleRecord(12, {{"CRZ", "1"}, {"COO", "10"}, {"DATA_MOVIMENTO", "20121001"}}),
                                    sampleRecord(12, {{"CRZ", "2"}, {"COO", "5000"}, {"DATA_MOVIMENTO", "20121002"}})};
  for (int coo = 11; coo < 4000; ++coo) lines.push_back(sampleRecord(14, {{"COO", std::to_string(coo)}}));
  writeFile(dir.file("t.txt"), joinLines(lines));
  const std::string input = readFile(dir.file("t.txt"));
  ASSERT_GT(input.size(), 300000u);
  DirectWorkerControl control;
  int status;
  std::string reason;
  {
    const FileSizeLimit limit(200000);
    status = splitWorker(dir.file("t.txt"), control, &reason);
  }
  EXPECT_EQ(status, kSplitWriteFailed);
  EXPECT_EQ(reason, "Motivo: o arquivo passou do tamanho máximo permitido."_cp);
  EXPECT_EQ(fileNames(dir.path()), std::set<std::string>{"t.txt"}) << "no output, empty or cut, and no temporary";
  EXPECT_EQ(readFile(dir.file("t.txt")), input);
  EXPECT_EQ(splitWorker(dir.file("t.txt"), control), kSplitDone) << "the retry runs";
  EXPECT_TRUE(fs::exists(dir.file("t_0002.txt")));
}

TEST(OutputLinks, LinkedFoldersOnTheWayStillWork) {
  TempDir dir;
  fs::create_directory(dir.path() / "real");
  fs::create_directory_symlink(dir.path() / "real", dir.path() / "link");
  writeFile(dir.file("real/t.txt"), joinLines(twoReductions()));
  DirectWorkerControl control;
  EXPECT_EQ(convertToCsv(dir.file("link/t.txt"), dir.file("link"), control), kCsvDone);
  EXPECT_EQ(splitWorker(dir.file("link/t.txt"), control), kSplitDone);
  EXPECT_EQ(convertToMdb(dir.file("link/t.txt"), dir.file("link"), exportMoment(), control).status, kMdbDone);
  EXPECT_TRUE(fs::exists(dir.path() / "real" / "E14.csv"));
  EXPECT_TRUE(fs::exists(dir.path() / "real" / "t_0002.txt"));
  EXPECT_TRUE(control.notices.empty());
}

TEST(ConcurrentRuns, AFolderInUseStopsTheCsvExportAndTheSplit) {
  KeepCurrentDirectory keep;  // the export commands make their folder current
  TempDir dir;
  writeFile(dir.file("t.txt"), joinLines(twoReductions()));
  DirectWorkerControl control;
  {
    OtherRunLock other(dir.path().string());
    EXPECT_EQ(convertToCsv(dir.file("t.txt"), dir.path().string(), control), kCsvFolderBusy);
    EXPECT_EQ(splitWorker(dir.file("t.txt"), control), kSplitFolderBusy);

    ScriptedUserInterface ui;
    ui.progressHandler = runJobToEnd();
    SessionFixture s;
    ui.answer(dir.file("t.txt"));
    ui.answer(dir.path().string());
    EXPECT_EQ(exportCsv(ui, s.session), kCsvFolderBusy);
    ui.answer(dir.file("t.txt"));
    EXPECT_EQ(splitCotepeFile(ui, s.session), kSplitFolderBusy);
    const ShownMessage inUse{utf8ToCp1252("A pasta " + dir.path().string() + " está em uso por outro processo."),
                             "Erro!", Icon::Error};
    EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{inUse, inUse}));
  }
  EXPECT_EQ(fileNames(dir.path()), (std::set<std::string>{"t.txt"}));  // nothing written
  EXPECT_EQ(splitWorker(dir.file("t.txt"), control), kSplitDone);            // free again
}

TEST(ConcurrentRuns, TwoCsvExportsIntoOneFolderNeverDuplicateLines) {
  TempDir dir;
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02()};
  for (int coo = 1; coo <= 20000; ++coo) lines.push_back(sampleRecord(14, {{"COO", std::to_string(coo)}}));
  writeFile(dir.file("in.txt"), joinLines(lines));
  fs::create_directory(dir.path() / "out");
  int first = -1, second = -1;
  DirectWorkerControl a, b;
  std::thread one([&] { first = convertToCsv(dir.file("in.txt"), dir.file("out"), a); });
  std::thread two([&] { second = convertToCsv(dir.file("in.txt"), dir.file("out"), b); });
  one.join();
  two.join();
  const std::set<int> statuses{first, second};
  EXPECT_TRUE(statuses.count(kCsvDone) == 1 && (statuses.count(kCsvFolderBusy) + statuses.count(kCsvFolderHasCotepe)) == 1)
      << first << " " << second;
  const std::string e14 = readFile(dir.file("out/E14.csv"));
  EXPECT_EQ(std::count(e14.begin(), e14.end(), '\n'), 1 + 20000);
  // A folder that got its E01.csv after the command looked is refused by the run itself.
  EXPECT_EQ(convertToCsv(dir.file("in.txt"), dir.file("out"), a), kCsvFolderHasCotepe);
  EXPECT_EQ(readFile(dir.file("out/E14.csv")), e14);
}

TEST(ReadFailures, EveryConversionStopsOnAFailedRead) {
  KeepCurrentDirectory keep;  // the export commands make their folder current
  TempDir dir;
  fs::create_symlink("/proc/self/mem", dir.path() / "mem.txt");  // opens; every read fails
  DirectWorkerControl control;
  EXPECT_EQ(convertToCsv(dir.file("mem.txt"), dir.path().string(), control), kCsvInputUnreadable);
  EXPECT_EQ(convertToMdb(dir.file("mem.txt"), dir.path().string(), exportMoment(), control).status,
            kMdbInputUnreadable);
  EXPECT_EQ(splitWorker(dir.file("mem.txt"), control), kSplitReadFailed);
  EXPECT_EQ(fileNames(dir.path()), (std::set<std::string>{"mem.txt"}));  // no output, no database

  ScriptedUserInterface ui;
  ui.progressHandler = runJobToEnd();
  SessionFixture s;
  ui.answer(dir.file("mem.txt"));
  splitCotepeFile(ui, s.session);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Problemas ao abrir o arquivo COTEPE.", "Erro!", Icon::Error}}));
}

TEST(ReadFailures, APipeIsRefusedWithoutWaitingForAWriter) {
  KeepCurrentDirectory keep;  // the export commands make their folder current
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo.txt").c_str(), 0600), 0);
  DirectWorkerControl control;
  EXPECT_EQ(convertToCsv(dir.file("fifo.txt"), dir.path().string(), control), kCsvInputNotRegular);
  EXPECT_EQ(convertToMdb(dir.file("fifo.txt"), dir.path().string(), exportMoment(), control).status,
            kMdbInputNotRegular);
  EXPECT_EQ(splitWorker(dir.file("fifo.txt"), control), kSplitInputNotRegular);

  ScriptedUserInterface ui;
  ui.progressHandler = runJobToEnd();
  SessionFixture s;
  ui.answer(dir.file("fifo.txt"));
  ui.answer(dir.path().string());
  exportCsv(ui, s.session);
  ui.answer(dir.file("fifo.txt"));
  ui.answer(dir.path().string());
  exportMdb(ui, s.session);
  ui.answer(dir.file("fifo.txt"));
  splitCotepeFile(ui, s.session);
  const ShownMessage refused{utf8ToCp1252("O arquivo selecionado não é um arquivo regular e não pode ser lido."), "Erro!",
                             Icon::Error};
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{refused, refused, refused}));
}

TEST(DatabaseCommit, AFailedCommitLeavesNoEmptyDatabase) {
  TempDir dir;
  writeFile(dir.file("t.txt"), joinLines(twoReductions()));
  fs::create_directory(dir.path() / "mdb");
  DirectWorkerControl control;
  MdbResult result;
  {
    FileSizeLimit limit(0);  // the name can be claimed, no page can be written
    result = convertToMdb(dir.file("t.txt"), dir.file("mdb"), exportMoment(), control);
  }
  EXPECT_EQ(result.status, kMdbDatabaseFailed);
  EXPECT_TRUE(fs::is_empty(dir.path() / "mdb"));
  ASSERT_FALSE(control.notices.empty());
  EXPECT_EQ(control.notices.back().title, "Erro na Criação do Banco de Dados"_cp);
  EXPECT_EQ(control.notices.back().icon, Icon::Error);
}

}  // namespace
}  // namespace tavex
