#include "cotepe/file_discovery.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/files.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::writeFile;

const std::string kCotepe = "E01BE0910\r\nE02...\r\n";

std::vector<std::string> names(const std::vector<std::string>& paths, const TempDir& dir) {
  std::vector<std::string> out;
  for (const std::string& p : paths) out.push_back(fs::path(p).lexically_relative(dir.path()).string());
  return out;
}

TEST(FileDiscovery, RecognisesFilesByContentAndSearchesFoldersRecursivelyInPathOrder) {
  TempDir dir;
  fs::create_directories(dir.path() / "pasta/sub/fundo");
  writeFile(dir.file("pasta/b.txt"), kCotepe);
  writeFile(dir.file("pasta/a.dat"), kCotepe);               // any extension
  writeFile(dir.file("pasta/notas.txt"), "E02 not a start");  // not COTEPE: silently left out of a folder
  writeFile(dir.file("pasta/vazio.txt"), "");
  writeFile(dir.file("pasta/sub/fundo/z"), kCotepe);
  writeFile(dir.file("pasta/sub/c.TXT"), "E01");
  writeFile(dir.file("solto.txt"), kCotepe);

  const DiscoveredFiles found = discoverCotepeFiles({dir.file("solto.txt"), dir.file("pasta")});
  EXPECT_EQ(names(found.files, dir),
            (std::vector<std::string>{"solto.txt", "pasta/a.dat", "pasta/b.txt", "pasta/sub/c.TXT",
                                      "pasta/sub/fundo/z"}));
  EXPECT_TRUE(found.problems.empty());
}

TEST(FileDiscovery, ListsTheSameFileOnceWhereItFirstAppears) {
  TempDir dir;
  fs::create_directories(dir.path() / "pasta");
  writeFile(dir.file("pasta/a.txt"), kCotepe);
  writeFile(dir.file("pasta/b.txt"), kCotepe);
  fs::create_hard_link(dir.file("pasta/a.txt"), dir.file("ligado.txt"));
  const std::string roundabout = (dir.path() / "pasta/../pasta/b.txt").string();

  const DiscoveredFiles found =
      discoverCotepeFiles({dir.file("pasta/b.txt"), dir.file("pasta"), roundabout, dir.file("ligado.txt"),
                           dir.file("pasta/b.txt")});
  EXPECT_EQ(names(found.files, dir), (std::vector<std::string>{"pasta/b.txt", "pasta/a.txt"}));
  EXPECT_TRUE(found.problems.empty());
}

TEST(FileDiscovery, ReportsMissingAndNonCotepeArgumentsAndGoesOn) {
  TempDir dir;
  writeFile(dir.file("planilha.csv"), "a;b;c\n");
  writeFile(dir.file("ok.txt"), kCotepe);
  const DiscoveredFiles found =
      discoverCotepeFiles({dir.file("sumiu.txt"), dir.file("planilha.csv"), dir.file("ok.txt")});
  EXPECT_EQ(names(found.files, dir), std::vector<std::string>{"ok.txt"});
  ASSERT_EQ(found.problems.size(), 2u);
  EXPECT_EQ(found.problems[0].reason, DiscoveryProblem::Reason::Missing);
  EXPECT_EQ(found.problems[1].reason, DiscoveryProblem::Reason::NotCotepe);
  EXPECT_EQ(describeProblem(found.problems[0]), dir.file("sumiu.txt") + ": n\xE3o encontrado");
}

TEST(FileDiscovery, AnEmptyOrShortFileIsNotCotepe) {
  TempDir dir;
  writeFile(dir.file("vazio"), "");
  writeFile(dir.file("curto"), "E0");
  EXPECT_FALSE(looksLikeCotepeFile(dir.file("vazio")));
  EXPECT_FALSE(looksLikeCotepeFile(dir.file("curto")));
  EXPECT_FALSE(looksLikeCotepeFile(dir.path().string()));
  writeFile(dir.file("curto"), "E01");
  EXPECT_TRUE(looksLikeCotepeFile(dir.file("curto")));
}

}  // namespace
}  // namespace tavex
