#include "efd/efd_comparison.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "cotepe/br_format.h"
#include "cotepe/text.h"
#include "validation/money.h"

namespace tavex {

namespace {

constexpr std::string_view kCodes[] = {
    "EFD_ECF_NAO_ESCRITURADO", "EFD_RZ_NAO_ESCRITURADA", "EFD_RZ_SEM_ECF",   "EFD_DATA",
    "EFD_CRO",                 "EFD_COO_FIN",            "EFD_VENDA_BRUTA",  "EFD_GT",
    "EFD_TOTALIZADOR",         "EFD_SEM_CUPONS",         "EFD_CUPOM_NAO_ESCRITURADO",
    "EFD_CUPOM_SEM_ECF",       "EFD_CUPOM_VALOR",        "EFD_CUPOM_SITUACAO", "EFD_CUPOM_DATA",
    "EFD_ECF_SEM_ARQUIVOS",
};

std::string money(std::int64_t cents) { return brazilianMoney(cents); }
std::string day(const std::string& date) { return brazilianDate(date).value_or(date); }
long long ll(std::int64_t v) { return static_cast<long long>(v); }

}  // namespace

std::string decimalAmount(std::int64_t cents) {
  const unsigned long long magnitude =
      cents < 0 ? 0ULL - static_cast<unsigned long long>(cents) : static_cast<unsigned long long>(cents);
  return cformat("%s%llu.%02llu", cents < 0 ? "-" : "", magnitude / 100, magnitude % 100);
}

namespace {

std::string decimal(std::int64_t cents) { return decimalAmount(cents); }

std::int64_t difference(std::int64_t a, std::int64_t b) { return wrapSub(a, b); }

class EcfComparison {
 public:
  EcfComparison(const EfdFile& efd, const RecordedEcf& ecf, const EfdEcf* declared, std::int64_t tolerance,
                EfdEcfComparison& out)
      : efd_(efd), ecf_(ecf), declared_(declared), tolerance_(tolerance), out_(out) {}

  void run() {
    out_.serial = ecf_.serial;
    out_.files = ecf_.files;
    out_.efdLine = declared_ ? declared_->line : 0;
    attributeCoupons();
    if (declared_ == nullptr) {
      notDeclared();
    } else {
      for (const EfdReduction& d : declared_->reductions) declaredByCrz_.try_emplace(d.crz, &d);
      reductions();
      declaredOnly();
      grandTotal();
    }
    summary();
  }

 private:
  EfdDivergence& add(EfdCheck check, IndicatorLevel level, std::string sentence) {
    EfdDivergence& d = out_.divergences.emplace_back();
    d.check = check;
    d.level = level;
    d.sentence = std::move(sentence);
    return d;
  }
  void recordedAt(EfdDivergence& d, std::size_t file, int line) {
    d.ecfFile = ecf_.files[file];
    d.ecfLine = line;
  }
  EfdDivergence& onReduction(EfdCheck check, IndicatorLevel level, std::string sentence, const RecordedReduction* r,
                             const EfdReduction* d) {
    EfdDivergence& out = add(check, level, std::move(sentence));
    out.crz = r ? r->crz : d->crz;
    out.date = r ? r->date : d->date;
    if (d) out.efdLine = d->line;
    if (r) recordedAt(out, r->file, r->line);
    return out;
  }

  // The coupons of each reduction: from the COO after the previous reduction's up to its own.
  void attributeCoupons() {
    std::int64_t previous = 0;
    ranges_.resize(ecf_.reductions.size());
    for (std::size_t i = 0; i < ecf_.reductions.size(); ++i) {
      const std::int64_t coo = ecf_.reductions[i].coo;
      const auto first = std::upper_bound(ecf_.coupons.begin(), ecf_.coupons.end(), previous,
                                          [](std::int64_t v, const RecordedCoupon& c) { return v < c.coo; });
      const auto last = std::upper_bound(ecf_.coupons.begin(), ecf_.coupons.end(), coo,
                                         [](std::int64_t v, const RecordedCoupon& c) { return v < c.coo; });
      ranges_[i] = {static_cast<std::size_t>(first - ecf_.coupons.begin()),
                    static_cast<std::size_t>(std::max(first, last) - ecf_.coupons.begin())};
      previous = std::max(previous, coo);
    }
  }

