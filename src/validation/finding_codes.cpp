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
    {&msg::kUnknownRecordType.text, "registro.tipo_desconhecido", "linha de um tipo de registro desconhecido"},
    {&msg::kRecordLength.text, "registro.tamanho", "tamanho do registro diferente do leiaute"},
    {&msg::kEadLength.text, "EAD.tamanho", "tamanho do registro EAD diferente do leiaute"},
    {&msg::kFormatNumber.text, "campo.formato_numerico", "campo numérico com caracteres que não são dígitos"},
    {&msg::kFormatDate.text, "campo.formato_data", "campo de data que não é AAAAMMDD válido"},
    {&msg::kFormatTime.text, "campo.formato_hora", "campo de hora que não é HHMMSS válido"},
    {&msg::kIdentitySerial.text, "ecf.num_fabr", "número de fabricação diferente do E01"},
    {&msg::kIdentityModel.text, "ecf.modelo", "modelo do ECF diferente do E01"},
    {&msg::kFirstNotE01.text, "estrutura.primeiro_e01", "primeiro registro não é E01"},
    {&msg::kSecondNotE02.text, "estrutura.segundo_e02", "segundo registro não é E02"},
    {&msg::kDuplicateE02.text, "estrutura.e02_repetido", "mais de um registro E02"},
    {&msg::kIncompatibleMf.text, "estrutura.incompativel_mf", "registro que um arquivo MF não pode ter"},
    {&msg::kIncompatibleMfd.text, "estrutura.incompativel_mfd", "registro que um arquivo MFD não pode ter"},
    {&msg::kIncompatibleRz.text, "estrutura.incompativel_rz", "registro que um arquivo RZ não pode ter"},
    {&msg::kNoEadAtEnd.text, "estrutura.sem_ead_no_fim", "o arquivo não termina com o registro EAD"},
    {&msg::kMissingRecord.text, "estrutura.registro_ausente", "tipo de registro exigido ausente do arquivo"},
    {&msg::kMissingEad.text, "estrutura.ead_ausente", "registro EAD ausente do arquivo"},
    {&msg::kOutOfOrderMf.text, "estrutura.ordem", "registros fora da ordem do tipo de arquivo"},
    {&msg::kOutOfOrderMfd.text, "estrutura.ordem", "registros fora da ordem do tipo de arquivo"},
    {&msg::kOutOfOrderTdm.text, "estrutura.ordem", "registros fora da ordem do tipo de arquivo"},
    {&msg::kOutOfOrderRz.text, "estrutura.ordem", "registros fora da ordem do tipo de arquivo"},
    {&msg::kOutOfOrderOther.text, "estrutura.ordem", "registros fora da ordem do tipo de arquivo"},
    {&msg::kSizeOfType.text, "tamanho.registro", "tamanho de registro inválido (verificação de tamanhos)"},
    {&msg::kSizeOfEad.text, "tamanho.ead", "tamanho do EAD inválido (verificação de tamanhos)"},
    {&msg::kE01NoSerial.text, "E01.num_fabr", "número de fabricação não informado"},
    {&msg::kE01MfAdicional.text, "E01.mf_adicional", "MF adicional inválida"},
    {&msg::kE01NoType.text, "E01.tipo_ecf", "tipo do ECF não informado"},
    {&msg::kE01NoBrand.text, "E01.marca", "marca não informada"},
    {&msg::kE01NoModel.text, "E01.modelo", "modelo não informado"},
    {&msg::kE01NoSbVersion.text, "E01.versao_sb", "versão do SB não informada"},
    {&msg::kE01SbDate.text, "E01.data_sb", "data de gravação do SB inválida"},
    {&msg::kE01SbTime.text, "E01.hora_sb", "hora de gravação do SB inválida"},
    {&msg::kE01Cnpj.text, "E01.cnpj", "CNPJ do usuário inválido"},
    {&msg::kE01Kind.text, "E01.comando_geracao", "comando de geração inválido"},
    {&msg::kE01CrzRange.text, "E01.crz_final", "CRZ do fim do período inválida"},
    {&msg::kE01StartDate.text, "E01.data_inicial", "data inicial do período inválida"},
    {&msg::kE01StartNotBeforeToday.text, "E01.data_inicial_futura", "data inicial não anterior ao dia da validação"},
    {&msg::kE01EndDate.text, "E01.data_final", "data final do período inválida"},
    {&msg::kE01EndBeforeStart.text, "E01.periodo_invertido", "data final anterior à inicial"},
    {&msg::kE01DllVersion.text, "E01.versao_biblioteca", "versão da biblioteca inválida"},
    {&msg::kE01AtoVersion.text, "E01.versao_ato", "versão do Ato COTEPE inválida"},
    {&msg::kE02Serial.text, "E02.num_fabr", "número de fabricação inválido"},
    {&msg::kE02MfAdicional.text, "E02.mf_adicional", "MF adicional inválida"},
    {&msg::kE02CnpjInvalid.text, "E02.cnpj", "CNPJ inválido"},
    {&msg::kE02CnpjDiffers.text, "E02.cnpj_diferente", "CNPJ diferente do E01"},
    {&msg::kE02IeMask.text, "E02.ie_mascara", "inscrição estadual com máscara de edição"},
    {&msg::kE02Date.text, "E02.data_cadastro", "data do cadastro inválida"},
    {&msg::kE02Time.text, "E02.hora_cadastro", "hora do cadastro inválida"},
    {&msg::kE02Cro.text, "E02.cro", "CRO inválido"},
    {&msg::kE07DateAfterSb.text, "E07.data_sb", "data posterior à gravação do SB"},
    {&msg::kE10MfAdicional.text, "E10.mf_adicional", "MF adicional sem registro E09"},
    {&msg::kCrzInvalid.text, "crz.invalido", "CRZ fora da tabela de reduções"},
    {&msg::kCrzOutOfRange.text, "crz.fora_do_periodo", "CRZ fora do intervalo do E01"},
    {&msg::kEadUnsigned.text, "EAD.sem_assinatura", "assinatura digital não preenchida"},
    {&msg::kDocumentSerial.text, "documento.num_fabr", "número de fabricação do documento inválido"},
    {&msg::kDocumentMfAdicional.text, "documento.mf_adicional", "MF adicional do documento inválida"},
    {&msg::kE14DiscountType.text, "E14.tipo_desconto", "tipo de desconto inválido"},
    {&msg::kE14SurchargeType.text, "E14.tipo_acrescimo", "tipo de acréscimo inválido"},
    {&msg::kE14Cancelled.text, "E14.cancelamento", "indicador de cancelamento inválido"},
    {&msg::kE14Order.text, "E14.ordem_desc_acr", "ordem de desconto e acréscimo inválida"},
    {&msg::kE14Customer.text, "E14.cpf_cnpj_cliente", "CPF/CNPJ do adquirente inválido"},
    {&msg::kE14Date.text, "E14.data_inicio", "data de início da emissão inválida"},
    {&msg::kE14DateOutsidePeriod.text, "E14.data_fora_do_periodo", "data de início fora do período do E01"},
    {&msg::kE15Totalizer.text, "E15.totalizador", "código do totalizador parcial inválido"},
    {&msg::kE15Cancelled.text, "E15.cancelamento", "indicador de cancelamento inválido"},
    {&msg::kE15Iat.text, "E15.iat", "indicador de arredondamento ou truncamento inválido"},
    {&msg::kE15Coo.text, "E15.coo", "COO sem cupom (E14)"},
    {&msg::kE15NoProductCode.text, "E15.codigo_produto", "código do produto não informado"},
    {&msg::kE15NoDescription.text, "E15.descricao", "descrição do produto não informada"},
    {&msg::kE15PartialQuantity.text, "E15.qtd_cancelada", "quantidade do cancelamento parcial inválida"},
    {&msg::kE15PartialValue.text, "E15.valor_cancelado", "valor do cancelamento parcial inválido"},
    {&msg::kE15CancelledQuantity.text, "E15.qtd_cancelada_maior", "quantidade cancelada maior que a vendida"},
    {&msg::kItemNetTotal.text, "item.total_liquido", "total líquido do item não confere"},
    {&msg::kE16NoGnf.text, "E16.gnf", "GNF não informado"},
    {&msg::kE16NoGrg.text, "E16.grg", "GRG não informado"},
    {&msg::kE16NoCdc.text, "E16.cdc", "CDC não informado"},
    {&msg::kE16NoCrz.text, "E16.crz", "CRZ não informado"},
    {&msg::kE16Denomination.text, "E16.denominacao", "denominação do documento inválida"},
    {&msg::kE16Date.text, "E16.data_final", "data final da emissão inválida"},
    {&msg::kE16Time.text, "E16.hora_final", "hora final da emissão inválida"},
    {&msg::kE16User.text, "E16.usuario_rz", "usuário diferente do da redução Z (E12)"},
    {&msg::kE16Coo.text, "E16.coo_rz", "COO diferente do da redução Z (E12)"},
    {&msg::kE19CancelledWarning.text, "E19.cancelamento_aviso", "indicador de cancelamento inválido"},
    {&msg::kE19OrderSubtotal.text, "E19.ordem_subtotal", "ordem de desconto e acréscimo no subtotal inválida"},
    {&msg::kE19Customer.text, "E19.cpf_cnpj_cliente", "CPF/CNPJ do adquirente inválido"},
    {&msg::kE19DiscountType.text, "E19.tipo_desconto", "tipo de desconto inválido"},
    {&msg::kE19SurchargeType.text, "E19.tipo_acrescimo", "tipo de acréscimo inválido"},
    {&msg::kE19CancelledError.text, "E19.cancelamento", "indicador de cancelamento inválido"},
    {&msg::kE19Order.text, "E19.ordem_desc_acr", "ordem de desconto e acréscimo inválida"},
    {&msg::kE19Date.text, "E19.data_inicio", "data de início da emissão inválida"},
    {&msg::kE19DateBeforePeriod.text, "E19.data_fora_do_periodo", "data de início fora do período do E01"},
    {&msg::kDocumentNetTotal.text, "documento.total_liquido", "total líquido do documento não confere"},
    {&msg::kE20Cancelled.text, "E20.cancelamento", "indicador de cancelamento inválido"},
    {&msg::kE20Coo.text, "E20.coo", "COO sem documento (E19)"},
    {&msg::kE21Reversal.text, "E21.estorno", "indicador de estorno inválido"},
    {&msg::kE21ZeroCoo.text, "E21.coo_zero", "COO zerado"},
    {&msg::kE21NoCcfOrGnf.text, "E21.ccf_gnf", "nem CCF nem GNF informados"},
    {&msg::kE21NoReversalValue.text, "E21.valor_estorno", "valor do estorno não informado"},
    {&msg::kCouponHeaderNet.text, "cupom.liquido_cabecalho", "total líquido do cupom não confere com bruto, desconto e acréscimo"},
    {&msg::kCouponGross.text, "cupom.bruto_itens", "total bruto do cupom diferente da soma dos itens"},
    {&msg::kCouponNet.text, "cupom.liquido_itens", "total líquido do cupom diferente do calculado dos itens"},
    {&msg::kNonFiscalSubtotal.text, "nao_fiscal.subtotal_itens", "subtotal do documento não fiscal diferente da soma dos itens"},
    {&msg::kNonFiscalNet.text, "nao_fiscal.liquido_itens", "total líquido do documento não fiscal diferente do calculado"},
    {&msg::kMissingCoo.text, "totais.coo_faltante", "número de COO ausente da sequência"},
    {&msg::kPaymentTotal.text, "totais.e18", "meio de pagamento (E18) diferente da soma dos pagamentos da redução Z"},
    {&msg::kNonFiscalTotal.text, "totais.e17", "totalizador não fiscal (E17) diferente da soma dos documentos da redução Z"},
    {&msg::kGrossSales.text, "totais.e12", "venda bruta diária (E12) diferente da soma dos cupons da redução Z"},
    {&msg::kTotalizerTotal.text, "totais.e13", "totalizador parcial (E13) diferente da soma dos cupons da redução Z"},
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
