#include "cli/ecf_groups.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include <nlohmann/json.hpp>

#include "cli/batch_report.h"
#include "cli/file_validation.h"
#include "cli/reconciliation_table.h"
#include "cli/work_pool.h"
#include "cotepe/br_format.h"
#include "cotepe/text.h"
#include "indicators/file_indicators.h"

namespace tavex::cli {

namespace {

using json = nlohmann::ordered_json;

std::string padded(const std::string& text, std::size_t width) {
  const std::size_t shown = displayWidth(text);
  return shown >= width ? text : text + std::string(width - shown, ' ');
}

std::string utf8(std::string_view cp1252) { return cp1252ToUtf8(trimRight(cp1252)); }

std::string periodOf(const FileFootprint& f) {
  const std::optional<std::string> start = brazilianDate(f.periodStart), end = brazilianDate(f.periodEnd);
  return start && end ? *start + " a " + *end : "";
}

json ranges(const std::vector<std::pair<int, int>>& list) {
  json out = json::array();
  for (const auto& [first, last] : list) out.push_back({{"crz_inicial", first}, {"crz_final", last}});
  return out;
}

}  // namespace

std::string levelText(IndicatorLevel level) { return level == IndicatorLevel::Alerta ? "alerta" : "informação"; }

std::string numberOrBlank(std::int64_t value) { return value == 0 ? std::string() : std::to_string(value); }

std::string indicatorTable(const std::vector<Indicator>& indicators) {
  if (indicators.empty()) return "  nenhum indício\n\n";
  std::vector<std::vector<std::string>> rows = {
      {"Nível", "Código", "Linha", "CRZ", "COO", "Esperado", "Encontrado", "Frase"}};
  for (const Indicator& i : indicators)
    rows.push_back({levelText(i.level), std::string(i.code),
                    numberOrBlank(i.line) + (i.count > 1 ? "-" + std::to_string(i.lastLine) : ""), numberOrBlank(i.crz),
                    numberOrBlank(i.coo), visibleText(cp1252ToUtf8(i.expected)), visibleText(cp1252ToUtf8(i.found)),
                    visibleText(cp1252ToUtf8(i.sentence))});  // texts of the files, for a terminal
  std::vector<std::size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows)
    for (std::size_t c = 0; c + 1 < row.size(); ++c) widths[c] = std::max(widths[c], displayWidth(row[c]));
  std::string out;
  for (const auto& row : rows) {
    std::string line = " ";
    for (std::size_t c = 0; c < row.size(); ++c) line += " " + (c + 1 < row.size() ? padded(row[c], widths[c]) : row[c]);
    out += line + "\n";
  }
  const auto alerts = std::count_if(indicators.begin(), indicators.end(),
                                    [](const Indicator& i) { return i.level == IndicatorLevel::Alerta; });
  out += cformat("  %zu indício(s): %ld alerta(s), %ld informação(ões)\n\n", indicators.size(),
                 static_cast<long>(alerts), static_cast<long>(indicators.size()) - static_cast<long>(alerts));
  return out;
}

std::vector<BatchPair> memoryPairsOf(const EcfGroup& group, const std::vector<FileFootprint>& files) {
  std::vector<std::size_t> members = group.files;
  members.insert(members.end(), group.excluded.begin(), group.excluded.end());
  std::vector<BatchPair> pairs;
  if (!group.known) return pairs;
  for (std::size_t d : members) {
    const FileFootprint& mfd = files[d];
    if (mfd.kind != FileKind::MFD) continue;
    for (std::size_t m : members) {
      const FileFootprint& mf = files[m];
      // Both periods are E01 dates as AAAAMMDD: as text they order as days do.
      if (mf.kind == FileKind::MF && mf.periodStart <= mfd.periodEnd && mfd.periodStart <= mf.periodEnd)
        pairs.push_back({m, d, {}, {}});
    }
  }
  return pairs;
}

