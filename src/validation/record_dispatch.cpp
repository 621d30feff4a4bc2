#include "cotepe/text.h"
#include "validation/messages.h"
#include "validation/record_check.h"
#include "validation/record_checks.h"
#include "validation/totals.h"

namespace tavex {

RecordCheck recordCheckFor(int type) {
  static constexpr RecordCheck kChecks[] = {
      checkRecordE01, checkRecordE02, checkRecordE03, checkRecordE04, checkRecordE05, checkRecordE06,
      checkRecordE07, checkRecordE08, checkRecordE09, checkRecordE10, checkRecordE11, checkRecordE12,
      checkRecordE13, checkRecordE14, checkRecordE15, checkRecordE16, checkRecordE17, checkRecordE18,
      checkRecordE19, checkRecordE20, checkRecordE21};
  if (type >= 1 && type <= 21) return kChecks[type - 1];
  if (type == kEadType) return checkRecordEad;
  return nullptr;
}

void checkRecordLine(ValidationRun& run, std::string_view line, int lineNumber, CheckMode mode) {
  if (line.empty()) return;
  const int type = recordTypeOf(line);
  if (mode == CheckMode::Full && (type == 16 || type == 21) && currentDocumentHasHeader(run)) {
    if (type == 16)
      closeCoupon(run);
    else
      closeNonFiscalDocument(run);
  }
  const RecordCheck check = recordCheckFor(type);
  if (check == nullptr) {
    run.reportError(msg::kUnknownRecordType, at(lineNumber, type), lineNumber);
    return;
  }
  check(run, RecordLine{line, lineNumber, type, mode});
}

bool isRestBlank(std::string_view line, int position) {
  if (position < 1) return false;
  const auto from = static_cast<std::size_t>(position - 1);
  if (from >= line.size()) return true;
  for (std::size_t i = from; i < line.size(); ++i)
    if (line[i] != ' ' && line[i] != '0') return false;
  return true;
}

}  // namespace tavex
