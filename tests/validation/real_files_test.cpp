// Files shaped like real ones (record types with nothing to record left out) and
// generated files with bumped totals: what --continuar finds on them, and that
// every totals finding is a row of the reconciliation table over the tolerance.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "cotepe/text.h"
#include "support/generated_lines.h"
#include "generator.h"
#include "support/files.h"
#include "support/sample_files.h"
#include "support/scripted_ui.h"
#include "validation/validate.h"

namespace tavex::testing {
namespace {

std::size_t nthOf(const std::vector<std::string>& lines, const char* type, std::size_t skip = 0) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].starts_with(type) && skip-- == 0) return i;
  ADD_FAILURE() << "no " << type << " record";
  return 0;
}

// Adds `delta` centavos to the numeric field at [at, at + width) of a record.
void bump(std::string& record, std::size_t at, std::size_t width, std::int64_t delta) {
  const std::int64_t value = leadingInt(record.substr(at, width));
  if (value + delta < 0) delta = -delta;  // a total stays a valid number
  record.replace(at, width, cformat("%0*lld", static_cast<int>(width), static_cast<long long>(value + delta)));
}

struct Outcome {
  ValidationSummary summary;
  std::vector<Finding> findings;
  std::string log;
};

Outcome validateLines(const std::vector<std::string>& lines, std::int64_t tolerance, bool continuing) {
  TempDir dir;
  const std::string file = dir.file("ecf.txt");
  writeFile(file, joinLines(lines));
  ScriptedUserInterface ui;
  FindingCollector collector;
  ValidationOptions options{kSampleToday};
  options.sinks.push_back(&collector);
  options.continueAfterMissingRecords = continuing;
  Outcome run;
  run.summary = validateCotepeFile(ui, file, tolerance, options);
  run.findings = std::move(collector.findings);
  run.log = readFile(file + ".log");
  return run;
}

GeneratorOptions realTdm(std::uint64_t seed) {
  GeneratorOptions options;
  options.kind = FileKind::TDM;
  options.seed = seed;
  options.targetBytes = 120000;
  options.withoutUnusedRecords = true;
  return options;
}

std::set<int> missingTypes(const std::vector<Finding>& findings) {
  std::set<int> types;
  for (const Finding& f : findings)
    if (f.code == "estrutura.registro_ausente") types.insert(f.place.recordType);
  return types;
}

TEST(ContinueAfterMissingRecords, ARealShapedFileGivesTheMissingRecordLinesAndNothingElse) {
  const auto lines = generatedLines(realTdm(11));
  for (const char* absent : {"E04", "E10", "E19", "E20"})
    for (const std::string& l : lines) ASSERT_FALSE(l.starts_with(absent)) << absent;

  const Outcome deep = validateLines(lines, 0, true);
  ASSERT_TRUE(deep.summary.ran);
  EXPECT_EQ(missingTypes(deep.findings), (std::set<int>{4, 10, 19, 20}));
  EXPECT_EQ(deep.findings.size(), 4u);
  // Going on, they are warnings: the file has no error.
  EXPECT_EQ(deep.summary.errors, 0);
  EXPECT_EQ(deep.summary.warnings, 4);
  for (const Finding& f : deep.findings) EXPECT_EQ(f.severity, Severity::Warning);
  // The run went on: it reached the totals, and the log says why in one line.
  ASSERT_TRUE(deep.summary.reconciliation.has_value());
  EXPECT_FALSE(deep.summary.reconciliation->reductions.empty());
  EXPECT_EQ(deep.summary.reconciliation->rowsOverTolerance(), 0u);
  EXPECT_NE(deep.log.find("Validação continuada (--continuar)"_cp), std::string::npos);

  // Without the flag the run stops after the structural scan, as before, on errors.
  const Outcome plain = validateLines(lines, 0, false);
  EXPECT_EQ(missingTypes(plain.findings), (std::set<int>{4, 10, 19, 20}));
  EXPECT_EQ(plain.summary.errors, 4);
  EXPECT_EQ(plain.summary.warnings, 0);
  EXPECT_FALSE(plain.summary.reconciliation.has_value());
  EXPECT_EQ(plain.log.find("--continuar"), std::string::npos);
}

