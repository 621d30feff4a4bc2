#include "cotepe/br_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "support/files.h"

namespace tavex {
namespace {

TEST(BrazilianMoney, GroupsThousandsAndKeepsTwoCentavos) {
  EXPECT_EQ(brazilianMoney(0), "0,00");
  EXPECT_EQ(brazilianMoney(5), "0,05");
  EXPECT_EQ(brazilianMoney(-5), "-0,05");
  EXPECT_EQ(brazilianMoney(99999), "999,99");
  EXPECT_EQ(brazilianMoney(100000), "1.000,00");
  EXPECT_EQ(brazilianMoney(123456789), "1.234.567,89");
  EXPECT_EQ(brazilianMoney(-123456), "-1.234,56");
  EXPECT_EQ(brazilianMoney(std::numeric_limits<std::int64_t>::min()), "-92.233.720.368.547.758,08");
  EXPECT_EQ(groupedThousands(0), "0");
  EXPECT_EQ(groupedThousands(999), "999");
  EXPECT_EQ(groupedThousands(1000), "1.000");
}

TEST(BrazilianDate, RearrangesEightDigitsOnly) {
  EXPECT_EQ(brazilianDate("20240131"), "31/01/2024");
  EXPECT_EQ(brazilianDate("20241399"), "99/13/2024");  // not a calendar check
  EXPECT_FALSE(brazilianDate(""));
  EXPECT_FALSE(brazilianDate("2024013"));
  EXPECT_FALSE(brazilianDate("202401311"));
  EXPECT_FALSE(brazilianDate("2024-1-3"));
  EXPECT_FALSE(brazilianDate("        "));
}

TEST(EadRecordStart, FindsTheLastRecordPastLineEndsAndBlanks) {
  const std::string ead = "EAD" + std::string(256, 'A');
  EXPECT_EQ(eadRecordStart("E01x\r\n" + ead + "\r\n", true), 6u);
  EXPECT_EQ(eadRecordStart("E01x\n" + ead, true), 5u);
  EXPECT_EQ(eadRecordStart("E01x\r\n" + ead + "\r\n\r\n  \n", true), 6u);
  EXPECT_EQ(eadRecordStart(ead, true), 0u);
  EXPECT_FALSE(eadRecordStart("", true));
  EXPECT_FALSE(eadRecordStart("\r\n", true));
  EXPECT_FALSE(eadRecordStart(ead + "\r\nE21x\r\n", true));   // EAD not last
  EXPECT_FALSE(eadRecordStart("E01x\r\n EAD\r\n", true));     // EAD not at the line start
  EXPECT_FALSE(eadRecordStart("E01x\r\nEA", true));
  // The cut end of a longer line is not a line of its own.
  EXPECT_FALSE(eadRecordStart(ead, false));
  EXPECT_EQ(eadRecordStart("x\n" + ead, false), 2u);
}

TEST(Sha256, KnownDigestsWholeAndPieceByPiece) {
  using testing::TempDir;
  using testing::writeFile;
  const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  Sha256 pieces;
  pieces.add("a", 1);
  pieces.add("bc", 2);
  EXPECT_EQ(pieces.hex(), abc);
  EXPECT_EQ(sha256Of("abc")[0], 0xba);

  TempDir dir;
  writeFile(dir.file("vazio"), "");
  writeFile(dir.file("abc"), "abc");
  EXPECT_EQ(sha256HexOfFile(dir.file("vazio")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256HexOfFile(dir.file("abc")), abc);
  EXPECT_FALSE(sha256HexOfFile(dir.file("ausente")));
  EXPECT_FALSE(sha256HexOfFile(dir.path().string()));  // a folder cannot be read to the end
}

}  // namespace
}  // namespace tavex
