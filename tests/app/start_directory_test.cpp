#include "app/start_directory.h"

#include <gtest/gtest.h>

#include "support/files.h"

namespace fs = std::filesystem;

namespace tavex::app {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

// What a package installs: an examples tree with a catalogue, a library and a manual.
struct FakeInstall {
  TempDir root;
  InstalledData data;
  FakeInstall() {
    const fs::path share = root.path() / "share";
    fs::create_directories(share / "DATAREGIS");
    fs::create_directories(share / "SHouse");
    writeFile((share / "DATAREGIS" / "DATAREGIS.xml").string(), "<fabricante/>");
    writeFile((share / "SHouse" / "TAVEXSOFT.xml").string(), "<chave/>");
    writeFile((share / "tdm_valido.txt").string(), "E01");
    writeFile((root.path() / "libecf_simulado.so").string(), "ELF");
    writeFile((root.path() / "Manual_Tavex.pdf").string(), "PDF");
    data.examples = share;
    data.links = {{"DATAREGIS/libecf_simulado.so", root.path() / "libecf_simulado.so"},
                  {"Manual_Tavex.pdf", root.path() / "Manual_Tavex.pdf"}};
  }
};

TEST(StartDirectory, BuildTreeBinaryStartsInTheCurrentFolderAndTouchesNothingElse) {
  FakeInstall install;
  TempDir current, home;
  const StartChoice choice = chooseStartDirectory(current.path(), false, home.path() / "tavex", install.data);
  EXPECT_EQ(choice.directory, current.path());
  EXPECT_FALSE(fs::exists(home.path() / "tavex"));
}

TEST(StartDirectory, InstalledBinaryStaysInAFolderWithACatalogueOrSoftwareHouses) {
  FakeInstall install;
  TempDir withCatalogue, withHouses, home;
  fs::create_directories(withCatalogue.path() / "ACME");
  writeFile((withCatalogue.path() / "ACME" / "ACME.xml").string(), "<fabricante/>");
  fs::create_directories(withHouses.path() / "SHouse");
  for (const TempDir* current : {&withCatalogue, &withHouses})
    EXPECT_EQ(chooseStartDirectory(current->path(), true, home.path() / "tavex", install.data).directory,
              current->path());
  EXPECT_FALSE(fs::exists(home.path() / "tavex"));
}

TEST(StartDirectory, AFolderWithoutItsOwnXmlIsNoCatalogue) {
  TempDir dir;
  fs::create_directories(dir.path() / "ACME");
  writeFile((dir.path() / "ACME" / "OUTRO.xml").string(), "<fabricante/>");
  writeFile((dir.path() / "ACME.xml").string(), "<fabricante/>");
  EXPECT_FALSE(holdsStartData(dir.path()));
}

TEST(StartDirectory, InstalledBinaryElsewhereFillsTheUserFolderOnFirstStart) {
  FakeInstall install;
  TempDir current, home;
  const fs::path user = home.path() / ".local" / "share" / "tavex";
  const StartChoice choice = chooseStartDirectory(current.path(), true, user, install.data);
  EXPECT_EQ(choice.directory, user);
  EXPECT_TRUE(choice.problem.empty());
  EXPECT_EQ(readFile((user / "DATAREGIS" / "DATAREGIS.xml").string()), "<fabricante/>");
  EXPECT_EQ(readFile((user / "SHouse" / "TAVEXSOFT.xml").string()), "<chave/>");
  EXPECT_EQ(readFile((user / "tdm_valido.txt").string()), "E01");
  // The library and the manual are links to the installed ones, so an upgrade reaches them.
  EXPECT_TRUE(fs::is_symlink(user / "DATAREGIS" / "libecf_simulado.so"));
  EXPECT_EQ(readFile((user / "DATAREGIS" / "libecf_simulado.so").string()), "ELF");
  EXPECT_EQ(fs::read_symlink(user / "Manual_Tavex.pdf"), install.root.path() / "Manual_Tavex.pdf");
  EXPECT_TRUE(holdsStartData(user));
  EXPECT_TRUE(fs::is_empty(current.path()));
}

TEST(StartDirectory, LaterStartsPutBackWhatIsMissingAndKeepWhatTheUserChanged) {
  FakeInstall install;
  TempDir current, home;
  const fs::path user = home.path() / "tavex";
  ASSERT_EQ(chooseStartDirectory(current.path(), true, user, install.data).directory, user);
  writeFile((user / "tdm_valido.txt").string(), "editado");
  writeFile((user / "meu.txt").string(), "meu");
  fs::remove(user / "SHouse" / "TAVEXSOFT.xml");
  fs::remove(user / "Manual_Tavex.pdf");
  fs::create_symlink("/em/lugar/nenhum", user / "DATAREGIS" / "libecf_simulado.so.tmp");
  fs::rename(user / "DATAREGIS" / "libecf_simulado.so.tmp", user / "DATAREGIS" / "libecf_simulado.so");

  // The user's folder holds a catalogue now, but started from elsewhere it is filled again.
  ASSERT_EQ(chooseStartDirectory(current.path(), true, user, install.data).directory, user);
  EXPECT_EQ(readFile((user / "tdm_valido.txt").string()), "editado");
  EXPECT_EQ(readFile((user / "meu.txt").string()), "meu");
  EXPECT_EQ(readFile((user / "SHouse" / "TAVEXSOFT.xml").string()), "<chave/>");
  EXPECT_TRUE(fs::is_symlink(user / "Manual_Tavex.pdf"));
  EXPECT_EQ(fs::read_symlink(user / "DATAREGIS" / "libecf_simulado.so"), "/em/lugar/nenhum");  // the user's link stays
}

TEST(StartDirectory, AUserFolderThatCannotBeMadeLeavesTheWindowInTheCurrentFolder) {
  FakeInstall install;
  TempDir current, home;
  writeFile((home.path() / "tavex").string(), "um arquivo no caminho");
  const StartChoice choice = chooseStartDirectory(current.path(), true, home.path() / "tavex", install.data);
  EXPECT_EQ(choice.directory, current.path());
  EXPECT_NE(choice.problem.find((home.path() / "tavex").string()), std::string::npos);

  const StartChoice nowhere = chooseStartDirectory(current.path(), true, {}, install.data);
  EXPECT_EQ(nowhere.directory, current.path());
  EXPECT_FALSE(nowhere.problem.empty());
}

TEST(StartDirectory, UserDataFolderFollowsXdgDataHomeThenHome) {
  EXPECT_EQ(userDataDirectory("/dados", "/home/ana"), fs::path("/dados/tavex"));
  EXPECT_EQ(userDataDirectory("relativo", "/home/ana"), fs::path("/home/ana/.local/share/tavex"));
  EXPECT_EQ(userDataDirectory(nullptr, "/home/ana"), fs::path("/home/ana/.local/share/tavex"));
  EXPECT_EQ(userDataDirectory("", ""), fs::path());
  EXPECT_EQ(userDataDirectory(nullptr, nullptr), fs::path());
}

}  // namespace
}  // namespace tavex::app
