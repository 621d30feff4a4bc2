#include "ui/tolerance.h"

#include <gtest/gtest.h>

namespace tavex {
namespace {

TEST(Tolerance, ReadsTheTypedTextAsCentavos) {
  EXPECT_EQ(toleranceCentsFromText("0,05"), 5);
  EXPECT_EQ(toleranceCentsFromText("0,00"), 0);
  EXPECT_EQ(toleranceCentsFromText("12,5"), 125);
  EXPECT_EQ(toleranceCentsFromText("1.000,00"), 100000);
  EXPECT_EQ(toleranceCentsFromText(""), 0);
  EXPECT_EQ(toleranceCentsFromText("abc"), 0);
  EXPECT_EQ(toleranceCentsFromText("5 reais"), 5);
}

TEST(Tolerance, LongTextsAndNegativeNumbersGiveZero) {
  EXPECT_EQ(toleranceCentsFromText("10.000,00"), 0);  // nine characters
  EXPECT_EQ(toleranceCentsFromText("12345678"), 12345678);
  EXPECT_EQ(toleranceCentsFromText("-0,05"), 0);
  EXPECT_EQ(toleranceCentsFromText(std::string(10000, '9')), 0);
}

}  // namespace
}  // namespace tavex

namespace tavex {
namespace {

TEST(StrictTolerance, ReadsWholeReaisAndTwoCentavos) {
  EXPECT_EQ(strictToleranceCents("0"), 0);
  EXPECT_EQ(strictToleranceCents("0,05"), 5);
  EXPECT_EQ(strictToleranceCents("0,10"), 10);
  EXPECT_EQ(strictToleranceCents("1"), 100);
  EXPECT_EQ(strictToleranceCents("10,00"), 1000);
  EXPECT_EQ(strictToleranceCents("1000"), 100000);
  EXPECT_EQ(strictToleranceCents("1.000"), 100000);
  EXPECT_EQ(strictToleranceCents("1.000,00"), 100000);
  EXPECT_EQ(strictToleranceCents("12.345.678,90"), 1234567890);
  EXPECT_EQ(strictToleranceCents("999.999.999.999.999,99"), 99999999999999999);
}

// What the window's box would read some other way than the auditor meant, and
// what is no amount at all.
TEST(StrictTolerance, RefusesEveryTextThatCouldMeanSomethingElse) {
  for (const char* text : {"", "0,1", "0,005", ",05", "0,", "1,0,00", "0.05", "1.00", "1.0000", "10.00,00", "1..000",
                           ".000", "1.", "1.000.", "1000.000,00x", "05", "00,05", "0.050", "-1", "+1", "-0,05", " 0,05",
                           "0,05 ", "abc", "R$ 1,00", "1e3", "1 000", "1000000000000000",
                           "99999999999999999999999,00"})
    EXPECT_EQ(strictToleranceCents(text), std::nullopt) << '"' << text << '"';
}

TEST(StrictTolerance, ShownInTheFormItIsReadIn) {
  EXPECT_EQ(toleranceText(0), "0,00");
  EXPECT_EQ(toleranceText(10), "0,10");
  EXPECT_EQ(toleranceText(100000), "1.000,00");
  EXPECT_EQ(toleranceText(99999), "999,99");
  for (std::int64_t cents : {0LL, 5LL, 1234LL, 123456LL, 100000000LL, 99999999999999999LL})
    EXPECT_EQ(strictToleranceCents(toleranceText(cents)), cents) << cents;
}

}  // namespace
}  // namespace tavex
