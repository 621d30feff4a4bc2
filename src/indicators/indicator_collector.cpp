#include "indicators/indicator_collector.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

#include "cotepe/br_format.h"
#include "cotepe/text.h"
#include "validation/money.h"
#include "validation/record_check.h"

namespace tavex {

namespace {

constexpr int kE12 = 0, kE14 = 1, kE16 = 2, kE19 = 3;

std::string number(std::int64_t value) { return std::to_string(value); }

// AAAAMMDD as DD/MM/AAAA (a date read as a number: 0 is "00/00/0000").
std::string day(std::int64_t date) {
  const std::optional<std::string> text = brazilianDate(cformat("%08lld", static_cast<long long>(date)));
  return text ? *text : std::to_string(date);
}

// A date and an hour (AAAAMMDD, hhmmss) as one number that orders as time does; 0
// when the date is blank.
std::int64_t stamp(std::int64_t date, std::int64_t hour) { return date == 0 ? 0 : date * 1000000 + hour; }

// Hundredths of a percent as "12,50".
std::string percent(std::int64_t hundredths) {
  return cformat("%lld,%02lld", static_cast<long long>(hundredths / 100), static_cast<long long>(hundredths % 100));
}

long long ll(std::int64_t value) { return static_cast<long long>(value); }

}  // namespace

void IndicatorCollector::add(std::string_view code, const RecordLine& rec, std::int64_t crz, std::int64_t coo,
                             std::string expected, std::string found, std::string sentence) {
  add(code, rec.number, rec.type, crz, coo, std::move(expected), std::move(found), std::move(sentence));
}

void IndicatorCollector::add(std::string_view code, int line, int type, std::int64_t crz, std::int64_t coo,
                             std::string expected, std::string found, std::string sentence) {
  Indicator indicator;
  indicator.code = code;
  indicator.line = line;
  indicator.recordType = type;
  indicator.crz = crz;
  indicator.coo = coo;
  indicator.expected = std::move(expected);
  indicator.found = std::move(found);
  indicator.sentence = std::move(sentence);
  add(std::move(indicator));
}

void IndicatorCollector::add(Indicator indicator) {
  // The table is the one source of a code's level.
  const auto& codes = indicatorCodes();
  const auto row = std::find_if(codes.begin(), codes.end(), [&](const IndicatorCodeInfo& i) { return i.code == indicator.code; });
  if (row == codes.end()) return;  // every code used here is in the table (a test holds them together)
  indicator.code = row->code;     // static storage
  indicator.level = row->level;
  indicators_.push_back(std::move(indicator));
}

void IndicatorCollector::raise(Maximum& maximum, std::int64_t value, int line) {
  if (value > maximum.value) maximum = Maximum{value, line};
}

void IndicatorCollector::onRestart() {
  const IndicatorSettings settings = settings_;
  *this = IndicatorCollector(settings);
}

void IndicatorCollector::onRecord(const RecordLine& rec, bool fieldsPassed, const CheckState& state) {
  if (!fieldsPassed) {
    skipped(rec.type);
    return;
  }
  switch (rec.type) {
    case 1: onE01(rec); break;
    case 2: onE02(rec); break;
    case 4: onE04(rec); break;
    case 9: onE09(rec); break;
    case 11: onE11(rec); break;
    case 12: onE12(rec, state); break;
    case 14: onE14(rec, state); break;
    case 16: onE16(rec, state); break;
    case 19: onE19(rec, state); break;
    default: break;
  }
}

// A record the indicators cannot read breaks the sequences it belongs to: the
// next record of its kind is compared with nothing, never with one before the gap.
void IndicatorCollector::skipped(int type) {
  switch (type) {
    case 4: lastE04Gt = {}; break;
    case 9:
      lastE09Cro = {};
      e09Skipped = true;
      break;
    case 12:
      if (firstE12Line == 0) firstE12Skipped = true;
      lastE12Skipped = true;
      e12Skipped = true;
      lastCrz = lastE12Cro = lastMovement = lastCoo[kE12] = {};
      break;
    case 14:
      lastCoo[kE14] = lastCcf = {};
      documentSkipped = true;
      break;
    case 16:  // the GNF sequence starts again after the E16 before it
      e16Gnf.push_back(GnfDocument{lastCoo[kE16].value, 0, 0, 16});
      lastCoo[kE16] = {};
      lastTapeCrz = lastTapeDate = {};
      documentSkipped = true;
      break;
    case 19:
      documentSkipped = true;
      lastCoo[kE19] = {};
      gnfGap = true;
      break;
    default: break;
  }
}

void IndicatorCollector::onE01(const RecordLine& rec) {
  FieldsOf<E01> f(rec.text);
  e01Line = rec.number;
  crzFirst = f.asInt(E01::CrzInicial);
  crzLast = f.asInt(E01::CrzFinal);
  kind = fileKindOf(f[E01::ComandoGeracao]);
}

void IndicatorCollector::onE02(const RecordLine& rec) {
  FieldsOf<E02> f(rec.text);
  hasE02Gt = true;
  e02Gt = f.asInt(E02::Gt);
  const std::int64_t when = stamp(f.asInt(E02::DataCadastro), f.asInt(E02::HoraCadastro));
  if (e02Gt != 0 && when != 0) gtAnchors.push_back(GtAnchor{when, e02Gt, rec.number, 2});
}

void IndicatorCollector::onE04(const RecordLine& rec) {
  FieldsOf<E04> f(rec.text);
  const std::int64_t gt = f.asInt(E04::Gt);
  const std::string user = trimRight(f[E04::NumeroUsuario]).empty() ? "?" : std::string(f[E04::NumeroUsuario]);
  if (lastE04Gt.line != 0 && gt < lastE04Gt.value)
    add("indicio.gt.regressivo", rec, 0, 0, number(lastE04Gt.value), number(gt),
        cformat("GT do usuário %s (%lld) menor que o GT do usuário anterior, na linha %d (%lld): o grande total só cresce."_cp,
                user.c_str(), ll(gt), lastE04Gt.line, ll(lastE04Gt.value)));
  lastE04Gt = Last{gt, rec.number};
  raise(maxE04Gt, gt, rec.number);
  const std::int64_t when = stamp(f.asInt(E04::DataCadastro), f.asInt(E04::HoraCadastro));
  if (gt != 0 && when != 0) gtAnchors.push_back(GtAnchor{when, gt, rec.number, 4});
}

void IndicatorCollector::onE09(const RecordLine& rec) {
  FieldsOf<E09> f(rec.text);
  const std::int64_t cro = f.asInt(E09::Cro);
  if (lastE09Cro.line != 0 && cro < lastE09Cro.value)
    add("indicio.cro.regressivo", rec, 0, 0, cformat("%lld ou mais", ll(lastE09Cro.value)), number(cro),
        cformat("CRO %lld do E09 menor que o do E09 da linha %d (%lld): o contador de reinício de operação nunca "
                "diminui; memória fiscal regravada ou registros trocados."_cp,
                ll(cro), lastE09Cro.line, ll(lastE09Cro.value)));
  lastE09Cro = Last{cro, rec.number};
  croEvents.push_back(CroEvent{cro, f.asInt(E09::DataGravacao)});
  raise(maxCro, cro, rec.number);
}

void IndicatorCollector::onE11(const RecordLine& rec) {
  FieldsOf<E11> f(rec.text);
  e11Line = rec.number;
  e11Crz = f.asInt(E11::Crz);
  e11Cro = f.asInt(E11::Cro);
  e11Coo = f.asInt(E11::Coo);
  e11Gnf = f.asInt(E11::Gnf);
  e11Ccf = std::max({f.asInt(E11::Ccf), f.asInt(E11::Cvc), f.asInt(E11::Cbp)});
  // One comparison with the largest GT registered before (E02, or an E04 above it).
  const std::int64_t gt = f.asInt(E11::Gt);
  e11Gt = gt;
  e11Stamp = stamp(f.asInt(E11::DataCaptura), f.asInt(E11::HoraCaptura));
  const bool fromE04 = maxE04Gt.line != 0 && (!hasE02Gt || maxE04Gt.value > e02Gt);
  const std::int64_t registered = fromE04 ? maxE04Gt.value : e02Gt;
  if ((hasE02Gt || fromE04) && gt < registered) {
    const std::string where = fromE04 ? cformat("o GT do E04 da linha %d", maxE04Gt.line) : std::string("o GT do usuário no E02"_cp);
    add("indicio.gt.regressivo", rec, 0, 0, cformat("%lld ou mais", ll(registered)), number(gt),
        cformat("GT do E11 (%lld), lido do ECF na captura, menor que %s (%lld): o grande total nunca diminui."_cp,
                ll(gt), where.c_str(), ll(registered)));
  }
}

bool IndicatorCollector::documentCoo(const RecordLine& rec, std::int64_t coo, std::int64_t crz, const CheckState& state,
                                     bool reductionPrint, const Reduction* coupons) {
  const int slot = rec.type == 12 ? kE12 : rec.type == 14 ? kE14 : rec.type == 16 ? kE16 : kE19;
  Last& last = lastCoo[slot];
  raise(maxCoo, coo, rec.number);
  if (last.line != 0 && coo <= last.value) {
    // A reduction's COO that fell back may land on a document's, which comes later
    // in the file: the document then repeats it.
    if (rec.type == 12) {
      fallenBack.emplace_back(coo, rec.number);
      fallenBackSorted = false;
    }
    add("indicio.coo.regressivo", rec, crz, coo, cformat("acima de %lld", ll(last.value)), number(coo),
        cformat("COO %lld do E%02d não é maior que o do E%02d anterior, na linha %d (%lld): o COO cresce a cada "
                "documento emitido."_cp,
                ll(coo), rec.type, rec.type, last.line, ll(last.value)));
    last = Last{coo, rec.number};
    return false;
  }
  last = Last{coo, rec.number};
  if (coo == 0) return true;
  if (rec.type != 12 && !fallenBack.empty()) {
    if (!fallenBackSorted) {  // complete once the documents come (every E12 is before them)
      std::sort(fallenBack.begin(), fallenBack.end());
      fallenBackSorted = true;
    }
    const auto hit = std::lower_bound(fallenBack.begin(), fallenBack.end(), std::pair<std::int64_t, int>(coo, 0));
    if (hit != fallenBack.end() && hit->first == coo && !reductionPrint) {
      add("indicio.coo.repetido", rec, crz, coo, "COO único"_cp, number(coo),
          cformat("COO %lld já foi usado pela redução Z da linha %d, cujo COO voltou: cada documento emitido recebe o "
                  "seu próprio COO."_cp,
                  ll(coo), hit->second));
      return true;
    }
  }
  // Was it used before? The records before a coupon in the file that carry a COO
  // are the E12 and the coupons before it (which the rise above covers): for a
  // coupon, the reductions answer without a look into the validation's COO list.
  const Reduction* reduction = rec.type == 14 ? coupons : reductionOf(coo);
  const bool ofReduction = reduction != nullptr && reduction->coo == coo;
  if (rec.type == 14 ? !ofReduction : !state.cooList.contains(coo)) return true;
  // The print of a Z reduction (E16 "RZ") carries its E12's COO: one document
  // recorded twice.
  if (reductionPrint && ofReduction) return true;
  int otherLine = 0;
  if (ofReduction) {
    otherLine = reduction->line;
  } else if (const DocumentEntry* other = state.documentTable.find(state.documentCooList.indexOf(coo))) {
    otherLine = other->headerLine;
  }
  const std::string where = otherLine != 0 ? cformat(", na linha %d", otherLine) : std::string(" antes no arquivo");
  add("indicio.coo.repetido", rec, crz, coo, "COO único"_cp, number(coo),
      cformat("COO %lld já foi usado por outro documento%s: cada documento emitido recebe o seu próprio COO."_cp,
              ll(coo), where.c_str()));
  return true;
}

void IndicatorCollector::onE12(const RecordLine& rec, const CheckState& state) {
  FieldsOf<E12> f(rec.text);
  const std::int64_t crz = f.asInt(E12::Crz), coo = f.asInt(E12::Coo), cro = f.asInt(E12::Cro);
  const std::int64_t movement = f.asInt(E12::DataMovimento), issue = f.asInt(E12::DataEmissao);
  raise(maxCrz, crz, rec.number);
  raise(maxCro, cro, rec.number);
  if (firstE12Line == 0) {
    firstE12Line = rec.number;
    firstCrz = crz;
  }
  lastE12Line = rec.number;
  lastE12Skipped = false;
  finalCrz = crz;

  if (lastCrz.line != 0 && crz != lastCrz.value + 1) {
    if (crz > lastCrz.value + 1)
      add("indicio.crz.sequencia", rec, crz, coo, number(lastCrz.value + 1), number(crz),
          cformat("CRZ %lld depois do CRZ %lld da linha %d: faltam no arquivo %lld redução(ões) Z."_cp, ll(crz),
                  ll(lastCrz.value), lastCrz.line, ll(crz - lastCrz.value - 1)));
    else
      add("indicio.crz.sequencia", rec, crz, coo, number(lastCrz.value + 1), number(crz),
          cformat("CRZ %lld depois do CRZ %lld da linha %d: o contador de reduções Z nunca se repete nem volta."_cp,
                  ll(crz), ll(lastCrz.value), lastCrz.line));
  }
  lastCrz = Last{crz, rec.number};

  const bool croChanged = lastE12Cro.line == 0 || cro != lastE12Cro.value;
  if (lastE12Cro.line != 0 && cro < lastE12Cro.value) {
    add("indicio.cro.regressivo", rec, crz, coo, cformat("%lld ou mais", ll(lastE12Cro.value)), number(cro),
        cformat("CRO %lld da redução Z menor que o da redução anterior, na linha %d (%lld): o contador de reinício "
                "de operação nunca diminui."_cp,
                ll(cro), lastE12Cro.line, ll(lastE12Cro.value)));
  } else if (lastE12Cro.line != 0 && cro > lastE12Cro.value) {
    const auto event = std::find_if(croEvents.begin(), croEvents.end(), [&](const CroEvent& e) { return e.cro == cro; });
    const std::string when = event != croEvents.end() && event->date != 0 ? "em " + day(event->date) + " (E09)"
                                                                          : std::string("sem data no E09");
    add("indicio.cro.intervencao", rec, crz, coo, number(lastE12Cro.value), number(cro),
        cformat("CRO passou de %lld para %lld entre duas reduções Z: intervenção técnica no período, %s."_cp,
                ll(lastE12Cro.value), ll(cro), when.c_str()));
  }
  lastE12Cro = Last{cro, rec.number};
  if (croChanged && cro > 0 && !croEvents.empty() && !e09Skipped &&
      std::none_of(croEvents.begin(), croEvents.end(), [&](const CroEvent& e) { return e.cro == cro; }))
    add("indicio.cro.sem_e09", rec, crz, coo, cformat("E09 do CRO %lld", ll(cro)), "nenhum",
        cformat("CRO %lld da redução Z não tem registro E09: todo reinício de operação fica gravado na memória "
                "fiscal com a sua data."_cp,
                ll(cro)));

  if (movement != 0) {
    if (lastMovement.line != 0 && movement <= lastMovement.value)
      add("indicio.data.regressiva", rec, crz, coo, cformat("depois de %lld", ll(lastMovement.value)), number(movement),
          cformat("Movimento de %s não é posterior ao da redução Z anterior, na linha %d (%s): uma redução Z por "
                  "dia, em ordem."_cp,
                  day(movement).c_str(), lastMovement.line, day(lastMovement.value).c_str()));
    lastMovement = Last{movement, rec.number};
    if (issue != 0 && issue < movement)
      add("indicio.data.emissao_anterior", rec, crz, coo, cformat("%lld ou depois", ll(movement)), number(issue),
          cformat("Redução Z emitida em %s, antes do dia do seu movimento (%s): impossível num relógio íntegro."_cp,
                  day(issue).c_str(), day(movement).c_str()));
    else if (issue > movement)
      add("indicio.data.reducao_tardia", rec, crz, coo, number(movement), number(issue),
          cformat("Redução Z do movimento de %s emitida só em %s: redução Z pendente, feita num dia seguinte."_cp,
                  day(movement).c_str(), day(issue).c_str()));
  }

  const bool cooRose = documentCoo(rec, coo, crz, state, false);
  if (cooRose && (reductions.empty() || coo > reductions.back().coo)) {
    Reduction r{rec.number, crz, coo, movement, issue, 0, 0};
    r.issueStamp = stamp(issue, f.asInt(E12::HoraEmissao));
    r.gross = f.asInt(E12::VendaBrutaDiaria);
    reductions.push_back(r);
  }
}

IndicatorCollector::Reduction* IndicatorCollector::reductionOf(std::int64_t coo) {
  const auto it = std::lower_bound(reductions.begin(), reductions.end(), coo,
                                   [](const Reduction& r, std::int64_t value) { return r.coo < value; });
  return it == reductions.end() ? nullptr : &*it;
}

IndicatorCollector::Reduction* IndicatorCollector::reductionByCrz(std::int64_t crz) {
  // CRZ rises with COO in a sound file; otherwise the reduction is looked for.
  const auto it = std::lower_bound(reductions.begin(), reductions.end(), crz,
                                   [](const Reduction& r, std::int64_t value) { return r.crz < value; });
  if (it != reductions.end() && it->crz == crz) return &*it;
  const auto any = std::find_if(reductions.begin(), reductions.end(), [&](const Reduction& r) { return r.crz == crz; });
  return any == reductions.end() ? nullptr : &*any;
}

void IndicatorCollector::documentDay(int line, int type, std::int64_t coo, std::int64_t date, Reduction* reduction) {
  if (reduction == nullptr) return;
  ++reduction->documents;
  if (date == 0) return;
  const Reduction* previous = reduction == reductions.data() ? nullptr : reduction - 1;
  if (reduction->issueDate != 0 && date > reduction->issueDate) {
    add("indicio.documento.apos_z", line, type, reduction->crz, coo, cformat("até %lld"_cp, ll(reduction->issueDate)),
        number(date),
        cformat("Documento de %s depois da emissão da redução Z que o fecha (CRZ %lld, linha %d, emitida em %s): o "
                "documento é anterior à redução Z do seu dia; redução Z apagada ou com a data trocada."_cp,
                day(date).c_str(), ll(reduction->crz), reduction->line, day(reduction->issueDate).c_str()));
    return;
  }
  if (previous != nullptr && previous->movementDate != 0 && date < previous->movementDate) {
    add("indicio.data.regressiva", line, type, reduction->crz, coo, cformat("%lld ou depois", ll(previous->movementDate)),
        number(date),
        cformat("Documento de %s na redução Z de CRZ %lld, antes do dia da redução Z anterior (CRZ %lld, %s): o "
                "relógio do ECF voltou ou o documento foi posto noutro dia."_cp,
                day(date).c_str(), ll(reduction->crz), ll(previous->crz), day(previous->movementDate).c_str()));
    return;
  }
  if (reduction->movementDate == 0 || date == reduction->movementDate) return;
  add("indicio.documento.fora_do_dia", line, type, reduction->crz, coo, number(reduction->movementDate), number(date),
      cformat("Documento de %s na redução Z do movimento de %s (CRZ %lld, linha %d): a redução Z fecha um só dia."_cp,
              day(date).c_str(), day(reduction->movementDate).c_str(), ll(reduction->crz), reduction->line));
}

bool IndicatorCollector::withoutE12() const { return firstE12Line == 0 && !e12Skipped; }

void IndicatorCollector::onE14(const RecordLine& rec, const CheckState& state) {
  FieldsOf<E14> f(rec.text);
  const std::int64_t coo = f.asInt(E14::Coo), ccf = f.asInt(E14::Contador);
  raise(maxCcf, ccf, rec.number);
  Reduction* reduction = reductionOf(coo);
  const std::int64_t crz = reduction != nullptr ? reduction->crz : 0;
  documentCoo(rec, coo, crz, state, false, reduction);
  if (lastCcf.line != 0 && ccf != lastCcf.value + 1)
    add("indicio.ccf.sequencia", rec, crz, coo, number(lastCcf.value + 1), number(ccf),
        cformat(ccf > lastCcf.value + 1
                    ? "CCF %lld depois do CCF %lld do cupom da linha %d: cupons fiscais ausentes do arquivo."_cp
                    : "CCF %lld depois do CCF %lld do cupom da linha %d: o contador de cupons nunca se repete nem volta."_cp,
                ll(ccf), ll(lastCcf.value), lastCcf.line));
  lastCcf = Last{ccf, rec.number};
  const std::int64_t date = f.asInt(E14::DataInicio);
  const bool cancelled = f[E14::Cancelamento] == "S";
  if (withoutE12()) {
    tapeDocs.push_back(TapeDocument{coo, static_cast<std::int32_t>(date), rec.number, 14, cancelled});
    return;
  }
  documentDay(rec.number, 14, coo, date, reduction);
  if (reduction != nullptr) {
    ++reduction->coupons;
    if (cancelled) ++reduction->cancelled;
  }
}

void IndicatorCollector::tapeReduction(const RecordLine& rec, std::int64_t crz, std::int64_t coo, std::int64_t date) {
  // A reduction gone from both memories of a file is one gap: told once, by its E12.
  const auto toldByE12 = [&] {
    return std::any_of(indicators_.begin(), indicators_.end(), [&](const Indicator& i) {
      return i.code == "indicio.crz.sequencia" && i.recordType == 12 && i.crz == crz;
    });
  };
  if (lastTapeCrz.line != 0 && crz != lastTapeCrz.value + 1 && !toldByE12())
    add("indicio.crz.sequencia", rec, crz, coo, number(lastTapeCrz.value + 1), number(crz),
        cformat(crz > lastTapeCrz.value + 1
                    ? "Redução Z de CRZ %lld na fita-detalhe depois da de CRZ %lld, na linha %d: faltam na fita %lld redução(ões) Z."_cp
                    : "Redução Z de CRZ %lld na fita-detalhe depois da de CRZ %lld, na linha %d: o contador de reduções Z nunca se repete nem volta."_cp,
                ll(crz), ll(lastTapeCrz.value), lastTapeCrz.line, ll(crz - lastTapeCrz.value - 1)));
  lastTapeCrz = Last{crz, rec.number};
  // In a file with E12 the reductions' own dates are judged there (a late reduction
  // prints a later day than the next one's); the tape's dates, where it stands alone.
  if (date != 0 && withoutE12()) {
    if (lastTapeDate.line != 0 && date < lastTapeDate.value)
      add("indicio.data.regressiva", rec, crz, coo, cformat("%lld ou depois", ll(lastTapeDate.value)), number(date),
          cformat("Redução Z de CRZ %lld na fita-detalhe datada de %s, antes da anterior, na linha %d (%s): uma redução "
                  "Z por dia, em ordem."_cp,
                  ll(crz), day(date).c_str(), lastTapeDate.line, day(lastTapeDate.value).c_str()));
    lastTapeDate = Last{date, rec.number};
  }
  if (tape.empty() || coo > tape.back().coo) {
    Reduction r{rec.number, crz, coo, date, date, 0, 0};
    r.type = 16;
    tape.push_back(r);
  }
}

void IndicatorCollector::onE16(const RecordLine& rec, const CheckState& state) {
  FieldsOf<E16> f(rec.text);
  const std::int64_t coo = f.asInt(E16::Coo), gnf = f.asInt(E16::Gnf), crz = f.asInt(E16::Crz);
  const bool reductionPrint = f[E16::Denominacao] == "RZ";
  raise(maxCrz, crz, rec.number);
  raise(maxGnf, gnf, rec.number);
  Reduction* own = reductionPrint ? nullptr : reductionOf(coo);
  documentCoo(rec, coo, reductionPrint ? crz : own != nullptr ? own->crz : 0, state, reductionPrint);
  if (gnf > 0) e16Gnf.push_back(GnfDocument{coo, gnf, rec.number, 16});
  const std::int64_t date = f.asInt(E16::DataFinal);
  if (!reductionPrint) {
    if (withoutE12())
      tapeDocs.push_back(TapeDocument{coo, static_cast<std::int32_t>(date), rec.number, 16, false});
    else
      documentDay(rec.number, 16, coo, date, own);
    return;
  }
  tapeReduction(rec, crz, coo, date);
  const Reduction* reduction = reductionByCrz(crz);
  if (date == 0 || reduction == nullptr || reduction->issueDate == 0 || date == reduction->issueDate) return;
  printsOffTheirDay.insert(indicators_.size());  // set against its issue, not its day: a row of its own
  add("indicio.documento.fora_do_dia", rec, crz, coo, number(reduction->issueDate), number(date),
      cformat("Impressão da redução Z do CRZ %lld datada de %s, mas o E12 (linha %d) a dá emitida em %s."_cp, ll(crz),
              day(date).c_str(), reduction->line, day(reduction->issueDate).c_str()));
}

void IndicatorCollector::gnfStep(const GnfDocument& doc) {
  if (doc.gnf == 0 || gnfGap) lastGnf = {};  // after a record the indicators skipped: compared with nothing
  if (doc.gnf == 0) return;
  if (lastGnf.line != 0 && doc.gnf != lastGnf.value + 1) {
    Indicator indicator;
    indicator.code = "indicio.gnf.sequencia";
    indicator.line = doc.line;
    indicator.recordType = doc.type;
    indicator.coo = doc.coo;
    if (const Reduction* r = reductionOf(doc.coo)) indicator.crz = r->crz;
    indicator.expected = number(lastGnf.value + 1);
    indicator.found = number(doc.gnf);
    indicator.sentence =
        cformat(doc.gnf > lastGnf.value + 1
                    ? "GNF %lld depois do GNF %lld do documento da linha %d: documentos não fiscais ausentes do arquivo."_cp
                    : "GNF %lld depois do GNF %lld do documento da linha %d: o contador geral de não fiscais nunca se repete nem volta."_cp,
                ll(doc.gnf), ll(lastGnf.value), lastGnf.line);
    add(std::move(indicator));
  }
  lastGnf = Last{doc.gnf, doc.line};
}

void IndicatorCollector::flushGnfBefore(std::int64_t coo) {
  while (e16GnfNext < e16Gnf.size() && e16Gnf[e16GnfNext].coo < coo) gnfStep(e16Gnf[e16GnfNext++]);
}

void IndicatorCollector::onE19(const RecordLine& rec, const CheckState& state) {
  FieldsOf<E19> f(rec.text);
  const std::int64_t coo = f.asInt(E19::Coo), gnf = f.asInt(E19::Gnf);
  raise(maxGnf, gnf, rec.number);
  Reduction* reduction = reductionOf(coo);
  documentCoo(rec, coo, reduction != nullptr ? reduction->crz : 0, state, false);
  if (gnf > 0) {
    flushGnfBefore(coo);
    gnfStep(GnfDocument{coo, gnf, rec.number, 19});
    gnfGap = false;
  }
  const std::int64_t date = f.asInt(E19::DataInicio);
  if (withoutE12())
    tapeDocs.push_back(TapeDocument{coo, static_cast<std::int32_t>(date), rec.number, 19, false});
  else
    documentDay(rec.number, 19, coo, date, reduction);
}

// A file without E12 (MFD, RZ): its E16 "RZ" stand for the reductions, and the
// documents kept meanwhile are set against them.
void IndicatorCollector::tapeDocuments() {
  if (!withoutE12() || tape.empty()) return;
  reductions = std::move(tape);
  tape.clear();
  for (const TapeDocument& doc : tapeDocs) {
    Reduction* reduction = reductionOf(doc.coo);
    documentDay(doc.line, doc.type, doc.coo, doc.date, reduction);
    if (reduction != nullptr && doc.type == 14) {
      ++reduction->coupons;
      if (doc.cancelled) ++reduction->cancelled;
    }
  }
  tapeDocs.clear();
  tapeDocs.shrink_to_fit();
  // The documents' own indicators, given before the reductions were known.
  for (Indicator& i : indicators_)
    if (i.crz == 0 && i.coo != 0 && (i.recordType == 14 || i.recordType == 16 || i.recordType == 19))
      if (const Reduction* r = reductionOf(i.coo)) i.crz = r->crz;
}

void IndicatorCollector::grandTotals() {
  if (reductions.empty() || e12Skipped || reductions.front().type != 12) return;
  // The reductions in issue order, with the gross sales before each.
  std::vector<std::int64_t> stamps, before = {0};
  for (const Reduction& r : reductions) {
    if (r.issueStamp == 0 || (!stamps.empty() && r.issueStamp < stamps.back())) return;  // no order to sum in
    stamps.push_back(r.issueStamp);
    before.push_back(wrapAdd(before.back(), r.gross));
  }
  const auto issuedBefore = [&](std::int64_t when) {
    return static_cast<std::size_t>(std::lower_bound(stamps.begin(), stamps.end(), when) - stamps.begin());
  };
  const Reduction& first = reductions.front();
  const Reduction& last = reductions.back();
  const bool closesLast = e11Line != 0 && e11Gt != 0 && e11Stamp != 0 && e11Crz == last.crz;
  std::vector<GtAnchor> anchors = gtAnchors;
  if (closesLast) anchors.push_back(GtAnchor{e11Stamp, e11Gt, e11Line, 11});
  std::stable_sort(anchors.begin(), anchors.end(), [](const GtAnchor& a, const GtAnchor& b) { return a.stamp < b.stamp; });
  // Sales after the last reduction, not yet reduced, may already be in the E11's GT.
  const bool salesAfterLast = maxCoo.value > last.coo + kCaptureDocuments;
  const GtAnchor* previous = nullptr;
  for (const GtAnchor& a : anchors) {
    if (a.stamp < first.issueStamp) {
      previous = first.crz == 1 || a.stamp / 1000000 >= first.movementDate ? &a : nullptr;
      continue;
    }
    if (a.stamp > last.issueStamp && !(closesLast && a.stamp <= e11Stamp)) continue;
    if (previous != nullptr) {
      const std::size_t from = issuedBefore(previous->stamp), to = issuedBefore(a.stamp);
      const std::int64_t expected = wrapAdd(previous->gt, wrapSub(before[to], before[from]));
      if (disagree(a.gt, expected, settings_.toleranceCents) && !(a.type == 11 && salesAfterLast && a.gt > expected))
        add("indicio.gt.vendas", a.line, a.type, 0, 0, number(expected), number(a.gt),
            cformat("GT do E%02d (%lld) diferente do GT do E%02d da linha %d (%lld) somado à venda bruta das %zu "
                    "redução(ões) Z entre eles (%lld): o grande total cresce exatamente pela venda bruta de cada "
                    "redução Z."_cp,
                    a.type, ll(a.gt), previous->type, previous->line, ll(previous->gt), to - from,
                    ll(expected)));
    }
    previous = &a;
  }
}

// The E11 that closes the file's last reduction: its counters above the file's last
// documents (beyond what the capture itself issues) tell of documents not in the file.
void IndicatorCollector::countersAfterLast() {
  if (e11Line == 0 || e11Crz == 0 || e11Crz != maxCrz.value) return;
  const bool documents = kind == FileKind::TDM;
  const struct {
    const char* name;
    std::int64_t e11;
    const Maximum& largest;
    bool compared;
  } counters[] = {{"COO", e11Coo, maxCoo, true}, {"CCF", e11Ccf, maxCcf, documents}, {"GNF", e11Gnf, maxGnf, documents}};
  std::string above;
  const char* firstName = nullptr;
  std::int64_t expected = 0, found = 0;
  for (const auto& c : counters) {
    if (!c.compared || c.largest.value == 0 || c.e11 <= c.largest.value + kCaptureDocuments) continue;
    above += cformat("%s%s %lld no E11, %lld no arquivo", above.empty() ? "" : "; ", c.name, ll(c.e11), ll(c.largest.value));
    if (firstName == nullptr) {
      firstName = c.name;
      expected = c.largest.value + kCaptureDocuments;
      found = c.e11;
    }
  }
  if (firstName == nullptr) return;
  add("indicio.contadores.apos_ultimo", e11Line, 11, e11Crz, 0, cformat("até %lld"_cp, ll(expected)), number(found),
      cformat("Contadores do E11 acima do último documento do arquivo (%s): documentos emitidos depois da última "
              "redução Z e antes da captura, que o arquivo não tem."_cp,
              above.c_str()));
}

void IndicatorCollector::groupConsequences() {
  std::vector<Indicator> out;
  std::map<std::pair<std::string_view, std::int64_t>, std::size_t> heads;
  for (std::size_t k = 0; k < indicators_.size(); ++k) {
    Indicator& i = indicators_[k];
    const bool groupable = !printsOffTheirDay.contains(k) && i.crz != 0 && (i.recordType == 14 || i.recordType == 16 || i.recordType == 19) &&
                           (i.code == "indicio.documento.fora_do_dia" || i.code == "indicio.documento.apos_z" ||
                            i.code == "indicio.data.regressiva");
    if (!groupable) {
      out.push_back(std::move(i));
      continue;
    }
    const auto [it, added] = heads.try_emplace({i.code, i.crz}, out.size());
    if (added) {
      out.push_back(std::move(i));
      continue;
    }
    Indicator& head = out[it->second];
    if (head.members.empty()) head.members.push_back(head);
    head.lastLine = std::max(head.lastLine == 0 ? head.line : head.lastLine, i.line);
    head.line = std::min(head.line, i.line);
    ++head.count;
    head.members.push_back(std::move(i));
  }
  for (Indicator& head : out) {
    if (head.count < 2) continue;
    head.sentence = cformat("%lld documentos assim na redução Z de CRZ %lld, das linhas %d a %d; o primeiro: %s"_cp,
                            ll(head.count), ll(head.crz), head.line, head.lastLine, head.members.front().sentence.c_str());
  }
  indicators_ = std::move(out);
}

void IndicatorCollector::endOfFile() {
  flushGnfBefore(INT64_MAX);
  tapeDocuments();

  if (e01Line != 0 && firstE12Line != 0) {
    Indicator indicator;
    indicator.code = "indicio.crz.periodo";
    indicator.line = e01Line;
    indicator.recordType = 1;
    if (crzFirst != firstCrz && !firstE12Skipped) {
      indicator.crz = firstCrz;
      indicator.expected = number(firstCrz);
      indicator.found = number(crzFirst);
      indicator.sentence = cformat("CRZ_INI do E01 (%lld) diferente do CRZ da primeira redução Z do arquivo, na linha %d "
                                   "(%lld): o arquivo não tem as reduções Z que declara."_cp,
                                   ll(crzFirst), firstE12Line, ll(firstCrz));
      add(indicator);
    }
    if (crzLast != finalCrz && !lastE12Skipped) {
      indicator.crz = finalCrz;
      indicator.expected = number(finalCrz);
      indicator.found = number(crzLast);
      indicator.sentence = cformat("CRZ_FIM do E01 (%lld) diferente do CRZ da última redução Z do arquivo, na linha %d "
                                   "(%lld): o arquivo não tem as reduções Z que declara."_cp,
                                   ll(crzLast), lastE12Line, ll(finalCrz));
      add(indicator);
    }
  }

  if (e11Line != 0) {
    const struct {
      const char* name;
      std::int64_t e11;
      const Maximum& largest;
    } counters[] = {{"CRZ", e11Crz, maxCrz}, {"CRO", e11Cro, maxCro}, {"COO", e11Coo, maxCoo},
                    {"CCF", e11Ccf, maxCcf}, {"GNF", e11Gnf, maxGnf}};
    for (const auto& c : counters) {
      if (c.e11 >= c.largest.value) continue;
      Indicator indicator;
      indicator.code = "indicio.contadores.e11";
      indicator.line = e11Line;
      indicator.recordType = 11;
      indicator.expected = cformat("%lld ou mais", ll(c.largest.value));
      indicator.found = number(c.e11);
      indicator.sentence = cformat("%s do E11 (%lld), lido do ECF na captura, menor que o %s %lld da linha %d: o "
                                   "contador do ECF não pode estar atrás dos registros que ele mesmo gravou."_cp,
                                   c.name, ll(c.e11), c.name, ll(c.largest.value), c.largest.line);
      add(indicator);
    }
  }

  countersAfterLast();
  grandTotals();

  // A day of sales must have left its documents in a file that holds the detail memory.
  if (kind == FileKind::TDM && !documentSkipped)
    for (const Reduction& r : reductions)
      if (r.type == 12 && r.gross > 0 && r.documents == 0)
        add("indicio.z.sem_documentos", r.line, 12, r.crz, r.coo, "documentos do dia", "nenhum",
            cformat("Redução Z de CRZ %lld com venda bruta de R$ %s e nenhum documento do movimento de %s no arquivo: os "
                    "documentos do dia foram apagados da fita-detalhe."_cp,
                    ll(r.crz), brazilianMoney(r.gross).c_str(), day(r.movementDate).c_str()));

  for (const Reduction& r : reductions) {
    if (r.coupons == 0 || r.cancelled * 10000 <= settings_.cancellationLimitHundredths * r.coupons) continue;
    const std::int64_t share = (r.cancelled * 20000 / r.coupons + 1) / 2;  // rounded to the hundredth
    Indicator indicator;
    indicator.code = "indicio.cancelamentos";
    indicator.line = r.line;
    indicator.recordType = r.type;
    indicator.crz = r.crz;
    indicator.coo = r.coo;
    indicator.expected = cformat("até %s %%"_cp, percent(settings_.cancellationLimitHundredths).c_str());
    indicator.found = cformat("%s %%", percent(share).c_str());
    indicator.sentence = cformat("%lld de %lld cupons cancelados na redução Z do CRZ %lld (%s %%), acima do limite de "
                                 "%s %%."_cp,
                                 ll(r.cancelled), ll(r.coupons), ll(r.crz), percent(share).c_str(),
                                 percent(settings_.cancellationLimitHundredths).c_str());
    add(indicator);
  }
}

std::vector<Indicator> IndicatorCollector::finish() {
  if (!finished_) {
    finished_ = true;
    endOfFile();
    groupConsequences();
  }
  std::vector<Indicator> out = indicators_;
  sortAlertsFirst(out);
  return out;
}

}  // namespace tavex
