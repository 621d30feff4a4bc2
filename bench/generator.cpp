#include "generator.h"

#include <algorithm>
#include <map>
#include <random>
#include <sstream>
#include <vector>

#include "cotepe/record_builder.h"
#include "cotepe/text.h"

namespace tavex {

namespace {

constexpr std::string_view kSerial = "TX000000000000000001";  // 20 characters
constexpr std::string_view kModel = "TAVEX SIM 1";
constexpr std::string_view kCnpj = "11222333000181";
constexpr std::string_view kUser = "01";

std::string num(std::int64_t v) { return std::to_string(v); }

std::string addDays(const std::string& date, std::uint64_t days) {
  int y = static_cast<int>(leadingInt(date.substr(0, 4)));
  int m = static_cast<int>(leadingInt(date.substr(4, 2)));
  int d = static_cast<int>(leadingInt(date.substr(6, 2)));
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (std::uint64_t i = 0; i < days; ++i) {
    const bool leap = y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
    if (++d > (m == 2 && leap ? 29 : kDays[m - 1])) {
      d = 1;
      if (++m > 12) {
        m = 1;
        ++y;
      }
    }
  }
  return cformat("%04d%02d%02d", y, m, d);
}

// The item value the validation computes: unit price x quantity (3 decimals),
// truncated or rounded half to even to centavos.
std::int64_t itemValue(std::int64_t unitPrice, std::int64_t quantity, bool truncate) {
  constexpr std::int64_t s = 1000;
  std::int64_t p = unitPrice * quantity;
  if (truncate) return p / s;
  const std::int64_t r = p % s, d = r / (s / 10), rest = r % (s / 10);
  const bool odd = ((p % (10 * s)) / s) % 2 != 0;
  if (d > 5 || (d == 5 && rest != 0) || (d == 5 && rest == 0 && odd)) p += s;
  return p / s;
}

// What one reduction declares, accumulated from its documents.
struct ReductionTotals {
  std::int64_t gross = 0;
  std::map<std::string, std::int64_t> totalizers;  // items' totalizers plus DT, AT, Can-T
  std::map<std::string, std::int64_t> nonFiscal;
  std::map<std::string, std::int64_t> payments;
};

class Generator {
 public:
  explicit Generator(const GeneratorOptions& o) : o_(o), random_(o.seed) {}

  std::uint64_t write(std::ostream& out) {
    const bool memory = o_.kind == FileKind::MF || o_.kind == FileKind::TDM;
    const bool documents = o_.kind != FileKind::MF;
    const std::uint64_t perReduction = memory && !documents ? 700 : 1700 + o_.couponsPerReduction * 980;
    std::uint64_t reductions = o_.reductions != 0 ? o_.reductions : std::max<std::uint64_t>(1, o_.targetBytes / perReduction);
    coupons_ = documents ? std::max<std::uint64_t>(1, o_.couponsPerReduction) : 0;
    if (memory && reductions > 5000) {  // the reduction table ends at CRZ 5001: grow the days instead
      coupons_ = documents ? coupons_ * reductions / 5000 + 1 : 0;
      extraTotalizers_ = documents ? 0 : (reductions - 5000) * 8 / 5000 + 1;  // MF: more totalizers per day
      reductions = 5000;
    }
    const std::string end = addDays(o_.periodStart, reductions - 1);

    for (std::uint64_t r = 1; r <= reductions; ++r) reduction(r, addDays(o_.periodStart, r - 1), memory, documents);

    std::vector<std::string> head = {e01(end, reductions), e02()};
    if (memory) fiscalMemoryHead(end, reductions, head);
    std::vector<std::string> lines = std::move(head);
    const auto append = [&](std::vector<std::string>& group) {
      for (std::string& l : group) lines.push_back(std::move(l));
    };
    if (memory) {
      append(e12_);
      append(e13_);
    }
    if (documents) {
      append(e14_);
      append(e15_);
      append(e16_);
      if (o_.kind != FileKind::RZ) {
        append(e17_);
        append(e18_);
        append(e19_);
        append(e20_);
      }
      append(e21_);
    }
    std::string signature(256, '0');
    for (char& c : signature) c = "0123456789ABCDEF"[random_() % 16];
    lines.push_back("EAD" + signature);
    injectFault(lines);

    const std::string eol = o_.crlf ? "\r\n" : "\n";
    std::uint64_t bytes = 0;
    for (const std::string& l : lines) {
      out << l << eol;
      bytes += l.size() + eol.size();
    }
    return bytes;
  }

