#include "support/sample_files.h"

#include <sstream>

#include "generator.h"
#include "support/files.h"

namespace tavex::testing {

namespace {

Overrides with(Overrides base, const Overrides& overrides) {
  base.insert(base.end(), overrides.begin(), overrides.end());
  return base;
}

const Overrides& identity() {
  static const Overrides id = {{"NUM_FABR", kSampleSerial}, {"MF_ADICIONAL", " "}, {"MODELO", kSampleModel}};
  return id;
}

// Valid values for the typed fields of each record, beyond the identity.
Overrides defaultsOf(int type) {
  switch (type) {
    case 3: return {{"NUM_PRESTADOR", "01"}, {"DATA_CADASTRO", "20100301"}, {"HORA_CADASTRO", "100000"}, {"CNPJ", kSampleCnpj}};
    case 4: return {{"NUM_USUARIO", "01"}, {"DATA_CADASTRO", "20100301"}, {"HORA_CADASTRO", "110000"}, {"CNPJ", kSampleCnpj}, {"CRO", "1"}};
    case 5: return {{"CNPJ", kSampleCnpj}, {"DATA_GRAVACAO", "20100301"}, {"HORA_GRAVACAO", "110000"}};
    case 6: return {{"CNPJ", kSampleCnpj}, {"DATA_GRAVACAO", "20100301"}, {"HORA_GRAVACAO", "110000"}, {"MOEDA", "R$"}};
    case 7: return {{"VERSAO_SB", "01.00.00"}, {"DATA_GRAVACAO", "20100301"}};
    case 8: return {{"CNPJ", kSampleCnpj}, {"NUM_SERIE_MFD", "MFD000001"}};
    case 9: return {{"CRO", "1"}, {"DATA_GRAVACAO", "20100301"}, {"HORA_GRAVACAO", "110000"}, {"IND_PERDA_DADOS_MT", "N"}};
    case 10: return {{"CFD", "1"}, {"DATA_EMISSAO", "20121001"}, {"COO_INI", "1"}, {"COO_FINAL", "2"}, {"CNPJ_USUARIO", kSampleCnpj}};
    case 11: return {{"CRZ", "2"}, {"CRO", "1"}, {"COO", "20"}, {"DATA_CAP", "20121005"}, {"HORA_CAP", "180000"}};
    case 12: return {{"NUM_USUARIO", "01"}, {"CRZ", "1"}, {"COO", "10"}, {"CRO", "1"}, {"DATA_MOVIMENTO", "20121001"},
                     {"DATA_EMISSAO", "20121001"}, {"HORA_EMISSAO", "180000"}, {"ISS_DISC", "N"}};
    case 13: return {{"NUM_USUARIO", "01"}, {"CRZ", "1"}, {"TOTALIZADOR", "01T1800"}};
    case 14:
    case 19: return {{"NUM_USUARIO", "01"}, {"DATA_INICIO", "20121001"}, {"TIPO_DESC", "V"}, {"TIPO_ACR", "V"},
                     {"IND_CANCELAMENTO", "N"}, {"ORDEM_DESC/ACR", " "}};
    case 15: return {{"NUM_USUARIO", "01"}, {"NUM_ITEM", "1"}, {"COD_PRODUTO", "7891234567890"}, {"DESCRICAO", "PRODUTO"},
                     {"UNIDADE", "UN"}, {"TOTALIZADOR_PARCIAL", "01T1800"}, {"IND_CANC", "N"}, {"REGRA_CALC", "A"},
                     {"CASAS_QUANTIDADE", "3"}, {"CASAS_VALOR", "2"}};
    case 16: return {{"NUM_USUARIO", "01"}, {"DENOMINACAO", "LX"}, {"DATA_FINAL", "20121001"}, {"HORA_FINAL", "120000"}};
    case 17:
    case 18: return {{"NUM_USUARIO", "01"}, {"CRZ", "1"}};
    case 20: return {{"NUM_USUARIO", "01"}, {"NUM_ITEM", "1"}, {"IND_CANC", "N"}};
    case 21: return {{"NUM_USUARIO", "01"}, {"IND_ESTORNO", "N"}};
    default: return {};
  }
}

}  // namespace

std::string sampleE01(const std::string& kind, const Overrides& overrides) {
  return makeRecord(1, with({{"NUM_FABR", kSampleSerial}, {"MF_ADICIONAL", " "}, {"TIPO_ECF", "ECF-IF"},
                             {"MARCA", "BEMATECH"}, {"MODELO", kSampleModel}, {"VER_SB", "01.00.01"},
                             {"DATA_GRAVACAO_SB", "20100301"}, {"HORA_GRAVACAO_SB", "101500"}, {"NUM_SEQ_ECF", "1"},
                             {"CNPJ_USUARIO", kSampleCnpj}, {"COMANDO_GERACAO", kind}, {"CRZ_INI", "1"},
                             {"CRZ_FIM", "2"}, {"DATA_INI", "20121001"}, {"DATA_FIM", "20121005"},
                             {"VER_DLL", "01.00.00"}, {"VER_ATOCTP", "ATO1704" "01.00.00"}},
                            overrides));
}

std::string sampleE02(const Overrides& overrides) {
  return makeRecord(2, with(with(identity(), {{"CNPJ", kSampleCnpj}, {"IE", "123456789012"},
                                              {"CONTRIBUINTE", "COMERCIO EXEMPLO LTDA"},
                                              {"ENDERECO", "RUA DAS FLORES, 10"}, {"DATA_CADASTRO", "20100301"},
                                              {"HORA_CADASTRO", "110000"}, {"CRO", "1"}, {"NUM_USUARIO", "1"}}),
                            overrides));
}

std::string sampleRecord(int type, const Overrides& overrides) {
  return makeRecord(type, with(with(identity(), defaultsOf(type)), overrides));
}

std::string sampleEad() { return "EAD" + std::string(128, 'A') + std::string(128, '1'); }

std::vector<std::string> sampleMfFile() {
  std::vector<std::string> lines = {sampleE01("MF "), sampleE02()};
  for (int type = 3; type <= 11; ++type) lines.push_back(sampleRecord(type));
  lines.push_back(sampleRecord(12, {{"CRZ", "1"}, {"COO", "10"}}));
  lines.push_back(sampleRecord(12, {{"CRZ", "2"}, {"COO", "11"}, {"DATA_MOVIMENTO", "20121002"}, {"DATA_EMISSAO", "20121002"}}));
  lines.push_back(sampleRecord(13, {{"CRZ", "1"}, {"TOTALIZADOR", "01T1800"}, {"VALOR_ACUMULADO", "1000"}}));
  lines.push_back(sampleRecord(13, {{"CRZ", "2"}, {"TOTALIZADOR", "01T1800"}, {"VALOR_ACUMULADO", "2000"}}));
  lines.push_back(sampleEad());
  return lines;
}

std::vector<std::string> sampleDocuments() {
  return {
      sampleRecord(14, {{"CCF/CVC/CBP", "1"}, {"COO", "1"}, {"SUBTOTAL", "1000"}, {"TOTAL_LIQUIDO", "1000"}}),
      sampleRecord(15, {{"COO", "1"}, {"CCF/CVC/CBP", "1"}, {"QTD", "1000"}, {"VL_UNIT", "1000"},
                        {"TOTAL_LIQUIDO", "1000"}}),
      sampleRecord(16, {{"COO", "3"}, {"CRZ", "1"}, {"DENOMINACAO", "RZ"}, {"HORA_FINAL", "235000"}}),
      sampleRecord(17, {{"CRZ", "1"}, {"TOT_NF", "SUPRIMENTO"}, {"VALOR_ACUM", "500"}}),
      sampleRecord(18, {{"CRZ", "1"}, {"MEIO_PAG", "DINHEIRO"}, {"VALOR_ACUM", "1500"}}),
      sampleRecord(19, {{"COO", "2"}, {"GNF", "1"}, {"SUBTOTAL", "500"}, {"TOTAL_LIQUIDO", "500"}}),
      sampleRecord(20, {{"COO", "2"}, {"GNF", "1"}, {"DENOMINACAO", "SUPRIMENTO"}, {"VL_OPERACAO", "500"},
                        {"TOTAL_LIQUIDO", "500"}}),
      sampleRecord(21, {{"COO", "1"}, {"CCF", "1"}, {"MEIO_PAG", "DINHEIRO"}, {"VL_PAGO", "1000"}}),
      sampleRecord(21, {{"COO", "2"}, {"GNF", "1"}, {"MEIO_PAG", "DINHEIRO"}, {"VL_PAGO", "500"}}),
  };
}

std::vector<std::string> sampleMfdFile() {
  std::vector<std::string> lines = {sampleE01("MFD"), sampleE02()};
  for (const std::string& l : sampleDocuments()) lines.push_back(l);
  lines.push_back(sampleEad());
  return lines;
}

std::vector<std::string> sampleTdmFile() {
  std::vector<std::string> lines = {sampleE01("TDM"), sampleE02()};
  for (int type = 3; type <= 11; ++type) lines.push_back(sampleRecord(type));
  lines.push_back(sampleRecord(12, {{"CRZ", "1"}, {"COO", "3"}, {"VENDA_BRUTA_DIARIA", "1000"}}));
  lines.push_back(sampleRecord(13, {{"CRZ", "1"}, {"TOTALIZADOR", "01T1800"}, {"VALOR_ACUMULADO", "1000"}}));
  for (const std::string& l : sampleDocuments()) lines.push_back(l);
  lines.push_back(sampleEad());
  return lines;
}

void writeSampleMemoriesWithPaymentOff(const std::string& mfPath, const std::string& mfdPath) {
  std::vector<std::string> tdm = sampleTdmFile();
  for (std::string& line : tdm)
    if (line.starts_with("E18")) line = sampleRecord(18, {{"CRZ", "1"}, {"MEIO_PAG", "DINHEIRO"}, {"VALOR_ACUM", "1600"}});
  std::ostringstream mf, mfd;
  splitMemories(joinLines(tdm), mf, mfd);
  writeFile(mfPath, mf.str());
  writeFile(mfdPath, mfd.str());
}

}  // namespace tavex::testing
