// Reduction totals E17/E18, non-fiscal documents E19/E20, payments E21, and the
// signature record EAD.
#include "cotepe/text.h"
#include "validation/field_checks.h"
#include "validation/messages.h"
#include "validation/record_checks.h"

namespace tavex {

void checkRecordE17(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(17), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
}

void checkRecordE18(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(18), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
}

void checkRecordE19(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(19), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
}

void checkRecordE20(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(20), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
}

void checkRecordE21(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(21), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
}

void checkRecordEad(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(kEadType), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
  if (rec.mode == CheckMode::Full && isBlankOrZero(f[2], 256))
    run.reportError(cformat(msg::kEadUnsigned, rec.number));
}

}  // namespace tavex