  void notDeclared() {
    int count = 0;
    std::int64_t gross = 0;
    const RecordedReduction* first = nullptr;
    for (const RecordedReduction& r : ecf_.reductions) {
      if (!efd_.inPeriod(r.date) || r.gross == 0) continue;
      ++count;
      addTo(gross, r.gross);
      if (first == nullptr) first = &r;
    }
    if (count == 0) return;
    EfdDivergence& d = add(EfdCheck::EcfNaoEscriturado, IndicatorLevel::Alerta,
                           cformat("A ECF %s tem %s com venda no período da EFD (R$ %s), mas a EFD não tem registro "
                                   "C400 com esse número de fabricação: o movimento da ECF não foi escriturado"_cp,
                                   ecf_.serial.c_str(), countOf(count, "redução Z"_cp, "reduções Z"_cp).c_str(),
                                   money(gross).c_str()));
    d.recorded = decimal(gross);
    recordedAt(d, first->file, first->line);
  }

  void reductions() {
    for (std::size_t i = 0; i < ecf_.reductions.size(); ++i) {
      const RecordedReduction& r = ecf_.reductions[i];
      const auto found = declaredByCrz_.find(r.crz);
      if (found == declaredByCrz_.end()) {
        if (!efd_.inPeriod(r.date)) continue;
        EfdDivergence& d =
            r.gross != 0
                ? onReduction(EfdCheck::RzNaoEscriturada, IndicatorLevel::Alerta,
                              cformat("A redução Z de CRZ %06lld (movimento de %s, venda bruta R$ %s) não foi "
                                      "escriturada: a EFD não tem C405 com esse CRZ"_cp,
                                      ll(r.crz), day(r.date).c_str(), money(r.gross).c_str()),
                              &r, nullptr)
                : onReduction(EfdCheck::RzNaoEscriturada, IndicatorLevel::Informacao,
                              cformat("A redução Z de CRZ %06lld (movimento de %s) não foi escriturada; sem venda "
                                      "bruta, a omissão não muda o imposto"_cp,
                                      ll(r.crz), day(r.date).c_str()),
                              &r, nullptr);
        d.recorded = decimal(r.gross);
        continue;
      }
      compare(i, r, *found->second);
    }
  }

  void compare(std::size_t index, const RecordedReduction& r, const EfdReduction& d) {
    if (d.date != r.date) {
      EfdDivergence& x = onReduction(EfdCheck::Data, IndicatorLevel::Alerta,
                                     cformat("Redução Z de CRZ %06lld: a EFD declara o movimento de %s, a ECF "
                                             "registrou %s"_cp,
                                             ll(r.crz), day(d.date).c_str(), day(r.date).c_str()),
                                     &r, &d);
      x.declared = d.date;
      x.recorded = r.date;
    }
    if (d.cro != r.cro) {
      EfdDivergence& x = onReduction(EfdCheck::Cro, IndicatorLevel::Alerta,
                                     cformat("Redução Z de CRZ %06lld: a EFD declara CRO %lld, a ECF registrou CRO "
                                             "%lld"_cp,
                                             ll(r.crz), ll(d.cro), ll(r.cro)),
                                     &r, &d);
      x.declared = std::to_string(d.cro);
      x.recorded = std::to_string(r.cro);
    }
    if (d.coo != r.coo) {
      EfdDivergence& x = onReduction(EfdCheck::CooFin, IndicatorLevel::Alerta,
                                     cformat("Redução Z de CRZ %06lld: a EFD declara o COO final %06lld, a ECF "
                                             "registrou o COO %06lld"_cp,
                                             ll(r.crz), ll(d.coo), ll(r.coo)),
                                     &r, &d);
      x.declared = std::to_string(d.coo);
      x.recorded = std::to_string(r.coo);
    }
    if (disagree(d.gross, r.gross, tolerance_)) {
      EfdDivergence& x = onReduction(
          EfdCheck::VendaBruta, IndicatorLevel::Alerta,
          cformat("Redução Z de CRZ %06lld (movimento de %s): a EFD declara venda bruta de R$ %s, a ECF registrou "
                  "R$ %s (diferença de R$ %s)"_cp,
                  ll(r.crz), day(r.date).c_str(), money(d.gross).c_str(), money(r.gross).c_str(),
                  money(difference(d.gross, r.gross)).c_str()),
          &r, &d);
      x.declared = decimal(d.gross);
      x.recorded = decimal(r.gross);
    }
    totalizers(r, d);
    coupons(index, r, d);
  }

