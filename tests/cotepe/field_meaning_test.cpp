#include "cotepe/field_meaning.h"

#include <gtest/gtest.h>

#include "cotepe/text.h"
#include "support/sample_files.h"

namespace tavex {
namespace {

using testing::sampleRecord;

template <class Id>
std::string meaning(const std::string& record, Id field) {
  return cp1252ToUtf8(interpretedValue(*layoutOf(RecordOf<Id>::type), static_cast<int>(field), record));
}

TEST(InterpretedValue, MoneyDatesAndTimesReadAsAnAuditorWritesThem) {
  const std::string e14 = sampleRecord(14, {{"SUBTOTAL", "42344"}, {"TOTAL_LIQUIDO", "123456789"},
                                            {"DATA_INICIO", "20120102"}, {"DESC_SUBTOTAL", "1000"}, {"TIPO_DESC", "P"},
                                            {"ACRES_SUBTOTAL", "250"}, {"TIPO_ACR", "V"}});
  EXPECT_EQ(meaning(e14, E14::Subtotal), "R$ 423,44");
  EXPECT_EQ(meaning(e14, E14::TotalLiquido), "R$ 1.234.567,89");
  EXPECT_EQ(meaning(e14, E14::DataInicio), "02/01/2012");
  EXPECT_EQ(meaning(e14, E14::DescontoSubtotal), "10,00 %");  // a percentage, as its type says
  EXPECT_EQ(meaning(e14, E14::AcrescimoSubtotal), "R$ 2,50");
  const std::string e16 = sampleRecord(16, {{"DENOMINACAO", "RZ"}, {"HORA_FINAL", "235000"}});
  EXPECT_EQ(meaning(e16, E16::HoraFinal), "23:50:00");
  // The unit value and the quantity have the decimals their item states.
  const std::string e15 = sampleRecord(15, {{"VL_UNIT", "1234"}, {"CASAS_VALOR", "3"}, {"QTD", "1500"},
                                            {"CASAS_QUANTIDADE", "3"}});
  EXPECT_EQ(meaning(e15, E15::ValorUnitario), "R$ 1,234");
  EXPECT_EQ(meaning(e15, E15::Quantidade), "1,500");
  EXPECT_EQ(meaning(sampleRecord(2, {{"CNPJ", "11222333000181"}}), E02::Cnpj), "11.222.333/0001-81");
}

TEST(InterpretedValue, CodesWithTheirMeaningAndNothingWhereThereIsNone) {
  EXPECT_EQ(meaning(sampleRecord(16, {{"DENOMINACAO", "RZ"}}), E16::Denominacao), "redução Z");
  EXPECT_EQ(meaning(sampleRecord(14, {{"IND_CANCELAMENTO", "S"}}), E14::Cancelamento), "cancelado");
  EXPECT_EQ(meaning(sampleRecord(14, {{"IND_CANCELAMENTO", "N"}}), E14::Cancelamento), "não cancelado");
  EXPECT_EQ(meaning(sampleRecord(13, {{"TOTALIZADOR", "01T1800"}}), E13::Totalizador), "ICMS a 18,00 % (totalizador 01)");
  EXPECT_EQ(meaning(sampleRecord(13, {{"TOTALIZADOR", "02S0500"}}), E13::Totalizador), "ISSQN a 05,00 % (totalizador 02)");
  EXPECT_EQ(meaning(sampleRecord(13, {{"TOTALIZADOR", "Can-T"}}), E13::Totalizador), "cancelamentos de ICMS");
  EXPECT_EQ(meaning(sampleRecord(15, {{"TOTALIZADOR_PARCIAL", "F1"}}), E15::TotalizadorParcial),
            "substituição tributária do ICMS");
  EXPECT_EQ(meaning(sampleRecord(15, {{"TOTALIZADOR_PARCIAL", "FS1"}}), E15::TotalizadorParcial),
            "substituição tributária do ISSQN");
  // An E20's denomination is a totalizer's name, not a document's.
  EXPECT_EQ(meaning(sampleRecord(20, {{"DENOMINACAO", "RZ"}}), E20::Denominacao), "");
  // What does not read as its kind is left to the format checks; names say themselves.
  EXPECT_EQ(meaning(sampleRecord(14, {{"DATA_INICIO", "2012AB01"}}), E14::DataInicio), "");
  EXPECT_EQ(meaning(sampleRecord(14, {{"SUBTOTAL", "1A000"}}), E14::Subtotal), "");
  EXPECT_EQ(meaning(sampleRecord(14, {{"CLIENTE", "FULANO"}}), E14::Cliente), "");
  EXPECT_EQ(meaning(sampleRecord(14, {{"COO", "12"}}), E14::Coo), "");
  // Digits that name no day or hour are not written as a date or a time.
  for (const auto& [date, shown] : std::vector<std::pair<std::string, std::string>>{
           {"20121345", "data inexistente"}, {"20120230", "data inexistente"}, {"20110229", "data inexistente"},
           {"20120229", "29/02/2012"}, {"19000229", "data inexistente"}, {"20000229", "29/02/2000"}, {"00000000", ""}})
    EXPECT_EQ(meaning(sampleRecord(14, {{"DATA_INICIO", date}}), E14::DataInicio), shown) << date;
  EXPECT_EQ(meaning(sampleRecord(16, {{"DENOMINACAO", "RZ"}, {"HORA_FINAL", "246000"}}), E16::HoraFinal), "hora inexistente");
  EXPECT_EQ(meaning(sampleRecord(16, {{"DENOMINACAO", "RZ"}, {"HORA_FINAL", "235960"}}), E16::HoraFinal), "hora inexistente");
  // A line cut before the field, or a field number out of the layout.
  EXPECT_EQ(meaning(sampleRecord(14).substr(0, 60), E14::Subtotal), "");
  EXPECT_EQ(interpretedValue(*layoutOf(14), 99, sampleRecord(14)), "");
}

}  // namespace
}  // namespace tavex
