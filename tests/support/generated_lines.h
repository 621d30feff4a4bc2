// The lines (without CR LF) of a file the synthetic-file generator makes.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
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

// Writes `value` into `field` of `line` as the generator does: zero-padded to the
// field's width.
template <class Field>
void setField(std::string& line, Field field, std::int64_t value) {
  const FieldLayout& f = fieldLayout(field);
  line.replace(static_cast<std::size_t>(f.start - 1), static_cast<std::size_t>(f.width),
               cformat("%0*lld", f.width, static_cast<long long>(value)));
}

}  // namespace tavex::testing