 private:
  void injectFault(std::vector<std::string>& lines) const {
    switch (o_.fault) {
      case GeneratorFault::None:
        break;
      case GeneratorFault::NoEad:
        lines.pop_back();
        break;
      case GeneratorFault::BlankLine:
        lines.insert(lines.begin() + 2, std::string());
        break;
      case GeneratorFault::OutOfOrder: {
        // The first record of the third group goes in front of the second group.
        std::size_t second = 2;
        while (second + 1 < lines.size() && lines[second + 1].substr(0, 3) == lines[second].substr(0, 3)) ++second;
        ++second;
        if (second + 1 < lines.size()) std::swap(lines[2], lines[second]);
        break;
      }
      case GeneratorFault::DuplicateE02:
        lines.insert(lines.begin() + 2, lines[1]);
        break;
      case GeneratorFault::RecordAfterEad:
        if (lines.size() > 3) std::swap(lines[lines.size() - 1], lines[lines.size() - 2]);
        break;
      case GeneratorFault::ShortRecord:
        if (lines.size() > 3) lines[lines.size() - 2].pop_back();
        break;
    }
  }

  std::int64_t rnd(std::int64_t lo, std::int64_t hi) {
    return lo + static_cast<std::int64_t>(random_() % static_cast<std::uint64_t>(hi - lo + 1));
  }

  std::vector<FieldValue> id() const { return {{"NUM_FABR", kSerial}, {"MF_ADICIONAL", " "}, {"MODELO", kModel}}; }
  std::string rec(int type, std::vector<FieldValue> values) const {
    std::vector<FieldValue> all = id();
    all.insert(all.end(), values.begin(), values.end());
    return makeRecord(type, all);
  }

  std::string e01(const std::string& end, std::uint64_t reductions) const {
    const std::string_view command = o_.kind == FileKind::MF    ? "MF "
                                     : o_.kind == FileKind::MFD ? "MFD"
                                     : o_.kind == FileKind::RZ  ? "RZ "
                                                                : "TDM";
    return makeRecord(1, {{"NUM_FABR", kSerial}, {"MF_ADICIONAL", " "}, {"TIPO_ECF", "ECF-IF"}, {"MARCA", "TAVEX"},
                          {"MODELO", kModel}, {"VER_SB", "01.00.00"}, {"DATA_GRAVACAO_SB", "20100301"},
                          {"HORA_GRAVACAO_SB", "101500"}, {"NUM_SEQ_ECF", "1"}, {"CNPJ_USUARIO", kCnpj},
                          {"COMANDO_GERACAO", command}, {"CRZ_INI", "1"}, {"CRZ_FIM", num(static_cast<std::int64_t>(reductions))},
                          {"DATA_INI", o_.periodStart}, {"DATA_FIM", end}, {"VER_DLL", "01.00.00"},
                          {"VER_ATOCTP", "ATO1704" "01.00.00"}});
  }

  std::string e02() const {
    return rec(2, {{"CNPJ", kCnpj}, {"IE", "123456789012"}, {"CONTRIBUINTE", "COMERCIO DE TESTES LTDA"},
                   {"ENDERECO", "RUA DAS AMOSTRAS, 100 - CENTRO"}, {"DATA_CADASTRO", "20100301"},
                   {"HORA_CADASTRO", "110000"}, {"CRO", "1"}, {"GT", num(registrationGt())}, {"NUM_USUARIO", kUser}});
  }

