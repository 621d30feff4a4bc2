// The document records: their value checks in both runs, what they store and
// add up, and the reduction each payment lands in.
#include <algorithm>

#include "record_fixture.h"

namespace tavex::testing {
namespace {

std::string num(std::int64_t v) { return std::to_string(v); }

std::string header(std::int64_t coo, std::int64_t subtotal, std::int64_t net, const Overrides& more = {}) {
  const std::string cooText = num(coo), subtotalText = num(subtotal), netText = num(net);
  Overrides o = {{"COO", cooText}, {"CCF/CVC/CBP", cooText}, {"SUBTOTAL", subtotalText}, {"TOTAL_LIQUIDO", netText}};
  o.insert(o.end(), more.begin(), more.end());
  return sampleRecord(14, o);
}

// An item of quantity 1,000 and the given unit price (2 decimals): its value is the price.
std::string item(std::int64_t coo, std::int64_t price, std::int64_t net, const Overrides& more = {}) {
  const std::string cooText = num(coo), priceText = num(price), netText = num(net);
  Overrides o = {{"COO", cooText}, {"QTD", "1000"}, {"VL_UNIT", priceText}, {"TOTAL_LIQUIDO", netText}};
  o.insert(o.end(), more.begin(), more.end());
  return sampleRecord(15, o);
}

std::string itemNetMismatch(int line, int coo) {
  return cp(cformat("[ERR] Linha %d: E15 -> Valor Total Líquido não confere com demais dados do item. COO:%06d", line, coo));
}

TEST_F(RecordChecksTest, E14ValueChecksRunInBothRuns) {
  start("TDM");
  for (CheckMode mode : {CheckMode::Full, CheckMode::FormatOnly}) {
    clearFindings();
    feed(header(1, 0, 0, {{"TIPO_DESC", "X"}, {"TIPO_ACR", "X"}, {"IND_CANCELAMENTO", "X"}, {"ORDEM_DESC/ACR", "X"},
                          {"CPF/CNPJ_CLI", "12345678901234"}}),
         mode);
    const Findings found = findings();
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[0], cp(cformat("[AVISO] Linha %d: E14 -> Indicador do tipo de desconto informado em Registro Tipo E14 "
                                   "não é válido.", lineNumber)));
    EXPECT_EQ(found[4], cp(cformat("[AVISO] Linha %d: E14 -> CPF/CNPJ do adquirente informado em registro tipo E14 não é "
                                   "válido segundo critério da RFB.", lineNumber)));
  }
}

TEST_F(RecordChecksTest, ABlankRestMakesADocumentRecordSilent) {
  start("TDM");
  // Numbers of zeros and dates of blanks pass their formats; the rest is then all blanks and zeros.
  const Overrides identity = {{"NUM_FABR", kSampleSerial}, {"MODELO", kSampleModel}};
  for (int type : {14, 15, 19, 20, 21}) feed(makeRecord(type, identity));
  EXPECT_EQ(findings(), Findings{});
  EXPECT_EQ(run.documentCooList.size(), 0u);
}

TEST_F(RecordChecksTest, E14DatesMustLieInThePeriod) {
  start("TDM");  // period 01/10/2012 to 05/10/2012
  feed(header(1, 0, 0, {{"DATA_INICIO", "20121006"}}));  // one day after the end: still accepted
  EXPECT_EQ(findings(), Findings{});
  feed(header(2, 0, 0, {{"DATA_INICIO", "20121007"}}));
  feed(header(3, 0, 0, {{"DATA_INICIO", "20120930"}}));
  feed(header(4, 0, 0, {{"DATA_INICIO", "19991231"}}));
  const std::string outside = "Data de início da emissão do documento informada em Registro Tipo E14 não está "
                              "compreendida no período informado no Registro Tipo E01.";
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 4: E14 -> " + outside), cp("[ERR] Linha 5: E14 -> " + outside),
                                  cp("[ERR] Linha 6: E14 -> Data de início da emissão do documento informada em registro "
                                     "tipo E14 não é válida.")}));
}

TEST_F(RecordChecksTest, E15TotalizerCodes) {
  start("TDM");
  feed(header(1, 0, 0));
  clearFindings();
  for (const char* valid : {"01T1700", "F1", "FS1", "Can-T", "OPNF", "N1     ", "IS20000", "02S0500"})
    feed(item(1, 0, 0, {{"TOTALIZADOR_PARCIAL", valid}}));
  EXPECT_EQ(findings(), Findings{});
  for (const char* invalid : {"X1", "01X1700", "F12", "FS", "1T1700"}) {
    feed(item(1, 0, 0, {{"TOTALIZADOR_PARCIAL", invalid}}));
    EXPECT_EQ(findings().back(), cp(cformat("[AVISO] Linha %d: E15 -> Código do totalizador parcial informado em registro "
                                            "tipo E15 não é válido.", lineNumber))) << invalid;
  }
}

