#include "signature/file_signing.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
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
#include "signature/ead_signing.h"

namespace tavex {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;
constexpr std::uint64_t kLargestKeyFile = std::uint64_t{1} << 20;

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now; false (errno set) when the close reports a failed write.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// pread of exactly `size` bytes at `offset`; false (errno set) otherwise.
bool readExactly(int fd, char* to, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    const ssize_t got = ::pread(fd, to, size, static_cast<off_t>(offset));
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

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(put));
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

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Holds back SIGINT, SIGTERM, SIGHUP and SIGQUIT while a temporary file exists, so
// it is either renamed or removed before the signal ends the process.
class HeldSignals {
 public:
  HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&held, s);
    ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~HeldSignals() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

 private:
  sigset_t previous_{};
};

// Copies the first `length` bytes of `in` to `out` while hashing them, then writes
// `extra` (hashed too).
bool copyHashing(int in, int out, std::uint64_t length, std::string_view extra, Md5Digest& digest) {
  hash_state state;
  md5_init(&state);
  std::unique_ptr<char[]> block(new char[kBlock]);
  for (std::uint64_t at = 0; at < length;) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, length - at));
    if (!readExactly(in, block.get(), count, at)) return false;
    md5_process(&state, reinterpret_cast<const unsigned char*>(block.get()), count);
    if (!writeAll(out, {block.get(), count})) return false;
    at += count;
  }
  md5_process(&state, reinterpret_cast<const unsigned char*>(extra.data()), extra.size());
  md5_done(&state, digest.data());
  return writeAll(out, extra);
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
  const InputFile in = openInputFile(path);
  if (in.fd < 0) {
    file.readErrno = in.notRegular ? EINVAL : (errno != 0 ? errno : ENOENT);
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
  struct stat named {};
  if (::lstat(path.c_str(), &named) != 0) return failure(SigningStatus::CannotOpen, errno);
  if (S_ISLNK(named.st_mode)) return failure(SigningStatus::Symlink);
  const InputFile opened = openInputFile(path);
  if (opened.fd < 0) {
    if (opened.notRegular || S_ISDIR(named.st_mode)) return failure(SigningStatus::NotRegular);
    return failure(SigningStatus::CannotOpen, errno);
  }
  Descriptor in(opened.fd);
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) return failure(SigningStatus::ReadFailed, errno);
  if (st.st_dev != named.st_dev || st.st_ino != named.st_ino) return failure(SigningStatus::Symlink);
  if (FileLock::lockDescriptor(in.get()) == FileLock::Result::Busy) return failure(SigningStatus::InUse);
  const std::uint64_t size = opened.size;

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
  std::string tempPath = folderOf(path) + "/." + nameOf(path) + ".assinando-XXXXXX";
  const int tempFd = ::mkostemp(tempPath.data(), O_CLOEXEC);
  if (tempFd < 0) return failure(SigningStatus::WriteFailed, errno);
  Descriptor temp(tempFd);
  Md5Digest digest{};
  // The signed file keeps the original's owner (when this process may give it) and mode.
  if (::fchown(temp.get(), st.st_uid, st.st_gid) != 0) {
  }
  bool written = ::fchmod(temp.get(), st.st_mode & 07777) == 0 &&
                 copyHashing(in.get(), temp.get(), signedLength, ending, digest);
  if (written) {
    const std::string record = eadRecordOfDigest(digest, key.modulus, key.privateExponent) + "\r\n";
    written = writeAll(temp.get(), record) && ::fsync(temp.get()) == 0;
  }
  written = temp.close() && written;
  // The name must still be the file that was read: not swapped for another or a link.
  struct stat now {};
  if (written && (::lstat(path.c_str(), &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino)) {
    errno = ESTALE;
    written = false;
  }
  if (written && ::rename(tempPath.c_str(), path.c_str()) != 0) written = false;
  if (!written) {
    const int error = errno;
    ::unlink(tempPath.c_str());
    return failure(SigningStatus::WriteFailed, error);
  }
  SigningResult r;
  r.replacedEad = hasEad;
  return r;
}

std::string signingMessage(const SigningResult& result, const std::string& path) {
  const std::string name = utf8ToCp1252(path);
  const char* reason = result.errorNumber != 0 ? std::strerror(result.errorNumber) : "";
  switch (result.status) {
    case SigningStatus::Signed:
      return result.replacedEad ? cformat("Assinatura substituída: %s"_cp, name.c_str())
                                : cformat("Arquivo assinado: %s"_cp, name.c_str());
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
      return cformat("Não foi possível gravar o arquivo assinado %s (%s). O original não foi alterado."_cp,
                     name.c_str(), reason);
  }
  return {};
}

std::string privateKeyMessage(const PrivateKeyFile& key, const std::string& keyPath) {
  const std::string name = utf8ToCp1252(keyPath);
  if (key.readErrno != 0)
    return cformat("Não foi possível ler a chave privada %s (%s)."_cp, name.c_str(), std::strerror(key.readErrno));
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
