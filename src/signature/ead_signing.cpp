#include "signature/ead_signing.h"

#include <tomcrypt.h>

#include <algorithm>

#include "signature/digit_arithmetic.h"

namespace tavex {

std::string makeEadRecord(std::string_view signedBytes, const RsaBytes& modulus, const RsaBytes& privateExponent) {
  hash_state state;
  md5_init(&state);
  md5_process(&state, reinterpret_cast<const unsigned char*>(signedBytes.data()), signedBytes.size());
  Md5Digest digest{};
  md5_done(&state, digest.data());
  return eadRecordOfDigest(digest, modulus, privateExponent);
}

namespace {

constexpr std::size_t kDigits = 64;

// 00 01 FF..FF 00 DigestInfo(MD5) digest
RsaBytes paddedBlock(const Md5Digest& digest) {
  static const std::uint8_t kDigestInfo[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                             0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
  RsaBytes block{};
  const std::size_t infoAt = block.size() - digest.size() - sizeof kDigestInfo;
  block[1] = 0x01;
  std::fill(block.begin() + 2, block.begin() + static_cast<std::ptrdiff_t>(infoAt) - 1, std::uint8_t{0xFF});
  std::copy(std::begin(kDigestInfo), std::end(kDigestInfo), block.begin() + static_cast<std::ptrdiff_t>(infoAt));
  std::copy(digest.begin(), digest.end(), block.end() - 16);
  return block;
}

// value^exponent mod modulus, 1024 bits each.
RsaBytes power(const RsaBytes& value, const RsaBytes& exponent, const RsaBytes& modulus) {
  Digit n[kDigits], e[kDigits], m[kDigits], s[kDigits];
  digitsFromBytes(n, kDigits, modulus.data(), modulus.size());
  digitsFromBytes(e, kDigits, exponent.data(), exponent.size());
  digitsFromBytes(m, kDigits, value.data(), value.size());
  modExpDigits(s, m, e, significantDigits(e, kDigits), n, kDigits);
  RsaBytes result{};
  bytesFromDigits(result.data(), result.size(), s, kDigits);
  std::fill(std::begin(e), std::end(e), Digit{0});
  return result;
}

std::string recordOf(const RsaBytes& signature) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string record = "EAD";
  for (std::uint8_t b : signature) {
    record += kHex[b >> 4];
    record += kHex[b & 0x0F];
  }
  return record;
}

}  // namespace

std::string eadRecordOfDigest(const Md5Digest& digest, const RsaBytes& modulus, const RsaBytes& privateExponent) {
  return recordOf(power(paddedBlock(digest), privateExponent, modulus));
}

std::optional<std::string> checkedEadRecordOfDigest(const Md5Digest& digest, const RsaPrivateKey& key) {
  const RsaBytes block = paddedBlock(digest);
  const RsaBytes signature = power(block, key.privateExponent, key.modulus);
  if (power(signature, key.publicExponent, key.modulus) != block) return std::nullopt;
  return recordOf(signature);
}

}  // namespace tavex
