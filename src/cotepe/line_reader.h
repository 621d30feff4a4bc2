// Buffered reading of a COTEPE file line by line, lines of any length.
//
// A line is everything up to and including the next LF (the last line of a file
// may have none). The reader hands out raw lines; callers remove the line end with
// stripLineEnd. NUL bytes are ordinary bytes. Not thread-safe; one owner.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tavex {

class LineReader {
 public:
  LineReader() = default;
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Opens `path` for binary reading. False when it cannot be opened, is a folder,
  // or is no regular file (a pipe or a device: notRegular() tells; such a file is
  // refused before any read, as it could not be read twice nor measured).
  bool open(const std::string& path);
  bool notRegular() const { return notRegular_; }
  bool isOpen() const { return file_ != nullptr; }
  void close();

  // The next raw line (with its LF when it has one) in `line`, valid until the next
  // call. False at the end of the file or on a read error: a caller that reached
  // the end checks readFailed() before taking it as the end of the file.
  bool next(std::string_view& line);

  // True when no byte follows the last line handed out.
  bool atEnd();

  // Back to the first line.
  void rewind();
  // To the line that starts `offset` bytes into the file (an offset the lines
  // handed out so far add up to). False, and readFailed(), when the seek failed.
  bool seek(std::uint64_t offset);

  // A read failed (an I/O error, not the end of the file) since open; rewinding
  // does not clear it, so whatever pass met it, the run is known to be incomplete.
  bool readFailed() const { return readFailed_; }

 private:
  bool fill();  // reads more bytes after the pending ones; false when nothing came

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // first pending byte
  std::size_t end_ = 0;    // one past the last pending byte
  bool eof_ = false;
  bool readFailed_ = false;
  bool notRegular_ = false;
};

}  // namespace tavex
