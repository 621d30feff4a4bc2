#include "export/gathered_write.h"

#include <unistd.h>

#include <cerrno>
#include <new>

namespace tavex {

BlockMemory allocateBlock(std::size_t size) {
  char* p = platform::allocateBlock(size);
  if (p == nullptr) throw std::bad_alloc();
  return BlockMemory(p);
}

void GatheredText::add(Chain& chain, std::uint8_t source, std::size_t offset, std::size_t size) {
  if (chain.last >= 0) {
    Run& last = runs_[static_cast<std::size_t>(chain.last)];
    if (last.source == source && last.offset + last.size == offset) {
      last.size += size;
      return;
    }
  }
  const auto run = static_cast<std::int32_t>(runs_.size());
  runs_.push_back({offset, size, -1, source});
  if (chain.last >= 0)
    runs_[static_cast<std::size_t>(chain.last)].next = run;
  else
    chain.first = run;
  chain.last = run;
}

bool GatheredText::write(int fd, Chain& chain, std::span<const char* const> sources, std::uint64_t& written) {
  std::size_t total = 0;
  std::int32_t r = chain.first;
  chain = {};
  while (r >= 0) {
    std::size_t count = 0;
    for (; r >= 0 && count < kIovecs; r = runs_[static_cast<std::size_t>(r)].next) {
      const Run& run = runs_[static_cast<std::size_t>(r)];
      iovecs_[count++] = {const_cast<char*>(sources[run.source]) + run.offset, run.size};
    }
    iovec* iov = iovecs_.data();
    while (count > 0) {
      const std::int64_t n = platform::writeGathered(fd, iov, static_cast<int>(count));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        const int failure = n < 0 ? errno : EIO;
        if (::ftruncate(fd, static_cast<off_t>(written)) != 0) {
          // Nothing more can be done; the failure is reported all the same.
        }
        errno = failure;
        return false;
      }
      total += static_cast<std::size_t>(n);
      for (auto left = static_cast<std::size_t>(n); left > 0;) {
        if (left >= iov->iov_len) {
          left -= iov->iov_len;
          ++iov;
          --count;
        } else {
          iov->iov_base = static_cast<char*>(iov->iov_base) + left;
          iov->iov_len -= left;
          left = 0;
        }
      }
      while (count > 0 && iov->iov_len == 0) {
        ++iov;
        --count;
      }
    }
  }
  written += total;
  return true;
}

int openGatheredOutput(const std::string& path, bool first, OutputError& error, int& systemError, bool& created) {
  if (!first) {
    const OutputFile out = openOutputFile(path, OutputMode::Append);
    error = out.error;
    systemError = out.systemError;
    return out.fd;
  }
  OutputFile out = openOutputFile(path, OutputMode::CreateNew);
  created = out.fd >= 0;
  if (out.error == OutputError::Exists) {  // an earlier output under the name: emptied
    out = openOutputFile(path, OutputMode::Reuse);
    const off_t end = out.fd < 0 ? 0 : ::lseek(out.fd, 0, SEEK_END);
    if (end != 0 && (::ftruncate(out.fd, 0) != 0 || ::lseek(out.fd, 0, SEEK_SET) != 0)) {
      const int failure = errno;
      ::close(out.fd);
      out = {-1, OutputError::Other, failure};
    }
  }
  error = out.error;
  systemError = out.systemError;
  return out.fd;
}

}  // namespace tavex
