#include "indicators/file_indicators.h"

#include <algorithm>
#include <utility>

#include "indicators/indicator_collector.h"

namespace tavex {

IndicatorRun validateWithIndicators(Notifier& notifier, const std::string& path, std::int64_t toleranceCents,
                                    const IndicatorSettings& settings, ValidationOptions options) {
  IndicatorSettings withTolerance = settings;
  withTolerance.toleranceCents = toleranceCents;
  IndicatorCollector collector(withTolerance);
  options.recordObserver = &collector;
  IndicatorRun run;
  run.summary = validateCotepeFile(notifier, path, toleranceCents, options);
  if (run.summary.ran) run.indicators = collector.finish();
  return run;
}

bool hasAlert(const std::vector<Indicator>& indicators) {
  return std::any_of(indicators.begin(), indicators.end(),
                     [](const Indicator& i) { return i.level == IndicatorLevel::Alerta; });
}

}  // namespace tavex
