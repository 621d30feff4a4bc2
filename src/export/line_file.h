// An output file written in whole lines. Lines are gathered in memory and written
// in large blocks; when a write fails (disk full, file size limit, the folder
// gone) the file is cut back to its last complete line, so a reader never finds
// half a line. One owner; not thread-safe.
//
// Files are never opened through a symbolic link standing as the last component
// of the path, nor when they are no regular file (see cotepe/file_access.h).
#pragma once

#include <string>
#include <string_view>

#include "cotepe/file_access.h"

namespace tavex {

class LineFile {
 public:
  enum class Mode {
    Create,     // empties an existing file
    CreateNew,  // fails when the file exists
    Append,     // fails when the file does not exist
  };

  LineFile() = default;
  ~LineFile();  // closes (keeping what was written whole)
  LineFile(const LineFile&) = delete;
  LineFile& operator=(const LineFile&) = delete;
  LineFile(LineFile&& other) noexcept;
  LineFile& operator=(LineFile&& other) noexcept;

  // False when the file cannot be created or opened; openError() tells why.
  bool open(const std::string& path, Mode mode);
  // Takes over `fd`, open for writing on an empty regular file.
  void adopt(int fd);
  bool isOpen() const { return fd_ >= 0; }
  OutputError openError() const { return openError_; }
  // errno of the failed open or write, 0 when none failed.
  int systemError() const { return systemError_; }
  // The file's size when it was opened (what an appended file held before).
  long long openedSize() const { return openedSize_; }

  // Adds one complete line (its line end included). False once a write failed;
  // the failing line and everything after it are then dropped.
  bool writeLine(std::string_view line);

  // Adds one complete line built in place: `build(text)` appends it to the
  // gathered text (no copy on the way). False once a write failed, as writeLine.
  template <typename Build>
  bool buildLine(Build&& build) {
    if (fd_ < 0 || failed_) return false;
    build(pending_);
    if (pending_.size() >= kFlushAt) return flush();
    return true;
  }

  // Writes complete lines (line ends included) at once, straight from `lines` and
  // after what is gathered: for large blocks. False once a write failed, as writeLine.
  bool writeLines(std::string_view lines);

  // Writes what is gathered. False (and the file cut back) when that fails.
  bool flush();

  // Flushes and closes. False when the flush failed or the file was removed
  // (with its folder, say) while open. A closed file can be reopened.
  bool close();

  bool failed() const { return failed_; }

 private:
  static constexpr std::size_t kFlushAt = 1 << 16;  // gathered bytes that make a write

  bool writeAll(std::string_view text);  // the file cut back to its last whole line on failure

  int fd_ = -1;
  std::string pending_;
  long long committed_ = 0;  // size of the file after the last successful write
  long long openedSize_ = 0;
  int systemError_ = 0;
  bool failed_ = false;
  OutputError openError_ = OutputError::None;
};

}  // namespace tavex
