// How the window shows an indicator beside its record: the field of the record
// it points at, and its expected and found values as an auditor writes them.
#pragma once

#include <string>

#include "indicators/indicator.h"

namespace tavex {

// The number of the field of the indicator's record (recordType) whose value the
// indicator questions; 0 when it points at no single field (a share of cancelled
// coupons, an indicator between files).
int indicatorField(const Indicator& indicator);

// `value` (an indicator's expected or found text, cp1252) with its dates
// (AAAAMMDD) as DD/MM/AAAA and its grand totals (centavos) as "R$ 1.234,56"; the
// words around them ("depois de", "ou mais") and any other text stay as they are.
std::string auditorValue(const Indicator& indicator, const std::string& value);

}  // namespace tavex