TEST_F(RecordChecksTest, E15ItemValueIsTruncatedOrRoundedHalfToEven) {
  start("TDM");
  feed(header(1, 0, 0));
  clearFindings();
  struct Case {
    const char* price;
    const char* quantity;
    const char* priceDecimals;
    const char* rule;
    std::int64_t value;
  };
  const Case cases[] = {
      {"1999", "3000", "3", "T", 599},  // 1,999 x 3,000: p 5997000, s 10000
      {"1999", "3000", "3", "A", 600},  // dropped digit 7
      {"125", "100", "2", "A", 12},     // 12500 / 1000: half, kept digit even
      {"135", "100", "2", "A", 14},     // 13500: half, kept digit odd
      {"12501", "1", "2", "A", 13},     // 12501: above half
      {"12501", "1", "2", "T", 12},
      {"12500", "1", "2", "X", 12},     // any other rule rounds
  };
  for (const Case& c : cases) {
    const Overrides o = {{"VL_UNIT", c.price}, {"QTD", c.quantity}, {"CASAS_VALOR", c.priceDecimals}, {"REGRA_CALC", c.rule}};
    const std::string value = std::to_string(c.value), wrong = std::to_string(c.value + 1);
    Overrides exact = o, off = o;
    exact.insert(exact.end(), {{"TOTAL_LIQUIDO", value}, {"COO", "1"}});
    off.insert(off.end(), {{"TOTAL_LIQUIDO", wrong}, {"COO", "1"}});
    const auto mismatches = [&] {
      const Findings all = findings();
      return std::count_if(all.begin(), all.end(), [](const std::string& f) { return f.find("Valor Total") != std::string::npos; });
    };
    const auto before = mismatches();
    feed(sampleRecord(15, exact));
    EXPECT_EQ(mismatches(), before) << c.price << " x " << c.quantity << " " << c.rule;
    feed(sampleRecord(15, off));
    EXPECT_EQ(mismatches(), before + 1) << c.price << " x " << c.quantity << " " << c.rule;
    EXPECT_EQ(findings().back(), itemNetMismatch(lineNumber, 1));
  }
}

TEST_F(RecordChecksTest, AnItemNetTotalThatDisagreesCarriesItsFieldAndBothAmounts) {
  struct Case {
    int type;
    Overrides fields;
    int field;
    std::int64_t declared, computed;
  };
  const std::vector<Case> cases = {
      {15, {{"QTD", "2000"}, {"VL_UNIT", "1000"}, {"TOTAL_LIQUIDO", "1999"}}, 16, 1999, 2000},
      {15, {{"QTD", "1000"}, {"VL_UNIT", "1000"}, {"DESC_ITEM", "100"}, {"ACRES_ITEM", "30"},
                   {"TOTAL_LIQUIDO", "1000"}}, 16, 1000, 930},
      {15, {{"QTD", "1000"}, {"VL_UNIT", "1000"}, {"IND_CANC", "P"}, {"QTD_CANC", "0500"}, {"VL_CANC", "500"},
                   {"TOTAL_LIQUIDO", "1000"}}, 16, 1000, 500},
      {20, {{"VL_OPERACAO", "300"}, {"DESC_ITEM", "100"}, {"ACRES_ITEM", "5"}, {"TOTAL_LIQUIDO", "200"}}, 13, 200, 205},
  };
  start("TDM");
  for (const Case& c : cases) {
    clearFindings();
    Overrides fields = c.fields;
    fields.push_back({"COO", "1"});
    feed(sampleRecord(c.type, fields));
    const auto it = std::find_if(collector.findings.begin(), collector.findings.end(),
                                 [](const Finding& f) { return f.code == "item.total_liquido"; });
    ASSERT_NE(it, collector.findings.end()) << c.type << " " << c.declared;
    EXPECT_EQ(it->place.field, c.field);
    EXPECT_EQ(it->place.coo, 1);
    EXPECT_EQ(it->place.declared, c.declared);
    EXPECT_EQ(it->place.computed, c.computed);
  }
}

