#include "signature/file_signing.h"

#include <unistd.h>
#include <tomcrypt.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "cotepe/br_format.h"
#include "cotepe/file_access.h"
#include "cotepe/text.h"
#include "platform/platform.h"
#include "signature/ead_signing.h"

namespace tavex {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;
constexpr std::uint64_t kLargestKeyFile = std::uint64_t{1} << 20;

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) platform::closeFile(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now; false (errno set) when the close reports a failed write.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return platform::closeFile(fd) == 0;
  }

 private:
  int fd_;
};

// pread of exactly `size` bytes at `offset`; false (errno set) otherwise.
bool readExactly(int fd, char* to, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    const std::int64_t got = platform::readAt(fd, to, size, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = EIO;  // the file shrank while read
      return false;
    }
    to += got;
    size -= static_cast<std::size_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
  return true;
}

// Where the file's closing EAD record begins, when it ends in one (line ends and
// blanks after it passed over); false (errno set) when the end cannot be read.
bool findEadRecord(int fd, std::uint64_t size, std::optional<std::uint64_t>& start) {
  const std::uint64_t from = size > kEadTailBytes ? size - kEadTailBytes : 0;
  std::string tail(static_cast<std::size_t>(size - from), '\0');
  if (!readExactly(fd, tail.data(), tail.size(), from)) return false;
  const std::optional<std::size_t> at = eadRecordStart(tail, from == 0);
  start = at ? std::optional<std::uint64_t>(from + *at) : std::nullopt;
  return true;
}

bool beginsWith(int fd, std::uint64_t size, std::uint64_t offset, std::string_view text) {
  if (size < offset + text.size()) return false;
  std::string head(text.size(), '\0');
  return readExactly(fd, head.data(), head.size(), offset) && head == text;
}

// Holds back SIGINT, SIGTERM, SIGHUP and SIGQUIT while the signing runs, so that
// the file is either signed or left as it was, and the run says which.
using HeldSignals = platform::HeldInterruptions;

// Copies the first `length` bytes of `in` to `out` while hashing them, then writes
// `extra` (hashed too); false (errno set) when a read fails. Stops early, with
// the digest unfinished, once a held signal came.
bool copyHashing(int in, WholeFileWriter& out, std::uint64_t length, std::string_view extra, Md5Digest& digest,
                 const HeldSignals& held) {
  hash_state state;
  md5_init(&state);
  std::unique_ptr<char[]> block(new char[kBlock]);
  for (std::uint64_t at = 0; at < length && out.good(); at += kBlock) {
    if (held.came()) return true;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, length - at));
    if (!readExactly(in, block.get(), count, at)) return false;
    md5_process(&state, reinterpret_cast<const unsigned char*>(block.get()), count);
    out.write({block.get(), count});
  }
  md5_process(&state, reinterpret_cast<const unsigned char*>(extra.data()), extra.size());
  md5_done(&state, digest.data());
  out.write(extra);
  return true;
}

SigningResult failure(SigningStatus status, int error = 0) {
  SigningResult r;
  r.status = status;
  r.errorNumber = error;
  return r;
}

}  // namespace

PrivateKeyFile readPrivateKeyFile(const std::string& path) {
  PrivateKeyFile file;
  file.reading.error = PrivateKeyError::NotPem;
  errno = 0;
  const InputFile in = openInputFile(path);
  if (in.fd < 0) {
    platform::FileInfo st;
    const int error = errno;
    if (in.notRegular)
      file.notRegular = true;
    else if (platform::targetInfo(path, st) && st.directory)
      file.readErrno = EISDIR;
    else
      file.readErrno = error != 0 ? error : ENOENT;
    return file;
  }
  Descriptor fd(in.fd);
  if (in.size > kLargestKeyFile) return file;
  std::string text(static_cast<std::size_t>(in.size), '\0');
  if (!readExactly(fd.get(), text.data(), text.size(), 0)) {
    file.readErrno = errno;
    return file;
  }
  file.reading = readPrivateKeyPem(text);
  return file;
}

