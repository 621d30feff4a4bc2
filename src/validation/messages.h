// The texts of the validation log and of the run's message boxes, as the user
// reads them (cp1252). Record messages are printf formats beginning
// "Linha %d: E%02.2d -> " (line number, record type) and ending in "\n".
#pragma once

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
inline constexpr const char* kUnknownRecordType = "Linha %d: Tipo de registro desconhecido.\n"_cp;
inline constexpr const char* kRecordLength =
    "Linha %d: E%02.2d -> Tamanho de registro inválido. Esperado %d caracteres e o registro apresenta %d caracteres.\n"_cp;
inline constexpr const char* kEadLength =
    "Linha %d: EAD -> Tamanho de registro inválido. Esperado %d caracteres e o registro apresenta %d caracteres.\n"_cp;

// Field formats (line number, field number, record type).
inline constexpr const char* kFormatNumber =
    "Linha %d: Campo %d do registro Tipo E%02.2d com conteúdo inválido. Campo numérico - informação com formato incompatível.\n"_cp;
inline constexpr const char* kFormatDate =
    "Linha %d: Campo %d do registro Tipo E%02.2d com conteúdo inválido. Campo Data - informação com formato incompatível.\n"_cp;
inline constexpr const char* kFormatTime =
    "Linha %d: Campo %d do registro Tipo E%02.2d com conteúdo inválido. Campo Hora - informação com formato incompatível.\n"_cp;

// ECF identity (line number, type, type).
inline constexpr const char* kIdentitySerial =
    "Linha %d: E%02.2d -> Número de fabricação informado em Registro Tipo E%02.2d não é válido.\n"_cp;
inline constexpr const char* kIdentityModel =
    "Linha %d: E%02.2d -> Modelo do ECF informado em Registro Tipo E%02.2d não é válido.\n"_cp;

}  // namespace tavex::msg

namespace tavex::msg {

// Structural scan.
inline constexpr const char* kFirstNotE01 = "O primeiro registro do arquivo deve ser do tipo E01.\n"_cp;
inline constexpr const char* kSecondNotE02 = "O segundo registro do arquivo deve ser do tipo E02.\n"_cp;
inline constexpr const char* kDuplicateE02 =
    "Linha %d: E%02.2d -> Foi encontrado mais de um registro tido E02 no arquivo.\n"_cp;
inline constexpr const char* kIncompatibleMf = "Linha %d: E%02.2d -> Registro E não compatível com arquivo MF.\n"_cp;
inline constexpr const char* kIncompatibleMfd = "Linha %d: E%02.2d -> Registro E não compatível com arquivo MFD.\n"_cp;
inline constexpr const char* kIncompatibleRz = "Linha %d: E%02.2d -> Registro E não compatível com arquivo RZ.\n"_cp;
inline constexpr const char* kNoEadAtEnd = "Não existe nenhum Registro Tipo EAD no arquivo.\n"_cp;
inline constexpr const char* kMissingRecord = "        : E%02.2d -> Não existe nenhum Registro Tipo E%02.2d no arquivo.\n"_cp;
inline constexpr const char* kMissingEad = "        : EAD -> Não existe nenhum Registro Tipo EAD no arquivo.\n"_cp;
inline constexpr const char* kOutOfOrderMf =
    "Os registros encontram-se fora da ordem registro tipo E01, E02, E03, E04, E05, E06, E07, E08, E09, E10, E11, E12, E13 e EAD.\n"_cp;
inline constexpr const char* kOutOfOrderMfd =
    "Os registros encontram-se fora da ordem registro tipo E01, E02, E14, E15, E16, E17, E18, E19, E20, E21 e EAD.\n"_cp;
inline constexpr const char* kOutOfOrderTdm =
    "Os registros encontram-se fora da ordem registro tipo E01, E02, E03, E04, E05, E06,\nE07, E08, E09, E10, E11, E12, E13, E14, E15, E16, E17, E18, E19, E20, E21 e EAD.\n"_cp;
inline constexpr const char* kOutOfOrderRz =
    "Os registros encontram-se fora da ordem registro tipo E01, E02, E14, E15 e E16 e EAD.\n"_cp;
inline constexpr const char* kOutOfOrderOther = "Os registros encontram-se fora da ordem esperada.\n"_cp;

// Size scan (line number, actual length).
inline constexpr const char* kSizeOfType =
    "Linha %d: Tamanho de registro E%d inválido. Esperados %d caracteres, porém o registro apresenta %d caracteres.\n"_cp;
inline constexpr const char* kSizeOfEad =
    "Linha %d: Tamanho de registro EAD inválido. Esperados 259 caracteres, porém o registro apresenta %d caracteres.\n"_cp;

}  // namespace tavex::msg