  void totalizers(const RecordedReduction& r, const EfdReduction& d) {
    // Each code once per side, in the order first met: the ECF's, then those only declared.
    std::vector<std::string> codes;
    std::map<std::string, std::pair<std::int64_t, int>> recorded, declared;
    for (const RecordedTotalizer& t : r.totalizers)
      if (recorded.try_emplace(t.code, t.value, t.line).second) codes.push_back(t.code);
    for (const EfdTotalizer& t : d.totalizers)
      if (declared.try_emplace(t.code, t.value, t.line).second && !recorded.count(t.code)) codes.push_back(t.code);
    for (const std::string& code : codes) {
      const auto rec = recorded.find(code);
      const auto dec = declared.find(code);
      const std::int64_t recordedValue = rec == recorded.end() ? 0 : rec->second.first;
      const std::int64_t declaredValue = dec == declared.end() ? 0 : dec->second.first;
      if (!disagree(declaredValue, recordedValue, tolerance_)) continue;
      EfdDivergence& x = onReduction(
          EfdCheck::Totalizador, IndicatorLevel::Alerta,
          cformat("Redução Z de CRZ %06lld, totalizador %s: a EFD declara R$ %s%s, a ECF registrou R$ %s%s "
                  "(diferença de R$ %s)"_cp,
                  ll(r.crz), code.c_str(), money(declaredValue).c_str(),
                  dec == declared.end() ? " (sem C420)" : "", money(recordedValue).c_str(),
                  rec == recorded.end() ? " (sem E13)" : "", money(difference(declaredValue, recordedValue)).c_str()),
          &r, &d);
      x.declared = decimal(declaredValue);
      x.recorded = decimal(recordedValue);
      if (dec != declared.end()) x.efdLine = dec->second.second;
      if (rec != recorded.end()) x.ecfLine = rec->second.second;
    }
  }

  // Why the coupons of reduction `index` cannot be compared; empty when they can.
  std::string whyNoCoupons(std::size_t index, const RecordedReduction& r, const EfdReduction& d) const {
    if (d.coupons.empty()) return "a EFD não traz os cupons (C460) dessa redução"_cp;
    if (!ecf_.detailCovers(r.date))
      return cformat("nenhum arquivo de memória de fita-detalhe (MFD ou TDM) da ECF cobre o dia %s"_cp,
                     day(r.date).c_str());
    if (index > 0 && ecf_.reductions[index - 1].crz != r.crz - 1)
      return cformat("a redução Z anterior (CRZ %06lld) não está nos arquivos, e com ela o início dos cupons"_cp,
                     ll(r.crz - 1));
    return {};
  }

