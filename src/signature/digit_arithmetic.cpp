#include "signature/digit_arithmetic.h"

#include <algorithm>
#include <vector>

namespace tavex {

void digitsFromBytes(Digit* digits, std::size_t digitCount, const std::uint8_t* bytes, std::size_t byteCount) {
  for (std::size_t i = 0; i < digitCount; ++i) {
    const std::size_t lowAt = 2 * i + 1;  // distance from the end, 1-based
    const std::size_t highAt = 2 * i + 2;
    const unsigned low = lowAt <= byteCount ? bytes[byteCount - lowAt] : 0u;
    const unsigned high = highAt <= byteCount ? bytes[byteCount - highAt] : 0u;
    digits[i] = static_cast<Digit>(low | (high << 8));
  }
}

void bytesFromDigits(std::uint8_t* bytes, std::size_t byteCount, const Digit* digits, std::size_t digitCount) {
  std::fill(bytes, bytes + byteCount, std::uint8_t{0});
  for (std::size_t i = 0; i < digitCount; ++i) {
    const std::size_t lowAt = 2 * i + 1;
    const std::size_t highAt = 2 * i + 2;
    if (lowAt <= byteCount) bytes[byteCount - lowAt] = static_cast<std::uint8_t>(digits[i] & 0xFF);
    if (highAt <= byteCount) bytes[byteCount - highAt] = static_cast<std::uint8_t>(digits[i] >> 8);
  }
}

std::size_t significantDigits(const Digit* digits, std::size_t digitCount) {
  while (digitCount > 0 && digits[digitCount - 1] == 0) --digitCount;
  return digitCount;
}

BigInteger toBigInteger(const Digit* digits, std::size_t digitCount) {
  std::vector<Blk> blocks((digitCount + 1) / 2, 0);
  for (std::size_t i = 0; i < digitCount; ++i) blocks[i / 2] |= Blk{digits[i]} << (16 * (i % 2));
  return BigInteger(blocks.data(), static_cast<Index>(blocks.size()), Sign::Positive);
}

void fromBigInteger(Digit* digits, std::size_t byteCount, const BigInteger& value) {
  const BigUnsigned& mag = value.magnitude();
  for (std::size_t k = 0; k < byteCount; ++k) {
    const auto byte = static_cast<Digit>((mag.block(static_cast<Index>(k / 4)) >> (8 * (k % 4))) & 0xFF);
    Digit& d = digits[k / 2];
    d = (k % 2 == 0) ? static_cast<Digit>((d & 0xFF00) | byte) : static_cast<Digit>((d & 0x00FF) | (byte << 8));
  }
}

void mulDigits(Digit* product, const Digit* a, const Digit* b, std::size_t n) {
  const BigInteger p = toBigInteger(a, n) * toBigInteger(b, n);
  fromBigInteger(product, 4 * n, p);
}

void modDigits(Digit* remainder, const Digit* a, std::size_t aDigits, const Digit* m, std::size_t mDigits) {
  const BigInteger r = toBigInteger(a, aDigits) % toBigInteger(m, mDigits);
  fromBigInteger(remainder, 2 * mDigits, r);
}

void modMulDigits(Digit* result, const Digit* a, const Digit* b, const Digit* m, std::size_t n) {
  std::vector<Digit> product(2 * n);
  mulDigits(product.data(), a, b, n);
  modDigits(result, product.data(), 2 * n, m, n);
}

void modExpDigits(Digit* result, const Digit* base, const Digit* exponent, std::size_t exponentDigits,
                  const Digit* modulus, std::size_t modulusDigits) {
  const std::size_t n = modulusDigits;
  // powers[s] = base^s for s = 1, 2, 3 (base^1 as given, not reduced).
  std::vector<Digit> powers(4 * n, 0);
  std::copy(base, base + n, &powers[1 * n]);
  modMulDigits(&powers[2 * n], base, base, modulus, n);
  modMulDigits(&powers[3 * n], &powers[2 * n], base, modulus, n);

  std::vector<Digit> t(n, 0);
  if (n > 0) t[0] = 1;

  const std::size_t digits = significantDigits(exponent, exponentDigits);
  for (std::size_t i = digits; i-- > 0;) {
    unsigned d = exponent[i];
    unsigned windows = 8;
    if (i == digits - 1) {
      while ((d & 0xC000u) == 0) {
        d = (d << 2) & 0xFFFFu;
        --windows;
      }
    }
    for (; windows > 0; --windows, d = (d << 2) & 0xFFFFu) {
      modMulDigits(t.data(), t.data(), t.data(), modulus, n);
      modMulDigits(t.data(), t.data(), t.data(), modulus, n);
      const unsigned s = d >> 14;
      if (s != 0) modMulDigits(t.data(), t.data(), &powers[s * n], modulus, n);
    }
  }
  std::copy(t.begin(), t.end(), result);
}

}  // namespace tavex
