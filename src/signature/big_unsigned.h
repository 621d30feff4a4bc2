// BigUnsigned: a non-negative integer of any length, held as 32-bit blocks, least
// significant block first. It carries the products and remainders of the RSA public
// operation (see digit_arithmetic.h, the only user outside tests).
//
// Invariant after every public operation: the top block in use is non-zero; zero has
// length 0. Each number owns its blocks; copies are deep. Operations that write into
// the receiver accept the receiver itself as an operand (they then compute into a
// temporary and assign it at the end).
//
// Failures raise BigNumberError with a fixed text (subtraction below zero, decrement of
// zero, quotient and remainder in the same object). These never escape the signature
// code: its callers only divide by non-zero numbers and never subtract below zero, and
// the signature operations catch them at their boundary.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>

namespace tavex {

using Blk = std::uint32_t;
using Index = std::uint32_t;

// The exception of the big-integer classes; what() is one of their fixed texts.
class BigNumberError : public std::exception {
 public:
  explicit BigNumberError(const char* text) : text_(text) {}
  const char* what() const noexcept override { return text_; }

 private:
  const char* text_;
};

class BigUnsigned {
 public:
  BigUnsigned() = default;
  // Copies `count` blocks (least significant first) and drops leading zero blocks.
  BigUnsigned(const Blk* blocks, Index count);
  BigUnsigned(const BigUnsigned& other);
  BigUnsigned(BigUnsigned&& other) noexcept;
  BigUnsigned& operator=(const BigUnsigned& other);  // to itself: nothing happens
  BigUnsigned& operator=(BigUnsigned&& other) noexcept;
  ~BigUnsigned() = default;

  Index length() const { return len_; }
  Index capacity() const { return cap_; }
  // Block i, or 0 when i is at or beyond the length.
  Blk block(Index i) const { return i < len_ ? blk_[i] : 0; }
  bool isZero() const { return len_ == 0; }
  // -1, 0 or +1 as this is below, equal to or above `other`.
  int compare(const BigUnsigned& other) const;
  bool operator==(const BigUnsigned& other) const { return compare(other) == 0; }

  // this = a * b.
  void multiply(const BigUnsigned& a, const BigUnsigned& b);
  // this = a - b. Throws "BigUnsigned::subtract: Negative result in unsigned
  // calculation" when b > a; when a has at least as many blocks as b and the borrow
  // only shows at the end, the receiver is left as zero.
  void subtract(const BigUnsigned& a, const BigUnsigned& b);
  // The receiver is the dividend: afterwards it holds the remainder and q the quotient.
  // A zero divisor, or a dividend with fewer blocks than b, gives quotient zero and
  // leaves the dividend as the remainder. Throws when q is the receiver itself.
  void divideWithRemainder(const BigUnsigned& b, BigUnsigned& q);
  BigUnsigned& operator++();
  // Throws "BigUnsigned::operator --(): Cannot decrement an unsigned zero" on zero.
  BigUnsigned& operator--();

 private:
  // Raise the capacity to n when smaller: allocate discards the contents,
  // allocateAndCopy keeps the blocks in use. Neither shrinks.
  void allocate(Index n);
  void allocateAndCopy(Index n);
  void dropLeadingZeros();

  Index cap_ = 0;
  Index len_ = 0;
  std::unique_ptr<Blk[]> blk_;
};

}  // namespace tavex