TEST_F(RecordChecksTest, E15CancellationsAndQuantities) {
  start("TDM");
  feed(header(1, 0, 0));
  clearFindings();
  feed(item(1, 1000, 999, {{"IND_CANC", "S"}}));               // fully cancelled: its total is never compared
  feed(item(1, 1000, 1000, {{"QTD_CANC", "1000"}}));           // cancelling all of the quantity is allowed
  feed(item(1, 1000, 1000, {{"QTD_CANC", "1001"}}));
  feed(item(1, 1000, 500, {{"IND_CANC", "P"}, {"QTD_CANC", "0500"}, {"VL_CANC", "500"}}));  // partial: net less VL_CANC
  feed(item(1, 1000, 1000, {{"IND_CANC", "P"}}));
  EXPECT_EQ(findings(),
            (Findings{cp("[ERR] Linha 6: E15 -> Valor do campo 19 inválido. Esperado valor menor que do campo 11."),
                      cp("[AVISO] Linha 8: E15 -> Quantidade referente a cancelamento parcial informada em registro do "
                         "tipo E15 não é válida."),
                      cp("[AVISO] Linha 8: E15 -> Valor referente a cancelamento parcial informado no regisro tipo E15 "
                         "não é válido.")}));
  EXPECT_EQ(run.documentTotals.itemsNetTotal, 1000 + 1000 + 500 + 1000);
  EXPECT_EQ(run.documentTotals.cancelledIcms, 1000 + 500);  // the cancelled item and the partly cancelled value
}

TEST_F(RecordChecksTest, E15WithoutAHeaderIsAnErrorButStillCounted) {
  start("TDM");
  feed(item(7, 1000, 1000));
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 3: E15 -> N.º do COO informado em registro tipo E15 não é válido.")}));
  EXPECT_EQ(run.documentTotals.itemsNetTotal, 1000);
  EXPECT_EQ(run.documentTotals.currentCoo, 7);
}

TEST_F(RecordChecksTest, ACouponIsClosedOnceWhenTheNextCouponsItemsBegin) {
  start("MFD");
  feed(header(100, 2000, 2000));
  feed(header(101, 500, 400));  // its items will add up to 500, not 400
  clearFindings();
  feed(item(100, 1000, 1000));
  feed(item(100, 1000, 1000));
  EXPECT_EQ(run.documentTotals.itemsNetTotal, 2000);
  feed(item(101, 500, 500));  // closes 100 (no findings), starts 101
  EXPECT_EQ(run.documentTotals.itemsNetTotal, 500);
  EXPECT_EQ(findings(), Findings{});
  feed(sampleRecord(16, {{"COO", "102"}}));  // the run closes the last coupon before E16
  EXPECT_EQ(findings(),
            (Findings{cp("[ERR] Linha 4: E14 -> Valor Total Líquido não confere com demais dados do documento. COO:000101"),
                      cp("[ERR] Linha 4: E14 -> Erro no valor totalizador de Valor Total Líquido (campo 12). Valor não "
                         "confere com o somatório dos itens deste cupom. COO: 000101")}));
}

TEST_F(RecordChecksTest, E16DenominationsAndTheirNumbers) {
  start("TDM");
  feed(sampleRecord(16, {{"DENOMINACAO", "CN"}}));
  feed(sampleRecord(16, {{"DENOMINACAO", "RG"}}));
  feed(sampleRecord(16, {{"DENOMINACAO", "CC"}}));
  feed(sampleRecord(16, {{"DENOMINACAO", "XX"}, {"DATA_FINAL", "19991231"}, {"HORA_FINAL", "240000"}}));
  const std::string p = "Linha %d: E16 -> ";
  EXPECT_EQ(findings(),
            (Findings{cp("[AVISO] Linha 3: E16 -> N.º do GNF em registro tipo E16 não foi informado."),
                      cp("[AVISO] Linha 4: E16 -> N.º do GRG em registro tipo E16 não foi informado."),
                      cp("[AVISO] Linha 5: E16 -> N.º do GNF em registro tipo E16 não foi informado."),
                      cp("[AVISO] Linha 5: E16 -> N.º do CDC em registro tipo E16 não foi informado."),
                      cp("[AVISO] Linha 6: E16 -> Denominação do documento fiscal informada em registro tipo E16 não é "
                         "válida."),
                      cp("[ERR] Linha 6: E16 -> Data final da emissão do documento informada em Registro Tipo E16 não é "
                         "válida."),
                      cp("[ERR] Linha 6: E16 -> Hora final da emissão do documento informada em Registro Tipo E16 não é "
                         "válida.")}));
}

