// The files of a batch grouped by ECF as tavex-cli shows them (indicios, validar
// --json): each group's files in order, the reductions they hold and miss, and the
// group's indicators.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "indicators/ecf_files.h"
#include "validation/memory_pair.h"

namespace tavex::cli {

// The MF × MFD pairs of a group, not yet reconciled: each MFD of the ECF (left out
// or not) with every MF of it whose E01 period has a day in common with the MFD's;
// in the order of the MFDs in the group, then of the MFs. Indices into `files`.
std::vector<BatchPair> memoryPairsOf(const EcfGroup& group, const std::vector<FileFootprint>& files);

// The pairs of every group (`memoryPairsOf` each), reconciled by reconcileMemories
// (which reads both files again) with the batch's tolerance and options, up to
// `jobs` at a time. Once `stop` is true no pair starts: those left say that the
// batch was interrupted. A pair refused keeps its reason and the others go on.
std::vector<std::vector<BatchPair>> reconcileGroupPairs(const std::vector<EcfGroup>& groups,
                                                        const std::vector<FileFootprint>& files,
                                                        std::int64_t toleranceCents, const PairOptions& options,
                                                        unsigned jobs, const std::atomic<bool>& stop);

// The same pairs reconciled up to `jobs` at a time and handed to `onPair(group,
// pair)` one by one in the order reconcileGroupPairs lists them, as soon as each and
// every one before it are done (calls never overlap); each pair's result is dropped
// once `onPair` returns, so that memory holds only the pairs in progress and the few
// finished ones waiting for an earlier one. Pairs left when `stop` turned true are
// handed on too, with the interruption as their refusal.
void streamGroupPairs(const std::vector<EcfGroup>& groups, const std::vector<FileFootprint>& files,
                      std::int64_t toleranceCents, const PairOptions& options, unsigned jobs,
                      const std::atomic<bool>& stop, const std::function<void(std::size_t group, BatchPair& pair)>& onPair);

// The line memoryPairLines shows for one pair of the group, its end of line included.
std::string memoryPairLine(const EcfGroup& group, const std::vector<FileFootprint>& files, const BatchPair& pair);

// One line per pair (UTF-8), by group: "Conciliação MF × MFD (serial): mf × mfd: N
// redução(ões) Z comparada(s), M total(is) acima da tolerância de T", or why the
// pair could not be reconciled. Empty when there is no pair.
std::string memoryPairLines(const std::vector<EcfGroup>& groups, const std::vector<FileFootprint>& files,
                            const std::vector<std::vector<BatchPair>>& pairs);

// True when some reconciled pair has a total over the tolerance.
bool pairsOverTolerance(const std::vector<std::vector<BatchPair>>& pairs);

// The "ecfs" array (compact UTF-8 JSON): per group "ecf" (the serial, null for an
// unknown ECF), "mf_adicional", "modelo", "arquivos" in order (each "arquivo" and,
// for a name that is not UTF-8, "arquivo_bytes" as setFileName gives them,
// "tipo", "crz_inicial", "crz_final", "periodo"), "deixados_de_lado" (files whose
// structure failed or whose records name another ECF), "cobertura" and "faltam" (CRZ ranges), "indicios"; with
// `pairs` (by group), "conciliacoes_mf_mfd" last: per pair "mf", "mfd" and
// "conciliacao" (as conciliar MF MFD --json) or "problema".
std::string ecfsJson(const std::vector<EcfGroup>& groups, const std::vector<FileFootprint>& files,
                     const std::vector<std::vector<BatchPair>>* pairs = nullptr);
// The pieces of ecfsJson, for a caller that writes the pairs as they come: a group's
// object through its "indicios" (still open), and one entry of
// "conciliacoes_mf_mfd".
std::string ecfJsonHead(const EcfGroup& group, const std::vector<FileFootprint>& files);
std::string memoryPairEntryJson(const std::vector<FileFootprint>& files, const BatchPair& pair);

// One section per group (UTF-8): its caption, its files with their CRZ ranges, the
// coverage line and its indicators (as the file sections show them).
std::string ecfsTable(const std::vector<EcfGroup>& groups, const std::vector<FileFootprint>& files);

// "alerta" / "informação", as tables show a level.
std::string levelText(IndicatorLevel level);
// The number, or nothing for 0 (an unknown line, CRZ or COO).
std::string numberOrBlank(std::int64_t value);

// Indicators in aligned columns, indented, with the line counting them (UTF-8);
// "nenhum indício" when there are none.
std::string indicatorTable(const std::vector<Indicator>& indicators);

// True when some group has an alert.
bool groupsHaveAlert(const std::vector<EcfGroup>& groups);

}  // namespace tavex::cli
