// The stable codes of the validation's findings: one row per message of the log,
// keyed by the message constant itself. A code names the check, not the text, and
// never changes once published (scripts and databases select findings by it).
#include <unordered_map>
#include <utility>

#include "validation/finding.h"
#include "validation/messages.h"

namespace tavex {

namespace {

struct CodeRow {
  const char* const* message;
  std::string_view code;
  std::string_view what;
};

// In the order of the message table.
const CodeRow kCodes[] = {
    {&msg::kUnknownRecordType, "registro.tipo_desconhecido", "linha de um tipo de registro desconhecido"},
    {&msg::kRecordLength, "registro.tamanho", "tamanho do registro diferente do leiaute"},
    {&msg::kEadLength, "EAD.tamanho", "tamanho do registro EAD diferente do leiaute"},
    {&msg::kFormatNumber, "campo.formato_numerico", "campo numérico com caracteres que não são dígitos"},
    {&msg::kFormatDate, "campo.formato_data", "campo de data que não é AAAAMMDD válido"},
    {&msg::kFormatTime, "campo.formato_hora", "campo de hora que não é HHMMSS válido"},
    {&msg::kIdentitySerial, "ecf.num_fabr", "número de fabricação diferente do E01"},
    {&msg::kIdentityModel, "ecf.modelo", "modelo do ECF diferente do E01"},
    {&msg::kFirstNotE01, "estrutura.primeiro_e01", "primeiro registro não é E01"},
    {&msg::kSecondNotE02, "estrutura.segundo_e02", "segundo registro não é E02"},
    {&msg::kDuplicateE02, "estrutura.e02_repetido", "mais de um registro E02"},
    {&msg::kIncompatibleMf, "estrutura.incompativel_mf", "registro que um arquivo MF não pode ter"},
    {&msg::kIncompatibleMfd, "estrutura.incompativel_mfd", "registro que um arquivo MFD não pode ter"},
    {&msg::kIncompatibleRz, "estrutura.incompativel_rz", "registro que um arquivo RZ não pode ter"},
    {&msg::kNoEadAtEnd, "estrutura.sem_ead_no_fim", "o arquivo não termina com o registro EAD"},
    {&msg::kMissingRecord, "estrutura.registro_ausente", "tipo de registro exigido ausente do arquivo"},
    {&msg::kMissingEad, "estrutura.ead_ausente", "registro EAD ausente do arquivo"},
    {&msg::kOutOfOrderMf, "estrutura.ordem", "registros fora da ordem do tipo de arquivo"},
    {&msg::kOutOfOrderMfd, "estrutura.ordem", "registros fora da ordem do tipo de arquivo"},
    {&msg::kOutOfOrderTdm, "estrutura.ordem", "registros fora da ordem do tipo de arquivo"},
    {&msg::kOutOfOrderRz, "estrutura.ordem", "registros fora da ordem do tipo de arquivo"},
    {&msg::kOutOfOrderOther, "estrutura.ordem", "registros fora da ordem do tipo de arquivo"},
    {&msg::kSizeOfType, "tamanho.registro", "tamanho de registro inválido (verificação de tamanhos)"},
    {&msg::kSizeOfEad, "tamanho.ead", "tamanho do EAD inválido (verificação de tamanhos)"},
    {&msg::kE01NoSerial, "E01.num_fabr", "número de fabricação não informado"},
    {&msg::kE01MfAdicional, "E01.mf_adicional", "MF adicional inválida"},
    {&msg::kE01NoType, "E01.tipo_ecf", "tipo do ECF não informado"},
    {&msg::kE01NoBrand, "E01.marca", "marca não informada"},
    {&msg::kE01NoModel, "E01.modelo", "modelo não informado"},
    {&msg::kE01NoSbVersion, "E01.versao_sb", "versão do SB não informada"},
    {&msg::kE01SbDate, "E01.data_sb", "data de gravação do SB inválida"},
    {&msg::kE01SbTime, "E01.hora_sb", "hora de gravação do SB inválida"},
    {&msg::kE01Cnpj, "E01.cnpj", "CNPJ do usuário inválido"},
    {&msg::kE01Kind, "E01.comando_geracao", "comando de geração inválido"},
    {&msg::kE01CrzRange, "E01.crz_final", "CRZ do fim do período inválida"},
    {&msg::kE01StartDate, "E01.data_inicial", "data inicial do período inválida"},
    {&msg::kE01StartNotBeforeToday, "E01.data_inicial_futura", "data inicial não anterior ao dia da validação"},
    {&msg::kE01EndDate, "E01.data_final", "data final do período inválida"},
    {&msg::kE01EndBeforeStart, "E01.periodo_invertido", "data final anterior à inicial"},
    {&msg::kE01DllVersion, "E01.versao_biblioteca", "versão da biblioteca inválida"},
    {&msg::kE01AtoVersion, "E01.versao_ato", "versão do Ato COTEPE inválida"},
    {&msg::kE02Serial, "E02.num_fabr", "número de fabricação inválido"},
    {&msg::kE02MfAdicional, "E02.mf_adicional", "MF adicional inválida"},
    {&msg::kE02CnpjInvalid, "E02.cnpj", "CNPJ inválido"},
    {&msg::kE02CnpjDiffers, "E02.cnpj_diferente", "CNPJ diferente do E01"},
    {&msg::kE02IeMask, "E02.ie_mascara", "inscrição estadual com máscara de edição"},
    {&msg::kE02Date, "E02.data_cadastro", "data do cadastro inválida"},
    {&msg::kE02Time, "E02.hora_cadastro", "hora do cadastro inválida"},
    {&msg::kE02Cro, "E02.cro", "CRO inválido"},
    {&msg::kE07DateAfterSb, "E07.data_sb", "data posterior à gravação do SB"},
    {&msg::kE10MfAdicional, "E10.mf_adicional", "MF adicional sem registro E09"},
    {&msg::kCrzInvalid, "crz.invalido", "CRZ fora da tabela de reduções"},
    {&msg::kCrzOutOfRange, "crz.fora_do_periodo", "CRZ fora do intervalo do E01"},
    {&msg::kEadUnsigned, "EAD.sem_assinatura", "assinatura digital não preenchida"},
    {&msg::kDocumentSerial, "documento.num_fabr", "número de fabricação do documento inválido"},
    {&msg::kDocumentMfAdicional, "documento.mf_adicional", "MF adicional do documento inválida"},
    {&msg::kE14DiscountType, "E14.tipo_desconto", "tipo de desconto inválido"},
    {&msg::kE14SurchargeType, "E14.tipo_acrescimo", "tipo de acréscimo inválido"},
    {&msg::kE14Cancelled, "E14.cancelamento", "indicador de cancelamento inválido"},
    {&msg::kE14Order, "E14.ordem_desc_acr", "ordem de desconto e acréscimo inválida"},
    {&msg::kE14Customer, "E14.cpf_cnpj_cliente", "CPF/CNPJ do adquirente inválido"},
    {&msg::kE14Date, "E14.data_inicio", "data de início da emissão inválida"},
    {&msg::kE14DateOutsidePeriod, "E14.data_fora_do_periodo", "data de início fora do período do E01"},
    {&msg::kE15Totalizer, "E15.totalizador", "código do totalizador parcial inválido"},
    {&msg::kE15Cancelled, "E15.cancelamento", "indicador de cancelamento inválido"},
    {&msg::kE15Iat, "E15.iat", "indicador de arredondamento ou truncamento inválido"},
    {&msg::kE15Coo, "E15.coo", "COO sem cupom (E14)"},
    {&msg::kE15NoProductCode, "E15.codigo_produto", "código do produto não informado"},
    {&msg::kE15NoDescription, "E15.descricao", "descrição do produto não informada"},
    {&msg::kE15PartialQuantity, "E15.qtd_cancelada", "quantidade do cancelamento parcial inválida"},
    {&msg::kE15PartialValue, "E15.valor_cancelado", "valor do cancelamento parcial inválido"},
    {&msg::kE15CancelledQuantity, "E15.qtd_cancelada_maior", "quantidade cancelada maior que a vendida"},
    {&msg::kItemNetTotal, "item.total_liquido", "total líquido do item não confere"},
    {&msg::kE16NoGnf, "E16.gnf", "GNF não informado"},
    {&msg::kE16NoGrg, "E16.grg", "GRG não informado"},
    {&msg::kE16NoCdc, "E16.cdc", "CDC não informado"},
    {&msg::kE16NoCrz, "E16.crz", "CRZ não informado"},
    {&msg::kE16Denomination, "E16.denominacao", "denominação do documento inválida"},
    {&msg::kE16Date, "E16.data_final", "data final da emissão inválida"},
    {&msg::kE16Time, "E16.hora_final", "hora final da emissão inválida"},
    {&msg::kE16User, "E16.usuario_rz", "usuário diferente do da redução Z (E12)"},
    {&msg::kE16Coo, "E16.coo_rz", "COO diferente do da redução Z (E12)"},
    {&msg::kE19CancelledWarning, "E19.cancelamento_aviso", "indicador de cancelamento inválido"},
    {&msg::kE19OrderSubtotal, "E19.ordem_subtotal", "ordem de desconto e acréscimo no subtotal inválida"},
    {&msg::kE19Customer, "E19.cpf_cnpj_cliente", "CPF/CNPJ do adquirente inválido"},
    {&msg::kE19DiscountType, "E19.tipo_desconto", "tipo de desconto inválido"},
    {&msg::kE19SurchargeType, "E19.tipo_acrescimo", "tipo de acréscimo inválido"},
    {&msg::kE19CancelledError, "E19.cancelamento", "indicador de cancelamento inválido"},
    {&msg::kE19Order, "E19.ordem_desc_acr", "ordem de desconto e acréscimo inválida"},
    {&msg::kE19Date, "E19.data_inicio", "data de início da emissão inválida"},
    {&msg::kE19DateBeforePeriod, "E19.data_fora_do_periodo", "data de início fora do período do E01"},
    {&msg::kDocumentNetTotal, "documento.total_liquido", "total líquido do documento não confere"},
    {&msg::kE20Cancelled, "E20.cancelamento", "indicador de cancelamento inválido"},
    {&msg::kE20Coo, "E20.coo", "COO sem documento (E19)"},
    {&msg::kE21Reversal, "E21.estorno", "indicador de estorno inválido"},
    {&msg::kE21ZeroCoo, "E21.coo_zero", "COO zerado"},
    {&msg::kE21NoCcfOrGnf, "E21.ccf_gnf", "nem CCF nem GNF informados"},
    {&msg::kE21NoReversalValue, "E21.valor_estorno", "valor do estorno não informado"},
    {&msg::kCouponHeaderNet, "cupom.liquido_cabecalho", "total líquido do cupom não confere com bruto, desconto e acréscimo"},
    {&msg::kCouponGross, "cupom.bruto_itens", "total bruto do cupom diferente da soma dos itens"},
    {&msg::kCouponNet, "cupom.liquido_itens", "total líquido do cupom diferente do calculado dos itens"},
    {&msg::kNonFiscalSubtotal, "nao_fiscal.subtotal_itens", "subtotal do documento não fiscal diferente da soma dos itens"},
    {&msg::kNonFiscalNet, "nao_fiscal.liquido_itens", "total líquido do documento não fiscal diferente do calculado"},
    {&msg::kMissingCoo, "totais.coo_faltante", "número de COO ausente da sequência"},
    {&msg::kPaymentTotal, "totais.e18", "meio de pagamento (E18) diferente da soma dos pagamentos da redução Z"},
    {&msg::kNonFiscalTotal, "totais.e17", "totalizador não fiscal (E17) diferente da soma dos documentos da redução Z"},
    {&msg::kGrossSales, "totais.e12", "venda bruta diária (E12) diferente da soma dos cupons da redução Z"},
    {&msg::kTotalizerTotal, "totais.e13", "totalizador parcial (E13) diferente da soma dos cupons da redução Z"},
};

}  // namespace

std::string_view findingCodeOf(const char* const& message) {
  static const std::unordered_map<const char* const*, std::string_view> byMessage = [] {
    std::unordered_map<const char* const*, std::string_view> map;
    for (const CodeRow& row : kCodes) map.emplace(row.message, row.code);
    return map;
  }();
  const auto it = byMessage.find(&message);
  return it == byMessage.end() ? std::string_view("desconhecido") : it->second;
}

FindingFamily findingFamilyOf(std::string_view code) {
  // By the code's first word; the exceptions within a word come first.
  static constexpr std::pair<std::string_view, FindingFamily> kByPrefix[] = {
      {"registro.tipo_desconhecido", FindingFamily::Structure},
      {"registro.tamanho", FindingFamily::Format},
      {"EAD.tamanho", FindingFamily::Format},
      {"documento.total_liquido", FindingFamily::Totals},
      {"estrutura.", FindingFamily::Structure},
      {"tamanho.", FindingFamily::Format},
      {"campo.", FindingFamily::Format},
      {"totais.", FindingFamily::Totals},
      {"item.", FindingFamily::Totals},
      {"cupom.", FindingFamily::Totals},
      {"nao_fiscal.", FindingFamily::Totals},
  };
  for (const auto& [prefix, family] : kByPrefix)
    if (code.starts_with(prefix)) return family;
  return FindingFamily::Content;
}

std::vector<FindingCodeInfo> findingCodes() {
  std::vector<FindingCodeInfo> out;
  for (const CodeRow& row : kCodes) {
    bool seen = false;
    for (const FindingCodeInfo& o : out) seen = seen || o.code == row.code;
    if (!seen) out.push_back({row.code, row.what});
  }
  return out;
}

}  // namespace tavex
