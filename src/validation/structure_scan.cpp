#include "validation/structure_scan.h"

#include <array>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "validation/messages.h"

namespace tavex {

namespace {

const char* outOfOrderMessage(FileKind kind) {
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

const char* incompatibleMessage(FileKind kind) {
  return kind == FileKind::MF ? msg::kIncompatibleMf : kind == FileKind::MFD ? msg::kIncompatibleMfd : msg::kIncompatibleRz;
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

}  // namespace

bool scanStructure(LineReader& file, ValidationRun& run) {
  file.rewind();
  std::string_view raw;
  std::string_view line = file.next(raw) ? stripLineEnd(raw) : std::string_view{};
  if (recordTypeOf(line) != 1) {
    run.reportError(msg::kFirstNotE01);
    return false;
  }
  const FileKind kind = fileKindOf(sliceField(line, 113, 3));

  line = file.next(raw) ? stripLineEnd(raw) : std::string_view{};
  if (recordTypeOf(line) != 2) {
    run.reportError(msg::kSecondNotE02);
    return false;
  }

  bool passed = true;
  int lineNumber = 2;
  int lastType = 0;
  std::array<bool, 22> present{};  // E04..E21 by type
  bool eadPresent = false;
  while (file.next(raw)) {
    line = stripLineEnd(raw);
    ++lineNumber;
    if (line.empty()) {
      run.reportError(outOfOrderMessage(kind));
      return false;
    }
    const int type = recordTypeOf(line);
    if (type == lastType) continue;
    if (type < lastType) {
      run.reportError(file.atEnd() ? msg::kNoEadAtEnd : outOfOrderMessage(kind));
      return false;
    }
    lastType = type;
    switch (riseFor(kind, type)) {
      case Rise::Nothing:
        break;
      case Rise::DuplicateE02:
        run.reportError(cformat(msg::kDuplicateE02, lineNumber, type));
        passed = false;
        break;
      case Rise::Incompatible:
        run.reportError(cformat(incompatibleMessage(kind), lineNumber, type));
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
      run.reportError(cformat(msg::kMissingRecord, type, type));
      passed = false;
    }
    if (!eadPresent) {
      run.reportError(msg::kMissingEad);
      passed = false;
    }
  }
  return passed;
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
      run.reportError(cformat(msg::kSizeOfEad, lineNumber, length));
    else
      run.reportError(cformat(msg::kSizeOfType, lineNumber, type, layout->length, length));
    passed = false;
  }
  return passed;
}

}  // namespace tavex
