// The reconciliation table as tavex-cli conciliar prints it: aligned columns with
// the rows over the tolerance marked "*" (UTF-8, for the terminal), or CSV (as
// every table the program writes as CSV).
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "validation/memory_pair.h"
#include "validation/reconciliation.h"

namespace tavex::cli {

// One line per total: CRZ, date (DD/MM/AAAA), COO range, record, name, line,
// declared, computed, difference (reais with a decimal comma) and "*" when over
// the tolerance; then a line counting those. Control bytes of a name are shown as
// "\xHH".
std::string reconciliationText(const Reconciliation& table);

// The same rows as CSV (CsvTable: cp1252, ';', CR LF; a header line; amounts in
// reais with a decimal comma, the last column "S"/"N" for within the tolerance).
// Names as the file has them; a field holding ';', '"', CR or LF is quoted.
std::string reconciliationCsv(const Reconciliation& table);

// The reconciliation of an MF with an MFD (tavex-cli conciliar MF MFD): the two
// files, then the table of one file with, instead of its line, where each row's
// declared value ("MF:123") and documents ("MFD:40-97") come from, then the
// reductions not compared and why.
std::string memoryPairText(const MemoryPair& pair);
// The same rows as CSV (cp1252), with the columns "Declarado em" and "Documentos"
// in place of "Linha"; the reductions not compared are not rows of it.
std::string memoryPairCsv(const MemoryPair& pair);
// The JSON of the one-file table with "mf", "mfd" and "ecf" first, an "origem" in
// every total and "nao_comparadas" last.
nlohmann::ordered_json memoryPairJson(const MemoryPair& pair);

}  // namespace tavex::cli