void streamGroupPairs(const std::vector<EcfGroup>& groups, const std::vector<FileFootprint>& files,
                      std::int64_t toleranceCents, const PairOptions& options, unsigned jobs,
                      const std::atomic<bool>& stop, const std::function<void(std::size_t, BatchPair&)>& onPair) {
  std::vector<std::vector<BatchPair>> pairs;
  std::vector<std::pair<std::size_t, BatchPair*>> all;  // (group, pair) in order
  for (const EcfGroup& group : groups) pairs.push_back(memoryPairsOf(group, files));
  for (std::size_t g = 0; g < pairs.size(); ++g)
    for (BatchPair& pair : pairs[g]) {
      pair.refusal = "o lote foi interrompido antes desta conciliação"_cp;  // until it runs
      all.emplace_back(g, &pair);
    }
  // A pair waits to start while too many finished ones wait for an earlier one, so
  // that a slow pair never lets the results pile up. Items are taken in order: the
  // one awaited has always started, and never waits itself.
  const std::size_t window = 2 * static_cast<std::size_t>(std::max(1u, jobs));
  std::mutex mutex;
  std::condition_variable advanced;
  std::vector<char> done(all.size(), 0);
  std::size_t next = 0;
  const auto handOnReady = [&] {  // REQUIRES: mutex held
    for (; next < all.size() && done[next] != 0; ++next) {
      onPair(all[next].first, *all[next].second);
      all[next].second->result = MemoryPair{};
    }
    advanced.notify_all();
  };
  runOnPool(all.size(), jobs, stop, [&](std::size_t i) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      advanced.wait(lock, [&] { return i < next + window; });
    }
    BatchPair& pair = *all[i].second;
    CollectingNotifier notifier;
    MemoryPair result = reconcileMemories(notifier, files[pair.mf].path, files[pair.mfd].path, toleranceCents, options);
    const std::lock_guard<std::mutex> lock(mutex);
    pair.refusal = result.ran ? std::string() : notifier.messages;
    pair.result = std::move(result);
    done[i] = 1;
    handOnReady();
  });
  const std::lock_guard<std::mutex> lock(mutex);
  std::fill(done.begin(), done.end(), 1);  // those never started keep their refusal
  handOnReady();
}

std::vector<std::vector<BatchPair>> reconcileGroupPairs(const std::vector<EcfGroup>& groups,
                                                        const std::vector<FileFootprint>& files,
                                                        std::int64_t toleranceCents, const PairOptions& options,
                                                        unsigned jobs, const std::atomic<bool>& stop) {
  std::vector<std::vector<BatchPair>> pairs(groups.size());
  streamGroupPairs(groups, files, toleranceCents, options, jobs, stop,
                   [&](std::size_t g, BatchPair& pair) { pairs[g].push_back(std::move(pair)); });
  return pairs;
}

std::string memoryPairLine(const EcfGroup& group, const std::vector<FileFootprint>& files, const BatchPair& pair) {
  std::string out = "Conciliação MF × MFD (" + visibleText(utf8(group.serial)) + "): " + visibleText(files[pair.mf].path) +
                    " × " + visibleText(files[pair.mfd].path) + ": ";
  if (!pair.result.ran) return out + "não conciliados: " + visibleText(cp1252ToUtf8(trimRight(pair.refusal))) + "\n";
  const Reconciliation& r = pair.result.reconciliation;
  out += cformat("%zu redução(ões) Z comparada(s), %zu total(is) acima da tolerância de %s", r.reductions.size(),
                 r.rowsOverTolerance(), formatCents(r.toleranceCents).c_str());
  if (!pair.result.notCompared.empty())
    out += cformat(", %zu redução(ões) Z não comparada(s)", pair.result.notCompared.size());
  if (!r.complete) out += "; somas incompletas (" + cp1252ToUtf8(switchedOffNotice(r)) + ")";
  return out + "\n";
}

std::string memoryPairLines(const std::vector<EcfGroup>& groups, const std::vector<FileFootprint>& files,
                            const std::vector<std::vector<BatchPair>>& pairs) {
  std::string out;
  for (std::size_t g = 0; g < groups.size() && g < pairs.size(); ++g)
    for (const BatchPair& pair : pairs[g]) out += memoryPairLine(groups[g], files, pair);
  return out;
}

bool pairsOverTolerance(const std::vector<std::vector<BatchPair>>& pairs) {
  for (const std::vector<BatchPair>& inGroup : pairs)
    for (const BatchPair& pair : inGroup)
      if (pair.result.ran && pair.result.reconciliation.rowsOverTolerance() > 0) return true;
  return false;
}

