#include "cotepe/record_layout.h"

namespace tavex {
namespace {

// One row per field: number, name, start, width, format check. Records E02..E21
// share their first four fields (TIPO_REG, NUM_FABR, MF_ADICIONAL, MODELO).
constexpr FieldLayout kE01[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "TIPO_ECF", 25, 7, FieldCheck::None},
    {5, "MARCA", 32, 20, FieldCheck::None},
    {6, "MODELO", 52, 20, FieldCheck::None},
    {7, "VER_SB", 72, 10, FieldCheck::None},
    {8, "DATA_GRAVACAO_SB", 82, 8, FieldCheck::Date},
    {9, "HORA_GRAVACAO_SB", 90, 6, FieldCheck::Time},
    {10, "NUM_SEQ_ECF", 96, 3, FieldCheck::Number},
    {11, "CNPJ_USUARIO", 99, 14, FieldCheck::Number},
    {12, "COMANDO_GERACAO", 113, 3, FieldCheck::None},
    {13, "CRZ_INI", 116, 6, FieldCheck::Number},
    {14, "CRZ_FIM", 122, 6, FieldCheck::Number},
    {15, "DATA_INI", 128, 8, FieldCheck::Date},
    {16, "DATA_FIM", 136, 8, FieldCheck::Date},
    {17, "VER_DLL", 144, 8, FieldCheck::None},
    {18, "VER_ATOCTP", 152, 15, FieldCheck::None},
};

constexpr FieldLayout kE02[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "CNPJ", 45, 14, FieldCheck::Number},
    {6, "IE", 59, 14, FieldCheck::None},
    {7, "CONTRIBUINTE", 73, 40, FieldCheck::None},
    {8, "ENDERECO", 113, 120, FieldCheck::None},
    {9, "DATA_CADASTRO", 233, 8, FieldCheck::Date},
    {10, "HORA_CADASTRO", 241, 6, FieldCheck::Time},
    {11, "CRO", 247, 6, FieldCheck::Number},
    {12, "GT", 253, 18, FieldCheck::Number},
    {13, "NUM_USUARIO", 271, 2, FieldCheck::Number},
};

constexpr FieldLayout kE03[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "NUM_PRESTADOR", 45, 2, FieldCheck::None},
    {6, "DATA_CADASTRO", 47, 8, FieldCheck::Date},
    {7, "HORA_CADASTRO", 55, 6, FieldCheck::Time},
    {8, "CNPJ", 61, 14, FieldCheck::Number},
    {9, "IE", 75, 14, FieldCheck::None},
    {10, "VENDA_BRURA_DIARIA", 89, 18, FieldCheck::Number},
};

constexpr FieldLayout kE04[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "NUM_USUARIO", 45, 2, FieldCheck::None},
    {6, "DATA_CADASTRO", 47, 8, FieldCheck::Date},
    {7, "HORA_CADASTRO", 55, 6, FieldCheck::Time},
    {8, "CNPJ", 61, 14, FieldCheck::Number},
    {9, "IE", 75, 14, FieldCheck::None},
    {10, "CRO", 89, 6, FieldCheck::Number},
    {11, "GT", 95, 18, FieldCheck::Number},
};

constexpr FieldLayout kE05[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "CNPJ", 45, 14, FieldCheck::Number},
    {6, "DATA_GRAVACAO", 59, 8, FieldCheck::Date},
    {7, "HORA_GRAVACAO", 67, 6, FieldCheck::Time},
    {8, "C0", 73, 1, FieldCheck::None},
    {9, "C1", 74, 1, FieldCheck::None},
    {10, "C2", 75, 1, FieldCheck::None},
    {11, "C3", 76, 1, FieldCheck::None},
    {12, "C4", 77, 1, FieldCheck::None},
    {13, "C5", 78, 1, FieldCheck::None},
    {14, "C6", 79, 1, FieldCheck::None},
    {15, "C7", 80, 1, FieldCheck::None},
    {16, "C8", 81, 1, FieldCheck::None},
    {17, "C9", 82, 1, FieldCheck::None},
};

constexpr FieldLayout kE06[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "CNPJ", 45, 14, FieldCheck::Number},
    {6, "DATA_GRAVACAO", 59, 8, FieldCheck::Date},
    {7, "HORA_GRAVACAO", 67, 6, FieldCheck::Time},
    {8, "MOEDA", 73, 4, FieldCheck::None},
};

