#include "cli/reconciliation_table.h"

#include <algorithm>
#include <vector>

#include "cli/batch_report.h"
#include "cli/file_validation.h"
#include "cotepe/br_format.h"
#include "cotepe/text.h"

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

std::vector<Row> rowsOf(const Reconciliation& table) {
  std::vector<Row> rows;
  for (const ReductionReconciliation& r : table.reductions)
    for (const ReconciledTotal& t : r.totals)
      rows.push_back({{cformat("%06d", r.crz), dateOf(r.date), cformat("%06d-%06d", r.firstCoo, r.lastCoo),
                       std::string(recordNameOf(t.kind)), cp1252ToUtf8(trimRight(t.name)),
                       t.line == 0 ? "" : std::to_string(t.line), formatCents(t.declared), formatCents(t.computed),
                       formatCents(t.difference)},
                      !t.withinTolerance});
  return rows;
}

const std::vector<std::string> kHeader = {"CRZ",  "Data",      "COOs",      "Registro", "Nome",
                                          "Linha", "Declarado", "Calculado", "Diferença"};

}  // namespace

std::string reconciliationText(const Reconciliation& table) {
  std::vector<Row> rows = rowsOf(table);
  for (Row& row : rows) row.cells[4] = visibleText(row.cells[4]);  // a name from the file may hold any byte
  std::vector<std::size_t> widths;
  for (const std::string& h : kHeader) widths.push_back(displayWidth(h));
  for (const Row& row : rows)
    for (std::size_t c = 0; c < row.cells.size(); ++c) widths[c] = std::max(widths[c], displayWidth(row.cells[c]));
  const auto line = [&](const std::vector<std::string>& cells, bool over) {
    std::string text;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const std::size_t pad = widths[c] - std::min(widths[c], displayWidth(cells[c]));
      const bool number = c >= 5;
      text += number ? std::string(pad, ' ') + cells[c] : cells[c] + std::string(pad, ' ');
      text += "  ";
    }
    text += over ? "*" : "";
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + "\n";
  };
  std::string out = line(kHeader, false);
  for (const Row& row : rows) out += line(row.cells, row.over);
  out += cformat("\n%zu total(is) em %zu redução(ões); %zu acima da tolerância de %s (marcados com *).\n",
                 rows.size(), table.reductions.size(), table.rowsOverTolerance(),
                 formatCents(table.toleranceCents).c_str());
  if (!table.complete)
    out += "Somas incompletas. " + cp1252ToUtf8(switchedOffNotice(table)) +
           "; os valores calculados a partir dessa linha não são fatos.\n";
  return out;
}

std::string reconciliationCsv(const Reconciliation& table) {
  std::string out;
  const auto write = [&](const std::vector<std::string>& cells) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const std::string& cell = cells[c];
      if (c > 0) out += ';';
      if (cell.find_first_of(";\"\r\n") == std::string::npos) {
        out += cell;
        continue;
      }
      out += '"';
      for (char ch : cell) out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
      out += '"';
    }
    out += '\n';
  };
  std::vector<std::string> header = kHeader;
  header.push_back("Dentro da tolerância");
  write(header);
  for (Row& row : rowsOf(table)) {
    row.cells.push_back(row.over ? "N" : "S");
    write(row.cells);
  }
  return utf8ToCp1252(out);  // like every CSV file the program writes
}

}  // namespace tavex::cli
