#include "efd_generator.h"

#include <algorithm>
#include <map>
#include <random>

#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "validation/money.h"

namespace tavex {

namespace {

struct Coupon {
  std::int64_t coo = 0, net = 0;
  std::string date;
  bool cancelled = false;
};
struct Reduction {
  std::int64_t crz = 0, cro = 0, coo = 0, gross = 0;
  std::string date;
  std::vector<std::pair<std::string, std::int64_t>> totalizers;
  std::vector<Coupon> coupons;
};

std::string amount(std::int64_t cents) { return cformat("%lld,%02lld", static_cast<long long>(cents / 100), static_cast<long long>(cents % 100)); }
// AAAAMMDD as DDMMAAAA.
std::string efdDate(const std::string& d) { return d.substr(6, 2) + d.substr(4, 2) + d.substr(0, 4); }

int daysIn(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

}  // namespace

std::vector<GeneratedEfd> honestEfdFiles(std::string_view cotepe, const EfdGeneratorOptions& options) {
  std::string serial, model, cnpj = "11222333000181", name = "CONTRIBUINTE";
  std::map<std::int64_t, Reduction> reductions;
  std::vector<Coupon> coupons;
  std::size_t start = 0;
  while (start < cotepe.size()) {
    std::size_t end = cotepe.find('\n', start);
    if (end == std::string_view::npos) end = cotepe.size();
    std::string_view line = cotepe.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with("E01")) {
      serial = std::string(trimRight(fieldOf(line, E01::NumeroFabricacao)));
      model = std::string(trimRight(fieldOf(line, E01::Modelo)));
    } else if (line.starts_with("E02")) {
      cnpj = std::string(trimRight(fieldOf(line, E02::Cnpj)));
      name = std::string(trimRight(fieldOf(line, E02::Contribuinte)));
    } else if (line.starts_with("E12")) {
      Reduction r;
      r.crz = leadingInt(fieldOf(line, E12::Crz));
      r.cro = leadingInt(fieldOf(line, E12::Cro));
      r.coo = leadingInt(fieldOf(line, E12::Coo));
      r.gross = leadingInt(fieldOf(line, E12::VendaBrutaDiaria));
      r.date = std::string(fieldOf(line, E12::DataMovimento));
      reductions.try_emplace(r.crz, std::move(r));
    } else if (line.starts_with("E13")) {
      const auto it = reductions.find(leadingInt(fieldOf(line, E13::Crz)));
      if (it != reductions.end())
        it->second.totalizers.emplace_back(std::string(trimRight(fieldOf(line, E13::Totalizador))),
                                           leadingInt(fieldOf(line, E13::ValorAcumulado)));
    } else if (line.starts_with("E14")) {
      coupons.push_back({leadingInt(fieldOf(line, E14::Coo)), leadingInt(fieldOf(line, E14::TotalLiquido)),
                         std::string(fieldOf(line, E14::DataInicio)), fieldOf(line, E14::Cancelamento) == "S"});
    }
  }
  std::sort(coupons.begin(), coupons.end(), [](const Coupon& a, const Coupon& b) { return a.coo < b.coo; });
  std::int64_t previous = 0;
  for (auto& [crz, r] : reductions) {
    for (const Coupon& c : coupons)
      if (c.coo > previous && c.coo <= r.coo) r.coupons.push_back(c);
    previous = std::max(previous, r.coo);
  }

  std::map<std::string, std::vector<const Reduction*>> byMonth;
  for (const auto& [crz, r] : reductions) byMonth[r.date.substr(0, 6)].push_back(&r);
  const std::string eol = options.crlf ? "\r\n" : "\n";
  std::mt19937_64 random(options.seed);
  std::vector<GeneratedEfd> files;
  std::int64_t gt = 1234567;
  for (const auto& [month, list] : byMonth) {
    const int year = std::stoi(month.substr(0, 4)), mon = std::stoi(month.substr(4, 2));
    const std::string monthYear = month.substr(4, 2) + month.substr(0, 4);
    std::string text;
    std::size_t lines = 0;
    const auto put = [&](const std::string& line) {
      text += line + eol;
      ++lines;
    };
    put("|0000|017|0|01" + month.substr(4, 2) + month.substr(0, 4) + "|" + cformat("%02d", daysIn(year, mon)) +
        month.substr(4, 2) + month.substr(0, 4) + "|" + name + "|" + cnpj + "||SP|123456789012|3550308|||A|1|");
    put("|0001|0|");
    put("|0100|CONTADOR DE TESTES|12345678909|1SP123456|||||||||contador@exemplo.com.br|3550308|");
    put("|0990|4|");
    put("|C001|0|");
    for (std::size_t n = 0; n < options.ordinaryNotes; ++n) {
      put(cformat("|C100|0|1|F%04zu|55|00|1|%zu|3512%036zu|01%s|01%s|300,00|0|0,00|0,00|300,00|9|0,00|0,00|0,00|"
                  "300,00|54,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|",
                  n, n + 1, n, monthYear.c_str(), monthYear.c_str()));
      for (int item = 1; item <= 3; ++item)
        put(cformat("|C170|%d|PROD%02d|MERCADORIA %d|1|UN|100,00|0,00|0|000|1102|1102|100,00|18,00|18,00|0,00|0,00|"
                    "0,00|0|||0,00|0,00|0,00|01|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|",
                    item, item, item));
    }
    put("|C400|2D|" + model + "|" + serial + "|001|");
    for (const Reduction* r : list) {
      addTo(gt, r->gross);
      put(cformat("|C405|%s|%lld|%lld|%lld|%s|%s|", efdDate(r->date).c_str(), static_cast<long long>(r->cro),
                  static_cast<long long>(r->crz), static_cast<long long>(r->coo), amount(gt).c_str(),
                  amount(r->gross).c_str()));
      for (const auto& [code, value] : r->totalizers) put("|C420|" + code + "|" + amount(value) + "|||");
      for (const Coupon& c : r->coupons) {
        if (c.cancelled) {
          put(cformat("|C460|2D|02|%lld|||||||", static_cast<long long>(c.coo)));
          continue;
        }
        put(cformat("|C460|2D|00|%lld|%s|%s|0,00|0,00|||", static_cast<long long>(c.coo), efdDate(c.date).c_str(),
                    amount(c.net).c_str()));
        for (std::size_t item = 0; item < options.itemsPerCoupon; ++item)
          put(cformat("|C470|PROD%02zu|1|0|UN|", item + 1) + amount(c.net) + "|0,00|0,00|000|5102|0,00|0,00|");
      }
    }
    put("|C990|" + std::to_string(lines + 1 - 4) + "|");
    put("|9001|0|");
    put("|9900|0000|1|");
    put("|9990|4|");
    put("|9999|" + std::to_string(lines + 1) + "|");
    for (int i = 0; i < 128; ++i) text += static_cast<char>(random() & 0xff);  // the signature's bytes
    files.push_back({month, std::move(text)});
  }
  return files;
}

}  // namespace tavex
