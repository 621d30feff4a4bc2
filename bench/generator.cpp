#include "generator.h"

#include <random>
#include <vector>

#include "cotepe/record_builder.h"
#include "cotepe/text.h"

namespace tavex {

namespace {

constexpr std::string_view kSerial = "SIM0000000000000001";
constexpr std::string_view kModel = "TAVEX SIM 1";
constexpr std::string_view kCnpj = "11222333000181";

class Writer {
 public:
  Writer(std::ostream& out, bool crlf) : out_(out), eol_(crlf ? "\r\n" : "\n") {}
  void line(const std::string& record) {
    out_ << record << eol_;
    bytes_ += record.size() + eol_.size();
  }
  std::uint64_t bytes() const { return bytes_; }

 private:
  std::ostream& out_;
  std::string eol_;
  std::uint64_t bytes_ = 0;
};

std::string addDays(const std::string& date, int days) {
  int y = static_cast<int>(leadingInt(date.substr(0, 4)));
  int m = static_cast<int>(leadingInt(date.substr(4, 2)));
  int d = static_cast<int>(leadingInt(date.substr(6, 2)));
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int i = 0; i < days; ++i) {
    const bool leap = y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
    const int limit = m == 2 && leap ? 29 : kDays[m - 1];
    if (++d > limit) {
      d = 1;
      if (++m > 12) {
        m = 1;
        ++y;
      }
    }
  }
  return cformat("%04d%02d%02d", y, m, d);
}

std::string num(std::int64_t v) { return std::to_string(v); }

}  // namespace