  void fiscalMemoryHead(const std::string& end, std::uint64_t reductions, std::vector<std::string>& head) const {
    head.push_back(rec(3, {{"NUM_PRESTADOR", "01"}, {"DATA_CADASTRO", "20100301"}, {"HORA_CADASTRO", "100000"},
                           {"CNPJ", kCnpj}, {"IE", "987654321"}}));
    if (!o_.withoutUnusedRecords)
      head.push_back(rec(4, {{"NUM_USUARIO", kUser}, {"DATA_CADASTRO", "20100301"}, {"HORA_CADASTRO", "110000"},
                           {"CNPJ", kCnpj}, {"IE", "123456789012"}, {"CRO", "1"}, {"GT", num(registrationGt())}}));
    head.push_back(rec(5, {{"CNPJ", kCnpj}, {"DATA_GRAVACAO", "20100301"}, {"HORA_GRAVACAO", "110000"}}));
    head.push_back(rec(6, {{"CNPJ", kCnpj}, {"DATA_GRAVACAO", "20100301"}, {"HORA_GRAVACAO", "110000"}, {"MOEDA", "R$"}}));
    head.push_back(rec(7, {{"VERSAO_SB", "01.00.00"}, {"DATA_GRAVACAO", "20100301"}}));
    head.push_back(rec(8, {{"CNPJ", kCnpj}, {"NUM_SERIE_MFD", "MFD0000001"}}));
    head.push_back(rec(9, {{"CRO", "1"}, {"DATA_GRAVACAO", "20100301"}, {"HORA_GRAVACAO", "110000"},
                           {"IND_PERDA_DADOS_MT", "N"}}));
    if (intervention())
      head.push_back(rec(9, {{"CRO", "2"}, {"DATA_GRAVACAO", addDays(o_.periodStart, o_.interventionAt - 1)},
                             {"HORA_GRAVACAO", "080000"}, {"IND_PERDA_DADOS_MT", "N"}}));
    if (!o_.withoutUnusedRecords)
      head.push_back(rec(10, {{"CFD", "1"}, {"DATA_EMISSAO", o_.periodStart}, {"COO_INI", "1"}, {"COO_FINAL", "2"},
                            {"CNPJ_USUARIO", kCnpj}}));
    head.push_back(rec(11, {{"CRZ", num(static_cast<std::int64_t>(reductions))}, {"CRO", intervention() ? "2" : "1"},
                            {"COO", num(coo_ - 1)}, {"GNF", num(gnf_)}, {"CCF", num(ccf_)},
                            {"GT", num(o_.grandTotals ? registrationGt() + grossSum_ : 0)}, {"DATA_CAP", end},
                            {"HORA_CAP", "235900"}}));
  }

  void reduction(std::uint64_t r, const std::string& day, bool memory, bool documents) {
    ReductionTotals totals;
    const std::string crz = num(static_cast<std::int64_t>(r));
    for (std::uint64_t c = 0; c < coupons_; ++c) coupon(day, totals);
    if (documents && o_.kind != FileKind::RZ) {
      if (o_.withoutUnusedRecords)
        totals.nonFiscal["SUPRIMENTO"] += 0;
      else
        nonFiscalDocument(day, totals);
    }

    const std::int64_t zCoo = coo_++;
    if (documents)
      e16_.push_back(rec(16, {{"NUM_USUARIO", kUser}, {"COO", num(zCoo)}, {"CRZ", crz}, {"DENOMINACAO", "RZ"},
                              {"DATA_FINAL", day}, {"HORA_FINAL", "235000"}}));
    if (memory) {
      grossSum_ += totals.gross;
      const bool afterIntervention = intervention() && r >= o_.interventionAt;
      e12_.push_back(rec(12, {{"NUM_USUARIO", kUser}, {"CRZ", crz}, {"COO", num(zCoo)}, {"CRO", afterIntervention ? "2" : "1"},
                              {"DATA_MOVIMENTO", day}, {"DATA_EMISSAO", day}, {"HORA_EMISSAO", "235000"},
                              {"VENDA_BRUTA_DIARIA", num(totals.gross)}, {"ISS_DISC", "N"}}));
      for (const char* name : {"01T1800", "02T1200", "F1", "I1", "N1", "DT", "AT", "Can-T"}) totals.totalizers[name] += 0;
      for (std::uint64_t k = 0; k < extraTotalizers_; ++k)
        totals.totalizers[cformat("%02dT%04d", static_cast<int>(k / 9000 % 100), static_cast<int>(1000 + k % 9000))] += 0;
      for (const auto& [name, value] : totals.totalizers)
        e13_.push_back(rec(13, {{"NUM_USUARIO", kUser}, {"CRZ", crz}, {"TOTALIZADOR", name}, {"VALOR_ACUMULADO", num(value)}}));
    }
    if (documents && o_.kind != FileKind::RZ) {
      for (const auto& [name, value] : totals.nonFiscal)
        e17_.push_back(rec(17, {{"NUM_USUARIO", kUser}, {"CRZ", crz}, {"TOT_NF", name}, {"VALOR_ACUM", num(value)}}));
      for (const auto& [name, value] : totals.payments)
        e18_.push_back(rec(18, {{"NUM_USUARIO", kUser}, {"CRZ", crz}, {"MEIO_PAG", name}, {"VALOR_ACUM", num(value)}}));
    }
  }

