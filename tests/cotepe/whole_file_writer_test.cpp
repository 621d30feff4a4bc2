// A file written in pieces is whole or absent: the target changes only at finish.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
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

// Root may write any file; one with no write bit at all was made read-only on
// purpose and is refused all the same.
TEST(WholeFileWriter, AFileNobodyMayWriteIsRefusedAndAnyOtherKeepsItsModeAndOwner) {
  const struct {
    mode_t mode;
    OutputError refusal;
  } cases[] = {{0444, OutputError::ReadOnly}, {0400, OutputError::ReadOnly}, {0640, OutputError::None},
               {0600, OutputError::None},      {04750, OutputError::None}};
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.file("resumo.csv");
    testing::writeFile(path, "anterior");
    const bool root = ::geteuid() == 0;
    if (root) {
      ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);  // nobody:nogroup
    }
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    EXPECT_EQ(writeWholeFile(path, "novo").refusal, c.refusal) << std::oct << c.mode;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.mode) << std::oct << c.mode;
    if (root) {
      EXPECT_EQ(st.st_uid, 65534u) << std::oct << c.mode;
      EXPECT_EQ(st.st_gid, 65534u) << std::oct << c.mode;
    }
    EXPECT_EQ(testing::readFile(path), c.refusal == OutputError::None ? "novo" : "anterior") << std::oct << c.mode;
    EXPECT_EQ(entriesOf(dir), 1u) << std::oct << c.mode;
  }
}

TEST(WholeFileWriter, SaysWhenAHardLinkIsSplitAndRefusesATargetReplacedMeanwhile) {
  TempDir dir;
  const std::string path = dir.file("pagina.html");
  testing::writeFile(path, "anterior");
  EXPECT_FALSE(writeWholeFile(path, "um nome").splitHardLink);
  fs::create_hard_link(path, dir.file("outro_nome.html"));
  EXPECT_TRUE(writeWholeFile(path, "novo").splitHardLink);
  EXPECT_EQ(testing::readFile(dir.file("outro_nome.html")), "um nome");

  WholeFileWriter out(path);
  out.write("tardio");
  testing::writeFile(dir.file("de_outro"), "de outro");
  fs::rename(dir.file("de_outro"), path);
  EXPECT_EQ(out.finish().systemError, ESTALE);
  EXPECT_EQ(testing::readFile(path), "de outro");
  EXPECT_EQ(entriesOf(dir), 2u);
}

// A killed writer leaves its temporary file; the next writer of the same target
// removes it, but not one whose writer still holds it, nor another target's.
TEST(WholeFileWriter, TemporaryFilesOfAKilledWriterGoWithTheNextWriter) {
  TempDir dir;
  const std::string path = dir.file("log.txt");
  const std::string held = dir.file(".log.txt.tavex-0.tmp"), other = dir.file(".outro.txt.tavex-1.tmp");
  testing::writeFile(held, "em uso");
  testing::writeFile(other, "de outro alvo");
  const int holder = ::open(held.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    WholeFileWriter out(path);
    out.write("metade");
    ::raise(SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(fs::exists(dir.file(".log.txt.tavex-1.tmp"))) << "the killed writer's file";
  EXPECT_TRUE(writeWholeFile(path, "inteiro").ok());
  ::close(holder);
  EXPECT_EQ(testing::readFile(path), "inteiro");
  EXPECT_TRUE(fs::exists(held));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_EQ(entriesOf(dir), 3u);
}

}  // namespace
}  // namespace tavex