namespace tavex::msg {

// E01 (line number, type).
inline constexpr const char* kE01NoSerial =
    "Linha %d: E%02.2d -> Número de fabricação do ECF não informado no registro tipo E01.\n"_cp;
inline constexpr const char* kE01MfAdicional =
    "Linha %d: E%02.2d -> MF Adicional informada no registro tipo E01 não é válida.\n"_cp;
inline constexpr const char* kE01NoType = "Linha %d: E%02.2d -> Tipo do ECF não informado no registro tipo E01.\n"_cp;
inline constexpr const char* kE01NoBrand = "Linha %d: E%02.2d -> Marca do ECF não informada no registro tipo E01.\n"_cp;
inline constexpr const char* kE01NoModel = "Linha %d: E%02.2d -> Modelo do ECF não informado no registro tipo E01.\n"_cp;
inline constexpr const char* kE01NoSbVersion =
    "Linha %d: E%02.2d -> Versão atual do SB não informada no registro tipo E01.\n"_cp;
inline constexpr const char* kE01SbDate =
    "Linha %d: E%02.2d -> Data da gravação do SB informada no registro tipo E01 não é válida.\n"_cp;
inline constexpr const char* kE01SbTime =
    "Linha %d: E%02.2d -> Hora da gravação do SB informada no registro tipo E01 não é válida.\n"_cp;
inline constexpr const char* kE01Cnpj =
    "Linha %d: E%02.2d -> CNPJ do estabelecimento usuário do ECF informado no registro tipo E01 não é válido.\n"_cp;
inline constexpr const char* kE01Kind =
    "Linha %d: E%02.2d ->Arquivo entregue não é do tipo MFD conforme comando de geração informado no Registro Tipo E01.\n"_cp;
inline constexpr const char* kE01CrzRange =
    "Linha %d: E%02.2d -> CRZ do final do período informado no registro tipo E01 não é válido.\n"_cp;
inline constexpr const char* kE01StartDate =
    "Linha %d: E%02.2d -> Data do início do período a ser capturado informada no registro tipo E01 não é válida.\n"_cp;
inline constexpr const char* kE01StartNotBeforeToday =
    "Linha %d: E%02.2d -> Data do início do período a ser capturado informada no Registro Tipo E01 é superior ou igual ao dia em que está sendo efetuada a validação.\n"_cp;
inline constexpr const char* kE01EndDate =
    "Linha %d: E%02.2d -> Data do fim do período a ser capturado informada no registro tipo E01 não é válida.\n"_cp;
inline constexpr const char* kE01EndBeforeStart =
    "Linha %d: E%02.2d -> Data do fim do período a ser capturado informada no Registro Tipo E01 deve ser igual ou posterior à data inicial.\n"_cp;
inline constexpr const char* kE01DllVersion =
    "Linha %d: E%02.2d -> Versão da biblioteca do fabricante do ECF informada no registro tipo E01 não é válida.\n"_cp;
inline constexpr const char* kE01AtoVersion =
    "Linha %d: E%02.2d -> Versão do Ato COTEPE informada no registro tipo E01 não é válida.\n"_cp;

// E02 (line number, type[, text]).
inline constexpr const char* kE02Serial =
    "Linha %d: E%02.2d -> Número de fabricação informado no registro tipo E02 não é válido.\n"_cp;
inline constexpr const char* kE02MfAdicional =
    "Linha %d: E%02.2d -> MF Adicional informada no registro tipo E02 não é válida.\n"_cp;
inline constexpr const char* kE02CnpjInvalid =
    "Linha %d: E%02.2d -> CNPJ {%s} informado no registro tipo E02 não é válido.\n"_cp;
inline constexpr const char* kE02CnpjDiffers =
    "Linha %d: E%02.2d -> CNPJ {%s} informado no registro tipo E02 não é igual ao informado no Registro Tipo E01.\n"_cp;
inline constexpr const char* kE02IeMask =
    "Linha %d: E%02.2d -> Inscrição Estadual {%s} informada no registro tipo E02 deve conter somente os caracteres relativos aos dígitos do número, sem máscaras de edição.\n"_cp;
inline constexpr const char* kE02Date = "Linha %d: E%02.2d -> Data do cadastro do usuário do ECF não é válida.\n"_cp;
inline constexpr const char* kE02Time = "Linha %d: E%02.2d -> Hora do cadastro do usuário do ECF não é válida.\n"_cp;
inline constexpr const char* kE02Cro = "Linha %d: E%02.2d -> Valor do CRO informado no registro tipo E02 não é válido.\n"_cp;

// E03 to E13.
inline constexpr const char* kE07DateAfterSb =
    "Linha %d: E%02.2d -> Data inválida. Esperada data anterior ou igual a data do campo 8 do registro E01\n"_cp;
inline constexpr const char* kE10MfAdicional =
    "Linha %d: E%02.2d -> Campo 2 referente a MF Adicional com valor inválido.\n"_cp;
inline constexpr const char* kCrzInvalid = "Linha %d: E%02.2d -> Número de CRZ inválido.\n"_cp;
inline constexpr const char* kCrzOutOfRange =
    "Linha %d: E%02.2d -> CRZ informada não encontra-se no intervalo de reduções do Registro E01.\n"_cp;

}  // namespace tavex::msg

namespace tavex::msg {

inline constexpr const char* kEadUnsigned = "Linha %d: EAD -> Assinatura Digital não preenchida.\n"_cp;

}  // namespace tavex::msg
