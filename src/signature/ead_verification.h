// verifyEadSignature: the command "Validar Assinatura Digital AC 17/04". It takes the
// public key of the selected manufacturer or model, asks for the signed COTEPE file and
// tells the user whether its EAD signature is valid, all through the UserInterface.
#pragma once

#include <functional>
#include <optional>

#include "signature/signed_file.h"
#include "port/user_interface.h"

namespace tavex {

// Supplies the key of the current selection, or nothing after showing its own message
// (the catalogue's rsaKeyOfSelection).
using KeyProvider = std::function<std::optional<RsaPublicKey>()>;

// Gets the key (stops silently when there is none: the provider has spoken), asks for
// the file (a cancel stops silently), checks it and shows the verdict. Returns the
// verdict, or nothing when it stopped before checking.
std::optional<SignatureVerdict> verifyEadSignature(UserInterface& ui, const KeyProvider& keyOfSelection);

}  // namespace tavex