TEST_F(RecordChecksTest, E16ReductionsAreComparedWithE12InTdmFilesOnly) {
  start("TDM");
  feed(sampleRecord(12, {{"CRZ", "1"}, {"COO", "3"}}));
  clearFindings();
  feed(sampleRecord(16, {{"DENOMINACAO", "RZ"}, {"CRZ", "1"}, {"COO", "3"}}));
  EXPECT_EQ(findings(), Findings{});
  feed(sampleRecord(16, {{"DENOMINACAO", "RZ"}, {"CRZ", "1"}, {"COO", "4"}, {"NUM_USUARIO", "02"}}));
  EXPECT_EQ(findings(),
            (Findings{cp("[ERR] Linha 5: E16 -> Campo 5 contém valor inesperado. Valor diferente da referência (E12) - "
                         "CRZ: 000001."),
                      cp("[ERR] Linha 5: E16 -> Campo 6 contém valor de COO inesperado. Valor diferente da referência "
                         "(E12) - CRZ: 000001.")}));
  clearFindings();
  feed(sampleRecord(16, {{"DENOMINACAO", "RZ"}, {"CRZ", "999999"}, {"COO", "4"}}));  // no slot: only the range warning
  EXPECT_EQ(findings(), (Findings{cp("[AVISO] Linha 6: E16 -> CRZ informada não encontra-se no intervalo de reduções do "
                                     "Registro E01.")}));
  run.fileKind = FileKind::MFD;
  clearFindings();
  feed(sampleRecord(16, {{"DENOMINACAO", "RZ"}, {"CRZ", "1"}, {"COO", "9"}}));
  EXPECT_EQ(findings(), Findings{});
}

TEST_F(RecordChecksTest, E17AndE18StoreTheLastValueAndRefuseCrzBeyondTheTable) {
  start("TDM");
  feed(sampleRecord(17, {{"CRZ", "2"}, {"TOT_NF", "SUPRIMENTO"}, {"VALOR_ACUM", "10"}}));
  feed(sampleRecord(17, {{"CRZ", "2"}, {"TOT_NF", "SUPRIMENTO"}, {"VALOR_ACUM", "25"}}));
  feed(sampleRecord(18, {{"CRZ", "2"}, {"MEIO_PAG", "DINHEIRO"}, {"VALOR_ACUM", "7"}}));
  feed(sampleRecord(18, {{"CRZ", "5002"}, {"MEIO_PAG", "DINHEIRO"}}));
  feed(sampleRecord(17, {{"CRZ", "2"}, {"NUM_USUARIO", "05"}, {"TOT_NF", "OUTRO"}}));  // another user: not stored
  ASSERT_EQ(run.crzTable[2].nonFiscal.size(), 1u);
  EXPECT_EQ(run.crzTable[2].nonFiscal[0].value.value, 25);
  EXPECT_EQ(run.crzTable[2].nonFiscal[0].value.line, 4);
  EXPECT_EQ(run.crzTable[2].payments[0].value.value, 7);
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 6: E18 -> Número de CRZ inválido.")}));
}

TEST_F(RecordChecksTest, E19ChecksItsIndicatorsTwice) {
  feed(sampleRecord(19, {{"COO", "1"}, {"IND_CANCELAMENTO", "X"}, {"ORDEM_DESC/ACR", "X"}, {"TIPO_DESC", "X"}}),
       CheckMode::FormatOnly);
  EXPECT_EQ(findings(),
            (Findings{cp("[AVISO] Linha 1: E19 -> Indicador de cancelamento informado em registro do tipo E19 não é válido."),
                      cp("[AVISO] Linha 1: E19 -> Indicador de ordem de aplicação de desconto e acréscimo em subtotal "
                         "informado em registro tipo E19 não é válido."),
                      cp("[ERR] Linha 1: E19 -> Tipo de desconto informado em Registro Tipo E19 não é válido."),
                      cp("[ERR] Linha 1: E19 -> Indicador de cancelamento informado em registro tipo E19 não é válido."),
                      cp("[AVISO] Linha 1: E19 -> Indicador de ordem de aplicação de desconto e acréscimo informado em "
                         "registro tipo E19 não é válido.")}));
}

