#include "validation/reconciliation.h"

#include <limits>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "validation/money.h"
#include "validation/validation_run.h"

namespace tavex {

namespace {

std::int64_t saturatedDifference(std::int64_t a, std::int64_t b) {
  const __int128 d = static_cast<__int128>(a) - b;
  if (d > std::numeric_limits<std::int64_t>::max()) return std::numeric_limits<std::int64_t>::max();
  if (d < std::numeric_limits<std::int64_t>::min()) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(d);
}

ReconciledTotal row(TotalKind kind, std::string name, int line, std::int64_t declared, std::int64_t computed,
                    std::int64_t tolerance) {
  ReconciledTotal r;
  r.kind = kind;
  r.name = std::move(name);
  r.line = line;
  r.declared = declared;
  r.computed = computed;
  r.difference = saturatedDifference(declared, computed);
  r.withinTolerance = !disagree(declared, computed, tolerance);
  return r;
}

// A sales totalizer (tributado "nnTnnnn"/"nnSnnnn", F, I, N) is compared with the
// coupons' sums by totalizer; the others by the named sums of discounts,
// surcharges and cancellations, or not at all.
bool isSalesTotalizer(const std::string& name) {
  return (name.size() > 2 && (name[2] == 'T' || name[2] == 'S')) ||
         (!name.empty() && (name[0] == 'F' || name[0] == 'I' || name[0] == 'N'));
}

void addReductionTotals(const CrzSlot& slot, std::int64_t tolerance, ReductionReconciliation& out) {
  out.totals.push_back(row(TotalKind::GrossSales, "", slot.reductionLine, slot.grossSales, slot.documentsGross, tolerance));
  const std::pair<std::string_view, std::int64_t> namedSums[] = {
      {"DT", slot.sumDT}, {"DS", slot.sumDS}, {"AT", slot.sumAT},
      {"AS", slot.sumAS}, {"Can-T", slot.sumCanT}, {"Can-S", slot.sumCanS}};
  for (const auto& e : slot.totalizers) {
    const DeclaredTotal& total = e.value;
    if (isSalesTotalizer(e.name)) {
      if (total.line != 0)
        out.totals.push_back(row(TotalKind::Totalizer, e.name, total.line, total.value, total.documentSum, tolerance));
      continue;
    }
    for (const auto& [prefix, sum] : namedSums) {
      if (!e.name.starts_with(prefix)) continue;
      out.totals.push_back(row(TotalKind::Totalizer, e.name, total.line, total.value, sum, tolerance));
      break;
    }
  }
}

void addDocumentTotals(const CrzSlot& slot, std::int64_t tolerance, ReductionReconciliation& out) {
  for (const auto& e : slot.nonFiscal)
    out.totals.push_back(row(TotalKind::NonFiscal, e.name, e.value.line, e.value.value, e.value.documentSum, tolerance));
  for (const auto& e : slot.payments) {
    if (e.name.starts_with("TROCO")) continue;  // change given is not a payment
    out.totals.push_back(row(TotalKind::Payment, e.name, e.value.line, e.value.value, e.value.documentSum, tolerance));
  }
}

}  // namespace

std::string_view recordNameOf(TotalKind kind) {
  switch (kind) {
    case TotalKind::GrossSales: return "E12";
    case TotalKind::Totalizer: return "E13";
    case TotalKind::NonFiscal: return "E17";
    case TotalKind::Payment: return "E18";
  }
  return "";
}

std::string switchedOffNotice(const Reconciliation& reconciliation) {
  return cformat("As verificações de conteúdo foram desligadas a partir da linha %d por um erro de formato: "
                 "corrija-o primeiro"_cp,
                 reconciliation.switchedOffAtLine);
}

std::size_t Reconciliation::rowsOverTolerance() const {
  std::size_t n = 0;
  for (const ReductionReconciliation& r : reductions)
    for (const ReconciledTotal& t : r.totals) n += t.withinTolerance ? 0 : 1;
  return n;
}

Reconciliation reconcile(const ValidationRun& run) {
  Reconciliation out;
  out.toleranceCents = run.toleranceCents;
  out.complete = !run.formatFailed;
  out.switchedOffAtLine = run.formatFailed ? run.formatFailedLine : 0;
  const FileKindRules& rules = fileKindRules(run.fileKind);
  const bool documentTotals = rules.documentTotals, reductionTotals = rules.reductionTotals;
  if (!documentTotals && !reductionTotals) return out;
  std::int64_t previousCoo = 0;
  // The reductions the reports walk: from the first stored one to the first empty slot.
  for (std::int64_t crz = run.firstStoredCrz; crz <= kMaxCrz; ++crz) {
    const CrzSlot& slot = run.crzTable[static_cast<std::size_t>(crz)];
    if (slot.reductionCoo == 0) break;
    ReductionReconciliation r;
    r.crz = static_cast<int>(crz);
    r.line = slot.reductionLine;
    r.date = slot.reductionDate;
    r.firstCoo = static_cast<int>(previousCoo + 1);
    r.lastCoo = slot.reductionCoo;
    if (slot.reductionCoo > previousCoo) previousCoo = slot.reductionCoo;
    if (reductionTotals) addReductionTotals(slot, run.toleranceCents, r);
    if (documentTotals) addDocumentTotals(slot, run.toleranceCents, r);
    out.reductions.push_back(std::move(r));
  }
  return out;
}

}  // namespace tavex
