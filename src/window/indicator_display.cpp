#include "window/indicator_display.h"

#include <cctype>
#include <optional>
#include <string_view>

#include "cotepe/br_format.h"
#include "cotepe/field_names.h"

namespace tavex {

namespace {

template <class E>
int number(E field) {
  return static_cast<int>(field);
}

enum class ValueKind { Plain, Date, Money };

ValueKind kindOf(const Indicator& i) {
  const std::string_view code = i.code;
  if (code.starts_with("indicio.data.") || code == "indicio.documento.fora_do_dia") return ValueKind::Date;
  if (code == "indicio.gt.regressivo") return ValueKind::Money;
  return ValueKind::Plain;
}

// The counter an E11 indicator names first in its sentence ("COO do E11 ...").
int e11Counter(const std::string& sentence) {
  const std::string_view name = std::string_view(sentence).substr(0, 3);
  if (name == "CRZ") return number(E11::Crz);
  if (name == "CRO") return number(E11::Cro);
  if (name == "COO") return number(E11::Coo);
  if (name == "CCF") return number(E11::Ccf);
  if (name == "GNF") return number(E11::Gnf);
  return 0;
}

int cooField(int type) {
  switch (type) {
    case 12: return number(E12::Coo);
    case 14: return number(E14::Coo);
    case 16: return number(E16::Coo);
    case 19: return number(E19::Coo);
    default: return 0;
  }
}

}  // namespace

int indicatorField(const Indicator& i) {
  const std::string_view code = i.code;
  const int type = i.recordType;
  if (code == "indicio.crz.sequencia" && type == 12) return number(E12::Crz);
  if (code == "indicio.crz.periodo" && type == 1)
    return i.sentence.starts_with("CRZ_FIM") ? number(E01::CrzFinal) : number(E01::CrzInicial);
  if (code == "indicio.cro.regressivo" || code == "indicio.cro.intervencao" || code == "indicio.cro.sem_e09")
    return type == 9 ? number(E09::Cro) : type == 12 ? number(E12::Cro) : 0;
  if (code == "indicio.coo.regressivo" || code == "indicio.coo.repetido") return cooField(type);
  if (code == "indicio.ccf.sequencia" && type == 14) return number(E14::Contador);
  if (code == "indicio.gnf.sequencia") return type == 16 ? number(E16::Gnf) : type == 19 ? number(E19::Gnf) : 0;
  if (code == "indicio.data.regressiva" && type == 12) return number(E12::DataMovimento);
  if ((code == "indicio.data.emissao_anterior" || code == "indicio.data.reducao_tardia") && type == 12)
    return number(E12::DataEmissao);
  if (code == "indicio.documento.fora_do_dia")
    return type == 14 ? number(E14::DataInicio) : type == 16 ? number(E16::DataFinal) : type == 19 ? number(E19::DataInicio) : 0;
  if (code == "indicio.contadores.e11" && type == 11) return e11Counter(i.sentence);
  if (code == "indicio.gt.regressivo") return type == 4 ? number(E04::Gt) : type == 11 ? number(E11::Gt) : 0;
  return 0;
}

std::string auditorValue(const Indicator& indicator, const std::string& value) {
  const ValueKind kind = kindOf(indicator);
  if (kind == ValueKind::Plain) return value;
  std::string shown;
  for (std::size_t i = 0; i < value.size();) {
    if (!std::isdigit(static_cast<unsigned char>(value[i]))) {
      shown += value[i++];
      continue;
    }
    std::size_t end = i;
    while (end < value.size() && std::isdigit(static_cast<unsigned char>(value[end]))) ++end;
    const std::string_view digits = std::string_view(value).substr(i, end - i);
    std::optional<std::string> written;
    if (kind == ValueKind::Date) written = brazilianDate(digits);
    if (kind == ValueKind::Money && digits.size() <= 18) written = "R$ " + brazilianMoney(std::stoll(std::string(digits)));
    shown += written ? *written : std::string(digits);
    i = end;
  }
  return shown;
}

}  // namespace tavex
