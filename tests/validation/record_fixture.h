// Feeds records one by one to a validation run, as the line pass does, and
// collects the findings; for tests of single record checks and of the totals.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cotepe/text.h"
#include "support/files.h"
#include "support/findings.h"
#include "support/sample_files.h"
#include "support/scripted_ui.h"
#include "validation/record_check.h"
#include "validation/totals.h"
#include "validation/validation_run.h"

namespace tavex::testing {

using Findings = std::vector<std::string>;

// The cp1252 bytes of a UTF-8 text (expected messages are written in UTF-8 here).
inline std::string cp(const std::string& utf8) { return utf8ToCp1252(utf8); }

class RecordChecksTest : public ::testing::Test {
 protected:
  RecordChecksTest() : run(ui) {
    run.log.create(dir.file("run.log"));
    run.attach(collector);
    run.today = kSampleToday;
  }

  // The next line of the file (line numbers count from 1).
  void feed(const std::string& line, CheckMode mode = CheckMode::Full) {
    checkRecordLine(run, line, ++lineNumber, mode);
  }
  void feed(const std::vector<std::string>& lines, CheckMode mode = CheckMode::Full) {
    for (const std::string& l : lines) feed(l, mode);
  }
  // E01 of `kind` and E02: the reference values, without findings of their own.
  void start(const std::string& kind) {
    feed(sampleE01(kind));
    feed(sampleE02());
    clearFindings();
  }
  void endOfFile() { runEndOfFileReports(run); }

  Findings findings() const { return asLogLines(collector.findings); }
  void clearFindings() { collector.findings.clear(); }

  TempDir dir;
  ScriptedUserInterface ui;
  FindingCollector collector;
  ValidationRun run;
  int lineNumber = 0;
};

}  // namespace tavex::testing
