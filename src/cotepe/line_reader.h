// Buffered reading of a COTEPE file line by line, lines of any length.
//
// A line is everything up to and including the next LF (the last line of a file
// may have none). The reader hands out raw lines; callers remove the line end with
// stripLineEnd. NUL bytes are ordinary bytes. Not thread-safe; one owner.
#pragma once

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

  // Opens `path` for binary reading. False when it cannot be opened or is a folder.
  bool open(const std::string& path);
  bool isOpen() const { return file_ != nullptr; }
  void close();

  // The next raw line (with its LF when it has one) in `line`, valid until the next
  // call. False at the end of the file or on a read error (see readFailed).
  bool next(std::string_view& line);

  // True when no byte follows the last line handed out.
  bool atEnd();

  // Back to the first line.
  void rewind();

  // A read error ended the file early.
  bool readFailed() const { return readFailed_; }

 private:
  bool fill();  // reads more bytes after the pending ones; false when nothing came

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // first pending byte
  std::size_t end_ = 0;    // one past the last pending byte
  bool eof_ = false;
  bool readFailed_ = false;
};

}  // namespace tavex
