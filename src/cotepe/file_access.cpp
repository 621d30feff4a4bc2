#include "cotepe/file_access.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

namespace tavex {

namespace {

bool isSymlink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// "dir/" and "name" of a path ("" and the path when it has no folder).
std::pair<std::string, std::string> splitPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {std::string(), path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// A file a killed writer left under a temporary name: no writer holds its lock.
// A live writer holds it from the moment its file is made but for the instant
// between the two, so an empty file of the last seconds is taken as live.
bool removedAsStale(const std::string& candidate) {
  const int fd = ::open(candidate.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat held {}, named {};
  const bool stale = ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
                     FileLock::lockDescriptor(fd) == FileLock::Result::Locked &&
                     (held.st_size > 0 || std::time(nullptr) - held.st_mtime > 5) &&
                     ::lstat(candidate.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
                     named.st_ino == held.st_ino && ::unlink(candidate.c_str()) == 0;
  ::close(fd);
  return stale;
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
    case OutputError::ReadOnly: return cformat(kReadOnlyOutput, utf8ToCp1252(path).c_str());
    default: return {};
  }
}

std::string hardLinkSplitMessage(const std::string& path) {
  return cformat(kHardLinkSplit, utf8ToCp1252(path).c_str());
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
    case EISDIR: return "é uma pasta, não um arquivo"_cp;
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
  existed_ = ::lstat(path.c_str(), &target) == 0;
  if (existed_ && S_ISLNK(target.st_mode)) {
    result_.refusal = OutputError::Symlink;
    return;
  }
  if (existed_ && !S_ISREG(target.st_mode)) {
    result_.refusal = OutputError::NotRegular;
    return;
  }
  // Root may write anything, but a file without a single write bit was made
  // read-only on purpose: it is not replaced behind its owner's back.
  if (existed_ && ((target.st_mode & 0222) == 0 ||
                   (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EPERM)))) {
    result_.refusal = OutputError::ReadOnly;
    return;
  }
  if (existed_) {
    device_ = static_cast<std::uint64_t>(target.st_dev);
    inode_ = static_cast<std::uint64_t>(target.st_ino);
    result_.splitHardLink = target.st_nlink > 1;
  }
  // A name of its own beside the target, the first free one of a few, created
  // exclusively (0666 less the umask) and locked at once: its lock tells a later
  // writer that it is not stale. One a killed writer left is removed and taken.
  const auto [folder, name] = splitPath(path);
  int error = EEXIST;
  for (int index = 0; fd_ < 0 && error == EEXIST && index < 64; ++index) {
    temp_ = folder + "." + name + cformat(".tavex-%d.tmp", index);
    for (int attempt = 0; attempt < 2; ++attempt) {
      fd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
      error = fd_ >= 0 ? 0 : errno;
      if (error != EEXIST || attempt == 1 || !removedAsStale(temp_)) break;
    }
  }
  if (fd_ < 0) {
    result_.systemError = error;
    temp_.clear();
    return;
  }
  FileLock::lockDescriptor(fd_);
  if (!existed_) return;
  // Owner and group first: giving them away clears the set-id bits the mode restores.
  if (::fchown(fd_, target.st_uid, target.st_gid) != 0 && ::fchown(fd_, static_cast<uid_t>(-1), target.st_gid) != 0) {
    // Not permitted: the file stays this user's, as any file this user writes.
  }
  if (::fchmod(fd_, target.st_mode & 07777) != 0) result_.systemError = errno;
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
  if (good() && ::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) result_.systemError = errno;
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0 && good()) result_.systemError = errno;
  struct stat now {};
  const bool present = ::lstat(path_.c_str(), &now) == 0;
  if (good() && existed_ &&
      (!present || static_cast<std::uint64_t>(now.st_dev) != device_ || static_cast<std::uint64_t>(now.st_ino) != inode_))
    result_.systemError = ESTALE;
  if (good() && ::rename(temp_.c_str(), path_.c_str()) != 0) result_.systemError = errno;
  if (good()) temp_.clear();  // renamed: nothing left to remove
  discard();
  if (!good()) result_.splitHardLink = false;
  return result_;
}

WholeFileResult writeWholeFile(const std::string& path, std::string_view content) {
  WholeFileWriter out(path);
  out.write(content);
  return out.finish();
}

}  // namespace tavex