TEST(ContinueAfterMissingRecords, ABumpedE13TotalAddsExactlyItsFinding) {
  auto lines = generatedLines(realTdm(12));
  const std::size_t e13 = nthOf(lines, "E13", 3);
  bump(lines[e13], 59, 13, 250);
  const int crz = static_cast<int>(leadingInt(lines[e13].substr(46, 6)));

  const Outcome deep = validateLines(lines, 5, true);
  EXPECT_EQ(missingTypes(deep.findings), (std::set<int>{4, 10, 19, 20}));
  ASSERT_EQ(deep.findings.size(), 5u);
  const Finding& total = deep.findings.back();
  EXPECT_EQ(total.code, "totais.e13");
  EXPECT_EQ(total.place.line, static_cast<int>(e13) + 1);
  EXPECT_EQ(total.place.crz, crz);
  ASSERT_TRUE(total.place.declared && total.place.computed);
  EXPECT_EQ(*total.place.declared - *total.place.computed, 250);

  // The default run never gets there.
  const Outcome plain = validateLines(lines, 5, false);
  EXPECT_EQ(plain.findings.size(), 4u);
}

std::string_view totalsCodeOf(TotalKind kind) {
  switch (kind) {
    case TotalKind::GrossSales: return "totais.e12";
    case TotalKind::Totalizer: return "totais.e13";
    case TotalKind::NonFiscal: return "totais.e17";
    case TotalKind::Payment: return "totais.e18";
  }
  return "";
}

// Every totals finding of the log is a row of the table over the tolerance (same
// CRZ, line and amounts), and every such row is a finding: over generated files of
// MFD, TDM and RZ kinds with totals of each record bumped by amounts around the tolerance.
TEST(ReconciliationAgreesWithFindings, OverGeneratedFilesWithBumpedTotals) {
  constexpr std::int64_t kTolerance = 5;
  const std::int64_t deltas[] = {kTolerance, kTolerance + 1, -kTolerance - 1, 999};
  int bumpedFiles = 0;
  // MFD and RZ files have no E12 to anchor a reduction: their tables stay empty,
  // and so must their totals findings.
  for (FileKind kind : {FileKind::MFD, FileKind::TDM, FileKind::RZ})
    for (std::uint64_t seed = 1; seed <= (kind == FileKind::TDM ? 10u : 2u); ++seed) {
      GeneratorOptions options;
      options.kind = kind;
      options.seed = seed;
      options.targetBytes = 80000;
      auto lines = generatedLines(options);
      // Bump a few totals, chosen by the seed, in every record type the kind declares.
      std::size_t pick = seed;
      for (const auto& [type, at, width] : {std::tuple{"E12", 86, 14}, {"E13", 59, 13}, {"E17", 67, 13}, {"E18", 67, 13}}) {
        std::size_t count = 0;
        for (const std::string& l : lines) count += l.starts_with(type);
        for (std::size_t k = 0; k < count && k < 3; ++k) {
          const std::size_t row = nthOf(lines, type, (pick * 7 + k * 5) % count);
          bump(lines[row], static_cast<std::size_t>(at), static_cast<std::size_t>(width), deltas[(pick + k) % 4]);
          ++pick;
        }
      }
      const Outcome run = validateLines(lines, kTolerance, false);
      ASSERT_TRUE(run.summary.reconciliation.has_value()) << static_cast<int>(kind) << " seed " << seed;
      using Key = std::tuple<std::string, int, int, std::int64_t, std::int64_t>;  // code, crz, line, declared, computed
      std::multiset<Key> fromFindings, fromTable;
      for (const Finding& f : run.findings) {
        if (!f.code.starts_with("totais.e")) continue;
        ASSERT_TRUE(f.place.declared && f.place.computed) << f.message;
        fromFindings.insert({std::string(f.code), f.place.crz, f.place.line, *f.place.declared, *f.place.computed});
      }
      for (const ReductionReconciliation& r : run.summary.reconciliation->reductions)
        for (const ReconciledTotal& t : r.totals) {
          EXPECT_EQ(t.withinTolerance, t.difference <= kTolerance && t.difference >= -kTolerance);
          EXPECT_EQ(t.difference, t.declared - t.computed);
          if (!t.withinTolerance) fromTable.insert({std::string(totalsCodeOf(t.kind)), r.crz, t.line, t.declared, t.computed});
        }
      EXPECT_EQ(fromFindings, fromTable) << static_cast<int>(kind) << " seed " << seed;
      EXPECT_EQ(run.summary.reconciliation->rowsOverTolerance(), fromTable.size());
      bumpedFiles += !fromTable.empty();
    }
  EXPECT_EQ(bumpedFiles, 10);  // the property was not checked on empty sets
}

}  // namespace
}  // namespace tavex::testing
