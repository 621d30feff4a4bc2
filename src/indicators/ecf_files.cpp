#include "indicators/ecf_files.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

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

// The values of one reduction that two files must tell alike, named for the sentence.
std::string differences(const FileFootprint::Reduction& a, const FileFootprint::Reduction& b) {
  std::string out;
  const auto add = [&](bool differ, const char* what) {
    if (differ) out += (out.empty() ? "" : ", ") + std::string(what);
  };
  add(a.coo != b.coo, "COO");
  add(a.cro != b.cro, "CRO");
  add(a.movement != b.movement, "data do movimento");
  add(a.issued != b.issued, "data de emissão"_cp);
  add(a.gross != b.gross, "venda bruta");
  add(a.totalizers != b.totalizers, "totalizadores (E13)");
  return out;
}

class GroupRules {
 public:
  GroupRules(const std::vector<FileFootprint>& files, EcfGroup& group) : files_(files), group_(group) {}

  void run() {
    coverage();
    overlapsAndDisagreements();
    counters();
    sortAlertsFirst(group_.indicators);
  }

 private:
  const FileFootprint& at(std::size_t k) const { return files_[group_.files[k]]; }

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
          group_.indicators.push_back(indicator(
              "indicio.arquivos.lacuna", f.reductions.front().line, f.reductions.front().fromTape ? 16 : 12, end + 1,
              cformat("%06d", end + 1), cformat("%06d", first),
              cformat("Faltam as reduções Z de CRZ %s entre %s (última: CRZ %06d) e %s (primeira: CRZ %06d): nenhum arquivo da ECF as tem."_cp,
                      range(end + 1, first - 1).c_str(), name(at(reaching)).c_str(), end, name(f).c_str(), first)));
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
        group_.indicators.push_back(indicator(
            "indicio.arquivos.sobreposicao", 0, 0, from, "", range(from, to),
            cformat("%s e %s têm as mesmas reduções Z (CRZ %s)."_cp, name(at(m.reaching)).c_str(), name(f).c_str(),
                    range(from, to).c_str())));
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
    const std::string differ = differences(ra, rb);
    if (differ.empty()) return;
    group_.indicators.push_back(indicator(
        "indicio.arquivos.divergencia", rb.line, 12, rb.crz, name(a), name(b),
        cformat("A redução Z de CRZ %06d difere entre %s (linha %d) e %s (linha %d): %s. A história da ECF foi reescrita em um deles."_cp,
                rb.crz, name(a).c_str(), ra.line, name(b).c_str(), rb.line, differ.c_str())));
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
    for (std::size_t k = 0; k < group_.files.size(); ++k) {
      const FileFootprint& f = at(k);
      const auto check = [&](Highest& highest, std::int64_t value, int from, int line, int type, const char* what) {
        if (from <= highest.lastCrz || value >= highest.value) return;
        group_.indicators.push_back(indicator(
            "indicio.arquivos.contadores", line, type, 0, std::to_string(highest.value), std::to_string(value),
            cformat("%s de %s (%lld) é menor que o de %s, anterior (%lld): o contador voltou."_cp, what, name(f).c_str(),
                    static_cast<long long>(value), name(at(highest.file)).c_str(), static_cast<long long>(highest.value))));
      };
      if (f.hasE11) {
        check(coo, f.e11Coo, f.lastCrz(), f.e11Line, 11, "O COO do E11");
        check(cro, f.e11Cro, f.lastCrz(), f.e11Line, 11, "O CRO do E11");
        check(gt, f.e11Gt, f.lastCrz(), f.e11Line, 11, "O GT do E11");
      }
      if (fiscal(f)) {
        const FileFootprint::Reduction& r = f.reductions.front();
        check(reductionCoo, r.coo, r.crz, r.line, 12, "O COO da primeira redução Z (E12)"_cp);
      }
      // The highest values of this file count for the files after it.
      const auto raise = [&](Highest& highest, std::int64_t value) {
        if (value > highest.value) highest = {value, k, f.lastCrz()};
      };
      if (f.hasE11) {
        raise(coo, f.e11Coo);
        raise(cro, f.e11Cro);
        raise(gt, f.e11Gt);
      }
      if (fiscal(f)) raise(reductionCoo, f.reductions.back().coo);
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
    case 16:
      // A detail memory's reductions are its E16 "RZ" documents.
      if (trimRight(fieldOf(line, E16::Denominacao)) == "RZ" && (f.reductions.empty() || f.reductions.front().fromTape)) {
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
}

FileFootprint FootprintCollector::finish(bool usable) {
  footprint_.usable = usable;
  return std::move(footprint_);
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
