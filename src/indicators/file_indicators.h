// The indicators of one file, computed in the full validation's single read: the
// validation runs as always (its log written beside the file, its counts and
// findings unchanged) and the indicators come with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cotepe/notifier.h"
#include "indicators/indicator.h"
#include "validation/validate.h"

namespace tavex {

struct IndicatorRun {
  ValidationSummary summary;
  // Empty when the run could not read the whole file (summary.ran false).
  std::vector<Indicator> indicators;  // alerts first, then information, each in line order
};

// The full validation of `path` with its indicators. `options` as for
// validateCotepeFile; its recordObserver is replaced by the run's own.
IndicatorRun validateWithIndicators(Notifier& notifier, const std::string& path, std::int64_t toleranceCents,
                                    const IndicatorSettings& settings, ValidationOptions options = {});

// True when some indicator is an alert.
bool hasAlert(const std::vector<Indicator>& indicators);

}  // namespace tavex