TEST_F(RecordChecksTest, E19ConvertsPercentagesAtOnceInTheirOrder) {
  start("MFD");
  feed(sampleRecord(19, {{"COO", "1"}, {"SUBTOTAL", "5000"}, {"TIPO_DESC", "P"}, {"DESC_SUBTOTAL", "1000"},
                         {"ORDEM_DESC/ACR", "D"}, {"TOTAL_LIQUIDO", "4500"}}));
  EXPECT_EQ(run.documentEntry(1).discount, 500);
  EXPECT_EQ(run.documentEntry(1).discountPercent, 1000);
  feed(sampleRecord(19, {{"COO", "2"}, {"SUBTOTAL", "5000"}, {"TIPO_DESC", "P"}, {"DESC_SUBTOTAL", "1000"},
                         {"TIPO_ACR", "P"}, {"ACRES_SUBTOTAL", "1000"}, {"ORDEM_DESC/ACR", "A"}, {"TOTAL_LIQUIDO", "4950"}}));
  EXPECT_EQ(run.documentEntry(2).surcharge, 500);
  EXPECT_EQ(run.documentEntry(2).discount, 550);  // (5000 + 500) x 10 %
  EXPECT_EQ(findings(), Findings{});
  feed(sampleRecord(19, {{"COO", "3"}, {"SUBTOTAL", "5000"}, {"TOTAL_LIQUIDO", "1"}, {"IND_CANCELAMENTO", "S"}}));
  feed(sampleRecord(19, {{"COO", "4"}, {"SUBTOTAL", "5000"}, {"TOTAL_LIQUIDO", "1"}}));
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 6: E19 -> Valor Total Líquido não confere com demais dados do "
                                     "documento. COO:000004")}));
}

TEST_F(RecordChecksTest, E19PercentagesAboveAHundredAndBeyondSixteenBits) {
  start("MFD");
  // 99999 hundredths do not fit 16 bits: the low 16 bits (-31073) are the percentage.
  feed(sampleRecord(19, {{"COO", "1"}, {"SUBTOTAL", "10000"}, {"TIPO_ACR", "P"}, {"ACRES_SUBTOTAL", "99999"},
                         {"TOTAL_LIQUIDO", "0"}}));
  EXPECT_EQ(run.documentEntry(1).surchargePercent, -31073);
  EXPECT_EQ(run.documentEntry(1).surcharge, 10000LL * -31073 / 10000);
}

TEST_F(RecordChecksTest, E20AddsUpItsItemsAndChecksTheirTotals) {
  start("MFD");
  feed(sampleRecord(19, {{"COO", "1"}, {"SUBTOTAL", "700"}, {"TOTAL_LIQUIDO", "700"}}));
  clearFindings();
  feed(sampleRecord(20, {{"COO", "1"}, {"DENOMINACAO", "SUPRIMENTO"}, {"VL_OPERACAO", "500"}, {"TOTAL_LIQUIDO", "500"}}));
  feed(sampleRecord(20, {{"COO", "1"}, {"DENOMINACAO", "SUPRIMENTO"}, {"VL_OPERACAO", "300"}, {"DESC_ITEM", "100"},
                         {"TOTAL_LIQUIDO", "200"}}));
  feed(sampleRecord(20, {{"COO", "1"}, {"DENOMINACAO", "X"}, {"VL_OPERACAO", "300"}, {"TOTAL_LIQUIDO", "1"},
                         {"IND_CANC", "S"}}));
  EXPECT_EQ(run.documentTotals.itemsNetTotal, 700);
  EXPECT_EQ(run.documentTotals.nonFiscalCancelled, 300);
  EXPECT_EQ(findings(), Findings{});
  feed(sampleRecord(20, {{"COO", "9"}, {"VL_OPERACAO", "1"}, {"TOTAL_LIQUIDO", "2"}}));  // another document begins
  EXPECT_EQ(findings(),
            (Findings{cp("[ERR] Linha 7: E20 -> N.º do COO informado em registro tipo E20 não é válido."),
                      cp("[ERR] Linha 7: E20 -> Valor Total Líquido não confere com demais dados do item. COO:000009")}));
  EXPECT_EQ(run.documentTotals.itemsNetTotal, 2);
}

