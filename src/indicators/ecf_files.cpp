#include "indicators/ecf_files.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

#include "cotepe/br_format.h"
#include "cotepe/line_reader.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "cotepe/visible_name.h"
#include "validation/record_check.h"

namespace tavex {

namespace {

std::uint64_t digestOf(std::string_view name, std::string_view value) {
  std::uint64_t h = 1469598103934665603u;
  const auto mix = [&](std::string_view s) {
    for (unsigned char c : s) h = (h ^ c) * 1099511628211u;
  };
  mix(trimRight(name));
  mix("=");
  mix(value);
  return h | 1;  // never 0, which means "no E13"
}

// The file as a sentence names it: nothing of the name lost, nothing acting on a terminal.
std::string name(const FileFootprint& f) { return visibleCp1252(f.path); }

std::string range(int first, int last) {
  return first == last ? cformat("%06d", first) : cformat("%06d a %06d", first, last);
}

Indicator indicator(std::string_view code, int line, int type, std::int64_t crz, std::string expected,
                    std::string found, std::string sentence) {
  Indicator i;
  i.code = code;
  i.level = indicatorLevelOf(code);
  i.line = line;
  i.recordType = type;
  i.crz = crz;
  i.expected = std::move(expected);
  i.found = std::move(found);
  i.sentence = std::move(sentence);
  return i;
}

bool fiscal(const FileFootprint& f) {
  return !f.reductions.empty() && !f.reductions.front().fromTape;
}

// What differs between two reads of one record: the names of the values (for the
// sentence) and the first of them as each file tells it.
struct Differences {
  std::string names, first, second;
  void add(bool differ, const char* what, std::string a, std::string b) {
    if (!differ) return;
    if (names.empty()) {
      first = std::move(a);
      second = std::move(b);
    }
    names += (names.empty() ? "" : ", ") + std::string(what);
  }
};

std::string number(std::int64_t value) { return std::to_string(value); }

Differences differences(const FileFootprint::Reduction& a, const FileFootprint::Reduction& b) {
  Differences d;
  d.add(a.coo != b.coo, "COO", number(a.coo), number(b.coo));
  d.add(a.cro != b.cro, "CRO", number(a.cro), number(b.cro));
  d.add(a.movement != b.movement, "data do movimento", a.movement, b.movement);
  d.add(a.issued != b.issued, "data de emissão"_cp, a.issued, b.issued);
  d.add(a.gross != b.gross, "venda bruta", brazilianMoney(a.gross), brazilianMoney(b.gross));
  d.add(a.totalizers != b.totalizers, "totalizadores (E13)", "E13 do primeiro", "E13 diferentes");
  return d;
}

// What two reads of the detail memory must tell alike of a document, from its line.
struct DocumentValues {
  int type = 0;
  std::int64_t counter = 0, date = 0, total = 0;
  bool cancelled = false;
  bool known = false;  // the line could be read again
};

DocumentValues valuesOf(std::string_view line) {
  DocumentValues v;
  v.type = recordTypeOf(line);
  v.known = true;
  if (v.type == 14) {
    v.counter = leadingInt(fieldOf(line, E14::Contador));
    v.date = leadingInt(fieldOf(line, E14::DataInicio));
    v.total = leadingInt(fieldOf(line, E14::TotalLiquido));
    v.cancelled = fieldOf(line, E14::Cancelamento) == "S";
  } else if (v.type == 19) {
    v.counter = leadingInt(fieldOf(line, E19::Gnf));
    v.date = leadingInt(fieldOf(line, E19::DataInicio));
    v.total = leadingInt(fieldOf(line, E19::TotalLiquido));
    v.cancelled = fieldOf(line, E19::Cancelamento) == "S";
  } else if (v.type == 16) {
    v.counter = leadingInt(fieldOf(line, E16::Gnf));
    v.date = leadingInt(fieldOf(line, E16::DataFinal));
  }
  return v;
}

std::uint32_t digestOf(const DocumentValues& v) {
  std::uint64_t h = 1469598103934665603u;
  for (const std::int64_t n : {std::int64_t{v.type}, v.counter, v.date, v.total, std::int64_t{v.cancelled}})
    for (int b = 0; b < 8; ++b) h = (h ^ ((static_cast<std::uint64_t>(n) >> (8 * b)) & 0xff)) * 1099511628211u;
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// Reads the lines `wanted` names (numbers, 1-based) of `path` in one pass; those it
// cannot read stay empty.
void readLines(const std::string& path, std::map<int, std::string>& wanted) {
  LineReader reader;
  if (!reader.open(path)) return;
  int number = 0;
  auto next = wanted.begin();
  std::string_view raw;
  while (next != wanted.end() && reader.next(raw))
    if (++number == next->first) (next++)->second = std::string(stripLineEnd(raw));
}

Differences differences(const DocumentValues& a, const DocumentValues& b) {
  Differences d;
  if (!a.known || !b.known) {  // a file changed or gone since it was read
    d.add(true, "documento", "", "");
    return d;
  }
  d.add(a.type != b.type, "tipo de registro", cformat("E%02d", a.type), cformat("E%02d", b.type));
  d.add(a.counter != b.counter, a.type == 14 ? "CCF" : "GNF", number(a.counter), number(b.counter));
  d.add(a.date != b.date, "data", number(a.date), number(b.date));
  d.add(a.total != b.total, "valor líquido"_cp, brazilianMoney(a.total), brazilianMoney(b.total));
  d.add(a.cancelled != b.cancelled, "cancelamento", a.cancelled ? "S" : "N", b.cancelled ? "S" : "N");
  if (d.names.empty()) d.add(true, "documento", "", "");  // the digests differ, the lines read again do not
  return d;
}

class GroupRules {
 public:
  GroupRules(const std::vector<FileFootprint>& files, EcfGroup& group) : files_(files), group_(group) {}

  void run() {
    coverage();
    overlapsAndDisagreements();
    documents();
    daysWithoutDocuments();
    counters();
    sortAlertsFirst(group_.indicators);
  }

 private:
  const FileFootprint& at(std::size_t k) const { return files_[group_.files[k]]; }

  void add(Indicator indicator, const FileFootprint& a, const FileFootprint* b = nullptr) {
    indicator.files.push_back(a.path);
    if (b != nullptr) indicator.files.push_back(b->path);
    group_.indicators.push_back(std::move(indicator));
  }

  void coverage() {
    int end = 0;
    std::size_t reaching = 0;
    for (std::size_t k = 0; k < group_.files.size(); ++k) {
      const FileFootprint& f = at(k);
      if (f.reductions.empty()) continue;
      const int first = f.firstCrz(), last = f.lastCrz();
      if (end == 0 || first > end + 1) {
        if (end != 0) {
          group_.missing.emplace_back(end + 1, first - 1);
          add(indicator(
              "indicio.arquivos.lacuna", f.reductions.front().line, f.reductions.front().fromTape ? 16 : 12, end + 1,
              cformat("%06d", end + 1), cformat("%06d", first),
              cformat("Faltam as reduções Z de CRZ %s entre %s (última: CRZ %06d) e %s (primeira: CRZ %06d): nenhum arquivo da ECF as tem."_cp,
                      range(end + 1, first - 1).c_str(), name(at(reaching)).c_str(), end, name(f).c_str(), first)),
              at(reaching), &f);
        }
        group_.held.emplace_back(first, last);
      } else {
        group_.held.back().second = std::max(group_.held.back().second, last);
      }
      if (last > end) {
        end = last;
        reaching = k;
      }
    }
  }

  // Each file against those before it, per memory (a fiscal memory's E12 and a
  // detail memory's E16 "RZ" hold different things): an overlap with the file that
  // reached furthest so far, and each reduction against the first file holding its
  // CRZ. Linear in the reductions, however many copies of one period there are.
  void overlapsAndDisagreements() {
    struct Memory {
      int end = 0;
      std::size_t reaching = 0;
      std::unordered_map<int, std::pair<std::size_t, const FileFootprint::Reduction*>> first;
    };
    Memory memories[2];
    for (std::size_t k = 0; k < group_.files.size(); ++k) {
      const FileFootprint& f = at(k);
      if (f.reductions.empty()) continue;
      Memory& m = memories[fiscal(f) ? 0 : 1];
      if (m.end != 0 && f.firstCrz() <= m.end) {
        const int from = f.firstCrz(), to = std::min(m.end, f.lastCrz());
        add(indicator("indicio.arquivos.sobreposicao", 0, 0, from, "", range(from, to),
                      cformat("%s e %s têm as mesmas reduções Z (CRZ %s)."_cp, name(at(m.reaching)).c_str(),
                              name(f).c_str(), range(from, to).c_str())),
            at(m.reaching), &f);
      }
      if (fiscal(f))
        for (const FileFootprint::Reduction& r : f.reductions) {
          const auto [it, added] = m.first.try_emplace(r.crz, k, &r);
          if (!added && it->second.first != k) disagreement(at(it->second.first), *it->second.second, f, r);
        }
      if (f.lastCrz() > m.end) {
        m.end = f.lastCrz();
        m.reaching = k;
      }
    }
  }

  void disagreement(const FileFootprint& a, const FileFootprint::Reduction& ra, const FileFootprint& b,
                    const FileFootprint::Reduction& rb) {
    const Differences differ = differences(ra, rb);
    if (differ.names.empty()) return;
    add(indicator("indicio.arquivos.divergencia", rb.line, 12, rb.crz, differ.first, differ.second,
                  cformat("A redução Z de CRZ %06d difere entre %s (linha %d) e %s (linha %d): %s. A história da ECF foi reescrita em um deles."_cp,
                          rb.crz, name(a).c_str(), ra.line, name(b).c_str(), rb.line, differ.names.c_str())),
        a, &b);
  }

  // Two reads of the detail memory holding the same COO must tell the document
  // alike. Each COO against the first file holding it, by digest; the lines of the
  // documents that differ are read again for their values. The documents that
  // differ between two files are one indicator, with each of them behind it.
  void documents() {
    struct Differing {
      std::size_t was, now;  // positions in the group
      int wasLine, nowLine;
      std::int32_t coo;
    };
    std::vector<Differing> differing;
    std::unordered_map<std::int32_t, std::pair<std::size_t, const FileFootprint::Document*>> first;
    for (std::size_t k = 0; k < group_.files.size(); ++k)
      for (const FileFootprint::Document& doc : at(k).documents) {
        if (doc.coo == 0) continue;
        const auto [it, added] = first.try_emplace(doc.coo, k, &doc);
        if (added || it->second.first == k || it->second.second->digest == doc.digest) continue;
        differing.push_back({it->second.first, k, it->second.second->line, doc.line, doc.coo});
      }
    if (differing.empty()) return;
    std::map<std::size_t, std::map<int, std::string>> lines;  // position -> line number -> text
    for (const Differing& d : differing) {
      lines[d.was][d.wasLine];
      lines[d.now][d.nowLine];
    }
    for (auto& [k, wanted] : lines) readLines(at(k).path, wanted);
    const auto values = [&](std::size_t k, int line) {
      const std::string& text = lines[k][line];
      return text.empty() ? DocumentValues{} : valuesOf(text);
    };
    std::map<std::pair<std::size_t, std::size_t>, std::size_t> heads;  // files -> indicator
    for (const Differing& d : differing) {
      const FileFootprint &other = at(d.was), &f = at(d.now);
      const DocumentValues was = values(d.was, d.wasLine), now = values(d.now, d.nowLine);
      const Differences differ = differences(was, now);
      Indicator one = indicator(
          "indicio.arquivos.divergencia", d.nowLine, now.type, 0, differ.first, differ.second,
          cformat("O documento de COO %d difere entre %s (linha %d) e %s (linha %d): %s. Uma das leituras da "
                  "fita-detalhe foi alterada."_cp,
                  static_cast<int>(d.coo), name(other).c_str(), d.wasLine, name(f).c_str(), d.nowLine,
                  differ.names.c_str()));
      one.coo = d.coo;
      one.files = {other.path, f.path};
      const auto [head, fresh] = heads.try_emplace({d.was, d.now}, group_.indicators.size());
      if (fresh) {
        group_.indicators.push_back(std::move(one));
        continue;
      }
      Indicator& h = group_.indicators[head->second];
      if (h.members.empty()) h.members.push_back(h);
      h.lastLine = std::max(h.lastLine == 0 ? h.line : h.lastLine, one.line);
      ++h.count;
      h.sentence = cformat("%lld documentos diferem entre %s e %s; o primeiro: %s"_cp, static_cast<long long>(h.count),
                           name(other).c_str(), name(f).c_str(), h.members.front().sentence.c_str());
      h.members.push_back(std::move(one));
    }
  }

  // A day of sales in the fiscal memory whose detail memory, read in another file,
  // holds no document of it.
  void daysWithoutDocuments() {
    struct Held {
      std::size_t file;
      std::int64_t documents;
    };
    std::unordered_map<int, Held> tapeDays;  // CRZ -> the first tape file holding it, and its documents there
    for (std::size_t k = 0; k < group_.files.size(); ++k) {
      const FileFootprint& f = at(k);
      if (f.reductions.empty() || fiscal(f)) continue;
      std::vector<std::int64_t> counts(f.reductions.size(), 0);
      for (const FileFootprint::Document& doc : f.documents) {
        const auto it = std::lower_bound(f.reductions.begin(), f.reductions.end(), std::int64_t{doc.coo},
                                         [](const FileFootprint::Reduction& r, std::int64_t coo) { return r.coo < coo; });
        if (it != f.reductions.end()) ++counts[static_cast<std::size_t>(it - f.reductions.begin())];
      }
      for (std::size_t r = 0; r < f.reductions.size(); ++r)
        tapeDays.try_emplace(f.reductions[r].crz, Held{k, counts[r]});
    }
    if (tapeDays.empty()) return;
    for (std::size_t k = 0; k < group_.files.size(); ++k) {
      const FileFootprint& f = at(k);
      if (!fiscal(f) || !f.documents.empty()) continue;  // a TDM answers for its own days
      for (const FileFootprint::Reduction& r : f.reductions) {
        const auto it = tapeDays.find(r.crz);
        if (r.gross <= 0 || it == tapeDays.end() || it->second.documents != 0) continue;
        const FileFootprint& tape = at(it->second.file);
        Indicator one = indicator(
            "indicio.z.sem_documentos", r.line, 12, r.crz, "documentos do dia", "nenhum",
            cformat("Redução Z de CRZ %06d com venda bruta de R$ %s em %s e nenhum documento do dia na fita-detalhe "
                    "de %s: os documentos do dia foram apagados."_cp,
                    r.crz, brazilianMoney(r.gross).c_str(), name(f).c_str(), name(tape).c_str()));
        one.coo = r.coo;
        add(std::move(one), f, &tape);
      }
    }
  }

  // A counter of a later file (one that reaches further in CRZ) below what an
  // earlier file already showed.
  void counters() {
    struct Highest {
      std::int64_t value = 0;
      std::size_t file = 0;  // its position in the group
      int lastCrz = 0;       // the last CRZ of that file
    };
    Highest coo, cro, gt, reductionCoo;
    const auto check = [&](const FileFootprint& f, Highest& highest, std::int64_t value, int from, int line, int type,
                           const char* what, const char* earlier) {
      if (from <= highest.lastCrz || value >= highest.value) return;
      add(indicator("indicio.arquivos.contadores", line, type, 0, std::to_string(highest.value), std::to_string(value),
                    cformat("%s de %s (%lld) é menor que o de %s, %s (%lld): o contador voltou."_cp, what,
                            name(f).c_str(), static_cast<long long>(value), name(at(highest.file)).c_str(), earlier,
                            static_cast<long long>(highest.value))),
          at(highest.file), &f);
    };
    // The E11 holds the counters when the file was captured: captures in time order
    // (date and hour, then CRZ), whatever reductions each file holds.
    std::vector<std::size_t> captures;
    for (std::size_t k = 0; k < group_.files.size(); ++k)
      if (at(k).hasE11 && at(k).e11Stamp != 0) captures.push_back(k);
    std::stable_sort(captures.begin(), captures.end(), [&](std::size_t a, std::size_t b) {
      return std::pair(at(a).e11Stamp, at(a).e11Crz) < std::pair(at(b).e11Stamp, at(b).e11Crz);
    });
    for (std::size_t k : captures) {
      const FileFootprint& f = at(k);
      check(f, coo, f.e11Coo, 1, f.e11Line, 11, "O COO do E11", "capturado antes");
      check(f, cro, f.e11Cro, 1, f.e11Line, 11, "O CRO do E11", "capturado antes");
      if (f.e11Gt != 0)  // a GT of zero is none known (files made without one)
        check(f, gt, f.e11Gt, 1, f.e11Line, 11, "O GT do E11", "capturado antes");
      const auto raise = [&](Highest& highest, std::int64_t value) {
        if (value > highest.value) highest = {value, k, 0};
      };
      raise(coo, f.e11Coo);
      raise(cro, f.e11Cro);
      raise(gt, f.e11Gt);
    }
    for (std::size_t k = 0; k < group_.files.size(); ++k) {
      const FileFootprint& f = at(k);
      if (fiscal(f)) {
        const FileFootprint::Reduction& r = f.reductions.front();
        check(f, reductionCoo, r.coo, r.crz, r.line, 12, "O COO da primeira redução Z (E12)"_cp, "anterior");
        if (f.reductions.back().coo > reductionCoo.value) reductionCoo = {f.reductions.back().coo, k, f.lastCrz()};
      }
    }
  }

  const std::vector<FileFootprint>& files_;
  EcfGroup& group_;
};

}  // namespace

int FileFootprint::firstCrz() const {
  int first = 0;
  for (const Reduction& r : reductions) first = first == 0 ? r.crz : std::min(first, r.crz);
  return first;
}

int FileFootprint::lastCrz() const {
  int last = 0;
  for (const Reduction& r : reductions) last = std::max(last, r.crz);
  return last;
}

void FootprintCollector::onRecord(const RecordLine& rec, bool fieldsPassed, const CheckState&) {
  restarted_ = false;
  if (!fieldsPassed) return;
  FileFootprint& f = footprint_;
  const std::string_view line = rec.text;
  if (rec.type >= 2 && rec.type <= 21 && f.identified && f.foreignLine == 0) {
    const RecordFields fields(*layoutOf(rec.type), line);
    if (fields[Common::NumeroFabricacao] != f.serial || fields[Common::MfAdicional] != f.mfAdicional ||
        trimRight(fields[Common::Modelo]) != f.model) {
      f.foreignLine = rec.number;
      f.foreignType = rec.type;
      f.foreignSerial = std::string(trimRight(fields[Common::NumeroFabricacao]));
    }
  }
  switch (rec.type) {
    case 1:
      f.serial = std::string(fieldOf(line, E01::NumeroFabricacao));
      f.identified = !trimRight(f.serial).empty();
      f.mfAdicional = std::string(fieldOf(line, E01::MfAdicional));
      f.model = std::string(trimRight(fieldOf(line, E01::Modelo)));
      f.kind = fileKindOf(fieldOf(line, E01::ComandoGeracao));
      f.periodStart = std::string(fieldOf(line, E01::DataInicial));
      f.periodEnd = std::string(fieldOf(line, E01::DataFinal));
      break;
    case 11:
      f.hasE11 = true;
      f.e11Line = rec.number;
      f.e11Crz = leadingInt(fieldOf(line, E11::Crz));
      if (const std::int64_t date = leadingInt(fieldOf(line, E11::DataCaptura)); date != 0)
        f.e11Stamp = date * 1000000 + leadingInt(fieldOf(line, E11::HoraCaptura));
      f.e11Coo = leadingInt(fieldOf(line, E11::Coo));
      f.e11Cro = leadingInt(fieldOf(line, E11::Cro));
      f.e11Gt = leadingInt(fieldOf(line, E11::Gt));
      break;
    case 12: {
      FileFootprint::Reduction r;
      r.crz = static_cast<int>(leadingInt(fieldOf(line, E12::Crz)));
      r.line = rec.number;
      r.coo = leadingInt(fieldOf(line, E12::Coo));
      r.cro = leadingInt(fieldOf(line, E12::Cro));
      r.gross = leadingInt(fieldOf(line, E12::VendaBrutaDiaria));
      r.movement = std::string(fieldOf(line, E12::DataMovimento));
      r.issued = std::string(fieldOf(line, E12::DataEmissao));
      byCrz_[r.crz] = f.reductions.size();
      f.reductions.push_back(std::move(r));
      break;
    }
    case 13: {
      const auto it = byCrz_.find(static_cast<int>(leadingInt(fieldOf(line, E13::Crz))));
      if (it != byCrz_.end())
        f.reductions[it->second].totalizers += digestOf(fieldOf(line, E13::Totalizador), fieldOf(line, E13::ValorAcumulado));
      break;
    }
    case 14:
    case 19:
      f.documents.push_back({static_cast<std::int32_t>(leadingInt(rec.type == 14 ? fieldOf(line, E14::Coo)
                                                                                 : fieldOf(line, E19::Coo))),
                             digestOf(valuesOf(line)), rec.number});
      break;
    case 16:
      if (trimRight(fieldOf(line, E16::Denominacao)) != "RZ") {
        f.documents.push_back(
            {static_cast<std::int32_t>(leadingInt(fieldOf(line, E16::Coo))), digestOf(valuesOf(line)), rec.number});
        break;
      }
      // A detail memory's reductions are its E16 "RZ" documents.
      if (f.reductions.empty() || f.reductions.front().fromTape) {
        FileFootprint::Reduction r;
        r.crz = static_cast<int>(leadingInt(fieldOf(line, E16::Crz)));
        r.line = rec.number;
        r.coo = leadingInt(fieldOf(line, E16::Coo));
        r.issued = std::string(fieldOf(line, E16::DataFinal));
        r.fromTape = true;
        f.reductions.push_back(std::move(r));
      }
      break;
    default: break;
  }
}

void FootprintCollector::onRestart() {
  FileFootprint fresh;
  fresh.path = std::move(footprint_.path);
  footprint_ = std::move(fresh);
  byCrz_.clear();
  restarted_ = true;
}

FileFootprint FootprintCollector::finish(bool usable) {
  footprint_.usable = usable;
  return std::move(footprint_);
}

FileFootprint FootprintCollector::finish(const ValidationSummary& summary) {
  // endsInEad is known when the run read every line in its one read: the structure
  // did not stop it. A run that started over and never read the records again
  // (too many findings, sizes wrong) holds only part of them.
  const bool read = summary.ran && summary.endsInEad.has_value() && !restarted_;
  footprint_.withoutEad = read && !*summary.endsInEad;
  return finish(read || (summary.ran && summary.reconciliation.has_value()));
}

std::vector<EcfGroup> groupByEcf(const std::vector<FileFootprint>& files) {
  std::vector<EcfGroup> groups;
  std::map<std::tuple<std::string, std::string, std::string>, std::size_t> known;
  std::vector<std::size_t> unknown;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const FileFootprint& f = files[i];
    if (!f.identified) {
      unknown.push_back(i);
      continue;
    }
    const auto [it, added] = known.try_emplace({f.serial, f.mfAdicional, f.model}, groups.size());
    if (added) {
      EcfGroup& g = groups.emplace_back();
      g.known = true;
      g.serial = f.serial;
      g.mfAdicional = f.mfAdicional;
      g.model = f.model;
    }
    EcfGroup& g = groups[it->second];
    (f.usable && f.foreignLine == 0 ? g.files : g.excluded).push_back(i);
  }
  for (EcfGroup& g : groups) {
    using Key = std::tuple<int, const std::string&, const std::string&, const std::string&>;
    const auto key = [&](std::size_t i) {
      const FileFootprint& f = files[i];
      return Key(f.firstCrz(), f.periodStart, f.periodEnd, f.path);
    };
    std::sort(g.files.begin(), g.files.end(), [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
    GroupRules(files, g).run();
  }
  for (std::size_t i : unknown) {
    EcfGroup& g = groups.emplace_back();
    (files[i].usable ? g.files : g.excluded).push_back(i);
  }
  return groups;
}

std::string coverageText(const EcfGroup& group) {
  if (group.held.empty()) return "nenhuma redução Z"_cp;
  const auto list = [](const std::vector<std::pair<int, int>>& ranges) {
    std::string out;
    for (std::size_t i = 0; i < ranges.size(); ++i)
      out += (i == 0 ? "" : i + 1 == ranges.size() ? " e " : ", ") + range(ranges[i].first, ranges[i].second);
    return out;
  };
  long count = 0;
  for (const auto& [first, last] : group.held) count += last - first + 1;
  std::string out = cformat("CRZ %s (%ld redução(ões) Z)"_cp, list(group.held).c_str(), count);
  if (!group.missing.empty()) out += "; faltam " + list(group.missing);
  return out;
}

std::string exclusionReason(const FileFootprint& file) {
  if (file.foreignLine == 0) return "não passou na verificação de estrutura"_cp;
  return cformat("a linha %d (E%02d) é da ECF %s"_cp, file.foreignLine, file.foreignType, file.foreignSerial.c_str());
}

std::string ecfCaption(const EcfGroup& group) {
  if (!group.known) return "ECF desconhecida";
  return cformat("ECF %s (MF adicional \"%s\", modelo %s)", std::string(trimRight(group.serial)).c_str(),
                 group.mfAdicional.c_str(), group.model.c_str());
}

}  // namespace tavex
