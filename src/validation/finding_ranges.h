// Missing COO numbers as ranges. The log writes one line per number missing from
// the sequence, so one COO changed to 999999 makes a million lines; a reader of the
// findings as data (JSON, the report, the database) gets one finding per run of
// consecutive numbers instead.
#pragma once

#include <cstdint>

#include "validation/finding.h"

namespace tavex {

// Passes every finding on to `next` as it comes, except that two or more
// consecutive missing COO numbers go on as one finding of code
// "totais.coo_faltante" whose place has `coo` (the first), `lastCoo` and whose
// message names the range and its count; a number missing alone goes on as the
// log has it. A range is passed on when the next finding is not its continuation
// and by flush(), which the caller makes once the run is over. `next` must outlive
// the object. One thread.
class MissingCooRanges : public FindingSink {
 public:
  explicit MissingCooRanges(FindingSink& next) : next_(next) {}
  void onFinding(const Finding& finding) override;
  // Passes on the range still held, if any.
  void flush();

 private:
  FindingSink& next_;
  Finding first_;      // the first number of the range held
  int last_ = 0;       // its last number; 0 when no range is held
};

// The count of numbers of a finding: lastCoo - coo + 1 for a range, 1 otherwise.
std::int64_t cooCountOf(const FindingPlace& place);

}  // namespace tavex
