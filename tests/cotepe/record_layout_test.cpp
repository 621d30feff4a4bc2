#include "cotepe/record_layout.h"

#include <gtest/gtest.h>

#include "cotepe/file_kind.h"
#include "cotepe/record_builder.h"

namespace tavex {
namespace {

TEST(RecordLayout, EveryRecordIsContiguousAndEndsAtItsLength) {
  for (const RecordLayout& layout : allLayouts()) {
    int next = 1;
    for (std::size_t i = 0; i < layout.fields.size(); ++i) {
      EXPECT_EQ(layout.fields[i].number, static_cast<int>(i) + 1) << layout.tag;
      EXPECT_EQ(layout.fields[i].start, next) << layout.tag << " field " << i + 1;
      next += layout.fields[i].width;
    }
    EXPECT_EQ(next - 1, layout.length) << layout.tag;
  }
}

TEST(RecordLayout, LengthsOfAllTypes) {
  const int expected[] = {166, 272, 106, 112, 82, 76, 62, 78, 65, 84, 136, 101, 72, 191, 267, 90, 80, 80, 191, 142, 106};
  for (int type = 1; type <= 21; ++type) EXPECT_EQ(layoutOf(type)->length, expected[type - 1]) << type;
  EXPECT_EQ(layoutOf(kEadType)->length, 259);
  EXPECT_EQ(layoutOf(0), nullptr);
  EXPECT_EQ(layoutOf(22), nullptr);
}

TEST(RecordLayout, KeepsTheHistoricalColumnNames) {
  EXPECT_EQ(layoutOf(3)->field(10).name, "VENDA_BRURA_DIARIA");
  EXPECT_EQ(layoutOf(14)->field(6).name, "CCF/CVC/CBP");
  EXPECT_EQ(layoutOf(kEadType)->field(2).name, "assinatura");
  EXPECT_EQ(layoutOf(5)->field(17).name, "C9");
}

TEST(RecordType, ReadsTheSecondAndThirdCharactersOnly) {
  EXPECT_EQ(recordTypeOf("E01"), 1);
  EXPECT_EQ(recordTypeOf("X21 rest"), 21);
  EXPECT_EQ(recordTypeOf("E5 "), 5);
  EXPECT_EQ(recordTypeOf("EAD" + std::string(256, '0')), kEadType);
  EXPECT_EQ(recordTypeOf("XAD"), kEadType);
  EXPECT_EQ(recordTypeOf("E99"), 99);
}

TEST(RecordType, UnknownTypesAreOutsideTheKnownRange) {
  for (const char* line : {"E00", "E22", "E0A", "ABC", ""}) {
    const int type = recordTypeOf(line);
    EXPECT_TRUE(layoutOf(type) == nullptr) << line << " gave " << type;
  }
  EXPECT_EQ(recordTypeOf("E-1"), -1);
  EXPECT_EQ(recordTypeOf("E0A"), 0);
}

TEST(FileKind, ComparesExactlyThreeCharacters) {
  EXPECT_EQ(fileKindOf("MF "), FileKind::MF);
  EXPECT_EQ(fileKindOf("MFD"), FileKind::MFD);
  EXPECT_EQ(fileKindOf("TDM"), FileKind::TDM);
  EXPECT_EQ(fileKindOf("RZ "), FileKind::RZ);
  for (const char* other : {"MFX", "mfd", "MF", "TDM ", "   "}) EXPECT_EQ(fileKindOf(other), FileKind::None) << other;
  // Not the RZ kind, though its reductions' totals are reconciled.
  EXPECT_EQ(fileKindOf("RZ1"), FileKind::OtherRz);
  EXPECT_TRUE(fileKindRules(FileKind::OtherRz).name.empty());
  EXPECT_TRUE(fileKindRules(FileKind::OtherRz).reductionTotals);
}

TEST(StripLineEnd, RemovesCrLfOrLfButNeverARealCharacter) {
  const std::string record(166, 'x');
  EXPECT_EQ(stripLineEnd(record + "\r\n").size(), 166u);
  EXPECT_EQ(stripLineEnd(record + "\n").size(), 166u);
  EXPECT_EQ(stripLineEnd(record).size(), 166u);
  EXPECT_EQ(stripLineEnd("abc\rX"), "abc\rX");
  EXPECT_EQ(stripLineEnd("abc\r\r\n"), "abc\r");
  EXPECT_EQ(stripLineEnd("\r\n"), "");
  EXPECT_EQ(stripLineEnd(std::string("ab\0", 3)), std::string("ab\0", 3));
}

TEST(RecordBuilder, PadsNumbersWithZerosAndTextsWithBlanks) {
  const std::string e13 = makeRecord(13, {{"CRZ", "12"}, {"TOTALIZADOR", "F1"}, {"VALOR_ACUMULADO", "995"}});
  ASSERT_EQ(e13.size(), 72u);
  EXPECT_EQ(e13.substr(0, 3), "E13");
  EXPECT_EQ(e13.substr(46, 6), "000012");
  EXPECT_EQ(e13.substr(52, 7), "F1     ");
  EXPECT_EQ(e13.substr(59, 13), "0000000000995");
  EXPECT_THROW(makeRecord(13, {{"NO_SUCH_FIELD", "1"}}), std::invalid_argument);
}

}  // namespace
}  // namespace tavex
