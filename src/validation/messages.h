// The texts of the validation log and of the run's message boxes, as the user
// reads them (cp1252). Record messages are printf formats beginning
// "Linha %d: E%02.2d -> " (line number, record type) and ending in "\n".
#pragma once

#include "cotepe/file_kind.h"
#include "cotepe/text.h"

namespace tavex::msg {

// Message boxes of the run.
inline constexpr const char* kNoOpenFile =
    "Para validar um arquivo COTEPE aberto, primeiramente execute a Leitura de Registro Salvo."_cp;
inline constexpr const char* kCannotOpenCotepe = "Problemas ao abrir o arquivo COTEPE."_cp;
inline constexpr const char* kCannotCreateLog = "Problemas ao criar o arquivo de log."_cp;
inline constexpr const char* kTitleTavexError = "Tavex - Erro!"_cp;
inline constexpr const char* kTitleError = "Erro!"_cp;

// The run.
inline constexpr Message<int> kUnknownRecordType = "Linha %d: Tipo de registro desconhecido.\n"_cp;
inline constexpr Message<int, int, int, int> kRecordLength =
    "Linha %d: E%02.2d -> Tamanho de registro inválido. Esperado %d caracteres e o registro apresenta %d caracteres.\n"_cp;
inline constexpr Message<int, int, int> kEadLength =
    "Linha %d: EAD -> Tamanho de registro inválido. Esperado %d caracteres e o registro apresenta %d caracteres.\n"_cp;

// Field formats (line number, field number, record type).
inline constexpr Message<int, int, int> kFormatNumber =
    "Linha %d: Campo %d do registro Tipo E%02.2d com conteúdo inválido. Campo numérico - informação com formato incompatível.\n"_cp;
inline constexpr Message<int, int, int> kFormatDate =
    "Linha %d: Campo %d do registro Tipo E%02.2d com conteúdo inválido. Campo Data - informação com formato incompatível.\n"_cp;
inline constexpr Message<int, int, int> kFormatTime =
    "Linha %d: Campo %d do registro Tipo E%02.2d com conteúdo inválido. Campo Hora - informação com formato incompatível.\n"_cp;

// ECF identity (line number, type, type).
inline constexpr Message<int, int, int> kIdentitySerial =
    "Linha %d: E%02.2d -> Número de fabricação informado em Registro Tipo E%02.2d não é válido.\n"_cp;
inline constexpr Message<int, int, int> kIdentityModel =
    "Linha %d: E%02.2d -> Modelo do ECF informado em Registro Tipo E%02.2d não é válido.\n"_cp;

}  // namespace tavex::msg

namespace tavex::msg {

// Structural scan. The messages that name a file kind are in cotepe/file_kind.h,
// with the kind rules.
inline constexpr Message<> kFirstNotE01 = "O primeiro registro do arquivo deve ser do tipo E01.\n"_cp;
inline constexpr Message<> kSecondNotE02 = "O segundo registro do arquivo deve ser do tipo E02.\n"_cp;
inline constexpr Message<int, int> kDuplicateE02 =
    "Linha %d: E%02.2d -> Foi encontrado mais de um registro tido E02 no arquivo.\n"_cp;
inline constexpr Message<> kNoEadAtEnd = "Não existe nenhum Registro Tipo EAD no arquivo.\n"_cp;
inline constexpr Message<int, int> kMissingRecord = "        : E%02.2d -> Não existe nenhum Registro Tipo E%02.2d no arquivo.\n"_cp;
inline constexpr Message<> kMissingEad = "        : EAD -> Não existe nenhum Registro Tipo EAD no arquivo.\n"_cp;

// Size scan (line number, actual length).
inline constexpr Message<int, int, int, int> kSizeOfType =
    "Linha %d: Tamanho de registro E%d inválido. Esperados %d caracteres, porém o registro apresenta %d caracteres.\n"_cp;
inline constexpr Message<int, int> kSizeOfEad =
    "Linha %d: Tamanho de registro EAD inválido. Esperados 259 caracteres, porém o registro apresenta %d caracteres.\n"_cp;

}  // namespace tavex::msg

