#include "cotepe/line_reader.h"

#include <unistd.h>

#include <cstring>

#include "cotepe/file_access.h"

namespace tavex {

namespace {
constexpr std::size_t kBlockSize = 1 << 17;  // small enough that a block read stays in the cache while its lines are examined
}

LineReader::~LineReader() { close(); }

bool LineReader::open(const std::string& path) {
  close();
  const InputFile in = openInputFile(path);
  notRegular_ = in.notRegular;
  if (in.fd < 0) return false;
  file_ = ::fdopen(in.fd, "rb");
  if (file_ == nullptr) {
    ::close(in.fd);
    return false;
  }
  buffer_.resize(kBlockSize);
  begin_ = end_ = 0;
  eof_ = readFailed_ = false;
  return true;
}

void LineReader::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

void LineReader::rewind() {
  if (file_ == nullptr) return;
  std::rewind(file_);
  begin_ = end_ = 0;
  eof_ = false;
}

bool LineReader::seek(std::uint64_t offset) {
  if (file_ == nullptr) return false;
  begin_ = end_ = 0;
  eof_ = false;
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0) return true;
  readFailed_ = true;
  return false;
}

bool LineReader::fill() {
  if (file_ == nullptr || eof_) return false;
  if (begin_ > 0) {  // keep the pending bytes, at the front
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // a line longer than the buffer
  const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
  end_ += got;
  if (got == 0) {
    eof_ = true;
    readFailed_ = readFailed_ || std::ferror(file_) != 0;
    return false;
  }
  return true;
}

bool LineReader::next(std::string_view& line) {
  std::size_t searched = begin_;
  for (;;) {
    const void* lf = std::memchr(buffer_.data() + searched, '\n', end_ - searched);
    if (lf != nullptr) {
      const auto stop = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.data()) + 1;
      line = std::string_view(buffer_.data() + begin_, stop - begin_);
      begin_ = stop;
      return true;
    }
    const std::size_t pending = end_ - begin_;
    if (!fill()) break;
    searched = begin_ + pending;
  }
  if (begin_ == end_) return false;
  line = std::string_view(buffer_.data() + begin_, end_ - begin_);  // last line, no LF
  begin_ = end_;
  return true;
}

bool LineReader::atEnd() {
  if (begin_ < end_) return false;
  return !fill();
}

}  // namespace tavex
