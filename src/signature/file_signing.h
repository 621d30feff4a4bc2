// Signing a file where it lies: the signed bytes (the file, or the file without its
// EAD line when that is replaced) go through MD5 into a temporary file beside it
// (a WholeFileWriter: owner, group and mode kept, read-only files refused), the
// EAD record follows on its own line ended by CR LF once the key's public half
// verifies it, and the temporary file then takes the file's name. After any
// failure the file is as it was and no temporary file is left.
//
// SIGINT, SIGTERM, SIGHUP and SIGQUIT are held while the signing runs: one that
// came before the rename stops it (Interrupted, the file as it was); one that
// comes after it is taken as said and let go (the file is signed).
#pragma once

#include <string>

#include "signature/private_key.h"

namespace tavex {

// Reads the PEM private key at `path` (at most 1 MiB). `error` is NotPem also when
// the file cannot be read; then `readErrno` says why (0 when it was read).
struct PrivateKeyFile {
  PrivateKeyReading reading;
  int readErrno = 0;        // EISDIR for a folder
  bool notRegular = false;  // a pipe, a device or a socket (readErrno is 0)
};
PrivateKeyFile readPrivateKeyFile(const std::string& path);

struct SigningOptions {
  bool paf = false;      // any file; otherwise the file must begin with "E01" (a COTEPE file)
  bool replace = false;  // a file whose last line is an EAD record gets a new one instead
  std::string keyPath;   // the key file of the run: never the file signed
};

enum class SigningStatus {
  Signed,
  CannotOpen,     // missing or unreadable (errorNumber)
  NotRegular,     // a pipe, a device, a folder
  Symlink,        // the name is a symbolic link: its target is not replaced
  InUse,          // another run holds the file's lock
  NotCotepe,      // without `paf`: the first line does not begin with "E01"
  AlreadySigned,  // the last line is an EAD record and `replace` was not asked
  ReadFailed,     // (errorNumber)
  WriteFailed,    // the temporary file or the rename failed (errorNumber); the file is untouched
  ReadOnly,       // the file may not be written (no write permission, for root too)
  IsTheKey,       // the file is the key file of the run
  DamagedKey,     // the signature made does not verify with the key's public half
  Interrupted,    // a signal came before the rename
};

struct SigningResult {
  SigningStatus status = SigningStatus::Signed;
  int errorNumber = 0;
  bool replacedEad = false;    // Signed: an EAD line was there and was replaced
  bool splitHardLink = false;  // Signed: the file had other names, which keep the unsigned bytes
};

SigningResult signFileInPlace(const std::string& path, const RsaPrivateKey& key, const SigningOptions& options);

// What the user reads (cp1252): the outcome for the file `path` (UTF-8; a signed
// file that split a hard link says so on a second line), and the refusal of the
// key file `keyPath` (empty when the key was read).
std::string signingMessage(const SigningResult& result, const std::string& path);
std::string privateKeyMessage(const PrivateKeyFile& key, const std::string& keyPath);

}  // namespace tavex
