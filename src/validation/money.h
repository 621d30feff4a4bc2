// Arithmetic on centavos that hostile files cannot turn into undefined behaviour:
// sums wrap like two's-complement registers instead of overflowing, and products
// are taken in 128 bits before a truncating division.
#pragma once

#include <cstdint>

namespace tavex {

inline std::int64_t wrapAdd(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}
inline std::int64_t wrapSub(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}
inline void addTo(std::int64_t& total, std::int64_t amount) { total = wrapAdd(total, amount); }
inline void subtractFrom(std::int64_t& total, std::int64_t amount) { total = wrapSub(total, amount); }

// a * b / c, truncating toward zero, the product exact in 128 bits; the result
// keeps its low 64 bits. REQUIRES: c != 0.
inline std::int64_t mulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
  const __int128 product = static_cast<__int128>(a) * b;
  return static_cast<std::int64_t>(static_cast<unsigned __int128>(product / c));
}

// |a - b| > tolerance, without overflow.
inline bool disagree(std::int64_t a, std::int64_t b, std::int64_t tolerance) {
  const __int128 d = static_cast<__int128>(a) - b;
  return (d < 0 ? -d : d) > tolerance;
}

}  // namespace tavex