  void coupons(std::size_t index, const RecordedReduction& r, const EfdReduction& d) {
    const std::string why = whyNoCoupons(index, r, d);
    if (!why.empty()) {
      onReduction(EfdCheck::SemCupons, IndicatorLevel::Informacao,
                  cformat("Redução Z de CRZ %06lld: os cupons não foram conferidos: %s"_cp, ll(r.crz), why.c_str()),
                  &r, &d);
      return;
    }
    std::unordered_map<std::int64_t, const EfdCoupon*> declared;
    for (const EfdCoupon& c : d.coupons) declared.try_emplace(c.coo, &c);
    std::unordered_map<std::int64_t, bool> recordedCoo;
    const auto [first, last] = ranges_[index];
    for (std::size_t k = first; k < last; ++k) {
      const RecordedCoupon& c = ecf_.coupons[k];
      recordedCoo.emplace(c.coo, true);
      const auto found = declared.find(c.coo);
      if (found == declared.end()) {
        EfdDivergence& x = onCoupon(EfdCheck::CupomNaoEscriturado, IndicatorLevel::Alerta,
                                    cformat("O cupom COO %06lld (redução Z de CRZ %06lld, R$ %s%s) registrado na ECF "
                                            "não foi escriturado: a EFD não tem C460 com esse COO"_cp,
                                            ll(c.coo), ll(r.crz), money(c.net).c_str(), c.cancelled ? ", cancelado" : ""),
                                    r, &c, nullptr);
        x.recorded = decimal(c.net);
        x.efdLine = d.line;
        continue;
      }
      const EfdCoupon& e = *found->second;
      if (e.cancelled != c.cancelled) {
        EfdDivergence& x = onCoupon(EfdCheck::CupomSituacao, IndicatorLevel::Alerta,
                                    cformat("Cupom COO %06lld (redução Z de CRZ %06lld): a EFD o declara %s, a ECF o "
                                            "registrou %s"_cp,
                                            ll(c.coo), ll(r.crz), e.cancelled ? "cancelado" : "regular",
                                            c.cancelled ? "cancelado" : "regular"),
                                    r, &c, &e);
        x.declared = e.cancelled ? "02" : "00";
        x.recorded = c.cancelled ? "02" : "00";
      } else if (!c.cancelled && disagree(e.value, c.net, tolerance_)) {
        EfdDivergence& x =
            onCoupon(EfdCheck::CupomValor, IndicatorLevel::Alerta,
                     cformat("Cupom COO %06lld (redução Z de CRZ %06lld): a EFD declara R$ %s, o total líquido "
                             "registrado na ECF é R$ %s (diferença de R$ %s)"_cp,
                             ll(c.coo), ll(r.crz), money(e.value).c_str(), money(c.net).c_str(),
                             money(difference(e.value, c.net)).c_str()),
                     r, &c, &e);
        x.declared = decimal(e.value);
        x.recorded = decimal(c.net);
      }
      if (!e.date.empty() && e.date != c.date) {
        EfdDivergence& x = onCoupon(EfdCheck::CupomData, IndicatorLevel::Informacao,
                                    cformat("Cupom COO %06lld (redução Z de CRZ %06lld): a EFD o data de %s, a ECF de "
                                            "%s"_cp,
                                            ll(c.coo), ll(r.crz), day(e.date).c_str(), day(c.date).c_str()),
                                    r, &c, &e);
        x.declared = e.date;
        x.recorded = c.date;
      }
    }
    for (const EfdCoupon& e : d.coupons) {
      if (recordedCoo.count(e.coo) || declared[e.coo] != &e) continue;  // compared, or a repeated C460
      EfdDivergence& x = onCoupon(EfdCheck::CupomSemEcf, IndicatorLevel::Alerta,
                                  cformat("A EFD escritura o cupom COO %06lld na redução Z de CRZ %06lld, mas ele não "
                                          "é um cupom dessa redução nos arquivos da ECF"_cp,
                                          ll(e.coo), ll(r.crz)),
                                  r, nullptr, &e);
      if (e.valueGiven) x.declared = decimal(e.value);
      recordedAt(x, r.file, r.line);
    }
  }

