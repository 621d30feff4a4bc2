#include "validation/memory_pair.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "cotepe/br_format.h"
#include "cotepe/file_access.h"
#include "cotepe/line_reader.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "validation/field_checks.h"
#include "validation/messages.h"
#include "validation/record_check.h"
#include "validation/structure_scan.h"
#include "validation/totals.h"
#include "validation/validate.h"
#include "validation/validation_run.h"

namespace tavex {

namespace {

std::string shown(const std::string& path) { return utf8ToCp1252(path); }

std::string kindName(FileKind kind) {
  const std::string_view name = fileKindRules(kind).name;
  return name.empty() ? "de tipo desconhecido"_cp : "um arquivo " + std::string(name);
}

std::string periodText(const PairIdentity& id) {
  return brazilianDate(id.periodStart).value_or(id.periodStart) + " a " + brazilianDate(id.periodEnd).value_or(id.periodEnd);
}

// Whether a record after E01 (E02..E21) names the ECF `id` names: its serial, MF
// addition and model. A line of no known layout or EAD has nothing to say.
bool ofTheEcf(std::string_view line, int type, const PairIdentity& id) {
  if (type < 2 || type > 21) return true;
  const RecordLayout* layout = layoutOf(type);
  if (layout == nullptr) return true;
  const RecordFields f(*layout, line);
  return f[Common::NumeroFabricacao] == id.serial && f[Common::MfAdicional] == id.mfAdicional &&
         trimRight(f[Common::Modelo]) == trimRight(id.model);
}

// The first structural or size finding of the run and the file it was about, and
// the first field-format error (which turns the content checks off).
class FirstFindings : public FindingSink {
 public:
  void onFinding(const Finding& finding) override {
    if (finding.severity != Severity::Error) return;
    if (formatLine == 0 && finding.code.starts_with("campo.formato")) formatLine = finding.place.line;
    if (!structure.empty()) return;
    if (findingFamilyOf(finding.code) != FindingFamily::Structure && !finding.code.starts_with("tamanho.")) return;
    structure = finding.message;
    structureFile = current;
  }
  PairFile current = PairFile::Mf;
  PairFile structureFile = PairFile::Mf;
  std::string structure;
  int formatLine = 0;
};

// The lines of the documents of one kind (E14, E19 or E21) the joint run summed, by COO.
struct DocumentLines {
  std::vector<std::pair<std::int64_t, int>> byCoo;  // (COO, MFD line), in the file's order
  void add(std::int64_t coo, int line) { byCoo.emplace_back(coo, line); }
  void sort() {
    if (!std::is_sorted(byCoo.begin(), byCoo.end())) std::sort(byCoo.begin(), byCoo.end());
  }
  // The first and last line of the documents with a COO in [first, last].
  std::pair<int, int> linesOf(std::int64_t first, std::int64_t last) const {
    auto from = std::lower_bound(byCoo.begin(), byCoo.end(), std::make_pair(first, std::numeric_limits<int>::min()));
    int low = 0, high = 0;
    for (auto it = from; it != byCoo.end() && it->first <= last; ++it) {
      if (low == 0 || it->second < low) low = it->second;
      high = std::max(high, it->second);
    }
    return {low, high};
  }
};

struct MfdReduction {
  int crz = 0;
  int line = 0;
  std::string date;
};

class PairRun {
 public:
  PairRun(Notifier& notifier, std::int64_t tolerance, const PairOptions& options)
      : notifier_(notifier), options_(options), run_(notifier) {
    run_.log.keepNoFile();
    run_.toleranceCents = tolerance < 0 ? 0 : tolerance;
    run_.today = options.today.empty() ? localToday() : options.today;
    for (FindingSink* sink : options.sinks) run_.attach(*sink);
    run_.attach(first_);
  }

  MemoryPair reconcile(const std::string& first, const std::string& second);

