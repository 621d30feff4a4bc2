// The MF against the MFD of one ECF: the same rows as the TDM file holding both,
// only the part both cover compared, and the pairs that cannot be reconciled refused.
#include <algorithm>
#include <sstream>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "generator.h"
#include "support/generated_lines.h"
#include "validation/memory_pair.h"
#include "validation_fixture.h"

namespace tavex::testing {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));  // CR
  return lines;
}

struct Memories {
  std::vector<std::string> mf, mfd;
};

Memories split(const std::vector<std::string>& tdm) {
  std::ostringstream mf, mfd;
  splitMemories(joinLines(tdm), mf, mfd);
  return {linesOf(mf.str()), linesOf(mfd.str())};
}

int typeOf(const std::string& line) { return recordTypeOf(line); }

class MemoryPairTest : public ValidationTest {
 protected:
  MemoryPair pair(const std::vector<std::string>& mf, const std::vector<std::string>& mfd, std::int64_t tolerance = 0) {
    writeFile(dir.file("mf.txt"), joinLines(mf));
    writeFile(dir.file("mfd.txt"), joinLines(mfd));
    pairFindings.findings.clear();
    PairOptions options;
    options.today = kSampleToday;
    options.sinks.push_back(&pairFindings);
    return reconcileMemories(ui, dir.file("mf.txt"), dir.file("mfd.txt"), tolerance, options);
  }
  // The codes and places of the totals findings, E17/E18 lines given as the TDM's.
  static std::vector<std::string> totalsFindings(const std::vector<Finding>& findings) {
    std::vector<std::string> out;
    for (const Finding& f : findings)
      if (f.code.starts_with("totais."))
        out.push_back(std::string(f.code) + " " + std::to_string(f.place.line) + " " + std::to_string(f.place.crz) +
                      " " + std::to_string(f.place.coo));
    return out;
  }

  // The pair's rows equal the TDM file's, row for row; the E17/E18 lines are the
  // MFD's, the others the MF's (which are the TDM's).
  void expectSameAsTdm(const std::vector<std::string>& tdm, std::int64_t tolerance = 0) {
    const Memories m = split(tdm);
    const ValidationSummary whole = validate(tdm, tolerance);
    const std::vector<std::string> tdmTotals = totalsFindings(collector.findings);
    ASSERT_TRUE(whole.reconciliation);
    const MemoryPair p = pair(m.mf, m.mfd, tolerance);
    ASSERT_TRUE(p.ran) << ui.messages.size();
    EXPECT_TRUE(p.notCompared.empty());
    EXPECT_EQ(totalsFindings(pairFindings.findings), tdmTotals);
    const auto& expected = whole.reconciliation->reductions;
    const auto& actual = p.reconciliation.reductions;
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(actual.size(), expected.size());
    ASSERT_EQ(p.origins.size(), actual.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE("CRZ " + std::to_string(expected[i].crz));
      EXPECT_EQ(actual[i].crz, expected[i].crz);
      EXPECT_EQ(actual[i].line, expected[i].line);
      EXPECT_EQ(actual[i].date, expected[i].date);
      EXPECT_EQ(actual[i].firstCoo, expected[i].firstCoo);
      EXPECT_EQ(actual[i].lastCoo, expected[i].lastCoo);
      ASSERT_EQ(actual[i].totals.size(), expected[i].totals.size());
      for (std::size_t k = 0; k < expected[i].totals.size(); ++k) {
        const ReconciledTotal &a = actual[i].totals[k], &e = expected[i].totals[k];
        SCOPED_TRACE(std::string(recordNameOf(e.kind)) + " " + e.name);
        EXPECT_EQ(a.kind, e.kind);
        EXPECT_EQ(a.name, e.name);
        EXPECT_EQ(a.declared, e.declared);
        EXPECT_EQ(a.computed, e.computed);
        EXPECT_EQ(a.difference, e.difference);
        EXPECT_EQ(a.withinTolerance, e.withinTolerance);
        const TotalOrigin& o = p.origins[i][k];
        const bool inMfd = e.kind == TotalKind::NonFiscal || e.kind == TotalKind::Payment;
        EXPECT_EQ(o.declaredIn, inMfd ? PairFile::Mfd : PairFile::Mf);
        EXPECT_EQ(o.declaredLine + (inMfd ? p.mfdLineOffset : 0), e.line);
        EXPECT_EQ(m.mfd[static_cast<std::size_t>(o.documentsFirstLine == 0 ? 0 : o.documentsFirstLine - 1)].substr(0, 3),
                  o.documentsFirstLine == 0 ? "E01" : e.kind == TotalKind::NonFiscal ? "E19"
                                                     : e.kind == TotalKind::Payment  ? "E21"
                                                                                     : "E14");
      }
    }
  }

