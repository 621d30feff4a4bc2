// The examinations of the whole file that come before any record is checked:
// record order and kinds, then record sizes. Both report errors (the missing record
// types of a run that goes on past them are warnings) and answer whether they passed.
#pragma once

#include <array>
#include <string_view>

#include "cotepe/file_kind.h"
#include "cotepe/line_reader.h"
#include "validation/validation_run.h"

namespace tavex {

// Passed; or only required record types are missing (every other rule held); or
// anything else failed.
enum class StructureVerdict { Passed, OnlyMissingRecords, Failed };

// The record order and kinds, one line at a time, so that a caller reading the
// file for other reasons needs no pass of its own. `file` is the reader the lines
// come from: a line whose type falls is judged by whether it is the file's last.
class StructureScanner {
 public:
  // With `missingAreWarnings` the missing record types are reported as warnings,
  // not errors (a run that goes on past them: real files leave out the types they
  // have nothing to record in); the verdict is the same.
  StructureScanner(ValidationRun& run, LineReader& file, bool missingAreWarnings = false)
      : run_(run), file_(file), missingAreWarnings_(missingAreWarnings) {}

  // The next line of the file, its line end removed. False once the structure has
  // failed (its finding reported): the lines after it do not matter.
  bool feed(std::string_view line);
  // After the last line (or after a false feed): reports the missing record types
  // and gives the verdict.
  StructureVerdict finish();
  // Whether every line fed passes scanRecordSizes (meaningful when the verdict is
  // not Failed: every line was then fed).
  bool sizesHold() const { return sizesSeen_; }

 private:
  bool fail(const Message<>& message, int line, int type);
  template <typename... Args>
  void reportMissing(const Message<Args...>& message, int type, Args... args);

  ValidationRun& run_;
  LineReader& file_;
  bool missingAreWarnings_;
  int lineNumber_ = 0;
  const FileKindRules* kind_ = nullptr;  // from E01
  bool failed_ = false;
  bool passed_ = true;  // no rule failed but the required types
  bool sizesSeen_ = true;
  int lastType_ = 0;
  std::array<bool, 22> present_{};  // E01..E21 by type
  bool eadPresent_ = false;
};

// Rewinds `file` and reports every line whose type has a fixed size and whose
// length differs from it.
bool scanRecordSizes(LineReader& file, ValidationRun& run);

}  // namespace tavex
