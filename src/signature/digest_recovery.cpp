#include "signature/digest_recovery.h"

#include <tomcrypt.h>

#include <algorithm>
#include <optional>

#include "cotepe/hex.h"
#include "signature/digit_arithmetic.h"

namespace tavex {

namespace {

constexpr std::size_t kBytes = 128;
constexpr std::size_t kDigits = (kBytes + 1) / 2;

// The index of MD5 in LibTomCrypt's hash registry, registering it on first use;
// -1 when it cannot be registered.
int md5HashIndex() {
  static const int index = [] {
    if (register_hash(&md5_desc) == -1) return -1;
    return find_hash("md5");
  }();
  return index;
}

// A pair of hexadecimal digits (either case); nothing when either is not one.
std::optional<std::uint8_t> hexPair(unsigned high, unsigned low) {
  if (high > 0xFF || low > 0xFF) return std::nullopt;
  const int h = hexDigitValue(static_cast<char>(high)), l = hexDigitValue(static_cast<char>(low));
  if (h < 0 || l < 0) return std::nullopt;
  return static_cast<std::uint8_t>(h * 16 + l);
}

// The character rule of the hexadecimal-text encoding: lower-case letters in both
// places and upper-case letters in the high place read correctly; an upper-case
// letter in the low place does not.
std::uint8_t looseHexPair(unsigned high, unsigned low) {
  const int h = high > '9' ? (static_cast<int>(high) - 7) << 4 : static_cast<int>(high) << 4;
  const int l = low > '9' ? static_cast<int>(low) - 0x57 : static_cast<int>(low) - 0x30;
  return static_cast<std::uint8_t>((h | l) & 0xFF);
}

bool pssMatches(const RsaBytes& m, const Md5Digest& digest) {
  const int hashIndex = md5HashIndex();
  if (hashIndex < 0) return false;
  static const char kHex[] = "0123456789ABCDEF";
  unsigned char text[32];
  for (std::size_t i = 0; i < 16; ++i) {
    text[2 * i] = static_cast<unsigned char>(kHex[digest[i] >> 4]);
    text[2 * i + 1] = static_cast<unsigned char>(kHex[digest[i] & 0x0F]);
  }
  int valid = 0;
  return pkcs_1_pss_decode(text, sizeof text, m.data(), m.size(), 0, hashIndex, 1024, &valid) == CRYPT_OK &&
         valid == 1;
}

RecoveredDigest found(const Md5Digest& bytes) { return RecoveredDigest{bytes, 16}; }

RecoveredDigest findEncodedDigest(const RsaBytes& m, const Md5Digest& digest) {
  if (md5HashIndex() < 0) return {};
  if (pssMatches(m, digest)) return found(digest);

  bool reversed = true;
  for (std::size_t i = 0; i < 16; ++i) reversed = reversed && m[127 - i] == digest[i];
  if (reversed) return found(digest);

  bool hexText = true;
  for (std::size_t i = 0; i < 16; ++i) hexText = hexText && looseHexPair(m[96 + 2 * i], m[97 + 2 * i]) == digest[i];
  if (hexText) return found(digest);

  Md5Digest candidate{};
  if (m[0] == 16) {
    std::copy(m.begin() + 1, m.begin() + 17, candidate.begin());
    return found(candidate);
  }
  if (m[0] != 0 || m[1] != 0 || m[2] != 0) {
    if (m[111] != 16) return {};
    std::copy(m.begin() + 112, m.end(), candidate.begin());
    return found(candidate);
  }

  // 32 characters of 7 bits in the low 224 bits, the last character lowest.
  RsaBytes packed = m;
  unsigned char chars[32];
  for (std::size_t k = 32; k-- > 0;) {
    chars[k] = packed[127] & 0x7F;
    unsigned carry = 0;
    for (std::size_t i = 0; i < packed.size(); ++i) {
      const unsigned byte = packed[i];
      packed[i] = static_cast<std::uint8_t>((carry << 1) | (byte >> 7));
      carry = byte & 0x7F;
    }
  }
  for (std::size_t i = 0; i < 16; ++i) {
    const auto byte = hexPair(chars[2 * i], chars[2 * i + 1]);
    if (!byte) return {};
    candidate[i] = *byte;
  }
  return found(candidate);
}

bool consistent(const RsaKeyRecord& r) {
  return (r.bitLength + 7) / 8 == r.firstByteLength && r.secondByteLength == r.firstByteLength &&
         r.thirdByteLength == r.firstByteLength && r.secondBitLength == r.bitLength && r.secondTag == r.firstTag &&
         r.reserved == 0 && r.firstByteLength == kBytes;
}

}  // namespace

RsaKeyRecord RsaKeyRecord::make(const RsaBytes& signature, const RsaBytes& modulus, const RsaBytes& exponent) {
  RsaKeyRecord record;
  record.signature = signature;
  record.modulus = modulus;
  record.exponent = exponent;
  return record;
}

void RsaKeyRecord::clear() {
  // Through a volatile pointer so the clearing of a record about to die is kept.
  volatile std::uint8_t* p = reinterpret_cast<volatile std::uint8_t*>(this);
  for (std::size_t i = 0; i < sizeof(*this); ++i) p[i] = 0;
}

RecoveredDigest recoverDigest(const RsaKeyRecord& record, const Md5Digest& fileDigest) {
  if (!consistent(record)) return {};
  Digit n[kDigits], e[kDigits], s[kDigits], result[kDigits];
  digitsFromBytes(n, kDigits, record.modulus.data(), kBytes);
  digitsFromBytes(e, kDigits, record.exponent.data(), kBytes);
  digitsFromBytes(s, kDigits, record.signature.data(), kBytes);
  RsaBytes m{};
  try {
    modExpDigits(result, s, e, significantDigits(e, kDigits), n, kDigits);
  } catch (const BigNumberError&) {
    return {};  // not reachable with the operands above; a failure is an invalid signature
  }
  bytesFromDigits(m.data(), kBytes, result, kDigits);
  RecoveredDigest recovered = findEncodedDigest(m, fileDigest);
  std::fill(m.begin(), m.end(), std::uint8_t{0});
  std::fill(std::begin(result), std::end(result), Digit{0});
  return recovered;
}

}  // namespace tavex
