#include "cotepe/file_access.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace tavex {

namespace {

bool isSymlink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

InputFile openInputFile(const std::string& path) {
  InputFile in;
  if (path.empty()) return in;
  // O_NONBLOCK: a pipe without a writer must not hold the open; cleared once the
  // file is known to be a regular one.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return in;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    in.notRegular = !S_ISDIR(st.st_mode);
    ::close(fd);
    return in;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  in.fd = fd;
  in.size = static_cast<std::uint64_t>(st.st_size);
  return in;
}

OutputFile openOutputFile(const std::string& path, OutputMode mode) {
  // O_NONBLOCK: opening a pipe with no reader must fail, not wait. On the regular
  // file that is all this ever opens it changes nothing, so it stays.
  int flags = O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  switch (mode) {
    case OutputMode::Reuse: flags |= O_CREAT; break;
    case OutputMode::CreateNew: flags |= O_CREAT | O_EXCL; break;
    case OutputMode::Append: flags |= O_APPEND; break;
  }
  OutputFile out;
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) {
    const int error = errno;
    out.systemError = error;
    if (error == ELOOP || (error == EEXIST && isSymlink(path)))
      out.error = OutputError::Symlink;
    else if (error == EEXIST)
      out.error = OutputError::Exists;
    else if (error == ENXIO)
      out.error = OutputError::NotRegular;
    else
      out.error = OutputError::Other;
    return out;
  }
  // What O_EXCL created is a new regular file; anything else is checked.
  struct stat st {};
  if (mode != OutputMode::CreateNew && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    out.error = OutputError::NotRegular;
    out.systemError = 0;
    return out;
  }
  out.fd = fd;
  return out;
}

FileLock::Result FileLock::lockDescriptor(int fd) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? Result::Busy : Result::Unavailable;
  }
  return Result::Locked;
}

FileLock::Result FileLock::lockFolder(const std::string& path) {
  release();
  const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Result::Unavailable;
  const Result result = lockDescriptor(fd);
  if (result == Result::Locked)
    fd_ = fd;
  else
    ::close(fd);
  return result;
}

void FileLock::release() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor drops the lock
  fd_ = -1;
}

std::string outputRefusalMessage(OutputError error, const std::string& path) {
  switch (error) {
    case OutputError::Symlink: return cformat(kSymlinkRefused, utf8ToCp1252(path).c_str());
    case OutputError::NotRegular: return cformat(kNotRegularOutput, utf8ToCp1252(path).c_str());
    default: return {};
  }
}

std::string systemReason(int error) {
  switch (error) {
    case ENOSPC: return "disco cheio (não há espaço livre no dispositivo)"_cp;
    case EDQUOT: return "cota de disco esgotada"_cp;
    case EFBIG: return "o arquivo passou do tamanho máximo permitido"_cp;
    case EACCES:
    case EPERM: return "sem permissão de gravação"_cp;
    case EROFS: return "o dispositivo é somente leitura"_cp;
    case ENOENT: return "o caminho não existe"_cp;
    case ENOTDIR: return "um nome do caminho não é uma pasta"_cp;
    case EIO: return "erro de leitura ou gravação no dispositivo"_cp;
    case ENAMETOOLONG: return "nome de arquivo longo demais"_cp;
    case EMFILE:
    case ENFILE: return "arquivos abertos demais"_cp;
    default: return std::strerror(error);
  }
}

std::string reasonLine(int error) { return error == 0 ? std::string() : "Motivo: " + systemReason(error) + "."; }

WholeFileWriter::WholeFileWriter(const std::string& path) : path_(path) {
  struct stat target {};
  const bool exists = ::lstat(path.c_str(), &target) == 0;
  if (exists && S_ISLNK(target.st_mode)) {
    result_.refusal = OutputError::Symlink;
    return;
  }
  if (exists && !S_ISREG(target.st_mode)) {
    result_.refusal = OutputError::NotRegular;
    return;
  }
  // A name of its own beside the target, created exclusively (0666 less the umask).
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
    temp_ = folder + "." + name + cformat(".%d-%u.tmp", static_cast<int>(::getpid()), counter++);
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    result_.systemError = errno;
    temp_.clear();
    return;
  }
  if (exists && ::fchmod(fd_, target.st_mode & 07777) != 0) result_.systemError = errno;
}

WholeFileWriter::~WholeFileWriter() { discard(); }

void WholeFileWriter::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

void WholeFileWriter::write(std::string_view bytes) {
  for (std::size_t at = 0; good() && at < bytes.size();) {
    const ssize_t n = ::write(fd_, bytes.data() + at, bytes.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) result_.systemError = n < 0 ? errno : EIO;
    else at += static_cast<std::size_t>(n);
  }
}

WholeFileResult WholeFileWriter::finish() {
  if (fd_ < 0) return result_;
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0 && good()) result_.systemError = errno;
  if (good() && ::rename(temp_.c_str(), path_.c_str()) != 0) result_.systemError = errno;
  if (good()) temp_.clear();  // renamed: nothing left to remove
  discard();
  return result_;
}

WholeFileResult writeWholeFile(const std::string& path, std::string_view content) {
  WholeFileWriter out(path);
  out.write(content);
  return out.finish();
}

}  // namespace tavex
