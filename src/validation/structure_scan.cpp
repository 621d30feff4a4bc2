#include "validation/structure_scan.h"

#include <array>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "validation/messages.h"

namespace tavex {

namespace {

const char* const& outOfOrderMessage(FileKind kind) {
  switch (kind) {
    case FileKind::MF: return msg::kOutOfOrderMf;
    case FileKind::MFD: return msg::kOutOfOrderMfd;
    case FileKind::TDM: return msg::kOutOfOrderTdm;
    case FileKind::RZ: return msg::kOutOfOrderRz;
    case FileKind::None: break;
  }
  return msg::kOutOfOrderOther;
}

// What a rise of the record type to `type` means in a file of `kind`.
enum class Rise { Nothing, DuplicateE02, MarkPresent, Incompatible };

Rise riseFor(FileKind kind, int type) {
  const bool fiscalMemory = type >= 3 && type <= 13;
  const bool documents = type >= 14 && type <= 20;
  switch (kind) {
    case FileKind::MF:
      if (type == 2) return Rise::DuplicateE02;
      if (type >= 4 && type <= 13) return Rise::MarkPresent;
      if (documents) return Rise::Incompatible;
      if (type == kEadType) return Rise::MarkPresent;
      return Rise::Nothing;
    case FileKind::MFD:
      if (type == 2) return Rise::DuplicateE02;
      if (fiscalMemory) return Rise::Incompatible;
      if (documents || type == 21 || type == kEadType) return Rise::MarkPresent;
      return Rise::Nothing;
    case FileKind::TDM:
      if (type == 2) return Rise::DuplicateE02;
      if ((type >= 4 && type <= 21) || type == kEadType) return Rise::MarkPresent;
      return Rise::Nothing;
    case FileKind::RZ:
      if (fiscalMemory || (type >= 17 && type <= 20)) return Rise::Incompatible;
      return Rise::Nothing;
    case FileKind::None:
      break;
  }
  return Rise::Nothing;
}

const char* const& incompatibleMessage(FileKind kind) {
  if (kind == FileKind::MF) return msg::kIncompatibleMf;
  if (kind == FileKind::MFD) return msg::kIncompatibleMfd;
  return msg::kIncompatibleRz;
}

// The record types a kind requires, in the order they are reported.
struct Required {
  int first, last;
};

Required requiredRange(FileKind kind) {
  switch (kind) {
    case FileKind::MF: return {4, 13};
    case FileKind::MFD: return {14, 21};
    case FileKind::TDM: return {4, 21};
    default: return {0, -1};
  }
}

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
  const FileKind kind = fileKindOf(sliceField(line, 113, 3));
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
  std::array<bool, 22> present{};  // E04..E21 by type
  bool eadPresent = false;
  while (file.next(raw)) {
    line = stripLineEnd(raw);
    ++lineNumber;
    if (line.empty()) {
      run.reportError(outOfOrderMessage(kind), at(lineNumber, 0));
      return StructureVerdict::Failed;
    }
    const int type = recordTypeOf(line);
    sizesSeen = sizesSeen && sizeHolds(line, type);
    if (type == lastType) continue;
    if (type < lastType) {
      run.reportError(file.atEnd() ? msg::kNoEadAtEnd : outOfOrderMessage(kind), at(lineNumber, type));
      return StructureVerdict::Failed;
    }
    lastType = type;
    switch (riseFor(kind, type)) {
      case Rise::Nothing:
        break;
      case Rise::DuplicateE02:
        run.reportError(msg::kDuplicateE02, at(lineNumber, type), lineNumber, type);
        passed = false;
        break;
      case Rise::Incompatible:
        run.reportError(incompatibleMessage(kind), at(lineNumber, type), lineNumber, type);
        passed = false;
        break;
      case Rise::MarkPresent:
        if (type == kEadType)
          eadPresent = true;
        else
          present[static_cast<std::size_t>(type)] = true;
        break;
    }
  }

  const Required required = requiredRange(kind);
  if (required.first != 0) {
    for (int type = required.first; type <= required.last; ++type) {
      if (present[static_cast<std::size_t>(type)]) continue;
      run.reportError(msg::kMissingRecord, at(0, type), type, type);
      allPresent = false;
    }
    if (!eadPresent) {
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
