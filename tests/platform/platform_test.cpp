#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/platform.h"
#include "support/files.h"

namespace tavex::platform {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

// Each way of opening, on an existing file, a missing name, a folder and a link:
// the descriptor or the POSIX code every system answers with.
TEST(PlatformOpenFile, AnswersTheSameCodesOnEverySystem) {
  TempDir dir;
  const std::string file = dir.file("a.txt"), folder = dir.file("pasta"), link = dir.file("elo");
  writeFile(file, "abc");
  std::filesystem::create_directory(folder);
  std::error_code noLinks;
  std::filesystem::create_symlink(file, link, noLinks);
  struct Case { std::string path; unsigned flags; int error; };
  const Case cases[] = {
      {file, kRead, 0},
      {file, kWrite | kCreate | kExclusive, EEXIST},
      {dir.file("falta.txt"), kRead, ENOENT},
      {dir.file("novo.txt"), kWrite | kCreate | kExclusive, 0},
      {file, kRead | kDirectory, ENOTDIR},
      {folder, kRead | kDirectory, 0},
      {link, kWrite | kNoFollow, ELOOP},
  };
  for (const Case& c : cases) {
    if (c.path == link && noLinks) continue;  // no links for this user here
    errno = 0;
    const int fd = openFile(c.path, c.flags);
    EXPECT_EQ(fd < 0 ? errno : 0, c.error) << c.path << " " << c.flags;
    if (fd >= 0) closeFile(fd);
  }
}

// A rename replaces a target another descriptor holds open and locked, and the
// lock is seen by a second descriptor of the same file.
TEST(PlatformRenameFile, ReplacesATargetHeldOpenAndLocked) {
  TempDir dir;
  const std::string target = dir.file("a.log"), temp = dir.file("a.tmp");
  writeFile(target, "");
  writeFile(temp, "novo");
  const int held = openFile(target, kWrite);
  ASSERT_GE(held, 0);
  EXPECT_EQ(lockExclusive(held), LockResult::Locked);
  const int other = openFile(target, kRead);
  EXPECT_EQ(lockExclusive(other), LockResult::Busy);
  closeFile(other);
  EXPECT_EQ(renameFile(temp, target), 0);
  closeFile(held);
  EXPECT_EQ(readFile(target), "novo");
  FileInfo info;
  EXPECT_FALSE(pathInfo(temp, info));
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
}  // namespace tavex::platform
