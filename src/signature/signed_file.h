// Signed files: a COTEPE or PAF-ECF file whose last record is "EAD" followed by 256
// hexadecimal characters (an RSA-1024 signature over every byte before the "EAD"),
// ending right there or two bytes later (the CR LF of that line). The operations read
// the trailer, hash the signed bytes with MD5, and check the signature against a
// public key; the verdict then becomes one of the messages every signature command
// shows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "signature/digest_recovery.h"
#include "port/user_interface.h"

namespace tavex {

inline constexpr std::size_t kEadRecordLength = 259;  // "EAD" + 256 hexadecimal characters

// An RSA public key of 1024 bits. `wellFormed` is false when the key text held a
// character that is not a hexadecimal digit: every signature is then invalid.
struct RsaPublicKey {
  RsaBytes modulus{};
  RsaBytes exponent{};
  bool wellFormed = true;
};

// Decodes a key text as key files write it: leading and trailing white space removed,
// left-padded with "0" to 256 characters, the first 256 read as 128 hexadecimal pairs
// (either case), most significant first. Nothing when one of them is not a
// hexadecimal digit.
std::optional<RsaBytes> rsaBytesFromKeyText(std::string_view text);

struct EadTrailer {
  std::string record;          // the 259 characters, beginning "EAD"
  std::uint64_t signedLength;  // bytes before the "EAD"
};

// The EAD record that ends `file` (open in binary mode): the 259 bytes starting 261
// bytes before the end when they begin "EAD", else those starting 259 bytes before
// the end. Nothing when neither begins "EAD" (a file shorter than 259 bytes, an EAD
// line ended by a lone LF, no EAD at all).
std::optional<EadTrailer> readEadTrailer(std::FILE* file);

// MD5 of the first `length` bytes of `file` (or of all of it when shorter), read from
// offset 0 in large blocks.
Md5Digest md5OfFilePrefix(std::FILE* file, std::uint64_t length);

// The 128 bytes of 256 hexadecimal characters (either case) taken in pairs, first pair
// most significant. Nothing when the text is not 256 characters or a pair is not
// hexadecimal.
std::optional<RsaBytes> signatureFromHex(std::string_view hex);

enum class SignatureVerdict {
  Valid,              // "Assinatura válida!"
  Invalid,            // "Assinatura Inválida!"
  NoSignatureRecord,  // "Registro de assinatura inválido!"
  CannotOpen,         // "Erro ao abrir o arquivo!"
};

// Checks the signature of the file at `path` with `key`.
SignatureVerdict checkSignedFile(const std::string& path, const RsaPublicKey& key);

// The same check for a caller that reads the file for something else: it hands
// over every byte of the file, in order, as it reads them, and asks for the
// verdict at the end. Holds the MD5 of all but the last 261 bytes and those
// bytes, nothing more. Its verdicts are checkSignedFile's for the same bytes
// (never CannotOpen: a failed read is the caller's to tell).
class StreamedSignature {
 public:
  StreamedSignature();
  ~StreamedSignature();
  StreamedSignature(const StreamedSignature&) = delete;
  StreamedSignature& operator=(const StreamedSignature&) = delete;

  void add(std::string_view bytes);
  SignatureVerdict verdict(const RsaPublicKey& key) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Shows the verdict's message box: "Assinatura válida!" (title "Sucesso!", information
// icon) or the error's text (title "Erro!", error icon).
void showSignatureVerdict(UserInterface& ui, SignatureVerdict verdict);

// The chooser of the signed file, shared by the EAD and PAF-ECF commands.
OpenFileRequest signedFileRequest();

}  // namespace tavex