  FindingCollector pairFindings;
};

std::vector<std::string> generatedTdm(std::uint64_t seed, std::uint64_t reductions = 6) {
  GeneratorOptions options;
  options.seed = seed;
  options.reductions = reductions;
  options.couponsPerReduction = 12;
  return generatedLines(options);
}

TEST_F(MemoryPairTest, GeneratedMemoriesReconcileAsTheirTdmFileRowForRow) {
  for (std::uint64_t seed : {1, 5, 9, 23}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    expectSameAsTdm(generatedTdm(seed));
  }
}

TEST_F(MemoryPairTest, PercentageDiscountsAndDifferencesGiveTheTdmFilesRows) {
  // The sample's coupon with a percentage discount and surcharge, a totalizer off
  // by five centavos and a payment off by one real: differences, as in the TDM.
  std::vector<std::string> tdm = sampleTdmFile();
  for (std::string& line : tdm) {
    if (typeOf(line) == 14)
      line = sampleRecord(14, {{"COO", "1"}, {"SUBTOTAL", "1000"}, {"DESC_SUBTOTAL", "1000"}, {"TIPO_DESC", "P"},
                               {"ACRES_SUBTOTAL", "500"}, {"TIPO_ACR", "P"}, {"TOTAL_LIQUIDO", "945"},
                               {"ORDEM_DESC/ACR", "D"}});
    if (typeOf(line) == 13 && line.find("01T1800") != std::string::npos)
      line = sampleRecord(13, {{"CRZ", "1"}, {"TOTALIZADOR", "01T1800"}, {"VALOR_ACUMULADO", "1005"}});
    if (typeOf(line) == 18) line = sampleRecord(18, {{"CRZ", "1"}, {"MEIO_PAG", "DINHEIRO"}, {"VALOR_ACUM", "1600"}});
  }
  expectSameAsTdm(tdm);
  expectSameAsTdm(tdm, 100);
}

TEST_F(MemoryPairTest, ACouponRemovedFromTheMfdShowsOnItsReductionOnly) {
  const Memories m = split(generatedTdm(4));
  // The third coupon of reduction 2, with its items and payments.
  std::vector<std::string> mfd;
  std::string removedCoo;
  int couponsOfTwo = 0;
  for (const std::string& line : m.mfd) {
    if (typeOf(line) == 14 && fieldOf(line, E14::DataInicio) == "20120103" && ++couponsOfTwo == 3)
      removedCoo = std::string(fieldOf(line, E14::Coo));
    const bool removed = !removedCoo.empty() && ((typeOf(line) == 14 && fieldOf(line, E14::Coo) == removedCoo) ||
                                                 (typeOf(line) == 15 && fieldOf(line, E15::Coo) == removedCoo) ||
                                                 (typeOf(line) == 21 && fieldOf(line, E21::Coo) == removedCoo));
    if (!removed) mfd.push_back(line);
  }
  ASSERT_FALSE(removedCoo.empty());
  const MemoryPair p = pair(m.mf, mfd);
  ASSERT_TRUE(p.ran);
  ASSERT_GT(p.reconciliation.rowsOverTolerance(), 0u);
  for (const ReductionReconciliation& r : p.reconciliation.reductions)
    for (const ReconciledTotal& t : r.totals)
      if (!t.withinTolerance) {
        EXPECT_EQ(r.crz, 2) << recordNameOf(t.kind) << " " << t.name;
      }
  // The gross sales of reduction 2 is declared above the documents left.
  const ReconciledTotal& gross = p.reconciliation.reductions[1].totals[0];
  EXPECT_EQ(gross.kind, TotalKind::GrossSales);
  EXPECT_GT(gross.difference, 0);
  // And its number is missing from the COO sequence.
  const auto missing = std::count_if(pairFindings.findings.begin(), pairFindings.findings.end(), [&](const Finding& f) {
    return f.code == "totais.coo_faltante" && f.place.coo == leadingInt(removedCoo);
  });
  EXPECT_EQ(missing, 1);
}

TEST_F(MemoryPairTest, OnlyTheDaysBothFilesCoverAreComparedTheOthersListed) {
  const std::vector<std::string> tdm = generatedTdm(8, 9);
  const Memories whole = split(tdm);
  const MemoryPair p = pair(reductionsOf(whole.mf, 1, 6), reductionsOf(whole.mfd, 4, 9));
  ASSERT_TRUE(p.ran);
  std::vector<int> compared;
  for (const ReductionReconciliation& r : p.reconciliation.reductions) compared.push_back(r.crz);
  EXPECT_EQ(compared, (std::vector<int>{4, 5, 6}));
  EXPECT_EQ(p.reconciliation.rowsOverTolerance(), 0u);
  std::vector<std::string> listed;
  for (const NotComparedReduction& z : p.notCompared)
    listed.push_back((z.file == PairFile::Mf ? "MF " : "MFD ") + std::to_string(z.crz) +
                     (z.reason == NotComparedReason::OutsidePeriod ? "" : " ausente"));
  EXPECT_EQ(listed, (std::vector<std::string>{"MF 1", "MF 2", "MF 3", "MFD 7", "MFD 8", "MFD 9"}));
  EXPECT_EQ(totalsFindings(pairFindings.findings), std::vector<std::string>{});
}

