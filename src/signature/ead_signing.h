// Signing of COTEPE and PAF-ECF files (tavex-cli assinar, the simulated ECF, the file
// generator): the EAD record an ECF writes after the signed lines, an RSA-1024
// PKCS #1 v1.5 signature over their MD5 digest (the MD5 DigestInfo), which
// checkSignedFile accepts with the public key.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "signature/digest_recovery.h"
#include "signature/private_key.h"

namespace tavex {

// "EAD" followed by the 256 upper-case hexadecimal characters of the signature of
// `signedBytes` (every byte before the EAD record, line ends included) with the
// private key (modulus, privateExponent). The line end after it is the caller's.
// Equal to what "openssl dgst -md5 -sign" gives for the same key and bytes.
std::string makeEadRecord(std::string_view signedBytes, const RsaBytes& modulus, const RsaBytes& privateExponent);

// The same record for signed bytes whose MD5 digest the caller already has.
std::string eadRecordOfDigest(const Md5Digest& digest, const RsaBytes& modulus, const RsaBytes& privateExponent);

// The same record, checked with the key's public half (modulus, publicExponent)
// before it is given: nothing when the signature does not give back the signed
// block, that is when the key's parts do not belong together (a damaged key file).
std::optional<std::string> checkedEadRecordOfDigest(const Md5Digest& digest, const RsaPrivateKey& key);

}  // namespace tavex
