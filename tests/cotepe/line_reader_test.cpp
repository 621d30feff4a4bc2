#include "cotepe/line_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vector>

#include "support/files.h"

namespace tavex {
namespace {

using testing::TempDir;

std::vector<std::string> readAll(LineReader& reader) {
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.next(line)) lines.emplace_back(line);
  return lines;
}

TEST(LineReader, HandsOutRawLinesWithTheirLineFeeds) {
  TempDir dir;
  testing::writeFile(dir.file("a.txt"), "one\r\ntwo\n\nlast");
  LineReader reader;
  ASSERT_TRUE(reader.open(dir.file("a.txt")));
  EXPECT_EQ(readAll(reader), (std::vector<std::string>{"one\r\n", "two\n", "\n", "last"}));
  reader.rewind();
  EXPECT_EQ(readAll(reader).size(), 4u);
  // Mid-read, on to where two lines end: the rest of the file from there.
  reader.rewind();
  std::string_view line;
  ASSERT_TRUE(reader.next(line));
  ASSERT_TRUE(reader.seek(std::string_view("one\r\ntwo\n").size()));
  EXPECT_EQ(readAll(reader), (std::vector<std::string>{"\n", "last"}));
  EXPECT_FALSE(reader.readFailed());
}

TEST(LineReader, ReadsLinesLongerThanItsBufferWhole) {
  TempDir dir;
  const std::string huge(3 * 1024 * 1024 + 7, 'x');
  testing::writeFile(dir.file("b.txt"), "E01\n" + huge + "\nE02");
  LineReader reader;
  ASSERT_TRUE(reader.open(dir.file("b.txt")));
  const auto lines = readAll(reader);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].size(), huge.size() + 1);
  EXPECT_EQ(lines[2], "E02");
}

TEST(LineReader, KeepsNulBytesInsideLines) {
  TempDir dir;
  testing::writeFile(dir.file("c.txt"), std::string("a\0b\nc", 5));
  LineReader reader;
  ASSERT_TRUE(reader.open(dir.file("c.txt")));
  EXPECT_EQ(readAll(reader), (std::vector<std::string>{std::string("a\0b\n", 4), "c"}));
}

TEST(LineReader, TellsWhetherALineWasTheLast) {
  TempDir dir;
  testing::writeFile(dir.file("d.txt"), "a\nb\n");
  LineReader reader;
  ASSERT_TRUE(reader.open(dir.file("d.txt")));
  std::string_view line;
  ASSERT_TRUE(reader.next(line));
  EXPECT_FALSE(reader.atEnd());
  ASSERT_TRUE(reader.next(line));
  EXPECT_TRUE(reader.atEnd());
  EXPECT_FALSE(reader.next(line));
}

TEST(LineReader, RefusesMissingFilesAndFolders) {
  TempDir dir;
  LineReader reader;
  EXPECT_FALSE(reader.open(dir.file("missing.txt")));
  EXPECT_FALSE(reader.open(dir.path().string()));
  EXPECT_FALSE(reader.open(""));
  testing::writeFile(dir.file("empty.txt"), "");
  ASSERT_TRUE(reader.open(dir.file("empty.txt")));
  std::string_view line;
  EXPECT_FALSE(reader.next(line));
  EXPECT_TRUE(reader.atEnd());
  EXPECT_FALSE(reader.readFailed());
  EXPECT_FALSE(reader.notRegular());
}

// /proc/self/mem opens, and its first read fails (EIO at address 0).
TEST(LineReader, AFailedReadIsNotTheEndOfTheFileEvenAfterARewind) {
  LineReader reader;
  ASSERT_TRUE(reader.open("/proc/self/mem"));
  std::string_view line;
  EXPECT_FALSE(reader.next(line));
  EXPECT_TRUE(reader.readFailed());
  reader.rewind();  // a later pass must not take the file for an empty one
  EXPECT_FALSE(reader.next(line));
  EXPECT_TRUE(reader.readFailed());
}

TEST(LineReader, RefusesPipesAndDevicesBeforeReading) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  LineReader reader;
  EXPECT_FALSE(reader.open(dir.file("fifo")));  // returns at once: no writer is awaited
  EXPECT_TRUE(reader.notRegular());
  EXPECT_FALSE(reader.open("/dev/zero"));  // would never end
  EXPECT_TRUE(reader.notRegular());
  EXPECT_FALSE(reader.open(dir.path().string()));  // a folder is simply not openable
  EXPECT_FALSE(reader.notRegular());
}

}  // namespace
}  // namespace tavex