constexpr FieldLayout kE07[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "VERSAO_SB", 45, 10, FieldCheck::None},
    {6, "DATA_GRAVACAO", 55, 8, FieldCheck::Date},
};

constexpr FieldLayout kE08[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "CNPJ", 45, 14, FieldCheck::Number},
    {6, "NUM_SERIE_MFD", 59, 20, FieldCheck::None},
};

constexpr FieldLayout kE09[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "CRO", 45, 6, FieldCheck::Number},
    {6, "DATA_GRAVACAO", 51, 8, FieldCheck::Date},
    {7, "HORA_GRAVACAO", 59, 6, FieldCheck::Time},
    {8, "IND_PERDA_DADOS_MT", 65, 1, FieldCheck::None},
};

constexpr FieldLayout kE10[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "CFD", 45, 6, FieldCheck::Number},
    {6, "DATA_EMISSAO", 51, 8, FieldCheck::Date},
    {7, "COO_INI", 59, 6, FieldCheck::Number},
    {8, "COO_FINAL", 65, 6, FieldCheck::Number},
    {9, "CNPJ_USUARIO", 71, 14, FieldCheck::Number},
};

constexpr FieldLayout kE11[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "CRZ", 45, 6, FieldCheck::Number},
    {6, "CRO", 51, 6, FieldCheck::Number},
    {7, "COO", 57, 6, FieldCheck::Number},
    {8, "GNF", 63, 6, FieldCheck::Number},
    {9, "CCF", 69, 6, FieldCheck::Number},
    {10, "CVC", 75, 6, FieldCheck::Number},
    {11, "CBP", 81, 6, FieldCheck::Number},
    {12, "GRG", 87, 6, FieldCheck::Number},
    {13, "CMV", 93, 6, FieldCheck::Number},
    {14, "CFD", 99, 6, FieldCheck::Number},
    {15, "GT", 105, 18, FieldCheck::Number},
    {16, "DATA_CAP", 123, 8, FieldCheck::Date},
    {17, "HORA_CAP", 131, 6, FieldCheck::Time},
};

constexpr FieldLayout kE12[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "NUM_USUARIO", 45, 2, FieldCheck::None},
    {6, "CRZ", 47, 6, FieldCheck::Number},
    {7, "COO", 53, 6, FieldCheck::Number},
    {8, "CRO", 59, 6, FieldCheck::Number},
    {9, "DATA_MOVIMENTO", 65, 8, FieldCheck::Date},
    {10, "DATA_EMISSAO", 73, 8, FieldCheck::Date},
    {11, "HORA_EMISSAO", 81, 6, FieldCheck::Time},
    {12, "VENDA_BRUTA_DIARIA", 87, 14, FieldCheck::Number},
    {13, "ISS_DISC", 101, 1, FieldCheck::None},
};

constexpr FieldLayout kE13[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "NUM_USUARIO", 45, 2, FieldCheck::None},
    {6, "CRZ", 47, 6, FieldCheck::Number},
    {7, "TOTALIZADOR", 53, 7, FieldCheck::None},
    {8, "VALOR_ACUMULADO", 60, 13, FieldCheck::Number},
};

constexpr FieldLayout kE14[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "NUM_USUARIO", 45, 2, FieldCheck::Number},
    {6, "CCF/CVC/CBP", 47, 6, FieldCheck::Number},
    {7, "COO", 53, 6, FieldCheck::Number},
    {8, "DATA_INICIO", 59, 8, FieldCheck::Date},
    {9, "SUBTOTAL", 67, 14, FieldCheck::Number},
    {10, "DESC_SUBTOTAL", 81, 13, FieldCheck::Number},
    {11, "TIPO_DESC", 94, 1, FieldCheck::None},
    {12, "ACRES_SUBTOTAL", 95, 13, FieldCheck::Number},
    {13, "TIPO_ACR", 108, 1, FieldCheck::None},
    {14, "TOTAL_LIQUIDO", 109, 14, FieldCheck::Number},
    {15, "IND_CANCELAMENTO", 123, 1, FieldCheck::None},
    {16, "CANC_ACRES", 124, 13, FieldCheck::Number},
    {17, "ORDEM_DESC/ACR", 137, 1, FieldCheck::None},
    {18, "CLIENTE", 138, 40, FieldCheck::None},
    {19, "CPF/CNPJ_CLI", 178, 14, FieldCheck::Number},
};

