// Fixed-length numbers as arrays of 16-bit digits, least significant digit first, with
// the caller stating the digit count on every call (high digits above the value are
// zero). This is the arithmetic of the RSA public operation: conversion from and to
// big-endian byte strings, products, remainders and modular exponentiation. Every
// product and remainder goes through BigInteger.
//
// Pointers name caller-owned arrays of at least the stated length; a result may be
// the same array as an operand. Nothing here throws for the values the signature code
// passes (a zero modulus leaves the unreduced value, cut to the modulus' length).
#pragma once

#include <cstddef>
#include <cstdint>

#include "signature/big_integer.h"

namespace tavex {

using Digit = std::uint16_t;

// Reads `byteCount` big-endian bytes into `digitCount` digits: digit i takes the bytes
// at byteCount-1-2i (low half) and byteCount-2-2i (high half). Digits beyond the bytes
// are zero; bytes beyond the digits are ignored.
void digitsFromBytes(Digit* digits, std::size_t digitCount, const std::uint8_t* bytes, std::size_t byteCount);

// Writes the digits big-endian into exactly `byteCount` bytes (the least significant
// digit into the last two). Digits that do not fit are dropped; bytes no digit reaches
// are zero.
void bytesFromDigits(std::uint8_t* bytes, std::size_t byteCount, const Digit* digits, std::size_t digitCount);

// The digit count without leading zero digits (0 for zero).
std::size_t significantDigits(const Digit* digits, std::size_t digitCount);

// The non-negative BigInteger of the digits (block j = digit 2j + digit 2j+1 * 65536).
BigInteger toBigInteger(const Digit* digits, std::size_t digitCount);

// Writes |value| into the first `byteCount` bytes of the digit array (little-endian,
// as its blocks lie), cut at byteCount, zero beyond the value.
void fromBigInteger(Digit* digits, std::size_t byteCount, const BigInteger& value);

// product (2n digits) = a * b (n digits each).
void mulDigits(Digit* product, const Digit* a, const Digit* b, std::size_t n);

// remainder (mDigits digits) = a mod m; a zero m leaves a, cut to mDigits digits.
void modDigits(Digit* remainder, const Digit* a, std::size_t aDigits, const Digit* m, std::size_t mDigits);

// result = (a * b) mod m, all n digits, through a double-length product.
void modMulDigits(Digit* result, const Digit* a, const Digit* b, const Digit* m, std::size_t n);

// result (modulusDigits digits) = base^exponent mod modulus, left to right with 2-bit
// windows over the exponent's significant digits. The base has modulusDigits digits
// and need not be below the modulus. An exponent of zero gives 1.
void modExpDigits(Digit* result, const Digit* base, const Digit* exponent, std::size_t exponentDigits,
                  const Digit* modulus, std::size_t modulusDigits);

}  // namespace tavex
