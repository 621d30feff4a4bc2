// Bad inputs and hostile conditions for the three conversions: a full disk (a
// file-size limit stands in for it), huge lines, long paths. None may crash, leave
// half a line or a temporary file, or report success.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

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

std::string bigTdm(int reductions, int documentsEach) {
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02()};
  std::vector<std::string> texts;  // keeps the override texts alive
  for (int z = 1; z <= reductions; ++z) {
    const std::string crz = std::to_string(z), coo = std::to_string(z * (documentsEach + 1));
    lines.push_back(sampleRecord(12, {{"CRZ", crz}, {"COO", coo}, {"DATA_MOVIMENTO", "20121001"}}));
  }
  for (int coo = 1; coo <= reductions * (documentsEach + 1); ++coo) {
    const std::string c = std::to_string(coo);
    lines.push_back(sampleRecord(15, {{"COO", c}}));
  }
  return joinLines(lines);
}

TEST(ConversionBadInput, SplitOnAFullDiskStopsLeavingNoOutputAndNoTemporaryFile) {
  TempDir dir;
  writeFile(dir.file("d.txt"), bigTdm(3, 2000));  // each output about 540,000 bytes
  DirectWorkerControl control;
  int status;
  {
    FileSizeLimit limit(300000);
    status = splitWorker(dir.file("d.txt"), control);
  }
  EXPECT_EQ(status, kSplitWriteFailed);
  EXPECT_FALSE(hasTemporaryFile(dir.path()));
  for (int z = 1; z <= 3; ++z) EXPECT_FALSE(fs::exists(splitOutputPath(dir.file("d.txt"), z))) << z;
}

TEST(ConversionBadInput, DatabaseOnAFullDiskReportsTheFailure) {
  TempDir dir;
  writeFile(dir.file("d.txt"), bigTdm(1, 6000));
  DirectWorkerControl control;
  std::tm when{};
  when.tm_year = 112;
  when.tm_mday = 1;
  MdbResult r;
  {
    FileSizeLimit limit(200000);
    r = convertToMdb(dir.file("d.txt"), dir.path().string(), when, control);
  }
  EXPECT_EQ(r.status, kMdbDatabaseFailed);
  ASSERT_FALSE(control.notices.empty());
  EXPECT_EQ(control.notices.back().title, "Erro na Criação do Banco de Dados"_cp);
}

TEST(ConversionBadInput, HugeLinesAndLongPathsInTheDatabaseExport) {
  TempDir dir;
  fs::path deep = dir.path();
  while (deep.string().size() < 1100) deep /= std::string(120, 'q');
  fs::create_directories(deep);
  const std::string input = (deep / "in.txt").string();
  writeFile(input, joinLines({sampleE01("TDM"), sampleRecord(14) + std::string(100000, 'W'), "E99" + std::string(99999, '1')}));
  DirectWorkerControl control;
  std::tm when{};
  when.tm_year = 112;
  when.tm_mday = 1;
  const MdbResult r = convertToMdb(input, dir.path().string(), when, control);
  ASSERT_EQ(r.status, kMdbDone);
  EXPECT_TRUE(fs::exists(r.path));
  // The engine cannot open a database under so long a path: its own description,
  // and the file claimed for it is gone again.
  const MdbResult deepResult = convertToMdb(input, deep.string(), when, control);
  EXPECT_EQ(deepResult.status, kMdbDatabaseFailed);
  ASSERT_EQ(control.notices.size(), 1u);
  EXPECT_EQ(control.notices[0].title, "Erro na Criação do Banco de Dados"_cp);
  EXPECT_FALSE(fs::exists(deepResult.path));
}

// Removes a folder with its contents at the `at`-th cancellation check; never cancels.
class RemoveFolderAtCheck : public DirectWorkerControl {
 public:
  RemoveFolderAtCheck(fs::path folder, int at) : folder_(std::move(folder)), at_(at) {}
  bool cancelRequested() const override {
    if (++checks_ == at_) fs::remove_all(folder_);
    return false;
  }

 private:
  fs::path folder_;
  int at_;
  mutable int checks_ = 0;
};

TEST(ConversionBadInput, OutputFolderVanishingMidRunIsNoSuccess) {
  TempDir dir;
  writeFile(dir.file("in.txt"), bigTdm(3, 50));
  fs::create_directory(dir.path() / "csv");
  RemoveFolderAtCheck csvControl(dir.path() / "csv", 40);
  EXPECT_EQ(convertToCsv(dir.file("in.txt"), dir.file("csv"), csvControl), kCsvOutputFailed);

  fs::create_directory(dir.path() / "mdb");
  RemoveFolderAtCheck mdbControl(dir.path() / "mdb", 40);
  std::tm when{};
  when.tm_year = 112;
  when.tm_mday = 1;
  EXPECT_EQ(convertToMdb(dir.file("in.txt"), dir.file("mdb"), when, mdbControl).status, kMdbDatabaseFailed);

  fs::create_directory(dir.path() / "split");
  writeFile(dir.file("split/in.txt"), bigTdm(3, 50));
  RemoveFolderAtCheck splitControl(dir.path() / "split", 40);
  EXPECT_EQ(splitWorker(dir.file("split/in.txt"), splitControl), kSplitCannotWrite);
}

TEST(ConversionBadInput, ReadOnlyOutputFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TempDir dir;
  writeFile(dir.file("in.txt"), joinLines({sampleE01("TDM"), sampleE02()}));
  fs::create_directory(dir.path() / "ro");
  writeFile(dir.file("ro/in.txt"), joinLines({sampleE01("TDM"), sampleE02()}));
  fs::permissions(dir.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  DirectWorkerControl control;
  EXPECT_EQ(convertToCsv(dir.file("in.txt"), dir.file("ro"), control), kCsvOutputFailed);
  EXPECT_EQ(splitWorker(dir.file("ro/in.txt"), control), kSplitCannotWrite);
}

TEST(ConversionBadInput, CsvOutputFolderRemovedBeforeTheRun) {
  TempDir dir;
  writeFile(dir.file("in.txt"), joinLines({sampleE01("TDM")}));
  DirectWorkerControl control;
  EXPECT_EQ(convertToCsv(dir.file("in.txt"), dir.file("sumiu"), control), kCsvOutputFailed);
  EXPECT_EQ(convertToCsv(dir.file("pasta-como-arquivo.txt"), dir.path().string(), control), kCsvInputUnreadable);
  EXPECT_EQ(convertToCsv(dir.path().string(), dir.path().string(), control), kCsvInputUnreadable);  // a folder
}

}  // namespace
}  // namespace tavex
