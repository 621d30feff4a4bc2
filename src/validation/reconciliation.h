// The reconciliation of a file's Z reductions: every total the fiscal memory
// declares for a reduction next to the sum of that reduction's documents, exactly
// the comparisons the end-of-file reports make (a row over the tolerance is a
// finding of the log, and every such finding is a row over the tolerance).
//
// Built from a run's tables after its line pass; the run's kind decides which
// totals are compared: E17 and E18 for MFD and TDM files, E12 and E13 for TDM and
// RZ files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavex {

class ValidationRun;

enum class TotalKind { GrossSales, Totalizer, NonFiscal, Payment };  // E12, E13, E17, E18

// "E12", "E13", "E17", "E18".
std::string_view recordNameOf(TotalKind kind);

struct ReconciledTotal {
  TotalKind kind = TotalKind::GrossSales;
  std::string name;     // cp1252: the totalizer, non-fiscal totalizer or payment means as in the file; empty for E12
  int line = 0;         // line of the declaring record (E12, E13, E17, E18)
  std::int64_t declared = 0;    // centavos
  std::int64_t computed = 0;    // centavos: the documents' sum
  std::int64_t difference = 0;  // declared - computed, saturated to 64 bits
  bool withinTolerance = true;
};

struct ReductionReconciliation {
  int crz = 0;
  int line = 0;          // line of its E12; 0 when only its totals were declared
  std::string date;      // DATA_MOVIMENTO of its E12 (AAAAMMDD), as in the file
  int firstCoo = 0;      // the COO range of its documents: after the previous reduction's COO
  int lastCoo = 0;       // up to its own (E12) COO
  std::vector<ReconciledTotal> totals;  // E12 first, then E13, E17, E18 in the file's order
};

struct Reconciliation {
  std::int64_t toleranceCents = 0;
  // False when a field-format failure switched the content checks off at line
  // `switchedOffAtLine`: the documents from there on were not added up, so the
  // computed sums are short and their differences are no facts.
  bool complete = true;
  int switchedOffAtLine = 0;  // 0 when complete
  std::vector<ReductionReconciliation> reductions;  // by CRZ, from the first stored one

  // Rows over the tolerance, over every reduction.
  std::size_t rowsOverTolerance() const;
};

// What an incomplete reconciliation tells its reader (cp1252, no final period):
// "As verificações de conteúdo foram desligadas a partir da linha N por um erro de
// formato: corrija-o primeiro". REQUIRES: !complete.
std::string switchedOffNotice(const Reconciliation& reconciliation);

// The reconciliation of `run` (after its line pass).
Reconciliation reconcile(const ValidationRun& run);

}  // namespace tavex
