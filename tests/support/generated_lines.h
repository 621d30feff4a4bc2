// The lines (without CR LF) of a file the synthetic-file generator makes.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "generator.h"

namespace tavex::testing {

// The lines of a generated text (CR LF line ends).
inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));  // CR
  return lines;
}

inline std::vector<std::string> generatedLines(const GeneratorOptions& options) {
  std::ostringstream out;
  generateCotepe(out, options);
  return linesOf(out.str());
}

}  // namespace tavex::testing
