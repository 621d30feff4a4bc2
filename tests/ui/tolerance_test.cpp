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
