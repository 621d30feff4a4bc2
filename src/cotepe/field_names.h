// The names of every record's fields: one enum per record type whose values are the
// 1-based field numbers of its layout (record_layout.cpp checks each enum against its
// table when it compiles). `Common` names the four fields E02..E21 open with.
#pragma once

namespace tavex {

inline constexpr int kEadType = 99;  // the record type of EAD

// The record type and field count of a field enum (specialised below for each).
template <class Id>
struct RecordOf;
template <int Type, int FieldCount>
struct FieldSet {
  static constexpr int type = Type;
  static constexpr int fieldCount = FieldCount;
};

// The fields every record from E02 to E21 opens with.
enum class Common { TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo };

enum class E01 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, TipoEcf, Marca, Modelo, VersaoSb, DataGravacaoSb,
  HoraGravacaoSb, NumeroSequencial, CnpjUsuario, ComandoGeracao, CrzInicial, CrzFinal, DataInicial, DataFinal,
  VersaoDll, VersaoAtoCotepe
};
template <> struct RecordOf<E01> : FieldSet<1, 18> {};

enum class E02 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, Cnpj, Ie, Contribuinte, Endereco, DataCadastro,
  HoraCadastro, Cro, Gt, NumeroUsuario
};
template <> struct RecordOf<E02> : FieldSet<2, 13> {};

enum class E03 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, NumeroPrestador, DataCadastro, HoraCadastro, Cnpj,
  Ie, VendaBrutaDiaria
};
template <> struct RecordOf<E03> : FieldSet<3, 10> {};

enum class E04 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, NumeroUsuario, DataCadastro, HoraCadastro, Cnpj,
  Ie, Cro, Gt
};
template <> struct RecordOf<E04> : FieldSet<4, 11> {};

enum class E05 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, Cnpj, DataGravacao, HoraGravacao, C0, C1, C2, C3,
  C4, C5, C6, C7, C8, C9
};
template <> struct RecordOf<E05> : FieldSet<5, 17> {};

enum class E06 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, Cnpj, DataGravacao, HoraGravacao, Moeda
};
template <> struct RecordOf<E06> : FieldSet<6, 8> {};

enum class E07 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, VersaoSb, DataGravacao
};
template <> struct RecordOf<E07> : FieldSet<7, 6> {};

enum class E08 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, Cnpj, NumeroSerieMfd
};
template <> struct RecordOf<E08> : FieldSet<8, 6> {};

enum class E09 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, Cro, DataGravacao, HoraGravacao, PerdaDadosMt
};
template <> struct RecordOf<E09> : FieldSet<9, 8> {};

enum class E10 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, Cfd, DataEmissao, CooInicial, CooFinal, CnpjUsuario
};
template <> struct RecordOf<E10> : FieldSet<10, 9> {};

enum class E11 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, Crz, Cro, Coo, Gnf, Ccf, Cvc, Cbp, Grg, Cmv, Cfd,
  Gt, DataCaptura, HoraCaptura
};
template <> struct RecordOf<E11> : FieldSet<11, 17> {};

enum class E12 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, NumeroUsuario, Crz, Coo, Cro, DataMovimento,
  DataEmissao, HoraEmissao, VendaBrutaDiaria, IssDesconto
};
template <> struct RecordOf<E12> : FieldSet<12, 13> {};

enum class E13 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, NumeroUsuario, Crz, Totalizador, ValorAcumulado
};
template <> struct RecordOf<E13> : FieldSet<13, 8> {};

enum class E14 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, NumeroUsuario, Contador, Coo, DataInicio, Subtotal,
  DescontoSubtotal, TipoDesconto, AcrescimoSubtotal, TipoAcrescimo, TotalLiquido, Cancelamento,
  CancelamentoAcrescimo, OrdemDescontoAcrescimo, Cliente, CpfCnpjCliente
};
template <> struct RecordOf<E14> : FieldSet<14, 19> {};

enum class E15 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, NumeroUsuario, Coo, Contador, NumeroItem,
  CodigoProduto, Descricao, Quantidade, Unidade, ValorUnitario, DescontoItem, AcrescimoItem, TotalLiquido,
  TotalizadorParcial, Cancelamento, QuantidadeCancelada, ValorCancelado, CancelamentoAcrescimo, RegraCalculo,
  CasasQuantidade, CasasValor
};
template <> struct RecordOf<E15> : FieldSet<15, 24> {};

enum class E16 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, NumeroUsuario, Coo, Gnf, Grg, Cdc, Crz,
  Denominacao, DataFinal, HoraFinal
};
template <> struct RecordOf<E16> : FieldSet<16, 13> {};

enum class E17 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, NumeroUsuario, Crz, TotalizadorNaoFiscal,
  ValorAcumulado
};
template <> struct RecordOf<E17> : FieldSet<17, 8> {};

enum class E18 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, NumeroUsuario, Crz, MeioPagamento, ValorAcumulado
};
template <> struct RecordOf<E18> : FieldSet<18, 8> {};

enum class E19 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, NumeroUsuario, Coo, Gnf, DataInicio, Subtotal,
  DescontoSubtotal, TipoDesconto, AcrescimoSubtotal, TipoAcrescimo, TotalLiquido, Cancelamento,
  CancelamentoAcrescimo, OrdemDescontoAcrescimo, Cliente, CpfCnpjCliente
};
template <> struct RecordOf<E19> : FieldSet<19, 19> {};

enum class E20 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, NumeroUsuario, Coo, Gnf, NumeroItem, Denominacao,
  ValorOperacao, DescontoItem, AcrescimoItem, TotalLiquido, Cancelamento, CancelamentoAcrescimo
};
template <> struct RecordOf<E20> : FieldSet<20, 15> {};

enum class E21 {
  TipoRegistro = 1, NumeroFabricacao, MfAdicional, Modelo, NumeroUsuario, Coo, Ccf, Gnf, MeioPagamento,
  ValorPago, IndicadorEstorno, ValorEstornado
};
template <> struct RecordOf<E21> : FieldSet<21, 12> {};

enum class Ead {
  TipoRegistro = 1, Assinatura
};
template <> struct RecordOf<Ead> : FieldSet<kEadType, 2> {};

}  // namespace tavex
