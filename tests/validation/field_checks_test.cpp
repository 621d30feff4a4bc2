#include "validation/field_checks.h"

#include <gtest/gtest.h>

#include "validation/document_checks.h"
#include "validation/record_check.h"

namespace tavex {
namespace {

TEST(FieldFormat, NumberAcceptsDigitsOnlyAndTheEmptyText) {
  EXPECT_TRUE(passesFieldFormat("", FieldCheck::Number));
  EXPECT_TRUE(passesFieldFormat("000123", FieldCheck::Number));
  EXPECT_FALSE(passesFieldFormat("      ", FieldCheck::Number));
  EXPECT_FALSE(passesFieldFormat("12 3", FieldCheck::Number));
  EXPECT_FALSE(passesFieldFormat("-1", FieldCheck::Number));
}

TEST(FieldFormat, DateAcceptsBlanksButNotZeros) {
  EXPECT_TRUE(passesFieldFormat("        ", FieldCheck::Date));
  EXPECT_TRUE(passesFieldFormat("20040229", FieldCheck::Date));
  EXPECT_TRUE(passesFieldFormat("19000101", FieldCheck::Date));
  EXPECT_FALSE(passesFieldFormat("00000000", FieldCheck::Date));
  EXPECT_FALSE(passesFieldFormat("20040230", FieldCheck::Date));
  EXPECT_FALSE(passesFieldFormat("18991231", FieldCheck::Date));
  EXPECT_FALSE(passesFieldFormat("2004 229", FieldCheck::Date));
  EXPECT_FALSE(passesFieldFormat("ABCDEFGH", FieldCheck::Date));
}

TEST(FieldFormat, TimeChecksDigitsNotRanges) {
  EXPECT_TRUE(passesFieldFormat("      ", FieldCheck::Time));
  EXPECT_TRUE(passesFieldFormat("250000", FieldCheck::Time));
  EXPECT_FALSE(passesFieldFormat("000000", FieldCheck::Time));
  EXPECT_FALSE(passesFieldFormat("12:000", FieldCheck::Time));
  EXPECT_FALSE(isValidTime("250000"));
  EXPECT_TRUE(isValidTime("235959"));
  EXPECT_FALSE(isValidTime("236000"));
  EXPECT_FALSE(isValidTime("23595"));
}

TEST(ValidDate, FollowsTheGregorianCalendarAndTheMinimumYear) {
  EXPECT_TRUE(isValidDate("20000229", 2000));
  EXPECT_FALSE(isValidDate("21000229", 2000));
  EXPECT_FALSE(isValidDate("19991231", 2000));
  EXPECT_TRUE(isValidDate("19991231", 1900));
  EXPECT_FALSE(isValidDate("20001301", 2000));
  EXPECT_FALSE(isValidDate("20000100", 2000));
  EXPECT_FALSE(isValidDate("2000010", 2000));
  EXPECT_TRUE(isValidDate("20001231", 2000));
  EXPECT_EQ(daysInMonth(2, 1900), 28);
  EXPECT_EQ(daysInMonth(2, 2000), 29);
}

TEST(CompareDates, MovesTheSecondDateByWholeDays) {
  EXPECT_TRUE(compareDates("20121001", "20121002", 0));   // earlier
  EXPECT_FALSE(compareDates("20121002", "20121002", 0));
  EXPECT_TRUE(compareDates("20121007", "20121005", 1));   // more than one day after
  EXPECT_FALSE(compareDates("20121006", "20121005", 1));  // exactly one day after
  EXPECT_TRUE(compareDates("20130101", "20121230", 1));   // across the year
  EXPECT_FALSE(compareDates("20120301", "20120229", 1));  // leap day
}

TEST(CnpjOrCpf, AcceptsCnpjAndCpfPaddedEitherSide) {
  EXPECT_TRUE(isValidCnpjOrCpf("11222333000181"));
  EXPECT_FALSE(isValidCnpjOrCpf("11222333000182"));
  EXPECT_TRUE(isValidCnpjOrCpf("52998224725"));      // CPF
  EXPECT_TRUE(isValidCnpjOrCpf("00052998224725"));   // CPF with three zeros before
  EXPECT_TRUE(isValidCnpjOrCpf("52998224725000"));   // and after
  EXPECT_FALSE(isValidCnpjOrCpf("00000000000000"));
  EXPECT_FALSE(isValidCnpjOrCpf("11111111111"));
  EXPECT_FALSE(isValidCnpjOrCpf("000111111111111"));  // longer than 14
  EXPECT_FALSE(isValidCnpjOrCpf("1122233300018"));
  EXPECT_EQ(cnpjCheckDigits("112223330001xx"), "11222333000181");
  EXPECT_EQ(cnpjCheckDigits("529982247xx"), "52998224725");
}

TEST(TextTests, BlankOrZeroVersionsAndEditMasks) {
  EXPECT_TRUE(isBlankOrZero("      ", 6));
  EXPECT_TRUE(isBlankOrZero("000000", 6));
  EXPECT_FALSE(isBlankOrZero("0 0000", 6));
  EXPECT_FALSE(isBlankOrZero("A     ", 6));
  EXPECT_FALSE(isBlankOrZero("", 6));
  // The "0" that replaces a value that failed its format is not a blank field.
  EXPECT_FALSE(isBlankOrZero("0", 14));
  EXPECT_FALSE(isBlankOrZero("     ", 6));
  EXPECT_TRUE(isVersionFormat("01.00.00"));
  EXPECT_TRUE(isVersionFormat("01.00.00xyz"));
  EXPECT_FALSE(isVersionFormat("1.00.000"));
  EXPECT_FALSE(isVersionFormat("01.00.0"));
  EXPECT_FALSE(hasNoEditMask("123.456.789"));
  EXPECT_FALSE(hasNoEditMask("12/345"));
  EXPECT_FALSE(hasNoEditMask("12\\345"));
  EXPECT_FALSE(hasNoEditMask("12-3"));
  EXPECT_TRUE(hasNoEditMask("ISENTO"));
  EXPECT_TRUE(isAllSameChar(""));
  EXPECT_TRUE(isAllSameChar("7"));
  EXPECT_FALSE(isAllSameChar("77A"));
}

}  // namespace
}  // namespace tavex

namespace tavex {
namespace {

TEST(IsOneOf, ComparesWholeCodesOfAnyLength) {
  EXPECT_TRUE(isOneOf("V", {"V", "P"}));
  EXPECT_TRUE(isOneOf(" ", {" ", "A", "D"}));
  EXPECT_FALSE(isOneOf("", {" ", "A"}));      // an empty field is not a blank code
  EXPECT_FALSE(isOneOf("VP", {"V", "P"}));    // nor a longer one that starts like a code
  EXPECT_FALSE(isOneOf("v", {"V"}));
  EXPECT_TRUE(isOneOf("Can-T", {"DT", "Can-T"}));
  EXPECT_FALSE(isOneOf("Can-", {"Can-T"}));
  EXPECT_FALSE(isOneOf("X", {}));
}

}  // namespace
}  // namespace tavex
