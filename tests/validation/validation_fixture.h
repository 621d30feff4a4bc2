// Runs validations of files written into a temporary folder and collects their
// findings; the log itself is there for the golden files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/findings.h"
#include "support/sample_files.h"
#include "support/scripted_ui.h"
#include "validation/validate.h"

namespace tavex::testing {

class ValidationTest : public ::testing::Test {
 protected:
  // Writes `lines` (CR LF after each) and runs the full validation with the sample "today".
  ValidationSummary validate(const std::vector<std::string>& lines, std::int64_t tolerance = 0) {
    return validateBytes(joinLines(lines), tolerance);
  }
  ValidationSummary validateBytes(const std::string& bytes, std::int64_t tolerance = 0) {
    writeFile(path(), bytes);
    return validateCotepeFile(ui, path(), tolerance, options());
  }
  ValidationSummary validateQuick(const std::vector<std::string>& lines) {
    writeFile(path(), joinLines(lines));
    return validateCotepeFileQuick(ui, path(), options());
  }
  std::string path() const { return dir.file("ecf.txt"); }
  // The log with the file's path replaced by "ARQUIVO", so goldens do not depend on the folder.
  std::string log() const {
    std::string text = readFile(path() + ".log");
    const std::string p = path();
    for (std::size_t at; (at = text.find(p)) != std::string::npos;) text.replace(at, p.size(), "ARQUIVO");
    return text;
  }
  // The findings of the last run as the log shows them, without their CR LF.
  std::vector<std::string> findings() const { return asLogLines(collector.findings); }

  ValidationOptions options() {
    collector.findings.clear();
    ValidationOptions o{kSampleToday};
    o.sinks.push_back(&collector);
    return o;
  }

  TempDir dir;
  ScriptedUserInterface ui;
  FindingCollector collector;
};

}  // namespace tavex::testing
