// The indicator codes: stable names that scripts and databases select by. A code
// never changes once published; a new check gets a new code.
#include <algorithm>

#include "indicators/indicator.h"

namespace tavex {

const std::vector<IndicatorCodeInfo>& indicatorCodes() {
  using L = IndicatorLevel;
  static const std::vector<IndicatorCodeInfo> codes = {
      {"indicio.crz.sequencia", L::Alerta, "CRZ de reduções Z consecutivas que não sobe de um em um"},
      {"indicio.crz.periodo", L::Alerta, "CRZ_INI/CRZ_FIM do E01 diferentes do CRZ da primeira/última redução Z"},
      {"indicio.cro.regressivo", L::Alerta, "CRO menor que um anterior (E09 em ordem, E12 em ordem)"},
      {"indicio.cro.sem_e09", L::Alerta, "redução Z com um CRO que não tem registro E09"},
      {"indicio.cro.intervencao", L::Informacao, "CRO muda entre duas reduções Z: intervenção técnica no período"},
      {"indicio.coo.regressivo", L::Alerta, "COO não maior que o anterior do mesmo tipo de registro"},
      {"indicio.coo.repetido", L::Alerta, "um COO usado por dois documentos (E12, E14, E16, E19)"},
      {"indicio.ccf.sequencia", L::Alerta, "CCF/CVC/CBP de cupons consecutivos que não sobe de um em um"},
      {"indicio.data.regressiva", L::Alerta, "data do movimento de uma redução Z não posterior à anterior"},
      {"indicio.data.emissao_anterior", L::Alerta, "redução Z emitida antes da data do seu movimento"},
      {"indicio.data.reducao_tardia", L::Informacao, "redução Z emitida em dia posterior ao do seu movimento"},
      {"indicio.documento.fora_do_dia", L::Informacao, "documento com data diferente da do movimento da sua redução Z"},
      {"indicio.contadores.e11", L::Alerta, "contador do E11 menor que o maior valor dele nos registros"},
      {"indicio.gnf.sequencia", L::Alerta, "GNF de documentos não fiscais consecutivos que não sobe de um em um"},
      {"indicio.gt.regressivo", L::Alerta, "GT que diminui (E04 na ordem dos usuários, E11 abaixo do E02 ou de um E04)"},
      {"indicio.cancelamentos", L::Informacao, "parte de cupons cancelados numa redução Z acima do limite"},
      {"indicio.gt.vendas", L::Alerta, "GT que não cresce exatamente pela venda bruta das reduções Z entre dois GT conhecidos"},
      {"indicio.z.sem_documentos", L::Alerta, "redução Z com venda bruta sem nenhum documento do dia na fita-detalhe"},
      {"indicio.documento.apos_z", L::Alerta, "documento datado depois da emissão da redução Z que o fecha"},
      {"indicio.contadores.apos_ultimo", L::Informacao, "contador do E11 acima do último documento do arquivo: documentos emitidos depois e fora do arquivo"},
      {"indicio.arquivos.lacuna", L::Alerta, "reduções Z que faltam entre dois arquivos da mesma ECF (CRZ que não continua)"},
      {"indicio.arquivos.divergencia", L::Alerta, "a mesma redução Z com E12 ou E13 diferentes em dois arquivos da ECF"},
      {"indicio.arquivos.sobreposicao", L::Informacao, "dois arquivos da ECF que cobrem as mesmas reduções Z"},
      {"indicio.arquivos.contadores", L::Alerta, "contador (COO, CRO, GT do E11; COO do E12) menor num arquivo posterior da ECF"},
  };
  return codes;
}

IndicatorLevel indicatorLevelOf(std::string_view code) {
  for (const IndicatorCodeInfo& info : indicatorCodes())
    if (info.code == code) return info.level;
  return IndicatorLevel::Alerta;
}

std::string_view indicatorLevelName(IndicatorLevel level) {
  return level == IndicatorLevel::Alerta ? "alerta" : "informacao";
}

std::int64_t percentHundredthsFromText(std::string_view text) {
  std::int64_t whole = 0, fraction = 0;
  int wholeDigits = 0, fractionDigits = 0;
  bool separator = false;
  for (char c : text) {
    if ((c == ',' || c == '.') && !separator) {
      separator = true;
    } else if (c >= '0' && c <= '9') {
      if (!separator) {
        if (++wholeDigits > 3) return -1;
        whole = whole * 10 + (c - '0');
      } else {
        if (++fractionDigits > 2) return -1;
        fraction = fraction * 10 + (c - '0');
      }
    } else {
      return -1;
    }
  }
  if (wholeDigits == 0) return -1;
  if (fractionDigits == 1) fraction *= 10;
  const std::int64_t value = whole * 100 + fraction;
  return value > 10000 ? -1 : value;
}

void sortAlertsFirst(std::vector<Indicator>& indicators) {
  std::stable_sort(indicators.begin(), indicators.end(), [](const Indicator& a, const Indicator& b) {
    if (a.level != b.level) return a.level == IndicatorLevel::Alerta;
    return a.line < b.line;
  });
}

}  // namespace tavex