  void coupon(const std::string& day, ReductionTotals& totals) {
    static constexpr const char* kTotalizers[] = {"01T1800", "02T1200", "F1", "I1", "N1"};
    const std::int64_t coo = coo_++;
    const std::int64_t ccf = ++ccf_;
    const bool cancelled = rnd(1, 20) == 1;
    const int shape = cancelled ? 0 : static_cast<int>(rnd(0, 5));  // 1: value discount, 2: value surcharge
    const std::string single = kTotalizers[rnd(0, 4)];
    const int items = static_cast<int>(rnd(1, 4));
    std::int64_t subtotal = 0;
    std::map<std::string, std::int64_t> itemNets;
    std::int64_t itemDiscounts = 0, itemSurcharges = 0;
    for (int i = 1; i <= items; ++i) {
      const std::string totalizer = shape == 1 || shape == 2 ? single : kTotalizers[rnd(0, 4)];
      const std::int64_t quantity = rnd(1, 4) * 1000 + (rnd(0, 3) == 0 ? rnd(1, 999) : 0);
      const std::int64_t unitPrice = rnd(50, 25000);
      const bool truncate = rnd(0, 1) == 0;
      const std::int64_t value = itemValue(unitPrice, quantity, truncate);
      const bool itemCancelled = !cancelled && i < items && rnd(1, 25) == 1;  // never the last: a coupon keeps a sale
      const std::int64_t discount = rnd(1, 8) == 1 ? value / 10 : 0;
      const std::int64_t surcharge = rnd(1, 12) == 1 ? value / 20 : 0;
      const std::int64_t net = value - discount + surcharge;
      e15_.push_back(rec(15, {{"NUM_USUARIO", kUser}, {"COO", num(coo)}, {"CCF/CVC/CBP", num(ccf)}, {"NUM_ITEM", num(i)},
                              {"COD_PRODUTO", "789" + num(1000000000 + rnd(0, 999999999))},
                              {"DESCRICAO", "PRODUTO DE TESTE " + num(rnd(1, 500))}, {"QTD", num(quantity)},
                              {"UNIDADE", "UN"}, {"VL_UNIT", num(unitPrice)}, {"DESC_ITEM", num(discount)},
                              {"ACRES_ITEM", num(surcharge)}, {"TOTAL_LIQUIDO", num(net)},
                              {"TOTALIZADOR_PARCIAL", totalizer}, {"IND_CANC", itemCancelled ? "S" : "N"},
                              {"REGRA_CALC", truncate ? "T" : "A"}, {"CASAS_QUANTIDADE", "3"}, {"CASAS_VALOR", "2"}}));
      totals.gross += value + surcharge;
      if (cancelled) {
        totals.totalizers["Can-T"] += value + surcharge;
      } else if (itemCancelled) {
        totals.totalizers["Can-T"] += value + surcharge;
      } else {
        subtotal += net;
        itemNets[totalizer] += net;
        itemDiscounts += discount;
        itemSurcharges += surcharge;
      }
    }
    const std::int64_t couponDiscount = shape == 1 ? std::min<std::int64_t>(subtotal / 10, rnd(1, 500)) : 0;
    const std::int64_t couponSurcharge = shape == 2 ? rnd(1, 300) : 0;
    const std::int64_t net = subtotal - couponDiscount + couponSurcharge;
    e14_.push_back(rec(14, {{"NUM_USUARIO", kUser}, {"CCF/CVC/CBP", num(ccf)}, {"COO", num(coo)}, {"DATA_INICIO", day},
                            {"SUBTOTAL", num(subtotal)}, {"DESC_SUBTOTAL", num(couponDiscount)}, {"TIPO_DESC", "V"},
                            {"ACRES_SUBTOTAL", num(couponSurcharge)}, {"TIPO_ACR", "V"}, {"TOTAL_LIQUIDO", num(net)},
                            {"IND_CANCELAMENTO", cancelled ? "S" : "N"}, {"ORDEM_DESC/ACR", " "}}));
    const std::string means = rnd(0, 2) == 0 ? "CARTAO CREDITO" : "DINHEIRO";
    e21_.push_back(rec(21, {{"NUM_USUARIO", kUser}, {"COO", num(coo)}, {"CCF", num(ccf)}, {"MEIO_PAG", means},
                            {"VL_PAGO", num(net)}, {"IND_ESTORNO", "N"}}));
    if (cancelled) return;
    totals.gross += couponSurcharge;
    for (const auto& [name, value] : itemNets) totals.totalizers[name] += value;
    totals.totalizers[single] += couponSurcharge - couponDiscount;  // one totalizer takes the whole share
    totals.totalizers["DT"] += itemDiscounts + couponDiscount;
    totals.totalizers["AT"] += itemSurcharges + couponSurcharge;
    totals.payments[means] += net;
  }

