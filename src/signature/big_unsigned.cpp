#include "signature/big_unsigned.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace tavex {

namespace {

constexpr const char* kNegativeResult = "BigUnsigned::subtract: Negative result in unsigned calculation";
constexpr const char* kDecrementZero = "BigUnsigned::operator --(): Cannot decrement an unsigned zero";
constexpr const char* kSameVariable =
    "BigUnsigned::divideWithRemainder: Cannot write quotient and remainder into the same variable";

constexpr std::uint64_t kBase = std::uint64_t{1} << 32;

}  // namespace

BigUnsigned::BigUnsigned(const Blk* blocks, Index count) {
  allocate(count);
  len_ = count;
  std::copy(blocks, blocks + count, blk_.get());
  dropLeadingZeros();
}

BigUnsigned::BigUnsigned(const BigUnsigned& other) {
  allocate(other.len_);
  len_ = other.len_;
  std::copy(other.blk_.get(), other.blk_.get() + other.len_, blk_.get());
}

BigUnsigned::BigUnsigned(BigUnsigned&& other) noexcept
    : cap_(std::exchange(other.cap_, 0)), len_(std::exchange(other.len_, 0)), blk_(std::move(other.blk_)) {}

BigUnsigned& BigUnsigned::operator=(const BigUnsigned& other) {
  if (this == &other) return *this;
  allocate(other.len_);
  len_ = other.len_;
  std::copy(other.blk_.get(), other.blk_.get() + other.len_, blk_.get());
  return *this;
}

BigUnsigned& BigUnsigned::operator=(BigUnsigned&& other) noexcept {
  if (this == &other) return *this;
  cap_ = std::exchange(other.cap_, 0);
  len_ = std::exchange(other.len_, 0);
  blk_ = std::move(other.blk_);
  return *this;
}

void BigUnsigned::allocate(Index n) {
  if (cap_ >= n) return;
  blk_.reset(new Blk[n]);
  cap_ = n;
}

void BigUnsigned::allocateAndCopy(Index n) {
  if (cap_ >= n) return;
  std::unique_ptr<Blk[]> grown(new Blk[n]);
  std::copy(blk_.get(), blk_.get() + len_, grown.get());
  blk_ = std::move(grown);
  cap_ = n;
}

void BigUnsigned::dropLeadingZeros() {
  while (len_ > 0 && blk_[len_ - 1] == 0) --len_;
}

int BigUnsigned::compare(const BigUnsigned& other) const {
  if (len_ != other.len_) return len_ < other.len_ ? -1 : 1;
  for (Index i = len_; i-- > 0;)
    if (blk_[i] != other.blk_[i]) return blk_[i] < other.blk_[i] ? -1 : 1;
  return 0;
}

void BigUnsigned::multiply(const BigUnsigned& a, const BigUnsigned& b) {
  if (this == &a || this == &b) {
    BigUnsigned product;
    product.multiply(a, b);
    *this = std::move(product);
    return;
  }
  if (a.len_ == 0 || b.len_ == 0) {
    len_ = 0;
    return;
  }
  const Index n = a.len_ + b.len_;
  allocate(n);
  len_ = n;
  Blk* r = blk_.get();
  std::fill(r, r + n, Blk{0});
  // Schoolbook, one block of a at a time; r[i + b.len_] is still zero when row i ends.
  for (Index i = 0; i < a.len_; ++i) {
    const std::uint64_t ai = a.blk_[i];
    if (ai == 0) continue;
    std::uint64_t carry = 0;
    for (Index j = 0; j < b.len_; ++j) {
      const std::uint64_t t = ai * b.blk_[j] + r[i + j] + carry;
      r[i + j] = static_cast<Blk>(t);
      carry = t >> 32;
    }
    r[i + b.len_] = static_cast<Blk>(carry);
  }
  if (r[n - 1] == 0) --len_;
}

void BigUnsigned::subtract(const BigUnsigned& a, const BigUnsigned& b) {
  if (this == &a || this == &b) {
    BigUnsigned difference;
    difference.subtract(a, b);
    *this = std::move(difference);
    return;
  }
  if (b.len_ == 0) {
    *this = a;
    return;
  }
  if (a.len_ < b.len_) throw BigNumberError(kNegativeResult);
  allocate(a.len_);
  len_ = a.len_;
  std::uint64_t borrow = 0;
  Index i = 0;
  for (; i < b.len_; ++i) {
    const std::uint64_t x = a.blk_[i];
    const std::uint64_t y = std::uint64_t{b.blk_[i]} + borrow;
    blk_[i] = static_cast<Blk>(x - y);
    borrow = x < y ? 1 : 0;
  }
  for (; i < a.len_; ++i) {
    blk_[i] = a.blk_[i] - static_cast<Blk>(borrow);
    borrow = (borrow != 0 && a.blk_[i] == 0) ? 1 : 0;
  }
  if (borrow != 0) {
    len_ = 0;
    throw BigNumberError(kNegativeResult);
  }
  dropLeadingZeros();
}

