// The reconciliation table as tavex-cli conciliar prints it: aligned columns with
// the rows over the tolerance marked "*" (UTF-8, for the terminal), or CSV (cp1252,
// like every CSV file of the program).
#pragma once

#include <string>

#include "validation/reconciliation.h"

namespace tavex::cli {

// One line per total: CRZ, date (DD/MM/AAAA), COO range, record, name, line,
// declared, computed, difference (reais with a decimal comma) and "*" when over
// the tolerance; then a line counting those. Control bytes of a name are shown as
// "\xHH".
std::string reconciliationText(const Reconciliation& table);

// The same rows as CSV in cp1252 (';', LF, a header line; amounts in reais with a
// decimal comma, the last column "S"/"N" for within the tolerance). Names as the
// file has them; a field holding ';', '"', CR or LF is quoted.
std::string reconciliationCsv(const Reconciliation& table);

}  // namespace tavex::cli