std::string ecfJsonHead(const EcfGroup& group, const std::vector<FileFootprint>& files) {
  json doc;
  doc["ecf"] = group.known ? json(utf8(group.serial)) : json(nullptr);
  doc["mf_adicional"] = group.known ? json(cp1252ToUtf8(group.mfAdicional)) : json(nullptr);
  doc["modelo"] = group.known ? json(utf8(group.model)) : json(nullptr);
  json members = json::array();
  for (std::size_t i : group.files) {
    const FileFootprint& f = files[i];
    const std::string_view kind = fileKindRules(f.kind).name;
    json member;
    setFileName(member, f.path);
    member["tipo"] = kind.empty() ? json(nullptr) : json(std::string(kind));
    member["crz_inicial"] = f.reductions.empty() ? json(nullptr) : json(f.firstCrz());
    member["crz_final"] = f.reductions.empty() ? json(nullptr) : json(f.lastCrz());
    member["periodo"] = periodOf(f);
    if (f.withoutEad) member["sem_ead"] = true;
    members.push_back(std::move(member));
  }
  doc["arquivos"] = std::move(members);
  json left = json::array();
  for (std::size_t i : group.excluded) left.push_back(visibleText(files[i].path));
  doc["deixados_de_lado"] = std::move(left);
  doc["cobertura"] = ranges(group.held);
  doc["faltam"] = ranges(group.missing);
  std::string text = doc.dump(-1, ' ', false, json::error_handler_t::replace);
  text.pop_back();
  return text + ",\"indicios\":" + indicatorsJson(group.indicators);
}

std::string memoryPairEntryJson(const std::vector<FileFootprint>& files, const BatchPair& pair) {
  json entry = {{"mf", visibleText(files[pair.mf].path)}, {"mfd", visibleText(files[pair.mfd].path)}};
  if (pair.result.ran)
    entry["conciliacao"] = memoryPairJson(pair.result);
  else
    entry["problema"] = visibleText(cp1252ToUtf8(trimRight(pair.refusal)));
  return entry.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string ecfsJson(const std::vector<EcfGroup>& groups, const std::vector<FileFootprint>& files,
                     const std::vector<std::vector<BatchPair>>* pairs) {
  std::string out = "[";
  for (std::size_t g = 0; g < groups.size(); ++g) {
    out += (g == 0 ? "" : ",") + ecfJsonHead(groups[g], files);
    if (pairs != nullptr && g < pairs->size()) {
      out += ",\"conciliacoes_mf_mfd\":[";
      for (std::size_t k = 0; k < (*pairs)[g].size(); ++k)
        out += (k == 0 ? "" : ",") + memoryPairEntryJson(files, (*pairs)[g][k]);
      out += "]";
    }
    out += "}";
  }
  return out + "]";
}

std::string ecfsTable(const std::vector<EcfGroup>& groups, const std::vector<FileFootprint>& files) {
  std::string out;
  for (const EcfGroup& group : groups) {
    out += visibleText(cp1252ToUtf8(ecfCaption(group))) + "\n";  // the serial and model as the file has them
    for (std::size_t i : group.files) {
      const FileFootprint& f = files[i];
      const std::string_view kind = fileKindRules(f.kind).name;
      out += "  " + visibleText(f.path) + (kind.empty() ? "" : " (" + std::string(kind) + ")");
      if (!f.reductions.empty()) out += cformat(": CRZ %06d a %06d", f.firstCrz(), f.lastCrz());
      const std::string period = periodOf(f);
      if (!period.empty()) out += ", " + period;
      if (f.withoutEad) out += ", sem EAD";
      out += "\n";
    }
    for (std::size_t i : group.excluded)
      out += "  " + visibleText(files[i].path) + ": deixado de lado (" + visibleText(cp1252ToUtf8(exclusionReason(files[i]))) +
             ")\n";
    if (group.known) out += "  " + visibleText(cp1252ToUtf8(coverageText(group))) + "\n";
    out += indicatorTable(group.indicators);
  }
  return out;
}

bool groupsHaveAlert(const std::vector<EcfGroup>& groups) {
  return std::any_of(groups.begin(), groups.end(), [](const EcfGroup& g) { return hasAlert(g.indicators); });
}

}  // namespace tavex::cli