constexpr FieldLayout kE15[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "NUM_USUARIO", 45, 2, FieldCheck::Number},
    {6, "COO", 47, 6, FieldCheck::Number},
    {7, "CCF/CVC/CBP", 53, 6, FieldCheck::Number},
    {8, "NUM_ITEM", 59, 3, FieldCheck::Number},
    {9, "COD_PRODUTO", 62, 14, FieldCheck::None},
    {10, "DESCRICAO", 76, 100, FieldCheck::None},
    {11, "QTD", 176, 7, FieldCheck::Number},
    {12, "UNIDADE", 183, 3, FieldCheck::None},
    {13, "VL_UNIT", 186, 8, FieldCheck::Number},
    {14, "DESC_ITEM", 194, 8, FieldCheck::Number},
    {15, "ACRES_ITEM", 202, 8, FieldCheck::Number},
    {16, "TOTAL_LIQUIDO", 210, 14, FieldCheck::Number},
    {17, "TOTALIZADOR_PARCIAL", 224, 7, FieldCheck::None},
    {18, "IND_CANC", 231, 1, FieldCheck::None},
    {19, "QTD_CANC", 232, 7, FieldCheck::Number},
    {20, "VL_CANC", 239, 13, FieldCheck::Number},
    {21, "CANC_ACRES", 252, 13, FieldCheck::Number},
    {22, "REGRA_CALC", 265, 1, FieldCheck::None},
    {23, "CASAS_QUANTIDADE", 266, 1, FieldCheck::Number},
    {24, "CASAS_VALOR", 267, 1, FieldCheck::Number},
};

constexpr FieldLayout kE16[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "NUM_USUARIO", 45, 2, FieldCheck::Number},
    {6, "COO", 47, 6, FieldCheck::Number},
    {7, "GNF", 53, 6, FieldCheck::Number},
    {8, "GRG", 59, 6, FieldCheck::Number},
    {9, "CDC", 65, 4, FieldCheck::Number},
    {10, "CRZ", 69, 6, FieldCheck::Number},
    {11, "DENOMINACAO", 75, 2, FieldCheck::None},
    {12, "DATA_FINAL", 77, 8, FieldCheck::Date},
    {13, "HORA_FINAL", 85, 6, FieldCheck::Time},
};

constexpr FieldLayout kE17[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "NUM_USUARIO", 45, 2, FieldCheck::Number},
    {6, "CRZ", 47, 6, FieldCheck::Number},
    {7, "TOT_NF", 53, 15, FieldCheck::None},
    {8, "VALOR_ACUM", 68, 13, FieldCheck::Number},
};

constexpr FieldLayout kE18[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "NUM_USUARIO", 45, 2, FieldCheck::Number},
    {6, "CRZ", 47, 6, FieldCheck::Number},
    {7, "MEIO_PAG", 53, 15, FieldCheck::None},
    {8, "VALOR_ACUM", 68, 13, FieldCheck::Number},
};

constexpr FieldLayout kE19[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "NUM_USUARIO", 45, 2, FieldCheck::Number},
    {6, "COO", 47, 6, FieldCheck::Number},
    {7, "GNF", 53, 6, FieldCheck::Number},
    {8, "DATA_INICIO", 59, 8, FieldCheck::Date},
    {9, "SUBTOTAL", 67, 14, FieldCheck::Number},
    {10, "DESC_SUBTOTAL", 81, 13, FieldCheck::Number},
    {11, "TIPO_DESC", 94, 1, FieldCheck::None},
    {12, "ACRES_SUBTOTAL", 95, 13, FieldCheck::Number},
    {13, "TIPO_ACR", 108, 1, FieldCheck::None},
    {14, "TOTAL_LIQUIDO", 109, 14, FieldCheck::Number},
    {15, "IND_CANCELAMENTO", 123, 1, FieldCheck::None},
    {16, "CANC_ACRES", 124, 13, FieldCheck::Number},
    {17, "ORDEM_DESC/ACR", 137, 1, FieldCheck::None},
    {18, "CLIENTE", 138, 40, FieldCheck::None},
    {19, "CPF/CNPJ_CLI", 178, 14, FieldCheck::Number},
};

