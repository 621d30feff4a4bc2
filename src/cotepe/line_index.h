// Where the lines of a file start, every 256th of them, so that a few lines can
// be read again without reading the file up to them. A caller that reads the file
// anyway (the validation's read tap) hands over each raw line as it goes; one
// that does not builds the index with a read of its own (indexOfFile).
//
// Lines are as LineReader gives them: everything up to and including a LF, the
// last one perhaps without. Memory: 8 bytes per 256 lines.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavex {

class LineIndex {
 public:
  // The next raw line of the file, with its line end.
  void add(std::string_view rawLine);

  int lines() const { return lines_; }
  std::uint64_t bytes() const { return bytes_; }

  // The text of the `wanted` lines (1-based, ascending; their line ends removed)
  // read from `path` through the index: a seek to the mark before each and the
  // lines from there. Lines past the end are left out; empty when the file cannot
  // be read now.
  std::map<int, std::string> linesOf(const std::string& path, const std::vector<int>& wanted) const;

 private:
  static constexpr int kLinesPerMark = 256;
  int lines_ = 0;
  std::uint64_t bytes_ = 0;
  std::vector<std::uint64_t> marks_;  // offset of lines 1, 257, 513...
};

// The index of the file at `path`, read whole once; nothing when it cannot be read.
std::optional<LineIndex> indexOfFile(const std::string& path);

// A record line and its neighbours, read from the file as the validation numbers
// lines (line feeds end lines; a CR before one is dropped), through `index` (the
// file's line index), so that a line deep in a large file costs a seek.
struct LineContext {
  int firstLine = 0;               // the number of lines.front()
  std::vector<std::string> lines;  // cp1252, at most `around` on each side of the asked line
  bool found = false;              // the asked line exists
};
// Nothing when `line` < 1 or the file cannot be read now.
std::optional<LineContext> readLineContext(const LineIndex& index, const std::string& path, int line, int around);

}  // namespace tavex
