// libFuzzer target for the record reader and both validations: any bytes as a
// COTEPE file, validated in full (once with the audit indicators) and format-only.
// Each run must read the whole file and leave a log of whole CR LF lines closed by
// its summary; every indicator has a code and a sentence. Built by
// fuzz/CMakeLists.txt.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cotepe/text.h"
#include "fuzz_support.h"
#include "indicators/file_indicators.h"
#include "validation/validate.h"

namespace {

using tavex::operator""_cp;

class SilentNotifier : public tavex::Notifier {
 public:
  void showMessage(std::string_view, std::string_view, tavex::Icon) override { ++shown; }
  int shown = 0;
};

void checkLog(const tavex::ValidationSummary& summary, const std::string& logPath, const SilentNotifier& notifier) {
  if (!summary.ran || notifier.shown != 0) __builtin_trap();
  std::string log = tavex::fuzz::readAll(logPath);
  if (!tavex::fuzz::wholeCrLfLines(log)) __builtin_trap();
  if (log.find(std::to_string(summary.errors) + " erro(s) encontrado(s).\r\n") == std::string::npos) __builtin_trap();
  while (log.ends_with("\r\n")) log.resize(log.size() - 2);
  if (!log.ends_with("Fim da validação do arquivo."_cp)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto dir = tavex::fuzz::freshScratch("validation");
  const std::string path = tavex::fuzz::writeInput(dir, data, size);
  SilentNotifier notifier;
  tavex::ValidationOptions options{"20121009"};
  checkLog(tavex::validateCotepeFile(notifier, path, 5, options), path + ".log", notifier);
  options.continueAfterMissingRecords = true;
  const tavex::IndicatorRun withIndicators = tavex::validateWithIndicators(notifier, path, 0, {}, options);
  checkLog(withIndicators.summary, path + ".log", notifier);
  for (const tavex::Indicator& indicator : withIndicators.indicators)
    if (indicator.code.empty() || indicator.sentence.empty() || indicator.line <= 0) __builtin_trap();
  checkLog(tavex::validateCotepeFileQuick(notifier, path, options), path + ".log", notifier);
  return 0;
}
