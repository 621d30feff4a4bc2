#include "cotepe/field_meaning.h"

#include <algorithm>
#include <cstdint>

#include "cotepe/br_format.h"
#include "cotepe/text.h"

namespace tavex {

namespace {

// Fields whose digits are centavos, by name (their name is the same in every record
// that has them).
constexpr std::string_view kMoneyFields[] = {
    "GT",          "VENDA_BRUTA_DIARIA", "VENDA_BRURA_DIARIA", "VALOR_ACUMULADO", "VALOR_ACUM", "SUBTOTAL",
    "TOTAL_LIQUIDO", "CANC_ACRES",       "DESC_ITEM",          "ACRES_ITEM",      "VL_CANC",    "VL_OPERACAO",
    "VL_PAGO",     "VL_ESTORNO"};

struct CodeMeaning {
  std::string_view field;  // the field's name
  std::string_view code;   // its text, trailing blanks removed
  const char* meaning;     // UTF-8
};

// The one-letter codes of the documents' fields.
constexpr CodeMeaning kCodes[] = {
    {"IND_CANCELAMENTO", "S", "cancelado"},
    {"IND_CANCELAMENTO", "N", "não cancelado"},
    {"IND_CANC", "S", "cancelado"},
    {"IND_CANC", "N", "não cancelado"},
    {"IND_CANC", "P", "cancelado em parte"},
    {"IND_ESTORNO", "S", "estornado"},
    {"IND_ESTORNO", "N", "não estornado"},
    {"IND_ESTORNO", "P", "estornado em parte"},
    {"ISS_DISC", "S", "desconto sobre ISSQN: sim"},
    {"ISS_DISC", "N", "desconto sobre ISSQN: não"},
    {"IND_PERDA_DADOS_MT", "S", "houve perda de dados da memória de trabalho"},
    {"IND_PERDA_DADOS_MT", "N", "sem perda de dados da memória de trabalho"},
    {"TIPO_DESC", "V", "desconto em valor"},
    {"TIPO_DESC", "P", "desconto em percentual"},
    {"TIPO_ACR", "V", "acréscimo em valor"},
    {"TIPO_ACR", "P", "acréscimo em percentual"},
    {"ORDEM_DESC/ACR", "D", "desconto antes do acréscimo"},
    {"ORDEM_DESC/ACR", "A", "acréscimo antes do desconto"},
    {"REGRA_CALC", "A", "arredondamento"},
    {"REGRA_CALC", "T", "truncamento"},
    {"COMANDO_GERACAO", "MF", "leitura da Memória Fiscal"},
    {"COMANDO_GERACAO", "MFD", "leitura da Memória de Fita-Detalhe"},
    {"COMANDO_GERACAO", "TDM", "leitura de todas as memórias do ECF"},
    {"COMANDO_GERACAO", "RZ", "recuperação dos dados da redução Z"},
    {"DENOMINACAO", "RZ", "redução Z"},
    {"DENOMINACAO", "LX", "leitura X"},
    {"DENOMINACAO", "MF", "leitura da Memória Fiscal"},
    {"DENOMINACAO", "CN", "comprovante não fiscal"},
    {"DENOMINACAO", "NC", "comprovante não fiscal cancelado"},
    {"DENOMINACAO", "RG", "relatório gerencial"},
    {"DENOMINACAO", "CC", "comprovante de crédito ou débito"},
};

// The totalizers whose name says what they add up (E13, E15).
constexpr CodeMeaning kTotalizers[] = {
    {"", "DT", "descontos de ICMS"},          {"", "DS", "descontos de ISSQN"},
    {"", "AT", "acréscimos de ICMS"},         {"", "AS", "acréscimos de ISSQN"},
    {"", "Can-T", "cancelamentos de ICMS"},   {"", "Can-S", "cancelamentos de ISSQN"},
    {"", "OPNF", "operações não fiscais"},
};

const FieldLayout* fieldNamed(const RecordLayout& layout, std::string_view name) {
  const auto it = std::find_if(layout.fields.begin(), layout.fields.end(),
                               [&](const FieldLayout& f) { return f.name == name; });
  return it == layout.fields.end() ? nullptr : &*it;
}

std::string_view sliceOf(const FieldLayout& field, std::string_view record) {
  const auto start = static_cast<std::size_t>(field.start - 1);
  if (start >= record.size()) return {};
  return record.substr(start, static_cast<std::size_t>(field.width));
}

// The text of the field named `name` in the same record (empty when it has none).
std::string_view companion(const RecordLayout& layout, std::string_view name, std::string_view record) {
  const FieldLayout* field = fieldNamed(layout, name);
  return field == nullptr ? std::string_view() : sliceOf(*field, record);
}

// Digits as a number with `decimals` of them after the comma, thousands grouped:
// "0001234567", 3 -> "1.234,567".
std::string withDecimals(std::string_view digits, int decimals) {
  std::uint64_t value = 0;
  for (const char c : digits) value = value * 10 + static_cast<std::uint64_t>(c - '0');
  std::uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  std::string out = groupedThousands(value / scale);
  if (decimals > 0) out += cformat(",%0*llu", decimals, static_cast<unsigned long long>(value % scale));
  return out;
}

// "01T1800" -> "ICMS a 18,00 %"; "F1", "I1", "N1" and the ISSQN ones; the named sums.
std::string totalizerMeaning(std::string_view name) {
  for (const CodeMeaning& t : kTotalizers)
    if (name == t.code) return t.meaning;
  if (name.size() == 7 && isAllDigits(name.substr(0, 2)) && (name[2] == 'T' || name[2] == 'S') &&
      isAllDigits(name.substr(3)))
    return cformat("%s a %.2s,%.2s %% (totalizador %.2s)", name[2] == 'T' ? "ICMS" : "ISSQN", name.data() + 3,
                   name.data() + 5, name.data());
  const auto numbered = [&](std::string_view prefix) {
    return name.size() > prefix.size() && name.starts_with(prefix) && isAllDigits(name.substr(prefix.size()));
  };
  if (numbered("FS")) return "substituição tributária do ISSQN";
  if (numbered("IS")) return "isento de ISSQN";
  if (numbered("NS")) return "não incidência do ISSQN";
  if (numbered("F")) return "substituição tributária do ICMS";
  if (numbered("I")) return "isento de ICMS";
  if (numbered("N")) return "não incidência do ICMS";
  return {};
}

// AAAAMMDD of eight digits naming a day of the calendar.
bool isCalendarDay(std::string_view d) {
  const auto number = [&](std::size_t at, std::size_t width) { return static_cast<int>(leadingInt(d.substr(at, width))); };
  const int year = number(0, 4), month = number(4, 2), day = number(6, 2);
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  return month != 2 || day < 29 || (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0));
}

std::string meaningUtf8(const RecordLayout& layout, const FieldLayout& field, std::string_view text,
                        std::string_view record) {
  const std::string_view trimmed = trimRight(text);
  const std::string_view name = field.name;
  // A day or an hour that does not exist is said so, not written as if it did
  // ("45/13/2012"); all zeros give no date at all.
  if (field.check == FieldCheck::Date && text.size() == 8 && isAllDigits(text)) {
    if (text == "00000000") return {};
    return isCalendarDay(text) ? brazilianDate(text).value_or(std::string()) : "data inexistente";
  }
  if (field.check == FieldCheck::Time && text.size() == 6 && isAllDigits(text)) {
    if (text.substr(0, 2) > "23" || text.substr(2, 2) > "59" || text.substr(4, 2) > "59") return "hora inexistente";
    return cformat("%.2s:%.2s:%.2s", text.data(), text.data() + 2, text.data() + 4);
  }
  if (name == "TOTALIZADOR" || name == "TOTALIZADOR_PARCIAL") return totalizerMeaning(trimmed);
  for (const CodeMeaning& c : kCodes)
    if (c.field == name && c.code == trimmed && !(name == "DENOMINACAO" && layout.type != 16)) return c.meaning;
  if (text.empty() || !isAllDigits(text)) return {};
  if (std::find(std::begin(kMoneyFields), std::end(kMoneyFields), name) != std::end(kMoneyFields))
    return "R$ " + withDecimals(text, 2);
  if (name == "DESC_SUBTOTAL" || name == "ACRES_SUBTOTAL") {
    const bool percent = companion(layout, name == "DESC_SUBTOTAL" ? "TIPO_DESC" : "TIPO_ACR", record) == "P";
    return percent ? withDecimals(text, 2) + " %" : "R$ " + withDecimals(text, 2);
  }
  // E15: the unit value and the quantities have the decimals their record states.
  const auto decimalsOf = [&](std::string_view companionName) {
    const std::string_view d = companion(layout, companionName, record);
    return d.size() == 1 && d[0] >= '0' && d[0] <= '9' ? d[0] - '0' : 2;
  };
  if (name == "VL_UNIT") return "R$ " + withDecimals(text, decimalsOf("CASAS_VALOR"));
  if (name == "QTD" || name == "QTD_CANC") return withDecimals(text, decimalsOf("CASAS_QUANTIDADE"));
  if ((name == "CNPJ" || name == "CNPJ_USUARIO") && text.size() == 14)
    return cformat("%.2s.%.3s.%.3s/%.4s-%.2s", text.data(), text.data() + 2, text.data() + 5, text.data() + 8,
                   text.data() + 12);
  return {};
}

}  // namespace

std::string interpretedValue(const RecordLayout& layout, int field, std::string_view record) {
  if (field < 1 || static_cast<std::size_t>(field) > layout.fields.size()) return {};
  const FieldLayout& f = layout.field(field);
  const std::string_view text = sliceOf(f, record);
  if (text.size() != static_cast<std::size_t>(f.width)) return {};  // a line cut short
  return utf8ToCp1252(meaningUtf8(layout, f, text, record));
}

}  // namespace tavex
