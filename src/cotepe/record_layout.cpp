#include "cotepe/record_layout.h"


namespace tavex {
namespace {

// One table per record, built by layoutRows (so each is checked against its enum
// when it compiles). Records E02..E21 share their first four fields (TIPO_REG,
// NUM_FABR, MF_ADICIONAL, MODELO).
constexpr auto kE01 = layoutRows<E01>({
    {E01::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E01::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E01::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E01::TipoEcf, "TIPO_ECF", "tipo_do_ecf", 25, 7},
    {E01::Marca, "MARCA", "marca", 32, 20},
    {E01::Modelo, "MODELO", "modelo", 52, 20},
    {E01::VersaoSb, "VER_SB", "versao_sb", 72, 10, FieldCheck::None, Csv::Apostrophe},
    {E01::DataGravacaoSb, "DATA_GRAVACAO_SB", "data_sb", 82, 8, FieldCheck::Date},
    {E01::HoraGravacaoSb, "HORA_GRAVACAO_SB", "hora_sb", 90, 6, FieldCheck::Time, Csv::Apostrophe},
    {E01::NumeroSequencial, "NUM_SEQ_ECF", "numero_ecf", 96, 3, FieldCheck::Number},
    {E01::CnpjUsuario, "CNPJ_USUARIO", "cnpj", 99, 14, FieldCheck::Number, Csv::Apostrophe},
    {E01::ComandoGeracao, "COMANDO_GERACAO", "comando_geracao", 113, 3},
    {E01::CrzInicial, "CRZ_INI", "crz_inicial", 116, 6, FieldCheck::Number, Csv::Apostrophe},
    {E01::CrzFinal, "CRZ_FIM", "crz_final", 122, 6, FieldCheck::Number, Csv::Apostrophe},
    {E01::DataInicial, "DATA_INI", "data_inicial", 128, 8, FieldCheck::Date, Csv::Apostrophe},
    {E01::DataFinal, "DATA_FIM", "data_final", 136, 8, FieldCheck::Date, Csv::Apostrophe},
    {E01::VersaoDll, "VER_DLL", "versao_dll", 144, 8, FieldCheck::None, Csv::Apostrophe},
    {E01::VersaoAtoCotepe, "VER_ATOCTP", "versao_ato_cotepe", 152, 15, FieldCheck::None, Csv::Apostrophe},
});

constexpr auto kE02 = layoutRows<E02>({
    {E02::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E02::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E02::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E02::Modelo, "MODELO", "modelo", 25, 20},
    {E02::Cnpj, "CNPJ", "cnpj", 45, 14, FieldCheck::Number, Csv::Apostrophe},
    {E02::Ie, "IE", "ie", 59, 14, FieldCheck::None, Csv::Apostrophe},
    {E02::Contribuinte, "CONTRIBUINTE", "contribuinte", 73, 40},
    {E02::Endereco, "ENDERECO", "endereco", 113, 120},
    {E02::DataCadastro, "DATA_CADASTRO", "data_cadastro", 233, 8, FieldCheck::Date},
    {E02::HoraCadastro, "HORA_CADASTRO", "hora_cadastro", 241, 6, FieldCheck::Time, Csv::Apostrophe},
    {E02::Cro, "CRO", "cro", 247, 6, FieldCheck::Number, Csv::Apostrophe},
    {E02::Gt, "GT", "gt", 253, 18, FieldCheck::Number},
    {E02::NumeroUsuario, "NUM_USUARIO", "usuario", 271, 2, FieldCheck::Number},
});

constexpr auto kE03 = layoutRows<E03>({
    {E03::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E03::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E03::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E03::Modelo, "MODELO", "modelo", 25, 20},
    {E03::NumeroPrestador, "NUM_PRESTADOR", "prestador", 45, 2},
    {E03::DataCadastro, "DATA_CADASTRO", "data_cadastro", 47, 8, FieldCheck::Date},
    {E03::HoraCadastro, "HORA_CADASTRO", "hora_cadastro", 55, 6, FieldCheck::Time, Csv::Apostrophe},
    {E03::Cnpj, "CNPJ", "cnpj", 61, 14, FieldCheck::Number, Csv::Apostrophe},
    {E03::Ie, "IE", "ie", 75, 14, FieldCheck::None, Csv::Apostrophe},
    {E03::VendaBrutaDiaria, "VENDA_BRURA_DIARIA", "VB", 89, 18, FieldCheck::Number},
});

constexpr auto kE04 = layoutRows<E04>({
    {E04::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E04::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E04::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E04::Modelo, "MODELO", "modelo", 25, 20},
    {E04::NumeroUsuario, "NUM_USUARIO", "usuario", 45, 2},
    {E04::DataCadastro, "DATA_CADASTRO", "data_cadastro", 47, 8, FieldCheck::Date},
    {E04::HoraCadastro, "HORA_CADASTRO", "hora_cadastro", 55, 6, FieldCheck::Time, Csv::Apostrophe},
    {E04::Cnpj, "CNPJ", "cnpj", 61, 14, FieldCheck::Number, Csv::Apostrophe},
    {E04::Ie, "IE", "ie", 75, 14, FieldCheck::None, Csv::Apostrophe},
    {E04::Cro, "CRO", "CRO", 89, 6, FieldCheck::Number, Csv::Apostrophe},
    {E04::Gt, "GT", "GT", 95, 18, FieldCheck::Number},
});

constexpr auto kE05 = layoutRows<E05>({
    {E05::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E05::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E05::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E05::Modelo, "MODELO", "modelo", 25, 20},
    {E05::Cnpj, "CNPJ", "cnpj", 45, 14, FieldCheck::Number, Csv::Apostrophe},
    {E05::DataGravacao, "DATA_GRAVACAO", "data_cadastro", 59, 8, FieldCheck::Date},
    {E05::HoraGravacao, "HORA_GRAVACAO", "hora_cadastro", 67, 6, FieldCheck::Time, Csv::Apostrophe},
    {E05::C0, "C0", "C0", 73, 1},
    {E05::C1, "C1", "C1", 74, 1},
    {E05::C2, "C2", "C2", 75, 1},
    {E05::C3, "C3", "C3", 76, 1},
    {E05::C4, "C4", "C4", 77, 1},
    {E05::C5, "C5", "C5", 78, 1},
    {E05::C6, "C6", "C6", 79, 1},
    {E05::C7, "C7", "C7", 80, 1},
    {E05::C8, "C8", "C8", 81, 1},
    {E05::C9, "C9", "C9", 82, 1},
});

constexpr auto kE06 = layoutRows<E06>({
    {E06::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E06::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E06::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E06::Modelo, "MODELO", "modelo", 25, 20},
    {E06::Cnpj, "CNPJ", "cnpj", 45, 14, FieldCheck::Number, Csv::Apostrophe},
    {E06::DataGravacao, "DATA_GRAVACAO", "data_cadastro", 59, 8, FieldCheck::Date},
    {E06::HoraGravacao, "HORA_GRAVACAO", "hora_cadastro", 67, 6, FieldCheck::Time, Csv::Apostrophe},
    {E06::Moeda, "MOEDA", "moeda", 73, 4},
});

constexpr auto kE07 = layoutRows<E07>({
    {E07::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E07::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E07::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E07::Modelo, "MODELO", "modelo", 25, 20},
    {E07::VersaoSb, "VERSAO_SB", "versao_sb", 45, 10},
    {E07::DataGravacao, "DATA_GRAVACAO", "data_gravacao", 55, 8, FieldCheck::Date},
});

constexpr auto kE08 = layoutRows<E08>({
    {E08::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E08::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E08::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E08::Modelo, "MODELO", "modelo", 25, 20},
    {E08::Cnpj, "CNPJ", "cnpj", 45, 14, FieldCheck::Number, Csv::Apostrophe},
    {E08::NumeroSerieMfd, "NUM_SERIE_MFD", "serie_MFD", 59, 20},
});

constexpr auto kE09 = layoutRows<E09>({
    {E09::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E09::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E09::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E09::Modelo, "MODELO", "modelo", 25, 20},
    {E09::Cro, "CRO", "CRO", 45, 6, FieldCheck::Number, Csv::Apostrophe},
    {E09::DataGravacao, "DATA_GRAVACAO", "data_gravacao", 51, 8, FieldCheck::Date},
    {E09::HoraGravacao, "HORA_GRAVACAO", "hora_gravacao", 59, 6, FieldCheck::Time, Csv::Apostrophe},
    {E09::PerdaDadosMt, "IND_PERDA_DADOS_MT", "perda_dados_MIT", 65, 1},
});

constexpr auto kE10 = layoutRows<E10>({
    {E10::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E10::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E10::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E10::Modelo, "MODELO", "modelo", 25, 20},
    {E10::Cfd, "CFD", "CFD", 45, 6, FieldCheck::Number, Csv::Apostrophe},
    {E10::DataEmissao, "DATA_EMISSAO", "data_emissao", 51, 8, FieldCheck::Date},
    {E10::CooInicial, "COO_INI", "coo_inicial", 59, 6, FieldCheck::Number, Csv::Apostrophe},
    {E10::CooFinal, "COO_FINAL", "coo_final", 65, 6, FieldCheck::Number, Csv::Apostrophe},
    {E10::CnpjUsuario, "CNPJ_USUARIO", "cnpj", 71, 14, FieldCheck::Number, Csv::Apostrophe},
});

constexpr auto kE11 = layoutRows<E11>({
    {E11::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E11::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E11::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E11::Modelo, "MODELO", "modelo", 25, 20},
    {E11::Crz, "CRZ", "CRZ", 45, 6, FieldCheck::Number, Csv::Apostrophe},
    {E11::Cro, "CRO", "CRO", 51, 6, FieldCheck::Number, Csv::Apostrophe},
    {E11::Coo, "COO", "COO", 57, 6, FieldCheck::Number, Csv::Apostrophe},
    {E11::Gnf, "GNF", "GNF", 63, 6, FieldCheck::Number, Csv::Apostrophe},
    {E11::Ccf, "CCF", "CCF", 69, 6, FieldCheck::Number, Csv::Apostrophe},
    {E11::Cvc, "CVC", "CVC", 75, 6, FieldCheck::Number, Csv::Apostrophe},
    {E11::Cbp, "CBP", "CBP", 81, 6, FieldCheck::Number, Csv::Apostrophe},
    {E11::Grg, "GRG", "GRG", 87, 6, FieldCheck::Number, Csv::Apostrophe},
    {E11::Cmv, "CMV", "CMV", 93, 6, FieldCheck::Number, Csv::Apostrophe},
    {E11::Cfd, "CFD", "CFD", 99, 6, FieldCheck::Number, Csv::Apostrophe},
    {E11::Gt, "GT", "GT", 105, 18, FieldCheck::Number},
    {E11::DataCaptura, "DATA_CAP", "data_leitura", 123, 8, FieldCheck::Date, Csv::Apostrophe},
    {E11::HoraCaptura, "HORA_CAP", "hora_leitura", 131, 6, FieldCheck::Time, Csv::Apostrophe},
});

constexpr auto kE12 = layoutRows<E12>({
    {E12::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E12::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E12::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E12::Modelo, "MODELO", "modelo", 25, 20},
    {E12::NumeroUsuario, "NUM_USUARIO", "usuario", 45, 2},
    {E12::Crz, "CRZ", "CRZ", 47, 6, FieldCheck::Number, Csv::Apostrophe},
    {E12::Coo, "COO", "COO", 53, 6, FieldCheck::Number, Csv::Apostrophe},
    {E12::Cro, "CRO", "CRO", 59, 6, FieldCheck::Number, Csv::Apostrophe},
    {E12::DataMovimento, "DATA_MOVIMENTO", "data_movimento", 65, 8, FieldCheck::Date},
    {E12::DataEmissao, "DATA_EMISSAO", "data_emissao", 73, 8, FieldCheck::Date},
    {E12::HoraEmissao, "HORA_EMISSAO", "hora_emissao", 81, 6, FieldCheck::Time, Csv::Apostrophe},
    {E12::VendaBrutaDiaria, "VENDA_BRUTA_DIARIA", "VB", 87, 14, FieldCheck::Number},
    {E12::IssDesconto, "ISS_DISC", "desconto_ISSQN", 101, 1},
});

constexpr auto kE13 = layoutRows<E13>({
    {E13::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E13::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E13::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E13::Modelo, "MODELO", "modelo", 25, 20},
    {E13::NumeroUsuario, "NUM_USUARIO", "usuario", 45, 2},
    {E13::Crz, "CRZ", "CRZ", 47, 6, FieldCheck::Number, Csv::Apostrophe},
    {E13::Totalizador, "TOTALIZADOR", "totalizador", 53, 7},
    {E13::ValorAcumulado, "VALOR_ACUMULADO", "valor", 60, 13, FieldCheck::Number},
});

constexpr auto kE14 = layoutRows<E14>({
    {E14::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E14::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E14::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E14::Modelo, "MODELO", "modelo", 25, 20},
    {E14::NumeroUsuario, "NUM_USUARIO", "usuario", 45, 2, FieldCheck::Number},
    {E14::Contador, "CCF/CVC/CBP", "contador", 47, 6, FieldCheck::Number, Csv::Apostrophe},
    {E14::Coo, "COO", "COO", 53, 6, FieldCheck::Number, Csv::Apostrophe},
    {E14::DataInicio, "DATA_INICIO", "data_inicio_emissao", 59, 8, FieldCheck::Date},
    {E14::Subtotal, "SUBTOTAL", "subtotal", 67, 14, FieldCheck::Number},
    {E14::DescontoSubtotal, "DESC_SUBTOTAL", "desconto_subtotal", 81, 13, FieldCheck::Number},
    {E14::TipoDesconto, "TIPO_DESC", "tipo_desconto", 94, 1},
    {E14::AcrescimoSubtotal, "ACRES_SUBTOTAL", "acrescimo_subtotal", 95, 13, FieldCheck::Number},
    {E14::TipoAcrescimo, "TIPO_ACR", "tipo_acrescimo", 108, 1},
    {E14::TotalLiquido, "TOTAL_LIQUIDO", "total_liquido", 109, 14, FieldCheck::Number},
    {E14::Cancelamento, "IND_CANCELAMENTO", "cancelamento", 123, 1},
    {E14::CancelamentoAcrescimo, "CANC_ACRES", "cancelamento_acrescimo", 124, 13, FieldCheck::Number},
    {E14::OrdemDescontoAcrescimo, "ORDEM_DESC/ACR", "ordem_desc_acres", 137, 1},
    {E14::Cliente, "CLIENTE", "nome_cliente", 138, 40},
    {E14::CpfCnpjCliente, "CPF/CNPJ_CLI", "cnpj_cliente", 178, 14, FieldCheck::Number, Csv::Apostrophe},
});

constexpr auto kE15 = layoutRows<E15>({
    {E15::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E15::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E15::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E15::Modelo, "MODELO", "modelo", 25, 20},
    {E15::NumeroUsuario, "NUM_USUARIO", "usuario", 45, 2, FieldCheck::Number},
    {E15::Coo, "COO", "COO", 47, 6, FieldCheck::Number, Csv::Apostrophe},
    {E15::Contador, "CCF/CVC/CBP", "contador", 53, 6, FieldCheck::Number, Csv::Apostrophe},
    {E15::NumeroItem, "NUM_ITEM", "item", 59, 3, FieldCheck::Number},
    {E15::CodigoProduto, "COD_PRODUTO", "codigo", 62, 14, FieldCheck::None, Csv::Apostrophe},
    {E15::Descricao, "DESCRICAO", "descricao", 76, 100},
    {E15::Quantidade, "QTD", "quantidade", 176, 7, FieldCheck::Number},
    {E15::Unidade, "UNIDADE", "unidade", 183, 3},
    {E15::ValorUnitario, "VL_UNIT", "valor_unitario", 186, 8, FieldCheck::Number},
    {E15::DescontoItem, "DESC_ITEM", "desconto_item", 194, 8, FieldCheck::Number},
    {E15::AcrescimoItem, "ACRES_ITEM", "acrescimo_item", 202, 8, FieldCheck::Number},
    {E15::TotalLiquido, "TOTAL_LIQUIDO", "valor_liquido_total", 210, 14, FieldCheck::Number},
    {E15::TotalizadorParcial, "TOTALIZADOR_PARCIAL", "totalizador_parcial", 224, 7},
    {E15::Cancelamento, "IND_CANC", "cancelamento", 231, 1},
    {E15::QuantidadeCancelada, "QTD_CANC", "quantidade_cancelada", 232, 7, FieldCheck::Number},
    {E15::ValorCancelado, "VL_CANC", "valor_cancelado", 239, 13, FieldCheck::Number},
    {E15::CancelamentoAcrescimo, "CANC_ACRES", "cancelamento_acrescimo", 252, 13, FieldCheck::Number},
    {E15::RegraCalculo, "REGRA_CALC", "arredondamento", 265, 1},
    {E15::CasasQuantidade, "CASAS_QUANTIDADE", "casas_quantidade", 266, 1, FieldCheck::Number},
    {E15::CasasValor, "CASAS_VALOR", "casas_valor", 267, 1, FieldCheck::Number},
});

constexpr auto kE16 = layoutRows<E16>({
    {E16::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E16::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E16::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E16::Modelo, "MODELO", "modelo", 25, 20},
    {E16::NumeroUsuario, "NUM_USUARIO", "usuario", 45, 2, FieldCheck::Number},
    {E16::Coo, "COO", "COO", 47, 6, FieldCheck::Number, Csv::Apostrophe},
    {E16::Gnf, "GNF", "GNF", 53, 6, FieldCheck::Number, Csv::Apostrophe},
    {E16::Grg, "GRG", "GRG", 59, 6, FieldCheck::Number, Csv::Apostrophe},
    {E16::Cdc, "CDC", "CDC", 65, 4, FieldCheck::Number, Csv::Apostrophe},
    {E16::Crz, "CRZ", "CRZ", 69, 6, FieldCheck::Number, Csv::Apostrophe},
    {E16::Denominacao, "DENOMINACAO", "denominacao", 75, 2},
    {E16::DataFinal, "DATA_FINAL", "data_final", 77, 8, FieldCheck::Date},
    {E16::HoraFinal, "HORA_FINAL", "hora_final", 85, 6, FieldCheck::Time, Csv::Apostrophe},
});

constexpr auto kE17 = layoutRows<E17>({
    {E17::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E17::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E17::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E17::Modelo, "MODELO", "modelo", 25, 20},
    {E17::NumeroUsuario, "NUM_USUARIO", "usuario", 45, 2, FieldCheck::Number},
    {E17::Crz, "CRZ", "CRZ", 47, 6, FieldCheck::Number, Csv::Apostrophe},
    {E17::TotalizadorNaoFiscal, "TOT_NF", "totalizador_nf", 53, 15},
    {E17::ValorAcumulado, "VALOR_ACUM", "valor", 68, 13, FieldCheck::Number},
});

constexpr auto kE18 = layoutRows<E18>({
    {E18::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E18::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E18::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E18::Modelo, "MODELO", "modelo", 25, 20},
    {E18::NumeroUsuario, "NUM_USUARIO", "usuario", 45, 2, FieldCheck::Number},
    {E18::Crz, "CRZ", "CRZ", 47, 6, FieldCheck::Number, Csv::Apostrophe},
    {E18::MeioPagamento, "MEIO_PAG", "descricao", 53, 15},
    {E18::ValorAcumulado, "VALOR_ACUM", "valor", 68, 13, FieldCheck::Number},
});

constexpr auto kE19 = layoutRows<E19>({
    {E19::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E19::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E19::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E19::Modelo, "MODELO", "modelo", 25, 20},
    {E19::NumeroUsuario, "NUM_USUARIO", "usuario", 45, 2, FieldCheck::Number},
    {E19::Coo, "COO", "COO", 47, 6, FieldCheck::Number, Csv::Apostrophe},
    {E19::Gnf, "GNF", "GNF", 53, 6, FieldCheck::Number, Csv::Apostrophe},
    {E19::DataInicio, "DATA_INICIO", "data_inicio_emissao", 59, 8, FieldCheck::Date, Csv::Apostrophe},
    {E19::Subtotal, "SUBTOTAL", "subtotal", 67, 14, FieldCheck::Number},
    {E19::DescontoSubtotal, "DESC_SUBTOTAL", "desconto_subtotal", 81, 13, FieldCheck::Number},
    {E19::TipoDesconto, "TIPO_DESC", "tipo_desconto", 94, 1},
    {E19::AcrescimoSubtotal, "ACRES_SUBTOTAL", "acrescimo_subtotal", 95, 13, FieldCheck::Number},
    {E19::TipoAcrescimo, "TIPO_ACR", "tipo_acrescimo", 108, 1},
    {E19::TotalLiquido, "TOTAL_LIQUIDO", "total_liquido", 109, 14, FieldCheck::Number},
    {E19::Cancelamento, "IND_CANCELAMENTO", "cancelamento", 123, 1},
    {E19::CancelamentoAcrescimo, "CANC_ACRES", "cancelamento_acrescimo", 124, 13, FieldCheck::Number},
    {E19::OrdemDescontoAcrescimo, "ORDEM_DESC/ACR", "ordem_desc_acres", 137, 1},
    {E19::Cliente, "CLIENTE", "nome_cliente", 138, 40},
    {E19::CpfCnpjCliente, "CPF/CNPJ_CLI", "cnpj_cliente", 178, 14, FieldCheck::Number, Csv::Apostrophe},
});

constexpr auto kE20 = layoutRows<E20>({
    {E20::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E20::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E20::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E20::Modelo, "MODELO", "modelo", 25, 20},
    {E20::NumeroUsuario, "NUM_USUARIO", "usuario", 45, 2, FieldCheck::Number},
    {E20::Coo, "COO", "COO", 47, 6, FieldCheck::Number, Csv::Apostrophe},
    {E20::Gnf, "GNF", "GNF", 53, 6, FieldCheck::Number, Csv::Apostrophe},
    {E20::NumeroItem, "NUM_ITEM", "item", 59, 3, FieldCheck::Number, Csv::Apostrophe},
    {E20::Denominacao, "DENOMINACAO", "operacao", 62, 15},
    {E20::ValorOperacao, "VL_OPERACAO", "valor", 77, 13, FieldCheck::Number},
    {E20::DescontoItem, "DESC_ITEM", "desconto", 90, 13, FieldCheck::Number},
    {E20::AcrescimoItem, "ACRES_ITEM", "acrescimo", 103, 13, FieldCheck::Number},
    {E20::TotalLiquido, "TOTAL_LIQUIDO", "valor_liquido", 116, 13, FieldCheck::Number},
    {E20::Cancelamento, "IND_CANC", "cancelamento", 129, 1},
    {E20::CancelamentoAcrescimo, "CANC_ACRES", "cancelamento_acrescimo", 130, 13, FieldCheck::Number},
});

constexpr auto kE21 = layoutRows<E21>({
    {E21::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {E21::NumeroFabricacao, "NUM_FABR", "fabricacao", 4, 20},
    {E21::MfAdicional, "MF_ADICIONAL", "mf_adicional", 24, 1},
    {E21::Modelo, "MODELO", "modelo", 25, 20},
    {E21::NumeroUsuario, "NUM_USUARIO", "usuario", 45, 2, FieldCheck::Number},
    {E21::Coo, "COO", "COO", 47, 6, FieldCheck::Number, Csv::Apostrophe},
    {E21::Ccf, "CCF", "CCF", 53, 6, FieldCheck::Number, Csv::Apostrophe},
    {E21::Gnf, "GNF", "GNF", 59, 6, FieldCheck::Number, Csv::Apostrophe},
    {E21::MeioPagamento, "MEIO_PAG", "meio_pagamento", 65, 15},
    {E21::ValorPago, "VL_PAGO", "valor", 80, 13, FieldCheck::Number},
    {E21::IndicadorEstorno, "IND_ESTORNO", "estorno", 93, 1},
    {E21::ValorEstornado, "VL_ESTORNO", "valor_estornado", 94, 13, FieldCheck::Number},
});

constexpr auto kEAD = layoutRows<Ead>({
    {Ead::TipoRegistro, "TIPO_REG", "registro", 1, 3},
    {Ead::Assinatura, "assinatura", "assinatura", 4, 256},
});

// A record's layout; its type is the one its field enum names.
template <class Id, std::size_t N>
constexpr RecordLayout record(std::string_view tag, int length, const std::array<FieldLayout, N>& fields) {
  return {RecordOf<Id>::type, tag, length, fields};
}

constexpr RecordLayout kLayouts[] = {
    record<E01>("E01", 166, kE01),
    record<E02>("E02", 272, kE02),
    record<E03>("E03", 106, kE03),
    record<E04>("E04", 112, kE04),
    record<E05>("E05", 82, kE05),
    record<E06>("E06", 76, kE06),
    record<E07>("E07", 62, kE07),
    record<E08>("E08", 78, kE08),
    record<E09>("E09", 65, kE09),
    record<E10>("E10", 84, kE10),
    record<E11>("E11", 136, kE11),
    record<E12>("E12", 101, kE12),
    record<E13>("E13", 72, kE13),
    record<E14>("E14", 191, kE14),
    record<E15>("E15", 267, kE15),
    record<E16>("E16", 90, kE16),
    record<E17>("E17", 80, kE17),
    record<E18>("E18", 80, kE18),
    record<E19>("E19", 191, kE19),
    record<E20>("E20", 142, kE20),
    record<E21>("E21", 106, kE21),
    record<Ead>("EAD", 259, kEAD),
};

// Every record ends at its length, and E02..E21 open with the fields of Common.
consteval bool layoutsHold() {
  for (std::size_t i = 0; i < std::size(kLayouts); ++i) {
    const RecordLayout& layout = kLayouts[i];
    if (layout.type != (i < 21 ? static_cast<int>(i) + 1 : kEadType)) return false;  // layoutOf indexes by type
    if (layout.fields.size() > kMaxRecordFields) return false;
    const FieldLayout& last = layout.fields.back();
    if (last.start + last.width - 1 != layout.length) return false;
    if (layout.type == 1 || layout.type == kEadType) continue;
    for (int n = 1; n <= static_cast<int>(Common::Modelo); ++n) {
      const FieldLayout &field = layout.field(n), &first = kE02[static_cast<std::size_t>(n - 1)];
      if (field.name != first.name || field.start != first.start || field.width != first.width) return false;
    }
  }
  return true;
}
static_assert(layoutsHold());

}  // namespace

const RecordLayout* layoutOf(int type) {
  if (type >= 1 && type <= 21) return &kLayouts[type - 1];
  if (type == kEadType) return &kLayouts[21];
  return nullptr;
}

std::span<const RecordLayout> allLayouts() { return kLayouts; }

int tableIndexOf(int type) {
  if (type >= 1 && type <= 21) return type - 1;
  return type == kEadType ? 21 : -1;
}

int recordTypeOf(std::string_view line) {
  // The usual line: two digits after the first character.
  if (line.size() >= 3 && static_cast<unsigned char>(line[1] - '0') <= 9 &&
      static_cast<unsigned char>(line[2] - '0') <= 9)
    return (line[1] - '0') * 10 + (line[2] - '0');
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

std::string_view stripLineEnd(std::string_view line) {
  for (int k = 0; k < 2 && !line.empty() && (line.back() == '\r' || line.back() == '\n'); ++k)
    line.remove_suffix(1);
  return line;
}

}  // namespace tavex