 private:
  bool refuse(const std::string& text) {
    notifier_.showMessage(text, msg::kTitleError, Icon::Error);
    return false;
  }
  bool open(LineReader& reader, const std::string& path, PairIdentity& id);
  bool identify(const std::string& first, const std::string& second);
  bool readFailed(LineReader& reader, const std::string& path) {
    return reader.readFailed() && !refuse(cformat("Problemas ao ler o arquivo COTEPE %s."_cp, shown(path).c_str()));
  }
  // After a file's lines: its structure and sizes, refused with the first finding.
  bool structureHolds(StructureScanner& scanner, LineReader& reader, const PairIdentity& id);
  bool feedMf();
  bool feedMfd();
  // Refuses the pair at a record (line `number` of `id`'s file) of another ECF than its E01's.
  bool foreignRecord(std::string_view line, int number, const PairIdentity& id);
  // Whether an MFD line goes to the checks (documents of the part both files cover),
  // noting the lines the reconciliation cites.
  bool takesMfdLine(std::string_view line, int number);
  void finish(MemoryPair& out);

  Notifier& notifier_;
  const PairOptions& options_;
  ValidationRun run_;
  FirstFindings first_;
  MemoryPair result_;
  LineReader readers_[2];  // in the order given
  int mf_ = 0;             // which of them is the MF
  LineReader& mfReader() { return readers_[mf_]; }
  LineReader& mfdReader() { return readers_[1 - mf_]; }
  int offset_ = 0;
  std::int64_t mfStart_ = 0;
  std::int64_t skippedThrough_ = 0;  // the highest COO of an MFD document left out
  DocumentLines coupons_, nonFiscal_, payments_;
  std::vector<MfdReduction> mfdReductions_;
};

bool PairRun::open(LineReader& reader, const std::string& path, PairIdentity& id) {
  if (!reader.open(path))
    return refuse(reader.notRegular() ? std::string(kNotRegularInput)
                                      : cformat("Problemas ao abrir o arquivo COTEPE %s."_cp, shown(path).c_str()));
  std::string_view raw;
  id = reader.next(raw) ? identityOf(stripLineEnd(raw)) : PairIdentity{};
  id.path = path;
  if (readFailed(reader, path)) return false;
  reader.rewind();
  if (!id.known())
    return refuse(cformat("O arquivo %s não começa por um registro E01 com o número de fabricação: não se sabe de que ECF ele é."_cp,
                          shown(path).c_str()));
  return true;
}

bool PairRun::identify(const std::string& first, const std::string& second) {
  PairIdentity a, b;
  if (!open(readers_[0], first, a) || !open(readers_[1], second, b)) return false;
  if (a.kind == FileKind::MFD && b.kind == FileKind::MF) {
    std::swap(a, b);
    mf_ = 1;
  }
  if (a.kind != FileKind::MF || b.kind != FileKind::MFD) {
    const PairIdentity& one = a.path == first ? a : b;
    const PairIdentity& other = a.path == first ? b : a;
    return refuse(cformat("Informe um arquivo MF (memória fiscal) e um arquivo MFD (memória de fita-detalhe) da mesma ECF: %s é %s e %s é %s."_cp,
                          shown(one.path).c_str(), kindName(one.kind).c_str(), shown(other.path).c_str(),
                          kindName(other.kind).c_str()));
  }
  if (!sameEcf(a, b))
    return refuse(cformat("Os arquivos são de ECFs diferentes: o MF %s é da ECF %s (MF adicional \"%s\", modelo %s) e o MFD %s, da ECF %s (MF adicional \"%s\", modelo %s)."_cp,
                          shown(a.path).c_str(), std::string(trimRight(a.serial)).c_str(), a.mfAdicional.c_str(),
                          std::string(trimRight(a.model)).c_str(), shown(b.path).c_str(),
                          std::string(trimRight(b.serial)).c_str(), b.mfAdicional.c_str(),
                          std::string(trimRight(b.model)).c_str()));
  for (const PairIdentity* id : {&a, &b})
    if (!isValidDate(id->periodStart, 1900) || !isValidDate(id->periodEnd, 1900))
      return refuse(cformat("O período do arquivo %s (E01) não é uma data válida: não se sabe o que ele cobre."_cp,
                            shown(id->path).c_str()));
  if (a.periodEnd < b.periodStart || b.periodEnd < a.periodStart)
    return refuse(cformat("Os períodos dos arquivos não se sobrepõem: o MF %s cobre %s e o MFD %s, %s; não há redução Z a comparar."_cp,
                          shown(a.path).c_str(), periodText(a).c_str(), shown(b.path).c_str(), periodText(b).c_str()));
  result_.mf = a;
  result_.mfd = b;
  return true;
}

bool PairRun::structureHolds(StructureScanner& scanner, LineReader& reader, const PairIdentity& id) {
  const StructureVerdict verdict = scanner.finish();
  const bool holds = verdict == StructureVerdict::Passed ||
                     (verdict == StructureVerdict::OnlyMissingRecords && options_.continueAfterMissingRecords);
  if (holds && !scanner.sizesHold()) scanRecordSizes(reader, run_);
  if (readFailed(reader, id.path)) return false;
  if (holds && scanner.sizesHold()) return true;
  std::string first = first_.structureFile == first_.current ? first_.structure : std::string();
  if (first.empty()) first = "veja o log de \"validar\""_cp;
  return refuse(cformat("O arquivo %s não passou na verificação de estrutura (%s); valide-o com \"validar\"."_cp,
                        shown(id.path).c_str(), first.c_str()));
}

bool PairRun::foreignRecord(std::string_view line, int number, const PairIdentity& id) {
  const int type = recordTypeOf(line);
  if (ofTheEcf(line, type, id)) return false;
  const RecordFields f(*layoutOf(type), line);
  return !refuse(cformat("O arquivo %s tem registros de outra ECF: a linha %d (E%02d) é da ECF %s (MF adicional \"%s\", modelo %s) e o E01 dele, da ECF %s (MF adicional \"%s\", modelo %s)."_cp,
                         shown(id.path).c_str(), number, type, std::string(trimRight(f[Common::NumeroFabricacao])).c_str(),
                         std::string(f[Common::MfAdicional]).c_str(), std::string(trimRight(f[Common::Modelo])).c_str(),
                         std::string(trimRight(id.serial)).c_str(), id.mfAdicional.c_str(),
                         std::string(trimRight(id.model)).c_str()));
}

bool PairRun::feedMf() {
  first_.current = PairFile::Mf;
  StructureScanner scanner(run_, mfReader(), options_.continueAfterMissingRecords);
  // The MF's E01 opens the joint stream as a TDM file's would: the run then sums the
  // documents per reduction and reconciles both memories.
  std::string e01;
  int number = 0;
  std::string_view raw;
  while (mfReader().next(raw)) {
    const std::string_view line = stripLineEnd(raw);
    if (!scanner.feed(line)) break;
    ++number;
    if (foreignRecord(line, number, result_.mf)) return false;
    const int type = recordTypeOf(line);
    if (type == kEadType) continue;  // the joint stream ends with the MFD's EAD
    if (number == 1) {
      e01 = std::string(line);
      const FieldLayout& command = fieldLayout(E01::ComandoGeracao);
      if (e01.size() >= static_cast<std::size_t>(command.start - 1 + command.width))
        e01.replace(static_cast<std::size_t>(command.start - 1), 3, "TDM");
      checkRecordLine(run_, e01, number, CheckMode::Full);
      continue;
    }
    checkRecordLine(run_, line, number, CheckMode::Full);
    offset_ = number - 2;
  }
  if (readFailed(mfReader(), result_.mf.path) || !structureHolds(scanner, mfReader(), result_.mf)) return false;
  mfStart_ = leadingInt(result_.mf.periodStart);
  return true;
}

bool PairRun::takesMfdLine(std::string_view line, int number) {
  const auto before = [&](std::string_view date) { return leadingInt(date) < mfStart_; };
  switch (recordTypeOf(line)) {
    case 14: {
      const std::int64_t coo = leadingInt(fieldOf(line, E14::Coo));
      if (before(fieldOf(line, E14::DataInicio))) {
        skippedThrough_ = std::max(skippedThrough_, coo);
        return false;
      }
      coupons_.add(coo, number);
      return true;
    }
    case 19: {
      const std::int64_t coo = leadingInt(fieldOf(line, E19::Coo));
      if (before(fieldOf(line, E19::DataInicio))) {
        skippedThrough_ = std::max(skippedThrough_, coo);
        return false;
      }
      nonFiscal_.add(coo, number);
      return true;
    }
    case 16: {
      const bool reduction = trimRight(fieldOf(line, E16::Denominacao)) == "RZ";
      if (reduction)
        mfdReductions_.push_back({static_cast<int>(leadingInt(fieldOf(line, E16::Crz))), number,
                                  std::string(fieldOf(line, E16::DataFinal))});
      if (before(fieldOf(line, E16::DataFinal))) {
        skippedThrough_ = std::max(skippedThrough_, leadingInt(fieldOf(line, E16::Coo)));
        return false;
      }
      return true;
    }
    case 15: return leadingInt(fieldOf(line, E15::Coo)) > skippedThrough_;
    case 20: return leadingInt(fieldOf(line, E20::Coo)) > skippedThrough_;
    case 21: {
      const std::int64_t coo = leadingInt(fieldOf(line, E21::Coo));
      if (coo <= skippedThrough_) return false;
      payments_.add(coo, number);
      return true;
    }
    case 17: return run_.firstStoredCrz == 0 || leadingInt(fieldOf(line, E17::Crz)) >= run_.firstStoredCrz;
    case 18: return run_.firstStoredCrz == 0 || leadingInt(fieldOf(line, E18::Crz)) >= run_.firstStoredCrz;
    default: return true;
  }
}

bool PairRun::feedMfd() {
  first_.current = PairFile::Mfd;
  StructureScanner scanner(run_, mfdReader(), options_.continueAfterMissingRecords);
  int number = 0;
  std::string_view raw;
  while (mfdReader().next(raw)) {
    const std::string_view line = stripLineEnd(raw);
    if (!scanner.feed(line)) break;
    if (foreignRecord(line, ++number, result_.mfd)) return false;
    if (number <= 2) continue;  // its E01 and E02 said what the MF's already say
    if (takesMfdLine(line, number)) checkRecordLine(run_, line, number + offset_, CheckMode::Full);
  }
  return !readFailed(mfdReader(), result_.mfd.path) && structureHolds(scanner, mfdReader(), result_.mfd);
}

void PairRun::finish(MemoryPair& out) {
  out.mfdLineOffset = offset_;
  Reconciliation all = tavex::reconcile(run_);
  const std::int64_t mfdStart = leadingInt(out.mfd.periodStart), mfdEnd = leadingInt(out.mfd.periodEnd);
  Reconciliation& compared = out.reconciliation;
  compared.toleranceCents = all.toleranceCents;
  std::vector<int> mfCrzs;
  mfCrzs.reserve(all.reductions.size());
  for (ReductionReconciliation& r : all.reductions) {
    mfCrzs.push_back(r.crz);
    const std::int64_t day = leadingInt(r.date);
    if (day >= mfdStart && day <= mfdEnd)
      compared.reductions.push_back(std::move(r));
    else
      out.notCompared.push_back({PairFile::Mf, r.line, r.crz, r.date, NotComparedReason::OutsidePeriod});
  }
  std::sort(mfCrzs.begin(), mfCrzs.end());
  for (const MfdReduction& z : mfdReductions_) {
    if (std::binary_search(mfCrzs.begin(), mfCrzs.end(), z.crz)) continue;
    const std::int64_t day = leadingInt(z.date);
    const bool outside = day < mfStart_ || day > leadingInt(out.mf.periodEnd);
    out.notCompared.push_back(
        {PairFile::Mfd, z.line, z.crz, z.date, outside ? NotComparedReason::OutsidePeriod : NotComparedReason::NotInMf});
  }

  // Missing COO numbers only where both files speak: from the COO before the first
  // reduction compared (the last one when the MF has none after it).
  if (!compared.reductions.empty()) {
    const std::int64_t low = compared.reductions.front().firstCoo - 1;
    const bool lastOfMf = compared.reductions.back().crz == all.reductions.back().crz;
    const std::int64_t high = lastOfMf ? std::numeric_limits<std::int64_t>::max() : compared.reductions.back().lastCoo;
    NumberList kept;
    for (std::int64_t coo : run_.cooList.values())
      if (coo >= low && coo <= high) kept.findOrAdd(coo);
    run_.cooList = std::move(kept);
    reportMissingCoo(run_);
  }
  reportReconciliation(run_, compared);

  coupons_.sort();
  nonFiscal_.sort();
  payments_.sort();
  for (ReductionReconciliation& r : compared.reductions) {
    const auto couponLines = coupons_.linesOf(r.firstCoo, r.lastCoo);
    const auto nonFiscalLines = nonFiscal_.linesOf(r.firstCoo, r.lastCoo);
    const auto paymentLines = payments_.linesOf(r.firstCoo, r.lastCoo);
    std::vector<TotalOrigin>& origins = out.origins.emplace_back();
    for (ReconciledTotal& t : r.totals) {
      TotalOrigin o;
      const bool fromMfd = t.kind == TotalKind::NonFiscal || t.kind == TotalKind::Payment;
      if (fromMfd && t.line != 0) t.line -= offset_;
      o.declaredIn = fromMfd ? PairFile::Mfd : PairFile::Mf;
      o.declaredLine = t.line;
      const auto lines = t.kind == TotalKind::NonFiscal ? nonFiscalLines
                         : t.kind == TotalKind::Payment ? paymentLines
                                                        : couponLines;
      o.documentsFirstLine = lines.first;
      o.documentsLastLine = lines.second;
      origins.push_back(o);
    }
  }
  out.errors = run_.log.errorCount();
  out.warnings = run_.log.warningCount();
}

MemoryPair PairRun::reconcile(const std::string& first, const std::string& second) {
  if (!identify(first, second) || !feedMf() || !feedMfd()) return {};
  MemoryPair out = std::move(result_);
  if (run_.formatFailed) out.contentChecksOffAt = first_.formatLine;
  finish(out);
  out.ran = true;
  return out;
}

}  // namespace

PairIdentity identityOf(std::string_view line) {
  PairIdentity id;
  if (recordTypeOf(line) != 1 || trimRight(fieldOf(line, E01::NumeroFabricacao)).empty()) return id;
  id.kind = fileKindOf(fieldOf(line, E01::ComandoGeracao));
  id.serial = std::string(fieldOf(line, E01::NumeroFabricacao));
  id.mfAdicional = std::string(fieldOf(line, E01::MfAdicional));
  id.model = std::string(fieldOf(line, E01::Modelo));
  id.periodStart = std::string(fieldOf(line, E01::DataInicial));
  id.periodEnd = std::string(fieldOf(line, E01::DataFinal));
  return id;
}

bool sameEcf(const PairIdentity& a, const PairIdentity& b) {
  return a.known() && b.known() && a.serial == b.serial && a.mfAdicional == b.mfAdicional &&
         trimRight(a.model) == trimRight(b.model);
}

std::string declaredInText(const TotalOrigin& origin) {
  if (origin.declaredLine == 0) return {};
  return cformat("%s:%d", origin.declaredIn == PairFile::Mf ? "MF" : "MFD", origin.declaredLine);
}

std::string documentsText(const TotalOrigin& origin) {
  if (origin.documentsFirstLine == 0) return {};
  return origin.documentsFirstLine == origin.documentsLastLine
             ? cformat("MFD:%d", origin.documentsFirstLine)
             : cformat("MFD:%d-%d", origin.documentsFirstLine, origin.documentsLastLine);
}

MemoryPair reconcileMemories(Notifier& notifier, const std::string& first, const std::string& second,
                             std::int64_t toleranceCents, const PairOptions& options) {
  PairRun run(notifier, toleranceCents, options);
  return run.reconcile(first, second);
}

}  // namespace tavex
