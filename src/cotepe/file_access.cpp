#include "cotepe/file_access.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

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
    return out;
  }
  out.fd = fd;
  return out;
}

WholeFileWrite writeWholeFile(const std::string& path, std::string_view bytes) {
  WholeFileWrite result;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    result.error = S_ISLNK(st.st_mode) ? OutputError::Symlink : OutputError::NotRegular;
    return result;
  }
  // A hidden name in the same folder, so that the rename stays on one file system.
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temporary;
  OutputFile out;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = folder + "." + name + cformat(".%d.%u.tmp", static_cast<int>(::getpid()), counter++);
    out = openOutputFile(temporary, OutputMode::CreateNew);
    if (out.error != OutputError::Exists && out.error != OutputError::Symlink) break;
  }
  if (out.fd < 0) {
    result.error = OutputError::Other;
    result.systemError = errno;
    return result;
  }
  bool ok = true;
  for (std::size_t at = 0; ok && at < bytes.size();) {
    const ssize_t n = ::write(out.fd, bytes.data() + at, bytes.size() - at);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) at += static_cast<std::size_t>(n);
  }
  int error = errno;
  if (::close(out.fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    result.error = OutputError::Other;
    result.systemError = error == 0 ? EIO : error;
  }
  return result;
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

}  // namespace tavex