std::uint64_t generateCotepe(std::ostream& out, const GeneratorOptions& options) {
  Writer w(out, options.crlf);
  std::mt19937_64 random(options.seed);
  const bool memory = options.kind == FileKind::MF || options.kind == FileKind::TDM;
  const std::string_view command = options.kind == FileKind::MF    ? "MF "
                                   : options.kind == FileKind::MFD ? "MFD"
                                   : options.kind == FileKind::RZ  ? "RZ "
                                                                   : "TDM";
  // Each reduction's records are about 300 bytes of fiscal memory; size the run by it.
  const std::uint64_t reductions = std::max<std::uint64_t>(1, options.targetBytes / 900);
  const std::string end = addDays(options.periodStart, static_cast<int>(reductions));
  const std::string crzLast = num(static_cast<std::int64_t>(reductions));

  w.line(makeRecord(1, {{"NUM_FABR", kSerial}, {"MF_ADICIONAL", " "}, {"TIPO_ECF", "ECF-IF"}, {"MARCA", "TAVEX"},
                        {"MODELO", kModel}, {"VER_SB", "01.00.00"}, {"DATA_GRAVACAO_SB", "20100301"},
                        {"HORA_GRAVACAO_SB", "101500"}, {"NUM_SEQ_ECF", "1"}, {"CNPJ_USUARIO", kCnpj},
                        {"COMANDO_GERACAO", command}, {"CRZ_INI", "1"}, {"CRZ_FIM", crzLast},
                        {"DATA_INI", options.periodStart}, {"DATA_FIM", end}, {"VER_DLL", "01.00.00"},
                        {"VER_ATOCTP", "0000000" "01.00.00"}}));
  w.line(makeRecord(2, {{"NUM_FABR", kSerial}, {"MODELO", kModel}, {"CNPJ", kCnpj}, {"IE", "123456789012"},
                        {"CONTRIBUINTE", "COMERCIO DE TESTES LTDA"}, {"ENDERECO", "RUA DAS AMOSTRAS, 100"},
                        {"DATA_CADASTRO", "20100301"}, {"HORA_CADASTRO", "110000"}, {"CRO", "1"},
                        {"GT", "0"}, {"NUM_USUARIO", "1"}}));
  if (memory) {
    const FieldValue id[] = {{"NUM_FABR", kSerial}, {"MODELO", kModel}};
    (void)id;
    w.line(makeRecord(3, {{"NUM_FABR", kSerial}, {"MODELO", kModel}, {"NUM_PRESTADOR", "01"},
                          {"DATA_CADASTRO", "20100301"}, {"HORA_CADASTRO", "100000"}, {"CNPJ", kCnpj}}));
    w.line(makeRecord(4, {{"NUM_FABR", kSerial}, {"MODELO", kModel}, {"NUM_USUARIO", "01"},
                          {"DATA_CADASTRO", "20100301"}, {"HORA_CADASTRO", "110000"}, {"CNPJ", kCnpj}, {"CRO", "1"}}));
    w.line(makeRecord(5, {{"NUM_FABR", kSerial}, {"MODELO", kModel}, {"CNPJ", kCnpj},
                          {"DATA_GRAVACAO", "20100301"}, {"HORA_GRAVACAO", "110000"}}));
    w.line(makeRecord(6, {{"NUM_FABR", kSerial}, {"MODELO", kModel}, {"CNPJ", kCnpj},
                          {"DATA_GRAVACAO", "20100301"}, {"HORA_GRAVACAO", "110000"}, {"MOEDA", "R$"}}));
    w.line(makeRecord(7, {{"NUM_FABR", kSerial}, {"MODELO", kModel}, {"VERSAO_SB", "01.00.00"},
                          {"DATA_GRAVACAO", "20100301"}}));
    w.line(makeRecord(8, {{"NUM_FABR", kSerial}, {"MODELO", kModel}, {"CNPJ", kCnpj},
                          {"NUM_SERIE_MFD", "MFD000001"}}));
    w.line(makeRecord(9, {{"NUM_FABR", kSerial}, {"MODELO", kModel}, {"CRO", "1"},
                          {"DATA_GRAVACAO", "20100301"}, {"HORA_GRAVACAO", "110000"}, {"IND_PERDA_DADOS_MT", "N"}}));
    w.line(makeRecord(10, {{"NUM_FABR", kSerial}, {"MODELO", kModel}, {"CFD", "1"},
                           {"DATA_EMISSAO", options.periodStart}, {"COO_INI", "1"}, {"COO_FINAL", "2"},
                           {"CNPJ_USUARIO", kCnpj}}));
    w.line(makeRecord(11, {{"NUM_FABR", kSerial}, {"MODELO", kModel}, {"CRZ", crzLast}, {"CRO", "1"},
                           {"COO", num(static_cast<std::int64_t>(reductions))}, {"DATA_CAP", end},
                           {"HORA_CAP", "180000"}}));
    std::string day = options.periodStart;
    for (std::uint64_t crz = 1; crz <= reductions; ++crz, day = addDays(day, 1))
      w.line(makeRecord(12, {{"NUM_FABR", kSerial}, {"MODELO", kModel}, {"NUM_USUARIO", "01"},
                             {"CRZ", num(static_cast<std::int64_t>(crz))}, {"COO", num(static_cast<std::int64_t>(crz))},
                             {"CRO", "1"}, {"DATA_MOVIMENTO", day}, {"DATA_EMISSAO", day},
                             {"HORA_EMISSAO", "180000"}, {"VENDA_BRUTA_DIARIA", "0"}, {"ISS_DISC", "N"}}));
    static constexpr std::string_view kTotalizers[] = {"01T1800", "02T1200", "F1", "I1", "N1", "Can-T", "DT"};
    for (std::uint64_t crz = 1; crz <= reductions; ++crz)
      for (std::string_view t : kTotalizers)
        w.line(makeRecord(13, {{"NUM_FABR", kSerial}, {"MODELO", kModel}, {"NUM_USUARIO", "01"},
                               {"CRZ", num(static_cast<std::int64_t>(crz))}, {"TOTALIZADOR", t},
                               {"VALOR_ACUMULADO", "0"}}));
  }
  std::string signature(256, '0');
  for (char& c : signature) c = "0123456789ABCDEF"[random() % 16];
  w.line("EAD" + signature);
  return w.bytes();
}

}  // namespace tavex