  void nonFiscalDocument(const std::string& day, ReductionTotals& totals) {
    const std::int64_t coo = coo_++;
    const std::int64_t gnf = ++gnf_;
    std::int64_t subtotal = 0;
    const int items = static_cast<int>(rnd(1, 2));
    for (int i = 1; i <= items; ++i) {
      const std::string name = i == 1 ? "SUPRIMENTO" : "RECEBIMENTO";
      const std::int64_t value = rnd(1000, 50000);
      subtotal += value;
      totals.nonFiscal[name] += value;
      e20_.push_back(rec(20, {{"NUM_USUARIO", kUser}, {"COO", num(coo)}, {"GNF", num(gnf)}, {"NUM_ITEM", num(i)},
                              {"DENOMINACAO", name}, {"VL_OPERACAO", num(value)}, {"TOTAL_LIQUIDO", num(value)},
                              {"IND_CANC", "N"}}));
    }
    e19_.push_back(rec(19, {{"NUM_USUARIO", kUser}, {"COO", num(coo)}, {"GNF", num(gnf)}, {"DATA_INICIO", day},
                            {"SUBTOTAL", num(subtotal)}, {"TIPO_DESC", "V"}, {"TIPO_ACR", "V"},
                            {"TOTAL_LIQUIDO", num(subtotal)}, {"IND_CANCELAMENTO", "N"}, {"ORDEM_DESC/ACR", " "}}));
    e21_.push_back(rec(21, {{"NUM_USUARIO", kUser}, {"COO", num(coo)}, {"GNF", num(gnf)}, {"MEIO_PAG", "DINHEIRO"},
                            {"VL_PAGO", num(subtotal)}, {"IND_ESTORNO", "N"}}));
    totals.payments["DINHEIRO"] += subtotal;
  }

  bool intervention() const { return o_.interventionAt >= 2; }
  std::int64_t registrationGt() const { return o_.grandTotals ? kRegistrationGt : 0; }

