// Audit indicators ("indícios"): what the ECF's own counters and dates say when
// they are set against each other. A finding says the file breaks its format or
// its sums; an indicator says the file, well formed or not, shows a sign an
// auditor follows: a counter that goes back or skips (documents or reductions
// missing, a memory tampered with), a technical intervention, a late reduction.
//
// Indicators never reach the validation's log nor change its counts. They are
// read from the records whose length and typed fields passed their format checks
// (a record that failed is skipped, and the sequences it belonged to start again
// after it, so a damaged record never makes an indicator of its own).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavex {

enum class IndicatorLevel {
  Alerta,      // impossible for an honest, complete file under the counters' rules
  Informacao,  // worth a look, not a fault
};

// One indicator. Texts are cp1252; `code` has static storage.
struct Indicator {
  std::string_view code;  // "indicio.crz.sequencia" ... (indicatorCodes())
  IndicatorLevel level = IndicatorLevel::Alerta;
  int line = 0;        // line of the record it was seen on (0: none)
  int recordType = 0;  // 1..21 of that record
  std::int64_t crz = 0;  // the Z reduction concerned; 0 when none
  std::int64_t coo = 0;  // the document concerned; 0 when none
  std::string expected;  // what the counters' rules expect there (a number, a date AAAAMMDD, a share)
  std::string found;     // what the file holds
  std::string sentence;  // what was seen and why it matters, for the auditor
  // An indicator across files: the files concerned (paths as given, UTF-8), the
  // earlier one first. Empty for an indicator of one file.
  std::vector<std::string> files;
  // The consequences of one cause shown as one indicator (the documents of one
  // reduction dated off its day): how many, the line of the last one, and each of
  // them. `count` 1 and `members` empty for a single indicator.
  std::int64_t count = 1;
  int lastLine = 0;
  std::vector<Indicator> members;
};

// The table of codes: each code once, with its level and a line saying what it
// looks at (for the documentation and its test).
struct IndicatorCodeInfo {
  std::string_view code;
  IndicatorLevel level;
  std::string_view what;  // UTF-8
};
const std::vector<IndicatorCodeInfo>& indicatorCodes();

// The level of a code of the table (Alerta for any other).
IndicatorLevel indicatorLevelOf(std::string_view code);

// "alerta" / "informacao".
std::string_view indicatorLevelName(IndicatorLevel level);

struct IndicatorSettings {
  // indicio.cancelamentos: a reduction whose cancelled coupons exceed this share,
  // in hundredths of a percent (1000 = 10 %).
  std::int64_t cancellationLimitHundredths = 1000;
  // indicio.gt.vendas: the difference in centavos still taken as equal.
  std::int64_t toleranceCents = 0;
};

// A percentage typed by the user ("10", "12,5", "7.25") in hundredths of a
// percent; -1 when it is no number from 0 to 100 with at most two decimals.
std::int64_t percentHundredthsFromText(std::string_view text);

// Alerts first, then information, each in line order (the order reports show).
void sortAlertsFirst(std::vector<Indicator>& indicators);

}  // namespace tavex
