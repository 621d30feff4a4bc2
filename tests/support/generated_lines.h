// The lines (without CR LF) of a file the synthetic-file generator makes.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
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

// The part of a file's lines (without CR LF) holding reductions `firstCrz` to
// `lastCrz` and their documents, as the ECF gives a file of that period: its E01
// says those reductions' CRZ range and days; the other records of the fiscal
// memory's head stay.
inline std::vector<std::string> reductionsOf(const std::vector<std::string>& lines, int firstCrz, int lastCrz) {
  std::int64_t lowCoo = 0, highCoo = 0;  // the documents: after the previous reduction, up to the last
  std::string firstDay, lastDay;
  for (const std::string& line : lines) {
    const int type = recordTypeOf(line);
    if (type != 12 && type != 16) continue;
    const std::int64_t crz = leadingInt(type == 12 ? fieldOf(line, E12::Crz) : fieldOf(line, E16::Crz));
    const std::int64_t coo = leadingInt(type == 12 ? fieldOf(line, E12::Coo) : fieldOf(line, E16::Coo));
    const std::string day(type == 12 ? fieldOf(line, E12::DataMovimento) : fieldOf(line, E16::DataFinal));
    if (crz == firstCrz - 1) lowCoo = coo;
    if (crz == firstCrz) firstDay = day;
    if (crz == lastCrz) {
      highCoo = coo;
      lastDay = day;
    }
  }
  const auto inside = [&](std::string_view coo) { return leadingInt(coo) > lowCoo && leadingInt(coo) <= highCoo; };
  const auto crzInside = [&](std::string_view crz) { return leadingInt(crz) >= firstCrz && leadingInt(crz) <= lastCrz; };
  const auto set = [](std::string& line, const FieldLayout& field, const std::string& value) {
    line.replace(static_cast<std::size_t>(field.start - 1), static_cast<std::size_t>(field.width), value);
  };
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    bool keep = true;
    switch (recordTypeOf(line)) {
      case 1: {
        std::string e01 = line;
        set(e01, fieldLayout(E01::DataInicial), firstDay);
        set(e01, fieldLayout(E01::DataFinal), lastDay);
        set(e01, fieldLayout(E01::CrzInicial), cformat("%06d", firstCrz));
        set(e01, fieldLayout(E01::CrzFinal), cformat("%06d", lastCrz));
        out.push_back(e01);
        continue;
      }
      case 12: keep = crzInside(fieldOf(line, E12::Crz)); break;
      case 13: keep = crzInside(fieldOf(line, E13::Crz)); break;
      case 17: keep = crzInside(fieldOf(line, E17::Crz)); break;
      case 18: keep = crzInside(fieldOf(line, E18::Crz)); break;
      case 14: keep = inside(fieldOf(line, E14::Coo)); break;
      case 15: keep = inside(fieldOf(line, E15::Coo)); break;
      case 16: keep = inside(fieldOf(line, E16::Coo)); break;
      case 19: keep = inside(fieldOf(line, E19::Coo)); break;
      case 20: keep = inside(fieldOf(line, E20::Coo)); break;
      case 21: keep = inside(fieldOf(line, E21::Coo)); break;
      default: break;
    }
    if (keep) out.push_back(line);
  }
  return out;
}

}  // namespace tavex::testing
