// The totals cross-checks: each document against its own items when it is
// complete (closeCoupon, closeNonFiscalDocument), and at the end of the file the
// missing COO numbers and every reduction total against the documents' sums,
// within the run's tolerance.
#pragma once

#include <optional>

#include "validation/reconciliation.h"
#include "validation/validation_run.h"

namespace tavex {

// REQUIRES: documentTotals.currentCoo != 0 and its entry has a header line.
// Both end with currentCoo 0; clearing the sums is the caller's task.
void closeCoupon(ValidationRun& run);
void closeNonFiscalDocument(ValidationRun& run);

// True when the document being read has a header (the closing condition).
bool currentDocumentHasHeader(ValidationRun& run);

// The sums of the document an item (E15, E20) of COO `coo` belongs to: an item of
// another COO than the document being read closes that one with `close` (when it
// has a header) and starts new sums.
DocumentTotals& itemDocument(ValidationRun& run, std::int64_t coo, void (*close)(ValidationRun&));

// Turns a document header's percentages (hundredths of a percent) into centavos,
// in the order its indicator gives. The discount is a share of the subtotal (plus
// the surcharge in "A" order) unless `icmsNetTotal` is given (a coupon of a
// reduction without ISS discount): then it is a share of that total in "D" order,
// and what the net total leaves in "A" order.
void convertPercentages(DocumentEntry& d, std::optional<std::int64_t> icmsNetTotal);

// The end-of-file reports in their order: missing COO numbers (not for MF files,
// see checksCooSequence); for MFD and TDM files
// the non-fiscal and payment totals; for TDM (and RZ) files the reduction totals.
void runEndOfFileReports(ValidationRun& run);

void reportMissingCoo(ValidationRun& run);
// The totals over the tolerance in `table` (built from `run`), in the log's order:
// payments (E18) and non-fiscal totals (E17) of every reduction, then the gross
// sales (E12) and totalizers (E13) of every reduction.
void reportReconciliation(ValidationRun& run, const Reconciliation& table);

}  // namespace tavex
