#include "validation/structure_scan.h"

#include "cotepe/file_kind.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "validation/messages.h"

namespace tavex {

namespace {

// The size scan's rule for one non-empty line: types 3..13 and unknown types are
// not its business; the others must have their layout's length.
bool sizeHolds(std::string_view line, int type) {
  if ((type >= 3 && type <= 13) || (type != kEadType && (type < 1 || type > 21))) return true;
  return static_cast<int>(line.size()) == layoutOf(type)->length;
}

}  // namespace

bool StructureScanner::fail(const Message<>& message, int line, int type) {
  run_.reportError(message, at(line, type));
  failed_ = true;
  return false;
}

bool StructureScanner::feed(std::string_view line) {
  if (failed_) return false;
  const int n = ++lineNumber_;
  const int type = recordTypeOf(line);
  if (n == 1) {
    if (type != 1) return fail(msg::kFirstNotE01, 1, type);
    kind_ = &fileKindRules(fileKindOf(fieldOf(line, E01::ComandoGeracao)));
    sizesSeen_ = sizeHolds(line, 1);
    return true;
  }
  if (n == 2) {
    if (type != 2) return fail(msg::kSecondNotE02, 2, type);
    sizesSeen_ = sizesSeen_ && sizeHolds(line, 2);
    return true;
  }
  if (line.empty()) return fail(*kind_->outOfOrder, n, 0);
  sizesSeen_ = sizesSeen_ && sizeHolds(line, type);
  if (type == lastType_) return true;
  if (type < lastType_) return fail(file_.atEnd() ? msg::kNoEadAtEnd : *kind_->outOfOrder, n, type);
  lastType_ = type;
  // Only a rise of the type is examined: a group of one type gives one finding.
  if (type == 2 && kind_->reportsSecondE02) {
    run_.reportError(msg::kDuplicateE02, at(n, type), n, type);
    passed_ = false;
  } else if (contains(kind_->forbidden, type)) {
    run_.reportError(*kind_->incompatible, at(n, type), n, type);
    passed_ = false;
  } else if (type == kEadType) {
    eadPresent_ = true;
  } else if (type >= 1 && type <= 21) {
    present_[static_cast<std::size_t>(type)] = true;
  }
  return true;
}

template <typename... Args>
void StructureScanner::reportMissing(const Message<Args...>& message, int type, Args... args) {
  if (missingAreWarnings_)
    run_.reportWarning(message, at(0, type), args...);
  else
    run_.reportError(message, at(0, type), args...);
}

StructureVerdict StructureScanner::finish() {
  // A file of fewer than two lines: the first or second record is missing.
  if (!failed_ && lineNumber_ == 0) fail(msg::kFirstNotE01, 1, recordTypeOf({}));
  if (!failed_ && lineNumber_ == 1) fail(msg::kSecondNotE02, 2, recordTypeOf({}));
  if (failed_) return StructureVerdict::Failed;
  bool allPresent = true;
  if (kind_->required != 0) {
    for (int type = 1; type <= 21; ++type) {
      if (!contains(kind_->required, type) || present_[static_cast<std::size_t>(type)]) continue;
      reportMissing(msg::kMissingRecord, type, type, type);
      allPresent = false;
    }
    if (contains(kind_->required, kEadType) && !eadPresent_) {
      reportMissing(msg::kMissingEad, kEadType);
      allPresent = false;
    }
  }
  if (!passed_) return StructureVerdict::Failed;
  return allPresent ? StructureVerdict::Passed : StructureVerdict::OnlyMissingRecords;
}

bool scanRecordSizes(LineReader& file, ValidationRun& run) {
  file.rewind();
  bool passed = true;
  int lineNumber = 0;
  std::string_view raw;
  while (file.next(raw)) {
    const std::string_view line = stripLineEnd(raw);
    ++lineNumber;
    if (line.empty()) continue;
    const int type = recordTypeOf(line);
    if ((type >= 3 && type <= 13) || (type != kEadType && (type < 1 || type > 21))) continue;
    const RecordLayout* layout = layoutOf(type);
    const auto length = static_cast<int>(line.size());
    if (length == layout->length) continue;
    if (type == kEadType)
      run.reportError(msg::kSizeOfEad, at(lineNumber, type), lineNumber, length);
    else
      run.reportError(msg::kSizeOfType, at(lineNumber, type), lineNumber, type, layout->length, length);
    passed = false;
  }
  return passed;
}

}  // namespace tavex