SigningResult signFileInPlace(const std::string& path, const RsaPrivateKey& key, const SigningOptions& options) {
  platform::FileInfo named;
  if (!platform::pathInfo(path, named)) return failure(SigningStatus::CannotOpen, errno);
  if (named.link) return failure(SigningStatus::Symlink);
  const InputFile opened = openInputFile(path);
  if (opened.fd < 0) {
    if (opened.notRegular || named.directory) return failure(SigningStatus::NotRegular);
    return failure(SigningStatus::CannotOpen, errno);
  }
  Descriptor in(opened.fd);
  platform::FileInfo st;
  if (!platform::descriptorInfo(in.get(), st)) return failure(SigningStatus::ReadFailed, errno);
  if (st.device != named.device || st.inode != named.inode) return failure(SigningStatus::Symlink);
  if (FileLock::lockDescriptor(in.get()) == FileLock::Result::Busy) return failure(SigningStatus::InUse);
  const std::uint64_t size = opened.size;
  if (platform::FileInfo keyFile; !options.keyPath.empty() && platform::targetInfo(options.keyPath, keyFile) &&
                                  keyFile.device == st.device && keyFile.inode == st.inode)
    return failure(SigningStatus::IsTheKey);

  if (!options.paf && !beginsWith(in.get(), size, 0, "E01")) return failure(SigningStatus::NotCotepe);
  std::optional<std::uint64_t> ead;
  if (!findEadRecord(in.get(), size, ead)) return failure(SigningStatus::ReadFailed, errno);
  const bool hasEad = ead.has_value();
  if (hasEad && !options.replace) return failure(SigningStatus::AlreadySigned);

  std::uint64_t signedLength = hasEad ? *ead : size;
  std::string ending;  // the signed part's last line needs its end before the EAD line
  if (signedLength > 0) {
    char last = '\0';
    if (!readExactly(in.get(), &last, 1, signedLength - 1)) return failure(SigningStatus::ReadFailed, errno);
    if (last != '\n') ending = "\r\n";
  }

  HeldSignals held;
  WholeFileWriter out(path);
  switch (out.refusal()) {
    case OutputError::None: break;
    case OutputError::ReadOnly: return failure(SigningStatus::ReadOnly);
    case OutputError::Symlink: return failure(SigningStatus::Symlink);
    default: return failure(SigningStatus::NotRegular);
  }
  // The writer replaces what the name holds now: it must be the file read.
  platform::FileInfo now;
  if (!platform::pathInfo(path, now) || now.device != st.device || now.inode != st.inode)
    return failure(SigningStatus::Symlink);
  Md5Digest digest{};
  if (!copyHashing(in.get(), out, signedLength, ending, digest, held))
    return failure(SigningStatus::ReadFailed, errno);
  if (held.take()) return failure(SigningStatus::Interrupted);  // the writer goes with its file
  if (out.good()) {
    const std::optional<std::string> record = checkedEadRecordOfDigest(digest, key);
    if (!record) return failure(SigningStatus::DamagedKey);
    out.write(*record + "\r\n");
  }
  if (held.take()) return failure(SigningStatus::Interrupted);  // the writer goes with its file
  const WholeFileResult written = out.finish();
  held.take();  // the file is signed: a signal from now on only ends a finished run
  if (!written.ok()) return failure(SigningStatus::WriteFailed, written.systemError);
  SigningResult r;
  r.replacedEad = hasEad;
  r.splitHardLink = written.splitHardLink;
  return r;
}

