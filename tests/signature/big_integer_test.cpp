// BigUnsigned, BigInteger and the digit layer: differential tests against results
// computed with Python integers (data/bigint_vectors.txt, written by
// make_bigint_vectors.py), and the named edge cases.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "signature/big_integer.h"
#include "signature/digit_arithmetic.h"
#include "support/files.h"

namespace tavex {
namespace {

BigUnsigned unsignedFromHex(const std::string& hex) {
  std::vector<Blk> blocks;
  for (std::size_t end = hex.size(); end > 0;) {
    const std::size_t start = end >= 8 ? end - 8 : 0;
    blocks.push_back(static_cast<Blk>(std::stoul(hex.substr(start, end - start), nullptr, 16)));
    end = start;
  }
  return BigUnsigned(blocks.data(), static_cast<Index>(blocks.size()));
}

BigInteger integerFromHex(const std::string& text) {
  const bool negative = !text.empty() && text[0] == '-';
  return BigInteger(unsignedFromHex(negative ? text.substr(1) : text), negative ? Sign::Negative : Sign::Positive);
}

std::string hexOf(const BigUnsigned& value) {
  if (value.isZero()) return "0";
  std::string out;
  char buf[9];
  for (Index i = value.length(); i-- > 0;) {
    std::snprintf(buf, sizeof buf, i + 1 == value.length() ? "%x" : "%08x", value.block(i));
    out += buf;
  }
  return out;
}

std::string hexOf(const BigInteger& value) {
  std::string out = hexOf(value.magnitude());
  if (value.sign() == Sign::Negative) out.insert(out.begin(), '-');
  return out;
}

// Checks the invariants every public operation keeps.
void expectNormalised(const BigUnsigned& v, const std::string& context) {
  if (v.length() > 0) {
    EXPECT_NE(v.block(v.length() - 1), 0u) << context;
  }
}
void expectNormalised(const BigInteger& v, const std::string& context) {
  expectNormalised(v.magnitude(), context);
  EXPECT_EQ(v.sign() == Sign::Zero, v.magnitude().isZero()) << context;
}

std::vector<Digit> digitsFromHex(const std::string& hex, std::size_t count) {
  std::vector<Digit> digits(count, 0);
  std::size_t i = 0;
  for (std::size_t end = hex.size(); end > 0 && i < count; ++i) {
    const std::size_t start = end >= 4 ? end - 4 : 0;
    digits[i] = static_cast<Digit>(std::stoul(hex.substr(start, end - start), nullptr, 16));
    end = start;
  }
  return digits;
}

std::string hexOfDigits(const std::vector<Digit>& digits) {
  return hexOf(toBigInteger(digits.data(), digits.size()));
}

TEST(BigNumberVectors, EveryOperationMatchesTheReference) {
  std::ifstream in(testing::testDataPath("signature/data/bigint_vectors.txt"));
  ASSERT_TRUE(in) << "missing vectors file";
  std::string line;
  int checked = 0;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string op, a, b, c, d;
    fields >> op >> a >> b >> c >> d;
    const std::string ctx = line.substr(0, 120);
    if (op == "umul") {
      BigUnsigned p;
      p.multiply(unsignedFromHex(a), unsignedFromHex(b));
      EXPECT_EQ(hexOf(p), c) << ctx;
      expectNormalised(p, ctx);
    } else if (op == "usub") {
      BigUnsigned r;
      if (c == "!") {
        EXPECT_THROW(r.subtract(unsignedFromHex(a), unsignedFromHex(b)), BigNumberError) << ctx;
      } else {
        r.subtract(unsignedFromHex(a), unsignedFromHex(b));
        EXPECT_EQ(hexOf(r), c) << ctx;
        expectNormalised(r, ctx);
      }
    } else if (op == "udiv") {
      BigUnsigned r = unsignedFromHex(a), q;
      r.divideWithRemainder(unsignedFromHex(b), q);
      EXPECT_EQ(hexOf(q), c) << ctx;
      EXPECT_EQ(hexOf(r), d) << ctx;
      expectNormalised(q, ctx);
      expectNormalised(r, ctx);
    } else if (op == "uinc") {
      BigUnsigned v = unsignedFromHex(a);
      ++v;
      EXPECT_EQ(hexOf(v), b) << ctx;
    } else if (op == "udec") {
      BigUnsigned v = unsignedFromHex(a);
      if (b == "!") {
        EXPECT_THROW(--v, BigNumberError) << ctx;
      } else {
        --v;
        EXPECT_EQ(hexOf(v), b) << ctx;
        expectNormalised(v, ctx);
      }
    } else if (op == "smul") {
      const BigInteger p = integerFromHex(a) * integerFromHex(b);
      EXPECT_EQ(hexOf(p), c) << ctx;
      expectNormalised(p, ctx);
    } else if (op == "sdiv") {
      BigInteger r = integerFromHex(a), q;
      r.divideWithRemainder(integerFromHex(b), q);
      EXPECT_EQ(hexOf(q), c) << ctx;
      EXPECT_EQ(hexOf(r), d) << ctx;
      expectNormalised(q, ctx);
      expectNormalised(r, ctx);
      EXPECT_EQ(hexOf(integerFromHex(a) % integerFromHex(b)), d) << ctx;
    } else if (op == "modexp") {
      const auto x = digitsFromHex(a, 64), e = digitsFromHex(b, 64), m = digitsFromHex(c, 64);
      std::vector<Digit> result(64);
      modExpDigits(result.data(), x.data(), e.data(), 64, m.data(), 64);
      EXPECT_EQ(hexOfDigits(result), d) << ctx;
    } else {
      ADD_FAILURE() << "unknown vector: " << ctx;
    }
    ++checked;
  }
  EXPECT_GT(checked, 4000);
}

BigInteger small(std::int64_t v) {
  const std::uint64_t m = v < 0 ? static_cast<std::uint64_t>(-v) : static_cast<std::uint64_t>(v);
  const Blk blocks[2] = {static_cast<Blk>(m), static_cast<Blk>(m >> 32)};
  return BigInteger(blocks, 2, v < 0 ? Sign::Negative : Sign::Positive);
}

TEST(BigInteger, DivisionRoundsDownAndGivesTheRemainderTheDivisorsSign) {
  struct Case {
    std::int64_t a, b, q, r;
  };
  for (const Case& c : {Case{7, -2, -4, -1}, Case{-7, 2, -4, 1}, Case{7, 2, 3, 1}, Case{-7, -2, 3, -1},
                        Case{-6, 2, -3, 0}, Case{6, -3, -2, 0}, Case{-1, 5, -1, 4}, Case{1, -5, -1, -4}}) {
    BigInteger r = small(c.a), q;
    r.divideWithRemainder(small(c.b), q);
    EXPECT_EQ(q, small(c.q)) << c.a << " / " << c.b;
    EXPECT_EQ(r, small(c.r)) << c.a << " / " << c.b;
    EXPECT_EQ(r.sign() == Sign::Zero, c.r == 0);
  }
}

TEST(BigInteger, DividingByZeroLeavesTheDividendAsRemainder) {
  BigInteger r = small(-12345), q = small(99);
  r.divideWithRemainder(BigInteger(), q);
  EXPECT_EQ(r, small(-12345));
  EXPECT_EQ(q.sign(), Sign::Zero);

  const Blk blocks[] = {5, 9};
  BigUnsigned u(blocks, 2), uq(blocks, 1);
  u.divideWithRemainder(BigUnsigned(), uq);
  EXPECT_EQ(u, BigUnsigned(blocks, 2));
  EXPECT_TRUE(uq.isZero());
}

TEST(BigInteger, ConstructionChecksTheSign) {
  const Blk one = 1;
  try {
    BigInteger bad(&one, 1, static_cast<Sign>(2));
    FAIL() << "no exception";
  } catch (const BigNumberError& e) {
    EXPECT_STREQ(e.what(), "BigInteger::BigInteger(Blk *, Index, Sign): Invalid sign");
  }
  const Blk zeros[3] = {0, 0, 0};
  EXPECT_EQ(BigInteger(zeros, 3, Sign::Negative).sign(), Sign::Zero);
  EXPECT_EQ(BigInteger(&one, 1, Sign::Zero), BigInteger());
}

TEST(BigNumbers, RaiseTheirFixedTexts) {
  auto textOf = [](auto&& action) -> std::string {
    try {
      action();
    } catch (const BigNumberError& e) {
      return e.what();
    }
    return "(none)";
  };
  BigUnsigned five = small(5).magnitude(), seven = small(7).magnitude(), r;
  EXPECT_EQ(textOf([&] { r.subtract(five, seven); }),
            "BigUnsigned::subtract: Negative result in unsigned calculation");
  BigUnsigned zero;
  EXPECT_EQ(textOf([&] { --zero; }), "BigUnsigned::operator --(): Cannot decrement an unsigned zero");
  EXPECT_EQ(textOf([&] { five.divideWithRemainder(seven, five); }),
            "BigUnsigned::divideWithRemainder: Cannot write quotient and remainder into the same variable");
  BigInteger a = small(5);
  EXPECT_EQ(textOf([&] { a.divideWithRemainder(small(2), a); }),
            "BigInteger::divideWithRemainder: Cannot write quotient and remainder into the same variable");
}

TEST(BigUnsigned, FailedSubtractionLeavesZeroOnceItHasBegun) {
  const Blk a[] = {1, 1}, b[] = {2, 1};
  BigUnsigned r = small(77).magnitude();
  EXPECT_THROW(r.subtract(BigUnsigned(a, 2), BigUnsigned(b, 2)), BigNumberError);
  EXPECT_TRUE(r.isZero());
}

TEST(BigUnsigned, OperandsMayBeTheReceiver) {
  BigUnsigned x = small(0xFFFFFFFF).magnitude();
  x.multiply(x, x);  // (2^32 - 1)^2 has two blocks, the top one non-zero
  EXPECT_EQ(hexOf(x), "fffffffe00000001");
  EXPECT_EQ(x.length(), 2u);
  x.subtract(x, small(1).magnitude());
  EXPECT_EQ(hexOf(x), "fffffffe00000000");
  BigUnsigned q;
  x.divideWithRemainder(x, q);
  EXPECT_TRUE(x.isZero());
  EXPECT_EQ(hexOf(q), "1");
  BigUnsigned y = small(100).magnitude(), d = small(7).magnitude();
  y.divideWithRemainder(d, d);  // quotient written over the divisor
  EXPECT_EQ(hexOf(y), "2");
  EXPECT_EQ(hexOf(d), "e");
  BigInteger s = small(-3);
  s.multiply(s, s);
  EXPECT_EQ(s, small(9));
}

TEST(BigUnsigned, IncrementAndDecrementCarryAcrossBlocks) {
  BigUnsigned x = small(0xFFFFFFFF).magnitude();
  ++x;
  EXPECT_EQ(hexOf(x), "100000000");
  --x;
  EXPECT_EQ(hexOf(x), "ffffffff");
  EXPECT_EQ(x.length(), 1u);
}

TEST(DigitLayer, ConvertsBigEndianBytes) {
  const std::uint8_t bytes[] = {0x01, 0x02, 0x03};
  Digit digits[4] = {9, 9, 9, 9};
  digitsFromBytes(digits, 4, bytes, 3);
  EXPECT_EQ(digits[0], 0x0203);
  EXPECT_EQ(digits[1], 0x0001);
  EXPECT_EQ(digits[2], 0);
  EXPECT_EQ(digits[3], 0);
  std::uint8_t out[4] = {7, 7, 7, 7};
  bytesFromDigits(out, 4, digits, 4);
  EXPECT_EQ(std::vector<std::uint8_t>(out, out + 4), (std::vector<std::uint8_t>{0, 1, 2, 3}));
  std::uint8_t cut[3];
  const Digit wide[2] = {0xAABB, 0xCCDD};
  bytesFromDigits(cut, 3, wide, 2);  // the top byte does not fit
  EXPECT_EQ(std::vector<std::uint8_t>(cut, cut + 3), (std::vector<std::uint8_t>{0xDD, 0xAA, 0xBB}));
  digitsFromBytes(digits, 1, bytes, 3);  // bytes beyond the digits are ignored
  EXPECT_EQ(digits[0], 0x0203);
  EXPECT_EQ(significantDigits(wide, 2), 2u);
  const Digit zeros[3] = {0, 0, 0};
  EXPECT_EQ(significantDigits(zeros, 3), 0u);
  EXPECT_EQ(toBigInteger(zeros, 3).sign(), Sign::Zero);
}

TEST(DigitLayer, PacksDigitsIntoBlocksAndBack) {
  const Digit odd[3] = {0x1111, 0x2222, 0x3333};
  const BigInteger v = toBigInteger(odd, 3);
  EXPECT_EQ(hexOf(v), "333322221111");
  Digit back[4] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
  fromBigInteger(back, 8, v);
  EXPECT_EQ(back[0], 0x1111);
  EXPECT_EQ(back[2], 0x3333);
  EXPECT_EQ(back[3], 0);  // zero beyond the value
  Digit cut[2] = {0, 0};
  fromBigInteger(cut, 4, v);  // a value longer than the array is cut
  EXPECT_EQ(cut[1], 0x2222);
}

TEST(DigitLayer, ModularExponentiationEdgeCases) {
  std::vector<Digit> m = digitsFromHex("f123456789abcdef0123456789abcdef", 8), one = digitsFromHex("1", 8);
  std::vector<Digit> zero(8, 0), r(8);
  const std::vector<Digit> base = digitsFromHex("123456789", 8);
  modExpDigits(r.data(), base.data(), zero.data(), 8, m.data(), 8);
  EXPECT_EQ(hexOfDigits(r), "1");  // exponent 0
  modExpDigits(r.data(), m.data(), base.data(), 8, m.data(), 8);
  EXPECT_EQ(hexOfDigits(r), "0");  // base equal to the modulus
  const std::vector<Digit> big = digitsFromHex("fffffffffffffffffffffffffffffffe", 8);
  modExpDigits(r.data(), big.data(), one.data(), 8, m.data(), 8);
  EXPECT_EQ(hexOfDigits(r), "edcba9876543210fedcba987654320f");  // 2^128 - 2 - m: reduced
  modExpDigits(r.data(), base.data(), base.data(), 8, one.data(), 8);
  EXPECT_EQ(hexOfDigits(r), "0");  // modulus 1
}

}  // namespace
}  // namespace tavex
