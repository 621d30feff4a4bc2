#include "validation/structure_scan.h"

#include <array>

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

StructureVerdict scanStructure(LineReader& file, ValidationRun& run, bool* sizesHold) {
  bool sizesSeen = true;  // every line so far passes the size scan
  file.rewind();
  std::string_view raw;
  std::string_view line = file.next(raw) ? stripLineEnd(raw) : std::string_view{};
  if (recordTypeOf(line) != 1) {
    run.reportError(msg::kFirstNotE01, at(1, recordTypeOf(line)));
    return StructureVerdict::Failed;
  }
  const FileKindRules& kind = fileKindRules(fileKindOf(fieldOf(line, E01::ComandoGeracao)));
  sizesSeen = sizeHolds(line, 1);

  line = file.next(raw) ? stripLineEnd(raw) : std::string_view{};
  if (recordTypeOf(line) != 2) {
    run.reportError(msg::kSecondNotE02, at(2, recordTypeOf(line)));
    return StructureVerdict::Failed;
  }
  sizesSeen = sizesSeen && sizeHolds(line, 2);

  bool passed = true;         // no rule failed but the required types
  bool allPresent = true;
  int lineNumber = 2;
  int lastType = 0;
  std::array<bool, 22> present{};  // E01..E21 by type
  bool eadPresent = false;
  while (file.next(raw)) {
    line = stripLineEnd(raw);
    ++lineNumber;
    if (line.empty()) {
      run.reportError(*kind.outOfOrder, at(lineNumber, 0));
      return StructureVerdict::Failed;
    }
    const int type = recordTypeOf(line);
    sizesSeen = sizesSeen && sizeHolds(line, type);
    if (type == lastType) continue;
    if (type < lastType) {
      run.reportError(file.atEnd() ? msg::kNoEadAtEnd : *kind.outOfOrder, at(lineNumber, type));
      return StructureVerdict::Failed;
    }
    lastType = type;
    // Only a rise of the type is examined: a group of one type gives one finding.
    if (type == 2 && kind.reportsSecondE02) {
      run.reportError(msg::kDuplicateE02, at(lineNumber, type), lineNumber, type);
      passed = false;
    } else if (contains(kind.forbidden, type)) {
      run.reportError(*kind.incompatible, at(lineNumber, type), lineNumber, type);
      passed = false;
    } else if (type == kEadType) {
      eadPresent = true;
    } else if (type >= 1 && type <= 21) {
      present[static_cast<std::size_t>(type)] = true;
    }
  }

  if (kind.required != 0) {
    for (int type = 1; type <= 21; ++type) {
      if (!contains(kind.required, type) || present[static_cast<std::size_t>(type)]) continue;
      run.reportError(msg::kMissingRecord, at(0, type), type, type);
      allPresent = false;
    }
    if (contains(kind.required, kEadType) && !eadPresent) {
      run.reportError(msg::kMissingEad, at(0, kEadType));
      allPresent = false;
    }
  }
  if (sizesHold != nullptr) *sizesHold = sizesSeen;
  if (!passed) return StructureVerdict::Failed;
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