BigUnsigned& BigUnsigned::operator++() {
  for (Index i = 0; i < len_; ++i)
    if (++blk_[i] != 0) return *this;
  allocateAndCopy(len_ + 1);
  blk_[len_++] = 1;
  return *this;
}

BigUnsigned& BigUnsigned::operator--() {
  if (len_ == 0) throw BigNumberError(kDecrementZero);
  for (Index i = 0; i < len_; ++i)
    if (blk_[i]-- != 0) break;
  if (blk_[len_ - 1] == 0) --len_;
  return *this;
}

// Long division, one 32-bit quotient block per step (the classical normalised method:
// estimate each block from the top two blocks of the running remainder, correct the
// estimate with the next divisor block, and add back in the rare case it is still one
// too large).
void BigUnsigned::divideWithRemainder(const BigUnsigned& b, BigUnsigned& q) {
  if (&q == this) throw BigNumberError(kSameVariable);
  if (&b == this || &b == &q) {
    const BigUnsigned divisor(b);
    divideWithRemainder(divisor, q);
    return;
  }
  if (b.len_ == 0 || len_ < b.len_) {
    q.len_ = 0;
    return;
  }

  const Index n = b.len_;
  const Index m = len_ - n;
  q.allocate(m + 1);
  q.len_ = m + 1;

  if (n == 1) {
    const std::uint64_t d = b.blk_[0];
    std::uint64_t rem = 0;
    for (Index j = len_; j-- > 0;) {
      const std::uint64_t cur = (rem << 32) | blk_[j];
      q.blk_[j] = static_cast<Blk>(cur / d);
      rem = cur % d;
    }
    blk_[0] = static_cast<Blk>(rem);
    len_ = 1;
    dropLeadingZeros();
    q.dropLeadingZeros();
    return;
  }

  // Normalise so that the divisor's top block has its high bit set.
  const int s = std::countl_zero(b.blk_[n - 1]);
  auto shiftedPair = [s](Blk hi, Blk lo) -> Blk {
    return s == 0 ? hi : static_cast<Blk>((hi << s) | (lo >> (32 - s)));
  };
  std::unique_ptr<Blk[]> v(new Blk[n]);
  for (Index i = n - 1; i > 0; --i) v[i] = shiftedPair(b.blk_[i], b.blk_[i - 1]);
  v[0] = b.blk_[0] << s;
  std::unique_ptr<Blk[]> u(new Blk[len_ + 1]);
  u[len_] = s == 0 ? 0 : blk_[len_ - 1] >> (32 - s);
  for (Index i = len_ - 1; i > 0; --i) u[i] = shiftedPair(blk_[i], blk_[i - 1]);
  u[0] = blk_[0] << s;

  const std::uint64_t vTop = v[n - 1];
  const std::uint64_t vNext = v[n - 2];
  for (Index j = m + 1; j-- > 0;) {
    const std::uint64_t top = (std::uint64_t{u[j + n]} << 32) | u[j + n - 1];
    std::uint64_t qhat = top / vTop;
    std::uint64_t rhat = top % vTop;
    while (qhat >= kBase || qhat * vNext > ((rhat << 32) | u[j + n - 2])) {
      --qhat;
      rhat += vTop;
      if (rhat >= kBase) break;
    }
    // u[j .. j+n] -= qhat * v
    std::uint64_t carry = 0;
    std::uint64_t borrow = 0;
    for (Index i = 0; i < n; ++i) {
      const std::uint64_t p = qhat * v[i] + carry;
      carry = p >> 32;
      const std::uint64_t t = std::uint64_t{u[i + j]} - static_cast<Blk>(p) - borrow;
      u[i + j] = static_cast<Blk>(t);
      borrow = (t >> 32) != 0 ? 1 : 0;
    }
    const std::uint64_t t = std::uint64_t{u[j + n]} - carry - borrow;
    u[j + n] = static_cast<Blk>(t);
    if ((t >> 32) != 0) {
      // The estimate was one too large: add the divisor back.
      --qhat;
      std::uint64_t c = 0;
      for (Index i = 0; i < n; ++i) {
        const std::uint64_t sum = std::uint64_t{u[i + j]} + v[i] + c;
        u[i + j] = static_cast<Blk>(sum);
        c = sum >> 32;
      }
      u[j + n] = static_cast<Blk>(u[j + n] + c);
    }
    q.blk_[j] = static_cast<Blk>(qhat);
  }

  // Remainder: the low n blocks of u, shifted back.
  for (Index i = 0; i < n; ++i)
    blk_[i] = s == 0 ? u[i] : static_cast<Blk>((u[i] >> s) | (u[i + 1] << (32 - s)));
  len_ = n;
  dropLeadingZeros();
  q.dropLeadingZeros();
}

}  // namespace tavex