TEST_F(RecordChecksTest, E21WarningsInBothRuns) {
  feed(sampleRecord(21, {{"COO", "0"}, {"IND_ESTORNO", "S"}}), CheckMode::FormatOnly);
  feed(sampleRecord(21, {{"COO", "1"}, {"CCF", "1"}, {"IND_ESTORNO", "X"}}), CheckMode::FormatOnly);
  EXPECT_EQ(findings(),
            (Findings{cp("[AVISO] Linha 1: E21 -> Campo COO com valor válido."),
                      cp("[AVISO] Linha 1: E21 -> Ao menos um dos campos CCF ou GNF precisam ser preenchidos."),
                      cp("[AVISO] Linha 1: E21 -> Valor do estorno de pagamento efetuado não informado em registro do "
                         "tipo E21."),
                      cp("[AVISO] Linha 2: E21 -> Indicador de estorno de pagamento informado em registro tipo E21 não é "
                         "válido.")}));
}

// A field that failed its format is checked as "0", never as a blank field.
TEST_F(RecordChecksTest, AFieldThatFailedItsFormatIsNotTakenForBlank) {
  start("TDM");
  const std::string customerE14 =
      cp("Linha 1: E14 -> CPF/CNPJ do adquirente informado em registro tipo E14 não é válido segundo critério da RFB.");
  const std::string customerE19 =
      cp("Linha 2: E19 -> CPF/CNPJ do adquirente informado em registro tipo E19 não é válido segundo critério da RFB.");
  const std::string noReversal =
      cp("Valor do estorno de pagamento efetuado não informado em registro do tipo E21.");
  std::string withNul = "12345678901234";
  withNul[5] = '\0';
  for (const std::string& bad : {std::string("1234567890123A"), withNul}) {
    lineNumber = 0;
    clearFindings();
    feed(header(1, 0, 0, {{"CPF/CNPJ_CLI", bad}}), CheckMode::FormatOnly);
    feed(sampleRecord(19, {{"COO", "2"}, {"CPF/CNPJ_CLI", bad}}), CheckMode::FormatOnly);
    feed(sampleRecord(21, {{"COO", "1"}, {"CCF", "1"}, {"IND_ESTORNO", "S"}, {"VL_ESTORNO", bad.substr(1, 13)}}),
         CheckMode::FormatOnly);
    const Findings found = findings();
    auto has = [&](const std::string& text) {
      return std::any_of(found.begin(), found.end(), [&](const std::string& f) { return f.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(has(customerE14));
    EXPECT_TRUE(has(customerE19));
    EXPECT_FALSE(has(noReversal));
  }
}

TEST_F(RecordChecksTest, E21PaymentsLandInTheirReduction) {
  start("TDM");
  feed(sampleRecord(12, {{"CRZ", "1"}, {"COO", "10"}}));
  feed(sampleRecord(12, {{"CRZ", "3"}, {"COO", "20"}}));  // slot 2 stays empty
  feed(header(5, 0, 0, {{"IND_CANCELAMENTO", "S"}}));
  const auto pay = [&](int coo, const char* means, int value) {
    const std::string cooText = num(coo), valueText = num(value);
    feed(sampleRecord(21, {{"COO", cooText}, {"CCF", "1"}, {"MEIO_PAG", means}, {"VL_PAGO", valueText},
                           {"VL_ESTORNO", "1"}}));
  };
  pay(10, "DINHEIRO", 100);  // not above the first reduction's COO: slot 1
  pay(11, "DINHEIRO", 200);  // passes over the empty slot 2
  pay(21, "CHEQUE", 300);    // above every reduction: slot 5001
  pay(5, "CARTAO", 400);     // a cancelled coupon adds nothing, but its means is entered
  EXPECT_EQ(run.crzTable[1].payments[0].value.documentSum, 99);
  EXPECT_EQ(run.crzTable[3].payments[0].value.documentSum, 199);
  EXPECT_EQ(run.crzTable[5001].payments[0].value.documentSum, 299);
  ASSERT_EQ(run.crzTable[1].payments.size(), 2u);
  EXPECT_EQ(run.crzTable[1].payments[1].name, "CARTAO         ");
  EXPECT_EQ(run.crzTable[1].payments[1].value.documentSum, 0);
}

TEST_F(RecordChecksTest, EadSignatureMustBeFilledInAFullRun) {
  feed("EAD" + std::string(256, '0'), CheckMode::FormatOnly);
  feed("EAD" + std::string(256, ' '), CheckMode::FormatOnly);
  EXPECT_EQ(findings(), Findings{});
  feed("EAD" + std::string(256, '0'));
  feed("EAD" + std::string(255, '0'));
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 3: EAD -> Assinatura Digital não preenchida."),
                                  cp("[ERR] Linha 4: EAD -> Tamanho de registro inválido. Esperado 259 caracteres e o "
                                     "registro apresenta 258 caracteres.")}));
}

}  // namespace
}  // namespace tavex::testing
