#include "signature/signed_file.h"

#include <sys/stat.h>
#include <tomcrypt.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "cotepe/hex.h"
#include "cotepe/text.h"

namespace tavex {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

std::optional<RsaBytes> bytesFromHexPairs(std::string_view hex) {
  if (hex.size() != 256) return std::nullopt;
  RsaBytes bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = hexDigitValue(hex[2 * i]), low = hexDigitValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return bytes;
}

bool readAt(std::FILE* file, std::uint64_t offset, std::string& out) {
  out.assign(kEadRecordLength, '\0');
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
         std::fread(out.data(), 1, out.size(), file) == out.size();
}

// True when reading the file fails, already or at its first byte (a file such
// as /proc/self/mem claims to be empty and only its first read tells).
bool firstReadFails(std::FILE* file) {
  if (std::ferror(file) || fseeko(file, 0, SEEK_SET) != 0) return true;
  std::fgetc(file);
  return std::ferror(file) != 0;
}

// The verdict on `record` ("EAD" and its 256 hexadecimal characters) as the
// signature of bytes whose MD5 is `digest`.
SignatureVerdict verdictOf(std::string_view record, Md5Digest digest, const RsaPublicKey& key) {
  const std::optional<RsaBytes> signature = bytesFromHexPairs(record.substr(3));
  if (!signature || !key.wellFormed) return SignatureVerdict::Invalid;

  RsaKeyRecord rsa = RsaKeyRecord::make(*signature, key.modulus, key.exponent);
  RecoveredDigest recovered = recoverDigest(rsa, digest);
  const bool valid = recovered.length == 16 && recovered.bytes == digest;
  rsa.clear();
  recovered.bytes.fill(0);
  digest.fill(0);
  return valid ? SignatureVerdict::Valid : SignatureVerdict::Invalid;
}

}  // namespace

std::optional<RsaBytes> rsaBytesFromKeyText(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n\v\f";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) {
    text = {};
  } else {
    text = text.substr(first, text.find_last_not_of(kSpace) - first + 1);
  }
  std::string padded(text.size() < 256 ? 256 - text.size() : 0, '0');
  padded.append(text.substr(0, 256 - padded.size()));
  return bytesFromHexPairs(padded);
}

std::optional<EadTrailer> readEadTrailer(std::FILE* file) {
  if (fseeko(file, 0, SEEK_END) != 0) return std::nullopt;
  const off_t end = ftello(file);
  if (end < 0) return std::nullopt;
  const auto size = static_cast<std::uint64_t>(end);
  EadTrailer trailer;
  for (const std::uint64_t after : {std::uint64_t{2}, std::uint64_t{0}}) {
    if (size < kEadRecordLength + after) continue;
    const std::uint64_t at = size - kEadRecordLength - after;
    if (readAt(file, at, trailer.record) && trailer.record.starts_with("EAD")) {
      trailer.signedLength = at;
      return trailer;
    }
  }
  return std::nullopt;
}

Md5Digest md5OfFilePrefix(std::FILE* file, std::uint64_t length) {
  hash_state state;
  md5_init(&state);
  constexpr std::size_t kBlock = 1 << 20;
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBlock]);
  if (fseeko(file, 0, SEEK_SET) == 0) {
    while (length > 0) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, kBlock));
      const std::size_t got = std::fread(buffer.get(), 1, want, file);
      if (got == 0) break;
      md5_process(&state, buffer.get(), got);
      length -= got;
    }
  }
  Md5Digest digest{};
  md5_done(&state, digest.data());
  return digest;
}

std::optional<RsaBytes> signatureFromHex(std::string_view hex) { return bytesFromHexPairs(hex); }

