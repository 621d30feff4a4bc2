#include "cotepe/line_index.h"

#include <stdio.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "cotepe/line_reader.h"
#include "cotepe/record_layout.h"
#include "platform/platform.h"

namespace tavex {

void LineIndex::add(std::string_view rawLine) {
  if (lines_ % kLinesPerMark == 0) marks_.push_back(bytes_);
  ++lines_;
  bytes_ += rawLine.size();
}

std::map<int, std::string> LineIndex::linesOf(const std::string& path, const std::vector<int>& wanted) const {
  std::map<int, std::string> found;
  if (wanted.empty()) return found;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return found;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(f, std::fclose);
  char* buffer = nullptr;
  std::size_t capacity = 0;
  int line = 0;  // the line the next getline reads, 0: not placed yet
  for (const int w : wanted) {
    if (w < 1 || w > lines_) continue;
    const auto mark = static_cast<std::size_t>((w - 1) / kLinesPerMark);
    const int markLine = static_cast<int>(mark) * kLinesPerMark + 1;
    // Reads on from where it is when that is no farther than the wanted line's mark.
    if (line == 0 || line > w || line < markLine) {
      if (fseeko(f, static_cast<off_t>(marks_[mark]), SEEK_SET) != 0) break;
      line = markLine;
    }
    ssize_t n = 0;
    while (line <= w && (n = platform::readLine(&buffer, &capacity, f)) >= 0) ++line;
    if (n < 0) break;
    found[w] = std::string(stripLineEnd(std::string_view(buffer, static_cast<std::size_t>(n))));
  }
  const bool failed = std::ferror(f) != 0;
  std::free(buffer);
  if (failed) found.clear();
  return found;
}

std::optional<LineIndex> indexOfFile(const std::string& path) {
  LineReader reader;
  if (!reader.open(path)) return std::nullopt;
  LineIndex index;
  std::string_view raw;
  while (reader.next(raw)) index.add(raw);
  if (reader.readFailed()) return std::nullopt;
  return index;
}

std::optional<LineContext> readLineContext(const LineIndex& index, const std::string& path, int line, int around) {
  if (line < 1) return std::nullopt;
  LineContext context;
  context.firstLine = std::max(1, line - around);
  std::vector<int> wanted;
  for (int n = context.firstLine; n <= line + around; ++n) wanted.push_back(n);
  const std::map<int, std::string> read = index.linesOf(path, wanted);
  if (read.empty() && index.lines() > 0) return std::nullopt;  // the file cannot be read now
  for (const auto& [n, text] : read) {
    if (n != context.firstLine + static_cast<int>(context.lines.size())) break;
    context.lines.push_back(text);
    if (n == line) context.found = true;
  }
  return context;
}

}  // namespace tavex
