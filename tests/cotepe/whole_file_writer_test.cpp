// A file written in pieces is whole or absent: the target changes only at finish.
#include <gtest/gtest.h>

#include <filesystem>

#include "cotepe/file_access.h"
#include "support/files.h"

namespace tavex {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::size_t entriesOf(const TempDir& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++n;
  return n;
}

TEST(WholeFileWriter, PiecesReplaceTheTargetOnlyWhenFinished) {
  TempDir dir;
  const std::string path = dir.file("pagina.html");
  testing::writeFile(path, "anterior");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  {
    WholeFileWriter out(path);
    out.write("primeira ");
    out.write("segunda");
    EXPECT_EQ(testing::readFile(path), "anterior") << "nothing shows before finish";
    EXPECT_TRUE(out.finish().ok());
  }
  EXPECT_EQ(testing::readFile(path), "primeira segunda");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  {
    WholeFileWriter dropped(path);
    dropped.write("perdida");
  }
  EXPECT_EQ(testing::readFile(path), "primeira segunda");
  EXPECT_EQ(entriesOf(dir), 1u) << "no temporary file outlives a writer dropped unfinished";
}

TEST(WholeFileWriter, ALinkOrAFolderIsRefusedBeforeAnyByte) {
  TempDir dir;
  testing::writeFile(dir.file("alvo"), "intocado");
  fs::create_symlink(dir.file("alvo"), dir.file("link"));
  WholeFileWriter viaLink(dir.file("link"));
  EXPECT_FALSE(viaLink.good());
  viaLink.write("x");
  EXPECT_EQ(viaLink.finish().refusal, OutputError::Symlink);
  fs::create_directory(dir.file("pasta"));
  EXPECT_EQ(WholeFileWriter(dir.file("pasta")).finish().refusal, OutputError::NotRegular);
  EXPECT_EQ(testing::readFile(dir.file("alvo")), "intocado");
  EXPECT_EQ(entriesOf(dir), 3u);
}

}  // namespace
}  // namespace tavex
