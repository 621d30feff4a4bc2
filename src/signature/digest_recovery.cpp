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

// How one encoding reads the block m: the digest it holds (length 16), a block of
// this encoding that holds none (length 0: the search ends, the signature is
// invalid), or nothing when m is not of this encoding and the next one is tried.
using DigestReader = std::optional<RecoveredDigest> (*)(const RsaBytes& m, const Md5Digest& fileDigest);

// EMSA-PSS (MD5, MGF1-MD5, no salt) over the digest written as 32 upper-case
// hexadecimal characters.
std::optional<RecoveredDigest> readPss(const RsaBytes& m, const Md5Digest& digest) {
  if (pssMatches(m, digest)) return found(digest);
  return std::nullopt;
}

// The digest reversed in the last 16 bytes.
std::optional<RecoveredDigest> readReversed(const RsaBytes& m, const Md5Digest& digest) {
  for (std::size_t i = 0; i < 16; ++i)
    if (m[127 - i] != digest[i]) return std::nullopt;
  return found(digest);
}

// The digest as hexadecimal text in the last 32 bytes (looseHexPair's rule).
std::optional<RecoveredDigest> readHexText(const RsaBytes& m, const Md5Digest& digest) {
  for (std::size_t i = 0; i < 16; ++i)
    if (looseHexPair(m[96 + 2 * i], m[97 + 2 * i]) != digest[i]) return std::nullopt;
  return found(digest);
}

// A length byte 16 at m[0] followed by the digest: whatever follows it is the digest.
std::optional<RecoveredDigest> readLengthFirst(const RsaBytes& m, const Md5Digest&) {
  if (m[0] != 16) return std::nullopt;
  Md5Digest candidate{};
  std::copy(m.begin() + 1, m.begin() + 17, candidate.begin());
  return found(candidate);
}

// Any block whose first three bytes are not all zero: a length byte 16 at m[111]
// followed by the digest (PKCS #1 v1.5 with the MD5 DigestInfo), or no digest.
std::optional<RecoveredDigest> readDigestInfo(const RsaBytes& m, const Md5Digest&) {
  if (m[0] == 0 && m[1] == 0 && m[2] == 0) return std::nullopt;
  if (m[111] != 16) return RecoveredDigest{};
  Md5Digest candidate{};
  std::copy(m.begin() + 112, m.end(), candidate.begin());
  return found(candidate);
}

// Every other block: 32 characters of 7 bits in the low 224 bits, the last
// character lowest, read as hexadecimal pairs; no digest when one is not.
std::optional<RecoveredDigest> readSevenBitText(const RsaBytes& m, const Md5Digest&) {
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
  Md5Digest candidate{};
  for (std::size_t i = 0; i < 16; ++i) {
    const auto byte = hexPair(chars[2 * i], chars[2 * i + 1]);
    if (!byte) return RecoveredDigest{};
    candidate[i] = *byte;
  }
  return found(candidate);
}

struct DigestEncoding {
  const char* name;
  DigestReader read;
};

// The six digest encodings that ECFs and PAF-ECF programs write, in the order they
// are tried: the first that recognises the block decides.
constexpr DigestEncoding kDigestEncodings[] = {
    {"EMSA-PSS", readPss},
    {"digest reversed at the end", readReversed},
    {"hexadecimal text at the end", readHexText},
    {"length byte first", readLengthFirst},
    {"PKCS #1 v1.5 DigestInfo", readDigestInfo},
    {"seven-bit hexadecimal text", readSevenBitText},
};

RecoveredDigest findEncodedDigest(const RsaBytes& m, const Md5Digest& digest) {
  if (md5HashIndex() < 0) return {};
  for (const DigestEncoding& encoding : kDigestEncodings)
    if (const std::optional<RecoveredDigest> recovered = encoding.read(m, digest)) return *recovered;
  return {};
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
