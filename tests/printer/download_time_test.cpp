#include "printer/download_time.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/files.h"
#include "support/scripted_ui.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;

// Runs the test body with the current directory in a fresh folder.
class InTempCwd {
 public:
  InTempCwd() : previous_(fs::current_path()) { fs::current_path(dir_.path()); }
  ~InTempCwd() { fs::current_path(previous_); }
  const testing::TempDir& dir() const { return dir_; }

 private:
  testing::TempDir dir_;
  fs::path previous_;
};

TEST(DownloadTime, FormatsHoursMinutesSecondsWithoutWrappingHours) {
  EXPECT_EQ(downloadTimeText(3725000), "Tempo de download: 01:02:05 (hh:mm:ss)");
  EXPECT_EQ(downloadTimeText(999), "Tempo de download: 00:00:00 (hh:mm:ss)");
  EXPECT_EQ(downloadTimeText(100LL * 3600000 + 59999), "Tempo de download: 100:00:59 (hh:mm:ss)");
}

TEST(DownloadTime, WritesTheWorkingFileAndShowsTheSuccessBox) {
  InTempCwd cwd;
  fs::create_directory("Arquivos de Trabalho");
  testing::writeFile("Arquivos de Trabalho/tempo_download.txt", "conteúdo antigo, mais longo que o novo texto");
  testing::ScriptedUserInterface ui;
  recordDownloadTime(ui, 3725000);
  EXPECT_EQ(testing::readFile(cwd.dir().file("Arquivos de Trabalho/tempo_download.txt")),
            "Tempo de download: 01:02:05 (hh:mm:ss)");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0],
            (testing::ShownMessage{"Processo finalizado com sucesso!\n\r\n\rTempo de download: 01:02:05 (hh:mm:ss)",
                                   "Tavex!", Icon::Information}));
}

TEST(DownloadTime, MissingWorkingFolderSkipsTheFileButStillReports) {
  InTempCwd cwd;
  testing::ScriptedUserInterface ui;
  recordDownloadTime(ui, 0);
  EXPECT_FALSE(fs::exists(cwd.dir().path() / "Arquivos de Trabalho"));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].title, "Tavex!");
}

// A link planted under the file's name is not followed: its target keeps its bytes.
TEST(DownloadTime, APlantedLinkIsNotWrittenThrough) {
  InTempCwd cwd;
  fs::create_directory("Arquivos de Trabalho");
  testing::writeFile("alvo.txt", "intocado");
  fs::create_symlink(cwd.dir().file("alvo.txt"), "Arquivos de Trabalho/tempo_download.txt");
  testing::ScriptedUserInterface ui;
  recordDownloadTime(ui, 1000);
  EXPECT_EQ(testing::readFile(cwd.dir().file("alvo.txt")), "intocado");
  ASSERT_EQ(ui.messages.size(), 1u);  // the download still ended well
}

}  // namespace
}  // namespace tavex
