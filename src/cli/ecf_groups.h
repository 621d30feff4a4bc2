// The files of a batch grouped by ECF as tavex-cli shows them (indicios, validar
// --json): each group's files in order, the reductions they hold and miss, and the
// group's indicators.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "indicators/ecf_files.h"

namespace tavex::cli {

// The "ecfs" array (compact UTF-8 JSON): per group "ecf" (the serial, null for an
// unknown ECF), "mf_adicional", "modelo", "arquivos" in order (each "arquivo",
// "tipo", "crz_inicial", "crz_final", "periodo"), "deixados_de_lado" (files whose
// structure failed), "cobertura" and "faltam" (CRZ ranges), "indicios".
std::string ecfsJson(const std::vector<EcfGroup>& groups, const std::vector<FileFootprint>& files);

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