TEST_F(MemoryPairTest, PairsThatCannotBeReconciledAreRefused) {
  const Memories m = split(generatedTdm(2, 3));
  const auto refusal = [&](const std::vector<std::string>& mf, const std::vector<std::string>& mfd) {
    ui.messages.clear();
    const MemoryPair p = pair(mf, mfd);
    EXPECT_FALSE(p.ran);
    return ui.messages.empty() ? std::string() : cp1252ToUtf8(ui.messages.back().text);
  };
  // Another ECF: both serials named.
  std::vector<std::string> other = m.mfd;
  other[0].replace(static_cast<std::size_t>(fieldLayout(E01::NumeroFabricacao).start - 1), 20, "XY000000000000000099");
  std::string text = refusal(m.mf, other);
  EXPECT_NE(text.find("ECFs diferentes"), std::string::npos) << text;
  EXPECT_NE(text.find("TX000000000000000001"), std::string::npos) << text;
  EXPECT_NE(text.find("XY000000000000000099"), std::string::npos) << text;
  // Periods without a day in common.
  text = refusal(reductionsOf(m.mf, 1, 1), reductionsOf(m.mfd, 2, 3));
  EXPECT_NE(text.find("não se sobrepõem"), std::string::npos) << text;
  // Two MF files, either order of MF and MFD being accepted.
  text = refusal(m.mf, m.mf);
  EXPECT_NE(text.find("Informe um arquivo MF"), std::string::npos) << text;
  EXPECT_TRUE(pair(m.mfd, m.mf).ran);
  // A file that fails its structure: named, with its first finding.
  std::vector<std::string> broken = m.mfd;
  broken.insert(broken.begin() + 3, "");
  text = refusal(m.mf, broken);
  EXPECT_NE(text.find("mfd.txt não passou na verificação de estrutura"), std::string::npos) << text;
  EXPECT_NE(text.find("fora da ordem"), std::string::npos) << text;
  // A damaged E01: no ECF to compare.
  std::vector<std::string> damaged = m.mf;
  damaged[0] = "X" + damaged[0].substr(1, 0);
  text = refusal(damaged, m.mfd);
  EXPECT_NE(text.find("mf.txt não começa por um registro E01"), std::string::npos) << text;
}

// A record after E01 that names another ECF than its E01 (serial, MF addition or
// model) makes the files no pair of one ECF, in either file, wherever it stands.
TEST_F(MemoryPairTest, RecordsOfAnotherEcfMakeThePairRefusedNamingTheLine) {
  const Memories m = split(generatedTdm(2, 3));
  struct Case {
    bool inMfd;
    int type;         // the first record of this type is changed
    int field;        // 2 serial, 3 MF addition, 4 model
    std::string value;
  };
  const std::vector<Case> cases = {
      {true, 15, 2, "XY000000000000000099"}, {true, 21, 3, "B"},  {true, 2, 4, "OUTRO MODELO"},
      {false, 12, 2, "XY000000000000000099"}, {false, 13, 4, "OUTRO MODELO"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> mf = m.mf, mfd = m.mfd;
    std::vector<std::string>& changed = c.inMfd ? mfd : mf;
    const auto it = std::find_if(changed.begin(), changed.end(), [&](const std::string& l) { return typeOf(l) == c.type; });
    ASSERT_NE(it, changed.end()) << c.type;
    const FieldLayout& field = layoutOf(c.type)->field(c.field);
    std::string value = c.value;
    value.resize(static_cast<std::size_t>(field.width), ' ');
    it->replace(static_cast<std::size_t>(field.start - 1), value.size(), value);
    ui.messages.clear();
    EXPECT_FALSE(pair(mf, mfd).ran) << c.type;
    ASSERT_FALSE(ui.messages.empty());
    const std::string text = cp1252ToUtf8(ui.messages.back().text);
    const std::string expected = cformat("%s tem registros de outra ECF: a linha %d (E%02d)", c.inMfd ? "mfd.txt" : "mf.txt",
                                         static_cast<int>(it - changed.begin()) + 1, c.type);
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    EXPECT_NE(text.find(std::string(trimRight(value))), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace tavex::testing
