// BigInteger: a signed integer made of a BigUnsigned magnitude and a sign. Division
// rounds the quotient down (towards minus infinity) and gives the remainder the
// divisor's sign, so q * b + r == a with |r| < |b| whenever b is non-zero.
//
// Invariant: the sign is Zero exactly when the magnitude is zero. Failures raise
// BigNumberError (big_unsigned.h) with a fixed text.
#pragma once

#include "signature/big_unsigned.h"

namespace tavex {

enum class Sign : int { Negative = -1, Zero = 0, Positive = 1 };

class BigInteger {
 public:
  BigInteger() = default;
  // Copies `count` blocks (least significant first) as the magnitude. Throws
  // "BigInteger::BigInteger(Blk *, Index, Sign): Invalid sign" for a sign other than
  // -1, 0, +1. A zero magnitude gives sign Zero whatever sign was asked for; sign Zero
  // asked with a non-zero magnitude gives the number zero (the invariant holds).
  BigInteger(const Blk* blocks, Index count, Sign sign);
  BigInteger(const BigUnsigned& magnitude, Sign sign);

  Sign sign() const { return sign_; }
  const BigUnsigned& magnitude() const { return mag_; }
  bool operator==(const BigInteger& other) const { return sign_ == other.sign_ && mag_ == other.mag_; }

  // this = a * b.
  void multiply(const BigInteger& a, const BigInteger& b);
  // The receiver is the dividend: afterwards it holds the remainder and q the quotient
  // (floor division, remainder with the divisor's sign). A zero divisor or a zero
  // dividend gives quotient zero and leaves the dividend as the remainder. Throws
  // "BigInteger::divideWithRemainder: Cannot write quotient and remainder into the
  // same variable" when q is the receiver.
  void divideWithRemainder(const BigInteger& b, BigInteger& q);

  BigInteger operator*(const BigInteger& b) const;
  BigInteger operator%(const BigInteger& b) const;

 private:
  void normaliseSign();

  Sign sign_ = Sign::Zero;
  BigUnsigned mag_;
};

}  // namespace tavex
