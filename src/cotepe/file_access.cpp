#include "cotepe/file_access.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/platform.h"

namespace tavex {

namespace {

bool isSymlink(const std::string& path) {
  platform::FileInfo info;
  return platform::pathInfo(path, info) && info.link;
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
  const int fd = platform::openFile(candidate, platform::kRead | platform::kNoFollow | platform::kNonBlocking);
  if (fd < 0) return false;
  platform::FileInfo held, named;
  const bool stale = platform::descriptorInfo(fd, held) && held.regular &&
                     FileLock::lockDescriptor(fd) == FileLock::Result::Locked &&
                     (held.size > 0 || std::time(nullptr) - held.modified > 5) &&
                     platform::pathInfo(candidate, named) && named.device == held.device &&
                     named.inode == held.inode && platform::removeFile(candidate) == 0;
  platform::closeFile(fd);
  return stale;
}

}  // namespace

InputFile openInputFile(const std::string& path) {
  InputFile in;
  if (path.empty()) return in;
  // O_NONBLOCK: a pipe without a writer must not hold the open; cleared once the
  // file is known to be a regular one.
  const int fd = platform::openFile(path, platform::kRead | platform::kNonBlocking);
  if (fd < 0) return in;
  platform::FileInfo st;
  if (!platform::descriptorInfo(fd, st) || !st.regular) {
    in.notRegular = !st.directory;
    platform::closeFile(fd);
    return in;
  }
  platform::clearNonBlocking(fd);
  in.fd = fd;
  in.size = st.size;
  return in;
}

OutputFile openOutputFile(const std::string& path, OutputMode mode) {
  // O_NONBLOCK: opening a pipe with no reader must fail, not wait. On the regular
  // file that is all this ever opens it changes nothing, so it stays.
  unsigned flags = platform::kWrite | platform::kNoFollow | platform::kNonBlocking;
  switch (mode) {
    case OutputMode::Reuse: flags |= platform::kCreate; break;
    case OutputMode::CreateNew: flags |= platform::kCreate | platform::kExclusive; break;
    case OutputMode::Append: flags |= platform::kAppend; break;
  }
  OutputFile out;
  const int fd = platform::openFile(path, flags);
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
  platform::FileInfo st;
  if (mode != OutputMode::CreateNew && (!platform::descriptorInfo(fd, st) || !st.regular)) {
    platform::closeFile(fd);
    out.error = OutputError::NotRegular;
    out.systemError = 0;
    return out;
  }
  out.fd = fd;
  return out;
}

FileLock::Result FileLock::lockDescriptor(int fd) {
  switch (platform::lockExclusive(fd)) {
    case platform::LockResult::Locked: return Result::Locked;
    case platform::LockResult::Busy: return Result::Busy;
    default: return Result::Unavailable;
  }
}

FileLock::Result FileLock::lockFolder(const std::string& path) {
  release();
  const int fd = platform::openFile(path.empty() ? "." : path, platform::kRead | platform::kDirectory);
  if (fd < 0) return Result::Unavailable;
  const Result result = lockDescriptor(fd);
  if (result == Result::Locked)
    fd_ = fd;
  else
    platform::closeFile(fd);
  return result;
}

void FileLock::release() {
  if (fd_ >= 0) platform::closeFile(fd_);  // closing the last descriptor drops the lock
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
#ifdef EDQUOT
    case EDQUOT: return "cota de disco esgotada"_cp;
#endif
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
  platform::FileInfo target;
  existed_ = platform::pathInfo(path, target);
  if (existed_ && target.link) {
    result_.refusal = OutputError::Symlink;
    return;
  }
  if (existed_ && !target.regular) {
    result_.refusal = OutputError::NotRegular;
    return;
  }
  // Root may write anything, but a file without a single write bit was made
  // read-only on purpose: it is not replaced behind its owner's back.
  if (existed_ && ((target.mode & 0222) == 0 || (!platform::mayWrite(path) && (errno == EACCES || errno == EPERM)))) {
    result_.refusal = OutputError::ReadOnly;
    return;
  }
  if (existed_) {
    device_ = target.device;
    inode_ = target.inode;
    result_.splitHardLink = target.links > 1;
  }
  // A name of its own beside the target, the first free one of a few, created
  // exclusively (0666 less the umask) and locked at once: its lock tells a later
  // writer that it is not stale. One a killed writer left is removed and taken.
  const auto [folder, name] = splitPath(path);
  int error = EEXIST;
  for (int index = 0; fd_ < 0 && error == EEXIST && index < 64; ++index) {
    temp_ = folder + "." + name + cformat(".tavex-%d.tmp", index);
    for (int attempt = 0; attempt < 2; ++attempt) {
      fd_ = platform::openFile(temp_, platform::kReadWrite | platform::kCreate | platform::kExclusive | platform::kNoFollow);
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
  if (const int error = platform::copyOwnerAndMode(fd_, target); error != 0) result_.systemError = error;
}

WholeFileWriter::~WholeFileWriter() { discard(); }

void WholeFileWriter::discard() {
  if (fd_ >= 0) platform::closeFile(fd_);
  fd_ = -1;
  if (!temp_.empty()) platform::removeFile(temp_);
  temp_.clear();
}

void WholeFileWriter::write(std::string_view bytes) {
  for (std::size_t at = 0; good() && at < bytes.size();) {
    const std::int64_t n = platform::writeFile(fd_, bytes.data() + at, bytes.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) result_.systemError = n < 0 ? errno : EIO;
    else at += static_cast<std::size_t>(n);
  }
}

WholeFileResult WholeFileWriter::finish() {
  if (fd_ < 0) return result_;
  if (good() && platform::syncFile(fd_) != 0 && errno != EINVAL && errno != EROFS) result_.systemError = errno;
  const int closed = platform::closeFile(fd_);
  fd_ = -1;
  if (closed != 0 && good()) result_.systemError = errno;
  platform::FileInfo now;
  const bool present = platform::pathInfo(path_, now);
  if (good() && existed_ && (!present || now.device != device_ || now.inode != inode_))
    result_.systemError = ESTALE;
  if (good() && platform::renameFile(temp_, path_) != 0) result_.systemError = errno;
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
