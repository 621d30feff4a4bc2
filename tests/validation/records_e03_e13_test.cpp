// Records of the fiscal memory: what they store for later checks and when they warn.
#include "record_fixture.h"

namespace tavex::testing {
namespace {

TEST_F(RecordChecksTest, ALengthErrorIsTheOnlyFindingOfTheRecord) {
  start("MF ");
  feed(sampleRecord(3, {{"NUM_FABR", "OTHER"}}).substr(0, 105));
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 3: E03 -> Tamanho de registro inválido. Esperado 106 caracteres e o "
                                     "registro apresenta 105 caracteres.")}));
}

TEST_F(RecordChecksTest, RecordsWarnWhenSerialOrModelDifferFromE01) {
  start("MF ");
  feed(sampleRecord(5, {{"NUM_FABR", "OTHER"}, {"MODELO", "OTHER"}}));
  feed(sampleRecord(8, {{"MODELO", "X"}}));
  EXPECT_EQ(findings(), (Findings{cp("[AVISO] Linha 3: E05 -> Número de fabricação informado em Registro Tipo E05 não é válido."),
                                  cp("[AVISO] Linha 3: E05 -> Modelo do ECF informado em Registro Tipo E05 não é válido."),
                                  cp("[AVISO] Linha 4: E08 -> Modelo do ECF informado em Registro Tipo E08 não é válido.")}));
}

TEST_F(RecordChecksTest, E12StoresUpToCrz5001) {
  start("MF ");
  feed(sampleRecord(12, {{"CRZ", "5001"}, {"COO", "77"}, {"VENDA_BRUTA_DIARIA", "12345"}, {"ISS_DISC", "s"}}));
  EXPECT_EQ(run.crzTable[5001].reductionCoo, 77);
  EXPECT_EQ(run.crzTable[5001].grossSales, 12345);
  EXPECT_EQ(run.crzTable[5001].reductionLine, 3);
  EXPECT_TRUE(run.crzTable[5001].issFlag);
  EXPECT_EQ(run.firstStoredCrz, 5001);
  EXPECT_EQ(run.crzCursor, 5001);
  const Findings warned = findings();
  ASSERT_EQ(warned.size(), 1u);  // 5001 lies outside E01's CRZ range 1..2
  EXPECT_EQ(warned[0], cp("[AVISO] Linha 3: E12 -> CRZ informada não encontra-se no intervalo de reduções do Registro E01."));
  clearFindings();
  feed(sampleRecord(12, {{"CRZ", "5002"}, {"NUM_FABR", "OTHER"}}));
  feed(sampleRecord(13, {{"CRZ", "999999"}}));
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 4: E12 -> Número de CRZ inválido."),
                                  cp("[ERR] Linha 5: E13 -> Número de CRZ inválido.")}));
  EXPECT_EQ(run.cooList.size(), 1u);
}

TEST_F(RecordChecksTest, ReductionsOfOtherUsersAreNotStoredButStillRangeChecked) {
  feed(sampleE01("MF "));
  feed(sampleE02({{"NUM_USUARIO", "02"}}));
  clearFindings();
  feed(sampleRecord(12, {{"NUM_USUARIO", "01"}, {"CRZ", "9"}}));
  EXPECT_EQ(run.crzTable[9].reductionCoo, 0);
  EXPECT_EQ(findings().size(), 1u);  // the range warning
  feed(sampleRecord(4, {{"NUM_USUARIO", "03"}}));  // E04 raises the user to 3
  EXPECT_EQ(run.userNumber, 3);
  feed(sampleRecord(12, {{"NUM_USUARIO", "02"}, {"CRZ", "1"}}));
  feed(sampleRecord(12, {{"NUM_USUARIO", "03"}, {"CRZ", "2"}, {"COO", "11"}}));
  EXPECT_EQ(run.crzTable[1].reductionCoo, 0);
  EXPECT_EQ(run.crzTable[2].reductionCoo, 11);
  feed(sampleRecord(4, {{"NUM_USUARIO", "20"}}));  // beyond 19: ignored
  EXPECT_EQ(run.userNumber, 3);
}

TEST_F(RecordChecksTest, E13KeepsTheLastValueOfARepeatedTotalizer) {
  start("TDM");
  feed(sampleRecord(13, {{"CRZ", "1"}, {"TOTALIZADOR", "01T1800"}, {"VALOR_ACUMULADO", "100"}}));
  feed(sampleRecord(13, {{"CRZ", "1"}, {"TOTALIZADOR", "F1"}, {"VALOR_ACUMULADO", "7"}}));
  feed(sampleRecord(13, {{"CRZ", "1"}, {"TOTALIZADOR", "01T1800"}, {"VALOR_ACUMULADO", "250"}}));
  const auto& totalizers = run.crzTable[1].totalizers;
  ASSERT_EQ(totalizers.size(), 2u);
  EXPECT_EQ(totalizers[0].name, "01T1800");
  EXPECT_EQ(totalizers[0].value.value, 250);
  EXPECT_EQ(totalizers[0].value.line, 5);
  EXPECT_EQ(findings(), Findings{});
}

TEST_F(RecordChecksTest, E10NeedsAnE09WithItsMfAddition) {
  start("MF ");
  feed(sampleRecord(10));
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 3: E10 -> Campo 2 referente a MF Adicional com valor inválido.")}));
  clearFindings();
  feed(sampleRecord(9, {{"CRO", "1"}, {"MF_ADICIONAL", "A"}}));
  feed(sampleRecord(10, {{"MF_ADICIONAL", "A"}}));
  feed(sampleRecord(9, {{"CRO", "1"}, {"MF_ADICIONAL", "B"}}));  // the same CRO registered again replaces it
  feed(sampleRecord(10, {{"MF_ADICIONAL", "A"}}));
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 7: E10 -> Campo 2 referente a MF Adicional com valor inválido.")}));
}

TEST_F(RecordChecksTest, E07DateMayNotFollowTheSbDate) {
  start("MF ");
  feed(sampleRecord(7, {{"DATA_GRAVACAO", "20100301"}}));  // equal to E01's DATA_GRAVACAO_SB
  EXPECT_EQ(findings(), Findings{});
  feed(sampleRecord(7, {{"DATA_GRAVACAO", "20100302"}}));
  EXPECT_EQ(findings(), (Findings{cp("[ERR] Linha 4: E07 -> Data inválida. Esperada data anterior ou igual a data do campo 8 "
                                     "do registro E01")}));
}

TEST_F(RecordChecksTest, AFormatErrorStopsAllLaterStoring) {
  start("TDM");
  feed(sampleRecord(5, {{"DATA_GRAVACAO", "00000000"}}));
  feed(sampleRecord(12, {{"CRZ", "1"}, {"COO", "10"}}));
  feed(sampleRecord(13, {{"CRZ", "1"}}));
  EXPECT_EQ(run.crzTable[1].reductionCoo, 0);
  EXPECT_TRUE(run.crzTable[1].totalizers.empty());
  EXPECT_EQ(findings().size(), 1u);
}

TEST_F(RecordChecksTest, FormatOnlyStoresNothingAndChecksNoIdentity) {
  feed(sampleE01("MF "), CheckMode::FormatOnly);
  feed(sampleRecord(12, {{"NUM_FABR", "OTHER"}, {"CRZ", "1"}}), CheckMode::FormatOnly);
  EXPECT_EQ(run.crzTable[1].reductionCoo, 0);
  EXPECT_EQ(findings(), Findings{});
}

}  // namespace
}  // namespace tavex::testing
