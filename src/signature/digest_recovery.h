// The RSA side of a signature check: the key record handed to the recovery, and the
// recovery of the MD5 digest from an RSA signature block, accepting the six digest
// encodings that ECFs and PAF-ECF programs write (EMSA-PSS first, through LibTomCrypt).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavex {

using Md5Digest = std::array<std::uint8_t, 16>;
using RsaBytes = std::array<std::uint8_t, 128>;  // a 1024-bit number, most significant byte first

// The record a signature check builds from the signature value and the public key.
// Both uses fill it the same way (1024 bits, 128 bytes each); clear() zeroes it.
struct RsaKeyRecord {
  std::uint16_t firstTag = 0;
  std::uint16_t bitLength = 1024;
  std::uint16_t reserved = 0;
  std::uint16_t firstByteLength = 128;
  RsaBytes signature{};
  std::uint16_t secondTag = 0;
  std::uint16_t secondBitLength = 1024;
  std::uint16_t secondByteLength = 128;
  RsaBytes modulus{};
  std::uint16_t thirdByteLength = 128;
  RsaBytes exponent{};

  // A record for one check: the signature value and a public key.
  static RsaKeyRecord make(const RsaBytes& signature, const RsaBytes& modulus, const RsaBytes& exponent);
  void clear();
};

// A candidate digest; the signature is valid when length is 16 and bytes equal the
// file's digest.
struct RecoveredDigest {
  Md5Digest bytes{};
  std::size_t length = 0;
};

// Computes m = signature^exponent mod modulus (1024 bits) and looks for the digest in
// m, trying in order: EMSA-PSS (MD5, MGF1-MD5, no salt, over the digest written as 32
// upper-case hexadecimal characters); the digest reversed in the last 16 bytes; the
// digest as hexadecimal text in the last 32 bytes; a length byte 16 at m[0] followed by
// the digest; a length byte 16 at m[111] followed by the digest (PKCS #1 v1.5 with the
// MD5 DigestInfo); the digest as 32 seven-bit hexadecimal characters in the low 224
// bits. Gives length 0 when the record is inconsistent (lengths and tags disagree, the
// reserved field is set, or the numbers are not 128 bytes), when an encoding's bytes
// are not hexadecimal digits, or when nothing matches. Never throws.
RecoveredDigest recoverDigest(const RsaKeyRecord& record, const Md5Digest& fileDigest);

}  // namespace tavex
