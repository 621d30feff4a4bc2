#include "signature/ead_verification.h"

namespace tavex {

std::optional<SignatureVerdict> verifyEadSignature(UserInterface& ui, const KeyProvider& keyOfSelection) {
  std::optional<RsaPublicKey> key = keyOfSelection();
  if (!key) return std::nullopt;
  const std::optional<std::string> path = ui.chooseOpenFile(signedFileRequest());
  if (!path) return std::nullopt;
  const SignatureVerdict verdict = checkSignedFile(*path, *key);
  key->modulus.fill(0);
  key->exponent.fill(0);
  showSignatureVerdict(ui, verdict);
  return verdict;
}

}  // namespace tavex
