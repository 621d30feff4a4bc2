#include "validation/totals.h"

namespace tavex {

bool currentDocumentHasHeader(ValidationRun& run) {
  return run.documentTotals.currentCoo != 0 && run.documentEntry(run.documentTotals.currentCoo).headerLine != 0;
}

void closeCoupon(ValidationRun& run) { run.documentTotals.currentCoo = 0; }
void closeNonFiscalDocument(ValidationRun& run) { run.documentTotals.currentCoo = 0; }
void reportMissingCoo(ValidationRun&) {}
void checkNonFiscalAndPaymentTotals(ValidationRun&) {}
void checkReductionTotals(ValidationRun&) {}

}  // namespace tavex
