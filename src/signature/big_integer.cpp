#include "signature/big_integer.h"

#include <utility>

namespace tavex {

namespace {

constexpr const char* kInvalidSign = "BigInteger::BigInteger(Blk *, Index, Sign): Invalid sign";
constexpr const char* kSameVariable =
    "BigInteger::divideWithRemainder: Cannot write quotient and remainder into the same variable";

Sign checkedSign(Sign sign) {
  if (sign != Sign::Negative && sign != Sign::Zero && sign != Sign::Positive) throw BigNumberError(kInvalidSign);
  return sign;
}

}  // namespace

BigInteger::BigInteger(const Blk* blocks, Index count, Sign sign) : sign_(checkedSign(sign)), mag_(blocks, count) {
  normaliseSign();
}

BigInteger::BigInteger(const BigUnsigned& magnitude, Sign sign) : sign_(checkedSign(sign)), mag_(magnitude) {
  normaliseSign();
}

void BigInteger::normaliseSign() {
  if (mag_.isZero()) {
    sign_ = Sign::Zero;
  } else if (sign_ == Sign::Zero) {
    mag_ = BigUnsigned();
  }
}

void BigInteger::multiply(const BigInteger& a, const BigInteger& b) {
  if (this == &a || this == &b) {
    BigInteger product;
    product.multiply(a, b);
    *this = std::move(product);
    return;
  }
  if (a.sign_ == Sign::Zero || b.sign_ == Sign::Zero) {
    sign_ = Sign::Zero;
    mag_ = BigUnsigned();
    return;
  }
  sign_ = a.sign_ == b.sign_ ? Sign::Positive : Sign::Negative;
  mag_.multiply(a.mag_, b.mag_);
}

void BigInteger::divideWithRemainder(const BigInteger& b, BigInteger& q) {
  if (&q == this) throw BigNumberError(kSameVariable);
  if (&b == this || &b == &q) {
    const BigInteger divisor(b);
    divideWithRemainder(divisor, q);
    return;
  }
  if (b.sign_ == Sign::Zero || sign_ == Sign::Zero) {
    q.sign_ = Sign::Zero;
    q.mag_ = BigUnsigned();
    return;
  }
  if (sign_ == b.sign_) {
    q.sign_ = Sign::Positive;
    mag_.divideWithRemainder(b.mag_, q.mag_);
  } else {
    // Signs differ: floor(a / b) = -(floor((|a| - 1) / |b|) + 1), and the remainder's
    // magnitude is |b| - ((|a| - 1) mod |b|) - 1.
    q.sign_ = Sign::Negative;
    --mag_;
    mag_.divideWithRemainder(b.mag_, q.mag_);
    ++q.mag_;
    mag_.subtract(b.mag_, mag_);
    --mag_;
  }
  sign_ = b.sign_;
  if (mag_.isZero()) sign_ = Sign::Zero;
  if (q.mag_.isZero()) q.sign_ = Sign::Zero;
}

BigInteger BigInteger::operator*(const BigInteger& b) const {
  BigInteger product;
  product.multiply(*this, b);
  return product;
}

BigInteger BigInteger::operator%(const BigInteger& b) const {
  BigInteger remainder(*this);
  BigInteger quotient;
  remainder.divideWithRemainder(b, quotient);
  return remainder;
}

}  // namespace tavex
