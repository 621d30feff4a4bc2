#include "export/line_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tavex {

LineFile::~LineFile() { close(); }

LineFile::LineFile(LineFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      pending_(std::move(other.pending_)),
      committed_(other.committed_),
      openedSize_(other.openedSize_),
      systemError_(other.systemError_),
      failed_(other.failed_),
      openError_(other.openError_) {}

LineFile& LineFile::operator=(LineFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    pending_ = std::move(other.pending_);
    committed_ = other.committed_;
    openedSize_ = other.openedSize_;
    systemError_ = other.systemError_;
    failed_ = other.failed_;
    openError_ = other.openError_;
  }
  return *this;
}

bool LineFile::open(const std::string& path, Mode mode) {
  close();
  failed_ = false;
  pending_.clear();
  const OutputMode how = mode == Mode::Create      ? OutputMode::Reuse
                         : mode == Mode::CreateNew ? OutputMode::CreateNew
                                                   : OutputMode::Append;
  const OutputFile out = openOutputFile(path, how);
  openError_ = out.error;
  systemError_ = out.systemError;
  if (out.fd < 0) return false;
  // The end of the file; a file to empty that is empty already is left alone.
  const off_t end = ::lseek(out.fd, 0, SEEK_END);
  if (mode == Mode::Create && end != 0 && (::ftruncate(out.fd, 0) != 0 || ::lseek(out.fd, 0, SEEK_SET) != 0)) {
    systemError_ = errno;
    ::close(out.fd);
    openError_ = OutputError::Other;
    return false;
  }
  fd_ = out.fd;
  committed_ = mode == Mode::Create || end < 0 ? 0 : static_cast<long long>(end);
  openedSize_ = committed_;
  return true;
}

void LineFile::adopt(int fd) {
  close();
  failed_ = false;
  pending_.clear();
  openError_ = OutputError::None;
  systemError_ = 0;
  fd_ = fd;
  committed_ = 0;
  openedSize_ = 0;
}

bool LineFile::writeLine(std::string_view line) {
  if (fd_ < 0 || failed_) return false;
  pending_.append(line);
  if (pending_.size() >= kFlushAt) return flush();
  return true;
}

bool LineFile::writeLines(std::string_view lines) {
  if (fd_ < 0 || failed_) return false;
  return flush() && writeAll(lines);
}

bool LineFile::flush() {
  if (fd_ < 0) return false;
  if (failed_) return false;
  const bool ok = writeAll(pending_);
  pending_.clear();
  return ok;
}

bool LineFile::writeAll(std::string_view text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      systemError_ = n < 0 ? errno : EIO;
      // Cut the partial block off: the file ends after its last whole line.
      if (::ftruncate(fd_, static_cast<off_t>(committed_)) != 0) {
        // Nothing more can be done; the failure is reported all the same.
      }
      failed_ = true;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  committed_ += static_cast<long long>(text.size());
  return true;
}

bool LineFile::close() {
  if (fd_ < 0) return !failed_;
  bool ok = flush();
  // A file whose folder was removed while it was open took its lines with it.
  struct stat st {};
  if (ok && ::fstat(fd_, &st) == 0 && st.st_nlink == 0) {
    ok = false;
    failed_ = true;
    systemError_ = ENOENT;
  }
  ::close(fd_);
  fd_ = -1;
  return ok;
}

}  // namespace tavex
