// Runs validations of files written into a temporary folder and reads back what
// the log says.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.h"
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
    return validateCotepeFile(ui, path(), tolerance, ValidationOptions{kSampleToday});
  }
  ValidationSummary validateQuick(const std::vector<std::string>& lines) {
    writeFile(path(), joinLines(lines));
    return validateCotepeFileQuick(ui, path(), ValidationOptions{kSampleToday});
  }
  std::string path() const { return dir.file("ecf.txt"); }
  // The log with the file's path replaced by "ARQUIVO", so goldens do not depend on the folder.
  std::string log() const {
    std::string text = readFile(path() + ".log");
    const std::string p = path();
    for (std::size_t at; (at = text.find(p)) != std::string::npos;) text.replace(at, p.size(), "ARQUIVO");
    return text;
  }
  // The finding lines ("[ERR] ..." / "[AVISO] ...") of the log, without their CR LF.
  std::vector<std::string> findings() const {
    std::vector<std::string> out;
    const std::string text = readFile(path() + ".log");
    int dashLines = 0;  // findings lie between the header's closing dashes and the summary's
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      start = end + 2;
      if (line.starts_with("-----")) {
        ++dashLines;
        continue;
      }
      if (dashLines != 2 || line.empty()) continue;
      if (line.starts_with("[ERR] ") || line.starts_with("[AVISO] ") || out.empty())
        out.push_back(line);
      else
        out.back() += "\n" + line;  // a message with a line break of its own
    }
    return out;
  }

  TempDir dir;
  ScriptedUserInterface ui;
};

}  // namespace tavex::testing