constexpr FieldLayout kE20[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "NUM_USUARIO", 45, 2, FieldCheck::Number},
    {6, "COO", 47, 6, FieldCheck::Number},
    {7, "GNF", 53, 6, FieldCheck::Number},
    {8, "NUM_ITEM", 59, 3, FieldCheck::Number},
    {9, "DENOMINACAO", 62, 15, FieldCheck::None},
    {10, "VL_OPERACAO", 77, 13, FieldCheck::Number},
    {11, "DESC_ITEM", 90, 13, FieldCheck::Number},
    {12, "ACRES_ITEM", 103, 13, FieldCheck::Number},
    {13, "TOTAL_LIQUIDO", 116, 13, FieldCheck::Number},
    {14, "IND_CANC", 129, 1, FieldCheck::None},
    {15, "CANC_ACRES", 130, 13, FieldCheck::Number},
};

constexpr FieldLayout kE21[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "NUM_FABR", 4, 20, FieldCheck::None},
    {3, "MF_ADICIONAL", 24, 1, FieldCheck::None},
    {4, "MODELO", 25, 20, FieldCheck::None},
    {5, "NUM_USUARIO", 45, 2, FieldCheck::Number},
    {6, "COO", 47, 6, FieldCheck::Number},
    {7, "CCF", 53, 6, FieldCheck::Number},
    {8, "GNF", 59, 6, FieldCheck::Number},
    {9, "MEIO_PAG", 65, 15, FieldCheck::None},
    {10, "VL_PAGO", 80, 13, FieldCheck::Number},
    {11, "IND_ESTORNO", 93, 1, FieldCheck::None},
    {12, "VL_ESTORNO", 94, 13, FieldCheck::Number},
};

constexpr FieldLayout kEAD[] = {
    {1, "TIPO_REG", 1, 3, FieldCheck::None},
    {2, "assinatura", 4, 256, FieldCheck::None},
};

constexpr RecordLayout kLayouts[] = {
    {1, "E01", 166, kE01},
    {2, "E02", 272, kE02},
    {3, "E03", 106, kE03},
    {4, "E04", 112, kE04},
    {5, "E05", 82, kE05},
    {6, "E06", 76, kE06},
    {7, "E07", 62, kE07},
    {8, "E08", 78, kE08},
    {9, "E09", 65, kE09},
    {10, "E10", 84, kE10},
    {11, "E11", 136, kE11},
    {12, "E12", 101, kE12},
    {13, "E13", 72, kE13},
    {14, "E14", 191, kE14},
    {15, "E15", 267, kE15},
    {16, "E16", 90, kE16},
    {17, "E17", 80, kE17},
    {18, "E18", 80, kE18},
    {19, "E19", 191, kE19},
    {20, "E20", 142, kE20},
    {21, "E21", 106, kE21},
    {99, "EAD", 259, kEAD},
};

}  // namespace

const RecordLayout* layoutOf(int type) {
  if (type >= 1 && type <= 21) return &kLayouts[type - 1];
  if (type == kEadType) return &kLayouts[21];
  return nullptr;
}

std::span<const RecordLayout> allLayouts() { return kLayouts; }

int recordTypeOf(std::string_view line) {
  const std::string_view two = line.size() > 1 ? line.substr(1, 2) : std::string_view{};
  if (two == "AD") return kEadType;
  // Leading-digits rule over at most two characters (a sign or blanks may lead).
  std::size_t i = 0;
  while (i < two.size() && (two[i] == ' ' || (two[i] >= '\t' && two[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < two.size() && (two[i] == '+' || two[i] == '-')) negative = two[i++] == '-';
  int value = 0;
  for (; i < two.size() && two[i] >= '0' && two[i] <= '9'; ++i) value = value * 10 + (two[i] - '0');
  return negative ? -value : value;
}

FileKind fileKindOf(std::string_view comando) {
  if (comando == "MF ") return FileKind::MF;
  if (comando == "MFD") return FileKind::MFD;
  if (comando == "TDM") return FileKind::TDM;
  if (comando == "RZ ") return FileKind::RZ;
  return FileKind::None;
}

std::string_view stripLineEnd(std::string_view line) {
  for (int k = 0; k < 2 && !line.empty() && (line.back() == '\r' || line.back() == '\n'); ++k)
    line.remove_suffix(1);
  return line;
}

}  // namespace tavex