namespace tavex::msg {

// E01 (line number, type).
inline constexpr Message<int, int> kE01NoSerial =
    "Linha %d: E%02.2d -> Número de fabricação do ECF não informado no registro tipo E01.\n"_cp;
inline constexpr Message<int, int> kE01MfAdicional =
    "Linha %d: E%02.2d -> MF Adicional informada no registro tipo E01 não é válida.\n"_cp;
inline constexpr Message<int, int> kE01NoType = "Linha %d: E%02.2d -> Tipo do ECF não informado no registro tipo E01.\n"_cp;
inline constexpr Message<int, int> kE01NoBrand = "Linha %d: E%02.2d -> Marca do ECF não informada no registro tipo E01.\n"_cp;
inline constexpr Message<int, int> kE01NoModel = "Linha %d: E%02.2d -> Modelo do ECF não informado no registro tipo E01.\n"_cp;
inline constexpr Message<int, int> kE01NoSbVersion =
    "Linha %d: E%02.2d -> Versão atual do SB não informada no registro tipo E01.\n"_cp;
inline constexpr Message<int, int> kE01SbDate =
    "Linha %d: E%02.2d -> Data da gravação do SB informada no registro tipo E01 não é válida.\n"_cp;
inline constexpr Message<int, int> kE01SbTime =
    "Linha %d: E%02.2d -> Hora da gravação do SB informada no registro tipo E01 não é válida.\n"_cp;
inline constexpr Message<int, int> kE01Cnpj =
    "Linha %d: E%02.2d -> CNPJ do estabelecimento usuário do ECF informado no registro tipo E01 não é válido.\n"_cp;
inline constexpr Message<int, int> kE01Kind =
    "Linha %d: E%02.2d ->Arquivo entregue não é do tipo MFD conforme comando de geração informado no Registro Tipo E01.\n"_cp;
inline constexpr Message<int, int> kE01CrzRange =
    "Linha %d: E%02.2d -> CRZ do final do período informado no registro tipo E01 não é válido.\n"_cp;
inline constexpr Message<int, int> kE01StartDate =
    "Linha %d: E%02.2d -> Data do início do período a ser capturado informada no registro tipo E01 não é válida.\n"_cp;
inline constexpr Message<int, int> kE01StartNotBeforeToday =
    "Linha %d: E%02.2d -> Data do início do período a ser capturado informada no Registro Tipo E01 é superior ou igual ao dia em que está sendo efetuada a validação.\n"_cp;
inline constexpr Message<int, int> kE01EndDate =
    "Linha %d: E%02.2d -> Data do fim do período a ser capturado informada no registro tipo E01 não é válida.\n"_cp;
inline constexpr Message<int, int> kE01EndBeforeStart =
    "Linha %d: E%02.2d -> Data do fim do período a ser capturado informada no Registro Tipo E01 deve ser igual ou posterior à data inicial.\n"_cp;
inline constexpr Message<int, int> kE01DllVersion =
    "Linha %d: E%02.2d -> Versão da biblioteca do fabricante do ECF informada no registro tipo E01 não é válida.\n"_cp;
inline constexpr Message<int, int> kE01AtoVersion =
    "Linha %d: E%02.2d -> Versão do Ato COTEPE informada no registro tipo E01 não é válida.\n"_cp;

// E02 (line number, type[, text]).
inline constexpr Message<int, int> kE02Serial =
    "Linha %d: E%02.2d -> Número de fabricação informado no registro tipo E02 não é válido.\n"_cp;
inline constexpr Message<int, int> kE02MfAdicional =
    "Linha %d: E%02.2d -> MF Adicional informada no registro tipo E02 não é válida.\n"_cp;
inline constexpr Message<int, int, const char*> kE02CnpjInvalid =
    "Linha %d: E%02.2d -> CNPJ {%s} informado no registro tipo E02 não é válido.\n"_cp;
inline constexpr Message<int, int, const char*> kE02CnpjDiffers =
    "Linha %d: E%02.2d -> CNPJ {%s} informado no registro tipo E02 não é igual ao informado no Registro Tipo E01.\n"_cp;
inline constexpr Message<int, int, const char*> kE02IeMask =
    "Linha %d: E%02.2d -> Inscrição Estadual {%s} informada no registro tipo E02 deve conter somente os caracteres relativos aos dígitos do número, sem máscaras de edição.\n"_cp;
inline constexpr Message<int, int> kE02Date = "Linha %d: E%02.2d -> Data do cadastro do usuário do ECF não é válida.\n"_cp;
inline constexpr Message<int, int> kE02Time = "Linha %d: E%02.2d -> Hora do cadastro do usuário do ECF não é válida.\n"_cp;
inline constexpr Message<int, int> kE02Cro = "Linha %d: E%02.2d -> Valor do CRO informado no registro tipo E02 não é válido.\n"_cp;

// E03 to E13.
inline constexpr Message<int, int> kE07DateAfterSb =
    "Linha %d: E%02.2d -> Data inválida. Esperada data anterior ou igual a data do campo 8 do registro E01\n"_cp;
inline constexpr Message<int, int> kE10MfAdicional =
    "Linha %d: E%02.2d -> Campo 2 referente a MF Adicional com valor inválido.\n"_cp;
inline constexpr Message<int, int> kCrzInvalid = "Linha %d: E%02.2d -> Número de CRZ inválido.\n"_cp;
inline constexpr Message<int, int> kCrzOutOfRange =
    "Linha %d: E%02.2d -> CRZ informada não encontra-se no intervalo de reduções do Registro E01.\n"_cp;

}  // namespace tavex::msg

