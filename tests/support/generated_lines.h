// The lines (without CR LF) of a file the synthetic-file generator makes.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "generator.h"

namespace tavex::testing {

inline std::vector<std::string> generatedLines(const GeneratorOptions& options) {
  std::ostringstream out;
  generateCotepe(out, options);
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));  // CR
  return lines;
}

}  // namespace tavex::testing
