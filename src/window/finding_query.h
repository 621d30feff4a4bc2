// Which findings a findings list shows and in what order, without any widget: the
// rows of one severity (or both), one record type, one code, whose message holds a
// search text (ignoring case), with the field-format findings (the causes) first
// when asked. The browser workbench pages its findings through it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "validation/finding.h"

namespace tavex {

struct FindingQuery {
  int severity = -1;     // -1 both, 0 errors, 1 warnings
  int recordType = 0;    // 0: every type
  std::string code;      // empty: every code
  std::string search;    // cp1252; empty: every message
  bool causeFirst = false;

  bool accepts(const Finding& finding) const;
};

// The indices into `findings` of those `query` accepts, in the log's order (the
// causes first, each group in that order, with causeFirst). Linear in the findings.
std::vector<std::size_t> selectFindings(const std::vector<Finding>& findings, const FindingQuery& query);

// True when `text` holds `needle`, letters compared without case (cp1252: A-Z and
// the accented capitals À..Þ against their small letters). An empty needle is held.
bool containsIgnoringCase(std::string_view text, std::string_view needle);

}  // namespace tavex