  const GeneratorOptions& o_;
  std::int64_t grossSum_ = 0;
  std::mt19937_64 random_;
  std::uint64_t coupons_ = 0;
  std::uint64_t extraTotalizers_ = 0;
  std::int64_t coo_ = 1, ccf_ = 0, gnf_ = 0;
  std::vector<std::string> e12_, e13_, e14_, e15_, e16_, e17_, e18_, e19_, e20_, e21_;
};

}  // namespace

std::uint64_t generateCotepe(std::ostream& out, const GeneratorOptions& options) {
  Generator generator(options);
  return generator.write(out);
}

void generateMemoryPair(std::ostream& mf, std::ostream& mfd, std::ostream* tdm, GeneratorOptions options) {
  options.kind = FileKind::TDM;
  std::ostringstream whole;
  generateCotepe(whole, options);
  const std::string text = whole.str();
  if (tdm != nullptr) *tdm << text;
  splitMemories(text, mf, mfd);
}

void splitMemories(std::string_view text, std::ostream& mf, std::ostream& mfd) {
  const FieldLayout& command = fieldLayout(E01::ComandoGeracao);
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
    const std::string_view line = text.substr(start, end - start);
    const int type = recordTypeOf(line);
    if (type == 1) {
      std::string e01(line);
      mf << e01.replace(static_cast<std::size_t>(command.start - 1), 3, "MF ");
      mfd << e01.replace(static_cast<std::size_t>(command.start - 1), 3, "MFD");
    } else {
      if (type == 2 || type == kEadType || type <= 13) mf << line;
      if (type == 2 || type == kEadType || type >= 14) mfd << line;
    }
    start = end;
  }
}

std::vector<std::string> reductionsOf(const std::vector<std::string>& lines, int firstCrz, int lastCrz) {
  std::int64_t lowCoo = 0, highCoo = 0;  // the documents: after the previous reduction, up to the last
  std::string firstDay, lastDay;
  for (const std::string& line : lines) {
    const int type = recordTypeOf(line);
    if (type != 12 && type != 16) continue;
    const std::int64_t crz = leadingInt(type == 12 ? fieldOf(line, E12::Crz) : fieldOf(line, E16::Crz));
    const std::int64_t coo = leadingInt(type == 12 ? fieldOf(line, E12::Coo) : fieldOf(line, E16::Coo));
    const std::string day(type == 12 ? fieldOf(line, E12::DataMovimento) : fieldOf(line, E16::DataFinal));
    if (crz == firstCrz - 1) lowCoo = coo;
    if (crz == firstCrz) firstDay = day;
    if (crz == lastCrz) {
      highCoo = coo;
      lastDay = day;
    }
  }
  const auto inside = [&](std::string_view coo) { return leadingInt(coo) > lowCoo && leadingInt(coo) <= highCoo; };
  const auto crzInside = [&](std::string_view crz) { return leadingInt(crz) >= firstCrz && leadingInt(crz) <= lastCrz; };
  const auto set = [](std::string& line, const FieldLayout& field, const std::string& value) {
    line.replace(static_cast<std::size_t>(field.start - 1), static_cast<std::size_t>(field.width), value);
  };
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    bool keep = true;
    switch (recordTypeOf(line)) {
      case 1: {
        std::string e01 = line;
        set(e01, fieldLayout(E01::DataInicial), firstDay);
        set(e01, fieldLayout(E01::DataFinal), lastDay);
        set(e01, fieldLayout(E01::CrzInicial), cformat("%06d", firstCrz));
        set(e01, fieldLayout(E01::CrzFinal), cformat("%06d", lastCrz));
        out.push_back(e01);
        continue;
      }
      case 12: keep = crzInside(fieldOf(line, E12::Crz)); break;
      case 13: keep = crzInside(fieldOf(line, E13::Crz)); break;
      case 17: keep = crzInside(fieldOf(line, E17::Crz)); break;
      case 18: keep = crzInside(fieldOf(line, E18::Crz)); break;
      case 14: keep = inside(fieldOf(line, E14::Coo)); break;
      case 15: keep = inside(fieldOf(line, E15::Coo)); break;
      case 16: keep = inside(fieldOf(line, E16::Coo)); break;
      case 19: keep = inside(fieldOf(line, E19::Coo)); break;
      case 20: keep = inside(fieldOf(line, E20::Coo)); break;
      case 21: keep = inside(fieldOf(line, E21::Coo)); break;
      default: break;
    }
    if (keep) out.push_back(line);
  }
  return out;
}

}  // namespace tavex
