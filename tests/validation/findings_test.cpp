// Findings as data: each carries its place and stable code, every sink receives the
// same findings, the reconciliation table agrees with the totals findings, and a
// run with --continuar goes on past missing record types.
#include <algorithm>
#include <map>
#include <set>

#include "cotepe/text.h"
#include "validation/finding_ranges.h"
#include "validation_fixture.h"

namespace tavex::testing {
namespace {

std::vector<std::string> withRecord(std::vector<std::string> lines, int type, const Overrides& overrides) {
  for (std::string& l : lines)
    if (l.starts_with(cformat("E%02d", type))) l = sampleRecord(type, overrides);
  return lines;
}

const Finding* findByCode(const std::vector<Finding>& findings, std::string_view code) {
  for (const Finding& f : findings)
    if (f.code == code) return &f;
  return nullptr;
}

TEST_F(ValidationTest, AFieldFindingNamesItsLineRecordFieldAndCheck) {
  const auto lines = withRecord(sampleTdmFile(), 14,
                                {{"CCF/CVC/CBP", "1"}, {"COO", "1"}, {"SUBTOTAL", "1000"}, {"TOTAL_LIQUIDO", "1000"},
                                 {"CPF/CNPJ_CLI", "1234567890123A"}});
  validate(lines);
  const Finding* format = findByCode(collector.findings, "campo.formato_numerico");
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(format->severity, Severity::Error);
  EXPECT_EQ(format->place.line, 14);
  EXPECT_EQ(format->place.recordType, 14);
  EXPECT_EQ(format->place.field, 19);
  EXPECT_EQ(cp1252ToUtf8(format->message),
            "Linha 14: Campo 19 do registro Tipo E14 com conteúdo inválido. Campo numérico - informação com formato "
            "incompatível.");
  const Finding* customer = findByCode(collector.findings, "E14.cpf_cnpj_cliente");
  ASSERT_NE(customer, nullptr);
  EXPECT_EQ(customer->severity, Severity::Warning);
  EXPECT_EQ(customer->place.line, 14);
}

TEST_F(ValidationTest, ATotalsFindingCarriesItsReductionAndBothAmounts) {
  const auto lines = withRecord(sampleTdmFile(), 12, {{"CRZ", "1"}, {"COO", "3"}, {"VENDA_BRUTA_DIARIA", "1234"}});
  const ValidationSummary summary = validate(lines);
  ASSERT_EQ(collector.findings.size(), 1u);
  const Finding& f = collector.findings[0];
  EXPECT_EQ(f.code, "totais.e12");
  EXPECT_EQ(f.place.line, 12);
  EXPECT_EQ(f.place.recordType, 12);
  EXPECT_EQ(f.place.crz, 1);
  EXPECT_EQ(f.place.declared, 1234);
  EXPECT_EQ(f.place.computed, 1000);

  ASSERT_TRUE(summary.reconciliation.has_value());
  const Reconciliation& table = *summary.reconciliation;
  ASSERT_EQ(table.reductions.size(), 1u);
  const ReductionReconciliation& day = table.reductions[0];
  EXPECT_EQ(day.crz, 1);
  EXPECT_EQ(day.line, 12);
  EXPECT_EQ(day.firstCoo, 1);
  EXPECT_EQ(day.lastCoo, 3);
  EXPECT_EQ(day.date.size(), 8u);
  std::vector<std::string> rows;
  for (const ReconciledTotal& t : day.totals)
    rows.push_back(std::string(recordNameOf(t.kind)) + " " + std::string(trimRight(t.name)) + " " +
                   std::to_string(t.declared) + "/" + std::to_string(t.computed) + (t.withinTolerance ? "" : " !"));
  EXPECT_EQ(rows, (std::vector<std::string>{"E12  1234/1000 !", "E13 01T1800 1000/1000", "E17 SUPRIMENTO 500/500",
                                            "E18 DINHEIRO 1500/1500"}));
  EXPECT_EQ(table.rowsOverTolerance(), 1u);
  EXPECT_EQ(day.totals[0].difference, 234);

  // Within the tolerance: the same table, every row accepted, no finding.
  const ValidationSummary tolerated = validate(lines, 234);
  EXPECT_TRUE(collector.findings.empty());
  EXPECT_EQ(tolerated.reconciliation->rowsOverTolerance(), 0u);
}

// Every totals finding is a row over the tolerance with the same reduction and
// amounts, and every such row is a finding, whichever total disagrees.
TEST_F(ValidationTest, TheReconciliationAgreesWithTheTotalsFindings) {
  const std::vector<std::pair<int, Overrides>> bumps = {
      {12, {{"CRZ", "1"}, {"COO", "3"}, {"VENDA_BRUTA_DIARIA", "900"}}},
      {13, {{"CRZ", "1"}, {"TOTALIZADOR", "01T1800"}, {"VALOR_ACUMULADO", "1100"}}},
      {17, {{"CRZ", "1"}, {"TOT_NF", "SUPRIMENTO"}, {"VALOR_ACUM", "400"}}},
      {18, {{"CRZ", "1"}, {"MEIO_PAG", "DINHEIRO"}, {"VALOR_ACUM", "1700"}}},
  };
  for (const auto& [type, overrides] : bumps) {
    for (const std::int64_t tolerance : {0, 50, 150, 300}) {
      const ValidationSummary summary = validate(withRecord(sampleTdmFile(), type, overrides), tolerance);
      ASSERT_TRUE(summary.reconciliation.has_value());
      std::multiset<std::tuple<int, std::int64_t, std::int64_t>> fromFindings, fromTable;
      for (const Finding& f : collector.findings)
        if (f.code.starts_with("totais.e1"))
          fromFindings.insert({f.place.crz, *f.place.declared, *f.place.computed});
      for (const ReductionReconciliation& r : summary.reconciliation->reductions)
        for (const ReconciledTotal& t : r.totals)
          if (!t.withinTolerance) fromTable.insert({r.crz, t.declared, t.computed});
      EXPECT_EQ(fromFindings, fromTable) << "E" << type << " tolerance " << tolerance;
      EXPECT_EQ(fromTable.empty(), tolerance >= (type == 18 ? 200 : 100)) << "E" << type << " tolerance " << tolerance;
    }
  }
}

// A totals finding marks the field holding the total it is about, whatever field
// number its text cites (the net total is field 14 where the text says 12).
TEST_F(ValidationTest, TotalsAndDocumentFindingsMarkTheFieldHoldingTheTotal) {
  struct Case {
    int type;
    Overrides overrides;
    std::map<std::string, int> fieldByCode;
  };
  const std::vector<Case> cases = {
      {12, {{"CRZ", "1"}, {"COO", "3"}, {"VENDA_BRUTA_DIARIA", "900"}}, {{"totais.e12", 12}}},
      {13, {{"CRZ", "1"}, {"TOTALIZADOR", "01T1800"}, {"VALOR_ACUMULADO", "1100"}}, {{"totais.e13", 8}}},
      {17, {{"CRZ", "1"}, {"TOT_NF", "SUPRIMENTO"}, {"VALOR_ACUM", "400"}}, {{"totais.e17", 8}}},
      {18, {{"CRZ", "1"}, {"MEIO_PAG", "DINHEIRO"}, {"VALOR_ACUM", "1700"}}, {{"totais.e18", 8}}},
      {14, {{"CCF/CVC/CBP", "1"}, {"COO", "1"}, {"SUBTOTAL", "1100"}, {"TOTAL_LIQUIDO", "1100"}},
       {{"cupom.bruto_itens", 9}, {"cupom.liquido_itens", 14}}},
      {14, {{"CCF/CVC/CBP", "1"}, {"COO", "1"}, {"SUBTOTAL", "1000"}, {"TOTAL_LIQUIDO", "900"}},
       {{"cupom.liquido_cabecalho", 14}, {"cupom.liquido_itens", 14}}},
      {19, {{"COO", "2"}, {"GNF", "1"}, {"SUBTOTAL", "600"}, {"TOTAL_LIQUIDO", "600"}},
       {{"nao_fiscal.subtotal_itens", 9}, {"nao_fiscal.liquido_itens", 14}}},
  };
  for (const Case& c : cases) {
    validate(withRecord(sampleTdmFile(), c.type, c.overrides));
    for (const auto& [code, field] : c.fieldByCode) {
      const Finding* f = findByCode(collector.findings, code);
      ASSERT_NE(f, nullptr) << code;
      EXPECT_EQ(f->place.field, field) << code;
    }
  }
}

// The first field-format failure switches the content checks off: the documents
// after it are not added up, and the reconciliation says so and from which line.
TEST_F(ValidationTest, AFormatFailureMarksTheReconciliationIncompleteFromItsLine) {
  const ValidationSummary clean = validate(sampleTdmFile());
  ASSERT_TRUE(clean.reconciliation.has_value());
  EXPECT_TRUE(clean.reconciliation->complete);
  EXPECT_EQ(clean.reconciliation->switchedOffAtLine, 0);

  std::vector<std::string> lines =
      withRecord(sampleTdmFile(), 14, {{"CCF/CVC/CBP", "1"}, {"COO", "1"}, {"SUBTOTAL", "1000"}, {"TOTAL_LIQUIDO", "1000"},
                                       {"DATA_INICIO", "20121341"}});
  lines = withRecord(lines, 19, {{"COO", "2"}, {"GNF", "1"}, {"SUBTOTAL", "5X0"}, {"TOTAL_LIQUIDO", "500"}});
  const ValidationSummary broken = validate(lines);
  ASSERT_TRUE(broken.reconciliation.has_value());
  EXPECT_FALSE(broken.reconciliation->complete);
  EXPECT_EQ(broken.reconciliation->switchedOffAtLine, 14);  // the first failure, not the later one
  EXPECT_EQ(cp1252ToUtf8(switchedOffNotice(*broken.reconciliation)),
            "As verificações de conteúdo foram desligadas a partir da linha 14 por um erro de formato: "
            "corrija-o primeiro");
}

TEST_F(ValidationTest, EverySinkReceivesTheSameFindingsInTheLogsOrder) {
  FindingCollector second;
  ValidationOptions o = options();
  o.sinks.push_back(&second);
  auto lines = sampleTdmFile();
  lines[13] = sampleRecord(14, {{"COO", "1"}, {"TIPO_DESC", "X"}, {"CPF/CNPJ_CLI", "12345678901234"}});
  writeFile(path(), joinLines(lines));
  validateCotepeFile(ui, path(), 0, o);
  ASSERT_FALSE(collector.findings.empty());
  EXPECT_EQ(asLogLines(second.findings), asLogLines(collector.findings));
  // The log holds the same lines, in the same order.
  const std::string logText = readFile(path() + ".log");
  std::size_t from = 0;
  for (const std::string& line : asLogLines(collector.findings)) {
    const std::size_t at = logText.find(line + "\r\n", from);
    ASSERT_NE(at, std::string::npos) << line;
    from = at + line.size();
  }
}

// Consecutive missing COO numbers reach a reader of findings as data as one range;
// a number missing alone, and every other finding, pass as the log has them.
TEST(MissingCooRanges, ConsecutiveMissingNumbersBecomeOneRangeFinding) {
  const auto missing = [](int coo) {
    Finding f;
    f.code = "totais.coo_faltante";
    f.place.coo = coo;
    f.message = cformat("Erro -> COO faltante de numero %06d.", coo);
    return f;
  };
  Finding other;
  other.code = "totais.e12";
  other.message = "outro";
  struct Case {
    std::vector<Finding> given;
    std::vector<std::string> passed;  // message [coo..lastCoo]
  };
  const std::vector<Case> cases = {
      {{missing(2)}, {"Erro -> COO faltante de numero 000002. [2..0]"}},
      {{missing(2), missing(3), missing(4)}, {"Erro -> COOs faltantes de números 000002 a 000004 (3 números). [2..4]"}},
      {{missing(2), missing(3), missing(7), other},
       {"Erro -> COOs faltantes de números 000002 a 000003 (2 números). [2..3]",
        "Erro -> COO faltante de numero 000007. [7..0]", "outro [0..0]"}},
      {{other, missing(5), missing(6)}, {"outro [0..0]", "Erro -> COOs faltantes de números 000005 a 000006 (2 números). [5..6]"}},
  };
  for (const Case& c : cases) {
    FindingCollector kept;
    MissingCooRanges ranges(kept);
    for (const Finding& f : c.given) ranges.onFinding(f);
    ranges.flush();
    ranges.flush();  // nothing held twice
    std::vector<std::string> passed;
    for (const Finding& f : kept.findings)
      passed.push_back(cp1252ToUtf8(f.message) + cformat(" [%d..%d]", f.place.coo, f.place.lastCoo));
    EXPECT_EQ(passed, c.passed);
  }
}

TEST(FindingCodes, AreUniqueNamedAndDescribed) {
  std::set<std::string_view> seen;
  for (const FindingCodeInfo& c : findingCodes()) {
    EXPECT_TRUE(seen.insert(c.code).second) << c.code;
    EXPECT_FALSE(c.what.empty()) << c.code;
    EXPECT_EQ(c.code.find(' '), std::string_view::npos) << c.code;
  }
  EXPECT_GE(seen.size(), 100u);
}

// Damaged variants of every sample file reach many checks; none of their findings
// may lack a code.
TEST_F(ValidationTest, EveryFindingOfDamagedFilesHasACode) {
  for (const auto& file : {sampleMfFile(), sampleTdmFile()}) {
    for (std::size_t i = 0; i < file.size(); ++i) {
      for (const char damage : {i % 2 == 0 ? 'x' : ' '}) {
        auto lines = file;
        std::string& l = lines[i];
        for (std::size_t k = 3; k < l.size(); k += 7) l[k] = damage;
        validate(lines);
        for (const Finding& f : collector.findings) EXPECT_NE(f.code, "desconhecido") << f.message;
      }
    }
  }
}

TEST_F(ValidationTest, ContinuingPastMissingRecordTypesReachesTheLinesAndTotals) {
  std::vector<std::string> lines;
  for (const std::string& l : sampleTdmFile())
    if (!l.starts_with("E04")) lines.push_back(l);
  const std::string missing = "[ERR]         : E04 -> Não existe nenhum Registro Tipo E04 no arquivo.";

  ValidationSummary summary = validate(lines);  // by default the run stops there
  EXPECT_EQ(findings(), std::vector<std::string>{utf8ToCp1252(missing)});
  EXPECT_FALSE(summary.reconciliation.has_value());
  EXPECT_EQ(log().find("--continuar"), std::string::npos);

  EXPECT_EQ(summary.errors, 1);
  EXPECT_EQ(summary.warnings, 0);

  // Going on, the missing type is a warning: the file has no error.
  ValidationOptions o = options();
  o.continueAfterMissingRecords = true;
  writeFile(path(), joinLines(lines));
  summary = validateCotepeFile(ui, path(), 0, o);
  const std::string warned = "[AVISO]         : E04 -> Não existe nenhum Registro Tipo E04 no arquivo.";
  EXPECT_EQ(findings(), std::vector<std::string>{utf8ToCp1252(warned)});
  EXPECT_EQ(summary.errors, 0);
  EXPECT_EQ(summary.warnings, 1);
  EXPECT_TRUE(summary.reconciliation.has_value());
  EXPECT_NE(log().find(utf8ToCp1252("Validação continuada (--continuar)")), std::string::npos);
  EXPECT_NE(log().find(utf8ToCp1252(warned + "\r\n")), std::string::npos);
  EXPECT_NE(log().find("0 erro(s) encontrado(s).\r\n1 avisos(s) encontrado(s)."), std::string::npos);

  lines = withRecord(lines, 13, {{"CRZ", "1"}, {"TOTALIZADOR", "01T1800"}, {"VALOR_ACUMULADO", "1100"}});
  writeFile(path(), joinLines(lines));
  o = options();
  o.continueAfterMissingRecords = true;
  validateCotepeFile(ui, path(), 0, o);
  ASSERT_EQ(collector.findings.size(), 2u);
  EXPECT_EQ(collector.findings[1].code, "totais.e13");

  // Other structural findings still end the run, as errors: a second E02 among the
  // records stops the scan before the missing types are looked for.
  lines.insert(lines.begin() + 5, sampleE02());
  writeFile(path(), joinLines(lines));
  o = options();
  o.continueAfterMissingRecords = true;
  summary = validateCotepeFile(ui, path(), 0, o);
  EXPECT_FALSE(summary.reconciliation.has_value());
  EXPECT_EQ(summary.errors, 1);
  EXPECT_EQ(summary.warnings, 0);
}

}  // namespace
}  // namespace tavex::testing