  EfdDivergence& onCoupon(EfdCheck check, IndicatorLevel level, std::string sentence, const RecordedReduction& r,
                          const RecordedCoupon* c, const EfdCoupon* e) {
    EfdDivergence& out = add(check, level, std::move(sentence));
    out.crz = r.crz;
    out.coo = c ? c->coo : e->coo;
    out.date = c ? c->date : e->date;
    if (e) out.efdLine = e->line;
    if (c) recordedAt(out, c->file, c->line);
    return out;
  }

  void declaredOnly() {
    for (const RecordedReduction& r : ecf_.reductions) recordedByCrz_.emplace(r.crz);
    const std::int64_t low = ecf_.reductions.empty() ? 0 : ecf_.reductions.front().crz;
    const std::int64_t high = ecf_.reductions.empty() ? 0 : ecf_.reductions.back().crz;
    for (const auto& [crz, d] : declaredByCrz_) {
      if (recordedByCrz_.count(crz)) continue;
      const bool covered = !ecf_.incomplete && !ecf_.reductions.empty() && crz >= low && crz <= high;
      EfdDivergence& x =
          covered ? onReduction(EfdCheck::RzSemEcf, IndicatorLevel::Alerta,
                                cformat("A EFD declara a redução Z de CRZ %06lld (movimento de %s, venda bruta R$ %s), "
                                        "que os arquivos da ECF não têm, embora cubram os CRZ %06lld a %06lld"_cp,
                                        ll(crz), day(d->date).c_str(), money(d->gross).c_str(), ll(low), ll(high)),
                                nullptr, d)
                  : onReduction(EfdCheck::RzSemEcf, IndicatorLevel::Informacao,
                                ecf_.incomplete
                                    ? cformat("A EFD declara a redução Z de CRZ %06lld, que os arquivos lidos da ECF "
                                              "não têm; um arquivo da ECF não pôde ser lido e ela pode estar nele"_cp,
                                              ll(crz))
                                : ecf_.reductions.empty()
                                    ? cformat("A EFD declara a redução Z de CRZ %06lld; os arquivos da ECF não têm "
                                              "nenhuma redução Z: ela não foi conferida"_cp,
                                              ll(crz))
                                    : cformat("A EFD declara a redução Z de CRZ %06lld, fora dos CRZ que os arquivos "
                                              "da ECF cobrem (%06lld a %06lld): ela não foi conferida"_cp,
                                              ll(crz), ll(low), ll(high)),
                                nullptr, d);
      x.declared = decimal(d->gross);
    }
  }

  // GT_FIN grows by each reduction's gross sales, between consecutive CRZ of one CRO.
  void grandTotal() {
    const EfdReduction* before = nullptr;
    for (const auto& [crz, d] : declaredByCrz_) {
      if (before != nullptr && before->crz == crz - 1 && before->cro == d->cro) {
        const std::int64_t growth = difference(d->gt, before->gt);
        if (disagree(growth, d->gross, tolerance_)) {
          EfdDivergence& x = add(EfdCheck::Gt, IndicatorLevel::Alerta,
                                 cformat("Reduções Z de CRZ %06lld e %06lld na EFD: o GT final passou de R$ %s para "
                                         "R$ %s, um aumento de R$ %s, mas a venda bruta declarada é R$ %s"_cp,
                                         ll(before->crz), ll(crz), money(before->gt).c_str(), money(d->gt).c_str(),
                                         money(growth).c_str(), money(d->gross).c_str()));
          x.crz = crz;
          x.date = d->date;
          x.efdLine = d->line;
          x.declared = decimal(growth);  // what the GT says was sold; the EFD's own VL_BRT is in the sentence
        }
      }
      before = d;
    }
  }

