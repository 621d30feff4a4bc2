// Documents of the detail-tape memory: E14 coupon header, E15 coupon item, E16
// other documents.
#include "validation/record_checks.h"

namespace tavex {

void checkRecordE14(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(14), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
}

void checkRecordE15(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(15), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
}

void checkRecordE16(ValidationRun& run, const RecordLine& rec) {
  RecordFields f(*layoutOf(16), rec.text);
  if (!checkLengthAndFormat(run, rec, f)) return;
}

}  // namespace tavex
