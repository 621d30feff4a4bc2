// Writes files into a temporary folder and runs the full validation with the
// indicators; helpers to damage generated files field by field.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cotepe/text.h"
#include "generator.h"
#include "indicators/file_indicators.h"
#include "support/files.h"
#include "support/generated_lines.h"
#include "support/sample_files.h"
#include "support/scripted_ui.h"

namespace tavex::testing {

class IndicatorTest : public ::testing::Test {
 protected:
  IndicatorRun run(const std::vector<std::string>& lines, IndicatorSettings settings = {}, bool continuing = false) {
    writeFile(path(), joinLines(lines));
    ValidationOptions options{kSampleToday};
    options.continueAfterMissingRecords = continuing;
    return validateWithIndicators(ui, path(), 0, settings, options);
  }
  std::vector<Indicator> indicators(const std::vector<std::string>& lines, IndicatorSettings settings = {}) {
    return run(lines, settings).indicators;
  }
  std::string path() const { return dir.file("ecf.txt"); }

  static std::vector<std::string> generated(FileKind kind, std::uint64_t seed = 1, std::uint64_t reductions = 6) {
    GeneratorOptions options;
    options.kind = kind;
    options.seed = seed;
    options.reductions = reductions;
    options.couponsPerReduction = 8;
    return generatedLines(options);
  }

  // Index of the `skip`-th line (from 0) of record `type` ("E12").
  static std::size_t nth(const std::vector<std::string>& lines, const char* type, std::size_t skip = 0) {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i].starts_with(type) && skip-- == 0) return i;
    ADD_FAILURE() << "no " << type;
    return 0;
  }
  // Field at 1-based `start` of `width` characters, as a number.
  static std::int64_t numberAt(const std::string& line, int start, int width) {
    return leadingInt(std::string_view(line).substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(width)));
  }
  static void setNumber(std::string& line, int start, int width, std::int64_t value) {
    line.replace(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(width),
                 cformat("%0*lld", width, static_cast<long long>(value)));
  }

  // Copies: the list they come from is often a temporary.
  static std::vector<Indicator> withCode(const std::vector<Indicator>& all, std::string_view code) {
    std::vector<Indicator> out;
    for (const Indicator& i : all)
      if (i.code == code) out.push_back(i);
    return out;
  }
  static std::vector<Indicator> alerts(const std::vector<Indicator>& all) {
    std::vector<Indicator> out;
    for (const Indicator& i : all)
      if (i.level == IndicatorLevel::Alerta) out.push_back(i);
    return out;
  }
  static std::string describe(const std::vector<Indicator>& all) {
    std::string out;
    for (const Indicator& i : all)
      out += cformat("%s L%d E%02d esperado=%s encontrado=%s: %s\n", std::string(i.code).c_str(), i.line, i.recordType,
                     i.expected.c_str(), i.found.c_str(), cp1252ToUtf8(i.sentence).c_str());
    return out;
  }

  TempDir dir;
  ScriptedUserInterface ui;
};

}  // namespace tavex::testing