namespace tavex::msg {

inline constexpr Message<int> kEadUnsigned = "Linha %d: EAD -> Assinatura Digital não preenchida.\n"_cp;

}  // namespace tavex::msg

namespace tavex::msg {

// Serial number and MF addition of E14 to E21 (line, type, type).
inline constexpr Message<int, int, int> kDocumentSerial =
    "Linha %d: E%02.2d -> Número de fabricação informado no registro tipo E%02.2d não é válido.\n"_cp;
inline constexpr Message<int, int, int> kDocumentMfAdicional =
    "Linha %d: E%02.2d -> MF Adicional informada em registro tipo E%02.2d não é válida.\n"_cp;

// E14.
inline constexpr Message<int, int> kE14DiscountType =
    "Linha %d: E%02.2d -> Indicador do tipo de desconto informado em Registro Tipo E14 não é válido.\n"_cp;
inline constexpr Message<int, int> kE14SurchargeType =
    "Linha %d: E%02.2d -> Indicador do tipo de acréscimo informado em Registro Tipo E14 não é válido.\n"_cp;
inline constexpr Message<int, int> kE14Cancelled =
    "Linha %d: E%02.2d -> Indicador de cancelamento informado em registro tipo E14 não é válido.\n"_cp;
inline constexpr Message<int, int> kE14Order =
    "Linha %d: E%02.2d -> Indicador de ordem de aplicação de desconto e acréscimo informado em registro tipo E14 não é válido.\n"_cp;
inline constexpr Message<int, int> kE14Customer =
    "Linha %d: E%02.2d -> CPF/CNPJ do adquirente informado em registro tipo E14 não é válido segundo critério da RFB.\n"_cp;
inline constexpr Message<int, int> kE14Date =
    "Linha %d: E%02.2d -> Data de início da emissão do documento informada em registro tipo E14 não é válida.\n"_cp;
inline constexpr Message<int, int> kE14DateOutsidePeriod =
    "Linha %d: E%02.2d -> Data de início da emissão do documento informada em Registro Tipo E14 não está compreendida no período informado no Registro Tipo E01.\n"_cp;

// E15.
inline constexpr Message<int, int> kE15Totalizer =
    "Linha %d: E%02.2d -> Código do totalizador parcial informado em registro tipo E15 não é válido.\n"_cp;
inline constexpr Message<int, int> kE15Cancelled =
    "Linha %d: E%02.2d -> Indicador de cancelamento informado em registro tipo E15 não é válido.\n"_cp;
inline constexpr Message<int, int> kE15Iat =
    "Linha %d: E%02.2d -> Indicador de arredondamento ou truncamento (IAT) em registro do tipo E15 não é válido.\n"_cp;
inline constexpr Message<int, int> kE15Coo = "Linha %d: E%02.2d -> N.º do COO informado em registro tipo E15 não é válido.\n"_cp;
inline constexpr Message<int, int> kE15NoProductCode =
    "Linha %d: E%02.2d -> Código do produto ou serviço não informado em registro tipo E15.\n"_cp;
inline constexpr Message<int, int> kE15NoDescription =
    "Linha %d: E%02.2d -> Descrição do produto ou serviço não informada em registro tipo E15.\n"_cp;
inline constexpr Message<int, int> kE15PartialQuantity =
    "Linha %d: E%02.2d -> Quantidade referente a cancelamento parcial informada em registro do tipo E15 não é válida.\n"_cp;
inline constexpr Message<int, int> kE15PartialValue =
    "Linha %d: E%02.2d -> Valor referente a cancelamento parcial informado no regisro tipo E15 não é válido.\n"_cp;
inline constexpr Message<int, int> kE15CancelledQuantity =
    "Linha %d: E%02.2d -> Valor do campo 19 inválido. Esperado valor menor que do campo 11.\n"_cp;
inline constexpr Message<int, int, int> kItemNetTotal =
    "Linha %d: E%02.2d -> Valor Total Líquido não confere com demais dados do item. COO:%06.6d\n"_cp;

// E16.
inline constexpr Message<int, int> kE16NoGnf = "Linha %d: E%02.2d -> N.º do GNF em registro tipo E16 não foi informado.\n"_cp;
inline constexpr Message<int, int> kE16NoGrg = "Linha %d: E%02.2d -> N.º do GRG em registro tipo E16 não foi informado.\n"_cp;
inline constexpr Message<int, int> kE16NoCdc = "Linha %d: E%02.2d -> N.º do CDC em registro tipo E16 não foi informado.\n"_cp;
inline constexpr Message<int, int> kE16NoCrz = "Linha %d: E%02.2d -> N.º do CRZ em registro tipo E16 não foi informado.\n"_cp;
inline constexpr Message<int, int> kE16Denomination =
    "Linha %d: E%02.2d -> Denominação do documento fiscal informada em registro tipo E16 não é válida.\n"_cp;
inline constexpr Message<int, int> kE16Date =
    "Linha %d: E%02.2d -> Data final da emissão do documento informada em Registro Tipo E16 não é válida.\n"_cp;
inline constexpr Message<int, int> kE16Time =
    "Linha %d: E%02.2d -> Hora final da emissão do documento informada em Registro Tipo E16 não é válida.\n"_cp;
inline constexpr Message<int, int, const char*> kE16User =
    "Linha %d: E%02.2d -> Campo 5 contém valor inesperado. Valor diferente da referência (E12) - CRZ: %s.\n"_cp;
inline constexpr Message<int, int, const char*> kE16Coo =
    "Linha %d: E%02.2d -> Campo 6 contém valor de COO inesperado. Valor diferente da referência (E12) - CRZ: %s.\n"_cp;

// E19.
inline constexpr Message<int, int> kE19CancelledWarning =
    "Linha %d: E%02.2d -> Indicador de cancelamento informado em registro do tipo E19 não é válido.\n"_cp;
inline constexpr Message<int, int> kE19OrderSubtotal =
    "Linha %d: E%02.2d -> Indicador de ordem de aplicação de desconto e acréscimo em subtotal informado em registro tipo E19 não é válido.\n"_cp;
inline constexpr Message<int, int> kE19Customer =
    "Linha %d: E%02.2d -> CPF/CNPJ do adquirente informado em registro tipo E19 não é válido segundo critério da RFB.\n"_cp;
inline constexpr Message<int, int> kE19DiscountType =
    "Linha %d: E%02.2d -> Tipo de desconto informado em Registro Tipo E19 não é válido.\n"_cp;
inline constexpr Message<int, int> kE19SurchargeType =
    "Linha %d: E%02.2d -> Tipo de acréscimo informado em Registro Tipo E19 não é válido.\n"_cp;
inline constexpr Message<int, int> kE19CancelledError =
    "Linha %d: E%02.2d -> Indicador de cancelamento informado em registro tipo E19 não é válido.\n"_cp;
inline constexpr Message<int, int> kE19Order =
    "Linha %d: E%02.2d -> Indicador de ordem de aplicação de desconto e acréscimo informado em registro tipo E19 não é válido.\n"_cp;
inline constexpr Message<int, int> kE19Date =
    "Linha %d: E%02.2d -> Data de início da emissão do documento informada em registro tipo E19 não é válida.\n"_cp;
inline constexpr Message<int, int> kE19DateBeforePeriod =
    "Linha %d: E%02.2d -> Data de início da emissão do documento informada em Registro Tipo E19 não está compreendida no período informado no Registro Tipo E01.\n"_cp;
inline constexpr Message<int, int, int> kDocumentNetTotal =
    "Linha %d: E%02.2d -> Valor Total Líquido não confere com demais dados do documento. COO:%06.6d\n"_cp;

// E20, E21.
inline constexpr Message<int, int> kE20Cancelled =
    "Linha %d: E%02.2d -> Indicador de cancelamento informado em registro tipo E20 não é válido.\n"_cp;
inline constexpr Message<int, int> kE20Coo = "Linha %d: E%02.2d -> N.º do COO informado em registro tipo E20 não é válido.\n"_cp;
inline constexpr Message<int, int> kE21Reversal =
    "Linha %d: E%02.2d -> Indicador de estorno de pagamento informado em registro tipo E21 não é válido.\n"_cp;
inline constexpr Message<int, int> kE21ZeroCoo = "Linha %d: E%02.2d -> Campo COO com valor válido.\n"_cp;
inline constexpr Message<int, int> kE21NoCcfOrGnf =
    "Linha %d: E%02.2d -> Ao menos um dos campos CCF ou GNF precisam ser preenchidos.\n"_cp;
inline constexpr Message<int, int> kE21NoReversalValue =
    "Linha %d: E%02.2d -> Valor do estorno de pagamento efetuado não informado em registro do tipo E21.\n"_cp;

// Totals cross-checks.
inline constexpr Message<int, int> kCouponHeaderNet =
    "Linha %d: E14 -> Valor Total Líquido não confere com demais dados do documento. COO:%06.6d\n"_cp;
inline constexpr Message<int, int> kCouponGross =
    "Linha %d: E14 -> Erro no valor totalizador de Valor Total Bruto (campo 9). Valor não confere com o somatório dos itens deste cupom. COO:% 06.6d\n"_cp;
inline constexpr Message<int, int> kCouponNet =
    "Linha %d: E14 -> Erro no valor totalizador de Valor Total Líquido (campo 12). Valor não confere com o somatório dos itens deste cupom. COO:% 06.6d\n"_cp;
inline constexpr Message<int, int> kNonFiscalSubtotal =
    "Linha %d: E19 -> Erro no totalizador de Subtotal do Documento (campo 9). Valor não confere com o somatório dos itens deste documento. COO:% 06.6d\n"_cp;
inline constexpr Message<int, int> kNonFiscalNet =
    "Linha %d: E19 -> Erro no totalizador de Valor Total Líquido (campo 12). Valor não confere com o somatório dos itens deste documento. COO:% 06.6d\n"_cp;
inline constexpr Message<int> kMissingCoo = "Erro -> COO faltante de numero %06.6d.\n"_cp;
inline constexpr Message<int, const char*, int> kPaymentTotal =
    "Linha %d: E18 -> Erro no valor totalizador de Meio de Pagamento (%.15s). Valor não confere com o somatório de pagamento dos cupons. CRZ:% 06.6d\n"_cp;
inline constexpr Message<int, const char*, int> kNonFiscalTotal =
    "Linha %d: E17 -> Erro no valor totalizador Não Fiscal (%.15s). Valor não confere com o somatório de itens não fiscais dos documentos. CRZ:% 06.6d\n"_cp;
inline constexpr Message<int, int> kGrossSales =
    "Linha %d: E12 -> Erro no valor totalizador de Venda Bruta Diária (campo 12). Valor não confere com o somatório das vendas brutas dos cupons. CRZ:% 06.6d\n"_cp;
inline constexpr Message<int, const char*, int> kTotalizerTotal =
    "Linha %d: E13 -> Erro no totalizador %7.7s (campo 8). Valor não confere com o somatório das vendas dos cupons. CRZ:% 06.6d\n"_cp;

}  // namespace tavex::msg
