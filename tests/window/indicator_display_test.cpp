// An indicator beside its record: the field it questions, its values as an auditor writes them.
#include "window/indicator_display.h"

#include <gtest/gtest.h>

#include "cotepe/text.h"

namespace tavex {
namespace {

Indicator indicator(std::string_view code, int type, std::string sentence = {}) {
  Indicator i;
  i.code = code;
  i.recordType = type;
  i.sentence = std::move(sentence);
  return i;
}

TEST(IndicatorDisplay, PointsAtTheFieldItQuestionsAndWritesDatesAndTotalsAsAnAuditorDoes) {
  const struct {
    Indicator indicator;
    int field;
    std::string raw, shown;
  } cases[] = {
      {indicator("indicio.data.regressiva", 12), 9, "depois de 20120103", "depois de 03/01/2012"},
      {indicator("indicio.data.emissao_anterior", 12), 10, "20120105 ou depois", "05/01/2012 ou depois"},
      {indicator("indicio.documento.fora_do_dia", 14), 8, "20121001", "01/10/2012"},
      {indicator("indicio.documento.fora_do_dia", 16), 12, "2012AB01", "2012AB01"},
      {indicator("indicio.gt.regressivo", 11), 15, "123456 ou mais", "R$ 1.234,56 ou mais"},
      {indicator("indicio.gt.regressivo", 4), 11, "5", "R$ 0,05"},
      {indicator("indicio.crz.sequencia", 12), 6, "20120103", "20120103"},  // a counter stays a number
      {indicator("indicio.crz.periodo", 1, "CRZ_FIM do E01 (9)"), 14, "acima de 7", "acima de 7"},
      {indicator("indicio.crz.periodo", 1, "CRZ_INI do E01 (1)"), 13, "2", "2"},
      {indicator("indicio.coo.repetido", 19), 6, "COO único"_cp, "COO único"_cp},
      {indicator("indicio.contadores.e11", 11, "GNF do E11 (3)"), 8, "7 ou mais", "7 ou mais"},
      {indicator("indicio.ccf.sequencia", 14), 6, "2", "2"},
      {indicator("indicio.cancelamentos", 12), 0, "até 10,00 %"_cp, "até 10,00 %"_cp},
      {indicator("indicio.arquivos.lacuna", 0), 0, "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(indicatorField(c.indicator), c.field) << c.indicator.code << " E" << c.indicator.recordType;
    EXPECT_EQ(auditorValue(c.indicator, c.raw), c.shown) << c.indicator.code;
  }
}

}  // namespace
}  // namespace tavex
