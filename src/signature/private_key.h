// RSA private keys for signing, read from the PEM text "openssl genrsa" and
// "openssl genpkey" write: "BEGIN RSA PRIVATE KEY" (PKCS #1) or "BEGIN PRIVATE KEY"
// (PKCS #8, rsaEncryption), not protected by a password. Only 1024-bit keys are
// taken: the EAD record holds exactly 128 bytes of signature.
#pragma once

#include <string_view>

#include "signature/digest_recovery.h"

namespace tavex {

struct RsaPrivateKey {
  RsaBytes modulus{};
  RsaBytes publicExponent{};
  RsaBytes privateExponent{};
};

enum class PrivateKeyError {
  None,
  NotPem,        // no PEM block of a private key, or its base64 does not decode
  Encrypted,     // protected by a password
  NotRsa,        // the DER is not an RSA private key
  Not1024Bits,   // an RSA key of another size
};

struct PrivateKeyReading {
  RsaPrivateKey key;
  PrivateKeyError error = PrivateKeyError::None;
};

PrivateKeyReading readPrivateKeyPem(std::string_view pem);

}  // namespace tavex
