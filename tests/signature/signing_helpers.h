// Test helpers for signed files: RSA-1024 keys made by the openssl command (once per
// test process), MD5 PKCS #1 v1.5 signatures made by "openssl dgst -md5 -sign", raw
// private-key operations on chosen blocks, and signed-file assembly.
#pragma once

#include <string>

#include "signature/signed_file.h"

namespace tavex::testing {

struct TestKey {
  std::string pemPath;
  std::string modulusHex;   // 256 upper-case hexadecimal characters
  std::string exponentHex;  // as key files write it (short, e.g. "010001")
  RsaBytes privateExponent{};
  RsaPublicKey key;
};

// A key with public exponent 65537 or 3, made on first use; nullptr when the openssl
// command is not available (tests then skip).
const TestKey* sharedKey(int exponent);

// The 128-byte signature "openssl dgst -md5 -sign" gives for `content`.
std::string opensslMd5Signature(const TestKey& key, const std::string& content);
// block^d mod n for a 128-byte block below the modulus (openssl, no padding).
std::string rawPrivateOperation(const TestKey& key, const std::string& block);

// A PEM copy of `key` with one bit of its modulus (or of its private exponent)
// flipped, as a damaged key file; its path, or empty when openssl failed.
std::string damagedKeyPem(const TestKey& key, bool inModulus);

std::string hexText(const std::string& bytes, bool upperCase = true);
RsaBytes toRsaBytes(const std::string& bytes);

// A few COTEPE-like lines, each ended by CR LF.
std::string sampleSignedContent();
// content + "EAD" + signatureHex + ending
std::string withEad(const std::string& content, const std::string& signatureHex, const std::string& ending = "\r\n");

}  // namespace tavex::testing
