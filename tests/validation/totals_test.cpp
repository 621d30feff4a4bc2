// The totals cross-checks: each coupon and non-fiscal document against its items,
// the apportionment of discounts and surcharges over totalizers, and every
// reduction total against its documents within the tolerance.
#include "record_fixture.h"

namespace tavex::testing {
namespace {

using Strings = std::vector<std::string>;

// Records built from owned texts (field values are views into them).
struct Rec {
  int type;
  Strings names, values;
  std::string line() const {
    std::vector<FieldValue> v;
    v.emplace_back("NUM_FABR", kSampleSerial);
    v.emplace_back("MODELO", kSampleModel);
    for (std::size_t i = 0; i < names.size(); ++i) v.emplace_back(names[i], values[i]);
    Overrides o(v.begin(), v.end());
    return sampleRecord(type, o);
  }
};

std::string n(std::int64_t v) { return std::to_string(v); }

std::string e12(int crz, int coo, std::int64_t gross, const char* iss = "N") {
  return Rec{12, {"CRZ", "COO", "VENDA_BRUTA_DIARIA", "ISS_DISC"}, {n(crz), n(coo), n(gross), iss}}.line();
}
std::string e13(int crz, const char* totalizer, std::int64_t value) {
  return Rec{13, {"CRZ", "TOTALIZADOR", "VALOR_ACUMULADO"}, {n(crz), totalizer, n(value)}}.line();
}
std::string e14(int coo, std::int64_t subtotal, std::int64_t net, Strings names = {}, Strings values = {}) {
  Strings nn = {"COO", "CCF/CVC/CBP", "SUBTOTAL", "TOTAL_LIQUIDO"};
  Strings vv = {n(coo), n(coo), n(subtotal), n(net)};
  nn.insert(nn.end(), names.begin(), names.end());
  vv.insert(vv.end(), values.begin(), values.end());
  return Rec{14, nn, vv}.line();
}
// An item of quantity 1,000 whose value is `price`.
std::string e15(int coo, std::int64_t price, const char* totalizer, Strings names = {}, Strings values = {}) {
  Strings nn = {"COO", "QTD", "VL_UNIT", "TOTAL_LIQUIDO", "TOTALIZADOR_PARCIAL"};
  Strings vv = {n(coo), "1000", n(price), n(price), totalizer};
  nn.insert(nn.end(), names.begin(), names.end());
  vv.insert(vv.end(), values.begin(), values.end());
  return Rec{15, nn, vv}.line();
}
std::string e16(int coo) { return Rec{16, {"COO"}, {n(coo)}}.line(); }

class TotalsTest : public RecordChecksTest {
 protected:
  // A TDM day: reduction 1 with COO 100 declaring `gross`, the given E13 lines, then
  // the coupons (E14 then E15 lines), then the E16 that closes the last coupon.
  void day(std::int64_t gross, const Strings& e13s, const Strings& headers, const Strings& items, const char* iss = "N") {
    start("TDM");
    feed(e12(1, 100, gross, iss));
    feed(e13s);
    feed(headers);
    feed(items);
    feed(e16(100));
  }
  Findings totalsFindings() {
    clearFindings();
    reportReconciliation(run, reconcile(run));
    return findings();
  }
  const CrzSlot& slot() const { return run.crzTable[1]; }
  std::int64_t documentSumOf(const char* name) {
    for (const auto& e : slot().totalizers)
      if (trimRight(e.name) == name) return e.value.documentSum;
    return -1;
  }
};

TEST_F(TotalsTest, AValueDiscountCouponThatAddsUp) {
  day(1000, {}, {e14(1, 1000, 900, {"DESC_SUBTOTAL"}, {"100"})}, {e15(1, 600, "01T1800"), e15(1, 400, "01T1800")});
  EXPECT_EQ(findings(), Findings{});
  EXPECT_EQ(documentSumOf("01T1800"), 900);
  EXPECT_EQ(slot().sumDT, 100);
}

TEST_F(TotalsTest, ANetTotalThatDoesNotAddUpGivesBothErrors) {
  day(1000, {}, {e14(1, 1000, 950, {"DESC_SUBTOTAL"}, {"100"})}, {e15(1, 1000, "01T1800")});
  EXPECT_EQ(findings(),
            (Findings{cp("[ERR] Linha 4: E14 -> Valor Total Líquido não confere com demais dados do documento. COO:000001"),
                      cp("[ERR] Linha 4: E14 -> Erro no valor totalizador de Valor Total Líquido (campo 12). Valor não "
                         "confere com o somatório dos itens deste cupom. COO: 000001")}));
}

TEST_F(TotalsTest, APercentageDiscountWithIssTruncates) {
  // 10,00 % of 1999 is 199 (truncated); the net is compared with 1800.
  day(1999, {}, {e14(1, 1999, 1800, {"DESC_SUBTOTAL", "TIPO_DESC", "ORDEM_DESC/ACR"}, {"1000", "P", "D"})},
      {e15(1, 1999, "01T1800")}, "S");
  EXPECT_EQ(findings(), Findings{});
  EXPECT_EQ(run.documentEntry(1).discountPercent, 1000);
}

TEST_F(TotalsTest, APercentageDiscountOnLargeIcmsSalesDoesNotWrap) {
  // 10 % of R$ 50.000,00 of ICMS sales: a 32-bit product would wrap and give a wrong discount.
  day(5000000, {}, {e14(1, 5000000, 4500000, {"DESC_SUBTOTAL", "TIPO_DESC", "ORDEM_DESC/ACR"}, {"1000", "P", "D"})},
      {e15(1, 2500000, "01T1800"), e15(1, 2500000, "02T1200")});
  EXPECT_EQ(findings(), Findings{});
  EXPECT_EQ(run.documentEntry(1).discount, 500000);
  EXPECT_EQ(documentSumOf("01T1800") + documentSumOf("02T1200"), 4500000);
}

TEST_F(TotalsTest, ASurchargeRemainderGoesToTheLargestFirstTotalizer) {
  day(310, {}, {e14(1, 300, 310, {"ACRES_SUBTOTAL", "ORDEM_DESC/ACR"}, {"10", "A"})},
      {e15(1, 100, "01T1800"), e15(1, 100, "02T1200"), e15(1, 100, "F1")});
  EXPECT_EQ(documentSumOf("01T1800"), 104);  // 3 + the remainder 1
  EXPECT_EQ(documentSumOf("02T1200"), 103);
  EXPECT_EQ(documentSumOf("F1"), 103);
  EXPECT_EQ(slot().sumAT, 10);
  EXPECT_EQ(slot().documentsGross, 310);
}

TEST_F(TotalsTest, PercentagesKeepTheirRatioWhateverTheOrder) {
  // Surcharge of 10 % first: the ratio is the percentage, not a whole amount on one totalizer.
  day(1100, {}, {e14(1, 1000, 1100, {"ACRES_SUBTOTAL", "TIPO_ACR", "ORDEM_DESC/ACR"}, {"1000", "P", "A"})},
      {e15(1, 600, "01T1800"), e15(1, 400, "02T1200")});
  EXPECT_EQ(findings(), Findings{});
  EXPECT_EQ(documentSumOf("01T1800"), 660);
  EXPECT_EQ(documentSumOf("02T1200"), 440);
}

TEST_F(TotalsTest, WithoutIssFlagTheDiscountSparesIssTotalizers) {
  // A value discount of 100 over ICMS sales of 800: all of it on the ICMS totalizer.
  day(1000, {}, {e14(1, 1000, 900, {"DESC_SUBTOTAL"}, {"100"})}, {e15(1, 800, "01T1800"), e15(1, 200, "01S0500")});
  EXPECT_EQ(documentSumOf("01T1800"), 700);
  EXPECT_EQ(documentSumOf("01S0500"), 200);
  EXPECT_EQ(slot().sumDT, 100);
  EXPECT_EQ(slot().sumDS, 0);
}

TEST_F(TotalsTest, AValueDiscountWithoutIcmsSalesIsNotApportioned) {
  day(1000, {}, {e14(1, 1000, 900, {"DESC_SUBTOTAL"}, {"100"})}, {e15(1, 1000, "01S0500")});
  EXPECT_EQ(documentSumOf("01S0500"), 1000);
  EXPECT_EQ(slot().sumDS, 0);
}

TEST_F(TotalsTest, ACancelledCouponCountsAsCancelledSales) {
  day(1500, {}, {e14(1, 1000, 1000, {"IND_CANCELAMENTO"}, {"S"}), e14(2, 500, 500)},
      {e15(1, 700, "01T1800"), e15(1, 300, "01S0500"), e15(2, 500, "01T1800")});
  EXPECT_EQ(findings(), Findings{});
  EXPECT_EQ(slot().sumCanT, 700);
  EXPECT_EQ(slot().sumCanS, 300);
  EXPECT_EQ(documentSumOf("01T1800"), 500);
  EXPECT_EQ(slot().documentsGross, 1500);
}

TEST_F(TotalsTest, ReductionTotalsWithinTheTolerance) {
  run.toleranceCents = 5;
  day(1006, {e13(1, "01T1800", 1000), e13(1, "02T1200", 0), e13(1, "DT", 0), e13(1, "OPNF", 12345)},
      {e14(1, 1005, 1005), e14(2, 6, 6)}, {e15(1, 1005, "01T1800"), e15(2, 6, "02T1200")});
  EXPECT_EQ(totalsFindings(),
            (Findings{cp("[ERR] Linha 5: E13 -> Erro no totalizador 02T1200 (campo 8). Valor não confere com o "
                         "somatório das vendas dos cupons. CRZ: 000001")}));
  // Gross 1006 against 1011 and 1000 against 1005 differ by exactly the tolerance: accepted; 0 against 6 is not.
  run.toleranceCents = 0;
  EXPECT_EQ(totalsFindings().size(), 3u);  // gross, 01T1800 and 02T1200
}

TEST_F(TotalsTest, TotalizersNamedOnlyByDocumentsAreNotReportedButTheirSumsAre) {
  day(1000, {e13(1, "01T1800", 1000)}, {e14(1, 1000, 900, {"DESC_SUBTOTAL"}, {"100"})}, {e15(1, 1000, "F1")});
  EXPECT_EQ(totalsFindings(),
            (Findings{cp("[ERR] Linha 4: E13 -> Erro no totalizador 01T1800 (campo 8). Valor não confere com o "
                         "somatório das vendas dos cupons. CRZ: 000001")}));  // F1 came from items only: line 0, silent
}

TEST_F(TotalsTest, PaymentsAndNonFiscalTotalsAgainstTheDocuments) {
  start("TDM");
  feed(e12(1, 100, 0));
  feed(sampleRecord(17, {{"CRZ", "1"}, {"TOT_NF", "SUPRIMENTO"}, {"VALOR_ACUM", "500"}}));
  feed(sampleRecord(18, {{"CRZ", "1"}, {"MEIO_PAG", "DINHEIRO"}, {"VALOR_ACUM", "999"}}));
  feed(sampleRecord(18, {{"CRZ", "1"}, {"MEIO_PAG", "TROCO"}, {"VALOR_ACUM", "999"}}));
  feed(sampleRecord(19, {{"COO", "50"}, {"GNF", "1"}, {"SUBTOTAL", "800"}, {"TOTAL_LIQUIDO", "800"}}));
  feed(sampleRecord(20, {{"COO", "50"}, {"DENOMINACAO", "SUPRIMENTO"}, {"VL_OPERACAO", "500"}, {"TOTAL_LIQUIDO", "500"}}));
  feed(sampleRecord(20, {{"COO", "50"}, {"DENOMINACAO", "RECEBIMENTO"}, {"VL_OPERACAO", "300"}, {"TOTAL_LIQUIDO", "300"}}));
  feed(sampleRecord(21, {{"COO", "50"}, {"GNF", "1"}, {"MEIO_PAG", "DINHEIRO"}, {"VL_PAGO", "800"}}));
  clearFindings();
  reportReconciliation(run, reconcile(run));
  EXPECT_EQ(findings(),
            (Findings{cp("[ERR] Linha 5: E18 -> Erro no valor totalizador de Meio de Pagamento (DINHEIRO       ). Valor não "
                         "confere com o somatório de pagamento dos cupons. CRZ: 000001"),
                      cp("[ERR] Linha 0: E17 -> Erro no valor totalizador Não Fiscal (RECEBIMENTO    ). Valor não confere "
                         "com o somatório de itens não fiscais dos documentos. CRZ: 000001")}));
}

TEST_F(TotalsTest, NonFiscalDocumentsAreComparedWithTheirItems) {
  start("MFD");
  feed(sampleRecord(19, {{"COO", "1"}, {"SUBTOTAL", "900"}, {"TOTAL_LIQUIDO", "800"}, {"DESC_SUBTOTAL", "100"}}));
  feed(sampleRecord(20, {{"COO", "1"}, {"DENOMINACAO", "SUPRIMENTO"}, {"VL_OPERACAO", "1000"}, {"TOTAL_LIQUIDO", "1000"}}));
  clearFindings();
  feed(sampleRecord(21, {{"COO", "1"}, {"GNF", "1"}, {"VL_PAGO", "900"}}));
  EXPECT_EQ(findings(),
            (Findings{cp("[ERR] Linha 3: E19 -> Erro no totalizador de Subtotal do Documento (campo 9). Valor não confere "
                         "com o somatório dos itens deste documento. COO: 000001"),
                      cp("[ERR] Linha 3: E19 -> Erro no totalizador de Valor Total Líquido (campo 12). Valor não confere "
                         "com o somatório dos itens deste documento. COO: 000001")}));
  EXPECT_EQ(run.crzTable[5001].nonFiscal[0].value.documentSum, 900);  // the discount was apportioned
}

TEST_F(TotalsTest, MissingCooNumbersInAscendingOrder) {
  for (int coo : {9, 5, 6}) run.cooList.findOrAdd(coo);
  reportMissingCoo(run);
  EXPECT_EQ(findings(), (Findings{"[ERR] Erro -> COO faltante de numero 000007.", "[ERR] Erro -> COO faltante de numero 000008."}));
  clearFindings();
  NumberList none;
  run.cooList = none;
  reportMissingCoo(run);
  EXPECT_EQ(findings(), Findings{});
}

TEST_F(TotalsTest, HugeAmountsNeverOverflow) {
  const std::string nines(13, '9');
  day(0, {e13(1, "01T1800", 0)},
      {e14(1, 99999999999999, 99999999999999, {"DESC_SUBTOTAL", "ACRES_SUBTOTAL", "CANC_ACRES", "TIPO_DESC", "ORDEM_DESC/ACR"},
           {nines, nines, nines, "P", "D"})},
      {e15(1, 99999999, "01T1800", {"QTD", "DESC_ITEM", "ACRES_ITEM", "CANC_ACRES"}, {"9999999", "99999999", "99999999", nines}),
       e15(1, 99999999, "01S0500", {"QTD", "CANC_ACRES"}, {"9999999", nines})});
  run.toleranceCents = 0;
  EXPECT_FALSE(totalsFindings().empty());  // the point: no trap under the sanitizers
}


// The COO lists index their numbers by hash; whatever numbers come, in whatever
// pattern, each keeps the index of its first appearance and 0 is never stored.
TEST(NumberListIndex, KeepsFirstAppearanceForAnyPatternOfNumbers) {
  std::vector<std::int64_t> numbers;
  for (std::int64_t k = 1; k <= 3000; ++k) numbers.push_back(k);                  // a run, as COOs come
  for (std::int64_t k = 1; k <= 600; ++k) numbers.push_back(k << 20);             // all alike below 2^20
  for (std::int64_t k = 1; k <= 600; ++k) numbers.push_back(k * 4096 + 7);        // one slot in small tables
  for (std::int64_t k = 1; k <= 200; ++k) numbers.push_back(-k * 65536);          // negative
  numbers.push_back(INT64_MAX);
  numbers.push_back(INT64_MIN);
  NumberList list;
  EXPECT_EQ(list.findOrAdd(0), 0u);
  for (std::size_t i = 0; i < numbers.size(); ++i) ASSERT_EQ(list.findOrAdd(numbers[i]), i) << numbers[i];
  for (std::size_t i = 0; i < numbers.size(); ++i) {  // found again, in reverse, nothing added
    const std::size_t k = numbers.size() - 1 - i;
    ASSERT_TRUE(list.contains(numbers[k]));
    ASSERT_EQ(list.findOrAdd(numbers[k]), k);
  }
  EXPECT_EQ(list.size(), numbers.size());
  EXPECT_EQ(list.values(), numbers);
  EXPECT_FALSE(list.contains(0));
  EXPECT_FALSE(list.contains(3001));
  EXPECT_EQ(list.findOrAdd(0), numbers.size());
}


// The document table grows in blocks that never move: an entry taken early is still
// the same entry, with its values, after thousands more were added.
TEST(DocumentTable, EntriesKeepTheirPlaceAsTheTableGrows) {
  StableTable<DocumentEntry> table;
  DocumentEntry& first = table.at(0);
  first.headerLine = 7;
  EXPECT_EQ(table.at(20000).headerLine, 0);  // new entries start empty, the gap too
  EXPECT_EQ(table.at(12345).subtotal, 0);
  for (std::size_t i = 1; i < 20000; ++i) table.at(i).headerLine = static_cast<std::int32_t>(i);
  EXPECT_EQ(&table.at(0), &first);
  EXPECT_EQ(first.headerLine, 7);
  for (std::size_t i = 1; i < 20000; ++i) ASSERT_EQ(table.at(i).headerLine, static_cast<std::int32_t>(i));
}

}  // namespace
}  // namespace tavex::testing
