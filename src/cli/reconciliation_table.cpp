#include "cli/reconciliation_table.h"

#include <algorithm>
#include <vector>

#include "cli/batch_report.h"
#include "cli/file_validation.h"
#include "cotepe/br_format.h"
#include "cotepe/text.h"
#include "export/table_csv.h"

namespace tavex::cli {

namespace {

std::string dateOf(const std::string& yyyymmdd) {
  const std::optional<std::string> day = brazilianDate(yyyymmdd);
  return day ? *day : cp1252ToUtf8(yyyymmdd);
}

struct Row {
  std::vector<std::string> cells;
  bool over = false;
};

// Where the rows of a pair come from, by reduction and total; none for one file.
using Origins = std::vector<std::vector<TotalOrigin>>;

std::string fileName(PairFile file) { return file == PairFile::Mf ? "MF" : "MFD"; }

// The row's "Declarado em" and "Documentos" cells of a pair.
std::vector<std::string> originCells(const TotalOrigin& o) { return {declaredInText(o), documentsText(o)}; }

std::vector<Row> rowsOf(const Reconciliation& table, const Origins* origins = nullptr) {
  std::vector<Row> rows;
  for (std::size_t i = 0; i < table.reductions.size(); ++i) {
    const ReductionReconciliation& r = table.reductions[i];
    // What every row of the reduction repeats, made once.
    const std::string crz = cformat("%06d", r.crz), date = dateOf(r.date),
                      coos = cformat("%06d-%06d", r.firstCoo, r.lastCoo);
    for (std::size_t k = 0; k < r.totals.size(); ++k) {
      const ReconciledTotal& t = r.totals[k];
      Row row{{crz, date, coos, std::string(recordNameOf(t.kind)), cp1252ToUtf8(trimRight(t.name))},
              !t.withinTolerance};
      row.cells.reserve(10);
      if (origins == nullptr) {
        row.cells.push_back(t.line == 0 ? "" : std::to_string(t.line));
      } else {
        for (std::string& cell : originCells((*origins)[i][k])) row.cells.push_back(std::move(cell));
      }
      for (const std::int64_t amount : {t.declared, t.computed, t.difference}) row.cells.push_back(formatCents(amount));
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

const std::vector<std::string> kHeader = {"CRZ",  "Data",      "COOs",      "Registro", "Nome",
                                          "Linha", "Declarado", "Calculado", "Diferença"};
const std::vector<std::string> kPairHeader = {"CRZ",       "Data",      "COOs",      "Registro",
                                              "Nome",      "Declarado em", "Documentos", "Declarado",
                                              "Calculado", "Diferença"};

// The aligned table (names shown with their control bytes as "\xHH"), amounts and
// lines right-aligned from column `firstNumber`, and the line counting the rows.
std::string alignedTable(const Reconciliation& table, const std::vector<std::string>& header, std::vector<Row> rows,
                         std::size_t firstNumber) {
  for (Row& row : rows) row.cells[4] = visibleText(row.cells[4]);  // a name from the file may hold any byte
  std::vector<std::size_t> widths;
  for (const std::string& h : header) widths.push_back(displayWidth(h));
  for (const Row& row : rows)
    for (std::size_t c = 0; c < row.cells.size(); ++c) widths[c] = std::max(widths[c], displayWidth(row.cells[c]));
  const auto line = [&](const std::vector<std::string>& cells, bool over) {
    std::string text;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const std::size_t pad = widths[c] - std::min(widths[c], displayWidth(cells[c]));
      const bool number = c >= firstNumber;
      text += number ? std::string(pad, ' ') + cells[c] : cells[c] + std::string(pad, ' ');
      text += "  ";
    }
    text += over ? "*" : "";
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + "\n";
  };
  std::string out = line(header, false);
  for (const Row& row : rows) out += line(row.cells, row.over);
  out += cformat("\n%zu total(is) em %zu redução(ões); %zu acima da tolerância de %s (marcados com *).\n",
                 rows.size(), table.reductions.size(), table.rowsOverTolerance(),
                 formatCents(table.toleranceCents).c_str());
  if (!table.complete)
    out += "Somas incompletas. " + cp1252ToUtf8(switchedOffNotice(table)) +
           "; os valores calculados a partir dessa linha não são fatos.\n";
  return out;
}

// The rows as CSV (CsvTable), with the last column "S"/"N" for within the tolerance.
std::string csvTable(std::vector<std::string> header, std::vector<Row> rows) {
  CsvTable table;
  header.push_back("Dentro da tolerância");
  table.rowUtf8(header);
  for (Row& row : rows) {
    row.cells.push_back(row.over ? "N" : "S");
    table.rowUtf8(row.cells);
  }
  return table.text();
}

std::string describe(const PairIdentity& id) {
  return visibleText(id.path) + " (" + visibleText(cp1252ToUtf8(trimRight(id.serial))) + ", " +
         dateOf(id.periodStart) + " a " + dateOf(id.periodEnd) + ")";
}

std::string reasonText(const NotComparedReduction& z, const MemoryPair& pair) {
  if (z.reason == NotComparedReason::NotInMf) return "ausente do MF, embora no seu período";
  return z.file == PairFile::Mf ? "fora do período do MFD (" + dateOf(pair.mfd.periodStart) + " a " + dateOf(pair.mfd.periodEnd) + ")"
                                : "fora do período do MF (" + dateOf(pair.mf.periodStart) + " a " + dateOf(pair.mf.periodEnd) + ")";
}

}  // namespace

std::string reconciliationText(const Reconciliation& table) { return alignedTable(table, kHeader, rowsOf(table), 5); }

std::string reconciliationCsv(const Reconciliation& table) { return csvTable(kHeader, rowsOf(table)); }

std::string memoryPairText(const MemoryPair& pair) {
  std::string out = "MF:  " + describe(pair.mf) + "\nMFD: " + describe(pair.mfd) + "\n\n";
  out += alignedTable(pair.reconciliation, kPairHeader, rowsOf(pair.reconciliation, &pair.origins), 7);
  if (!pair.notCompared.empty()) {
    out += cformat("\n%zu redução(ões) não comparada(s):\n", pair.notCompared.size());
    for (const NotComparedReduction& z : pair.notCompared)
      out += cformat("  CRZ %06d  %s  %s:%d  %s\n", z.crz, dateOf(z.date).c_str(), fileName(z.file).c_str(), z.line,
                     reasonText(z, pair).c_str());
  }
  return out;
}

std::string memoryPairCsv(const MemoryPair& pair) {
  return csvTable(kPairHeader, rowsOf(pair.reconciliation, &pair.origins));
}

nlohmann::ordered_json memoryPairJson(const MemoryPair& pair) {
  using json = nlohmann::ordered_json;
  json out;
  out["mf"] = visibleText(pair.mf.path);
  out["mfd"] = visibleText(pair.mfd.path);
  out["ecf"] = cp1252ToUtf8(trimRight(pair.mf.serial));
  json table = reconciliationJson(pair.reconciliation);
  for (std::size_t i = 0; i < pair.origins.size(); ++i)
    for (std::size_t k = 0; k < pair.origins[i].size(); ++k) {
      const TotalOrigin& o = pair.origins[i][k];
      const auto lineOrNull = [](int line) { return line == 0 ? json(nullptr) : json(line); };
      table["reducoes"][i]["totais"][k]["origem"] = {
          {"declarado", {{"arquivo", fileName(o.declaredIn)}, {"linha", lineOrNull(o.declaredLine)}}},
          {"documentos",
           {{"arquivo", "MFD"}, {"linha_inicial", lineOrNull(o.documentsFirstLine)}, {"linha_final", lineOrNull(o.documentsLastLine)}}}};
    }
  for (auto& [key, value] : table.items()) out[key] = value;
  json skipped = json::array();
  for (const NotComparedReduction& z : pair.notCompared)
    skipped.push_back({{"arquivo", fileName(z.file)},
                       {"linha", z.line},
                       {"crz", z.crz},
                       {"data", cp1252ToUtf8(z.date)},
                       {"motivo", z.reason == NotComparedReason::NotInMf ? "ausente_do_mf" : "fora_do_periodo"}});
  out["nao_comparadas"] = std::move(skipped);
  return out;
}

}  // namespace tavex::cli
