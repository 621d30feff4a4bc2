// The split's I/O engine: a block of memory for the input (in 2 MB pages where the
// system grants them), chains of byte runs gathered for several outputs, written
// later each in order with gathered writes, and the opening of an output that is
// created (or emptied) on its first write and appended to afterwards. It knows
// nothing of records; the split decides which lines go where.
//
// Used by one thread; the chains and the pieces belong to one GatheredText.
#pragma once


#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cotepe/file_access.h"
#include "platform/platform.h"

namespace tavex {

struct FreeBlockMemory {
  void operator()(char* p) const { platform::freeBlock(p); }
};
using BlockMemory = std::unique_ptr<char[], FreeBlockMemory>;

// `size` bytes (a multiple of 2 MB) aligned for huge pages, advised to use them.
// Throws std::bad_alloc when there is no memory.
BlockMemory allocateBlock(std::size_t size);

// Runs of bytes gathered for several outputs. Each output has a Chain; a run names
// its source (an index into the bases given to write) and where it lies there.
class GatheredText {
 public:
  struct Chain {
    std::int32_t first = -1;  // its runs not yet written, in order
    std::int32_t last = -1;
    bool empty() const { return first < 0; }
  };

  // Appends a run to `chain`; one that continues the chain's last run in the same
  // source lengthens it.
  void add(Chain& chain, std::uint8_t source, std::size_t offset, std::size_t size);

  // Writes `chain`'s runs in order to `fd` (sources[i] is where source i's offsets
  // count from) and empties the chain. On a failure the file is cut back to
  // `written` bytes (so it ends where the last whole write ended), errno is set and
  // the answer is false; `written` grows by what was written otherwise.
  bool write(int fd, Chain& chain, std::span<const char* const> sources, std::uint64_t& written);

  // Forgets every run (the chains that point at them must be reset by the caller).
  void clear() { runs_.clear(); }
  bool empty() const { return runs_.empty(); }

 private:
  struct Run {
    std::size_t offset;
    std::size_t size;
    std::int32_t next;  // the chain's next run, -1 for none
    std::uint8_t source;
  };
  static constexpr std::size_t kIovecs = 256;  // runs per gathered write
  std::vector<Run> runs_;
  std::array<iovec, kIovecs> iovecs_{};
};

// Opens the output at `path` for writing: created, or emptied when a file is there
// (`first`: its first write in this run; `created` tells which), appended to
// afterwards. Never through a symbolic link, never into anything but a regular
// file. Answers the descriptor, or -1 with `error` and `systemError` set.
int openGatheredOutput(const std::string& path, bool first, OutputError& error, int& systemError, bool& created);

}  // namespace tavex