SignatureVerdict checkSignedFile(const std::string& path, const RsaPublicKey& key) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  struct stat info {};
  if (!file || fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) return SignatureVerdict::CannotOpen;

  // A file that cannot be measured or read to the end is not a file without a
  // signature, nor one whose signature is wrong: it could not be checked.
  const auto unreadable = [&] { return std::ferror(file.get()) || std::feof(file.get()); };
  const std::optional<EadTrailer> trailer = readEadTrailer(file.get());
  if (!trailer) return firstReadFails(file.get()) ? SignatureVerdict::CannotOpen : SignatureVerdict::NoSignatureRecord;
  Md5Digest digest = md5OfFilePrefix(file.get(), trailer->signedLength);
  if (unreadable()) return SignatureVerdict::CannotOpen;
  return verdictOf(trailer->record, digest, key);
}

struct StreamedSignature::State {
  hash_state md5{};
  std::string tail;         // the last bytes added, at most kKept
  std::uint64_t total = 0;  // bytes added
};

namespace {

constexpr std::size_t kKept = kEadRecordLength + 2;  // an EAD record and its CR LF

}  // namespace

StreamedSignature::StreamedSignature() : state_(std::make_unique<State>()) {
  md5_init(&state_->md5);
  state_->tail.reserve(2 * kKept);
}

StreamedSignature::~StreamedSignature() = default;

void StreamedSignature::add(std::string_view bytes) {
  State& s = *state_;
  s.total += bytes.size();
  const std::size_t leaving = s.tail.size() + bytes.size() > kKept ? s.tail.size() + bytes.size() - kKept : 0;
  // What leaves the kept tail goes to the hash: first the tail's oldest bytes,
  // then the new ones that will not be kept.
  const std::size_t fromTail = std::min(leaving, s.tail.size());
  if (fromTail > 0) {
    md5_process(&s.md5, reinterpret_cast<const unsigned char*>(s.tail.data()), static_cast<unsigned long>(fromTail));
    s.tail.erase(0, fromTail);
  }
  const std::size_t fromBytes = leaving - fromTail;
  if (fromBytes > 0)
    md5_process(&s.md5, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(fromBytes));
  s.tail.append(bytes.substr(fromBytes));
}

SignatureVerdict StreamedSignature::verdict(const RsaPublicKey& key) const {
  const State& s = *state_;
  const std::uint64_t tailStart = s.total - s.tail.size();
  // As readEadTrailer looks for it: the record before a final CR LF, else at the end.
  for (const std::uint64_t after : {std::uint64_t{2}, std::uint64_t{0}}) {
    if (s.total < kEadRecordLength + after) continue;
    const auto at = static_cast<std::size_t>(s.total - kEadRecordLength - after - tailStart);
    const std::string_view record = std::string_view(s.tail).substr(at, kEadRecordLength);
    if (!record.starts_with("EAD")) continue;
    hash_state md5 = s.md5;
    if (at > 0) md5_process(&md5, reinterpret_cast<const unsigned char*>(s.tail.data()), static_cast<unsigned long>(at));
    Md5Digest digest{};
    md5_done(&md5, digest.data());
    return verdictOf(record, digest, key);
  }
  return SignatureVerdict::NoSignatureRecord;
}

void showSignatureVerdict(UserInterface& ui, SignatureVerdict verdict) {
  switch (verdict) {
    case SignatureVerdict::Valid:
      ui.showMessage("Assinatura válida!"_cp, "Sucesso!", Icon::Information);
      return;
    case SignatureVerdict::Invalid:
      ui.showMessage("Assinatura Inválida!"_cp, "Erro!", Icon::Error);
      return;
    case SignatureVerdict::NoSignatureRecord:
      ui.showMessage("Registro de assinatura inválido!"_cp, "Erro!", Icon::Error);
      return;
    case SignatureVerdict::CannotOpen:
      ui.showMessage("Erro ao abrir o arquivo!", "Erro!", Icon::Error);
      return;
  }
}

OpenFileRequest signedFileRequest() {
  OpenFileRequest request;
  request.defaultExtension = "*.*";
  request.initialName = "Arquivo Assinado";
  request.filter = "Arquivos Assinados (*.*)|*.*|";
  request.mustExist = true;
  return request;
}

}  // namespace tavex