std::string signingMessage(const SigningResult& result, const std::string& path) {
  const std::string name = utf8ToCp1252(path);
  const std::string why = result.errorNumber != 0 ? systemReason(result.errorNumber) : std::string();
  const char* reason = why.c_str();
  switch (result.status) {
    case SigningStatus::Signed: {
      std::string done = result.replacedEad ? cformat("Assinatura substituída: %s"_cp, name.c_str())
                                            : cformat("Arquivo assinado: %s"_cp, name.c_str());
      if (result.splitHardLink) done += "\n" + hardLinkSplitMessage(path);
      return done;
    }
    case SigningStatus::CannotOpen:
      return cformat("Não foi possível abrir o arquivo %s (%s)."_cp, name.c_str(), reason);
    case SigningStatus::NotRegular: return kNotRegularInput;
    case SigningStatus::Symlink:
      return cformat("O arquivo %s é um link simbólico. Por segurança, ele não foi assinado; assine o arquivo "
                     "de destino."_cp,
                     name.c_str());
    case SigningStatus::InUse: return cformat(kFileInUse, name.c_str());
    case SigningStatus::NotCotepe:
      return cformat("O arquivo %s não começa pelo registro E01: não é um arquivo COTEPE. Para assinar um "
                     "arquivo de PAF-ECF, use --paf."_cp,
                     name.c_str());
    case SigningStatus::AlreadySigned:
      return cformat("O arquivo %s já termina com um registro EAD. Para trocar a assinatura, use --substituir."_cp,
                     name.c_str());
    case SigningStatus::ReadFailed:
      return cformat("Erro ao ler o arquivo %s (%s). Ele não foi alterado."_cp, name.c_str(), reason);
    case SigningStatus::WriteFailed:
      if (result.errorNumber == ESTALE)
        return cformat("O arquivo %s foi trocado por outro durante a assinatura. Ele não foi alterado."_cp,
                       name.c_str());
      return cformat("Não foi possível gravar o arquivo assinado %s (%s). O original não foi alterado."_cp,
                     name.c_str(), reason);
    case SigningStatus::ReadOnly: return cformat(kReadOnlyOutput, name.c_str());
    case SigningStatus::IsTheKey:
      return cformat("O arquivo %s é a própria chave privada desta assinatura: ele não foi alterado."_cp,
                     name.c_str());
    case SigningStatus::DamagedKey:
      return cformat("A chave privada não confere: a assinatura feita com ela não é verificada pela sua chave "
                     "pública (a chave está danificada). O arquivo %s não foi alterado."_cp,
                     name.c_str());
    case SigningStatus::Interrupted:
      return cformat("Interrompido: o arquivo %s não foi assinado e ficou como estava."_cp, name.c_str());
  }
  return {};
}

std::string privateKeyMessage(const PrivateKeyFile& key, const std::string& keyPath) {
  const std::string name = utf8ToCp1252(keyPath);
  if (key.notRegular)
    return cformat("A chave privada %s não é um arquivo regular e não pode ser lida."_cp, name.c_str());
  if (key.readErrno != 0)
    return cformat("Não foi possível ler a chave privada %s (%s)."_cp, name.c_str(),
                   systemReason(key.readErrno).c_str());
  switch (key.reading.error) {
    case PrivateKeyError::None: return {};
    case PrivateKeyError::NotPem:
      return cformat("O arquivo %s não contém uma chave privada RSA em PEM (\"BEGIN RSA PRIVATE KEY\" ou "
                     "\"BEGIN PRIVATE KEY\")."_cp,
                     name.c_str());
    case PrivateKeyError::Encrypted:
      return cformat("A chave privada %s está protegida por senha; grave-a sem senha (openssl rsa -in %s -out "
                     "CHAVE.pem)."_cp,
                     name.c_str(), name.c_str());
    case PrivateKeyError::NotRsa:
      return cformat("A chave privada %s não é uma chave RSA legível."_cp, name.c_str());
    case PrivateKeyError::Not1024Bits:
      return cformat("A chave privada %s não tem 1024 bits: o registro EAD leva uma assinatura RSA de 1024 "
                     "bits."_cp,
                     name.c_str());
  }
  return {};
}

}  // namespace tavex