  void summary() {
    std::map<std::string, EfdMonthSummary> months;
    const auto month = [&](const std::string& date) -> EfdMonthSummary& {
      EfdMonthSummary& m = months[date.substr(0, 6)];
      m.month = date.substr(0, 6);
      return m;
    };
    for (std::size_t i = 0; i < ecf_.reductions.size(); ++i) {
      const RecordedReduction& r = ecf_.reductions[i];
      if (!efd_.inPeriod(r.date)) continue;
      EfdMonthSummary& m = month(r.date);
      ++m.reductionsRecorded;
      addTo(m.grossRecorded, r.gross);
      m.couponsRecorded += static_cast<int>(ranges_[i].second - ranges_[i].first);
    }
    if (declared_ != nullptr)
      for (const EfdReduction& d : declared_->reductions) {
        EfdMonthSummary& m = month(d.date);
        ++m.reductionsDeclared;
        addTo(m.grossDeclared, d.gross);
        m.couponsDeclared += static_cast<int>(d.coupons.size());
      }
    for (auto& [key, m] : months) out_.months.push_back(std::move(m));
  }

  const EfdFile& efd_;
  const RecordedEcf& ecf_;
  const EfdEcf* declared_;
  std::int64_t tolerance_;
  EfdEcfComparison& out_;
  std::map<std::int64_t, const EfdReduction*> declaredByCrz_;
  std::set<std::int64_t> recordedByCrz_;
  std::vector<std::pair<std::size_t, std::size_t>> ranges_;  // coupons of each reduction: [first, last)
};

void order(std::vector<EfdDivergence>& divergences) {
  std::stable_sort(divergences.begin(), divergences.end(), [](const EfdDivergence& a, const EfdDivergence& b) {
    const auto key = [](const EfdDivergence& d) {
      return std::make_tuple(d.level == IndicatorLevel::Alerta ? 0 : 1, d.crz.value_or(-1), d.coo.value_or(-1),
                             d.efdLine);
    };
    return key(a) < key(b);
  });
}

}  // namespace

std::string_view efdCheckCode(EfdCheck check) { return kCodes[static_cast<std::size_t>(check)]; }

std::size_t EfdEcfComparison::alerts() const {
  return static_cast<std::size_t>(std::count_if(divergences.begin(), divergences.end(), [](const EfdDivergence& d) {
    return d.level == IndicatorLevel::Alerta;
  }));
}

std::size_t EfdComparison::alerts() const {
  std::size_t n = 0;
  for (const EfdEcfComparison& e : ecfs) n += e.alerts();
  return n;
}

EfdComparison compareWithEfd(const EfdFile& efd, const std::vector<RecordedEcf>& ecfs, std::int64_t toleranceCents) {
  EfdComparison out;
  out.efd = &efd;
  for (const RecordedEcf& ecf : ecfs) {
    const EfdEcf* declared = efd.ecf(ecf.serial);
    const bool moved = std::any_of(ecf.reductions.begin(), ecf.reductions.end(),
                                   [&](const RecordedReduction& r) { return efd.inPeriod(r.date); });
    if (declared == nullptr && !moved) continue;  // another period: nothing of this EFD concerns it
    EfdEcfComparison& c = out.ecfs.emplace_back();
    EcfComparison(efd, ecf, declared, toleranceCents, c).run();
    order(c.divergences);
  }
  for (const EfdEcf& declared : efd.ecfs) {
    if (std::any_of(ecfs.begin(), ecfs.end(), [&](const RecordedEcf& e) { return e.serial == declared.serial; }))
      continue;
    EfdEcfComparison& c = out.ecfs.emplace_back();
    RecordedEcf none;
    none.serial = declared.serial;
    EcfComparison(efd, none, &declared, toleranceCents, c).run();
    c.divergences.clear();
    EfdDivergence& d = c.divergences.emplace_back();
    d.check = EfdCheck::EcfSemArquivos;
    d.level = IndicatorLevel::Informacao;
    d.sentence = cformat("A EFD declara a ECF %s (C400), mas nenhum arquivo dessa ECF foi dado: nada dela foi "
                         "conferido"_cp,
                         declared.serial.c_str());
    d.efdLine = declared.line;
  }
  return out;
}

}  // namespace tavex
