// Synthetic COTEPE files of any size, deterministic from a seed, for benchmarks,
// examples and whole-file tests.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "cotepe/record_layout.h"

namespace tavex {

struct GeneratorOptions {
  FileKind kind = FileKind::TDM;
  std::uint64_t seed = 1;
  std::uint64_t targetBytes = 100000;  // grows reductions until the file reaches this size
  std::string periodStart = "20120102";  // first day of movement
  bool crlf = true;
};

// Writes a whole file (E01 .. EAD) to `out`; returns the number of bytes written.
std::uint64_t generateCotepe(std::ostream& out, const GeneratorOptions& options);

}  // namespace tavex
